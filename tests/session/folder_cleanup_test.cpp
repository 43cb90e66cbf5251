#include "session/folder_cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

void MakeFile(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "data";
}

class FolderCleanup : public ::testing::Test {
  protected:
    std::string Path(const std::string& relative) const { return home_.Path() + "/" + relative; }

    kivo::test::TempHome home_;
    std::string app_ = Path("app/");
    std::string root_ = Path("root/");
};

TEST_F(FolderCleanup, RemovesTheRunsFoldersAndKeepsAccounts) {
    const auto accounts =
        kivo::AccountFolderNames({"KivoCache\\bob", "kivocache/myAppTempAccount",
                                  "KivoCache\\AppTempSaved", "KivoCache\\..", "elsewhere"});
    EXPECT_EQ(accounts, (std::set<std::string>{"AppTempSaved", "bob", "myAppTempAccount"}));
    for (const std::string& base : {app_, root_}) {
        MakeFile(base + "KivoCache/bob/cookies.sqlite");
        MakeFile(base + "KivoCache/myAppTempAccount/cookies.sqlite");  // saved accounts whose
        MakeFile(base + "KivoCache/AppTempSaved/cookies.sqlite");      // names hold the mark
        MakeFile(base + "KivoCache/AppTemp123/deep/er/cache.bin");
        MakeFile(base + "KivoCache/AppTempFlashGame/c");
        MakeFile(base + "KivoCache/xAppTempy");   // a file, named like a session
        MakeFile(base + "KivoCache/apptemp9/c");  // the match keeps letter case
    }
    MakeFile(app_ + "WebImage/123456");
    MakeFile(app_ + "Temp/123456");
    MakeFile(app_ + "gameKivo");

    kivo::CleanUpRunFolders(app_, root_, accounts);

    for (const std::string& base : {app_, root_}) {
        EXPECT_TRUE(fs::exists(base + "KivoCache/bob/cookies.sqlite")) << base;
        EXPECT_TRUE(fs::exists(base + "KivoCache/myAppTempAccount/cookies.sqlite")) << base;
        EXPECT_TRUE(fs::exists(base + "KivoCache/AppTempSaved/cookies.sqlite")) << base;
        EXPECT_TRUE(fs::exists(base + "KivoCache/apptemp9/c")) << base;
        EXPECT_FALSE(fs::exists(base + "KivoCache/AppTemp123")) << base;
        EXPECT_FALSE(fs::exists(base + "KivoCache/AppTempFlashGame")) << base;
        EXPECT_FALSE(fs::exists(base + "KivoCache/xAppTempy")) << base;
    }
    EXPECT_FALSE(fs::exists(app_ + "WebImage"));
    EXPECT_FALSE(fs::exists(app_ + "Temp"));
    EXPECT_TRUE(fs::exists(app_ + "gameKivo"));

    kivo::CleanUpRunFolders(app_, "", accounts);  // nothing left to do, and no root: no error
    EXPECT_THROW(kivo::CleanUpRunFolders(app_, "root/", accounts), std::invalid_argument);
    EXPECT_THROW(kivo::CleanUpRunFolders("", root_, accounts), std::invalid_argument);
}

TEST_F(FolderCleanup, UnknownAccountsKeepEverySessionFolder) {
    MakeFile(root_ + "KivoCache/AppTemp123/c");
    MakeFile(root_ + "KivoCache/myAppTempAccount/c");
    MakeFile(app_ + "Temp/123456");
    kivo::CleanUpRunFolders(app_, root_, std::nullopt);
    EXPECT_TRUE(fs::exists(root_ + "KivoCache/AppTemp123/c"));
    EXPECT_TRUE(fs::exists(root_ + "KivoCache/myAppTempAccount/c"));
    EXPECT_FALSE(fs::exists(app_ + "Temp"));
}

TEST_F(FolderCleanup, NeverFollowsLinksOutOfTheTree) {
    const std::string outside = Path("outside/");
    MakeFile(outside + "keep");
    MakeFile(outside + "AppTempOutside/keep");
    MakeFile(app_ + "KivoCache/AppTemp1/c");
    fs::create_directory_symlink(outside, app_ + "KivoCache/AppTemp1/link");
    fs::create_directory_symlink(outside, app_ + "KivoCache/AppTempLink");
    fs::create_directories(app_ + "WebImage");
    fs::create_directory_symlink(outside, app_ + "WebImage/link");
    fs::create_symlink(outside + "keep", app_ + "Temp");
    fs::create_directories(root_);
    fs::create_directory_symlink(outside, root_ + "KivoCache");  // not looked into

    kivo::CleanUpRunFolders(app_, root_, std::set<std::string>{});

    EXPECT_TRUE(fs::exists(outside + "keep"));
    EXPECT_TRUE(fs::exists(outside + "AppTempOutside/keep"));
    EXPECT_FALSE(fs::exists(app_ + "KivoCache/AppTemp1"));
    EXPECT_FALSE(fs::is_symlink(app_ + "KivoCache/AppTempLink"));
    EXPECT_FALSE(fs::exists(app_ + "WebImage"));
    EXPECT_TRUE(fs::is_symlink(root_ + "KivoCache"));
}

TEST_F(FolderCleanup, DeleteFolderAndTree) {
    for (const std::string& bad :
         {std::string(), std::string("relative/x"), std::string("/"), std::string("//"),
          Path("a/../b"), Path("a/./b"), Path("a/.."), std::string("/tmp/a\0b", 8)}) {
        EXPECT_THROW(kivo::DeleteFolder(bad), std::invalid_argument) << bad;
        EXPECT_THROW(kivo::DeleteFolderTree(bad), std::invalid_argument) << bad;
    }

    MakeFile(Path("f"));
    EXPECT_TRUE(kivo::DeleteFolder(Path("f")));
    EXPECT_FALSE(kivo::DeleteFolder(Path("f")));

    MakeFile(Path("d/sub/f"));
    EXPECT_TRUE(kivo::DeleteFolder(Path("d/")));
    EXPECT_FALSE(fs::exists(Path("d")));

    MakeFile(Path("t/sub/f"));
    kivo::DeleteFolderTree(Path("t"));
    EXPECT_FALSE(fs::exists(Path("t")));
    MakeFile(Path("t/sub/f"));
    kivo::DeleteFolderTree(Path("t/"));
    EXPECT_FALSE(fs::exists(Path("t")));

    // The tree routine removes folders only; a file or a link given to it stays.
    MakeFile(Path("plain"));
    fs::create_directory_symlink(home_.Path(), Path("link"));
    kivo::DeleteFolderTree(Path("plain"));
    kivo::DeleteFolderTree(Path("link/"));
    EXPECT_TRUE(fs::exists(Path("plain")));
    EXPECT_TRUE(fs::is_symlink(Path("link")));
}

}  // namespace
