// The tab strip driven from outside: its menu, locked and protected tabs, tabs closed while
// others load, a tab whose page process dies, renaming. Real clicks and keys only; what is
// checked is what a user sees on the screen and what the web server received.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <memory>

#include "platform/identity.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "session/tab_rules.h"

namespace {

using namespace kivo::e2e;

constexpr const char* kLock = "锁定标签页";
constexpr const char* kProtect = "保护标签页";
constexpr const char* kRename = "修改标签页名称";
constexpr const char* kNewBlank = "新建浏览页";
constexpr const char* kLoading = "载入中";
constexpr const char* kAskProtect = "请输入保护密码";
constexpr const char* kAskUnlock = "请输入解除保护的密码";
constexpr const char* kAskName = "请输入一个新的名字";
constexpr const char* kAskClose = "是否关闭当前页面？";

bool TabCountIs(const UiDriver& ui, size_t count) {
    return WaitUntil([&] { return ui.TabNames().size() == count; });
}

// A showing label with exactly this text (prompts, messages).
bool Showing(const UiDriver& ui, const std::string& text) {
    return !ui.FindAll([&](const Element& e) {
                  return e.Role() == ATSPI_ROLE_LABEL && e.Name() == text && e.Showing();
              }).empty();
}

// A showing label of the program whose text contains `part` (the status bar).
std::string LabelContaining(const UiDriver& ui, const std::string& part) {
    const pid_t own = ui.App().ProcessId();
    for (const Element& e : ui.FindAll([&](const Element& e) {
             return e.Role() == ATSPI_ROLE_LABEL && e.ProcessId() == own &&
                    e.Name().find(part) != std::string::npos;
         }))
        return e.Name();
    return "";
}

// Opens the menu of a tab (activated first: the menu belongs to the active tab) and clicks
// one of its items; false when the menu or the item did not show.
bool ClickTabMenu(const UiDriver& ui, const Element& tab, const std::string& item) {
    Activate(tab);
    Click(tab, Button::Right);
    Element found;
    const bool shown = WaitUntil([&] {
        found = ui.Find(ATSPI_ROLE_CHECK_MENU_ITEM, item);
        if (!found)
            found = ui.Find(ATSPI_ROLE_MENU_ITEM, item);
        return found && found.Showing();
    });
    if (!shown)
        return false;
    Click(found);
    return true;
}

// The check marks of the lock and protect items as the tab's menu shows them; the menu is
// closed again. Fails when the menu did not show, or a prompt came up instead.
std::pair<bool, bool> TabMarks(const UiDriver& ui, const Element& tab) {
    Activate(tab);
    Click(tab, Button::Right);
    Element lock;
    EXPECT_TRUE(WaitUntil([&] {
        lock = ui.Find(ATSPI_ROLE_CHECK_MENU_ITEM, kLock);
        return (lock && lock.Showing()) || Showing(ui, kAskProtect) || Showing(ui, kAskUnlock);
    }));
    EXPECT_FALSE(Showing(ui, kAskProtect) || Showing(ui, kAskUnlock))
        << "opening the tab menu asked for a password";
    const bool locked = lock && lock.Checked();
    const bool protectd = ui.Find(ATSPI_ROLE_CHECK_MENU_ITEM, kProtect).Checked();
    PressKeys("Escape");
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_CHECK_MENU_ITEM, kLock));
    return {locked, protectd};
}

// The edit of the prompt on the screen.
Element PromptEdit(const UiDriver& ui) {
    const pid_t own = ui.App().ProcessId();
    Element found;
    WaitUntil([&] {
        for (const Element& e : ui.FindAll([&](const Element& e) {
                 return (e.Role() == ATSPI_ROLE_TEXT || e.Role() == ATSPI_ROLE_PASSWORD_TEXT) &&
                        e.ProcessId() == own && e.Has(ATSPI_STATE_EDITABLE) && e.Showing();
             }))
            if (e.Name() != "地址" && e.Name() != "网页搜索")
                found = e;
        return bool(found);
    });
    return found;
}

// Answers the prompt showing `prompt` with keys: the text typed over the selected value, then
// Enter.
void Answer(const UiDriver& ui, const std::string& prompt, const std::string& text) {
    ASSERT_TRUE(WaitUntil([&] { return Showing(ui, prompt); })) << "no prompt " << prompt;
    const Element edit = PromptEdit(ui);
    ASSERT_TRUE(edit) << Tree(ui.App());
    // Keys go where the pointer put the caret: the prompt is a window of its own.
    Click(edit);
    ASSERT_TRUE(WaitUntil([&] { return edit.Has(ATSPI_STATE_FOCUSED); })) << edit.Describe();
    PressKeys("ctrl+a");
    TypeText(text);
    PressKeys("Return");
    ASSERT_TRUE(WaitUntil([&] { return !Showing(ui, prompt); }));
}

// Types an address into the address box and presses Enter.
void TypeAddress(const UiDriver& ui, const std::string& address) {
    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(box);
    ASSERT_TRUE(ReplaceTextByTyping(box, address)) << box.Text();
    PressKeys("Return");
}

// Opens a new tab on an address and waits until the strip has `count` tabs.
void OpenTab(const UiDriver& ui, const std::string& address, size_t count) {
    TypeAddress(ui, address);
    ASSERT_TRUE(TabCountIs(ui, count)) << ::testing::PrintToString(ui.TabNames());
}

constexpr unsigned long kRed = 0xff0000;  // the top square of the tall test page

TEST(TabStrip, MenuMarksStayTheTabsOwnNewBlankTabAndRenameKeepsLongNames) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(TabCountIs(ui, 1)) << program.Output();

    // A new blank page gets a caption of its own, not the loading one for ever.
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[0], kNewBlank));
    ASSERT_TRUE(TabCountIs(ui, 2));
    EXPECT_TRUE(WaitUntil([&] {
        const auto names = ui.TabNames();
        return names.size() == 2 && !names[1].empty() && names[1] != kLoading;
    })) << ::testing::PrintToString(ui.TabNames());

    // A page with a long title in the blank tab; renaming keeps the whole of it.
    const std::string long_name = "LongTabName-0123456789-abcdefg";  // 30 characters
    TypeAddress(ui, program.Server().Url("/title?t=" + long_name));
    const std::string shown_title = long_name + "-" + kivo::kApplicationTitle;
    ASSERT_TRUE(WaitUntil([&] { return Showing(ui, shown_title); }))
        << ::testing::PrintToString(ui.TabNames());
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[1], kRename));
    ASSERT_TRUE(WaitUntil([&] { return Showing(ui, kAskName); }));
    const Element edit = PromptEdit(ui);
    ASSERT_TRUE(edit) << Tree(ui.App());
    EXPECT_EQ(edit.Text(), long_name) << "the prompt cut the name";
    Click(edit);
    ASSERT_TRUE(WaitUntil([&] { return edit.Has(ATSPI_STATE_FOCUSED); })) << edit.Describe();
    PressKeys("Return");
    ASSERT_TRUE(WaitUntil([&] { return !Showing(ui, kAskName); }));
    EXPECT_TRUE(WaitUntil([&] { return Showing(ui, shown_title); }, 10s))
        << "the name after OK is not the whole name";
    const std::string caption = ui.TabNames()[1];
    EXPECT_TRUE(!caption.empty() && long_name.rfind(caption.substr(0, 8), 0) == 0) << caption;

    // A name typed with keys replaces the old one, up to the prompt's limit of 20 characters.
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[1], kRename));
    Answer(ui, kAskName, "我的账号-" + long_name);
    const std::string typed = "我的账号-LongTabName-012";  // its first 20 characters
    EXPECT_TRUE(WaitUntil([&] { return Showing(ui, typed + "-" + kivo::kApplicationTitle); }, 10s))
        << ::testing::PrintToString(ui.TabNames());

    // Locking one tab leaves the others unlocked, and opening a menu changes no mark.
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[1], kLock));
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[1], kNewBlank));
    ASSERT_TRUE(TabCountIs(ui, 3));
    EXPECT_EQ(TabMarks(ui, Tabs(ui)[2]), std::make_pair(false, false)) << "the new tab";
    EXPECT_EQ(TabMarks(ui, Tabs(ui)[0]), std::make_pair(false, false)) << "the first tab";
    EXPECT_EQ(TabMarks(ui, Tabs(ui)[1]), std::make_pair(true, false)) << "the locked tab";
    EXPECT_EQ(TabMarks(ui, Tabs(ui)[2]), std::make_pair(false, false)) << "the new tab again";

    // The unlocked tab closes without a question; the locked one asks first.
    const Element fresh = Tabs(ui)[2];
    Activate(fresh);
    ClickCloseButton(fresh);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 2 || Showing(ui, kAskClose); }))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_FALSE(Showing(ui, kAskClose)) << "an unlocked tab asked before closing";
    if (Showing(ui, kAskClose))
        PressKeys("Return");
    ASSERT_TRUE(TabCountIs(ui, 2));
    const Element locked = Tabs(ui)[1];
    Activate(locked);
    ClickCloseButton(locked);
    EXPECT_TRUE(WaitUntil([&] { return Showing(ui, kAskClose); }))
        << "the locked tab closed unasked";
    PressKeys("Escape");  // not confirmed: the tab stays
    EXPECT_TRUE(WaitUntil([&] { return !Showing(ui, kAskClose); }));
    EXPECT_EQ(ui.TabNames().size(), 2u);

    // A cancelled protect prompt protects nothing, and the next menu asks for nothing.
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[0], kProtect));
    ASSERT_TRUE(WaitUntil([&] { return Showing(ui, kAskProtect); }));
    const Element cancel = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "取消");
    ASSERT_TRUE(cancel) << Tree(ui.App());
    Click(cancel);
    ASSERT_TRUE(WaitUntil([&] { return !Showing(ui, kAskProtect); }));
    EXPECT_EQ(TabMarks(ui, Tabs(ui)[0]), std::make_pair(false, false));
    EXPECT_EQ(TabMarks(ui, Tabs(ui)[0]), std::make_pair(false, false));
    // Nor does going to the tab from another one.
    Activate(Tabs(ui)[1]);
    Click(Tabs(ui)[0]);
    EXPECT_TRUE(WaitUntil([&] { return Tabs(ui)[0].Selected() || Showing(ui, kAskUnlock); }));
    EXPECT_FALSE(Showing(ui, kAskUnlock)) << "an unprotected tab asked for a password";
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST(TabStrip, AProtectedTabPickedByTheStripShowsItsPageOnlyAfterThePassword) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(TabCountIs(ui, 1)) << program.Output();
    OpenTab(ui, program.Server().Url("/tall"), 2);
    // Where the red square of the tall page shows on the screen.
    Element page;
    ASSERT_TRUE(WaitUntil([&] {
        page = ui.Find(ATSPI_ROLE_DOCUMENT_WEB, "Tall");
        return page && page.Showing() && page.Extents().width > 0;
    })) << Tree(ui.App());
    const Element::Box box = page.Extents();
    const int x = box.x + 280, y = box.y + 280;
    ASSERT_TRUE(WaitUntil([&] { return ScreenPixel(x, y) == kRed; }))
        << std::hex << ScreenPixel(x, y);

    // Protect it, go to a tab opened to its right, and close that one: the strip picks the
    // protected tab by itself.
    ASSERT_TRUE(ClickTabMenu(ui, Tabs(ui)[1], kProtect));
    Answer(ui, kAskProtect, "pw12");
    OpenTab(ui, program.Server().Url("/title?t=Neighbour"), 3);
    const Element neighbour = Tabs(ui)[2];
    Activate(neighbour);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(x, y) != kRed; }));
    ClickCloseButton(neighbour);
    ASSERT_TRUE(WaitUntil([&] { return Showing(ui, kAskUnlock); })) << "no password asked";
    EXPECT_NE(ScreenPixel(x, y), kRed) << "the protected page shows before its password";

    // A wrong password keeps it covered; a click on the tab asks again.
    Answer(ui, kAskUnlock, "nope");
    EXPECT_NE(ScreenPixel(x, y), kRed) << "the protected page shows after a wrong password";
    Click(Tabs(ui)[1]);
    ASSERT_TRUE(WaitUntil([&] { return Showing(ui, kAskUnlock); }))
        << "the click on the tab asked nothing";
    EXPECT_NE(ScreenPixel(x, y), kRed);
    Answer(ui, kAskUnlock, "pw12");
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(x, y) == kRed; }))
        << "the right password shows nothing";
    EXPECT_EQ(ui.TabNames().size(), 2u);
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST(TabStrip, TabsClosedWhileOthersLoadAndATabWhosePageProcessDied) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(TabCountIs(ui, 1)) << program.Output();

    // Five slow pages, finishing one after the other; tabs close while the rest complete.
    for (int i = 1; i <= 5; ++i)
        OpenTab(ui, program.Server().Url("/slow?ms=" + std::to_string(2000 + 1000 * i)),
                static_cast<size_t>(i + 1));
    const Element second = Tabs(ui)[2];
    Activate(second);
    ClickCloseButton(second);  // by its close button
    ASSERT_TRUE(TabCountIs(ui, 5)) << program.Output();
    const Element fourth = Tabs(ui)[3];
    Activate(fourth);
    Click(fourth, Button::Left, 2);  // a double click closes the active tab
    ASSERT_TRUE(TabCountIs(ui, 4)) << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return program.Server().RequestsTo("/slow").size() == 5; }));
    const Element first = Tabs(ui)[1];
    Activate(first);
    ClickCloseButton(first);
    ASSERT_TRUE(TabCountIs(ui, 3)) << program.Output();
    ASSERT_TRUE(program.Running()) << program.Output();
    // The pages left complete: their tabs leave the loading caption.
    EXPECT_TRUE(WaitUntil([&] {
        const auto names = ui.TabNames();
        return std::count(names.begin(), names.end(), kLoading) == 0;
    })) << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(program.Running()) << program.Output();

    // A tab whose page's worker is killed stays, the status bar names it, and once shown it
    // offers its page again.
    const auto before = program.Workers();
    OpenTab(ui, program.Server().Url("/title?t=Doomed"), 4);
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().back() == "Doomed"; }))
        << ::testing::PrintToString(ui.TabNames());
    pid_t doomed = -1;
    for (pid_t worker : program.Workers())
        if (std::find(before.begin(), before.end(), worker) == before.end())
            doomed = worker;
    ASSERT_GT(doomed, 0) << "no new page process";
    Activate(Tabs(ui)[0]);
    // Nothing is touched: the program notices the ended process by itself.
    ASSERT_EQ(kill(doomed, SIGKILL), 0);
    EXPECT_TRUE(WaitUntil([&] { return !LabelContaining(ui, "“Doomed”").empty(); }))
        << "the status bar does not name the tab";
    EXPECT_EQ(ui.TabNames().size(), 4u) << ::testing::PrintToString(ui.TabNames());
    Activate(Tabs(ui)[3]);
    EXPECT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "重新打开")) << Tree(ui.App());
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
