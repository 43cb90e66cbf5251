#include "tests/e2e/support/ui_driver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <glib.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "tests/support/test_support.h"

namespace kivo::e2e {

namespace {

std::string TakeText(gchar* text) {
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

Display* Xdisplay() {
    Display* display = kivo::test::TestDisplay();
    if (!display)
        throw std::runtime_error("no X display for input");
    return display;
}

void Walk(const Element& element, int depth, const std::function<bool(const Element&)>& match,
          std::vector<Element>& found) {
    if (depth > 40)
        return;
    if (match(element))
        found.push_back(element);
    for (const Element& child : element.Children()) Walk(child, depth + 1, match, found);
}

}  // namespace

Element::Element(AtspiAccessible* accessible) : accessible_(accessible) {}
Element::Element(const Element& other)
    : accessible_(other.accessible_ ? static_cast<AtspiAccessible*>(g_object_ref(other.accessible_))
                                    : nullptr) {}
Element& Element::operator=(Element other) {
    std::swap(accessible_, other.accessible_);
    return *this;
}
Element::~Element() {
    if (accessible_)
        g_object_unref(accessible_);
}

std::string Element::Name() const {
    return accessible_ ? TakeText(atspi_accessible_get_name(accessible_, nullptr)) : "";
}
std::string Element::Description() const {
    return accessible_ ? TakeText(atspi_accessible_get_description(accessible_, nullptr)) : "";
}
AtspiRole Element::Role() const {
    return accessible_ ? atspi_accessible_get_role(accessible_, nullptr) : ATSPI_ROLE_INVALID;
}
std::string Element::RoleName() const {
    return accessible_ ? TakeText(atspi_accessible_get_role_name(accessible_, nullptr)) : "";
}
bool Element::Has(AtspiStateType state) const {
    if (!accessible_)
        return false;
    // States are read from the program each time: the client's copy follows the program's
    // events, so it may still show a state the program has left.
    atspi_accessible_clear_cache(accessible_);
    AtspiStateSet* set = atspi_accessible_get_state_set(accessible_);
    const bool has = set && atspi_state_set_contains(set, state);
    if (set)
        g_object_unref(set);
    return has;
}
std::vector<Element> Element::Children() const {
    std::vector<Element> children;
    if (!accessible_)
        return children;
    const gint count = atspi_accessible_get_child_count(accessible_, nullptr);
    for (gint i = 0; i < count; ++i)
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(accessible_, i, nullptr))
            children.emplace_back(child);
    return children;
}
Element Element::Parent() const {
    return Element(accessible_ ? atspi_accessible_get_parent(accessible_, nullptr) : nullptr);
}
pid_t Element::ProcessId() const {
    return accessible_ ? static_cast<pid_t>(atspi_accessible_get_process_id(accessible_, nullptr))
                       : -1;
}
std::string Element::Text() const {
    if (!accessible_)
        return "";
    AtspiText* text = atspi_accessible_get_text_iface(accessible_);
    if (!text)
        return "";
    const gint length = atspi_text_get_character_count(text, nullptr);
    std::string result = TakeText(atspi_text_get_text(text, 0, length, nullptr));
    g_object_unref(text);
    return result;
}
Element::Box Element::Extents() const {
    Box box;
    AtspiComponent* component =
        accessible_ ? atspi_accessible_get_component_iface(accessible_) : nullptr;
    if (!component)
        return box;
    if (AtspiRect* rect =
            atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)) {
        box = {rect->x, rect->y, rect->width, rect->height};
        g_free(rect);
    }
    g_object_unref(component);
    return box;
}
std::string Element::Describe() const {
    return accessible_ ? RoleName() + " '" + Name() + "'" : "(nothing)";
}

namespace {

void AddTree(const Element& e, int depth, std::string& out) {
    out += std::string(depth * 2, ' ') + e.Describe() + (e.Showing() ? " showing" : "") + "\n";
    if (depth < 40)
        for (const Element& child : e.Children()) AddTree(child, depth + 1, out);
}

}  // namespace

std::string Tree(const Element& root) {
    std::string out;
    AddTree(root, 0, out);
    return out;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return kivo::test::PumpUntil(done, timeout);
}

UiDriver::UiDriver(pid_t pid, std::chrono::milliseconds timeout) {
    static const bool initialised = (atspi_init(), true);
    (void)initialised;
    WaitUntil(
        [&] {
            Element desktop(atspi_get_desktop(0));
            for (const Element& app : desktop.Children()) {
                if (atspi_accessible_get_process_id(app.Get(), nullptr) ==
                        static_cast<guint>(pid) &&
                    !app.Children().empty()) {
                    app_ = app;
                    return true;
                }
            }
            return false;
        },
        timeout);
    if (!app_)
        throw std::runtime_error("the program did not appear on the accessibility bus");
}

std::vector<Element> UiDriver::FindAll(const std::function<bool(const Element&)>& match) const {
    atspi_accessible_clear_cache(app_.Get());
    std::vector<Element> found;
    for (const Element& child : app_.Children()) Walk(child, 0, match, found);
    return found;
}

Element UiDriver::Find(AtspiRole role, const std::string& name) const {
    auto found = FindAll([&](const Element& e) { return e.Role() == role && e.Name() == name; });
    for (const Element& e : found)
        if (e.Showing())
            return e;
    return found.empty() ? Element() : found.front();
}

Element UiDriver::WaitFor(AtspiRole role, const std::string& name,
                          std::chrono::milliseconds timeout) const {
    Element found;
    WaitUntil(
        [&] {
            found = Find(role, name);
            return found && found.Showing();
        },
        timeout);
    return found && found.Showing() ? found : Element();
}

bool UiDriver::WaitGone(AtspiRole role, const std::string& name,
                        std::chrono::milliseconds timeout) const {
    return WaitUntil(
        [&] {
            const Element found = Find(role, name);
            return !found || !found.Showing();
        },
        timeout);
}

std::vector<Element> UiDriver::Tabs() const {
    std::vector<Element> tabs;
    auto strips = FindAll(
        [](const Element& e) { return e.Role() == ATSPI_ROLE_PAGE_TAB_LIST && e.Showing(); });
    if (strips.empty())
        return tabs;
    for (const Element& tab : strips.front().Children())
        if (tab.Role() == ATSPI_ROLE_PAGE_TAB)
            tabs.push_back(tab);
    return tabs;
}

std::vector<std::string> UiDriver::TabNames() const {
    std::vector<std::string> names;
    for (const Element& tab : Tabs()) names.push_back(tab.Name());
    return names;
}

Element UiDriver::ClickPath(AtspiRole first_role, const std::vector<std::string>& path) const {
    // Below the first control, an item is a plain, check or radio menu item, or a menu when it
    // opens a submenu; all are waited for at once.
    const auto is_menu_entry = [](AtspiRole role) {
        return role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM ||
               role == ATSPI_ROLE_RADIO_MENU_ITEM || role == ATSPI_ROLE_MENU;
    };
    Element current;
    for (size_t i = 0; i < path.size(); ++i) {
        if (i == 0) {
            current = WaitFor(first_role, path[i]);
        } else {
            current = Element();
            WaitUntil([&] {
                const auto found = FindAll([&](const Element& e) {
                    return e.Name() == path[i] && is_menu_entry(e.Role()) && e.Showing();
                });
                if (!found.empty())
                    current = found.front();
                return bool(current);
            });
        }
        if (!current)
            return Element();
        Click(current);
    }
    return current;
}

namespace {

int pointer_scale = 1;

}  // namespace

void SetPointerScale(int scale) {
    pointer_scale = scale;
}

void MovePointer(int x, int y) {
    Display* d = Xdisplay();
    XTestFakeMotionEvent(d, -1, x * pointer_scale, y * pointer_scale, CurrentTime);
    XSync(d, False);
}

namespace {

// Two presses of a button this close in time and place make a double click: the toolkit's
// stock double-click time and distance, with room to spare.
constexpr auto kDoubleClickTime = 400ms + 200ms;
constexpr int kDoubleClickDistance = 8;

struct LastClick {
    int x = -1000, y = -1000;
    Button button = Button::Left;
    std::chrono::steady_clock::time_point pressed;  // when the X server had its last press
};
LastClick last_click;

// A user's next click is a click of its own: when it would fall on the previous one inside
// the double-click time, however fast the program answered the first, it waits that time out.
void WaitOutDoubleClick(int x, int y, Button button) {
    if (button != last_click.button || std::abs(x - last_click.x) > kDoubleClickDistance ||
        std::abs(y - last_click.y) > kDoubleClickDistance)
        return;
    const auto due = last_click.pressed + kDoubleClickTime;
    kivo::test::PumpUntil([&] { return std::chrono::steady_clock::now() >= due; },
                          kDoubleClickTime + 100ms);
}

bool ButtonsDown(Display* d) {
    Window root = None, child = None;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &root_x, &root_y, &x, &y, &mask);
    return mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask);
}

}  // namespace

void ClickAt(int x, int y, Button button, int count) {
    Display* d = Xdisplay();
    if (button != Button::WheelUp && button != Button::WheelDown)
        WaitOutDoubleClick(x, y, button);
    MovePointer(x, y);
    // The presses of a double click go to the server together, so no delay of this process
    // can part them.
    for (int i = 0; i < count; ++i) {
        XTestFakeButtonEvent(d, static_cast<unsigned>(button), True, CurrentTime);
        XTestFakeButtonEvent(d, static_cast<unsigned>(button), False, CurrentTime);
    }
    XSync(d, False);
    // A window manager that focuses a window on a click holds the pointer until it has seen
    // the press, and only then lets the press and the release on to the window. Keys are not
    // held meanwhile: typed at once, they would reach the window before the click did. The
    // click is through once the server has let the buttons up.
    WaitUntil([&] { return !ButtonsDown(d); }, 10s);
    last_click = {x, y, button, std::chrono::steady_clock::now()};
}

void WheelAt(int x, int y, Button wheel, bool control) {
    Display* d = Xdisplay();
    const KeyCode ctrl = XKeysymToKeycode(d, XK_Control_L);
    if (control) {
        XTestFakeKeyEvent(d, ctrl, True, CurrentTime);
        XSync(d, False);
    }
    ClickAt(x, y, wheel);
    if (control) {
        XTestFakeKeyEvent(d, ctrl, False, CurrentTime);
        XSync(d, False);
    }
}

namespace {

// The window of the program an element lies in: the last of its ancestors below the
// application itself.
Element WindowOf(const Element& element) {
    Element window = element;
    for (Element parent = element.Parent(); parent && parent.Role() != ATSPI_ROLE_APPLICATION;
         parent = parent.Parent())
        window = parent;
    return window;
}

bool Viewable(unsigned long window) {
    XWindowAttributes attributes{};
    return window && XGetWindowAttributes(Xdisplay(), window, &attributes) &&
           attributes.map_state == IsViewable;
}

}  // namespace

void Click(const Element& element, Button button, int count) {
    if (!element)
        throw std::runtime_error("no place on the screen for " + element.Describe());
    // The toolkit counts a window as showing as soon as it has asked for it to be. Under a
    // window manager the window comes on the screen only once the manager has framed and
    // placed it: a click before that would land on whatever lies beneath.
    if (const std::string title = WindowOf(element).Name(); !title.empty())
        WaitUntil(
            [&] {
                const unsigned long window = kivo::test::FindWindowByTitle(title);
                return !window || Viewable(window);
            },
            10s);
    // A control just shown may not be laid out yet: it has its place once it has a size.
    Element::Box box;
    WaitUntil(
        [&] {
            box = element.Extents();
            return box.width > 0 && box.height > 0;
        },
        10s);
    if (box.width <= 0 || box.height <= 0)
        throw std::runtime_error("no place on the screen for " + element.Describe());
    ClickAt(box.x + box.width / 2, box.y + box.height / 2, button, count);
}

namespace {

void Key(KeyCode code, bool down) {
    Display* d = Xdisplay();
    XTestFakeKeyEvent(d, code, down, CurrentTime);
    XSync(d, False);
}

// Key symbols that stand for one Unicode character, as KeySymOf makes them.
bool IsUnicodeKeySym(KeySym sym) {
    return sym >= 0x01000100 && sym <= 0x0110FFFF;
}

KeySym KeySymOf(char32_t c) {
    if (c == '\n')
        return XK_Return;
    if (c == '\t')
        return XK_Tab;
    if (c < 0x100)
        return c;  // Latin-1 key symbols are the code points
    return 0x01000000 | c;
}

std::vector<char32_t> CodePoints(const std::string& text) {
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        for (int k = 1; k < length && i + k < text.size(); ++k) c = (c << 6) | (text[i + k] & 0x3F);
        points.push_back(c);
        i += length;
    }
    return points;
}

// The key code and whether Shift is needed for a key symbol in the current keyboard map.
std::optional<std::pair<KeyCode, bool>> FindKey(Display* d, KeySym sym) {
    const KeyCode code = XKeysymToKeycode(d, sym);
    if (code == 0)
        return std::nullopt;
    if (XkbKeycodeToKeysym(d, code, 0, 0) == sym)
        return std::make_pair(code, false);
    if (XkbKeycodeToKeysym(d, code, 0, 1) == sym)
        return std::make_pair(code, true);
    return std::nullopt;
}

}  // namespace

void TypeText(const std::string& text) {
    Display* d = Xdisplay();
    // Characters the keyboard lacks get spare key codes (no symbol at all). The codes keep them
    // for the rest of the run: a client may read the new map only when it translates the key,
    // so putting the old map back at once could race with it.
    static std::map<KeySym, KeyCode> remapped;
    int min_code = 0, max_code = 0;
    XDisplayKeycodes(d, &min_code, &max_code);
    for (char32_t c : CodePoints(text)) {
        const KeySym sym = KeySymOf(c);
        if (remapped.count(sym))
            continue;
        if (const auto found = FindKey(d, sym)) {
            // A character an earlier test process gave a spare code: keep that code for this
            // text, so that taking back codes for the next characters cannot take it.
            if (IsUnicodeKeySym(sym))
                remapped[sym] = found->first;
            continue;
        }
        int per_code = 0;
        KeySym* map = XGetKeyboardMapping(d, min_code, max_code - min_code + 1, &per_code);
        // A code is spare when it has no symbol, or only characters an earlier test process
        // gave it (no keyboard map has those of its own): the display outlives each test, so
        // without taking those back the spare codes would run out over a whole run.
        std::set<KeyCode> ours;
        for (const auto& [unused, code] : remapped) ours.insert(code);
        KeyCode spare = 0;
        for (int code = max_code; code >= min_code && !spare; --code) {
            bool empty = true, typed_before = !ours.count(static_cast<KeyCode>(code));
            for (int k = 0; k < per_code; ++k) {
                const KeySym held = map[(code - min_code) * per_code + k];
                empty &= held == NoSymbol;
                typed_before &= held == NoSymbol || IsUnicodeKeySym(held);
            }
            if (empty || typed_before)
                spare = static_cast<KeyCode>(code);
        }
        XFree(map);
        if (!spare)
            throw std::runtime_error("no spare key code left for typing");
        KeySym syms[2] = {sym, sym};
        XChangeKeyboardMapping(d, spare, 2, syms, 1);
        XSync(d, False);
        remapped[sym] = spare;
    }
    const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
    for (char32_t c : CodePoints(text)) {
        const KeySym sym = KeySymOf(c);
        KeyCode code;
        bool shifted = false;
        if (auto it = remapped.find(sym); it != remapped.end()) {
            code = it->second;
        } else if (const auto found = FindKey(d, sym)) {
            std::tie(code, shifted) = *found;
        } else {
            throw std::runtime_error("no key types the character U+" + std::to_string(c));
        }
        if (shifted)
            Key(shift, true);
        Key(code, true);
        Key(code, false);
        if (shifted)
            Key(shift, false);
    }
}

void PressKeys(const std::string& chord) {
    Display* d = Xdisplay();
    static const std::map<std::string, KeySym> modifiers{
        {"ctrl", XK_Control_L}, {"alt", XK_Alt_L}, {"shift", XK_Shift_L}, {"super", XK_Super_L}};
    std::vector<std::string> parts;
    std::stringstream in(chord);
    for (std::string part; std::getline(in, part, '+');) parts.push_back(part);
    if (parts.empty())
        throw std::invalid_argument("empty key chord");
    std::vector<KeyCode> held;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto it = modifiers.find(parts[i]);
        if (it == modifiers.end())
            throw std::invalid_argument("unknown modifier " + parts[i]);
        held.push_back(XKeysymToKeycode(d, it->second));
    }
    KeySym sym = parts.back().size() == 1 ? static_cast<KeySym>(parts.back()[0])
                                          : XStringToKeysym(parts.back().c_str());
    const KeyCode code = XKeysymToKeycode(d, sym);
    if (sym == NoSymbol || code == 0)
        throw std::invalid_argument("unknown key " + parts.back());
    for (KeyCode m : held) Key(m, true);
    Key(code, true);
    Key(code, false);
    for (auto it = held.rbegin(); it != held.rend(); ++it) Key(*it, false);
}

}  // namespace kivo::e2e
