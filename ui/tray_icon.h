#pragma once
// The notification-area icon. Desktops show it in one of two ways, or not at all: a
// status-notifier item where a watcher with a host runs on the session bus, an icon docked in an
// XEmbed tray otherwise. Which one is looked up again each time the window goes to the tray, as
// a tray may come or go; where neither is there, the window is minimised instead of hidden, so
// that it can always be reached.
#include <gtkmm.h>

#include <functional>

typedef struct _AppIndicator AppIndicator;

namespace kivo {

enum class TrayKind { StatusNotifier, XEmbed, Nowhere };

// What the desktop offers at a moment.
struct TrayHosts {
    bool NotifierWatcher = false;  // the watcher's bus name has an owner
    bool NotifierHost = false;     // and it says that a host is registered
    bool XEmbedTray = false;       // a tray selection owner, or our icon is docked
};

// A watcher without a host shows nothing; the XEmbed tray is the second choice.
TrayKind ChooseTray(const TrayHosts& hosts);

// Looks at the session bus and the display. Never waits more than a moment for the bus.
TrayHosts ProbeTrayHosts(GdkScreen* screen, bool status_icon_embedded);

class TTrayIcon {
  public:
    // `menu` is the icon's menu; `restore` runs on a click of the icon.
    TTrayIcon(Gtk::Menu& menu, Gtk::MenuItem& restore_item, std::function<void()> restore);
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Looks up how the icon can be shown now and shows it that way.
    TrayKind Refresh();
    TrayKind Kind() const { return kind_; }
    // Lets tests put a desktop of their own in place of the real probe.
    std::function<TrayHosts()> Probe;

  private:
    void ShowNotifierItem(bool shown);

    Gtk::Menu& menu_;
    Gtk::MenuItem& restore_item_;
    Glib::RefPtr<Gtk::StatusIcon> status_icon_;
    AppIndicator* indicator_ = nullptr;
    TrayKind kind_ = TrayKind::Nowhere;
};

}  // namespace kivo
