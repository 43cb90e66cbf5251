#include "data/data_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "data/day_number.h"
#include "data/guid.h"
#include "tests/data/test_database.h"

namespace kivo::data {
namespace {

using testing::CreateDatabase;
using testing::ReadFile;
using testing::SchemaScript;
using testing::TempFolder;

struct Shown {
    int count = 0;
    std::string text, title;
};

TData::OpenFailureHandler Recorder(Shown& shown) {
    return [&shown](const std::string& text, const std::string& title) {
        ++shown.count;
        shown.text = text;
        shown.title = title;
    };
}

TEST(TDataTest, MissingFileIsReportedOnceAndCreatesNothing) {
    TempFolder folder;
    const auto file = folder.Path() / TData::kDatabaseName;
    Shown shown;
    TData data(file.string(), Recorder(shown));
    EXPECT_TRUE(data.OpenFailed());
    EXPECT_FALSE(data.OpenError().empty());
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.text, "初始化本地数据失败！");
    EXPECT_EQ(shown.title, "提示");

    EXPECT_THROW(data.FDatabase.Prepare16("select 1"), TDISQLite3Error);
    EXPECT_THROW(data.FDatabase.Prepare16("select 1"), TDISQLite3Error);
    EXPECT_EQ(shown.count, 1);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));

    // Once the file is there the next action opens it.
    CreateDatabase(file, SchemaScript());
    EXPECT_NO_THROW(data.FDatabase.Prepare16("select * from v_history"));
}

TEST(TDataTest, OpensAnInstalledFileFromTheWorkingDirectory) {
    TempFolder folder;
    CreateDatabase(folder.Path() / TData::kDatabaseName, SchemaScript());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    Shown shown;
    TData data(TData::kDatabaseName, Recorder(shown));
    std::filesystem::current_path(previous);
    EXPECT_FALSE(data.OpenFailed());
    EXPECT_EQ(shown.count, 0);
    EXPECT_TRUE(data.FDatabase.Connected());
}

// Replaces the first occurrence of `from` in the schema script.
std::string SchemaWith(const std::string& from, const std::string& to) {
    std::string script = SchemaScript();
    const auto at = script.find(from);
    if (at == std::string::npos)
        throw std::runtime_error("the schema has no " + from);
    return script.replace(at, from.size(), to);
}

TEST(TDataTest, FilesThatAreNoUsableDatabaseAreReportedAndLeftAsTheyAre) {
    TempFolder folder;
    const auto good = folder.Path() / "good.dat";
    CreateDatabase(good, SchemaScript());
    const std::string good_bytes = ReadFile(good.string());
    struct Case {
        std::string name;
        std::string bytes;  // the file as it is on disk; empty when `script` makes it
        std::string script;
    };
    const std::vector<Case> cases = {
        {"empty", "", ""},
        {"text", "this is a note, not a database\n", ""},
        {"truncated", good_bytes.substr(0, good_bytes.size() / 2), ""},
        {"header only", good_bytes.substr(0, 100), ""},
        {"no history table", "", SchemaScript() + "\nDROP TABLE t_history;"},
        {"no CACHEPATH", "", SchemaWith("CACHEPATH", "CACHEFOLDER")},
        {"games in another order", "",
         SchemaWith("GAMENAME TEXT,\n    GAMEHINT TEXT", "GAMEHINT TEXT,\n    GAMENAME TEXT")},
        {"view over a missing column", "",
         SchemaWith("u.URLHINT  AS URLHINT", "u.NOHINT AS URLHINT")},
        {"table where the view belongs", "",
         SchemaWith("CREATE VIEW v_history AS", "CREATE TABLE v_history AS")},
    };
    for (const Case& c : cases) {
        const auto file = folder.Path() / (c.name + ".dat");
        if (c.script.empty())
            std::ofstream(file, std::ios::binary) << c.bytes;
        else
            CreateDatabase(file, c.script);
        const std::string before = ReadFile(file.string());
        Shown shown;
        {
            TData data(file.string(), Recorder(shown));
            EXPECT_TRUE(data.OpenFailed()) << c.name;
            EXPECT_FALSE(data.OpenError().empty()) << c.name;
            EXPECT_FALSE(data.FDatabase.Connected()) << c.name;
        }
        EXPECT_EQ(shown.count, 1) << c.name;
        EXPECT_EQ(shown.text, "初始化本地数据失败！") << c.name;
        EXPECT_EQ(ReadFile(file.string()), before) << c.name;
    }
}

TEST(TDataTest, ALockedFileIsReportedAndOpensOnceFreed) {
    TempFolder folder;
    const auto file = folder.Path() / TData::kDatabaseName;
    CreateDatabase(file, SchemaScript());
    TDISQLite3Database holder(file.string());
    holder.Execute("BEGIN EXCLUSIVE; update t_base set BASEVALUE='1';");
    Shown shown;
    TData data(file.string(), Recorder(shown));
    EXPECT_TRUE(data.OpenFailed());
    EXPECT_NE(data.OpenError().find("locked"), std::string::npos) << data.OpenError();
    EXPECT_EQ(shown.count, 1);

    holder.Execute("ROLLBACK;");
    auto st = data.FDatabase.Prepare16("select BASEVALUE from t_base");
    ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
    EXPECT_EQ(st.Column_Str(0), "-1");
}

TEST(PrepareDatabaseScriptTest, CreatesAMissingFileAndLeavesAnExistingOne) {
    TempFolder folder;
    const auto app = folder.Path() / "bin";
    const std::string command = std::string("bash ") + KIVO_PREPARE_SCRIPT + " " + app.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto file = app / TData::kDatabaseName;
    {
        TDISQLite3Database db(file.string());
        auto st =
            db.Prepare16("select count(*) from sqlite_master where type in ('table', 'view')");
        ASSERT_EQ(st.Step(), TDISQLite3Statement::kRow);
        EXPECT_EQ(st.Column_Str(0), "7");
        auto base = db.Prepare16("select basename, BASEVALUE from t_base");
        ASSERT_EQ(base.Step(), TDISQLite3Statement::kRow);
        EXPECT_EQ(base.Column_Str(0), "CLOSETYPE");
        EXPECT_EQ(base.Column_Str(1), "-1");
        EXPECT_EQ(base.Step(), TDISQLite3Statement::kDone);
    }
    std::filesystem::resize_file(file, 5);
    const std::string before = ReadFile(file.string());
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(file.string()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(app), {}), 1);
}

TEST(GuidTest, NewGuidsHaveTheRegistryFormAndDiffer) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = NewGuidString();
        ASSERT_EQ(id.size(), 38u);
        EXPECT_EQ(id.front(), '{');
        EXPECT_EQ(id.back(), '}');
        for (std::size_t hyphen : {9u, 14u, 19u, 24u}) EXPECT_EQ(id[hyphen], '-') << id;
        EXPECT_EQ(id.find_first_not_of("{}-0123456789ABCDEF"), std::string::npos) << id;
        EXPECT_TRUE(IsGuidString(id));
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_FALSE(IsGuidString("-1"));
    EXPECT_FALSE(IsGuidString("{0000000-00000-0000-0000-000000000000}"));
}

TEST(DayNumberTest, CountsLocalDaysFrom30December1899) {
    EXPECT_EQ(DayNumber(1899, 12, 30), 0);
    EXPECT_EQ(DayNumber(1900, 3, 1), 61);
    EXPECT_EQ(DayNumber(2010, 1, 1), 40179);
    EXPECT_EQ(DayNumber(2010, 4, 20), 40288);

    // The local date decides, not the UTC one.
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    const std::time_t late_utc = 1271779200 - 3600;  // 2010-04-20 15:00 UTC = 23:00 in Shanghai
    EXPECT_EQ(DayNumberAt(late_utc), 40288);
    EXPECT_EQ(DayNumberAt(late_utc + 2 * 3600), 40289);
    if (previous) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace kivo::data
