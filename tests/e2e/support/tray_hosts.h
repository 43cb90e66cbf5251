#pragma once
// Notification-area hosts for tests, built to the public protocols, since a bare X server has
// none: a status-notifier watcher with its host on the private session bus, and an XEmbed
// system tray on the test display. Start them before the program so that it finds them.
#include <gio/gio.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/ui_driver.h"

namespace kivo::e2e {

// A status-notifier watcher that is also the one host, as a panel runs them.
class StatusNotifierHost {
  public:
    // Owns the watcher's bus name; throws when it cannot be had.
    StatusNotifierHost();
    ~StatusNotifierHost();
    StatusNotifierHost(const StatusNotifierHost&) = delete;
    StatusNotifierHost& operator=(const StatusNotifierHost&) = delete;

    // The registered items as "bus-name/object/path".
    std::vector<std::string> Items() const { return items_; }
    bool WaitForItem(std::chrono::milliseconds timeout = 30s) const;
    // Calls the first item's Activate, as a click on the icon does.
    void Activate() const;
    // Calls the first item's SecondaryActivate, as a middle click on the icon does.
    void SecondaryActivate() const;
    // The labels of the first item's menu (top level, mnemonic marks removed).
    std::vector<std::string> MenuLabels() const;
    // Sends "clicked" to the menu item with that label; false when there is none.
    bool ClickMenuItem(const std::string& label) const;

    // For the bus callbacks.
    void Register(const std::string& sender, const std::string& service_or_path);

  private:
    std::pair<std::string, std::string> Item() const;  // bus name, object path of the first
    GVariant* Call(const std::string& name, const std::string& path, const char* interface,
                   const char* method, GVariant* arguments) const;
    std::string MenuPath() const;

    GDBusConnection* bus_ = nullptr;
    guint registration_id_ = 0;
    std::vector<std::string> items_;
};

// An XEmbed system tray: owns the tray selection of screen 0 and docks icons in a window of
// its own in the screen's top right corner.
class XEmbedTray {
  public:
    XEmbedTray();
    ~XEmbedTray();
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;

    bool WaitForIcon(std::chrono::milliseconds timeout = 30s) const;
    // Clicks the docked icon with real pointer events.
    void ClickIcon(Button button = Button::Left, int count = 1) const;

  private:
    void Serve();

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
    std::atomic<unsigned long> icon_{0};
    std::atomic<unsigned long> container_{0};
    std::atomic<int> x_{0};
    std::atomic<int> y_{0};
    std::string error_;
};

}  // namespace kivo::e2e
