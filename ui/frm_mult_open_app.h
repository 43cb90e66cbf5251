#pragma once
// TFrmMultOpenApp, the main window.
#include <gtkmm.h>

namespace kivo {

class TFrmMultOpenApp : public Gtk::Window {
public:
    TFrmMultOpenApp();

    // The X window id that workers are told as the main window's handle (0 before realised).
    int32_t Handle() const;

private:
    Gtk::Box pnlMain{Gtk::ORIENTATION_VERTICAL};
    Gtk::Label lblTitle;
};

}  // namespace kivo
