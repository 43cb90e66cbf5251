#include "tests/e2e/support/outside.h"

#include <gtk/gtk.h>
// After the toolkit: the X headers define macros that clash with it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sqlite3.h>

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace kivo::e2e {

const char* ToString(WindowState state) {
    switch (state) {
        case WindowState::Absent:
            return "absent";
        case WindowState::Unmapped:
            return "unmapped";
        case WindowState::Iconic:
            return "iconic";
        case WindowState::Shown:
            return "shown";
    }
    return "?";
}

WindowState WindowStateOf(const std::string& title) {
    const unsigned long window = kivo::test::FindWindowByTitle(title);
    if (!window)
        return WindowState::Absent;
    Display* d = kivo::test::TestDisplay();
    const Atom wm_state = XInternAtom(d, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long state = -1;
    if (XGetWindowProperty(d, window, wm_state, 0, 2, False, wm_state, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        if (count >= 1 && format == 32)
            state = reinterpret_cast<long*>(data)[0];
        XFree(data);
    }
    if (state == IconicState)
        return WindowState::Iconic;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, window, &attributes))
        return WindowState::Absent;
    return attributes.map_state == IsViewable ? WindowState::Shown : WindowState::Unmapped;
}

namespace {

// The 32-bit items of a window's property, none when it has no such property.
std::vector<long> LongsOf(Window window, const char* property) {
    Display* d = kivo::test::TestDisplay();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    if (XGetWindowProperty(d, window, XInternAtom(d, property, False), 0, 64, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32)
            items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        XFree(data);
    }
    return items;
}

// Sends a request about a window to the window manager, as the desktop's panels do.
void AskWindowManager(Window window, const char* message, std::vector<long> data) {
    Display* d = kivo::test::TestDisplay();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, message, False);
    event.xclient.format = 32;
    for (size_t i = 0; i < data.size() && i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XSync(d, False);
}

Window RequireWindow(const std::string& title) {
    const unsigned long window = kivo::test::FindWindowByTitle(title);
    if (!window)
        throw std::runtime_error("no window " + title);
    return window;
}

}  // namespace

void MinimiseThroughWindowManager(const std::string& title) {
    AskWindowManager(RequireWindow(title), "WM_CHANGE_STATE", {IconicState});
}

void ActivateThroughWindowManager(const std::string& title) {
    // Source 2: a pager or taskbar, whose requests a window manager follows without question.
    AskWindowManager(RequireWindow(title), "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0});
}

namespace {

// Whether the X server's keyboard focus is inside this window. A window manager offers a window
// the focus by putting it on the window itself; the toolkit takes it onto a window of its own
// inside. Until then keys go to whatever child lies under the pointer, such as a tab's page.
bool HoldsKeyboardFocus(Window window) {
    Display* d = kivo::test::TestDisplay();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    if (focus == window)
        return false;
    while (focus != None && focus != PointerRoot) {
        if (focus == window)
            return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, focus, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        focus = parent;
    }
    return false;
}

}  // namespace

std::string KeyboardFocusDescription() {
    Display* d = kivo::test::TestDisplay();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    if (focus == None)
        return "nowhere";
    if (focus == PointerRoot)
        return "under the pointer";
    std::string described;
    for (Window w = focus; w != None;) {
        char* name = nullptr;
        XClassHint hint{};
        std::string part = std::to_string(w);
        if (XFetchName(d, w, &name) && name) {
            part += " \"" + std::string(name) + "\"";
            XFree(name);
        }
        if (XGetClassHint(d, w, &hint)) {
            part += std::string(" (") + (hint.res_class ? hint.res_class : "") + ")";
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
        }
        described += described.empty() ? part : " in " + part;
        Window root = None, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        w = parent == root ? None : parent;
    }
    return "window " + described;
}

bool IsActiveWindow(const std::string& title) {
    const auto active = LongsOf(DefaultRootWindow(kivo::test::TestDisplay()), "_NET_ACTIVE_WINDOW");
    const unsigned long window = kivo::test::FindWindowByTitle(title);
    // The window manager names the active window a moment before the window has taken the
    // keyboard focus it was offered.
    return window && !active.empty() && static_cast<unsigned long>(active.front()) == window &&
           HoldsKeyboardFocus(window);
}

ScreenBox WindowBox(const std::string& title) {
    const unsigned long window = kivo::test::FindWindowByTitle(title);
    Display* d = kivo::test::TestDisplay();
    XWindowAttributes attributes{};
    if (!window || !XGetWindowAttributes(d, window, &attributes))
        return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return {x, y, attributes.width, attributes.height};
}

std::vector<long> FrameExtents(const std::string& title) {
    const unsigned long window = kivo::test::FindWindowByTitle(title);
    return window ? LongsOf(window, "_NET_FRAME_EXTENTS") : std::vector<long>{};
}

unsigned long ScreenPixel(int x, int y) {
    Display* d = kivo::test::TestDisplay();
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
    XDestroyImage(image);
    return pixel;
}

std::vector<std::vector<std::string>> QueryDatabase(const std::string& path,
                                                    const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        throw std::runtime_error(path + ": " + message);
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* statement = nullptr;
    std::vector<std::vector<std::string>> rows;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto* text = sqlite3_column_text(statement, i);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        rows.push_back(std::move(row));
        rc = SQLITE_OK;
    }
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sql + ": " + message);
    return rows;
}

std::vector<std::string> FolderEntries(const std::string& folder, const std::string& contains) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename();
        if (name.find(contains) != std::string::npos)
            names.push_back(name);
    }
    return names;
}

void InitClipboardToolkit() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const char* bridge = getenv("NO_AT_BRIDGE");
    const std::string saved = bridge ? bridge : "";
    setenv("NO_AT_BRIDGE", "1", 1);
    gtk_init(nullptr, nullptr);
    if (bridge)
        setenv("NO_AT_BRIDGE", saved.c_str(), 1);
    else
        unsetenv("NO_AT_BRIDGE");
}

std::string ClipboardText() {
    InitClipboardToolkit();
    gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    const std::string result = text ? text : "";
    g_free(text);
    return result;
}

}  // namespace kivo::e2e
