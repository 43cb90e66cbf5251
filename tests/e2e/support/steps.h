#pragma once
// Steps a user takes that several tests share.
#include <gtest/gtest.h>

#include <string>

#include "session/tab_rules.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/ui_driver.h"

namespace kivo::e2e {

// Replaces the text of a box by typing, as a user does: a click selects the whole text and
// typing replaces it. A page that completes meanwhile may put its address into the box under
// the typing; then the user selects all and types again, as anyone would.
inline bool ReplaceTextByTyping(const Element& box, const std::string& text) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        Click(box);
        // The click gives the box the keyboard a moment later (a window manager first makes
        // the window active): keys typed before that go elsewhere.
        WaitUntil([&] { return box.Has(ATSPI_STATE_FOCUSED); }, 10s);
        if (attempt > 0) PressKeys("ctrl+a");
        TypeText(text);
        if (WaitUntil([&] { return box.Text() == text; }, 10s)) return true;
    }
    return false;
}

// Gives the page of the active tab the keyboard with a click, coming from the address box. The
// page's worker asks the window for the keyboard once it has the click, and keys typed before
// the window has heard of that still go to the box: as a user sees the caret leave the box, this
// waits until the box has let go of the keyboard.
inline void ClickPageFromAddressBox(const UiDriver& ui, const Element& page) {
    const Element address = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(address);
    Click(address);
    ASSERT_TRUE(WaitUntil([&] { return address.Has(ATSPI_STATE_FOCUSED); })) << address.Describe();
    Click(page);
    ASSERT_TRUE(WaitUntil([&] { return !address.Has(ATSPI_STATE_FOCUSED); }))
        << "the address box kept the keyboard";
}

// The first showing element of the program with exactly this name, waited for; empty when the
// deadline passed.
inline Element WaitForShowing(const UiDriver& ui, const std::string& name) {
    Element found;
    WaitUntil([&] {
        auto all = ui.FindAll([&](const Element& e) { return e.Name() == name && e.Showing(); });
        if (all.empty()) return false;
        found = all.front();
        return true;
    });
    return found;
}

// Whether no element of that name is showing now.
inline bool NoneShowing(const UiDriver& ui, const std::string& name) {
    return ui.FindAll([&](const Element& e) { return e.Name() == name && e.Showing(); }).empty();
}

// Types an address into the address box and presses Enter, as a user does.
inline void Go(const UiDriver& ui, const std::string& address) {
    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(box);
    ASSERT_TRUE(ReplaceTextByTyping(box, address))
        << "the box shows " << box.Text() << ", the keyboard is at " << KeyboardFocusDescription();
    PressKeys("Return");
}

// The save dialog's name box: the text box on the row of its "Name:" label.
inline Element NameBoxOfSaveDialog(const UiDriver& ui) {
    const Element label = ui.WaitFor(ATSPI_ROLE_LABEL, "Name:");
    if (!label)
        return {};
    const Element::Box at = label.Extents();
    const int row = at.y + at.height / 2;
    for (const Element& e : ui.FindAll([&](const Element& e) {
             if (e.Role() != ATSPI_ROLE_TEXT || !e.Showing())
                 return false;
             const Element::Box box = e.Extents();
             return box.x > at.x && box.y <= row && row <= box.y + box.height;
         }))
        return e;
    return {};
}

// The page tabs of the strip, left to right.
inline std::vector<Element> Tabs(const UiDriver& ui) { return ui.Tabs(); }

// Clicks a tab and waits until it is the selected one.
inline void Activate(const Element& tab) {
    Click(tab);
    EXPECT_TRUE(WaitUntil([&] { return tab.Selected(); })) << tab.Describe();
}

// Clicks the close button drawn at the right end of the active tab. The strip does not
// expose the widgets of its tabs to the accessibility interface, and a tab's box there is
// that of its caption, which shrinks when the button shows; the caption begins after the
// tab's icon and the tab is of fixed width, so the button is found from where it begins.
inline void ClickCloseButton(const Element& tab) {
    constexpr int kIconAndSpacing = 24;
    const Element::Box box = tab.Extents();
    ClickAt(box.x - kIconAndSpacing + kivo::kTabWidth - 10, box.y + box.height / 2);
}

}  // namespace kivo::e2e
