#pragma once
// A private desktop session for tests that drive the program from outside: a window manager
// and its own session bus and accessibility bus, so a test binary runs under a bare X server as
// under a desktop.
#include <string>

#include "platform/process.h"

namespace kivo::e2e {

class PrivateDesktop {
  public:
    // Starts a window manager (openbox, with its stock settings: focus on click, new windows
    // focused) unless the display has one, then a session bus and the accessibility bus launcher
    // on it, and points this process's DBUS_SESSION_BUS_ADDRESS at it. Throws when any of them
    // cannot be started.
    PrivateDesktop();
    // Ends the buses and the window manager it started.
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    const std::string& BusAddress() const { return address_; }

  private:
    void StartWindowManager();

    kivo::ChildProcess window_manager_;
    kivo::ChildProcess bus_;
    kivo::ChildProcess a11y_launcher_;
    std::string address_;
    std::string runtime_;
};

// The one desktop of this test binary, started before the first test and ended at exit. The
// test process's accessibility client is bound to the first bus it sees, so there is only one.
PrivateDesktop& Desktop();

// Whether a window manager runs on the test display (owns its WM_Sn selection).
bool WindowManagerRuns();

}  // namespace kivo::e2e
