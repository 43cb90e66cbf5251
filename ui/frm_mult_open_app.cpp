#include "ui/frm_mult_open_app.h"

#include <gdk/gdkx.h>

#include "app/identity.h"

namespace kivo {

TFrmMultOpenApp::TFrmMultOpenApp() {
    set_title(kMainWindowCaption);
    set_default_size(972, 600);
    set_size_request(800, 600);
    lblTitle.set_text(kApplicationTitle);
    pnlMain.pack_start(lblTitle, Gtk::PACK_SHRINK);
    add(pnlMain);
    show_all_children();
}

int32_t TFrmMultOpenApp::Handle() const {
    auto window = get_window();
    if (!window) return 0;
    return static_cast<int32_t>(gdk_x11_window_get_xid(const_cast<GdkWindow*>(window->gobj())));
}

}  // namespace kivo
