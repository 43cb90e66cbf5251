// A whole session driven from outside: real keys and clicks, observed as a user, the web
// server, the file system and the database see it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>

#include "platform/identity.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/tray_hosts.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ReceivedRequest;

// The requests to `path` whose query contains `query`.
std::vector<ReceivedRequest> Requests(ProgramUnderTest& program, const std::string& path,
                                      const std::string& query) {
    std::vector<ReceivedRequest> found;
    for (const ReceivedRequest& r : program.Server().RequestsTo(path))
        if (r.query.find(query) != std::string::npos) found.push_back(r);
    return found;
}

// The temporary session folders of this run, wherever the cache root lies.
std::vector<std::string> TempSessions(const ProgramUnderTest& program) {
    auto found = FolderEntries(program.Folder() + "/KivoCache", "AppTemp");
    for (const std::string& name : FolderEntries(program.Home() + "/data/gameKivo/KivoCache", "AppTemp"))
        found.push_back(name);
    return found;
}

// The server's log, for failure messages.
std::string Log(ProgramUnderTest& program) {
    std::string log;
    for (const ReceivedRequest& r : program.Server().Requests())
        log += r.method + " " + r.path + "?" + r.query + " [" + r.cookie + "]\n";
    return log;
}

// Opens the menu of a tab (activated first, as the menu belongs to the active tab) and reads
// the check mark of one of its items.
void OpenTabMenu(const UiDriver& ui, const std::string& tab) {
    const Element page = ui.Find(ATSPI_ROLE_PAGE_TAB, tab);
    Click(page);
    EXPECT_TRUE(WaitUntil([&] { return page.Selected(); })) << tab;
    Click(page, Button::Right);
}

bool MenuCheck(const UiDriver& ui, const std::string& tab, const std::string& item) {
    OpenTabMenu(ui, tab);
    const Element check = ui.WaitFor(ATSPI_ROLE_CHECK_MENU_ITEM, item);
    EXPECT_TRUE(check) << "the tab menu of " << tab << " did not open";
    const bool checked = check.Checked();
    PressKeys("Escape");
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_CHECK_MENU_ITEM, item));
    return checked;
}

// An address typed without a scheme is opened as a web address.
TEST(FullSession, AnAddressTypedWithoutASchemeReachesTheServer) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; }));
    Go(ui, "127.0.0.1:" + std::to_string(program.Server().Port()) + "/who");
    EXPECT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/who").empty(); }))
        << ::testing::PrintToString(ui.TabNames());
}

TEST(FullSession, TabsPopUpPostTabMenuBossKeyAndQuitWithRememberedChoice) {
    StatusNotifierHost tray;  // a desktop with a tray: the boss key hides the window
    ProgramUnderTest program;
    const std::string window = kivo::kMainWindowCaption;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return WindowStateOf(window) == WindowState::Shown; }))
        << WindowStateOf(window);

    // A typed address opens a tab of its own; its page sets a cookie and opens a pop-up by
    // itself, which is refused; the status bar's notice opens it as a new tab in the opener's
    // session.
    Go(ui, program.Server().Url("/setcookie?name=who&value=first&popup=1"));
    const Element refused = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "已阻止弹出窗口", 60s);
    ASSERT_TRUE(refused) << Tree(ui.App()) << program.Output();
    EXPECT_TRUE(Requests(program, "/cookies", "popup=1").empty());
    Click(refused);
    ASSERT_TRUE(WaitUntil([&] { return !Requests(program, "/cookies", "popup=1").empty(); }))
        << Log(program) << ::testing::PrintToString(ui.TabNames()) << " workers " << program.Workers().size()
        << program.Output() << " box: " << ui.Find(ATSPI_ROLE_TEXT, "地址").Text();
    EXPECT_EQ(Requests(program, "/cookies", "popup=1").front().cookie, "who=first");
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 3; })) << ::testing::PrintToString(ui.TabNames());

    // A second free tab on the same server knows nothing of the first one's cookie.
    Go(ui, program.Server().Url("/cookies?tab=second"));
    ASSERT_TRUE(WaitUntil([&] { return !Requests(program, "/cookies", "tab=second").empty(); }));
    EXPECT_EQ(Requests(program, "/cookies", "tab=second").front().cookie, "");
    EXPECT_FALSE(TempSessions(program).empty()) << "the free tabs' session folders";

    // A form posted from a page, with a Chinese name typed into it.
    Go(ui, program.Server().Url("/login"));
    const Element user = [&] {
        Element found;
        WaitUntil([&] {
            auto entries = ui.FindAll([](const Element& e) { return e.Role() == ATSPI_ROLE_ENTRY && e.Showing(); });
            if (!entries.empty()) found = entries.front();
            return !entries.empty();
        });
        return found;
    }();
    ASSERT_TRUE(user) << Tree(ui.App());
    Click(user);
    // A user types once the caret is there: keys sent before the page has the focus are lost.
    ASSERT_TRUE(WaitUntil([&] { return user.Has(ATSPI_STATE_FOCUSED); }));
    TypeText("玩家 1");
    ASSERT_TRUE(WaitUntil([&] { return user.Text() == "玩家 1"; })) << user.Text();
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "Log in"));
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/login-submit").empty(); }));
    const ReceivedRequest post = program.Server().RequestsTo("/login-submit").front();
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.content_type, "application/x-www-form-urlencoded");
    EXPECT_NE(post.body.find("UserName=%E7%8E%A9%E5%AE%B6+1"), std::string::npos) << post.body;

    // The tab menu shows the tab's own marks, and opening it changes none of them.
    std::vector<std::string> tabs;
    ASSERT_TRUE(WaitUntil([&] { return (tabs = ui.TabNames()).size() == 5; }));
    OpenTabMenu(ui, tabs[1]);
    const Element lock = ui.WaitFor(ATSPI_ROLE_CHECK_MENU_ITEM, "锁定标签页");
    ASSERT_TRUE(lock);
    EXPECT_FALSE(lock.Checked());
    Click(lock);
    ASSERT_TRUE(ui.WaitGone(ATSPI_ROLE_CHECK_MENU_ITEM, "锁定标签页"));
    EXPECT_FALSE(MenuCheck(ui, tabs[3], "锁定标签页")) << "another tab's lock mark";
    EXPECT_FALSE(MenuCheck(ui, tabs[3], "锁定标签页")) << "opening the menu locked the tab";
    EXPECT_TRUE(MenuCheck(ui, tabs[1], "锁定标签页"));

    // The boss key hides the window with everything in it alive, and brings it back.
    const auto workers = program.Workers();
    ASSERT_FALSE(workers.empty());
    PressKeys("ctrl+b");
    EXPECT_TRUE(WaitUntil([&] { return WindowStateOf(window) != WindowState::Shown; }));
    EXPECT_EQ(WindowStateOf(window), WindowState::Unmapped);
    ASSERT_TRUE(program.Running()) << "the boss key ended the program\n" << program.Output();
    PressKeys("ctrl+b");
    EXPECT_TRUE(WaitUntil([&] { return WindowStateOf(window) == WindowState::Shown; }));
    EXPECT_EQ(ui.TabNames(), tabs);
    EXPECT_EQ(program.Workers(), workers);

    // Close: the dialog, "quit" remembered; the process ends, its free sessions go with it.
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "关闭"));
    const Element quit = ui.WaitFor(ATSPI_ROLE_RADIO_BUTTON, "直接退出");
    ASSERT_TRUE(quit) << "no close dialog";
    EXPECT_TRUE(ui.Find(ATSPI_ROLE_RADIO_BUTTON, "最小化到任务栏").Checked());
    Click(quit);
    Click(ui.WaitFor(ATSPI_ROLE_CHECK_BOX, "以后不再提示"));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));
    const auto status = program.WaitForEnd(60s);
    ASSERT_TRUE(status.has_value()) << "still running after quit";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_EQ(TempSessions(program), std::vector<std::string>{});
    EXPECT_EQ(QueryDatabase(program.DatabasePath(), "select BASEVALUE from t_base where basename='CLOSETYPE'"),
              std::vector<std::vector<std::string>>{{"1"}});
}

}  // namespace
