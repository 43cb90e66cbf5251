#pragma once
// A private desktop session for tests that drive the program from outside: its own session
// bus and accessibility bus, and a window manager where a test asks for one, so a test binary
// runs under a bare X server as under a desktop.
#include <string>

#include "platform/process.h"

namespace kivo::e2e {

class PrivateDesktop {
  public:
    // Starts a session bus and the accessibility bus launcher on it, and points this process's
    // DBUS_SESSION_BUS_ADDRESS at it. Throws when either cannot be started.
    PrivateDesktop();
    // Ends both buses.
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    const std::string& BusAddress() const { return address_; }

  private:
    kivo::ChildProcess bus_;
    kivo::ChildProcess a11y_launcher_;
    std::string address_;
    std::string runtime_;
};

// The one desktop of this test binary, started on first use and ended at exit. The
// test process's accessibility client is bound to the first bus it sees, so there is only one.
PrivateDesktop& Desktop();

// Whether a window manager runs on the test display (owns its WM_Sn selection).
bool WindowManagerRuns();

// A window manager (openbox, with its stock settings: focus on click, new windows focused) on the
// test display while this lives, unless the display has one already.
class WindowManagerOnDisplay {
  public:
    WindowManagerOnDisplay();
    ~WindowManagerOnDisplay();
    WindowManagerOnDisplay(const WindowManagerOnDisplay&) = delete;
    WindowManagerOnDisplay& operator=(const WindowManagerOnDisplay&) = delete;

  private:
    kivo::ChildProcess window_manager_;
    std::string folder_;
};

}  // namespace kivo::e2e
