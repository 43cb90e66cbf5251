// Tabs that are not shown: their pages are hidden to the engine and draw nothing while their
// timers go on; the tab brought to the front shows its page as it is now, without a reload; the
// boss key hides every page and brings the front one back; "后台继续运行" keeps a tab drawing
// behind and is remembered for its catalogue address across a restart. Driven from outside;
// what is checked is what the game pages told the local web server.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/identity.h"
#include "tests/e2e/support/accounts.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/tray_hosts.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

constexpr const char* kKeepRunning = "后台继续运行";
constexpr const char* kAddress = "画布游戏";

// One report of a game page (see /game of the test web server).
struct Report {
    std::string load, state;
    long frames = 0, ticks = 0;
};

std::map<std::string, std::string> QueryValues(const std::string& query) {
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at <= query.size()) {
        const size_t end = std::min(query.find('&', at), query.size());
        const std::string pair = query.substr(at, end - at);
        const size_t equals = pair.find('=');
        if (equals != std::string::npos)
            values[pair.substr(0, equals)] = pair.substr(equals + 1);
        at = end + 1;
    }
    return values;
}

std::vector<Report> Reports(ProgramUnderTest& program, const std::string& id) {
    std::vector<Report> reports;
    for (const auto& request : program.Server().RequestsTo("/game-report")) {
        auto values = QueryValues(request.query);
        if (values["id"] != id)
            continue;
        reports.push_back({values["load"], values["state"], std::stol(values["frames"]),
                           std::stol(values["ticks"])});
    }
    return reports;
}

std::string Describe(const std::vector<Report>& reports) {
    std::string text;
    const size_t from = reports.size() > 6 ? reports.size() - 6 : 0;
    for (size_t i = from; i < reports.size(); ++i)
        text += reports[i].load + " " + reports[i].state + " frames " +
                std::to_string(reports[i].frames) + " ticks " + std::to_string(reports[i].ticks) +
                "\n";
    return text;
}

// The page's last two reports, of the same load, say `state`; between them its timer ticked,
// and it drew (`drawing`) or drew nothing.
bool LastReportsSay(ProgramUnderTest& program, const std::string& id, const std::string& state,
                    bool drawing) {
    const auto reports = Reports(program, id);
    if (reports.size() < 2)
        return false;
    const Report& before = reports[reports.size() - 2];
    const Report& last = reports.back();
    return before.load == last.load && before.state == state && last.state == state &&
           last.ticks > before.ticks && (last.frames > before.frames) == drawing;
}

// Waits until the page runs hidden and draws nothing, or runs shown and draws.
::testing::AssertionResult Runs(ProgramUnderTest& program, const std::string& id, bool shown) {
    const std::string state = shown ? "visible" : "hidden";
    if (WaitUntil([&] { return LastReportsSay(program, id, state, shown); }, 60s))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "game-" << id << " does not run " << state << ":\n"
                                         << Describe(Reports(program, id));
}

Element TabNamed(const UiDriver& ui, const std::string& name) {
    Element found;
    WaitUntil([&] {
        found = ui.Find(ATSPI_ROLE_PAGE_TAB, name);
        return found && found.Showing();
    });
    return found;
}

void Activate(const UiDriver& ui, const std::string& name) {
    const Element tab = TabNamed(ui, name);
    ASSERT_TRUE(tab) << "no tab " << name << ": " << ::testing::PrintToString(ui.TabNames());
    Click(tab);
    ASSERT_TRUE(WaitUntil([&] { return tab.Selected(); })) << tab.Describe();
}

// The tab's menu item "后台继续运行": its check mark before the click, then a click on it.
bool ToggleKeepRunning(const UiDriver& ui, const std::string& tab_name) {
    Activate(ui, tab_name);
    Click(TabNamed(ui, tab_name), Button::Right);
    const Element item = WaitForShowing(ui, kKeepRunning);
    EXPECT_TRUE(item) << "the tab menu has no " << kKeepRunning;
    if (!item)
        return false;
    const bool was = item.Checked();
    Click(item);
    EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, kKeepRunning); }));
    return was;
}

TEST(HiddenTabs, TabsBehindRunHiddenWithoutDrawingAndComeBackAsTheyAreWithoutAReload) {
    StatusNotifierHost tray;  // a desktop with a tray: the boss key hides the window
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    Go(ui, program.Server().Url("/game?id=a"));
    ASSERT_TRUE(Runs(program, "a", true));
    Go(ui, program.Server().Url("/game?id=b"));
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 3; }));

    // The tab behind keeps its timer and draws nothing; the one in front draws.
    EXPECT_TRUE(Runs(program, "a", false));
    EXPECT_TRUE(Runs(program, "b", true));

    // Back in front: the same page, its timer's count carried on, drawing again.
    const Report behind = Reports(program, "a").back();
    Activate(ui, "game-a");
    EXPECT_TRUE(Runs(program, "a", true));
    EXPECT_TRUE(Runs(program, "b", false));
    const Report front = Reports(program, "a").back();
    EXPECT_EQ(front.load, behind.load) << "the page was loaded again";
    EXPECT_GT(front.ticks, behind.ticks);
    EXPECT_EQ(program.Server().RequestsTo("/game").size(), 2u) << "a page was loaded again";

    // The boss key hides the window with every page in it, which goes on ticking; pressed
    // again it brings the front tab's page back.
    PressKeys("ctrl+b");
    ASSERT_TRUE(
        WaitUntil([&] { return WindowStateOf(kivo::kMainWindowCaption) != WindowState::Shown; }));
    EXPECT_TRUE(Runs(program, "a", false));
    EXPECT_TRUE(Runs(program, "b", false));
    PressKeys("ctrl+b");
    ASSERT_TRUE(
        WaitUntil([&] { return WindowStateOf(kivo::kMainWindowCaption) == WindowState::Shown; }));
    EXPECT_TRUE(Runs(program, "a", true));
    EXPECT_TRUE(Runs(program, "b", false));
}

TEST(HiddenTabs, KeepRunningKeepsATabDrawingBehindAndIsRememberedForItsAddress) {
    ProgramUnderTest program({.start = false});
    Seed(program.DatabasePath(), {{kAddress, program.Server().Url("/game?id=k"), {}}});
    program.Start();
    {
        UiDriver ui(program.Pid());
        ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
        const Element address = WaitForShowing(ui, kAddress);
        ASSERT_TRUE(address) << Tree(ui.App());
        Click(address);
        ASSERT_TRUE(Runs(program, "k", true));
        EXPECT_FALSE(ToggleKeepRunning(ui, "game-k")) << "checked before it was chosen";

        // Another tab in front: both draw.
        Go(ui, program.Server().Url("/game?id=f"));
        EXPECT_TRUE(Runs(program, "f", true));
        EXPECT_TRUE(Runs(program, "k", true));
        ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "退出"}));
        ASSERT_TRUE(program.WaitForEnd(60s).has_value()) << "still running after quit";
    }

    // After a restart the address opens with it, checked in its menu.
    program.Server().ClearRequests();
    program.Start();
    UiDriver ui(program.Pid());
    if (const Element no = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "否", 20s))
        Click(no);  // the question whether to bring the last tabs back
    Click(WaitForShowing(ui, kAddress));
    ASSERT_TRUE(Runs(program, "k", true)) << program.Output();
    Go(ui, program.Server().Url("/game?id=g"));
    EXPECT_TRUE(Runs(program, "g", true));
    EXPECT_TRUE(Runs(program, "k", true));

    // Unchecked, the tab behind stops drawing.
    EXPECT_TRUE(ToggleKeepRunning(ui, "game-k"));
    Activate(ui, "game-g");
    EXPECT_TRUE(Runs(program, "k", false));
}

}  // namespace
