#include "tests/e2e/support/private_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"
#include "tests/e2e/support/ui_driver.h"
#include "tests/support/test_support.h"

namespace kivo::e2e {

namespace {

// Reads one line from the descriptor, waiting at most `seconds`.
std::string ReadLine(int fd, int seconds) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (line.empty() || line.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char c;
        if (read(fd, &c, 1) != 1)
            break;
        line += c;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

void End(kivo::ChildProcess& child) {
    if (child.Pid() <= 0)
        return;
    kill(child.Pid(), SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (child.TryWait() != -1)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(child.Pid(), SIGKILL);
    child.Wait();
}

// Whether the window manager has told the display what it supports: it takes the manager
// selection first and announces the rest a moment later, and a window it is asked to make
// fullscreen before that is framed instead.
bool WindowManagerAnnounced() {
    Display* d = kivo::test::TestDisplay();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTED", False), 0,
                           1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        count > 0;
    if (data)
        XFree(data);
    return found;
}

}  // namespace

bool WindowManagerRuns() {
    Display* d = kivo::test::TestDisplay();
    if (!d)
        return false;
    const std::string name = "WM_S" + std::to_string(DefaultScreen(d));
    return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
}

PrivateDesktop::PrivateDesktop() {
    // Its own runtime folder: the buses outlive every test's scratch home.
    std::string pattern = "/tmp/kivo-desktop-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    runtime_ = pattern;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const std::vector<std::pair<std::string, std::string>> env{{"XDG_RUNTIME_DIR", runtime_}};
    kivo::UniqueFd read_end(fds[0]), write_end(fds[1]);
    bus_ = kivo::ChildProcess::Start(
        "/usr/bin/dbus-daemon",
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"},
        {{write_end.Get(), 3}}, env);
    write_end.Reset();
    address_ = ReadLine(read_end.Get(), 20);
    if (address_.empty())
        throw std::runtime_error("the session bus did not start");
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    // The accessibility bridge of the program under test must be on.
    unsetenv("NO_AT_BRIDGE");
    unsetenv("GTK_A11Y");
    a11y_launcher_ =
        kivo::ChildProcess::Start("/usr/libexec/at-spi-bus-launcher",
                                  {"at-spi-bus-launcher", "--launch-immediately"}, {}, env);
}

WindowManagerOnDisplay::WindowManagerOnDisplay() {
    // One left by a test binary that was killed, or the desktop's own, serves as well.
    if (WindowManagerRuns())
        return;
    std::string pattern = "/tmp/kivo-wm-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    // Its settings and caches in a folder of its own: only the stock settings count.
    const std::vector<std::pair<std::string, std::string>> env{
        {"HOME", folder_},
        {"XDG_CONFIG_HOME", folder_ + "/config"},
        {"XDG_CACHE_HOME", folder_ + "/cache"},
        {"XDG_DATA_HOME", folder_ + "/data"}};
    window_manager_ = kivo::ChildProcess::Start("/usr/bin/openbox", {"openbox", "--sm-disable"},
                                                {}, env);
    if (!WaitUntil([] { return WindowManagerRuns() && WindowManagerAnnounced(); }, 30s))
        throw std::runtime_error("the window manager did not start");
}

WindowManagerOnDisplay::~WindowManagerOnDisplay() {
    End(window_manager_);
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
}

PrivateDesktop::~PrivateDesktop() {
    End(a11y_launcher_);
    End(bus_);
    std::error_code ec;
    std::filesystem::remove_all(runtime_, ec);
}

PrivateDesktop& Desktop() {
    static auto* desktop = new PrivateDesktop();
    static struct Ender {
        ~Ender() { delete desktop; }
    } ender;
    return *desktop;
}

}  // namespace kivo::e2e
