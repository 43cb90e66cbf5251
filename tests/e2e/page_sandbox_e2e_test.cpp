// A tab's page runs in the engine's sandbox: seen from outside, its page process has a mount
// namespace of its own in which the database, the other accounts' session folders and the
// user's home do not exist, while the account's tab still logs in and fills its form.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/support/accounts.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;
namespace fs = std::filesystem;

std::string Link(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::read_symlink(path, error);
    return error ? "" : target.string();
}

void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST(PageSandbox, ATabsPageSeesNeitherTheDatabaseNorOtherSessionsNorTheHome) {
    ProgramUnderTest program({.start = false});
    Seed(program.DatabasePath(), {{"登录页",
                                   program.Server().Url("/account-login"),
                                   {{"账号甲", "KivoCache\\账号甲", "a-user", "a-pass"},
                                    {"账号乙", "KivoCache\\账号乙", "b-user", "b-pass"}}}});
    const std::string other_session = program.Home() + "/data/gameKivo/KivoCache/账号乙/cookies.sqlite";
    const std::string note = program.Home() + "/private-note.txt";
    WriteFile(other_session, "another account's cookies");
    WriteFile(note, "the user's own file");
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    const auto before = program.Workers();
    QuickLogin(ui, "登录页", "账号甲");
    ASSERT_TRUE(WaitUntil(
        [&] { return !SessionsSeeing(program, "u=a-user&p=a-pass").empty(); }, 60s))
        << program.Output();
    pid_t worker = -1;
    for (pid_t pid : program.Workers())
        if (std::find(before.begin(), before.end(), pid) == before.end()) worker = pid;
    ASSERT_GT(worker, 0);
    const auto pages = kivo::test::PageProcessesBelow(worker);
    ASSERT_EQ(pages.size(), 1u);
    const std::string page = "/proc/" + std::to_string(pages.front());

    const std::string own_namespace = Link("/proc/self/ns/mnt");
    ASSERT_FALSE(own_namespace.empty());
    EXPECT_NE(Link(page + "/ns/mnt"), own_namespace);
    // Its files are readable from here: what it cannot see is missing, not hidden from us.
    ASSERT_TRUE(fs::exists(page + "/root/usr/lib"));
    for (const std::string& path : {program.DatabasePath(), other_session, note}) {
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_FALSE(fs::exists(page + "/root" + path)) << path << " is visible to the page";
    }
}

}  // namespace
