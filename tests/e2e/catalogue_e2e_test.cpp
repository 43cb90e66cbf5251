// The catalogue edited from outside: games and addresses added through the add nodes, the
// prompts and the address dialog, opened with a click, edited, renamed and deleted through the
// trees' menus, and pages saved as addresses from the toolbar. Real clicks and keys only; what
// is checked is the tree as shown, the database and what the local web server received.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/identity.h"
#include "tests/e2e/support/catalogue_steps.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "data/catalogue/catalogue_edit.h"

namespace {

using namespace kivo::e2e;
using namespace kivo::catalogue;

using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kAddUrlNode = "添加新地址";
constexpr const char* kOk = "确定";
constexpr const char* kCancel = "取消";

// An edit of the address dialog ("地址描述" or "游戏地址").
Element DialogEdit(const UiDriver& ui, const std::string& name) {
    return ui.WaitFor(ATSPI_ROLE_TEXT, name);
}

// Types into an edit of the address dialog after clicking it.
void TypeInto(const UiDriver& ui, const std::string& name, const std::string& text) {
    const Element edit = DialogEdit(ui, name);
    ASSERT_TRUE(edit) << "no edit " << name;
    Click(edit);
    ASSERT_TRUE(WaitUntil([&] { return edit.Has(ATSPI_STATE_FOCUSED); })) << edit.Describe();
    TypeText(text);
    ASSERT_TRUE(WaitUntil([&] { return edit.Text() == text; })) << edit.Text();
}

// Opens the menu of a tree node with the right button and clicks one of its items.
void ClickNodeMenu(const UiDriver& ui, const std::string& node, const std::string& item) {
    const Element row = TreeNode(ui, node);
    ASSERT_TRUE(row) << "the tree does not show " << node;
    Click(row, Button::Right);
    const Element entry = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, item);
    ASSERT_TRUE(entry) << "no menu item " << item;
    Click(entry);
}

// Answers a deletion question with "是" or "否".
void AnswerQuestion(const UiDriver& ui, const std::string& question, const std::string& answer) {
    ClickIn(ui, question, answer);
    ASSERT_TRUE(GoneFromScreen(ui, question));
}

Rows Addresses(const ProgramUnderTest& program) {
    return QueryDatabase(
        program.DatabasePath(),
        "select g.GAMENAME, u.URLNAME, u.URLVALUE, u.URLHINT from t_gameurllist u "
        "left join t_gamelist g on g.ID = u.GAMEID order by u.URLNAME, g.GAMENAME");
}

Rows Games(const ProgramUnderTest& program) {
    return QueryDatabase(program.DatabasePath(),
                         "select GAMENAME, GAMETYPE from t_gamelist order by GAMENAME");
}

TEST(Catalogue, AddressesAddedThroughTheTreeOpenInSessionsOfTheirOwnAndAreEditedAndDeleted) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(TreeNode(ui, kAddGameNode)) << program.Output();
    AddGame(ui, "月光 Realm");
    ASSERT_EQ(Games(program), (Rows{{"月光 Realm", "1"}}));
    // A name of blanks only adds nothing, and says nothing.
    Click(TreeNode(ui, kAddGameNode));
    AnswerPrompt(ui, kAddGamePrompt, "   ");

    // An address through the game's add node: the dialog has the game chosen already; the
    // description and the address typed, confirmed with the dialog's button.
    const std::string first = program.Server().Url("/title?t=First");
    Click(TreeNode(ui, kAddUrlNode));
    ASSERT_TRUE(Shown(ui, kSaveUrlTitle)) << "no address dialog";
    TypeInto(ui, "地址描述", "一区 First");
    TypeInto(ui, "游戏地址", first);
    ClickIn(ui, kSaveUrlTitle, kOk);
    ASSERT_TRUE(GoneFromScreen(ui, kSaveUrlTitle));
    ASSERT_TRUE(TreeNode(ui, "一区 First")) << "the tree does not show the new address";

    // A second one with keys only: Enter in the description goes to the address, Enter there
    // confirms.
    const std::string second = program.Server().Url("/setcookie?name=acct&value=one");
    Click(TreeNode(ui, kAddUrlNode));
    const Element description = DialogEdit(ui, "地址描述");
    ASSERT_TRUE(description);
    ASSERT_TRUE(WaitUntil([&] { return description.Has(ATSPI_STATE_FOCUSED); }))
        << "the dialog does not start in the description";
    TypeText("二区 Second");
    PressKeys("Return");
    const Element address = DialogEdit(ui, "游戏地址");
    ASSERT_TRUE(WaitUntil([&] { return address.Has(ATSPI_STATE_FOCUSED); }));
    TypeText(second);
    ASSERT_TRUE(WaitUntil([&] { return address.Text() == second; })) << address.Text();
    PressKeys("Return");
    ASSERT_TRUE(GoneFromScreen(ui, kSaveUrlTitle)) << "Enter in the address did not confirm";
    ASSERT_TRUE(TreeNode(ui, "二区 Second"));
    EXPECT_EQ(Addresses(program), (Rows{{"月光 Realm", "一区 First", first, ""},
                                        {"月光 Realm", "二区 Second", second, ""}}));

    // Each click on an address opens a tab with a session of its own: the cookie the first
    // page set is not sent by the second.
    // A click on a game opens nothing.
    const size_t tabs = ui.TabNames().size();
    Click(TreeNode(ui, "月光 Realm"));
    for (size_t opened = 1; opened <= 2; ++opened) {
        Click(TreeNode(ui, "二区 Second"));
        ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + opened; }))
            << ::testing::PrintToString(ui.TabNames());
        ASSERT_TRUE(
            WaitUntil([&] { return program.Server().RequestsTo("/setcookie").size() == opened; }));
    }
    for (const auto& request : program.Server().RequestsTo("/setcookie"))
        EXPECT_EQ(request.cookie.find("acct="), std::string::npos) << "shared: " << request.cookie;

    // Editing an address: both prompts offer the old values; the new ones are shown and stored.
    const std::string edited = program.Server().Url("/title?t=Edited");
    std::string offered;
    ClickNodeMenu(ui, "一区 First", kEditUrlItem);
    AnswerPrompt(ui, kEditUrlNamePrompt, "一区 Edited", &offered);
    EXPECT_EQ(offered, "一区 First");
    AnswerPrompt(ui, kEditUrlPrompt, edited, &offered);
    EXPECT_EQ(offered, first);
    EXPECT_TRUE(TreeNode(ui, "一区 Edited"));
    EXPECT_TRUE(GoneFromScreen(ui, "一区 First"));
    // The node opens the new address.
    Click(TreeNode(ui, "一区 Edited"));
    EXPECT_TRUE(WaitUntil([&] {
        for (const auto& request : program.Server().RequestsTo("/title"))
            if (request.query == "t=Edited")
                return true;
        return false;
    }));
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 3; }))
        << "a click on a game opened a tab: " << ::testing::PrintToString(ui.TabNames());
    // Both prompts cancelled: the values they offered are written back unchanged.
    ClickNodeMenu(ui, "一区 Edited", kEditUrlItem);
    ClickIn(ui, kEditUrlNamePrompt, kCancel);
    ASSERT_TRUE(GoneFromScreen(ui, kEditUrlNamePrompt));
    ClickIn(ui, kEditUrlPrompt, kCancel);
    ASSERT_TRUE(GoneFromScreen(ui, kEditUrlPrompt));

    // Renaming the game; the name reaches no statement's text.
    ClickNodeMenu(ui, "月光 Realm", kRenameGameItem);
    AnswerPrompt(ui, kRenameGamePrompt, "日光 'Realm'; --", &offered);
    EXPECT_EQ(offered, "月光 Realm");
    EXPECT_TRUE(TreeNode(ui, "日光 'Realm'; --"));
    EXPECT_EQ(Addresses(program), (Rows{{"日光 'Realm'; --", "一区 Edited", edited, ""},
                                        {"日光 'Realm'; --", "二区 Second", second, ""}}));

    // Deleting an address: No keeps it, Yes removes it from the tree and the database.
    ClickNodeMenu(ui, "一区 Edited", kDeleteUrlItem);
    AnswerQuestion(ui, kDeleteUrlQuestion, "否");
    EXPECT_TRUE(TreeNode(ui, "一区 Edited"));
    EXPECT_EQ(Addresses(program).size(), 2u);
    ClickNodeMenu(ui, "一区 Edited", kDeleteUrlItem);
    AnswerQuestion(ui, kDeleteUrlQuestion, "是");
    EXPECT_TRUE(GoneFromScreen(ui, "一区 Edited"));
    EXPECT_EQ(Addresses(program), (Rows{{"日光 'Realm'; --", "二区 Second", second, ""}}));

    // Deleting the game: No keeps it, Yes removes it with its addresses.
    ClickNodeMenu(ui, "日光 'Realm'; --", kDeleteGameItem);
    AnswerQuestion(ui, kDeleteGameQuestion, "否");
    EXPECT_TRUE(TreeNode(ui, "日光 'Realm'; --"));
    EXPECT_EQ(Games(program).size(), 1u);
    ClickNodeMenu(ui, "日光 'Realm'; --", kDeleteGameItem);
    AnswerQuestion(ui, kDeleteGameQuestion, "是");
    EXPECT_TRUE(GoneFromScreen(ui, "日光 'Realm'; --"));
    EXPECT_TRUE(GoneFromScreen(ui, "二区 Second"));
    EXPECT_TRUE(Games(program).empty());
    EXPECT_TRUE(Addresses(program).empty());
    EXPECT_TRUE(TreeNode(ui, kAddGameNode));
    EXPECT_TRUE(program.Running()) << program.Output();
}

TEST(Catalogue, TheToolbarSavesAFreePageAsAnAddressOfAChosenGame) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(TreeNode(ui, kAddGameNode)) << program.Output();
    AddGame(ui, "Moon Realm");

    // The dialog offers the free page's title and address, and insists on a game.
    const std::string page = program.Server().Url("/title?t=FreePage");
    Go(ui, page);
    ASSERT_TRUE(Shown(ui, std::string("FreePage-") + kivo::kApplicationTitle));
    Click(Shown(ui, "添加到游戏列表"));
    ASSERT_TRUE(Shown(ui, kSaveUrlTitle)) << "no address dialog";
    EXPECT_EQ(DialogEdit(ui, "地址描述").Text(), "FreePage");
    EXPECT_EQ(DialogEdit(ui, "游戏地址").Text(), page);
    ClickIn(ui, kSaveUrlTitle, kOk);
    ClickIn(ui, kChooseGame, kOk);
    ASSERT_TRUE(GoneFromScreen(ui, kChooseGame));
    ASSERT_TRUE(Shown(ui, kSaveUrlTitle)) << "the dialog closed with no game chosen";
    EXPECT_TRUE(Addresses(program).empty());

    // A game chosen from the list, then confirmed.
    Click(ui.WaitFor(ATSPI_ROLE_COMBO_BOX, "所属游戏"));
    const Element choice = ui.WaitFor(ATSPI_ROLE_MENU_ITEM, "Moon Realm");
    ASSERT_TRUE(choice) << Tree(WindowShowing(ui, kSaveUrlTitle));
    Click(choice);
    ClickIn(ui, kSaveUrlTitle, kOk);
    ASSERT_TRUE(GoneFromScreen(ui, kSaveUrlTitle));
    EXPECT_EQ(Addresses(program), (Rows{{"Moon Realm", "FreePage", page, ""}}));
    EXPECT_TRUE(TreeNode(ui, "FreePage")) << "the tree does not show the saved page";

    // The dialog's link adds a game to the category, which is then the chosen one. Its name
    // is kept with its blanks.
    Click(Shown(ui, "添加到游戏列表"));
    ASSERT_TRUE(Shown(ui, kSaveUrlTitle));
    Click(Shown(ui, kAddGameLink));
    AnswerPrompt(ui, kDialogAddGamePrompt, " Star Realm ");
    ClickIn(ui, kGameAdded, kOk);
    ASSERT_TRUE(GoneFromScreen(ui, kGameAdded));
    EXPECT_TRUE(TreeNode(ui, " Star Realm ")) << "the tree does not show the game the link added";
    ClickIn(ui, kSaveUrlTitle, kOk);
    ASSERT_TRUE(GoneFromScreen(ui, kSaveUrlTitle)) << "the new game is not the chosen one";
    EXPECT_EQ(Games(program), (Rows{{" Star Realm ", "1"}, {"Moon Realm", "1"}}));
    EXPECT_EQ(Addresses(program),
              (Rows{{" Star Realm ", "FreePage", page, ""}, {"Moon Realm", "FreePage", page, ""}}));

    // Saving the form of another free page asks for its address first; cancelled, nothing is
    // stored.
    const size_t tabs = ui.TabNames().size();
    Go(ui, program.Server().Url("/title?t=FormPage"));
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == tabs + 1; }));
    ASSERT_TRUE(Shown(ui, std::string("FormPage-") + kivo::kApplicationTitle));
    Click(Shown(ui, "保存登录表单"));
    ClickIn(ui, kSaveGameFirst, kOk);
    ASSERT_TRUE(Shown(ui, kSaveUrlTitle));
    EXPECT_EQ(DialogEdit(ui, "地址描述").Text(), "FormPage");
    ClickIn(ui, kSaveUrlTitle, kCancel);
    ASSERT_TRUE(GoneFromScreen(ui, kSaveUrlTitle));
    EXPECT_EQ(Addresses(program).size(), 2u);
    EXPECT_TRUE(program.Running()) << program.Output();
}

}  // namespace
