// The window goes to the tray and comes back from it as a user sees it: on a desktop that shows
// status-notifier items, on one with an XEmbed tray and on one with neither.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/identity.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/tray_hosts.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

const std::string kWindow = kivo::kMainWindowCaption;
constexpr const char* kRestore = "显示主窗口";

WindowState State() {
    return WindowStateOf(kWindow);
}

// Logs in to the local site in a tab of its own: the page sets a cookie in that tab's session.
// Returns the tab names once the page is there.
std::vector<std::string> OpenLoggedInTab(ProgramUnderTest& program, const UiDriver& ui) {
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    EXPECT_EQ(State(), WindowState::Shown);
    Go(ui, program.Server().Url("/setcookie?name=who&value=tray"));
    EXPECT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/setcookie").empty(); }));
    std::vector<std::string> tabs;
    EXPECT_TRUE(WaitUntil([&] { return (tabs = ui.TabNames()).size() == 2; }))
        << ::testing::PrintToString(tabs);
    return tabs;
}

void PressMin(const UiDriver& ui) {
    const Element min = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "最小化");
    ASSERT_TRUE(min);
    Click(min);
}

// The window is hidden and the program still runs.
void ExpectInTray(ProgramUnderTest& program) {
    EXPECT_TRUE(WaitUntil([] { return State() == WindowState::Unmapped; })) << State();
    ASSERT_TRUE(program.Running()) << "hiding the window ended the program\n" << program.Output();
}

// The window is back with the tabs it had, and the logged-in tab still has its page and its
// session: a refresh reaches the server with the tab's cookie.
void ExpectBack(ProgramUnderTest& program, const UiDriver& ui,
                const std::vector<std::string>& tabs) {
    ASSERT_TRUE(WaitUntil([] { return State() == WindowState::Shown; })) << State();
    EXPECT_EQ(ui.TabNames(), tabs);
    const Element tab = ui.Find(ATSPI_ROLE_PAGE_TAB, tabs.back());
    Click(tab);
    ASSERT_TRUE(WaitUntil([&] { return tab.Selected(); }));
    const size_t before = program.Server().RequestsTo("/setcookie").size();
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "刷新"));
    ASSERT_TRUE(
        WaitUntil([&] { return program.Server().RequestsTo("/setcookie").size() > before; }));
    EXPECT_EQ(program.Server().RequestsTo("/setcookie").back().cookie, "who=tray");
}

TEST(Tray, StatusNotifierItemHidesTheWindowAndBringsItBackFromItsMenuAndTheBossKey) {
    StatusNotifierHost host;  // the panel runs before the program starts
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    const auto tabs = OpenLoggedInTab(program, ui);
    ASSERT_EQ(tabs.size(), 2u);
    ASSERT_TRUE(host.WaitForItem()) << program.Output();
    const auto labels = host.MenuLabels();
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.front(), kRestore) << ::testing::PrintToString(labels);

    PressMin(ui);
    ASSERT_NO_FATAL_FAILURE(ExpectInTray(program));
    EXPECT_EQ(host.Items().size(), 1u);
    ASSERT_TRUE(host.ClickMenuItem(kRestore));
    ASSERT_NO_FATAL_FAILURE(ExpectBack(program, ui, tabs));

    // A middle click on the item, which panels pass on as the item's secondary activation.
    PressMin(ui);
    ASSERT_NO_FATAL_FAILURE(ExpectInTray(program));
    host.SecondaryActivate();
    ASSERT_TRUE(WaitUntil([] { return State() == WindowState::Shown; })) << State();

    PressKeys("ctrl+b");
    ASSERT_NO_FATAL_FAILURE(ExpectInTray(program));
    PressKeys("ctrl+b");
    ASSERT_NO_FATAL_FAILURE(ExpectBack(program, ui, tabs));
}

TEST(Tray, XEmbedIconBringsTheWindowBackOnADoubleClickAndFromItsMenu) {
    XEmbedTray tray;
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    const auto tabs = OpenLoggedInTab(program, ui);
    ASSERT_EQ(tabs.size(), 2u);

    PressMin(ui);
    ASSERT_NO_FATAL_FAILURE(ExpectInTray(program));
    ASSERT_TRUE(tray.WaitForIcon()) << program.Output();
    tray.ClickIcon(Button::Left, 2);
    ASSERT_NO_FATAL_FAILURE(ExpectBack(program, ui, tabs));

    PressMin(ui);
    ASSERT_NO_FATAL_FAILURE(ExpectInTray(program));
    tray.ClickIcon(Button::Right);
    const Element restore = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, kRestore);
    ASSERT_TRUE(restore) << Tree(ui.App());
    EXPECT_TRUE(ui.Find(ATSPI_ROLE_MENU_ITEM, "退出").Showing()) << "the main menu pmMainApp";
    Click(restore);
    ASSERT_NO_FATAL_FAILURE(ExpectBack(program, ui, tabs));
}

TEST(Tray, WithoutATrayTheWindowIsMinimisedNeverHidden) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    const auto tabs = OpenLoggedInTab(program, ui);
    ASSERT_EQ(tabs.size(), 2u);

    PressMin(ui);
    ASSERT_TRUE(WaitUntil([] { return State() != WindowState::Shown; }));
    EXPECT_EQ(State(), WindowState::Iconic) << "the window must stay reachable";
    ASSERT_TRUE(program.Running()) << program.Output();
    // Back with the boss key, then out and back with it too.
    PressKeys("ctrl+b");
    ASSERT_NO_FATAL_FAILURE(ExpectBack(program, ui, tabs));
    PressKeys("ctrl+b");
    ASSERT_TRUE(WaitUntil([] { return State() != WindowState::Shown; }));
    EXPECT_EQ(State(), WindowState::Iconic);
    PressKeys("ctrl+b");
    ASSERT_NO_FATAL_FAILURE(ExpectBack(program, ui, tabs));
}

}  // namespace
