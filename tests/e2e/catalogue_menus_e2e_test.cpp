// What a user meets in the left panel, driven from outside: the tree menus' captions, an address
// stored as users type it (no scheme) opened by a click and by a quick login, and the toolbar's
// button that hides and shows the panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/support/accounts.h"
#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The names of the menu items showing now (an item with a submenu is a menu).
std::vector<std::string> ShowingMenuItems(const UiDriver& ui) {
    std::vector<std::string> names;
    for (const Element& e : ui.FindAll([](const Element& e) {
             return (e.Role() == ATSPI_ROLE_MENU_ITEM || e.Role() == ATSPI_ROLE_MENU) &&
                    e.Showing();
         }))
        names.push_back(e.Name());
    return names;
}

// Right-presses a node and returns the names of its menu's items, then closes the menu.
std::vector<std::string> NodeMenu(const UiDriver& ui, const std::string& node,
                                  const std::string& first_item) {
    const Element row = WaitForShowing(ui, node);
    EXPECT_TRUE(row) << "no node " << node;
    Click(row, Button::Right);
    EXPECT_TRUE(WaitForShowing(ui, first_item)) << "no menu on " << node;
    const std::vector<std::string> items = ShowingMenuItems(ui);
    PressKeys("Escape");
    EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, first_item); }));
    return items;
}

TEST(CatalogueMenus, CaptionsShowNoMarkerAndAnAddressWithoutASchemeOpensEveryWay) {
    ProgramUnderTest program({.start = false});
    std::string address = program.Server().Url("/account-login");
    address.erase(0, address.find("://") + 3);  // as users type it: "127.0.0.1:port/..."
    Seed(program.DatabasePath(),
         {{"无协议地址", address, {{"账号丙", "KivoCache\\账号丙", "c-user", "c-pass"}}}});
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    // The menus of an address and of a game, as shown and as named to a screen reader.
    const auto address_menu = NodeMenu(ui, "无协议地址", "快速登录");
    for (const char* item : {"快速登录", "维护登录信息", "修改此地址", "删除此地址"})
        EXPECT_NE(std::find(address_menu.begin(), address_menu.end(), item), address_menu.end())
            << item << " in " << ::testing::PrintToString(address_menu);
    const auto game_menu = NodeMenu(ui, "账号游戏", "修改游戏名称");
    EXPECT_NE(std::find(game_menu.begin(), game_menu.end(), "删除此游戏"), game_menu.end())
        << ::testing::PrintToString(game_menu);
    for (const auto* menu : {&address_menu, &game_menu})
        for (const std::string& item : *menu) EXPECT_EQ(item.find('&'), std::string::npos) << item;

    // A click opens the address as a web address.
    Click(WaitForShowing(ui, "无协议地址"));
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/account-ping").empty(); }))
        << program.Output();
    // A quick login opens it too, and fills its form.
    QuickLogin(ui, "无协议地址", "账号丙");
    EXPECT_TRUE(WaitUntil([&] { return !SessionsSeeing(program, "u=c-user&p=c-pass").empty(); }))
        << program.Output();
    // The tabs are kept for the next start as web addresses.
    const std::string last_session = program.Home() + "/data/gameKivo/LastSession";
    EXPECT_TRUE(WaitUntil([&] {
        return ReadTextFile(last_session).find("http://" + address) != std::string::npos;
    })) << ReadTextFile(last_session);

    // Nothing of the above made the toolkit complain.
    EXPECT_EQ(program.Output().find("CRITICAL"), std::string::npos) << program.Output();
}

TEST(CatalogueMenus, TheToolbarButtonSaysWhatItDoesToThePanel) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    const Element hide = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "隐藏左栏");
    ASSERT_TRUE(hide) << program.Output();
    EXPECT_TRUE(NoneShowing(ui, "显示左栏"));
    ASSERT_TRUE(WaitForShowing(ui, "添加新游戏"));

    Click(hide);
    const Element show = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "显示左栏");
    ASSERT_TRUE(show) << "the hidden panel's button still says " << hide.Name();
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_PUSH_BUTTON, "隐藏左栏"));
    EXPECT_TRUE(WaitUntil([&] { return NoneShowing(ui, "添加新游戏"); })) << "the panel stays";

    Click(show);
    EXPECT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "隐藏左栏"));
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_PUSH_BUTTON, "显示左栏"));
    EXPECT_TRUE(WaitForShowing(ui, "添加新游戏")) << "the panel did not come back";
}

}  // namespace
