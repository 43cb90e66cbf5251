// The program under a window manager, as on a desktop: the keyboard goes to the window the user
// clicked and to the control clicked there, never to whatever lies under the pointer; a dialog
// takes the keyboard and gives it back; the promotion window opens over the main window without
// taking it away; the window leaves and comes back through the window manager and the boss key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/identity.h"
#include "tests/e2e/support/catalogue_steps.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/private_desktop.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"
#include "data/catalogue/catalogue_search.h"
#include "ui/promotion/promotion_rules.h"

namespace {

using namespace kivo::e2e;

const std::string kWindow = kivo::kMainWindowCaption;

// The page of the active tab: the document its worker shows, once it is on the screen.
Element ShownPage(const UiDriver& ui) {
    Element page;
    WaitUntil([&] {
        for (const Element& e : ui.FindAll([](const Element& e) {
                 return e.Role() == ATSPI_ROLE_DOCUMENT_WEB && e.Showing();
             }))
            if (e.Extents().width > 0)
                page = e;
        return bool(page);
    });
    return page;
}

void MovePointerOver(const Element& element) {
    const Element::Box box = element.Extents();
    MovePointer(box.x + box.width / 2, box.y + box.height / 2);
}

bool ActiveTabIs(const UiDriver& ui, const std::string& name) {
    return WaitUntil([&] {
        for (const Element& tab : ui.Tabs())
            if (tab.Selected())
                return tab.Name() == name;
        return false;
    });
}

// Each test runs under a window manager, started before the program as on a desktop.
class WindowManager : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(WindowManagerRuns()) << "no window manager runs"; }
};

// Opens the page that writes every key it receives into its title, in a tab of its own.
void OpenKeysPage(ProgramUnderTest& program, const UiDriver& ui) {
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    Go(ui, program.Server().Url("/keys"));
    ASSERT_TRUE(ActiveTabIs(ui, "keys:")) << ::testing::PrintToString(ui.TabNames());
}

// The keys the /keys page was told about, sorted: each one reaches the server on a request of
// its own, so their order is not the typing order.
std::string TypedIntoPage(ProgramUnderTest& program) {
    std::string typed;
    for (const auto& request : program.Server().RequestsTo("/typed"))
        typed += request.query.substr(request.query.find('=') + 1);
    std::sort(typed.begin(), typed.end());
    return typed;
}

bool PageWasTyped(ProgramUnderTest& program, const std::string& sorted_keys) {
    return WaitUntil([&] { return TypedIntoPage(program) == sorted_keys; });
}

// F5 reached the program: the page of the active tab is asked for again.
bool F5Reloads(ProgramUnderTest& program) {
    const size_t loads = program.Server().RequestsTo("/keys").size();
    PressKeys("F5");
    return WaitUntil([&] { return program.Server().RequestsTo("/keys").size() > loads; });
}

// Clicks a text box, rests the pointer elsewhere and types: the text lands in the box. The text
// starts no address the box could complete.
void ExpectTypingLandsIn(const Element& box, const Element& elsewhere) {
    ASSERT_TRUE(box);
    Click(box);
    ASSERT_TRUE(WaitUntil([&] { return box.Has(ATSPI_STATE_FOCUSED); })) << box.Describe();
    MovePointerOver(elsewhere);
    PressKeys("ctrl+a");
    TypeText("zqx");
    EXPECT_TRUE(WaitUntil([&] { return box.Text() == "zqx"; }))
        << box.Describe() << " holds " << box.Text();
}

TEST_F(WindowManager, KeysGoWhereTheUserClickedWhereverThePointerRestsAndADialogGivesThemBack) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_NO_FATAL_FAILURE(OpenKeysPage(program, ui));
    EXPECT_TRUE(WaitUntil([] { return IsActiveWindow(kWindow); })) << "a new window is active";
    const Element address = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(address);

    // The page: keys reach it with the pointer over the address box.
    const Element page = ShownPage(ui);
    ASSERT_TRUE(page) << Tree(ui.App());
    ASSERT_NO_FATAL_FAILURE(ClickPageFromAddressBox(ui, page));
    MovePointerOver(address);
    TypeText("ab");
    EXPECT_TRUE(PageWasTyped(program, "ab")) << TypedIntoPage(program);

    // The window's own text boxes, with the pointer over the page, which gets none of it.
    ASSERT_NO_FATAL_FAILURE(ExpectTypingLandsIn(address, page));
    ASSERT_NO_FATAL_FAILURE(ExpectTypingLandsIn(ui.WaitFor(ATSPI_ROLE_TEXT, "网页搜索"), page));
    ASSERT_NO_FATAL_FAILURE(
        ExpectTypingLandsIn(Shown(ui, kivo::catalogue::kSearchCue, ATSPI_ROLE_TEXT), page));
    EXPECT_EQ(TypedIntoPage(program), "ab") << "keys went to the page under the pointer";

    // The tab strip: the window's keys work after a click on a tab.
    Click(ui.Tabs().back());
    MovePointerOver(page);
    EXPECT_TRUE(F5Reloads(program)) << "after a click on the tab strip";

    // A dialog takes the keyboard while the pointer stays over the main window, and gives it
    // back when it closes.
    Click(TreeNode(ui, kAddGameNode));
    const Element prompt = PromptEdit(ui, kivo::catalogue::kAddGamePrompt);
    ASSERT_TRUE(prompt);
    MovePointerOver(page);
    ASSERT_TRUE(WaitUntil([&] { return prompt.Has(ATSPI_STATE_FOCUSED); }));
    EXPECT_FALSE(IsActiveWindow(kWindow));
    TypeText("甲 game");
    EXPECT_TRUE(WaitUntil([&] { return prompt.Text() == "甲 game"; })) << prompt.Text();
    PressKeys("Return");
    ASSERT_TRUE(GoneFromScreen(ui, kivo::catalogue::kAddGamePrompt));
    ASSERT_TRUE(TreeNode(ui, "甲 game"));
    EXPECT_TRUE(WaitUntil([] { return IsActiveWindow(kWindow); })) << "the keyboard came not back";
    EXPECT_TRUE(F5Reloads(program)) << "after the dialog closed";

    // The catalogue tree: a click on a game opens nothing and leaves the keyboard there.
    Click(TreeNode(ui, "甲 game"));
    MovePointerOver(page);
    EXPECT_TRUE(F5Reloads(program)) << "after a click on the tree";
    EXPECT_EQ(ui.TabNames().size(), 2u);
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST_F(WindowManager, ThePromotionWindowOpensOverTheMainWindowAndLeavesItTheKeyboard) {
    ProgramUnderTest program(ProgramOptions{.start = false, .promotion = true});
    const PromotionSiteAt site("http://127.0.0.1:" + std::to_string(program.Server().Port()));
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_FRAME, kivo::kMiniWindowTitle)) << Tree(ui.App());
    ASSERT_TRUE(WaitUntil(
        [] { return WindowStateOf(kivo::kMiniWindowTitle) == WindowState::Shown; }));

    // Both draw their own borders: the window manager adds none.
    const std::vector<long> none{0, 0, 0, 0};
    EXPECT_TRUE(WaitUntil([&] { return FrameExtents(kWindow) == none; }))
        << ::testing::PrintToString(FrameExtents(kWindow));
    EXPECT_TRUE(WaitUntil([&] { return FrameExtents(kivo::kMiniWindowTitle) == none; }))
        << ::testing::PrintToString(FrameExtents(kivo::kMiniWindowTitle));

    // Centred on the main window, wherever the window manager places new windows.
    const ScreenBox main = WindowBox(kWindow);
    const ScreenBox mini = WindowBox(kivo::kMiniWindowTitle);
    EXPECT_EQ(mini.width, 560);
    EXPECT_LE(std::abs((mini.x + mini.width / 2) - (main.x + main.width / 2)), 2)
        << mini.x << " in " << main.x << "+" << main.width;
    EXPECT_LE(std::abs((mini.y + mini.height / 2) - (main.y + main.height / 2)), 2)
        << mini.y << " in " << main.y << "+" << main.height;

    // The main window stays usable: a click there gives it the keyboard, and the promotion
    // window stays open.
    const Element address = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(address);
    Click(address);
    EXPECT_TRUE(WaitUntil([] { return IsActiveWindow(kWindow); }));
    PressKeys("ctrl+a");
    TypeText("zqx");
    EXPECT_TRUE(WaitUntil([&] { return address.Text() == "zqx"; })) << address.Text();
    EXPECT_EQ(WindowStateOf(kivo::kMiniWindowTitle), WindowState::Shown);
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST_F(WindowManager, TheWindowLeavesAndComesBackThroughTheWindowManagerAndTheBossKey) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_NO_FATAL_FAILURE(OpenKeysPage(program, ui));
    const auto tabs = ui.TabNames();

    // Minimised from the taskbar and brought back from it: active, with its tabs, and the
    // embedded page still takes keys.
    MinimiseThroughWindowManager(kWindow);
    ASSERT_TRUE(WaitUntil([] { return WindowStateOf(kWindow) == WindowState::Iconic; }))
        << WindowStateOf(kWindow);
    ActivateThroughWindowManager(kWindow);
    ASSERT_TRUE(WaitUntil([] { return WindowStateOf(kWindow) == WindowState::Shown; }))
        << WindowStateOf(kWindow);
    EXPECT_TRUE(WaitUntil([] { return IsActiveWindow(kWindow); }));
    EXPECT_EQ(ui.TabNames(), tabs);
    ASSERT_NO_FATAL_FAILURE(ClickPageFromAddressBox(ui, ShownPage(ui)));
    TypeText("x");
    EXPECT_TRUE(PageWasTyped(program, "x")) << TypedIntoPage(program);

    // The boss key, out and back (no tray here: out means minimised), twice: each time the
    // window comes back active and the keyboard reaches it without a click.
    for (int round = 0; round < 2; ++round) {
        PressKeys("ctrl+b");
        ASSERT_TRUE(WaitUntil([] { return WindowStateOf(kWindow) != WindowState::Shown; }));
        EXPECT_FALSE(IsActiveWindow(kWindow));
        PressKeys("ctrl+b");
        ASSERT_TRUE(WaitUntil([] { return WindowStateOf(kWindow) == WindowState::Shown; }))
            << WindowStateOf(kWindow) << " in round " << round;
        EXPECT_TRUE(WaitUntil([] { return IsActiveWindow(kWindow); })) << "round " << round;
        EXPECT_TRUE(F5Reloads(program)) << "round " << round;
    }
    EXPECT_EQ(ui.TabNames().size(), tabs.size());
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
