#include "data/statements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <vector>

#include "data/database.h"
#include "data/day_number.h"
#include "data/guid.h"
#include "tests/data/test_database.h"

namespace kivo::data {
namespace {

using testing::CreateDatabase;
using testing::SchemaScript;
using testing::TempFolder;
using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

// A value bound to a parameter: text (UTF-8), text16 or int.
struct Param {
    enum Kind { kText, kText16, kInt } kind;
    std::string text;
    std::u16string text16;
    int number = 0;
};
Param T(std::string s) {
    return {Param::kText, std::move(s), {}, 0};
}
Param T16(std::u16string s) {
    return {Param::kText16, {}, std::move(s), 0};
}
Param I(int n) {
    return {Param::kInt, {}, {}, n};
}

class StatementsTest : public ::testing::Test {
  protected:
    StatementsTest() : file_(folder_.Path() / "MultOpenApp.dat") {
        CreateDatabase(file_, SchemaScript());
        db_.SetDatabaseName(file_.string());
    }

    Rows Run(const std::string& sql, const std::vector<Param>& params = {}) {
        auto st = db_.Prepare16(sql);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const int index = static_cast<int>(i + 1);
            const Param& p = params[i];
            if (p.kind == Param::kText)
                st.Bind_Str(index, p.text);
            if (p.kind == Param::kText16)
                st.Bind_Str16(index, p.text16);
            if (p.kind == Param::kInt)
                st.Bind_Int(index, p.number);
        }
        Rows rows;
        while (st.Step() == TDISQLite3Statement::kRow) {
            Row row;
            for (int c = 0; c < st.Column_Count(); ++c) row.push_back(st.Column_Str(c));
            rows.push_back(std::move(row));
        }
        return rows;
    }

    std::string AddGame(const std::string& name, int type) {
        const std::string id = NewGuidString();
        Run(sql::kInsertGame, {T(name), T(""), I(type), T(id)});
        return id;
    }
    std::string AddUrl(const std::string& game, const std::string& name, const std::string& url) {
        const std::string id = NewGuidString();
        Run(sql::kInsertGameUrl, {T(game), T(name), T(""), T(url), T(id)});
        return id;
    }
    std::string AddUser(const std::string& url, const std::string& name) {
        const std::string id = NewGuidString();
        Run(sql::kInsertUser, {T(url), T(name), T("KivoCache\\" + name), T(""), T(id)});
        return id;
    }
    std::string AddField(const std::string& user, const std::string& name, const std::string& v) {
        const std::string id = NewGuidString();
        Run(sql::kInsertUserInfo, {T(user), T(name), T(v), T(id)});
        return id;
    }
    void AddHistory(const std::string& label, const std::string& url, int day) {
        Run(sql::kDeleteHistoryOfUrl, {T(url)});
        Run(sql::kInsertHistory, {T(label), T(url), I(day), T(NewGuidString())});
    }
    std::string Count(const std::string& table) {
        return Run("select count(*) from " + table)[0][0];
    }

    TempFolder folder_;
    std::filesystem::path file_;
    TDISQLite3Database db_;
};

TEST_F(StatementsTest, CatalogueAddListAndEdit) {  // statements 1 to 7
    const std::string b = AddGame("B game", 1);
    const std::string a = AddGame("A game", 1);
    const std::string sns = AddGame("Social", 2);
    EXPECT_EQ(Run(sql::kSelectGames, {I(1)}),
              (Rows{{a, "A game", "", "1"}, {b, "B game", "", "1"}}));
    EXPECT_EQ(Run(sql::kSelectGames, {I(2)}), (Rows{{sns, "Social", "", "2"}}));
    EXPECT_EQ(Run("select typeof(GAMEHINT), typeof(GAMETYPE) from t_gamelist where id=?", {T(a)}),
              (Rows{{"text", "integer"}}));
    EXPECT_EQ(Run(sql::kSelectGameNames, {I(2)}), (Rows{{"Social", sns}}));

    const std::string s2 = AddUrl(a, "S2 server", "http://two.example/");
    const std::string s1 = AddUrl(a, "S1 server", "http://one.example/");
    AddUrl(b, "other", "http://b.example/");
    EXPECT_EQ(Run(sql::kSelectGameUrls, {T(a)}),
              (Rows{{s1, a, "S1 server", "", "http://one.example/"},
                    {s2, a, "S2 server", "", "http://two.example/"}}));

    Run(sql::kUpdateGameUrl, {T("http://three.example/"), T("S3 server"), T(s1)});
    EXPECT_EQ(Run(sql::kSelectGameUrls, {T(a)})[1],
              (Row{s1, a, "S3 server", "", "http://three.example/"}));

    Run(sql::kRenameGame, {T("游戏"), T(b)});
    EXPECT_EQ(Run(sql::kSelectGameNames, {I(1)}), (Rows{{"A game", a}, {"游戏", b}}));
    // An empty name is stored as an empty text, not NULL.
    Run(sql::kRenameGame, {T(""), T(b)});
    EXPECT_EQ(Run("select GAMENAME, typeof(GAMENAME) from t_gamelist where id=?", {T(b)}),
              (Rows{{"", "text"}}));
}

TEST_F(StatementsTest, CatalogueDeletes) {  // statements 8 to 11
    const std::string game = AddGame("G", 1);
    const std::string other = AddGame("H", 1);
    const std::string url1 = AddUrl(game, "1", "u1");
    const std::string url2 = AddUrl(game, "2", "u2");
    const std::string url3 = AddUrl(other, "3", "u3");
    AddUser(url1, "alice");
    AddUser(url1, "bob");
    const std::string carol = AddUser(url2, "carol");

    db_.StartTransaction();
    Run(sql::kDeleteGameUrl, {T(url1)});
    Run(sql::kDeleteUsersOfUrl, {T(url1)});
    db_.Commit();
    EXPECT_EQ(Count("t_gameurllist"), "2");
    EXPECT_EQ(Run("select ID from t_usermanage"), (Rows{{carol}}));

    Run(sql::kDeleteUrlsOfGame, {T(game)});
    Run(sql::kDeleteGame, {T(game)});
    EXPECT_EQ(Run("select ID from t_gameurllist"), (Rows{{url3}}));
    EXPECT_EQ(Run("select ID from t_gamelist"), (Rows{{other}}));
}

TEST_F(StatementsTest, ListsStopAtTheFirst1000InByteOrder) {
    // Upper case sorts before lower case and multi-byte UTF-8 after ASCII in byte order, unlike
    // most collations.
    const std::vector<std::string> pieces = {"a", "B", "z", "Z", "é", "游", "戏", "0", " "};
    std::mt19937 random(7);
    std::vector<std::string> names;
    db_.StartTransaction();
    for (int i = 0; i < 1001; ++i) {
        std::string name;
        for (int k = 0; k < 4; ++k) name += pieces[random() % pieces.size()];
        name += std::to_string(i);
        names.push_back(name);
        AddGame(name, 1);
    }
    db_.Commit();
    std::sort(names.begin(), names.end());
    const Rows rows = Run(sql::kSelectGames, {I(1)});
    ASSERT_EQ(rows.size(), 1000u);
    for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i][1], names[i]) << i;
}

TEST_F(StatementsTest, HistoryByDay) {  // statements 12 to 16
    const int today = DayNumber(2010, 4, 20);
    const std::string game = AddGame("G", 1);
    std::vector<std::string> urls;
    for (int age = 0; age <= 8; ++age) {
        urls.push_back(AddUrl(game, "s" + std::to_string(age), "http://" + std::to_string(age)));
        AddHistory("G-s" + std::to_string(age), urls.back(), today - age);
    }
    // Opening an address again replaces its row.
    AddHistory("G-again", urls[0], today);
    EXPECT_EQ(Count("t_history"), "9");

    EXPECT_EQ(Run(sql::FormatSelectHistoryOfDay(today, 0)),
              (Rows{{urls[0], game, "G-again", "", "http://0"}}));
    EXPECT_EQ(Run(sql::FormatSelectHistoryOfDay(today, 2)),
              (Rows{{urls[2], game, "G-s2", "", "http://2"}}));
    Rows week = Run(sql::FormatSelectHistoryOfWeek(today));
    std::sort(week.begin(), week.end(), [](const Row& x, const Row& y) { return x[2] < y[2]; });
    ASSERT_EQ(week.size(), 5u);
    EXPECT_EQ(week.front(), (Row{urls[3], game, "G-s3", "", "http://3"}));
    EXPECT_EQ(week.back()[2], "G-s7");

    // A history row whose address is gone no longer shows.
    Run(sql::kDeleteGameUrl, {T(urls[1])});
    EXPECT_TRUE(Run(sql::FormatSelectHistoryOfDay(today, 1)).empty());

    Run(sql::kClearHistory);
    EXPECT_EQ(Count("t_history"), "0");
}

TEST_F(StatementsTest, AccountsSaveListAndDelete) {  // statements 17 to 22
    const std::string url = AddUrl(AddGame("G", 1), "s", "u");
    const std::string alice = AddUser(url, "阿丽");
    const std::string bob = AddUser(url, "bob");
    AddUser(AddUrl(AddGame("H", 1), "t", "v"), "elsewhere");
    Rows users = Run(sql::kSelectUsers, {T(url)});
    std::sort(users.begin(), users.end(), [](const Row& x, const Row& y) { return x[2] < y[2]; });
    EXPECT_EQ(users, (Rows{{bob, url, "bob", "KivoCache\\bob", ""},
                           {alice, url, "阿丽", "KivoCache\\阿丽", ""}}));

    AddField(alice, "user", "A1B2");
    AddField(alice, "pass", "C3D4");
    AddField(bob, "user", "E5F6");
    Rows fields = Run(sql::kSelectUserInfo, {T(alice)});
    std::sort(fields.begin(), fields.end());
    EXPECT_EQ(fields, (Rows{{"pass", "C3D4"}, {"user", "A1B2"}}));

    db_.Execute(sql::FormatDeleteUserInfo(alice));
    db_.Execute(sql::FormatDeleteUser(alice));
    EXPECT_TRUE(Run(sql::kSelectUserInfo, {T(alice)}).empty());
    EXPECT_EQ(Run(sql::kSelectUserInfo, {T(bob)}), (Rows{{"user", "E5F6"}}));
    EXPECT_EQ(Run(sql::kSelectUsers, {T(url)}).size(), 1u);
    // Lower-case hexadecimal is still a GUID.
    std::string lower = bob;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_NO_THROW(db_.Execute(sql::FormatDeleteUser(lower)));
}

TEST_F(StatementsTest, FormattedDeletesRefuseIdsThatAreNotGuids) {
    const std::string url = AddUrl(AddGame("G", 1), "s", "u");
    const std::string alice = AddUser(url, "alice");
    AddField(alice, "user", "00");
    const std::vector<std::string> bad = {
        "",
        "' or '1'='1",
        alice + "' or ''='",
        alice.substr(1),
        "{" + alice.substr(1, 36) + "'",
        "-1",
        "{G0000000-0000-0000-0000-000000000000}",
        "{00000000-0000-0000-0000-000000000000} ",
        "{00000000+0000-0000-0000-000000000000}",
    };
    for (const std::string& id : bad) {
        EXPECT_THROW(sql::FormatDeleteUserInfo(id), std::invalid_argument) << id;
        EXPECT_THROW(sql::FormatDeleteUser(id), std::invalid_argument) << id;
    }
    EXPECT_EQ(Count("t_usermanage"), "1");
    EXPECT_EQ(Count("t_userinfotable"), "1");
}

TEST_F(StatementsTest, CloseTypeSetting) {  // statements 23 and 24
    auto read = [this] {
        auto st = db_.Prepare16(sql::kSelectCloseType);
        st.Step();
        return st.Column_Str16(0);
    };
    EXPECT_EQ(read(), u"-1");
    Run(sql::kUpdateCloseType, {T16(u"1")});
    EXPECT_EQ(read(), u"1");
    EXPECT_EQ(Run("select typeof(BASEVALUE) from t_base"), (Rows{{"text"}}));
    // A missing row reads as an empty value, and the update does not create it.
    Run("delete from t_base");
    EXPECT_EQ(read(), u"");
    Run(sql::kUpdateCloseType, {T16(u"0")});
    EXPECT_EQ(Count("t_base"), "0");
}

// A file from another installation: a fifth game column and other declared types.
TEST(ForeignDatabaseTest, StatementsWorkWithOtherColumnTypesAndAFifthGameColumn) {
    TempFolder folder;
    const auto file = folder.Path() / "MultOpenApp.dat";
    CreateDatabase(file, R"(
        CREATE TABLE t_gamelist (ID VARCHAR(38), GAMENAME VARCHAR(100), GAMEHINT VARCHAR(100),
                                 GAMETYPE VARCHAR(4), GAMEICON BLOB);
        CREATE TABLE t_gameurllist (ID CHAR(38), GAMEID CHAR(38), URLNAME NVARCHAR, URLHINT,
                                    URLVALUE NVARCHAR(1024));
        CREATE TABLE t_history (ID, value, gameurlid, opentime NUMERIC);
        CREATE VIEW v_history AS SELECT u.ID, u.GAMEID, h.value AS VALUE, u.URLHINT, u.URLVALUE,
            h.opentime FROM t_history h LEFT JOIN t_gameurllist u ON u.ID = h.gameurlid;
        INSERT INTO t_gamelist VALUES ('{old}', 'Old', 'hint', '1', x'0102');
    )");
    TDISQLite3Database db(file.string());
    const std::string id = NewGuidString();
    {
        auto st = db.Prepare16(sql::kInsertGame);
        st.Bind_Str(1, "New");
        st.Bind_Str(2, "");
        st.Bind_Int(3, 1);
        st.Bind_Str(4, id);
        st.Step();
    }
    auto st = db.Prepare16(sql::kSelectGames);
    st.Bind_Int(1, 1);
    ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(st.Column_Count(), 5);
    EXPECT_EQ(st.Column_Str(1), "New");
    EXPECT_EQ(st.Column_Str(3), "1");
    EXPECT_EQ(st.Column_Str(4), "");
    ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(st.Column_Str(0), "{old}");
    EXPECT_EQ(st.Column_Str(4), "\x01\x02");
    EXPECT_EQ(st.Step(), TDISQLite3Statement::kDone);

    {
        auto h = db.Prepare16(sql::kInsertHistory);
        h.Bind_Str(1, "Old-s1");
        h.Bind_Str(2, "{url}");
        h.Bind_Int(3, 40288);
        h.Bind_Str(4, NewGuidString());
        h.Step();
    }
    auto day = db.Prepare16(sql::FormatSelectHistoryOfDay(40290, 2));
    ASSERT_EQ(day.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(day.Column_Str(2), "Old-s1");
}

}  // namespace
}  // namespace kivo::data
