// A tab whose page process or worker is killed stays, says so and comes back logged in when the
// user presses "重新打开", and never by itself; a killed program offers its tabs again at the
// next start, and yes brings each back in its session; an account's tab that had moved on to
// another site comes back there without the account's values. Driven from outside; what is
// checked is what the window, the local server's log and the per-user list file show.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/e2e/support/accounts.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ProcessRunning;

constexpr const char* kReopen = "重新打开";
constexpr const char* kQuestion = "是否恢复上次打开的页面？";
constexpr const char* kFilled = "u=a-user&p=a-pass";

// The engine's page process below the worker.
pid_t PageProcessOf(pid_t worker) {
    pid_t found = -1;
    WaitUntil([&] {
        for (pid_t page : kivo::test::PageProcessesBelow(worker))
            found = page;
        return found > 0;
    });
    return found;
}

std::vector<pid_t> NewWorkers(ProgramUnderTest& program, const std::vector<pid_t>& before) {
    std::vector<pid_t> started;
    for (pid_t pid : program.Workers())
        if (std::find(before.begin(), before.end(), pid) == before.end())
            started.push_back(pid);
    return started;
}

bool HasTabStartingWith(const UiDriver& ui, const std::string& prefix) {
    const auto tabs = ui.TabNames();
    return std::any_of(tabs.begin(), tabs.end(),
                       [&](const std::string& tab) { return tab.rfind(prefix, 0) == 0; });
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ListPath(const ProgramUnderTest& program) {
    return program.Home() + "/data/gameKivo/LastSession";
}

void SeedLoginPage(ProgramUnderTest& program) {
    Seed(program.DatabasePath(), {{"登录页",
                                   program.Server().Url("/account-login"),
                                   {{"账号甲", "KivoCache\\账号甲", "a-user", "a-pass"}}}});
}

// Opens the account's tab and waits for its filled form; returns its worker and its session.
std::pair<pid_t, std::string> OpenAccountTab(ProgramUnderTest& program, const UiDriver& ui) {
    const auto before = program.Workers();
    QuickLogin(ui, "登录页", "账号甲");
    EXPECT_TRUE(WaitUntil([&] { return !SessionsSeeing(program, kFilled).empty(); }, 60s))
        << program.Output();
    const auto started = NewWorkers(program, before);
    EXPECT_EQ(started.size(), 1u);
    if (SessionsSeeing(program, kFilled).empty() || started.empty())
        return {-1, ""};
    return {started.front(), *SessionsSeeing(program, kFilled).begin()};
}

// Kills the program, starts it again with an empty server log and answers its question with yes.
void RestartRestoring(ProgramUnderTest& program) {
    kill(program.Pid(), SIGKILL);
    ASSERT_TRUE(program.WaitForEnd(30s).has_value());
    program.Server().ClearRequests();
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitForShowing(ui, kQuestion)) << Tree(ui.App()) << program.Output();
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "是"));
}

TEST(CrashedTab, AKilledPageProcessOrWorkerComesBackLoggedInOnlyWhenAsked) {
    ProgramUnderTest program({.start = false});
    SeedLoginPage(program);
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    const auto [worker, session] = OpenAccountTab(program, ui);
    ASSERT_GT(worker, 0);
    ASSERT_FALSE(session.empty());

    // The page process dies: the tab stays, with the notice and its button.
    const pid_t page = PageProcessOf(worker);
    ASSERT_GT(page, 0) << "no page process below the worker";
    kill(page, SIGKILL);
    const Element reopen = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, kReopen, 60s);
    ASSERT_TRUE(reopen) << Tree(ui.App()) << program.Output();
    EXPECT_TRUE(WaitForShowing(ui, "此页面已停止运行。"));
    EXPECT_TRUE(HasTabStartingWith(ui, "[账号甲]")) << ::testing::PrintToString(ui.TabNames());

    // Nothing comes back by itself: no request reaches the server while nobody asks.
    const size_t pings = program.Server().RequestsTo("/account-ping").size();
    kivo::test::PumpFor(3s);
    EXPECT_EQ(program.Server().RequestsTo("/account-ping").size(), pings);
    EXPECT_TRUE(ui.Find(ATSPI_ROLE_PUSH_BUTTON, kReopen).Showing());

    // "重新打开": the same address in the account's session, its form filled again.
    const auto before_reopen = program.Workers();
    Click(reopen);
    EXPECT_TRUE(
        WaitUntil([&] { return SessionsSeeing(program, kFilled).count(session) == 2; }, 60s))
        << program.Output();
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_PUSH_BUTTON, kReopen));

    // The worker itself is killed: the same again.
    const auto reopened = NewWorkers(program, before_reopen);
    ASSERT_EQ(reopened.size(), 1u);
    kill(reopened.back(), SIGKILL);
    const Element again = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, kReopen, 60s);
    ASSERT_TRUE(again) << program.Output();
    Click(again);
    EXPECT_TRUE(
        WaitUntil([&] { return SessionsSeeing(program, kFilled).count(session) == 3; }, 60s))
        << program.Output();
    EXPECT_EQ(ui.TabNames().size(), 2u) << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(program.Running());
}

TEST(LastSession, AKilledProgramOffersItsTabsAgainAndYesBringsThemBackInTheirSessions) {
    ProgramUnderTest program({.start = false});
    SeedLoginPage(program);
    program.Start();
    {
        UiDriver ui(program.Pid());
        ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
        ASSERT_FALSE(OpenAccountTab(program, ui).second.empty());
        Go(ui, program.Server().Url("/account-login?free=1"));
        ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 3; }));
        // Both tabs are in the list once their pages are there.
        ASSERT_TRUE(WaitUntil([&] {
            const std::string list = FileText(ListPath(program));
            return list.find("账号甲") != std::string::npos &&
                   list.find("free=1") != std::string::npos;
        })) << FileText(ListPath(program));
    }
    const std::string account_session = *SessionsSeeing(program, kFilled).begin();
    std::set<std::string> old_sessions;
    for (const auto& request : program.Server().RequestsTo("/account-ping"))
        old_sessions.insert(Session(request));

    ASSERT_NO_FATAL_FAILURE(RestartRestoring(program));
    UiDriver ui(program.Pid());

    // The account tab logs in again in its own session; the free one has a fresh session.
    EXPECT_TRUE(WaitUntil(
        [&] { return SessionsSeeing(program, kFilled).count(account_session) == 1; }, 90s))
        << program.Output();
    std::string free_session;
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const auto& request : program.Server().RequestsTo("/account-ping"))
                if (!old_sessions.count(Session(request)) && !Session(request).empty())
                    free_session = Session(request);
            return !free_session.empty();
        },
        90s))
        << "the free tab did not come back in a fresh session";
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 3; }))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(HasTabStartingWith(ui, "[账号甲]")) << ::testing::PrintToString(ui.TabNames());

    // A quit keeps the list as well: the next start asks again; no leaves only the home page.
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "退出"}));
    ASSERT_TRUE(program.WaitForEnd(60s).has_value()) << "still running after quit";
    program.Start();
    UiDriver next(program.Pid());
    ASSERT_TRUE(WaitForShowing(next, kQuestion)) << program.Output();
    Click(next.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "否"));
    EXPECT_TRUE(WaitUntil([&] {
        return FileText(ListPath(program)).find("account-login") == std::string::npos;
    })) << FileText(ListPath(program));
    EXPECT_EQ(next.TabNames().size(), 1u);
}

TEST(LastSession, AnAccountTabThatMovedToAnotherSiteComesBackThereUnfilled) {
    ProgramUnderTest program({.start = false});
    Seed(program.DatabasePath(), {{"去他站",
                                   AddressLeavingTheSite(program),
                                   {{"账号丁", "KivoCache\\账号丁", "d-user", "d-pass"}}}});
    program.Start();
    const auto settled = [&] { return ReportsFrom(program, "/account-settled", "localhost"); };
    const auto never_filled = [&] {
        for (const auto& report : ReportsFrom(program, "/account-seen", "localhost"))
            EXPECT_EQ(report.query, "u=&p=") << "the other site was given the account's values";
        for (const auto& report : settled()) EXPECT_EQ(report.query, "u=&p=");
    };
    {
        UiDriver ui(program.Pid());
        ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
        const auto before = program.Workers();
        QuickLogin(ui, "去他站", "账号丁");
        ASSERT_TRUE(WaitUntil([&] { return settled().size() == 1; }, 60s)) << program.Output();

        // Its page process dies: "重新打开" opens the other site's page again, unfilled.
        const auto started = NewWorkers(program, before);
        ASSERT_EQ(started.size(), 1u);
        const pid_t page = PageProcessOf(started.front());
        ASSERT_GT(page, 0);
        kill(page, SIGKILL);
        const Element reopen = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, kReopen, 60s);
        ASSERT_TRUE(reopen) << program.Output();
        Click(reopen);
        ASSERT_TRUE(WaitUntil([&] { return settled().size() == 2; }, 60s)) << program.Output();
        never_filled();
        ASSERT_TRUE(WaitUntil([&] {
            return FileText(ListPath(program)).find("localhost") != std::string::npos;
        })) << FileText(ListPath(program));
    }

    // Restored at the next start: the same page, in the account's tab, still unfilled.
    ASSERT_NO_FATAL_FAILURE(RestartRestoring(program));
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return settled().size() == 1; }, 90s)) << program.Output();
    never_filled();
    EXPECT_TRUE(HasTabStartingWith(ui, "[账号丁]")) << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST(LastSession, ADamagedListOrAHugeAddressIsLeftOutWithAWordAndNoQuestion) {
    ProgramUnderTest program({.start = false});
    std::filesystem::create_directories(program.Home() + "/data/gameKivo");
    {
        std::ofstream list(ListPath(program), std::ios::binary);
        list << "gameKivo last session 1\n"
             << "http://127.0.0.1/" << std::string(100000, 'x') << "\t0\t\t\thuge\n"
             << "javascript:alert(1)\t0\t\t\tscript\n"
             << "\x01\x02 damaged\n";
    }
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    EXPECT_TRUE(WaitUntil([&] {
        const std::string said = program.Output();
        return said.find("tab 3 of the last session is left out") != std::string::npos;
    })) << program.Output();
    EXPECT_TRUE(NoneShowing(ui, kQuestion));
    // The home page alone is nothing to list.
    EXPECT_TRUE(WaitUntil([&] {
        return FileText(ListPath(program)) == "gameKivo last session 1\n";
    })) << FileText(ListPath(program)).substr(0, 200);
    EXPECT_EQ(ui.TabNames().size(), 1u);
    EXPECT_TRUE(program.Running());
}

}  // namespace
