// Saving and deleting accounts against a real database file, and their session folders.
#include "data/accounts/account_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "data/database.h"
#include "tests/data/test_database.h"

namespace {

namespace fs = std::filesystem;
using kivo::accounts::TEle;
using kivo::data::TDISQLite3Database;
using kivo::data::testing::TempFolder;

const std::string kUrl = "{11111111-2222-3333-4444-555555555555}";

class AccountStore : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = (folder_.Path() / "MultOpenApp.dat").string();
        kivo::data::testing::CreateDatabase(file_, kivo::data::testing::SchemaScript());
        db_.SetDatabaseName(file_);
        db_.Open();
    }

    // Rows of a query on a second connection, each row's columns joined by "|".
    std::vector<std::string> Rows(const std::string& sql) {
        sqlite3* other = nullptr;
        sqlite3_open_v2(file_.c_str(), &other, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        std::vector<std::string> rows;
        if (sqlite3_prepare_v2(other, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                std::string row;
                for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                    if (i)
                        row += "|";
                    const auto* text = sqlite3_column_text(statement, i);
                    row += text ? reinterpret_cast<const char*>(text) : "";
                }
                rows.push_back(row);
            }
        }
        sqlite3_finalize(statement);
        sqlite3_close(other);
        return rows;
    }

    TempFolder folder_;
    std::string file_;
    TDISQLite3Database db_;
};

TEST_F(AccountStore, SavesTheAccountAndItsFieldsEncipheredAndStoresOddTextExactly) {
    const std::string long_value(10000, 'x');
    const std::vector<TEle> fields = {{"user", "alice"},
                                      {"a=b", "x=y=z"},
                                      {"pass'word\"", "line1\nline2\r\n</script>"},
                                      {"long", long_value + "\xE4\xB8\xAD"}};
    const std::string id = kivo::accounts::SaveAccount(db_, kUrl, " 玩家'一\" ", fields);
    EXPECT_EQ(id.size(), 38u);
    EXPECT_FALSE(db_.InTransaction());

    const auto users = Rows("select ID,URLID,USERNAME,CACHEPATH,PASSWORD from t_usermanage");
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0], id + "|" + kUrl + "| 玩家'一\" |KivoCache\\ 玩家'一\" |");

    const auto rows = Rows("select ELENAME,ELEVALUE from t_userinfotable where GAMEURLID='" + id +
                           "' order by rowid");
    ASSERT_EQ(rows.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto bar = rows[i].find('|');
        EXPECT_EQ(rows[i].substr(0, bar), fields[i].Name);
        const std::string stored = rows[i].substr(bar + 1);
        EXPECT_NE(stored, fields[i].Value) << "stored enciphered";
        EXPECT_EQ(kivo::accounts::DecipherFieldValue(stored), fields[i].Value);
    }

    // Listed, sorted by name, with fields or without.
    kivo::accounts::SaveAccount(db_, kUrl, "B", {});
    kivo::accounts::SaveAccount(db_, "{other}", "C", {});
    const auto listed = kivo::accounts::LoadUsers(db_, kUrl);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].UName, " 玩家'一\" ");
    EXPECT_EQ(listed[1].UName, "B");
    EXPECT_EQ(listed[1].CACHEPATH, "KivoCache\\B");
}

TEST_F(AccountStore, NamesThatCannotBeAFolderAreRefusedBeforeAnythingIsWritten) {
    std::string chinese;
    for (int i = 0; i < 200; ++i) chinese += "中";  // 600 bytes: longer than a folder name
    for (const std::string& name : std::vector<std::string>{"../x", "a/b", "a\\b", ".hidden",
                                                            std::string(256, 'n'), chinese}) {
        EXPECT_FALSE(kivo::accounts::IsFolderName(name));
        EXPECT_THROW(kivo::accounts::SaveAccount(db_, kUrl, name, {{"user", "u"}}),
                     std::invalid_argument);
    }
    EXPECT_TRUE(kivo::accounts::IsFolderName(std::string(200, 'n')));
    EXPECT_TRUE(kivo::accounts::IsBlankName(" \t "));
    EXPECT_FALSE(kivo::accounts::IsBlankName(" a "));
    EXPECT_TRUE(Rows("select * from t_usermanage").empty());
    EXPECT_TRUE(Rows("select * from t_userinfotable").empty());
}

TEST_F(AccountStore, ALockedDatabaseLeavesNothingHalfWritten) {
    const std::string kept = kivo::accounts::SaveAccount(db_, kUrl, "kept", {{"user", "k"}});

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_ANY_THROW(kivo::accounts::SaveAccount(db_, kUrl, "new", {{"user", "n"}}));
    EXPECT_FALSE(db_.InTransaction());
    EXPECT_ANY_THROW(kivo::accounts::DeleteAccount(db_, kept));
    EXPECT_FALSE(db_.InTransaction());
    sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(Rows("select USERNAME from t_usermanage"), std::vector<std::string>{"kept"});
    EXPECT_EQ(Rows("select ELENAME from t_userinfotable").size(), 1u);

    // A transaction left open by an earlier failure does not swallow the next save.
    db_.StartTransaction();
    const std::string saved = kivo::accounts::SaveAccount(db_, kUrl, "after", {{"user", "a"}});
    EXPECT_FALSE(db_.InTransaction());
    EXPECT_EQ(Rows("select count(*) from t_userinfotable where GAMEURLID='" + saved + "'"),
              std::vector<std::string>{"1"});

    // Deleting removes the account and its fields only.
    kivo::accounts::DeleteAccount(db_, kept);
    EXPECT_EQ(Rows("select USERNAME from t_usermanage"), std::vector<std::string>{"after"});
    EXPECT_EQ(Rows("select count(*) from t_userinfotable"), std::vector<std::string>{"1"});
    EXPECT_THROW(kivo::accounts::DeleteAccount(db_, "x' or '1'='1"), std::invalid_argument);
    EXPECT_EQ(Rows("select count(*) from t_usermanage"), std::vector<std::string>{"1"});
}

TEST_F(AccountStore, SessionFoldersAreDeletedBelowBothRootsAndNowhereElse) {
    const std::string app = (folder_.Path() / "app").string() + "/";
    const std::string root = (folder_.Path() / "root").string() + "/";
    for (const std::string& base : {app, root}) {
        fs::create_directories(base + "KivoCache/A/Cache");
        std::ofstream(base + "KivoCache/A/Cache/f") << "x";
        fs::create_directories(base + "KivoCache/B");
    }
    fs::create_directories(folder_.Path() / "root/x");
    fs::create_directories(folder_.Path() / "x");

    kivo::accounts::DeleteAccountFolders("KivoCache\\A", app, root);
    EXPECT_FALSE(fs::exists(app + "KivoCache/A"));
    EXPECT_FALSE(fs::exists(root + "KivoCache/A"));
    EXPECT_TRUE(fs::exists(app + "KivoCache/B"));

    // Stored forms from elsewhere that would lead out of "KivoCache/" touch nothing.
    for (const char* stored :
         {"KivoCache\\../x", "KivoCache\\..", "..\\x", "KivoCache/../../x", ""})
        EXPECT_TRUE(kivo::accounts::AccountFolders(stored, app, root).empty()) << stored;
    kivo::accounts::DeleteAccountFolders("KivoCache\\../x", app, root);
    kivo::accounts::DeleteAccountFolders("KivoCache\\..", app, root);
    EXPECT_TRUE(fs::exists(folder_.Path() / "root/x"));
    EXPECT_TRUE(fs::exists(folder_.Path() / "x"));
    EXPECT_TRUE(fs::exists(root + "KivoCache/B"));

    // A "KivoCache" that is a link is not followed: what it points to stays.
    const std::string linked = (folder_.Path() / "linked").string() + "/";
    fs::create_directories(folder_.Path() / "elsewhere/B/Cache");
    fs::create_directories(linked);
    fs::create_symlink(folder_.Path() / "elsewhere", linked + "KivoCache");
    kivo::accounts::DeleteAccountFolders("KivoCache\\B", linked, "");
    EXPECT_TRUE(fs::exists(folder_.Path() / "elsewhere/B/Cache"));

    // Without a cache root only the program folder's copy is meant.
    EXPECT_EQ(kivo::accounts::AccountFolders("KivoCache\\B", app, ""),
              std::vector<std::string>{app + "KivoCache/B/"});
}

}  // namespace
