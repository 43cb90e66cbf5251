#pragma once
// Steps in the catalogue of the left panel and the prompts it asks, shared by the tests that
// edit the catalogue.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"

namespace kivo::e2e {

inline constexpr const char* kAddGameNode = "添加新游戏";

// The first element below `root` (itself included) for which `match` holds, in tree order.
inline Element FirstBelow(const Element& root, const std::function<bool(const Element&)>& match) {
    if (match(root))
        return root;
    for (const Element& child : root.Children())
        if (Element found = FirstBelow(child, match))
            return found;
    return {};
}

// The first showing element of the program with exactly this name (and role, unless any),
// waited for.
inline Element Shown(const UiDriver& ui, const std::string& name,
                     AtspiRole role = ATSPI_ROLE_INVALID) {
    Element found;
    WaitUntil([&] {
        const auto all = ui.FindAll([&](const Element& e) {
            return e.Name() == name && e.Showing() &&
                   (role == ATSPI_ROLE_INVALID || e.Role() == role);
        });
        if (!all.empty())
            found = all.front();
        return bool(found);
    });
    return found;
}

// A node of a catalogue tree, found by its caption.
inline Element TreeNode(const UiDriver& ui, const std::string& caption) {
    return Shown(ui, caption, ATSPI_ROLE_TABLE_CELL);
}

inline bool GoneFromScreen(const UiDriver& ui, const std::string& name) {
    return WaitUntil([&] {
        return ui.FindAll([&](const Element& e) { return e.Name() == name && e.Showing(); })
            .empty();
    });
}

// The window (dialog, prompt or message box) that shows a label with this text.
inline Element WindowShowing(const UiDriver& ui, const std::string& text) {
    Element window = Shown(ui, text);
    while (window && window.Parent() && window.Parent().Role() != ATSPI_ROLE_APPLICATION)
        window = window.Parent();
    return window;
}

// Clicks the button of that caption in the window that shows `text`.
inline void ClickIn(const UiDriver& ui, const std::string& text, const std::string& button) {
    const Element window = WindowShowing(ui, text);
    ASSERT_TRUE(window) << "nothing shows " << text;
    const Element found = FirstBelow(window, [&](const Element& e) {
        return e.Role() == ATSPI_ROLE_PUSH_BUTTON && e.Name() == button && e.Showing();
    });
    ASSERT_TRUE(found) << Tree(window);
    Click(found);
}

// The edit of the prompt that asks `prompt`.
inline Element PromptEdit(const UiDriver& ui, const std::string& prompt) {
    return FirstBelow(WindowShowing(ui, prompt), [](const Element& e) {
        return e.Role() == ATSPI_ROLE_TEXT && e.Has(ATSPI_STATE_EDITABLE) && e.Showing();
    });
}

// Answers a prompt: the text typed over the whole of its edit, then Enter. `shown` receives
// the text the prompt offered.
inline void AnswerPrompt(const UiDriver& ui, const std::string& prompt, const std::string& text,
                         std::string* shown = nullptr) {
    const Element edit = PromptEdit(ui, prompt);
    ASSERT_TRUE(edit) << "no prompt " << prompt;
    if (shown)
        *shown = edit.Text();
    Click(edit);
    ASSERT_TRUE(WaitUntil([&] { return edit.Has(ATSPI_STATE_FOCUSED); })) << edit.Describe();
    PressKeys("ctrl+a");
    TypeText(text);
    PressKeys("Return");
    ASSERT_TRUE(GoneFromScreen(ui, prompt)) << "the prompt stays: " << prompt;
}

// Adds a game through the web-game tree's add node.
inline void AddGame(const UiDriver& ui, const std::string& name) {
    const Element add = TreeNode(ui, kAddGameNode);
    ASSERT_TRUE(add);
    Click(add);
    AnswerPrompt(ui, catalogue::kAddGamePrompt, name);
    ASSERT_TRUE(TreeNode(ui, name)) << "the tree does not show the new game " << name;
}

}  // namespace kivo::e2e
