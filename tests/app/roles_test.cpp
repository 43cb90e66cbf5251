// The two roles of the executable, run for real under other file names.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/frm_client.h"
#include "platform/identity.h"
#include "app/main_module.h"
#include "app/server_switches.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "webcontrol/maker_pages.h"
#include "webcontrol/registration.h"
#include "webcontrol/web_control_proxy.h"

// After the headers above: the X11 ones define short macro names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;
using gameKivo_Work_TLB::TWebControl;

TEST(CommandLine, OnlyAnExactFirstArgumentChoosesTheWorker) {
    using kivo::IsWorkerRole;
    EXPECT_TRUE(IsWorkerRole({"-Embedding"}));
    EXPECT_TRUE(IsWorkerRole({"-Embedding", "/regserver"}));
    EXPECT_FALSE(IsWorkerRole({}));
    EXPECT_FALSE(IsWorkerRole({"-embedding"}));
    EXPECT_FALSE(IsWorkerRole({"/Embedding"}));
    EXPECT_FALSE(IsWorkerRole({"x", "-Embedding"}));
}

TEST(CommandLine, ServerSwitchesAnywhereInAnyCase) {
    auto s = kivo::ParseServerSwitches({"x", "/regserver"});
    EXPECT_TRUE(s.RegServer);
    EXPECT_FALSE(s.UnregServer);
    s = kivo::ParseServerSwitches({"-UnRegServer"});
    EXPECT_TRUE(s.UnregServer);
    EXPECT_TRUE(kivo::ParseServerSwitches({"-embedding"}).ActivationMode);
    EXPECT_TRUE(kivo::ParseServerSwitches({"a", "/AUTOMATION"}).ActivationMode);
    s = kivo::ParseServerSwitches({"REGSERVER", "--regserver", "-regservers", "\\regserver"});
    EXPECT_FALSE(s.RegServer);  // the switch needs exactly one "-" or "/"
}

TEST(Watchdog, FoundWindowWidenedWithoutSignToldHandleWithSign) {
    EXPECT_TRUE(kivo::ServerWindowMatches(0, 0));  // no window, nothing told
    EXPECT_FALSE(kivo::ServerWindowMatches(0x2a00005, 0));
    EXPECT_TRUE(kivo::ServerWindowMatches(0x2a00005, 0x2a00005));
    EXPECT_FALSE(kivo::ServerWindowMatches(0xFFFFFFFFul, -1));
    EXPECT_FALSE(kivo::ServerWindowMatches(0, 7));
}

class Roles : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!kivo::test::TestDisplay())
            GTEST_SKIP() << "needs an X display";
        name_ = "kivo-main-" + std::to_string(getpid());
        exe_ = kivo::test::CopyExecutable(KIVO_EXECUTABLE, home_.Path(), name_);
        kivo::test::CopyExecutable(KIVO_UPGRADE_CLIENT, home_.Path(), "UpgradeClient");
        kivo::test::CopyExecutable(KIVO_MAIN_MODULE, home_.Path(), kivo::kMainModuleName);
    }
    void PrepareDatabase() {
        const std::string script = std::string(KIVO_SOURCE_DIR) + "/scripts/prepare-database.sh";
        ASSERT_EQ(kivo::ChildProcess::Start("/bin/bash", {"bash", script, home_.Path()}).Wait(), 0);
    }
    unsigned long WaitForWindow(const std::string& title) {
        unsigned long window = 0;
        kivo::test::PumpUntil([&] { return (window = kivo::test::FindWindowByTitle(title)) != 0; },
                              15s);
        return window;
    }
    size_t Running() const { return kivo::FindProcessesByName(name_).size(); }
    std::optional<std::string> Registered() const {
        kivo::UserSettings settings;
        return gameKivo_TLB::RegisteredServer(settings);
    }
    int RunToEnd(std::vector<std::string> args) {
        args.insert(args.begin(), exe_);
        return kivo::ChildProcess::Start(exe_, args).Wait();
    }

    kivo::test::TempHome home_;
    std::string name_;
    std::string exe_;
};

TEST_F(Roles, RegistrationIsWrittenAndRemovedWithoutAWindow) {
    EXPECT_EQ(RunToEnd({"/REGSERVER"}), 0);
    EXPECT_EQ(Registered(), exe_);
    EXPECT_EQ(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption), 0u);

    EXPECT_EQ(RunToEnd({"-unregserver"}), 0);
    EXPECT_FALSE(Registered().has_value());
    TWebControl web;
    EXPECT_THROW(web.Connect(), gameKivo_TLB::WebControlError);
    EXPECT_EQ(Running(), 0u);
}

TEST_F(Roles, AWorkerOthersCouldHaveChangedIsNeverStarted) {
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe_);
    ASSERT_EQ(Registered(), exe_);
    // Writable by the group or by everyone, or another user's: as if none were registered.
    for (const mode_t mode : {0775, 0757}) {
        chmod(exe_.c_str(), mode);
        EXPECT_FALSE(Registered().has_value()) << std::oct << mode;
        TWebControl web;
        EXPECT_THROW(web.Connect(), gameKivo_TLB::WebControlError);
    }
    chmod(exe_.c_str(), 0755);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(exe_.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(Registered().has_value());
        ASSERT_EQ(chown(exe_.c_str(), 0, 0), 0);
    }
    EXPECT_EQ(Registered(), exe_);
    EXPECT_EQ(Running(), 0u);
}

TEST_F(Roles, WithoutItsModuleTheMainRoleEndsAtOnceAndAWorkerStillRuns) {
    const std::string bare = home_.Path() + "/without-module";
    std::filesystem::create_directories(bare);
    const std::string exe = kivo::test::CopyExecutable(KIVO_EXECUTABLE, bare, name_ + "-bare");
    EXPECT_EQ(kivo::ChildProcess::Start(exe, {exe, "/REGSERVER"}).Wait() >> 8, 1);
    EXPECT_FALSE(Registered().has_value()) << "nothing was done";
    // The worker role needs no module: registered by hand, it serves as ever.
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);
    TWebControl web;
    ASSERT_NO_THROW(web.Connect());
    web.CreateWeb(5);
    EXPECT_EQ(web.WebCount(), 1);
}

TEST_F(Roles, TheStartSweepsProcessesNamedGameKivo) {
    const std::string stale =
        kivo::test::CopyExecutable("/bin/sleep", home_.Path(), kivo::kProcessSweepName);
    const std::string other = kivo::test::CopyExecutable("/bin/sleep", home_.Path(), "notKivo");
    auto victim = kivo::ChildProcess::Start(stale, {"gameKivo", "30"});
    auto bystander = kivo::ChildProcess::Start(other, {"notKivo", "30"});
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(RunToEnd({"/REGSERVER"}), 0);
    const int status = victim.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(kivo::test::ProcessRunning(bystander.Pid()));
    kill(bystander.Pid(), SIGKILL);
}

TEST_F(Roles, AMissingDatabaseIsReportedOnceAndStartUpGoesOn) {
    auto main = kivo::ChildProcess::Start(exe_, {exe_});
    const unsigned long box = WaitForWindow("提示");
    ASSERT_NE(box, 0u);
    EXPECT_EQ(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption), 0u);
    kivo::test::RequestClose(box);
    const unsigned long window = WaitForWindow(kivo::kMainWindowCaption);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(kivo::test::FindWindowByTitle("提示"), 0u);
    kivo::test::RequestClose(window);
    EXPECT_EQ(main.Wait(), 0);
}

TEST_F(Roles, StartUpShowsTheWindowMaximisedWithTheHomePageInTheFirstTab) {
    PrepareDatabase();
    ASSERT_EQ(RunToEnd({"/REGSERVER"}), 0);
    auto main = kivo::ChildProcess::Start(exe_, {exe_});
    const unsigned long window = WaitForWindow(kivo::kMainWindowCaption);
    ASSERT_NE(window, 0u);
    Display* display = kivo::test::TestDisplay();
    const int screen_width = DisplayWidth(display, DefaultScreen(display));
    const int screen_height = DisplayHeight(display, DefaultScreen(display));
    XWindowAttributes attributes{};
    EXPECT_TRUE(kivo::test::PumpUntil(
        [&] {
            return XGetWindowAttributes(display, window, &attributes) &&
                   attributes.map_state == IsViewable && attributes.width == screen_width &&
                   attributes.height == screen_height;
        },
        15s))
        << "shown " << attributes.width << " x " << attributes.height;
    // The home page completed in a tab and became the first address the box completes from;
    // the probe page before it went through the ordinary profile.
    std::string first_visited;
    EXPECT_TRUE(kivo::test::PumpUntil(
        [&] {
            std::ifstream visited(kivo::ProfileFolder() + "VisitedUrls");
            return std::getline(visited, first_visited) && !first_visited.empty();
        },
        20s));
    EXPECT_TRUE(std::filesystem::is_directory(kivo::ProfileFolder() + "Cache"));
    EXPECT_EQ(first_visited, kivo::MakerUrl("/news/"));
    kivo::test::RequestClose(window);
    EXPECT_EQ(main.Wait(), 0);
}

TEST_F(Roles, TheUpgradeProgramRunsFirstAndIsRequired) {
    PrepareDatabase();
    // An upgrade program that takes its time keeps the main window away until it has ended.
    const std::string marker = home_.Path() + "/upgrade-ran";
    {
        std::ofstream script(home_.Path() + "/UpgradeClient");
        script << "#!/bin/sh\necho \"$1\" > " << marker << "\nsleep 2\n";
    }
    std::filesystem::permissions(home_.Path() + "/UpgradeClient",
                                 std::filesystem::perms::owner_all);
    auto main = kivo::ChildProcess::Start(exe_, {exe_});
    kivo::test::PumpFor(1200ms);
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_EQ(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption), 0u);
    const unsigned long window = WaitForWindow(kivo::kMainWindowCaption);
    ASSERT_NE(window, 0u);
    std::ifstream version(marker);
    std::string text;
    version >> text;
    EXPECT_EQ(text, "1.0.0.0");
    kivo::test::RequestClose(window);
    main.Wait();

    // Without it: the message, then the end, before any main window.
    std::filesystem::remove(home_.Path() + "/UpgradeClient");
    auto broken = kivo::ChildProcess::Start(exe_, {exe_});
    const unsigned long box = WaitForWindow("提示");
    ASSERT_NE(box, 0u);
    EXPECT_EQ(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption), 0u);
    kivo::test::RequestClose(box);
    const int status = broken.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption), 0u);
}

TEST_F(Roles, ASecondMainProcessShowsTheMessageAndTouchesNothing) {
    PrepareDatabase();
    auto first = kivo::ChildProcess::Start(exe_, {exe_});
    ASSERT_NE(WaitForWindow(kivo::kMainWindowCaption), 0u);

    const std::string stale =
        kivo::test::CopyExecutable("/bin/sleep", home_.Path(), kivo::kProcessSweepName);
    auto bystander = kivo::ChildProcess::Start(stale, {"gameKivo", "30"});
    auto second = kivo::ChildProcess::Start(exe_, {exe_, "/REGSERVER"});
    unsigned long box = 0;
    ASSERT_TRUE(kivo::test::PumpUntil(
        [&] { return (box = kivo::test::FindWindowByTitle(kivo::kSecondInstanceCaption)) != 0; },
        15s));
    EXPECT_EQ(second.TryWait(), -1);  // waits for the box to be closed
    kivo::test::RequestClose(box);
    const int status = second.Wait();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_FALSE(Registered().has_value());                    // nothing registered
    EXPECT_TRUE(kivo::test::ProcessRunning(bystander.Pid()));  // nothing swept
    EXPECT_TRUE(kivo::test::ProcessRunning(first.Pid()));      // the first goes on

    kivo::test::RequestClose(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption));
    const int first_status = first.Wait();
    EXPECT_TRUE(WIFEXITED(first_status) && WEXITSTATUS(first_status) == 0);
    kill(bystander.Pid(), SIGKILL);
}

TEST_F(Roles, ALockFileThatCannotBeMadeIsReportedAndTheStartEnds) {
    PrepareDatabase();
    // A folder where the lock file should be: it cannot be opened, even by root.
    std::filesystem::create_directories(kivo::RuntimeFolder() + kivo::kInstanceMutexName);
    auto main = kivo::ChildProcess::Start(exe_, {exe_});
    const unsigned long box = WaitForWindow(kivo::kSecondInstanceCaption);
    ASSERT_NE(box, 0u) << "no message";
    EXPECT_EQ(kivo::test::FindWindowByTitle(kivo::kMainWindowCaption), 0u);
    kivo::test::RequestClose(box);
    const int status = main.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "status " << status;
}

// The boss key from the keyboard, seen from outside: the window goes and comes back while the
// process and its workers run on.
class BossKey : public Roles {
  protected:
    void SetUp() override {
        Roles::SetUp();
        if (IsSkipped())
            return;
        PrepareDatabase();
        ASSERT_EQ(RunToEnd({"/REGSERVER"}), 0);
    }
    // Starts the program and waits for its window and its first workers.
    void Start() {
        main_ = std::make_unique<kivo::ChildProcess>(kivo::ChildProcess::Start(exe_, {exe_}));
        window_ = WaitForWindow(kivo::kMainWindowCaption);
        ASSERT_NE(window_, 0u);
        ASSERT_TRUE(
            kivo::test::PumpUntil([&] { return kivo::test::WindowViewable(window_); }, 20s));
        // The home page's worker: a worker that runs page processes of its own. The spare
        // worker started beside it shows no page and ends by itself soon after.
        auto find_workers = [&] {
            workers_.clear();
            for (auto pid : kivo::FindProcessesByName(name_))
                if (static_cast<pid_t>(pid) != main_->Pid() &&
                    !kivo::test::ChildrenOf(static_cast<pid_t>(pid)).empty())
                    workers_.push_back(static_cast<pid_t>(pid));
            return workers_.size() == 1;
        };
        // The same one worker twice, some seconds apart: by then the spare has gone.
        bool settled = false;
        for (int round = 0; round < 10 && !settled; ++round) {
            if (!kivo::test::PumpUntil(find_workers, 30s))
                break;
            const pid_t first = workers_.front();
            kivo::test::PumpFor(3s);
            settled = find_workers() && workers_.front() == first;
        }
        ASSERT_TRUE(settled) << "the home page's worker";
    }
    ::testing::AssertionResult StillRunning() {
        if (main_->TryWait() != -1)
            return ::testing::AssertionFailure() << "the program ended";
        for (pid_t worker : workers_)
            if (!kivo::test::ProcessRunning(worker))
                return ::testing::AssertionFailure() << "the worker " << worker << " ended";
        return ::testing::AssertionSuccess();
    }
    void Quit() {
        kivo::test::RequestClose(window_);
        EXPECT_EQ(main_->Wait(), 0);
    }

    std::unique_ptr<kivo::ChildProcess> main_;
    unsigned long window_ = 0;
    std::vector<pid_t> workers_;
};

TEST_F(BossKey, WithATrayTheWindowHidesAndComesBackWhileTheProgramRuns) {
    kivo::test::XEmbedTrayOwner tray;
    Start();
    kivo::test::PressKeys({XK_Control_L}, XK_b);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return !kivo::test::WindowViewable(window_); }, 10s));
    kivo::test::PumpFor(2s);  // the program would have ended by now
    EXPECT_TRUE(StillRunning());
    EXPECT_FALSE(kivo::test::WindowViewable(window_));

    kivo::test::PressKeys({XK_Control_L}, XK_b);
    EXPECT_TRUE(kivo::test::PumpUntil([&] { return kivo::test::WindowViewable(window_); }, 10s));
    EXPECT_TRUE(StillRunning());
    Quit();
}

TEST_F(BossKey, WithoutATrayTheWindowIsNeverHidden) {
    Start();
    kivo::test::PressKeys({XK_Control_L}, XK_b);
    kivo::test::PumpFor(2s);
    // Minimised instead (with no window manager here, that leaves it on the screen).
    EXPECT_TRUE(StillRunning());
    EXPECT_TRUE(kivo::test::WindowViewable(window_));
    kivo::test::PressKeys({XK_Control_L}, XK_b);
    kivo::test::PumpFor(500ms);
    EXPECT_TRUE(kivo::test::WindowViewable(window_));
    EXPECT_TRUE(StillRunning());
    Quit();
}

class Worker : public Roles {
  protected:
    void SetUp() override {
        Roles::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(RunToEnd({"/REGSERVER"}), 0);
    }
    bool EndsWithin(pid_t pid, std::chrono::milliseconds time) {
        return kivo::test::PumpUntil([&] { return !kivo::test::ProcessRunning(pid); }, time);
    }
};

TEST_F(Worker, ServesTheObjectWithoutViews) {
    TWebControl web;
    web.Connect();
    EXPECT_EQ(Running(), 1u);
    try {
        web.WebCount();
        FAIL() << "WebCount without a view list";
    } catch (const gameKivo_TLB::WebControlError& e) {
        EXPECT_STRNE(e.what(), "");
    }
    EXPECT_THROW(web.WebTitle(1), gameKivo_TLB::WebControlError);
    EXPECT_NO_THROW(web.FreeWeb(1));
    EXPECT_NO_THROW(web.WebBack(1));
    EXPECT_NO_THROW(web.SetParent(1));
    EXPECT_NO_THROW(web.LoginWeb(u"", u"", 1));
}

TEST_F(Worker, WithoutMainWindowOrHandleItLivesUntilReleased) {
    TWebControl web;
    web.Connect();
    const pid_t pid = web.DefaultInterface()->WorkerPid();
    kivo::test::PumpFor(2500ms);
    ASSERT_TRUE(kivo::test::ProcessRunning(pid));
    web.Disconnect();
    EXPECT_TRUE(EndsWithin(pid, 5s));
}

TEST_F(Worker, EndsWithinASecondWhenItWasNotToldTheMainWindow) {
    kivo::test::TopLevelWindow main_window(kivo::kMainWindowClass, kivo::kMainWindowCaption);
    TWebControl web;
    web.Connect();
    EXPECT_TRUE(EndsWithin(web.DefaultInterface()->WorkerPid(), 3s));
    EXPECT_THROW(web.WebCount(), kivo::ConnectionError);
}

TEST_F(Worker, EndsWhenToldAnotherWindowAndStaysWithTheRightOne) {
    kivo::test::TopLevelWindow main_window(kivo::kMainWindowClass, kivo::kMainWindowCaption);
    TWebControl told_right, told_wrong;
    told_right.Connect();
    told_right.Serverhandle(static_cast<int32_t>(main_window.Id()));
    told_wrong.Connect();
    told_wrong.Serverhandle(static_cast<int32_t>(main_window.Id() + 1));
    EXPECT_TRUE(EndsWithin(told_wrong.DefaultInterface()->WorkerPid(), 3s));
    EXPECT_TRUE(kivo::test::ProcessRunning(told_right.DefaultInterface()->WorkerPid()));
}

}  // namespace
