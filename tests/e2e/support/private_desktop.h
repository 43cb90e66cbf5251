#pragma once
// A private desktop session for tests that drive the program from outside: its own session
// bus and accessibility bus, so a test binary runs under a bare X server with no desktop.
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

// The one desktop of this test binary, started on first use and ended at exit. The test
// process's accessibility client is bound to the first bus it sees, so there is only one.
PrivateDesktop& Desktop();

}  // namespace kivo::e2e
