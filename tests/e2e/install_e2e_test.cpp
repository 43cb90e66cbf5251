// The program installed as a desktop application: installed into a scratch prefix with the
// project's own install command, its program folder made read-only, and run by two users (two
// scratch homes) one after the other. Each gets a database of their own, copied once; what one
// adds the other never sees; nothing is written into the prefix.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/e2e/support/catalogue_steps.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;
namespace fs = std::filesystem;

using Rows = std::vector<std::vector<std::string>>;

// A scratch prefix, emptied at the end even when it was made read-only.
class ScratchPrefix {
  public:
    ScratchPrefix() {
        std::string pattern = (fs::temp_directory_path() / "kivo-prefix-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchPrefix() {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(path_, ec))
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Every path below the prefix with its kind, size, mode and time of change.
std::map<std::string, std::string> Listing(const std::string& prefix) {
    std::map<std::string, std::string> listing;
    for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
        struct stat info {};
        lstat(entry.path().c_str(), &info);
        listing[entry.path().string()] =
            std::to_string(info.st_mode) + " " + std::to_string(info.st_size) + " " +
            std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + " " +
            std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec);
    }
    return listing;
}

constexpr fs::perms kAllWrite =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// Takes write permission away from everything below `path`, as a system-wide install has it.
void MakeReadOnly(const std::string& path) {
    for (const auto& entry : fs::recursive_directory_iterator(path))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), kAllWrite, fs::perm_options::remove);
    fs::permissions(path, kAllWrite, fs::perm_options::remove);
}

Rows Games(const std::string& database) {
    return QueryDatabase(database, "select GAMENAME from t_gamelist order by GAMENAME");
}

// Quits through the main menu, as a user does, and waits for the end.
void Quit(ProgramUnderTest& program, const UiDriver& ui) {
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "退出"}));
    ASSERT_TRUE(program.WaitForEnd(std::chrono::seconds(60))) << program.Output();
}

// Installs the build into `prefix` with the project's install command.
void Install(const std::string& prefix) {
    const int status = kivo::ChildProcess::Start(
                           KIVO_CMAKE_COMMAND,
                           {KIVO_CMAKE_COMMAND, "--install", KIVO_BINARY_DIR, "--prefix", prefix})
                           .Wait();
    ASSERT_EQ(status, 0) << "cmake --install failed";
}

TEST(Installed, RunsFromAReadOnlyPrefixWithADatabaseOfItsOwnForEachUser) {
    ScratchPrefix prefix;
    ASSERT_NO_FATAL_FAILURE(Install(prefix.Path()));
    const std::string app = prefix.Path() + "/lib/gameKivo/";
    for (const char* file :
         {"gameKivo", "gameKivo-main.so", "UpgradeClient", "CameraDll.so", "MultOpenApp.dat",
          "installed", "share/applications/local.kivo.gamekivo.desktop",
          "share/metainfo/local.kivo.gamekivo.metainfo.xml",
          "share/icons/hicolor/48x48/apps/gameKivo.png",
          "share/icons/hicolor/256x256/apps/gameKivo.png"}) {
        const std::string path =
            std::string(file).rfind("share/", 0) == 0 ? prefix.Path() + "/" + file : app + file;
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
    }
    EXPECT_EQ(FolderEntries(app + "page-extension").size(), 1u);
    EXPECT_TRUE(fs::equivalent(prefix.Path() + "/bin/gameKivo", app + "gameKivo"))
        << "the command on the path starts the installed program";
    EXPECT_EQ(Games(app + "MultOpenApp.dat"), Rows{}) << "the template is empty";

    // Started under its own name the program would end every process of that name of this
    // user, other tests' included: it runs under another name, as every test program does.
    const std::string executable = app + "kivo-e2e-installed-" + std::to_string(getpid());
    fs::rename(app + "gameKivo", executable);
    MakeReadOnly(prefix.Path());
    const auto installed = Listing(prefix.Path());

    // The first user adds a game; a second start finds it again: the copy was made once.
    auto first =
        std::make_unique<ProgramUnderTest>(ProgramOptions{.installed_executable = executable});
    const std::string first_home = first->Home();
    {
        UiDriver ui(first->Pid());
        // A worker of the installation shows the shipped home page in the first tab, and
        // writes that tab's picture into the user's own folder.
        EXPECT_TRUE(WaitUntil([&] {
            const auto names = ui.TabNames();
            return !names.empty() && names.front().rfind("Kivo", 0) == 0;
        })) << ::testing::PrintToString(ui.TabNames())
            << first->Output();
        EXPECT_TRUE(WaitUntil([&] {
            return !FolderEntries(first_home + "/cache/gameKivo/WebImage").empty();
        })) << "no page picture in the user's cache folder";
        EXPECT_TRUE(fs::is_directory(first_home + "/cache/gameKivo/Temp"));
        ASSERT_NO_FATAL_FAILURE(AddGame(ui, "甲 Realm")) << first->Output();
        EXPECT_EQ(Games(first->DatabasePath()), (Rows{{"甲 Realm"}}));
        ASSERT_NO_FATAL_FAILURE(Quit(*first, ui));
    }
    first->Start();
    {
        UiDriver ui(first->Pid());
        EXPECT_TRUE(TreeNode(ui, "甲 Realm")) << first->Output();
        ASSERT_NO_FATAL_FAILURE(Quit(*first, ui));
    }

    // The second user sees none of it and keeps their own.
    ProgramUnderTest second({.installed_executable = executable});
    {
        UiDriver ui(second.Pid());
        ASSERT_NO_FATAL_FAILURE(AddGame(ui, "乙 Realm")) << second.Output();
        EXPECT_TRUE(NoneShowing(ui, "甲 Realm"));
        ASSERT_NO_FATAL_FAILURE(Quit(second, ui));
    }
    EXPECT_EQ(Games(second.DatabasePath()), (Rows{{"乙 Realm"}}));
    EXPECT_EQ(Games(first->DatabasePath()), (Rows{{"甲 Realm"}}));
    EXPECT_NE(first->DatabasePath(), second.DatabasePath());

    EXPECT_EQ(Listing(prefix.Path()), installed) << "the program wrote into its installation";
}

}  // namespace
