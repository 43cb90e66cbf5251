// "后台继续运行" as the per-user settings store keeps it: per catalogue address, read back by a
// later run, never for a page opened freely.
#include "session/keep_running.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace {

using kivo::KeepsRunning;
using kivo::RememberKeepRunning;
using kivo::UserSettings;

TEST(KeepRunning, IsRememberedPerAddressForALaterRunAndForgottenWhenTurnedOff) {
    kivo::test::TempHome home;
    const std::string first = "{00000000-0000-0000-0000-00000000000A}";
    const std::string second = "{00000000-0000-0000-0000-00000000000B}";
    EXPECT_FALSE(KeepsRunning(UserSettings(), first));
    RememberKeepRunning(UserSettings(), first, true);
    // A later run reads the file again; ids compare as the store compares names.
    EXPECT_TRUE(KeepsRunning(UserSettings(), first));
    EXPECT_TRUE(KeepsRunning(UserSettings(), "{00000000-0000-0000-0000-00000000000a}"));
    EXPECT_FALSE(KeepsRunning(UserSettings(), second));
    RememberKeepRunning(UserSettings(), second, true);
    RememberKeepRunning(UserSettings(), first, false);
    EXPECT_FALSE(KeepsRunning(UserSettings(), first));
    EXPECT_TRUE(KeepsRunning(UserSettings(), second));
}

TEST(KeepRunning, FreePagesAreNeverRememberedNorTakenForOneAnother) {
    kivo::test::TempHome home;
    for (const std::string free_page : {"", "0"}) {
        RememberKeepRunning(UserSettings(), free_page, true);
        EXPECT_FALSE(KeepsRunning(UserSettings(), free_page));
        EXPECT_FALSE(kivo::SameCatalogueAddress(free_page, free_page));
    }
    EXPECT_FALSE(std::filesystem::exists(UserSettings().File())) << "a free page was written";
    EXPECT_TRUE(kivo::SameCatalogueAddress("{1}", "{1}"));
    EXPECT_FALSE(kivo::SameCatalogueAddress("{1}", "{2}"));
}

}  // namespace
