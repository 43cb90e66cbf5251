// The history's labels, its recording and its day groups, against a real database file on fixed
// dates.
#include "data/catalogue/history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/day_number.h"
#include "tests/data/test_database.h"
#include "data/catalogue/catalogue_edit.h"

namespace {

using namespace kivo::catalogue;
using kivo::data::TDISQLite3Database;
namespace testing_db = kivo::data::testing;

// 20 April 2010.
const int kToday = kivo::data::DayNumber(2010, 4, 20);

class History : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto file = folder_.Path() / "MultOpenApp.dat";
        testing_db::CreateDatabase(file, testing_db::SchemaScript());
        db_.SetDatabaseName(file.string());
        game_ = {InsertGame(db_, "A", 1), "A", "", "1", "", kKindGame};
    }

    // A catalogue address of game A.
    CatalogueNode Address(const std::string& name) {
        const std::string id = InsertGameUrl(db_, game_.ID, name, "http://" + name + ".test/");
        return {id, name, "", "http://" + name + ".test/", game_.ID, kKindAddress};
    }

    CatalogueList Load() {
        CatalogueList list;
        LoadHistoryList(db_, list, [] { return kToday; });
        return list;
    }

    std::vector<std::string> Labels(const CatalogueEntry& group) {
        std::vector<std::string> labels;
        for (const auto& entry : group.children) labels.push_back(entry.Name);
        return labels;
    }

    int Rows() {
        auto st = db_.Prepare16("select count(*) from t_history");
        st.Step();
        return std::stoi(st.Column_Str(0));
    }

    testing_db::TempFolder folder_;
    TDISQLite3Database db_;
    CatalogueNode game_;
};

TEST(HistoryLabel, GameAndAddressForTheCatalogueTheOwnCaptionOtherwise) {
    const CatalogueNode address{"{U}", "B", "", "http://b/", "{G}", kKindAddress};
    const CatalogueNode game{"{G}", "A", "", "1", "", kKindGame};
    EXPECT_EQ(HistoryLabel(address, &game), "A-B");
    const CatalogueNode entry{"{U}", "A-B", "", "http://b/", "{G}", kKindAddress};
    for (const char* id : {"0", "-1", "-2"}) {
        const CatalogueNode parent{id, "今日", "", "", "", kKindGame};
        EXPECT_EQ(HistoryLabel(entry, &parent), "A-B") << "parent " << id;
    }
    EXPECT_EQ(HistoryLabel(entry, nullptr), "A-B");
    const CatalogueNode empty_game{"{G}", "", "", "1", "", kKindGame};
    EXPECT_EQ(HistoryLabel(address, &empty_game), "-B");
}

TEST(HistorySql, DayNumbersAreFormattedIntoTheGroupQueries) {
    EXPECT_EQ(HistoryGroupSql(kHistoryGroups[1], 40288),
              "Select ID,GAMEID,VALUE,URLHINT,URLVALUE From v_history where (40288-opentime)=1");
    EXPECT_EQ(HistoryGroupSql(kHistoryGroups[3], 40288),
              "Select ID,GAMEID,VALUE,URLHINT,URLVALUE From v_history where "
              "((40288-opentime)<=7) and ((40288-opentime)>=3)");
}

TEST_F(History, AnEmptyHistoryShowsTheFourGroupsAndTheClearNode) {
    const CatalogueList list = Load();
    ASSERT_EQ(list.size(), 5u);
    const char* captions[] = {"今日", "一日前", "二日前", "一周内"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list[i].node.Name, captions[i]);
        EXPECT_EQ(list[i].node.ID, "0");
        EXPECT_EQ(list[i].node.Kind, kKindGame);
        EXPECT_EQ(IconIndex(list[i].node), kIconGame);
        EXPECT_TRUE(StartsExpanded(list[i].node));
        EXPECT_TRUE(list[i].children.empty());
    }
    EXPECT_EQ(list[4].node.ID, "-2");
    EXPECT_EQ(list[4].node.Name, "清除历史记录");
    EXPECT_EQ(IconIndex(list[4].node), kIconClearHistory);
    EXPECT_TRUE(list[4].children.empty());
}

TEST_F(History, OpeningsAreGroupedByAgeAndOlderOrFutureRowsAreKeptUnlisted) {
    for (int age : {0, 1, 2, 3, 7, 8, -1})
        AddHistory(db_, Address("age" + std::to_string(age)), &game_, kToday - age);
    const CatalogueList list = Load();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(Labels(list[0]), std::vector<std::string>{"A-age0"});
    EXPECT_EQ(Labels(list[1]), std::vector<std::string>{"A-age1"});
    EXPECT_EQ(Labels(list[2]), std::vector<std::string>{"A-age2"});
    auto week = Labels(list[3]);
    std::sort(week.begin(), week.end());
    EXPECT_EQ(week, (std::vector<std::string>{"A-age3", "A-age7"}));
    EXPECT_EQ(Rows(), 7) << "rows of age 8 and -1 stay in the table";

    const CatalogueNode& entry = list[0].children[0];
    EXPECT_EQ(entry.Kind, kKindAddress);
    EXPECT_EQ(entry.Value, "http://age0.test/");
    EXPECT_EQ(entry.ParentID, game_.ID);
    EXPECT_TRUE(entry.IsAddress());
    EXPECT_EQ(IconIndex(entry), kIconAddress);
}

TEST_F(History, ReopeningMovesTheOneRowToTodayAndAnEntryKeepsItsLabel) {
    const CatalogueNode address = Address("B");
    AddHistory(db_, address, &game_, kToday - 1);
    CatalogueList list = Load();
    ASSERT_EQ(Labels(list[1]), std::vector<std::string>{"A-B"});

    // Opened again from the history the next day, after the game was renamed.
    RenameGame(db_, game_.ID, "Renamed");
    AddHistory(db_, list[1].children[0], &list[1].node, kToday);
    list = Load();
    EXPECT_EQ(Labels(list[0]), std::vector<std::string>{"A-B"});
    EXPECT_TRUE(list[1].children.empty());
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(list[0].children[0].ID, address.ID);

    // Opened from the catalogue, it takes the game's new name.
    game_.Name = "Renamed";
    AddHistory(db_, address, &game_, kToday);
    EXPECT_EQ(Labels(Load()[0]), std::vector<std::string>{"Renamed-B"});
    EXPECT_EQ(Rows(), 1);
}

TEST_F(History, LabelsWithQuotesAndTheDateOfEachGroupAreTakenAnew) {
    game_.Name = "it's \"A\"; drop table t_history;--";
    AddHistory(db_, Address("B"), &game_, kToday);
    // Midnight passes between the groups: each group asks for today again.
    int calls = 0;
    CatalogueList list;
    LoadHistoryList(db_, list, [&] { return kToday + (calls++ >= 1 ? 1 : 0); });
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(Labels(list[0]), std::vector<std::string>{game_.Name + "-B"});
    EXPECT_EQ(Labels(list[1]), std::vector<std::string>{game_.Name + "-B"})
        << "the second group was asked on the next day";
}

TEST_F(History, AFailedLoadKeepsTheGroupsReadBeforeIt) {
    db_.Execute("drop view v_history");
    CatalogueList list;
    EXPECT_THROW(LoadHistoryList(db_, list, [] { return kToday; }), std::exception);
    EXPECT_TRUE(list.empty());
}

}  // namespace
