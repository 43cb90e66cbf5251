#include "tests/e2e/support/wayland_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/x11_windows.h"
#include "tests/support/test_support.h"

namespace kivo::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kCompositor = "/usr/bin/weston";
constexpr const char* kSocketName = "wayland-kivo-test";
constexpr const char* kXServerLine = "xserver listening on display ";

// Checks `done` every few milliseconds until it holds or the deadline passes.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using DisplayPtr = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

// The first window below `window` (itself included) for which `match` holds.
Window FindWindow(Display* display, Window window, const std::function<bool(Window)>& match) {
    if (match(window))
        return window;
    Window root = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return None;
    Window found = None;
    for (unsigned int i = 0; i < count && found == None; ++i)
        found = FindWindow(display, children[i], match);
    if (children)
        XFree(children);
    return found;
}

bool Viewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// Whether the compositor's output window covers the whole test display from its top left
// corner, so that screen positions are the same on both sides.
bool OutputCoversTestDisplay() {
    Display* display = kivo::test::TestDisplay();
    if (!display)
        return false;
    const Window root = DefaultRootWindow(display);
    const Window output = FindWindow(display, root, [&](Window w) {
        XClassHint hint{};
        if (!XGetClassHint(display, w, &hint))
            return false;
        const bool ours = hint.res_class && std::string(hint.res_class) == "Weston Compositor";
        XFree(hint.res_name);
        XFree(hint.res_class);
        return ours && Viewable(display, w);
    });
    if (output == None)
        return false;
    XWindowAttributes attributes{};
    int x = -1, y = -1;
    Window child = None;
    if (!XGetWindowAttributes(display, output, &attributes) ||
        !XTranslateCoordinates(display, output, root, 0, 0, &x, &y, &child))
        return false;
    return x == 0 && y == 0 && attributes.width == DisplayWidth(display, DefaultScreen(display)) &&
           attributes.height == DisplayHeight(display, DefaultScreen(display));
}

// Whether a window manager runs on the display that makes windows fullscreen when asked.
bool WindowManagerMakesFullscreen(Display* display) {
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &after, &data) != Success ||
        !data)
        return false;
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    const bool found = std::find(atoms, atoms + count, fullscreen) != atoms + count;
    XFree(data);
    return found;
}

// The compositor's X11 output moves its pointer by the steps between the motions it is told
// of, not to where the test display's pointer is; a motion it missed (one before its output was
// ready, say) leaves every later click off by the difference. It keeps its pointer on its
// output, so a sweep to one corner, the other and back brings both pointers together.
void AlignCompositorPointer() {
    Display* display = kivo::test::TestDisplay();
    const int screen = DefaultScreen(display);
    const int right = DisplayWidth(display, screen) - 1;
    const int bottom = DisplayHeight(display, screen) - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{right, bottom}, std::pair{0, 0},
                               std::pair{right / 2, bottom / 2}})
        XTestFakeMotionEvent(display, screen, x, y, CurrentTime);
    XSync(display, False);
}

// The compositor's output over the whole test display: fullscreen under a window manager, else
// a window of the display's size, which lands at its top left corner.
std::vector<std::string> OutputArguments() {
    Display* display = kivo::test::TestDisplay();
    if (WindowManagerMakesFullscreen(display))
        return {"--fullscreen"};
    const int screen = DefaultScreen(display);
    return {"--width=" + std::to_string(DisplayWidth(display, screen)),
            "--height=" + std::to_string(DisplayHeight(display, screen))};
}

}  // namespace

WaylandDesktop::WaylandDesktop() {
    if (!kivo::test::TestDisplay())
        throw std::runtime_error("the Wayland desktop needs the test display for its output");
    if (access(kCompositor, X_OK) != 0)
        throw std::runtime_error(std::string(kCompositor) +
                                 " is missing: scripts/install-deps.sh installs it");
    std::string pattern = "/tmp/kivo-wayland-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    runtime_ = pattern;
    socket_ = kSocketName;
    // setsid: a process group of its own, ended whole with its shell and XWayland.
    std::vector<std::string> arguments{
        "setsid",       kCompositor,           "--backend=x11-backend.so",
        "--use-pixman", "--no-config",         "--idle-time=0",
        "--xwayland",   "--socket=" + socket_, "--log=" + runtime_ + "/compositor.log"};
    for (std::string& argument : OutputArguments()) arguments.push_back(std::move(argument));
    compositor_ = kivo::ChildProcess::Start("/usr/bin/setsid", arguments, {},
                                            {{"XDG_RUNTIME_DIR", runtime_}});
    group_ = compositor_.Pid();
    // Its socket, its XWayland's display and its output over the test display.
    const bool started = PollUntil(
        [&] {
            const std::string log = Log();
            const size_t at = log.find(kXServerLine);
            if (at == std::string::npos || !fs::exists(runtime_ + "/" + socket_))
                return false;
            const size_t from = at + std::string(kXServerLine).size();
            x_display_ = log.substr(from, log.find_first_of("\r\n", from) - from);
            return OutputCoversTestDisplay();
        },
        60s);
    if (!started) {
        const std::string log = Log();
        End();
        throw std::runtime_error("the Wayland compositor did not start:\n" + log);
    }
    AlignCompositorPointer();
}

WaylandDesktop::~WaylandDesktop() {
    End();
}

void WaylandDesktop::End() {
    if (group_ > 0) {
        kill(-group_, SIGTERM);
        if (!PollUntil([&] { return compositor_.Pid() <= 0 || compositor_.TryWait() != -1; },
                       10s)) {
            kill(-group_, SIGKILL);
            compositor_.Wait();
        }
        // What it started ends with the group; its shell may take a moment.
        if (!PollUntil([&] { return ProcessGroup(group_).empty(); }, 10s))
            kill(-group_, SIGKILL);
        group_ = -1;
    }
    std::error_code ec;
    if (!runtime_.empty())
        fs::remove_all(runtime_, ec);
    runtime_.clear();
}

std::vector<std::pair<std::string, std::string>> WaylandDesktop::SessionEnvironment() const {
    return {{"XDG_RUNTIME_DIR", runtime_},
            {"XDG_SESSION_TYPE", "wayland"},
            {"WAYLAND_DISPLAY", socket_},
            {"DISPLAY", x_display_}};
}

bool WaylandDesktop::ShowsWindow(const std::string& window_class, const std::string& title) const {
    DisplayPtr display(XOpenDisplay(x_display_.c_str()), &XCloseDisplay);
    if (!display)
        return false;
    const unsigned long window = kivo::FindTopLevelWindow(display.get(), window_class, title);
    return window != 0 && Viewable(display.get(), window);
}

std::string WaylandDesktop::Log() const {
    return ReadFile(runtime_ + "/compositor.log");
}

std::vector<pid_t> ProcessGroup(pid_t group) {
    std::vector<pid_t> members;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // The fields after the command's closing parenthesis: state, parent, group.
        const std::string stat = ReadFile("/proc/" + name + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 1));
        char state = 0;
        pid_t parent = 0, process_group = 0;
        if (fields >> state >> parent >> process_group && process_group == group && state != 'Z')
            members.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return members;
}

}  // namespace kivo::e2e
