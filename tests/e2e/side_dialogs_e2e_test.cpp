// The main menu's side features driven from outside: the settings dialog read back from the
// database, the about box with the version the build defines, the support link in the shared
// mini-game session, and the cleaning of the ordinary profile's browser data.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/file_version.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "ui/left/left_panel_layout.h"
#include "data/catalogue/mini_games.h"

namespace {

using namespace kivo::e2e;

std::string StoredCloseType(const ProgramUnderTest& program) {
    const auto rows = QueryDatabase(program.DatabasePath(),
                                    "select BASEVALUE from t_base where basename='CLOSETYPE'");
    return rows.empty() ? "(no row)" : rows[0][0];
}

// The installer's database given another close preference before the program starts.
void StoreCloseTypeBeforeStart(const ProgramUnderTest& program, const std::string& value) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(program.DatabasePath().c_str(), &db), SQLITE_OK);
    const std::string sql =
        "update t_base set BASEVALUE='" + value + "' where basename='CLOSETYPE'";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

struct SettingsShown {
    bool remember, tray, quit;
};

// Opens "设置" from the main menu and reads what its dialog shows.
SettingsShown OpenSettings(const UiDriver& ui) {
    EXPECT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "设置"}));
    EXPECT_TRUE(WaitForShowing(ui, "设置")) << "the dialog has no title 设置";
    const Element remember = ui.WaitFor(ATSPI_ROLE_CHECK_BOX, "以后不再提示");
    const Element tray = ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "最小化到任务栏");
    const Element quit = ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "直接退出");
    return {remember.Checked(), tray.Checked(), quit.Checked()};
}

void CloseSettingsWithOk(const UiDriver& ui) {
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_CHECK_BOX, "以后不再提示"));
}

TEST(SideDialogs, SettingsFollowTheStoredPreferenceAboutShowsTheVersionSupportSharesItsSession) {
    ProgramUnderTest program({.start = false});
    StoreCloseTypeBeforeStart(program, "-5");
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "主菜单")) << program.Output();

    // A stored number below the first item: the box checked and no item chosen; OK stores
    // "ask".
    SettingsShown shown = OpenSettings(ui);
    EXPECT_TRUE(shown.remember);
    EXPECT_FALSE(shown.tray || shown.quit);
    CloseSettingsWithOk(ui);
    EXPECT_EQ(StoredCloseType(program), "-1");

    // "-1": unchecked, the tray item; OK with the box checked stores "0".
    shown = OpenSettings(ui);
    EXPECT_FALSE(shown.remember);
    EXPECT_TRUE(shown.tray);
    Click(ui.WaitFor(ATSPI_ROLE_CHECK_BOX, "以后不再提示"));
    CloseSettingsWithOk(ui);
    EXPECT_EQ(StoredCloseType(program), "0");

    // "0" with the box unchecked: nothing stored, even with the other item chosen.
    shown = OpenSettings(ui);
    EXPECT_TRUE(shown.remember && shown.tray);
    Click(ui.WaitFor(ATSPI_ROLE_CHECK_BOX, "以后不再提示"));
    Click(ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "直接退出"));
    CloseSettingsWithOk(ui);
    EXPECT_EQ(StoredCloseType(program), "0");

    // Quit chosen and remembered; opened again it shows "1", and OK stores "1" again.
    OpenSettings(ui);
    Click(ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "直接退出"));
    CloseSettingsWithOk(ui);
    ASSERT_EQ(StoredCloseType(program), "1");
    shown = OpenSettings(ui);
    EXPECT_TRUE(shown.remember && shown.quit && !shown.tray);
    CloseSettingsWithOk(ui);
    EXPECT_EQ(StoredCloseType(program), "1");

    // Cancel stores nothing.
    OpenSettings(ui);
    Click(ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "最小化到任务栏"));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "取消"));
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_CHECK_BOX, "以后不再提示"));
    EXPECT_EQ(StoredCloseType(program), "1");

    // The about box shows the build's version; its site link opens a new tab.
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "关于"}));
    const std::string version_line = std::string("版本 ") + kivo::kFileVersion;
    Element about;
    EXPECT_TRUE(WaitUntil([&] {
        auto found = ui.FindAll([&](const Element& e) {
            return e.Showing() && e.Name().find(version_line) != std::string::npos;
        });
        if (!found.empty())
            about = found.front();
        return !found.empty();
    })) << "no about text with "
        << version_line;
    const size_t tabs = ui.TabNames().size();
    const Element site = WaitForShowing(ui, "Kivo游戏盒官方网站");
    ASSERT_TRUE(site);
    Click(site);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 1; }))
        << ::testing::PrintToString(ui.TabNames());
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));
    EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, "Kivo游戏盒官方网站"); }));

    // The support link and a mini-game: two more tabs, one "FlashGame" session folder.
    const Element bbs = WaitForShowing(ui, kivo::catalogue::kBbsLinkCaption);
    ASSERT_TRUE(bbs);
    Click(bbs);
    Click(WaitForShowing(ui, "小游戏"));
    const Element game = WaitForShowing(ui, kivo::catalogue::MiniGameCaption(0));
    ASSERT_TRUE(game);
    Click(game);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 3; }))
        << ::testing::PrintToString(ui.TabNames());
    auto flash_folders = [&] {
        auto found = FolderEntries(program.Home() + "/data/gameKivo/KivoCache", "FlashGame");
        for (const auto& name : FolderEntries(program.Folder() + "/KivoCache", "FlashGame"))
            found.push_back(name);
        return found;
    };
    EXPECT_TRUE(WaitUntil([&] { return !flash_folders().empty(); }));
    EXPECT_EQ(flash_folders().size(), 1u) << ::testing::PrintToString(flash_folders());
    EXPECT_TRUE(WaitUntil([&] {
        for (const std::string& name : ui.TabNames())
            if (name.rfind("打开游戏慢", 0) == 0)
                return true;
        return false;
    })) << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(program.Running()) << program.Output();
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether the ordinary profile's cookie jar holds the cookie "probe".
bool ProfileHoldsProbeCookie(const ProgramUnderTest& program) {
    try {
        return !QueryDatabase(program.Home() + "/data/gameKivo/Cookies/cookies.sqlite",
                              "select value from moz_cookies where name='probe'")
                    .empty();
    } catch (const std::exception&) {
        return false;  // not written yet
    }
}

// The probe page the program loads through the ordinary profile comes from the local server,
// which sets a cookie there.
class ProbeAt {
  public:
    explicit ProbeAt(const std::string& url) { setenv("KIVO_PROBE_URL", url.c_str(), 1); }
    ~ProbeAt() { unsetenv("KIVO_PROBE_URL"); }
};

// The window shows after five seconds at most, whether or not the probe page has come; a page
// slower than that still loads into the ordinary profile.
TEST(SideDialogs, AProbePageSlowerThanTheWindowStillReachesTheOrdinaryProfile) {
    ProgramUnderTest program({.start = false});
    const ProbeAt probe(program.Server().Url("/setcookie?name=probe&value=late&ms=8000"));
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "主菜单")) << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return ProfileHoldsProbeCookie(program); }))
        << "the probe was stopped when the window showed";
}

TEST(SideDialogs, CleaningWipesTheOrdinaryProfileAndKeepsSessionFolders) {
    ProgramUnderTest program({.start = false});
    const ProbeAt probe(program.Server().Url("/setcookie?name=probe&value=kept"));
    const std::string data = program.Home() + "/data/gameKivo";
    const std::string account_file = data + "/KivoCache/玩家一/Cookies/cookies.sqlite";
    std::filesystem::create_directories(data + "/KivoCache/玩家一/Cookies");
    std::ofstream(account_file) << "an account's session";
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "主菜单")) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return ProfileHoldsProbeCookie(program); }))
        << "the probe did not leave its cookie in the ordinary profile";
    // The home page's address is in the visited list, and its tab has a session folder.
    ASSERT_TRUE(WaitUntil([&] { return !FileText(data + "/VisitedUrls").empty(); }));
    const auto temporary = FolderEntries(data + "/KivoCache", "AppTemp");
    ASSERT_FALSE(temporary.empty());

    // Two cleanings in a row: the window stays usable and each one reports.
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "清理系统缓存"}));
    const std::string done = "清理完成，请重新启动程序！";
    EXPECT_TRUE(WaitUntil([&] {
        return ui.FindAll([&](const Element& e) {
                     return e.Name() == done && e.Showing();
                 }).size() == 2;
    })) << "not two notices";
    for (int i = 0; i < 2; ++i) {
        const Element ok = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定");
        ASSERT_TRUE(ok);
        Click(ok);
        WaitUntil([&] {
            return ui.FindAll([&](const Element& e) {
                         return e.Name() == done && e.Showing();
                     }).size() == static_cast<size_t>(1 - i);
        });
    }
    EXPECT_TRUE(NoneShowing(ui, done));
    EXPECT_TRUE(WaitUntil([&] { return !ProfileHoldsProbeCookie(program); }));
    EXPECT_EQ(FileText(data + "/VisitedUrls"), "");
    EXPECT_EQ(FileText(account_file), "an account's session");
    EXPECT_EQ(FolderEntries(data + "/KivoCache", "AppTemp"), temporary);

    // The next start's probe reaches the server without the cookie.
    ASSERT_TRUE(ui.ClickPath(ATSPI_ROLE_PUSH_BUTTON, {"主菜单", "退出"}));
    ASSERT_TRUE(program.WaitForEnd(30s)) << program.Output();
    program.Server().ClearRequests();
    program.Start();
    UiDriver again(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/setcookie").empty(); }));
    EXPECT_EQ(program.Server().RequestsTo("/setcookie").front().cookie.find("probe="),
              std::string::npos)
        << program.Server().RequestsTo("/setcookie").front().cookie;
    EXPECT_EQ(FileText(account_file), "an account's session");
}

}  // namespace
