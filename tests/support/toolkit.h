#pragma once
// The toolkit set up once per test process, for tests that make real windows.
#include <gtkmm.h>

#include <functional>

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

// Runs `act` from the main loop as soon as `ready` holds (a modal dialog is up).
inline void WhenShown(std::function<bool()> ready, std::function<void()> act) {
    Glib::signal_timeout().connect(
        [ready = std::move(ready), act = std::move(act)] {
            if (!ready()) return true;
            act();
            return false;
        },
        50);
}

}  // namespace kivo::test
