#pragma once
// Drives the running program as a user does: controls are found through the accessibility
// interface by role and name, and pressed or typed into with real pointer and key events.
#include <atspi/atspi.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kivo::e2e {

using namespace std::chrono_literals;

// An accessible object of the program; an empty one when nothing was found.
class Element {
  public:
    Element() = default;
    explicit Element(AtspiAccessible* accessible);  // takes the reference
    Element(const Element& other);
    Element& operator=(Element other);
    ~Element();

    explicit operator bool() const { return accessible_ != nullptr; }
    AtspiAccessible* Get() const { return accessible_; }

    std::string Name() const;
    std::string Description() const;
    AtspiRole Role() const;
    std::string RoleName() const;
    bool Has(AtspiStateType state) const;
    bool Showing() const { return Has(ATSPI_STATE_SHOWING); }
    bool Checked() const { return Has(ATSPI_STATE_CHECKED); }
    bool Enabled() const { return Has(ATSPI_STATE_ENABLED); }
    bool Selected() const { return Has(ATSPI_STATE_SELECTED); }
    std::vector<Element> Children() const;
    Element Parent() const;
    pid_t ProcessId() const;
    // The text of a text control (an entry), empty for others.
    std::string Text() const;
    struct Box {
        int x = 0, y = 0, width = 0, height = 0;
    };
    // Where it is on the screen.
    Box Extents() const;
    // "role 'name'" for failure messages.
    std::string Describe() const;

  private:
    AtspiAccessible* accessible_ = nullptr;
};

// The tree below an element, one line per element, for failure messages and exploring.
std::string Tree(const Element& root);

// Runs the main loop until `done` holds; false when the deadline passed first.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 30s);

class UiDriver {
  public:
    // Waits (up to `timeout`) for the application of the process to appear on the bus.
    explicit UiDriver(pid_t pid, std::chrono::milliseconds timeout = 60s);

    const Element& App() const { return app_; }
    // Every element below the application (its windows, menus, their contents and the pages
    // embedded from the workers) for which `match` holds, in tree order.
    std::vector<Element> FindAll(const std::function<bool(const Element&)>& match) const;
    // The first element with that role and name, preferring one that is showing.
    Element Find(AtspiRole role, const std::string& name) const;
    // Waits for it to be there and showing; empty when the deadline passed.
    Element WaitFor(AtspiRole role, const std::string& name,
                    std::chrono::milliseconds timeout = 30s) const;
    // Waits until no showing element of that role and name is left.
    bool WaitGone(AtspiRole role, const std::string& name,
                  std::chrono::milliseconds timeout = 30s) const;
    // The page tabs of the tab strip, left to right.
    std::vector<Element> Tabs() const;
    // Their names: a tab's name changes as its page loads, so a tab to act on is best taken
    // from Tabs().
    std::vector<std::string> TabNames() const;
    // Opens the items of a menu path one after the other by clicking them: the first is a
    // control already showing (a menu bar item, a button), each next one the menu item of that
    // name that appears. Returns the last item clicked, empty when one did not appear.
    Element ClickPath(AtspiRole first_role, const std::vector<std::string>& path) const;

  private:
    Element app_;
};

// Real input through the XTest extension on the test display; each waits until the X server
// has processed the events.
// The program's places are in its own pixels; under a desktop scale (GDK_SCALE) each is that
// many pixels of the screen. Set before pointing at a program that runs scaled.
void SetPointerScale(int scale);
enum class Button { Left = 1, Middle = 2, Right = 3, WheelUp = 4, WheelDown = 5 };
void MovePointer(int x, int y);
// A click that would fall on the previous one inside the double-click time waits that time out
// first, as two clicks of a user are two clicks; `count` 2 makes a double click.
void ClickAt(int x, int y, Button button = Button::Left, int count = 1);
// Clicks the centre of the element's box on the screen, once it has one (a control just shown
// is laid out a moment later).
void Click(const Element& element, Button button = Button::Left, int count = 1);
// Turns the wheel one notch over the point, with Ctrl held down when `control`.
void WheelAt(int x, int y, Button wheel, bool control = false);
// Types UTF-8 text key by key; characters without a key of their own (Chinese, for instance)
// are typed through a spare key code given that character for the rest of the run.
void TypeText(const std::string& text);
// Presses a key chord such as "ctrl+b", "alt+b", "Return", "shift+Tab" (X key names joined
// with "+"; ctrl, alt, shift and super as modifiers).
void PressKeys(const std::string& chord);

}  // namespace kivo::e2e
