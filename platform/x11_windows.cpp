#include "platform/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <memory>
#include <vector>

namespace kivo {

namespace {

// Windows can vanish while we walk the tree; such errors must not end the process.
class IgnoreXErrors {
  public:
    explicit IgnoreXErrors(Display* display) : display_(display) {
        XSync(display_, False);
        previous_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~IgnoreXErrors() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

  private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};

std::string WindowClass(Display* display, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint))
        return {};
    std::string result = hint.res_class ? hint.res_class : "";
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return result;
}

std::string WindowTitle(Display* display, Window window) {
    const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, net_wm_name, 0, 4096, False, utf8, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
        if (type == utf8 && format == 8)
            return std::string(reinterpret_cast<char*>(data), count);
    }
    XTextProperty property{};
    if (!XGetWMName(display, window, &property) || !property.value)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> owned(property.value);
    char** list = nullptr;
    int items = 0;
    if (Xutf8TextPropertyToTextList(display, &property, &list, &items) < Success || items < 1)
        return {};
    std::string title = list[0];
    XFreeStringList(list);
    return title;
}

bool Matches(Display* display, Window window, const std::string& window_class,
             const std::string& title) {
    return WindowClass(display, window) == window_class && WindowTitle(display, window) == title;
}

std::unique_ptr<Window, XFreeDeleter> Children(Display* display, Window window, unsigned& count) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        count = 0;
    return std::unique_ptr<Window, XFreeDeleter>(children);
}

// The client windows a window manager lists on the root (_NET_CLIENT_LIST); empty when none
// does.
std::vector<Window> NetClientList(Display* display) {
    const Atom client_list = XInternAtom(display, "_NET_CLIENT_LIST", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), client_list, 0, 1 << 16, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) != Success ||
        !data)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (type != XA_WINDOW || format != 32)
        return {};
    // Format 32 items come as longs whatever their size on the wire.
    const auto* items = reinterpret_cast<const unsigned long*>(data);
    return std::vector<Window>(items, items + count);
}

bool HasWmState(Display* display, Window window) {
    const Atom wm_state = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, wm_state, 0, 0, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success)
        return false;
    if (data)
        XFree(data);
    return type != None;
}

// Walks the whole tree below `window` for client windows (those carrying WM_STATE, which the
// window manager puts on each window it manages, however deep it nests its frames).
Window FindClientBelow(Display* display, Window window, const std::string& window_class,
                       const std::string& title) {
    unsigned count = 0;
    auto children = Children(display, window, count);
    for (unsigned i = 0; i < count; ++i) {
        const Window child = children.get()[i];
        if (HasWmState(display, child)) {
            if (Matches(display, child, window_class, title))
                return child;
            continue;  // a client's own subwindows hold no other clients
        }
        if (const Window found = FindClientBelow(display, child, window_class, title))
            return found;
    }
    return 0;
}

}  // namespace

unsigned long FindTopLevelWindow(Display* display, const std::string& window_class,
                                 const std::string& title) {
    IgnoreXErrors guard(display);
    for (const Window window : NetClientList(display)) {
        if (Matches(display, window, window_class, title))
            return window;
    }
    const Window root = DefaultRootWindow(display);
    if (const Window found = FindClientBelow(display, root, window_class, title))
        return found;
    // No window manager at all: the client windows are the root's children.
    unsigned count = 0;
    auto top = Children(display, root, count);
    for (unsigned i = 0; i < count; ++i) {
        if (Matches(display, top.get()[i], window_class, title))
            return top.get()[i];
    }
    return 0;
}

bool WindowExists(Display* display, unsigned long window) {
    if (window == 0)
        return false;
    IgnoreXErrors guard(display);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0;
}

}  // namespace kivo
