#include "platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WritablePlaces, FromTheBuildEverythingStaysInTheProgramFolderAndInstalledInTheUsersOwn) {
    kivo::test::TempHome home;
    const kivo::WritablePlaces built = kivo::WritablePlacesFor("/opt/kivo/", false);
    EXPECT_EQ(built.Database, "/opt/kivo/MultOpenApp.dat");
    EXPECT_EQ(built.Work, "/opt/kivo/");

    const kivo::WritablePlaces installed = kivo::WritablePlacesFor("/usr/lib/gameKivo/", true);
    EXPECT_EQ(installed.Database, home.Path() + "/data/gameKivo/MultOpenApp.dat");
    EXPECT_EQ(installed.Work, home.Path() + "/cache/gameKivo/");

    // Without the variables, or with relative ones, the folders under the home stand in.
    unsetenv("XDG_DATA_HOME");
    setenv("XDG_CACHE_HOME", "relative/cache", 1);
    const kivo::WritablePlaces fallback = kivo::WritablePlacesFor("/usr/lib/gameKivo/", true);
    EXPECT_EQ(fallback.Database, home.Path() + "/.local/share/gameKivo/MultOpenApp.dat");
    EXPECT_EQ(fallback.Work, home.Path() + "/.cache/gameKivo/");
}

TEST(WritablePlaces, AProgramFolderIsInstalledWithTheMarkerOrWhenItCannotBeWritten) {
    kivo::test::TempHome home;
    const std::string app = home.Path() + "/app/";
    fs::create_directories(app);
    EXPECT_FALSE(kivo::RunsInstalled(app));
    WriteFile(app + kivo::kInstalledMarker, "installed\n");
    EXPECT_TRUE(kivo::RunsInstalled(app));
    fs::remove(app + kivo::kInstalledMarker);

    chmod(app.c_str(), 0555);
    // The superuser writes anywhere: for it only the marker tells.
    if (geteuid() != 0) {
        EXPECT_TRUE(kivo::RunsInstalled(app));
    }
    chmod(app.c_str(), 0755);
}

TEST(PrepareDatabase, AnInstalledUserGetsACopyOfTheTemplateOnceAndKeepsIt) {
    kivo::test::TempHome home;
    const std::string app = home.Path() + "/app/";
    fs::create_directories(app);
    const std::string templ = app + kivo::kDatabaseFileName;
    WriteFile(templ, std::string(100000, 'T'));

    // From the build the program folder's file is the database: nothing is copied, even when
    // it is missing.
    kivo::PrepareDatabase(kivo::WritablePlacesFor(app, false), home.Path() + "/none.dat");
    EXPECT_FALSE(fs::exists(home.Path() + "/data/gameKivo"));

    const kivo::WritablePlaces places = kivo::WritablePlacesFor(app, true);
    kivo::PrepareDatabase(places, templ);
    EXPECT_EQ(Slurp(places.Database), Slurp(templ));
    struct stat info {};
    ASSERT_EQ(stat(places.Database.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the accounts are the user's alone";
    EXPECT_EQ(Entries(home.Path() + "/data/gameKivo"),
              std::vector<std::string>{kivo::kDatabaseFileName});

    // The user's data stays: a later start copies nothing over it.
    WriteFile(places.Database, "the user's accounts");
    kivo::PrepareDatabase(places, templ);
    EXPECT_EQ(Slurp(places.Database), "the user's accounts");
}

TEST(PrepareDatabase, AMissingTemplateIsToldAndLeavesNothing) {
    kivo::test::TempHome home;
    const std::string app = home.Path() + "/app/";
    const kivo::WritablePlaces places = kivo::WritablePlacesFor(app, true);
    try {
        kivo::PrepareDatabase(places, app + kivo::kDatabaseFileName);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(app + kivo::kDatabaseFileName), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(places.Database));
}

TEST(CopyFileOnce, ACopyThatFailsLeavesNoFileBehind) {
    kivo::test::TempHome home;
    const std::string target = home.Path() + "/copy";
    EXPECT_THROW(kivo::CopyFileOnce(home.Path() + "/missing", target), std::runtime_error);
    // A folder reads as no file.
    fs::create_directories(home.Path() + "/folder");
    EXPECT_THROW(kivo::CopyFileOnce(home.Path() + "/folder", target), std::runtime_error);
    for (const std::string& name : Entries(home.Path()))
        EXPECT_EQ(name.rfind("copy", 0), std::string::npos) << name;
}

// Several processes copy different files to one name at once, as two starts of the program
// can: exactly one wins, its copy is whole, and no temporary file is left.
TEST(CopyFileOnce, CopiesAtOnceLeaveOneWholeFileAndNeverReplaceIt) {
    kivo::test::TempHome home;
    constexpr int kProcesses = 8;
    std::vector<std::string> sources;
    for (int i = 0; i < kProcesses; ++i) {
        sources.push_back(home.Path() + "/source" + std::to_string(i));
        WriteFile(sources.back(), std::string(300000 + i, static_cast<char>('a' + i)));
    }
    const std::string target = home.Path() + "/target/db";
    fs::create_directories(home.Path() + "/target");
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipe_fds[1]);
            char go;
            // All start when the pipe closes.
            (void)!read(pipe_fds[0], &go, 1);
            try {
                _exit(kivo::CopyFileOnce(sources[i], target) ? 10 : 20);
            } catch (...) {
                _exit(1);
            }
        }
        children.push_back(child);
    }
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    int made = 0;
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 1) << "a copy failed";
        made += WEXITSTATUS(status) == 10;
    }
    EXPECT_EQ(made, 1);
    const std::string copied = Slurp(target);
    bool whole = false;
    for (const std::string& source : sources) whole = whole || copied == Slurp(source);
    EXPECT_TRUE(whole) << "the copy is no source's whole content (" << copied.size() << " bytes)";
    EXPECT_EQ(Entries(home.Path() + "/target"), std::vector<std::string>{"db"});

    EXPECT_FALSE(kivo::CopyFileOnce(sources[0], target));
    EXPECT_EQ(Slurp(target), copied);
}

}  // namespace

namespace {

TEST(HomeFolder, ComesFromHomeOrTheUserListAndNeverFromASharedFolder) {
    EXPECT_EQ(kivo::HomeFolderFrom("/home/ann", "/home/recorded"), "/home/ann/");
    // Unset, empty or relative: the user list's home stands in.
    for (const char* home : {static_cast<const char*>(nullptr), "", "relative/home"})
        EXPECT_EQ(kivo::HomeFolderFrom(home, "/home/recorded"), "/home/recorded/");
    // Neither: the start is refused with a word on what to do, never /tmp.
    for (const std::optional<std::string>& recorded :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"nohome"}}) {
        try {
            kivo::HomeFolderFrom(nullptr, recorded);
            ADD_FAILURE() << "a home was made up";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("Set HOME"), std::string::npos) << e.what();
        }
    }
}

TEST(HomeFolder, TheProgramWithoutHomeTakesTheUsersOwn) {
    // The settings folder follows the home the user list gives, not /tmp.
    kivo::test::TempHome temp;
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    const std::string config = kivo::ConfigFolder();
    EXPECT_EQ(config.rfind("/tmp/", 0), std::string::npos) << config;
    kivo::SettleHomeVariable();
    ASSERT_NE(std::getenv("HOME"), nullptr);
    EXPECT_EQ(kivo::HomeFolder() + ".config/gameKivo/", config);
}

TEST(PrivateFolder, IsMadeForThisUserOnlyAndNeverALink) {
    kivo::test::TempHome home;
    const std::string folder = home.Path() + "/run/";
    EXPECT_EQ(kivo::PrivateFolder(folder), folder);
    struct stat info {};
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    chmod(folder.c_str(), 0777);  // left open by some earlier run
    kivo::PrivateFolder(folder);
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    // A link to a folder someone else prepared is refused, and so is a file.
    fs::create_directories(home.Path() + "/prepared");
    chmod((home.Path() + "/prepared").c_str(), 0777);
    fs::create_directory_symlink(home.Path() + "/prepared", home.Path() + "/link");
    EXPECT_THROW(kivo::PrivateFolder(home.Path() + "/link/"), std::runtime_error);
    ASSERT_EQ(lstat((home.Path() + "/prepared").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0777u) << "the link's target was changed";
    WriteFile(home.Path() + "/file", "x");
    EXPECT_THROW(kivo::PrivateFolder(home.Path() + "/file/"), std::runtime_error);
    // Another user's folder: only the superuser can make one to try with.
    if (geteuid() == 0) {
        fs::create_directories(home.Path() + "/theirs");
        ASSERT_EQ(chown((home.Path() + "/theirs").c_str(), 65534, 65534), 0);
        EXPECT_THROW(kivo::PrivateFolder(home.Path() + "/theirs/"), std::runtime_error);
    }
}

}  // namespace
