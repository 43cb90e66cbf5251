// The recent history driven from outside: a catalogue address opened and listed under today, the
// entry opened again, its address menu, and the clearing with Cancel and then OK. Real clicks
// only; what is checked is what the screen shows, the web server's log and the database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

Element WaitForShowing(const UiDriver& ui, AtspiRole role, const std::string& name) {
    return ui.WaitFor(role, name);
}

// The installer's file with game "A" and its address "B" on the local server.
void SeedCatalogue(const std::string& database, const std::string& url) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "insert into t_gamelist values ('{00000000-0000-4000-8000-00000000000A}','A','',1);"
        "insert into t_gameurllist values ('{00000000-0000-4000-8000-00000000000B}',"
        "'{00000000-0000-4000-8000-00000000000A}','B','',?);";
    const char* tail = sql;
    int rc = SQLITE_OK;
    while (rc == SQLITE_OK && *tail) {
        rc = sqlite3_prepare_v2(db, tail, -1, &st, &tail);
        if (rc != SQLITE_OK || !st)
            break;
        if (sqlite3_bind_parameter_count(st) == 1)
            sqlite3_bind_text(st, 1, url.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);
}

// Right-presses a row and reads whether the address menu's edit and delete items are enabled.
std::pair<bool, bool> AddressMenuItemsEnabled(const UiDriver& ui, const Element& row) {
    Click(row, Button::Right);
    const Element edit = WaitForShowing(ui, ATSPI_ROLE_MENU_ITEM, "修改此地址");
    const Element remove = WaitForShowing(ui, ATSPI_ROLE_MENU_ITEM, "删除此地址");
    const std::pair<bool, bool> enabled{edit && edit.Enabled(), remove && remove.Enabled()};
    PressKeys("Escape");
    WaitUntil([&] { return NoneShowing(ui, "修改此地址"); });
    return enabled;
}

TEST(History, AnOpeningIsListedReopenedOfferedItsMenuAndCleared) {
    ProgramUnderTest program({.start = false});
    const std::string url = program.Server().Url("/title?t=HistoryB");
    SeedCatalogue(program.DatabasePath(), url);
    program.Start();
    UiDriver ui(program.Pid());
    const auto history_rows = [&] {
        return QueryDatabase(program.DatabasePath(),
                             "select value, gameurlid, opentime, "
                             "cast(julianday('now','localtime') - "
                             "julianday('1899-12-30') as integer) "
                             "from t_history");
    };
    const auto requests = [&] { return program.Server().RequestsTo("/title").size(); };

    // Opening the catalogue address records it under today.
    const Element address = WaitForShowing(ui, "B");
    ASSERT_TRUE(address) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; }));
    Click(address);
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 2 && requests() == 1; }))
        << ::testing::PrintToString(ui.TabNames()) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return history_rows().size() == 1; }));
    auto rows = history_rows();
    EXPECT_EQ(rows[0][0], "A-B");
    EXPECT_EQ(rows[0][1], "{00000000-0000-4000-8000-00000000000B}");
    EXPECT_EQ(rows[0][2], rows[0][3]) << "dated today";

    const Element section = WaitForShowing(ui, "最近访问");
    ASSERT_TRUE(section);
    Click(section);
    const Element entry = WaitForShowing(ui, "A-B");
    ASSERT_TRUE(entry) << "the opening is not listed";
    for (const char* group : {"今日", "一日前", "二日前", "一周内", "清除历史记录"})
        EXPECT_TRUE(WaitForShowing(ui, group)) << group;
    const auto today = entry.Extents(), group = WaitForShowing(ui, "今日").Extents();
    EXPECT_GT(today.y, group.y) << "listed under today";
    EXPECT_LT(today.y, WaitForShowing(ui, "一日前").Extents().y);

    // The entry opens its address again in a new tab; the history keeps one row for it.
    Click(entry);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 3 && requests() == 2; }))
        << ::testing::PrintToString(ui.TabNames());
    rows = history_rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "A-B") << "the entry keeps its label";

    // The entry's address menu has no edit and delete; the catalogue's has them again.
    const Element entry_again = WaitForShowing(ui, "A-B");
    ASSERT_TRUE(entry_again);
    EXPECT_EQ(AddressMenuItemsEnabled(ui, entry_again), std::make_pair(false, false));
    Click(WaitForShowing(ui, "WebGame网页游戏"));
    const Element address_again = WaitForShowing(ui, "B");
    ASSERT_TRUE(address_again);
    EXPECT_EQ(AddressMenuItemsEnabled(ui, address_again), std::make_pair(true, true));

    // Clearing: Cancel keeps the history, OK empties it and leaves the groups.
    Click(WaitForShowing(ui, "最近访问"));
    const Element clear = WaitForShowing(ui, "清除历史记录");
    ASSERT_TRUE(clear);
    Click(clear);
    const Element cancel = WaitForShowing(ui, ATSPI_ROLE_PUSH_BUTTON, "取消");
    ASSERT_TRUE(cancel) << "no question";
    EXPECT_TRUE(WaitForShowing(ui, "你确认清除以前的访问记录吗？"));
    Click(cancel);
    ASSERT_TRUE(WaitUntil([&] { return NoneShowing(ui, "取消"); }));
    EXPECT_EQ(history_rows().size(), 1u);
    EXPECT_TRUE(WaitForShowing(ui, "A-B"));

    Click(WaitForShowing(ui, "清除历史记录"));
    const Element ok = WaitForShowing(ui, ATSPI_ROLE_PUSH_BUTTON, "确定");
    ASSERT_TRUE(ok);
    Click(ok);
    EXPECT_TRUE(WaitUntil([&] { return history_rows().empty(); }));
    EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, "A-B"); }));
    for (const char* group : {"今日", "一日前", "二日前", "一周内", "清除历史记录"})
        EXPECT_TRUE(WaitForShowing(ui, group)) << group;
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
