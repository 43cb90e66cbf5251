// Workers that stop, hang, flood or stop reading, and a posted form's answer refreshed: driven
// from outside as a user does, observed through the window, the process list, the server's log
// and the file system.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "platform/user_settings.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "webcontrol/registration.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ProcessRunning;

bool HasTab(const UiDriver& ui, const std::string& name) {
    const auto tabs = ui.TabNames();
    return std::find(tabs.begin(), tabs.end(), name) != tabs.end();
}

// Opens a page titled `title` in a tab of its own; returns the worker that started for it.
pid_t OpenTitled(ProgramUnderTest& program, const UiDriver& ui, const std::string& title) {
    const auto before = program.Workers();
    Go(ui, program.Server().Url("/title?t=" + title));
    std::vector<pid_t> started;
    const bool shown = WaitUntil(
        [&] {
            started.clear();
            for (pid_t pid : program.Workers())
                if (std::find(before.begin(), before.end(), pid) == before.end())
                    started.push_back(pid);
            return HasTab(ui, title) && started.size() == 1;
        },
        90s);
    EXPECT_TRUE(shown) << title << ": tabs " << ::testing::PrintToString(ui.TabNames())
                       << ", new workers " << started.size() << "\n"
                       << program.Output();
    return started.empty() ? -1 : started.front();
}

// The temporary session folders of this run, wherever the cache root lies.
std::vector<std::string> TempSessions(const ProgramUnderTest& program) {
    auto found = FolderEntries(program.Folder() + "/KivoCache", "AppTemp");
    for (const std::string& name :
         FolderEntries(program.Home() + "/data/gameKivo/KivoCache", "AppTemp"))
        found.push_back(name);
    return found;
}

bool AllEnded(const std::vector<pid_t>& pids) {
    return std::none_of(pids.begin(), pids.end(), [](pid_t pid) { return ProcessRunning(pid); });
}

// The text the status bar shows that says a page ended, empty while there is none.
std::string DeadPageText(const UiDriver& ui) {
    for (const Element& e : ui.FindAll([](const Element& e) {
             return e.Role() == ATSPI_ROLE_LABEL &&
                    e.Name().find("已意外结束") != std::string::npos;
         }))
        return e.Name();
    return "";
}

// The window answers: the address box takes what is typed.
void ExpectResponsive(const UiDriver& ui, const std::string& typed) {
    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(box);
    EXPECT_TRUE(ReplaceTextByTyping(box, typed)) << "the address box shows " << box.Text();
}

// Resident memory of a process in kB, 0 when it is gone.
long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

TEST(WorkerFaults, QuittingThroughTheCloseDialogEndsStoppedWorkersAndRemovesTheirFolders) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    const pid_t first = OpenTitled(program, ui, "StopOne");
    const pid_t second = OpenTitled(program, ui, "StopTwo");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_FALSE(TempSessions(program).empty()) << "the free tabs' session folders";
    const auto workers = program.Workers();
    for (pid_t pid : {first, second}) kill(pid, SIGSTOP);

    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "关闭"));
    const Element quit = ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "直接退出");
    ASSERT_TRUE(quit) << "no close dialog";
    Click(quit);
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));
    const auto status = program.WaitForEnd(60s);
    ASSERT_TRUE(status.has_value()) << "still running after quit";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_TRUE(WaitUntil([&] { return AllEnded(workers); }, 30s)) << "a worker outlived the quit";
    EXPECT_EQ(TempSessions(program), std::vector<std::string>{});
}

// A refresh on a stopped worker's tab costs one call timeout, ends that worker and leaves its
// tab saying its page ended, with a word in the status bar; quitting from the main menu with
// another stopped worker still ends everything.
TEST(WorkerFaults, ARefreshOnAStoppedWorkerEndsItAndTheMenuQuitEndsTheOtherStoppedOne) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    const pid_t other = OpenTitled(program, ui, "OtherPage");
    const pid_t stuck = OpenTitled(program, ui, "StuckPage");
    ASSERT_GT(other, 0);
    ASSERT_GT(stuck, 0);
    ASSERT_TRUE(ui.Find(ATSPI_ROLE_PAGE_TAB, "StuckPage").Selected());

    kill(stuck, SIGSTOP);
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "刷新"));
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(stuck); }, 60s))
        << "the stopped worker was not ended";
    EXPECT_TRUE(WaitForShowing(ui, "重新打开"))
        << "the dead worker's tab does not offer its page again: "
        << ::testing::PrintToString(ui.TabNames()) << program.Output();
    EXPECT_TRUE(HasTab(ui, "StuckPage"));
    EXPECT_TRUE(
        WaitUntil([&] { return DeadPageText(ui).find("StuckPage") != std::string::npos; }, 30s))
        << "status text: " << DeadPageText(ui);
    ExpectResponsive(ui, "still here");
    EXPECT_TRUE(ProcessRunning(other)) << "the other tab's worker went too";
    EXPECT_TRUE(program.Running());

    // The main menu's quit, with the other tab's worker stopped.
    const auto workers = program.Workers();
    kill(other, SIGSTOP);
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "退出"}));
    const auto status = program.WaitForEnd(60s);
    ASSERT_TRUE(status.has_value()) << "still running after quit";
    EXPECT_TRUE(WaitUntil([&] { return AllEnded(workers); }, 30s)) << "a worker outlived the quit";
    EXPECT_EQ(TempSessions(program), std::vector<std::string>{});
}

// The program with the misbehaving worker registered as its worker server: it behaves until a
// page whose address holds "/misbehave" is opened, and then does what `mode` says.
class MisbehavingWorker : public ::testing::TestWithParam<const char*> {
  protected:
    MisbehavingWorker()
        : program_({.start = false,
                    .env = {{"GAMEKIVO_MISBEHAVE", GetParam()},
                            {"GAMEKIVO_MISBEHAVE_URL", "/misbehave"}}}) {
        const std::string worker = kivo::test::CopyExecutable(KIVO_MISBEHAVING_WORKER,
                                                              program_.Folder(), "kivo-e2e-misfit");
        kivo::UserSettings settings;
        gameKivo_TLB::RegisterServer(settings, worker);
        program_.Start();
    }
    ProgramUnderTest program_;
};

TEST_P(MisbehavingWorker, IsCutOffWhileTheWindowStaysResponsiveAndSmall) {
    UiDriver ui(program_.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program_.Output();
    std::set<pid_t> seen;
    const auto ended = [&] {
        for (pid_t pid : program_.Workers()) seen.insert(pid);
        return std::any_of(seen.begin(), seen.end(),
                           [](pid_t pid) { return !ProcessRunning(pid); });
    };
    ASSERT_FALSE(ended());
    const long before = ResidentKb(program_.Pid());
    long most = before;

    Go(ui, program_.Server().Url("/misbehave"));
    EXPECT_TRUE(WaitUntil(
        [&] {
            most = std::max(most, ResidentKb(program_.Pid()));
            return ended();
        },
        90s))
        << "no worker was ended";
    EXPECT_TRUE(WaitUntil([&] { return !DeadPageText(ui).empty(); }, 60s))
        << "the ended page's tab was not reported: " << ::testing::PrintToString(ui.TabNames())
        << program_.Output();
    ExpectResponsive(ui, "still here");
    most = std::max(most, ResidentKb(program_.Pid()));
    ASSERT_TRUE(program_.Running()) << program_.Output();
    EXPECT_LT(most - before, 300 * 1024)
        << "resident memory grew from " << before << " kB to " << most << " kB";
}

INSTANTIATE_TEST_SUITE_P(Modes, MisbehavingWorker, ::testing::Values("deaf", "flood"));

// A posted form's answer is only posted again when the user says yes to the question.
TEST(PostedForm, ARefreshAsksBeforePostingAgainAndNoSendsNothing) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    const auto before = program.Workers();
    Go(ui, program.Server().Url("/login"));
    const Element submit = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "Log in", 60s);
    ASSERT_TRUE(submit) << Tree(ui.App());
    Click(submit);
    const auto posts = [&] { return program.Server().RequestsTo("/login-submit").size(); };
    ASSERT_TRUE(WaitUntil([&] { return posts() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return HasTab(ui, "Logged in"); }))
        << ::testing::PrintToString(ui.TabNames());
    pid_t worker = -1;
    for (pid_t pid : program.Workers())
        if (std::find(before.begin(), before.end(), pid) == before.end())
            worker = pid;
    ASSERT_GT(worker, 0);

    // The question is a window of the page's worker, an application of its own.
    const auto answer = [&](const std::string& choice) {
        Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "刷新"));
        const UiDriver question(worker);
        const Element button = question.WaitFor(ATSPI_ROLE_PUSH_BUTTON, choice, 60s);
        ASSERT_TRUE(button) << "no question before posting again\n" << Tree(question.App());
        // On the screen once the window manager has framed and mapped it.
        EXPECT_TRUE(WaitUntil([] { return WindowStateOf("重新提交表单") == WindowState::Shown; }))
            << WindowStateOf("重新提交表单") << "\n"
            << Tree(question.App());
        Click(button);
        ASSERT_TRUE(question.WaitGone(ATSPI_ROLE_PUSH_BUTTON, choice));
    };
    answer("否");
    answer("是");
    ASSERT_TRUE(WaitUntil([&] { return posts() >= 2; })) << "yes did not post again";
    // Whatever a "no" might have sent would be in the log by the time the "yes" page has come.
    ASSERT_TRUE(WaitUntil([&] { return HasTab(ui, "Logged in"); }));
    kivo::test::PumpFor(2s);
    EXPECT_EQ(posts(), 2u);
    for (const auto& request : program.Server().RequestsTo("/login-submit"))
        EXPECT_EQ(request.method, "POST");
}

}  // namespace
