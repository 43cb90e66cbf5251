#include "session/cache_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/paths.h"
#include "session/session_names.h"
#include "session/shell_folders.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

class CacheFolders : public ::testing::Test {
  protected:
    std::optional<std::string> UserValue(const char* name) const {
        return settings_.Read(kivo::kUserShellFoldersKey, name);
    }
    std::optional<std::string> ShellValue(const char* name) const {
        return settings_.Read(kivo::kShellFoldersKey, name);
    }
    void SetUserValues(const std::string& cookies, const std::string& cache) {
        settings_.Write(kivo::kUserShellFoldersKey, kivo::kCookiesValue, cookies);
        settings_.Write(kivo::kUserShellFoldersKey, kivo::kCacheValue, cache);
    }
    // Makes the ordinary profile folder impossible to create, so the fallback root is used.
    void BreakProfileFolder() {
        std::ofstream(home_.Path() + "/file") << "x";
        setenv("XDG_DATA_HOME", (home_.Path() + "/file/data").c_str(), 1);
    }

    kivo::test::TempHome home_;
    kivo::UserSettings settings_;
    std::string app_path_ = home_.Path() + "/Games/Box/";
};

TEST_F(CacheFolders, SwitchThenRestoreBringsTheUserValuesBack) {
    SetUserValues("/home/u/MyCookies", "%USERPROFILE%\\Local Settings\\Temporary Internet Files");
    kivo::TCacheFolders folders(settings_, app_path_);

    folders.SwitchCacheFolders("KivoCache\\bob");
    const std::string folder = kivo::ProfileFolder() + "KivoCache/bob/";
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(UserValue(kivo::kCookiesValue), folder);
    EXPECT_EQ(UserValue(kivo::kCacheValue), folder);
    EXPECT_FALSE(ShellValue(kivo::kCookiesValue));  // not touched by the switch
    const kivo::SessionFolders seen = kivo::ReadSessionFolders(settings_);
    EXPECT_EQ(seen.Cookies, folder);
    EXPECT_EQ(seen.Cache, folder);

    folders.RestoreCacheFolders();
    EXPECT_EQ(UserValue(kivo::kCookiesValue), "/home/u/MyCookies");
    EXPECT_EQ(ShellValue(kivo::kCookiesValue), "/home/u/MyCookies");
    const std::string cache = "%USERPROFILE%\\Local Settings\\Temporary Internet Files";
    EXPECT_EQ(UserValue(kivo::kCacheValue), cache);
    EXPECT_EQ(ShellValue(kivo::kCacheValue), cache);
}

TEST_F(CacheFolders, AbsentValuesComeBackAsTheProfileDefaults) {
    kivo::TCacheFolders folders(settings_, app_path_);
    folders.SwitchCacheFolders(kivo::FreeSessionFolder("FlashGame"));
    EXPECT_EQ(UserValue(kivo::kCacheValue), kivo::ProfileFolder() + "KivoCache/AppTempFlashGame/");
    folders.RestoreCacheFolders();
    const kivo::SessionFolders defaults = kivo::DefaultSessionFolders();
    EXPECT_EQ(UserValue(kivo::kCookiesValue), defaults.Cookies);
    EXPECT_EQ(ShellValue(kivo::kCookiesValue), defaults.Cookies);
    EXPECT_EQ(UserValue(kivo::kCacheValue), defaults.Cache);
    EXPECT_EQ(ShellValue(kivo::kCacheValue), defaults.Cache);
}

TEST_F(CacheFolders, RefusedFolderLeavesTheSettingsAndTheDiskAlone) {
    kivo::TCacheFolders folders(settings_, app_path_);
    folders.SwitchCacheFolders("KivoCache\\bob");
    folders.RestoreCacheFolders();
    // The user changes the settings after that opening; a refused switch must not bring the
    // old values back.
    SetUserValues("/mine/c", "/mine/k");
    settings_.DeleteValue(kivo::kShellFoldersKey, kivo::kCookiesValue);
    const std::string too_long = "KivoCache\\" + std::string(kivo::kMaxNameBytes + 1, 'x');
    for (const std::string& bad :
         {std::string("KivoCache\\..\\..\\x"), std::string("KivoCache\\.."),
          std::string("KivoCache\\/"), std::string("x"), too_long}) {
        EXPECT_THROW(folders.SwitchCacheFolders(bad), std::invalid_argument) << bad;
        EXPECT_FALSE(folders.SavedCookiesFolder());
        folders.RestoreCacheFolders();
    }
    EXPECT_EQ(UserValue(kivo::kCookiesValue), "/mine/c");
    EXPECT_EQ(UserValue(kivo::kCacheValue), "/mine/k");
    EXPECT_FALSE(ShellValue(kivo::kCookiesValue));
    EXPECT_FALSE(fs::exists(kivo::ProfileFolder() + "x"));
}

TEST_F(CacheFolders, SymbolicLinkAsSessionFolderIsRefused) {
    const std::string outside = home_.Path() + "/outside";
    fs::create_directories(outside);
    fs::create_directories(kivo::ProfileFolder() + "KivoCache");
    fs::create_directory_symlink(outside, kivo::ProfileFolder() + "KivoCache/evil");
    SetUserValues("/mine/c", "/mine/k");
    kivo::TCacheFolders folders(settings_, app_path_);
    EXPECT_THROW(kivo::RunInSession(folders, "KivoCache\\evil", [] { FAIL(); }),
                 std::runtime_error);
    EXPECT_EQ(UserValue(kivo::kCookiesValue), "/mine/c");
    EXPECT_EQ(UserValue(kivo::kCacheValue), "/mine/k");
}

TEST_F(CacheFolders, CacheRootIsTheProfileFolderAndIsKeptForTheRun) {
    kivo::TCacheFolders folders(settings_, app_path_);
    EXPECT_EQ(folders.CacheRoot(), "");
    const std::string root = kivo::ProfileFolder();
    EXPECT_EQ(folders.GetCacheRoot(), root);
    EXPECT_TRUE(fs::is_directory(root));
    BreakProfileFolder();
    EXPECT_EQ(folders.GetCacheRoot(), root);
}

TEST_F(CacheFolders, WithoutAProfileFolderTheRootIsAboveTheProgramFolder) {
    BreakProfileFolder();
    kivo::TCacheFolders folders(settings_, app_path_);
    folders.SwitchCacheFolders("KivoCache\\bob");
    EXPECT_EQ(folders.CacheRoot(), home_.Path() + "/Games/");
    EXPECT_EQ(UserValue(kivo::kCookiesValue), home_.Path() + "/Games/KivoCache/bob/");
    folders.RestoreCacheFolders();
}

TEST_F(CacheFolders, NoRootMeansNoSwitchAndTheReadValuesGoBack) {
    BreakProfileFolder();
    SetUserValues("/mine/c", "/mine/k");
    kivo::TCacheFolders folders(settings_, "/");
    EXPECT_THROW(folders.GetCacheRoot(), std::runtime_error);
    bool ran = false;
    EXPECT_THROW(kivo::RunInSession(folders, "KivoCache\\bob", [&] { ran = true; }),
                 std::runtime_error);
    EXPECT_FALSE(ran);
    EXPECT_EQ(folders.CacheRoot(), "");
    EXPECT_EQ(UserValue(kivo::kCookiesValue), "/mine/c");
    EXPECT_EQ(ShellValue(kivo::kCookiesValue), "/mine/c");
    EXPECT_EQ(UserValue(kivo::kCacheValue), "/mine/k");
}

TEST_F(CacheFolders, RunInSessionRestoresWhenTheOpeningFails) {
    SetUserValues("/mine/c", "/mine/k");
    kivo::TCacheFolders folders(settings_, app_path_);
    EXPECT_THROW(kivo::RunInSession(folders, "KivoCache\\bob",
                                    [&] {
                                        EXPECT_NE(UserValue(kivo::kCookiesValue), "/mine/c");
                                        throw std::runtime_error("worker did not start");
                                    }),
                 std::runtime_error);
    EXPECT_EQ(UserValue(kivo::kCookiesValue), "/mine/c");
    EXPECT_EQ(UserValue(kivo::kCacheValue), "/mine/k");
}

}  // namespace
