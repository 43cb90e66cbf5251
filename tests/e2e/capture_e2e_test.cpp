// Saving a login form as an account, driven from outside: a catalogue address opened, a user
// name and password typed into its page with real keys, the form saved under a name, and the
// account deleted again from the address menu with its session folders. Fields whose names a
// stored line could not hold are left out, with a word in the dialog.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/accounts/account_store.h"

namespace {

using namespace kivo::e2e;
namespace fs = std::filesystem;

const std::string kGameId = "{0D6D7A3C-44F5-4E0B-9D4C-2B1E4F6A7B01}";
const std::string kUrlId = "{0D6D7A3C-44F5-4E0B-9D4C-2B1E4F6A7B02}";

// The catalogue an installation would hold: one game with the local login page as its address.
void AddCatalogue(const std::string& database, const std::string& url) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "insert into t_gamelist (ID,GAMENAME,GAMEHINT,GAMETYPE) values ('" + kGameId +
        "','测试游戏','',1);"
        "insert into t_gameurllist (ID,GAMEID,URLNAME,URLHINT,URLVALUE) values ('" +
        kUrlId + "','" + kGameId + "','登录页','','" + url + "');";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

Element WaitForShowing(const UiDriver& ui, const std::function<bool(const Element&)>& match) {
    Element found;
    WaitUntil([&] {
        auto all = ui.FindAll([&](const Element& e) { return match(e) && e.Showing(); });
        if (all.empty())
            return false;
        found = all.front();
        return true;
    });
    return found;
}

Element WaitForCheck(const UiDriver& ui, const std::string& name) {
    return WaitForShowing(
        ui, [&](const Element& e) { return e.Role() == ATSPI_ROLE_CHECK_BOX && e.Name() == name; });
}

// The element of that role and name inside `root` (the main window has a button of the same
// name as the dialog's).
Element FindIn(const Element& root, AtspiRole role, const std::string& name) {
    for (const Element& child : root.Children()) {
        if (child.Role() == role && child.Name() == name)
            return child;
        if (Element found = FindIn(child, role, name))
            return found;
    }
    return {};
}

// Closes the account dialog with its own close button.
void CloseAccountDialog(const UiDriver& ui) {
    const Element dialog = WaitForShowing(ui, "登录信息");
    ASSERT_TRUE(dialog);
    const Element close = FindIn(dialog, ATSPI_ROLE_PUSH_BUTTON, "关闭");
    ASSERT_TRUE(close);
    Click(close);
    ASSERT_TRUE(ui.WaitGone(ATSPI_ROLE_PUSH_BUTTON, "保存")) << "the dialog closes";
}

// Clicks into a field of the page and types, once the caret is there.
void TypeInto(const Element& field, const std::string& text) {
    Click(field);
    ASSERT_TRUE(WaitUntil([&] { return field.Has(ATSPI_STATE_FOCUSED); })) << field.Describe();
    PressKeys("ctrl+a");
    TypeText(text);
}

void AnswerMessage(const UiDriver& ui, const std::string& text) {
    ASSERT_TRUE(WaitForShowing(ui, text)) << "no message " << text;
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "确定"));
    ASSERT_TRUE(WaitUntil([&] {
        return ui.FindAll([&](const Element& e) { return e.Name() == text && e.Showing(); })
            .empty();
    }));
}

TEST(Capture, ALoginFormTypedIntoThePageIsSavedAsAnAccountAndDeletedWithItsFolders) {
    ProgramOptions options;
    options.start = false;
    ProgramUnderTest program(options);
    AddCatalogue(program.DatabasePath(), program.Server().Url("/account-form?odd=1"));
    program.Start();
    UiDriver ui(program.Pid());

    // The address opens from the catalogue; the user types into its login form.
    const Element address = WaitForShowing(ui, "登录页");
    ASSERT_TRUE(address) << program.Output();
    Click(address);
    ASSERT_TRUE(WaitUntil([&] {
        for (const std::string& name : ui.TabNames())
            if (name.rfind("Account form", 0) == 0)  // captions may be cut short
                return true;
        return false;
    })) << ::testing::PrintToString(ui.TabNames());
    const Element user = WaitForShowing(
        ui, [](const Element& e) { return e.Role() == ATSPI_ROLE_ENTRY && e.Text() == "initial"; });
    ASSERT_TRUE(user) << Tree(ui.App());
    TypeInto(user, "alice");
    ASSERT_TRUE(WaitUntil([&] { return user.Text() == "alice"; })) << user.Text();
    const Element password =
        WaitForShowing(ui, [](const Element& e) { return e.Role() == ATSPI_ROLE_PASSWORD_TEXT; });
    ASSERT_TRUE(password);
    TypeInto(password, "s3cret=1");

    // The toolbar's button reads the form: the named text and password fields, as typed.
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存登录表单"));
    for (const char* field : {"user", "nick", "pass"})
        EXPECT_TRUE(WaitForCheck(ui, field)) << field;
    for (const char* absent : {"token", "remember", "mail", "framed", "odd=name", "two\nlines"})
        EXPECT_FALSE(ui.Find(ATSPI_ROLE_CHECK_BOX, absent)) << absent;
    // Names a stored line could not hold are left out, and the dialog says how many.
    EXPECT_TRUE(WaitForShowing(ui, std::string(kivo::accounts::kFieldsLeftOutBefore) + "2" +
                                       kivo::accounts::kFieldsLeftOutAfter));
    const Element name = ui.WaitFor(ATSPI_ROLE_TEXT, "描述");
    ASSERT_TRUE(name);
    EXPECT_EQ(name.Text(), "alice") << "the first field proposes the name";
    ASSERT_TRUE(ReplaceTextByTyping(name, "A"));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "保存"));
    AnswerMessage(ui, "保存完成！");
    EXPECT_TRUE(WaitForCheck(ui, "A")) << "the account list shows the new account";

    const auto users = QueryDatabase(
        program.DatabasePath(), "select ID,URLID,USERNAME,CACHEPATH,PASSWORD from t_usermanage");
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0][1], kUrlId);
    EXPECT_EQ(users[0][2], "A");
    EXPECT_EQ(users[0][3], "KivoCache\\A");
    EXPECT_EQ(users[0][4], "");
    const auto fields = QueryDatabase(
        program.DatabasePath(), "select ELENAME,ELEVALUE from t_userinfotable where GAMEURLID='" +
                                    users[0][0] + "' order by rowid");
    ASSERT_EQ(fields.size(), 3u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"user", "alice"}, {"nick", ""}, {"pass", "s3cret=1"}};
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i][0], expected[i].first);
        EXPECT_EQ(kivo::accounts::DecipherFieldValue(fields[i][1]), expected[i].second);
        if (!expected[i].second.empty()) {
            EXPECT_NE(fields[i][1], expected[i].second) << "stored plain";
        }
    }
    CloseAccountDialog(ui);

    // The account's session folders, and another account's that must stay.
    const std::vector<std::string> roots = {program.Folder() + "/KivoCache/",
                                            program.Home() + "/data/gameKivo/KivoCache/"};
    for (const std::string& root : roots) {
        fs::create_directories(root + "A/Cache");
        fs::create_directories(root + "B");
    }

    // Maintenance from the address menu lists the account and deletes it with its folders.
    Click(WaitForShowing(ui, "登录页"), Button::Right);
    const Element maintain = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, "维护登录信息");
    ASSERT_TRUE(maintain);
    Click(maintain);
    const Element account = WaitForCheck(ui, "A");
    ASSERT_TRUE(account) << "the maintenance dialog lists the account";
    Click(account);
    ASSERT_TRUE(WaitUntil([&] { return account.Has(ATSPI_STATE_CHECKED); }));
    Click(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "删除"));
    EXPECT_TRUE(WaitUntil([&] { return !ui.Find(ATSPI_ROLE_CHECK_BOX, "A"); }));
    EXPECT_TRUE(QueryDatabase(program.DatabasePath(), "select * from t_usermanage").empty());
    EXPECT_TRUE(QueryDatabase(program.DatabasePath(), "select * from t_userinfotable").empty());
    for (const std::string& root : roots) {
        EXPECT_FALSE(fs::exists(root + "A")) << root;
        EXPECT_TRUE(fs::exists(root + "B")) << root;
    }
    CloseAccountDialog(ui);
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
