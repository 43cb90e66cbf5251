#include "tests/support/test_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <glib.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace kivo::test {

namespace fs = std::filesystem;

TempHome::TempHome() {
    std::string pattern = (fs::temp_directory_path() / "kivo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    for (const char* sub : {"config", "data", "cache", "runtime"}) fs::create_directories(path_ + "/" + sub);
    fs::permissions(path_ + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", path_.c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus in a test home
    setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (path_ + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (path_ + "/runtime").c_str(), 1);
}

TempHome::~TempHome() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string CopyExecutable(const std::string& source, const std::string& folder,
                           const std::string& name) {
    const std::string target = folder + "/" + name;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all, fs::perm_options::replace);
    return target;
}

std::string CopyProgram(const std::string& executable, const std::string& folder,
                        const std::string& name) {
    const std::string target = CopyExecutable(executable, folder, name);
    fs::copy(fs::path(executable).parent_path() / "page-extension", folder + "/page-extension",
             fs::copy_options::recursive);
    fs::create_directories(folder + "/WebImage");
    return target;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

bool ProcessRunning(pid_t pid) {
    if (pid <= 0 || kill(pid, 0) != 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const auto close = text.rfind(')');
        if (close == std::string::npos || close + 4 >= text.size()) continue;
        // After the name: the state, then the parent's id.
        if (std::atoi(text.c_str() + close + 4) == parent) children.push_back(std::stoi(name));
    }
    return children;
}

std::vector<pid_t> DescendantsOf(pid_t ancestor) {
    std::vector<pid_t> found = ChildrenOf(ancestor);
    for (size_t next = 0; next < found.size(); ++next) {
        const auto below = ChildrenOf(found[next]);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

std::string ProcessCommand(pid_t pid) {
    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
    std::string command;
    std::getline(cmdline, command, '\0');
    return command;
}

std::vector<pid_t> PageProcessesBelow(pid_t ancestor) {
    std::vector<pid_t> pages;
    for (pid_t process : DescendantsOf(ancestor)) {
        // The sandbox tool names the page process's program among its own arguments.
        std::ifstream comm("/proc/" + std::to_string(process) + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("WebKitWebProc", 0) == 0) pages.push_back(process);
    }
    return pages;
}

Display* TestDisplay() {
    static Display* display = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
    return display;
}

TopLevelWindow::TopLevelWindow(const std::string& window_class, const std::string& title) {
    Display* display = TestDisplay();
    if (!display) throw std::runtime_error("no test display");
    window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
    XClassHint hint{};
    std::string name = "test";
    std::string klass = window_class;
    hint.res_name = name.data();
    hint.res_class = klass.data();
    XSetClassHint(display, window_, &hint);
    XChangeProperty(display, window_, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XSync(display, False);
}

TopLevelWindow::~TopLevelWindow() {
    if (Display* display = TestDisplay()) {
        XDestroyWindow(display, window_);
        XSync(display, False);
    }
}

namespace {

std::string TitleOf(Display* display, Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                           False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

// A window manager puts each top-level window into a frame window of its own.
Window ChildWithTitle(Display* display, Window frame, const std::string& title) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, frame, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            if (TitleOf(display, children[i]) == title) found = children[i];
        }
        if (children) XFree(children);
    }
    return found;
}

}  // namespace

unsigned long FindWindowByTitle(const std::string& title) {
    Display* display = TestDisplay();
    if (!display) return 0;
    XSync(display, False);
    auto old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            if (TitleOf(display, children[i]) == title) found = children[i];
            else found = ChildWithTitle(display, children[i], title);
        }
        if (children) XFree(children);
    }
    XSync(display, False);
    XSetErrorHandler(old);
    return found;
}

XEmbedTrayOwner::XEmbedTrayOwner() {
    Display* display = TestDisplay();
    if (!display) throw std::runtime_error("no test display");
    window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    XSetSelectionOwner(display, XInternAtom(display, selection.c_str(), False), window_,
                       CurrentTime);
    XSync(display, False);
}

XEmbedTrayOwner::~XEmbedTrayOwner() {
    Display* display = TestDisplay();
    XDestroyWindow(display, window_);  // the selection goes with its owner
    XSync(display, False);
}

void PressKeys(std::initializer_list<KeySym> modifiers, KeySym key) {
    Display* display = TestDisplay();
    for (KeySym modifier : modifiers)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    for (KeySym modifier : modifiers)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), False, CurrentTime);
    XSync(display, False);
    PumpFor(std::chrono::milliseconds(300));
}

bool WindowViewable(unsigned long window) {
    Display* display = TestDisplay();
    XWindowAttributes attributes{};
    auto old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const bool viewable =
        XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
    XSetErrorHandler(old);
    return viewable;
}

void RequestClose(unsigned long window) {
    Display* display = TestDisplay();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

}  // namespace kivo::test
