#include "platform/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <memory>

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
        if (p) XFree(p);
    }
};

std::string WindowClass(Display* display, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return {};
    std::string result = hint.res_class ? hint.res_class : "";
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
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
        if (type == utf8 && format == 8) return std::string(reinterpret_cast<char*>(data), count);
    }
    XTextProperty property{};
    if (!XGetWMName(display, window, &property) || !property.value) return {};
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
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) count = 0;
    return std::unique_ptr<Window, XFreeDeleter>(children);
}

}  // namespace

unsigned long FindTopLevelWindow(Display* display, const std::string& window_class,
                                 const std::string& title) {
    IgnoreXErrors guard(display);
    unsigned count = 0;
    auto top = Children(display, DefaultRootWindow(display), count);
    for (unsigned i = 0; i < count; ++i) {
        const Window window = top.get()[i];
        if (Matches(display, window, window_class, title)) return window;
    }
    // A reparenting window manager puts each client window inside a frame of its own.
    for (unsigned i = 0; i < count; ++i) {
        unsigned inner_count = 0;
        auto inner = Children(display, top.get()[i], inner_count);
        for (unsigned k = 0; k < inner_count; ++k) {
            if (Matches(display, inner.get()[k], window_class, title)) return inner.get()[k];
        }
    }
    return 0;
}

bool WindowExists(Display* display, unsigned long window) {
    if (window == 0) return false;
    IgnoreXErrors guard(display);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0;
}

}  // namespace kivo
