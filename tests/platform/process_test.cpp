#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/instance_mutex.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;

bool Ends(kivo::ChildProcess& child, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < deadline) {
        if (child.TryWait() != -1) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(ProcessSweep, EndsProcessesOfThatNameOnlyAndNeverItself) {
    kivo::test::TempHome home;
    // Names unique to this run, so no other process on the machine is touched.
    const std::string name = "gameKivo" + std::to_string(getpid());
    const std::string other = "notKivo" + std::to_string(getpid());
    const std::string target = kivo::test::CopyExecutable("/bin/sleep", home.Path(), name);
    const std::string spared = kivo::test::CopyExecutable("/bin/sleep", home.Path(), other);
    auto victim = kivo::ChildProcess::Start(target, {name, "30"});
    auto bystander = kivo::ChildProcess::Start(spared, {other, "30"});

    std::this_thread::sleep_for(100ms);
    auto found = kivo::FindProcessesByName(kivo::AsciiUpper(name));  // letter case ignored
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], static_cast<uint32_t>(victim.Pid()));

    kivo::KillOtherProcesses("/some/folder/" + name);
    EXPECT_TRUE(Ends(victim, 5s));
    EXPECT_FALSE(Ends(bystander, 300ms));
    kill(bystander.Pid(), SIGKILL);
    bystander.Wait();

    // The sweep of our own name spares this process.
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const auto mine = kivo::FindProcessesByName(self);
    EXPECT_NE(std::find(mine.begin(), mine.end(), static_cast<uint32_t>(getpid())), mine.end());
}

TEST(ProcessSweep, SparesTheCallingProcess) {
    // A copy of this test program sweeps its own name; it must survive to report success.
    kivo::test::TempHome home;
    if (getenv("KIVO_SWEEP_SELF")) {
        kivo::KillOtherProcesses(getenv("KIVO_SWEEP_SELF"));
        _exit(0);
    }
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string name = "selfsweep" + std::to_string(getpid());
    const std::string copy = kivo::test::CopyExecutable(self, home.Path(), name);
    auto child = kivo::ChildProcess::Start(
        copy, {name, "--gtest_filter=ProcessSweep.SparesTheCallingProcess"}, {},
        {{"KIVO_SWEEP_SELF", name}});
    const int status = child.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(NamedProcessLock, OneHolderAtATimeAndFreedWithTheProcess) {
    kivo::test::TempHome home;
    {
        kivo::NamedProcessLock first("TEST-LOCK");
        EXPECT_FALSE(first.AlreadyExisted());
        // flock locks belong to the open file: a second open in the same process conflicts too.
        kivo::NamedProcessLock second("TEST-LOCK");
        EXPECT_TRUE(second.AlreadyExisted());
    }
    kivo::NamedProcessLock again("TEST-LOCK");  // the file is left behind; no obstacle
    EXPECT_FALSE(again.AlreadyExisted());
}

TEST(ChildProcess, ReportsAProgramThatCannotStart) {
    EXPECT_THROW(kivo::ChildProcess::Start("/nonexistent/program", {"x"}), std::runtime_error);
}

}  // namespace
