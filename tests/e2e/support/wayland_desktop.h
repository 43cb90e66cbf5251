#pragma once
// A Wayland desktop for tests that run the program as on a current desktop session: a Wayland
// compositor (weston) with XWayland. Its output is a window filling the test's X display, so the
// test's real pointer and keys reach the compositor's seat, and through it the X clients of its
// XWayland, at the same screen positions.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/process.h"

namespace kivo::e2e {

class WaylandDesktop {
  public:
    // Starts the compositor and waits for its socket and its XWayland display. Throws when
    // either does not come.
    WaylandDesktop();
    // Ends the compositor with everything it started (its shell, XWayland).
    ~WaylandDesktop();
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    // The environment a desktop gives a program of its session: the runtime folder,
    // WAYLAND_DISPLAY and DISPLAY (XWayland's).
    std::vector<std::pair<std::string, std::string>> SessionEnvironment() const;
    const std::string& XDisplay() const { return x_display_; }
    // Whether XWayland shows a top-level window of this class and title (mapped, viewable).
    bool ShowsWindow(const std::string& window_class, const std::string& title) const;
    // What the compositor logged, for failure messages.
    std::string Log() const;

  private:
    void End();

    std::string runtime_;
    std::string socket_;
    std::string x_display_;
    kivo::ChildProcess compositor_;
    pid_t group_ = -1;
};

// The processes of a process group still running (zombies aside).
std::vector<pid_t> ProcessGroup(pid_t group);

}  // namespace kivo::e2e
