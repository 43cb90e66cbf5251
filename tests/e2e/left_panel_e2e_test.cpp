// The left panel driven from outside: the catalogue as a new user finds it, a game added
// through its prompt, and a mini-game opened in the shared mini-game session. Real clicks and
// keys only; what is checked is what the screen shows, the database and the session folders.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"
#include "data/catalogue/mini_games.h"

namespace {

using namespace kivo::e2e;

TEST(LeftPanel, TheCatalogueStartsWithItsAddNodesTakesAGameAndOpensAMiniGame) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());

    // A new user's catalogue: the web-game section open with its add node and nothing else.
    const Element add_game = WaitForShowing(ui, "添加新游戏");
    ASSERT_TRUE(add_game) << program.Output();

    // A game added through the prompt the add node opens, its name typed with real keys.
    Click(add_game);
    ASSERT_TRUE(WaitForShowing(ui, kivo::catalogue::kAddGamePrompt)) << "no prompt";
    TypeText("龙之谷 'x'");
    PressKeys("Return");
    ASSERT_TRUE(WaitForShowing(ui, "龙之谷 'x'")) << "the tree does not show the new game";
    EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, kivo::catalogue::kAddGamePrompt); }));
    const auto rows =
        QueryDatabase(program.DatabasePath(), "select GAMENAME, GAMETYPE from t_gamelist");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "龙之谷 'x'");
    EXPECT_EQ(rows[0][1], "1");

    // The other tree has its own add node once its section is opened.
    const Element sns = WaitForShowing(ui, "SNS社区");
    ASSERT_TRUE(sns);
    Click(sns);
    EXPECT_TRUE(WaitForShowing(ui, "添加新SNS"));

    // A mini-game opens in a new tab of the shared mini-game session.
    const size_t tabs = ui.TabNames().size();
    const Element games = WaitForShowing(ui, "小游戏");
    ASSERT_TRUE(games);
    Click(games);
    const Element first = WaitForShowing(ui, kivo::catalogue::MiniGameCaption(0));
    ASSERT_TRUE(first) << "the mini-game list is not shown";
    Click(first);
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 1; }))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(WaitUntil([&] {
        return !FolderEntries(program.Home() + "/data/gameKivo/KivoCache", "FlashGame").empty() ||
               !FolderEntries(program.Folder() + "/KivoCache", "FlashGame").empty();
    })) << "no mini-game session folder";
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
