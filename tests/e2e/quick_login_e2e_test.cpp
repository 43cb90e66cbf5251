// Saved accounts opened from an address's quick-login menu, driven from outside: each account in
// a tab and a session of its own with its login form filled, all of them at once, a plain click
// with nothing filled, a form drawn by script after the page has completed, and an opening that
// fails part way. The database is seeded before the start as another installation would have
// left it; what is checked is what the local server, the folders and the settings file see.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <string>

#include "cipher/stored_value.h"
#include "platform/text.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/ui_driver.h"
#include "ui/catalogue/catalogue_edit.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ReceivedRequest;

constexpr const char* kLoginAll = "全部登录";

std::string Enciphered(const std::string& value) {
    kivo::cipher::TCryptLib lib;
    return kivo::Utf16ToUtf8(kivo::cipher::EncryptValue(
        lib, kivo::Utf8ToUtf16(value), std::u16string(kivo::cipher::kStoredValuePassword)));
}

// A SQL text literal of the seed.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// Seeds the program's database: game G with addresses (name, address) and accounts per address
// (name, session folder, user, password; empty user for an account without fields).
struct SeedAccount {
    std::string name, folder, user, password;
};
struct SeedAddress {
    std::string name, url;
    std::vector<SeedAccount> accounts;
};

void Seed(const std::string& database, const std::vector<SeedAddress>& addresses) {
    std::string sql =
        "insert into t_gamelist (ID,GAMENAME,GAMEHINT,GAMETYPE) values "
        "('{00000000-0000-0000-0000-0000000000A0}','账号游戏','',1);";
    int row = 0;
    auto id = [&] {
        char text[64];
        snprintf(text, sizeof text, "{00000000-0000-0000-0000-%012d}", ++row);
        return std::string(text);
    };
    for (const SeedAddress& address : addresses) {
        const std::string url_id = id();
        sql += "insert into t_gameurllist (ID,GAMEID,URLNAME,URLHINT,URLVALUE) values (" +
               Quoted(url_id) + ",'{00000000-0000-0000-0000-0000000000A0}'," +
               Quoted(address.name) + ",''," + Quoted(address.url) + ");";
        for (const SeedAccount& account : address.accounts) {
            const std::string user_id = id();
            sql += "insert into t_usermanage (ID,URLID,USERNAME,CACHEPATH,PASSWORD) values (" +
                   Quoted(user_id) + "," + Quoted(url_id) + "," + Quoted(account.name) + "," +
                   Quoted(account.folder) + ",'');";
            if (account.user.empty())
                continue;
            for (const auto& [name, value] :
                 {std::pair{"UserName", account.user}, std::pair{"PassWord", account.password}})
                sql += "insert into t_userinfotable (ID,GAMEURLID,ELENAME,ELEVALUE) values (" +
                       Quoted(id()) + "," + Quoted(user_id) + "," + Quoted(name) + "," +
                       Quoted(Enciphered(value)) + ");";
        }
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

Element WaitForShowing(const UiDriver& ui, const std::string& name) {
    Element found;
    WaitUntil([&] {
        auto all = ui.FindAll([&](const Element& e) { return e.Name() == name && e.Showing(); });
        if (all.empty())
            return false;
        found = all.front();
        return true;
    });
    return found;
}

// Right press on the address, then the quick-login submenu's item `choice`.
void QuickLogin(const UiDriver& ui, const std::string& address, const std::string& choice) {
    const Element node = WaitForShowing(ui, address);
    ASSERT_TRUE(node) << "no address " << address;
    Click(node, Button::Right);
    const Element submenu = WaitForShowing(ui, kivo::catalogue::kQuickLoginItem);
    ASSERT_TRUE(submenu);
    Click(submenu);
    const Element item = WaitForShowing(ui, choice);
    ASSERT_TRUE(item) << "no quick-login item " << choice;
    Click(item);
}

// The session cookie a request carried ("" without one).
std::string Session(const ReceivedRequest& request) {
    const auto at = request.cookie.find("sid=");
    return at == std::string::npos
               ? ""
               : request.cookie.substr(at + 4, request.cookie.find(';', at) - at - 4);
}

// The sessions in which the page reported its fields holding `query`.
std::multiset<std::string> SessionsSeeing(ProgramUnderTest& program, const std::string& query) {
    std::multiset<std::string> sessions;
    for (const ReceivedRequest& request : program.Server().RequestsTo("/account-seen"))
        if (request.query == query)
            sessions.insert(Session(request));
    return sessions;
}

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

}  // namespace
