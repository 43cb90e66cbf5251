#pragma once
// TFrmMin, the promotion mini window that opens a second after start-up: a small shaped window
// whose in-process browser wbAd shows the maker's promotion page. What that page opens in a new
// window goes to the main window as a new tab instead; no other window ever opens from it.
#include <gtkmm.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/gobject_ref.h"
#include "ui/drawn_pictures.h"
#include "ui/promotion/promotion_rules.h"

namespace uitWebControl {
class WebKitEngine;
}

namespace kivo {

// The colour of the background picture that is see-through.
inline constexpr uint32_t kMiniWindowColourKey = 0x101010;

class TFrmMin : public Gtk::Window {
  public:
    // `OpenGame` opens an address in a new tab of the main window in a fresh temporary session;
    // it is called from the main loop, never from inside the browser's own handling.
    // `Closed` is called once the window has closed itself; its owner may then destroy it.
    TFrmMin(std::function<void(const std::string& url)> OpenGame, std::function<void()> Closed);
    ~TFrmMin() override;

    // Loads `url` into wbAd.
    void Navigate(const std::string& url);
    // Shows the window centred on `owner` (not tied to it: it stays when the owner hides).
    void ShowCentredOn(Gtk::Window& owner);

    void btnSysCloseClick();

    Gtk::Label lblTitle;
    PictureButton btnSysClose{Glyph::Close, 15, 15, "关闭"};

  protected:
    bool on_delete_event(GdkEventAny* event) override;

  private:
    void DrawBackgroundPicture();
    void ApplyColourKeyShape();
    bool imgBackDraw(const Cairo::RefPtr<Cairo::Context>& cr);
    bool imgBackMouseDown(GdkEventButton* event);
    static GtkWidget* wbAdNewWindow3(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
    static gboolean wbAdContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                    WebKitHitTestResult*, gpointer);
    static gboolean wbAdUserInput(GtkWidget*, GdkEvent*, gpointer self);

    std::function<void(const std::string&)> OpenGame_;
    std::function<void()> Closed_;
    bool closing_ = false;
    TPopupGate popups_;
    Cairo::RefPtr<Cairo::ImageSurface> background_;
    Gtk::EventBox imgBack;
    Gtk::Fixed body_;
    GObjectRef<WebKitWebView> wbAd;
};

}  // namespace kivo
