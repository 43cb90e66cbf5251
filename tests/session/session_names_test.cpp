#include "session/session_names.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "session/wait_messages.h"

using namespace std::string_literals;

TEST(SessionNames, FreeAndAccountFoldersInStoredForm) {
    EXPECT_EQ(kivo::FreeSessionFolder("", 4294967295u), "KivoCache\\AppTemp4294967295");
    EXPECT_EQ(kivo::FreeSessionFolder("FlashGame", 7), "KivoCache\\AppTempFlashGame");
    EXPECT_EQ(kivo::AccountSessionFolder("玩家 1"), "KivoCache\\玩家 1");
    EXPECT_THROW(kivo::FreeSessionFolder("/../x", 1), std::invalid_argument);
    EXPECT_THROW(kivo::AccountSessionFolder(".."), std::invalid_argument);
}

TEST(SessionNames, SessionPathStaysInsideTheSessionsFolder) {
    EXPECT_EQ(kivo::SessionPath("/r/", "KivoCache\\bob"), "/r/KivoCache/bob/");
    EXPECT_EQ(kivo::SessionPath("/r/", "kivocache/AppTemp12"), "/r/KivoCache/AppTemp12/");
    EXPECT_EQ(kivo::SessionPath("/r/", "KivoCache\\a..b"), "/r/KivoCache/a..b/");

    for (const std::string& stored :
         {"KivoCache\\../x"s, "KivoCache\\/"s, "KivoCache\\.."s, "KivoCache\\."s,
          "KivoCache\\.hidden"s, "KivoCache\\"s, "KivoCache"s, "KivoCache\\a\0b"s,
          "KivoCache\\a\\..\\..\\b"s, "KivoCache\\a/b"s, "Other\\bob"s, "KivoCacheX\\bob"s,
          "/etc/passwd"s, ""s}) {
        EXPECT_THROW(kivo::SessionPath("/r/", stored), std::invalid_argument) << stored;
    }
    // Names and paths the file system cannot hold are refused, not cut.
    const std::string longest(kivo::kMaxNameBytes, 'n');
    EXPECT_EQ(kivo::SessionPath("/r/", "KivoCache\\" + longest), "/r/KivoCache/" + longest + "/");
    EXPECT_THROW(kivo::AccountSessionFolder(longest + "n"), std::invalid_argument);
    EXPECT_THROW(kivo::FreeSessionFolder(longest, 1), std::invalid_argument);
    const std::string deep_root = "/" + std::string(kivo::kMaxPathBytes - 30, 'd') + "/";
    EXPECT_THROW(kivo::SessionPath(deep_root, "KivoCache\\bob-the-long-named"),
                 std::invalid_argument);
    EXPECT_NO_THROW(kivo::SessionPath(deep_root, "KivoCache\\b"));

    for (const std::string& root : {""s, "r/"s, "/r"s, "/r\0/"s}) {
        EXPECT_THROW(kivo::SessionPath(root, "KivoCache\\bob"), std::invalid_argument) << root;
    }
}

TEST(WaitWithMessages, KeepsDispatchingUntilTheTimeIsUp) {
    using Clock = std::chrono::steady_clock;
    int dispatched = 0;
    g_idle_add(
        [](gpointer data) {
            ++*static_cast<int*>(data);
            return G_SOURCE_REMOVE;
        },
        &dispatched);
    auto start = Clock::now();
    kivo::WaitWithMessages(0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(dispatched, 1);

    start = Clock::now();
    kivo::WaitWithMessages(350);
    const auto took = Clock::now() - start;
    EXPECT_GT(took, std::chrono::milliseconds(350));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}
