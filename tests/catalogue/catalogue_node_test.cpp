// The catalogue trees' node lists and the edits, against real database files.
#include "data/catalogue/catalogue_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/database.h"
#include "data/guid.h"
#include "tests/data/test_database.h"
#include "data/catalogue/catalogue_edit.h"

namespace {

using namespace kivo::catalogue;
using kivo::data::TDISQLite3Database;
namespace testing_db = kivo::data::testing;

std::vector<std::string> Names(const CatalogueList& list) {
    std::vector<std::string> names;
    for (const auto& entry : list) names.push_back(entry.node.Name);
    return names;
}

void MakeDatabase(const testing_db::TempFolder& folder, const std::string& script,
                  TDISQLite3Database& db) {
    const auto file = folder.Path() / "MultOpenApp.dat";
    testing_db::CreateDatabase(file, script);
    db.SetDatabaseName(file.string());
}

class Catalogue : public ::testing::Test {
  protected:
    void SetUp() override { MakeDatabase(folder_, testing_db::SchemaScript(), db_); }

    std::string Scalar(const std::string& sql) {
        auto st = db_.Prepare16(sql);
        st.Step();
        return st.Column_Str(0);
    }

    testing_db::TempFolder folder_;
    TDISQLite3Database db_;
};

TEST_F(Catalogue, AnEmptyCatalogueShowsOnlyTheAddGameNodeOfEachTree) {
    CatalogueList web, sns;
    LoadCatalogue(db_, web, sns);
    ASSERT_EQ(web.size(), 1u);
    ASSERT_EQ(sns.size(), 1u);
    const CatalogueNode& add = web[0].node;
    EXPECT_EQ(add.ID, "-1");
    EXPECT_EQ(add.Name, "添加新游戏");
    EXPECT_EQ(add.Value, "1");
    EXPECT_EQ(add.Kind, kKindGame);
    EXPECT_TRUE(web[0].children.empty());
    EXPECT_EQ(IconIndex(add), kIconAdd);
    EXPECT_EQ(sns[0].node.Name, "添加新SNS");
    EXPECT_EQ(sns[0].node.Value, "1") << "the add-game node holds \"1\" in both trees";
}

TEST_F(Catalogue, GamesAndAddressesFollowTheStatementsOrderWithTheirAddNodes) {
    const std::string zed = InsertGame(db_, "zed", 1);
    InsertGame(db_, " blanks ", 1);  // stored and sorted with its blanks
    InsertGame(db_, "游戏", 1);
    const std::string sns_game = InsertGame(db_, "社区", 2);
    const std::string b = InsertGameUrl(db_, zed, "b server", "http://b.example/");
    InsertGameUrl(db_, zed, "a server", "http://a.example/");

    CatalogueList web, sns;
    LoadCatalogue(db_, web, sns);
    EXPECT_EQ(Names(web), (std::vector<std::string>{" blanks ", "zed", "游戏", "添加新游戏"}));
    EXPECT_EQ(Names(sns), (std::vector<std::string>{"社区", "添加新SNS"}));

    const CatalogueEntry& game = web[1];
    EXPECT_EQ(game.node.ID, zed);
    EXPECT_EQ(game.node.Value, "1") << "a game's value is its category as text";
    EXPECT_EQ(game.node.ParentID, "") << "the installed table has four columns";
    EXPECT_TRUE(game.node.IsGame());
    EXPECT_TRUE(StartsExpanded(game.node));
    EXPECT_EQ(IconIndex(game.node), kIconGame);
    ASSERT_EQ(game.children.size(), 3u);
    EXPECT_EQ(game.children[0].Name, "a server");
    const CatalogueNode& url = game.children[1];
    EXPECT_EQ(url.ID, b);
    EXPECT_EQ(url.Value, "http://b.example/");
    EXPECT_EQ(url.ParentID, zed);
    EXPECT_TRUE(url.IsAddress());
    EXPECT_FALSE(StartsExpanded(url));
    EXPECT_EQ(IconIndex(url), kIconAddress);
    const CatalogueNode& add_url = game.children[2];
    EXPECT_EQ(add_url.ID, "-1");
    EXPECT_EQ(add_url.Name, "添加新地址");
    EXPECT_FALSE(add_url.IsAddress());
    EXPECT_EQ(IconIndex(add_url), kIconAdd);

    ASSERT_EQ(web[0].children.size(), 1u) << "a game without addresses shows its add node only";
    EXPECT_EQ(web[0].children[0].Name, "添加新地址");
    EXPECT_EQ(sns[0].node.ID, sns_game);
}

TEST_F(Catalogue, HostileTextsAreStoredAndShownAsText) {
    const std::string drop = "'; drop table t_gamelist; --";
    const std::string chinese = "一二三四五六七八九十一二三四五六七八九十";
    const std::string quotes = "\"quoted\" 'single'";
    const std::string long_url = "http://x.example/" + std::string(255 - 17, 'a');
    const std::string newline_url = "http://a.example/\nsecond line";
    const std::string game = InsertGame(db_, drop, 1);
    InsertGame(db_, chinese, 1);
    InsertGameUrl(db_, game, quotes, long_url);
    InsertGameUrl(db_, game, "newline", newline_url);

    CatalogueList web, sns;
    LoadCatalogue(db_, web, sns);
    ASSERT_EQ(web.size(), 3u) << "the table is still there";
    EXPECT_EQ(web[0].node.Name, drop);
    EXPECT_EQ(web[1].node.Name, chinese);
    ASSERT_EQ(web[0].children.size(), 3u);
    EXPECT_EQ(web[0].children[0].Name, quotes);
    EXPECT_EQ(web[0].children[0].Value, long_url);
    EXPECT_EQ(web[0].children[1].Value, newline_url);

    RenameGame(db_, game, "");
    EXPECT_EQ(Scalar("select typeof(GAMENAME) from t_gamelist where GAMENAME=''"), "text")
        << "an empty name is an empty text, not NULL";
}

TEST(CatalogueLoad, NullsNumbersAndOddColumnCountsReadAsText) {
    testing_db::TempFolder folder;
    TDISQLite3Database db;
    MakeDatabase(folder,
                 "CREATE TABLE t_gamelist (ID, GAMENAME, GAMEHINT, GAMETYPE, EXTRA);"
                 "CREATE TABLE t_gameurllist (ID, GAMEID, URLNAME, URLHINT);"  // no address column
                 "INSERT INTO t_gamelist VALUES ('g1', 42, NULL, 1, 'carried');"
                 "INSERT INTO t_gamelist VALUES (7, NULL, 'hint', 1, NULL);"
                 "INSERT INTO t_gameurllist VALUES ('u1', 'g1', NULL, 3.5);",
                 db);
    CatalogueList web;
    LoadCatalogueList(db, kWebGameTree, web);
    ASSERT_EQ(web.size(), 3u);
    EXPECT_EQ(web[0].node.Name, "") << "NULL sorts first and reads empty";
    EXPECT_EQ(web[0].node.ID, "7");
    EXPECT_EQ(web[0].node.Hint, "hint");
    EXPECT_EQ(web[1].node.Name, "42");
    EXPECT_EQ(web[1].node.ParentID, "carried") << "a further column is carried unread";
    ASSERT_EQ(web[1].children.size(), 2u);
    EXPECT_EQ(web[1].children[0].Hint, "3.5");
    EXPECT_EQ(web[1].children[0].Value, "");
}

TEST_F(Catalogue, AFailedLoadKeepsThePendingAddNodesOrLeavesTheTreeEmpty) {
    InsertGame(db_, "game", 1);
    InsertGame(db_, "sns", 2);
    CatalogueList web, sns;
    LoadCatalogue(db_, web, sns);
    ASSERT_EQ(sns.size(), 2u);

    db_.Execute("drop table t_gameurllist;");
    EXPECT_THROW(LoadCatalogue(db_, web, sns), kivo::data::TDISQLite3Error);
    ASSERT_EQ(web.size(), 2u) << "the game, then the add-game node";
    ASSERT_EQ(web[0].children.size(), 1u);
    EXPECT_TRUE(web[0].children[0].IsAddNode());
    EXPECT_TRUE(web[1].node.IsAddNode());
    EXPECT_EQ(Names(sns), (std::vector<std::string>{"sns", "添加新SNS"})) << "left as it was";

    db_.Execute("drop table t_gamelist;");
    EXPECT_THROW(LoadCatalogueList(db_, kWebGameTree, web), kivo::data::TDISQLite3Error);
    EXPECT_TRUE(web.empty()) << "no statement, no add node";

    TDISQLite3Database missing((folder_.Path() / "absent.dat").string());
    EXPECT_THROW(LoadCatalogueList(missing, kWebGameTree, web), kivo::data::TDISQLite3Error);
    EXPECT_TRUE(web.empty());
}

TEST_F(Catalogue, EditsAndRemovalsChangeOnlyTheirRows) {
    const std::string game = InsertGame(db_, "game", 1);
    const std::string other = InsertGame(db_, "other", 1);
    const std::string url = InsertGameUrl(db_, game, "one", "http://one/");
    const std::string kept = InsertGameUrl(db_, game, "two", "http://two/");
    InsertGameUrl(db_, other, "three", "http://three/");
    db_.Execute(
        "insert into t_usermanage (ID,URLID,USERNAME,CACHEPATH,PASSWORD) values "
        "('{A}','" +
        url + "','me','KivoCache\\me','');");
    EXPECT_TRUE(kivo::data::IsGuidString(game));

    const auto choices = SelectGameNames(db_, 1);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].id, game);
    EXPECT_EQ(IndexOfGame(choices, other), 1);
    EXPECT_EQ(IndexOfGame(choices, "0"), -1) << "an address ID selects no game";

    CatalogueNode node{url, "one", "", "http://one/", game, kKindAddress};
    EditAddressNode(db_, node, "new name", "http://new/");
    EXPECT_EQ(Scalar("select urlname||' '||urlvalue from t_gameurllist where id='" + url + "'"),
              "new name http://new/");
    CatalogueNode game_node{other, "other", "", "1", "", kKindGame};
    RenameGameNode(db_, game_node, "renamed");
    RenameGameNode(db_, game_node, "other");

    int removed = 0;
    DeleteGameUrl(db_, url, [&] { ++removed; });
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(Scalar("select count(*) from t_usermanage"), "0");
    EXPECT_EQ(Scalar("select count(*) from t_gameurllist where gameid='" + game + "'"), "1");

    DeleteGame(db_, game, [&] { ++removed; });
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(Scalar("select count(*) from t_gameurllist where id='" + kept + "'"), "0");
    EXPECT_EQ(Scalar("select group_concat(gamename) from t_gamelist"), "other");
    EXPECT_EQ(Scalar("select count(*) from t_gameurllist"), "1");

    // A failing edit still shows the new texts; a failing rename keeps the old name.
    db_.Execute("alter table t_gamelist rename to t_gamelist_gone;");
    EXPECT_THROW(RenameGameNode(db_, game_node, "lost"), kivo::data::TDISQLite3Error);
    EXPECT_EQ(game_node.Name, "other");
    db_.Execute("alter table t_gamelist_gone rename to t_gamelist;");
    db_.Execute("alter table t_gameurllist rename to t_gameurllist_gone;");
    EXPECT_THROW(EditAddressNode(db_, node, "shown", "http://shown/"), kivo::data::TDISQLite3Error);
    EXPECT_EQ(node.Name, "shown");
    EXPECT_EQ(node.Value, "http://shown/");
    db_.Execute("alter table t_gameurllist_gone rename to t_gameurllist;");

    // A failing removal still removes the node, rolls back and leaves no transaction open.
    const std::string last = InsertGameUrl(db_, other, "four", "http://four/");
    db_.Execute("drop table t_usermanage;");
    EXPECT_THROW(DeleteGameUrl(db_, last, [&] { ++removed; }), kivo::data::TDISQLite3Error);
    EXPECT_EQ(removed, 3);
    EXPECT_FALSE(db_.InTransaction());
    EXPECT_EQ(Scalar("select count(*) from t_gameurllist where id='" + last + "'"), "1");
}

TEST(CatalogueInput, ClicksAndRightPressesActByKindAndAddNode) {
    const CatalogueNode address{"{X}", "s1", "", "http://x/", "{G}", kKindAddress};
    const CatalogueNode game{"{G}", "g", "", "1", "", kKindGame};
    EXPECT_EQ(ClickActionFor(address), ClickAction::OpenAddress);
    EXPECT_EQ(ClickActionFor(AddAddressNode()), ClickAction::AddAddress);
    EXPECT_EQ(ClickActionFor(AddGameNode(kSnsTree)), ClickAction::AddGame);
    EXPECT_EQ(ClickActionFor(game), ClickAction::Nothing);
    EXPECT_EQ(MenuFor(address), NodeMenu::Address);
    EXPECT_EQ(MenuFor(game), NodeMenu::Game);
    EXPECT_EQ(MenuFor(AddAddressNode()), NodeMenu::NoMenu);
    EXPECT_EQ(MenuFor(AddGameNode(kWebGameTree)), NodeMenu::NoMenu);
    const CatalogueNode clear{"-2", "清除历史记录", "", "", "", kKindGame};
    EXPECT_EQ(IconIndex(clear), kIconClearHistory);
}

TEST(CatalogueInput, AGameNameIsRefusedOnlyWhenBlankOnceTrimmed) {
    EXPECT_FALSE(IsAcceptedGameName(""));
    EXPECT_FALSE(IsAcceptedGameName(" \t\r\n\x01 "));
    EXPECT_TRUE(IsAcceptedGameName("  a  "));
    EXPECT_TRUE(IsAcceptedGameName("\xE3\x80\x80"))  // an ideographic space is no control
        << "only codes up to 32 are trimmed";
    EXPECT_EQ(TrimControls("\t name \n"), "name");
}

}  // namespace
