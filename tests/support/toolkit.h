#pragma once
// The toolkit set up once per test process, for tests that make real windows.
#include <gtkmm.h>

namespace kivo::test {

// Whether the toolkit could be set up on the test display (done on the first call).
inline bool ToolkitReady() {
    static const bool ready = [] {
        if (!gtk_init_check(nullptr, nullptr)) return false;
        Gtk::Main::init_gtkmm_internals();
        return true;
    }();
    return ready;
}

}  // namespace kivo::test
