// Saved accounts opened from an address's quick-login menu, driven from outside: each account in
// a tab and a session of its own with its login form filled, all of them at once, a plain click
// with nothing filled, a form drawn by script after the page has completed, an opening that
// fails part way, and an address that sends the tab on to another site, which gets nothing. The
// database is seeded before the start as another installation would have left it; what is checked
// is what the local server, the folders and the settings file see.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "tests/e2e/support/accounts.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ReceivedRequest;

constexpr const char* kLoginAll = "全部登录";

bool HasFolder(ProgramUnderTest& program, const std::string& name) {
    const auto entries = FolderEntries(program.Home() + "/data/gameKivo/KivoCache");
    return std::find(entries.begin(), entries.end(), name) != entries.end();
}

TEST(QuickLogin, EachAccountOpensFilledInItsOwnSessionAndAllOfThemAtOnce) {
    ProgramUnderTest program({.start = false});
    Seed(program.DatabasePath(), {{"登录页",
                                   program.Server().Url("/account-login"),
                                   {{"账号甲", "KivoCache\\账号甲", "a-user", "a-pass"},
                                    {"账号乙 'x'", "KivoCache\\账号乙 'x'", "b-user", "b=pass"}}}});
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    // A plain click: a temporary session, nothing filled.
    const Element address = WaitForShowing(ui, "登录页");
    ASSERT_TRUE(address) << program.Output();
    Click(address);
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/account-ping").empty(); }));
    const std::string free_session = Session(program.Server().RequestsTo("/account-ping")[0]);
    EXPECT_FALSE(free_session.empty());

    QuickLogin(ui, "登录页", "账号甲");
    ASSERT_TRUE(WaitUntil([&] { return !SessionsSeeing(program, "u=a-user&p=a-pass").empty(); }))
        << program.Output();
    const std::string a_session = *SessionsSeeing(program, "u=a-user&p=a-pass").begin();
    QuickLogin(ui, "登录页", "账号乙 'x'");
    ASSERT_TRUE(WaitUntil([&] { return !SessionsSeeing(program, "u=b-user&p=b%3Dpass").empty(); }))
        << program.Output();
    const std::string b_session = *SessionsSeeing(program, "u=b-user&p=b%3Dpass").begin();
    // Three independent sessions, all open at once.
    EXPECT_EQ((std::set<std::string>{free_session, a_session, b_session}).size(), 3u);
    EXPECT_EQ(ui.TabNames().size(), 4u);
    EXPECT_TRUE(HasFolder(program, "账号甲"));
    EXPECT_TRUE(HasFolder(program, "账号乙 'x'"));

    // "全部登录": both again, each in its own account's session, so with its cookies.
    QuickLogin(ui, "登录页", kLoginAll);
    EXPECT_TRUE(WaitUntil([&] {
        return SessionsSeeing(program, "u=a-user&p=a-pass").count(a_session) == 2 &&
               SessionsSeeing(program, "u=b-user&p=b%3Dpass").count(b_session) == 2;
    })) << program.Output();
    EXPECT_EQ(ui.TabNames().size(), 6u);

    // The plain click's page was never filled.
    for (const ReceivedRequest& request : program.Server().RequestsTo("/account-seen")) {
        if (Session(request) == free_session) {
            EXPECT_EQ(request.query, "u=&p=");
        }
    }
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST(QuickLogin, FormsDrawnLateAreFilledAndAFailedAccountEndsTheOpening) {
    ProgramUnderTest program({.start = false});
    Seed(program.DatabasePath(), {{"脚本登录页",
                                   program.Server().Url("/account-login?late=1500"),
                                   {{"账号丙", "KivoCache\\账号丙", "c-user", "c-pass"}}},
                                  {"坏账号页",
                                   program.Server().Url("/account-login"),
                                   {{"1号", "KivoCache\\1号", "", ""},
                                    {"2号", "KivoCache\\2号", "", ""},
                                    {"3号", "KivoCache\\..\\outside", "", ""},
                                    {"4号", "KivoCache\\4号", "", ""}}}});
    kivo::UserSettings settings;
    settings.Write(kivo::kUserShellFoldersKey, kivo::kCookiesValue, "/home/me/cookies");
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    QuickLogin(ui, "脚本登录页", "账号丙");
    EXPECT_TRUE(WaitUntil([&] { return !SessionsSeeing(program, "u=c-user&p=c-pass").empty(); }))
        << program.Output();

    // Sorted by name the third account's folder would lead outside: two tabs, then it stops.
    const size_t before = ui.TabNames().size();
    QuickLogin(ui, "坏账号页", kLoginAll);
    // A plain click afterwards, so that everything the menu did is over.
    const Element late = WaitForShowing(ui, "脚本登录页");
    ASSERT_TRUE(late);
    Click(late);
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() >= before + 3; }));
    EXPECT_EQ(ui.TabNames().size(), before + 3) << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(HasFolder(program, "1号"));
    EXPECT_TRUE(HasFolder(program, "2号"));
    EXPECT_FALSE(HasFolder(program, "4号"));
    EXPECT_FALSE(HasFolder(program, "outside"));
    EXPECT_TRUE(FolderEntries(program.Home() + "/data/gameKivo", "outside").empty());
    EXPECT_EQ(kivo::UserSettings().Read(kivo::kUserShellFoldersKey, kivo::kCookiesValue),
              "/home/me/cookies");
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST(QuickLogin, AnAccountsValuesNeverReachAnotherSite) {
    ProgramUnderTest program({.start = false});
    // Both addresses send the tab on a second after they have loaded, before any login form is
    // there: one to a login page of another site, the other to one of its own site.
    const std::string own = program.Server().Url("/account-login");
    Seed(program.DatabasePath(), {{"去他站",
                                   AddressLeavingTheSite(program),
                                   {{"账号丁", "KivoCache\\账号丁", "d-user", "d-pass"}}},
                                  {"留本站",
                                   program.Server().Url("/go-later?ms=1000&to=" + QueryValue(own)),
                                   {{"账号戊", "KivoCache\\账号戊", "e-user", "e-pass"}}}});
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    QuickLogin(ui, "去他站", "账号丁");
    ASSERT_TRUE(WaitUntil(
        [&] { return !ReportsFrom(program, "/account-settled", "localhost").empty(); }, 60s))
        << program.Output();
    EXPECT_EQ(ReportsFrom(program, "/account-settled", "localhost")[0].query, "u=&p=");
    for (const ReceivedRequest& seen : ReportsFrom(program, "/account-seen", "localhost"))
        EXPECT_EQ(seen.query, "u=&p=") << "the other site was given the account's values";

    // A page of the account's own site reached the same way is filled.
    QuickLogin(ui, "留本站", "账号戊");
    EXPECT_TRUE(WaitUntil([&] { return !SessionsSeeing(program, "u=e-user&p=e-pass").empty(); }))
        << program.Output();
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
