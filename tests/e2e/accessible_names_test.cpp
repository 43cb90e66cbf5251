// Every control a user can press or type into carries a name that a screen reader reads out.
#include <gtest/gtest.h>

#include <set>

#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

bool Pushable(AtspiRole role) {
    static const std::set<AtspiRole> roles{
        ATSPI_ROLE_PUSH_BUTTON,     ATSPI_ROLE_TOGGLE_BUTTON, ATSPI_ROLE_CHECK_BOX,
        ATSPI_ROLE_RADIO_BUTTON,    ATSPI_ROLE_MENU_ITEM,     ATSPI_ROLE_CHECK_MENU_ITEM,
        ATSPI_ROLE_RADIO_MENU_ITEM, ATSPI_ROLE_PAGE_TAB,      ATSPI_ROLE_COMBO_BOX,
        ATSPI_ROLE_ENTRY,           ATSPI_ROLE_PASSWORD_TEXT, ATSPI_ROLE_SPIN_BUTTON,
    };
    return roles.count(role) > 0;
}

// Whether a user can press or type into it: a submenu item counts, the pop-up menu holding
// the items does not; a text counts when it is editable.
bool Operable(const Element& e) {
    if (e.Role() == ATSPI_ROLE_MENU) {
        const AtspiRole parent = e.Parent().Role();
        return parent == ATSPI_ROLE_MENU || parent == ATSPI_ROLE_MENU_BAR;
    }
    if (e.Role() == ATSPI_ROLE_TEXT)
        return e.Has(ATSPI_STATE_EDITABLE);
    return Pushable(e.Role());
}

// The showing controls without a name, described for the failure message.
// Only the program's own: the controls of the pages are the sites' business.
std::string Nameless(const UiDriver& ui) {
    const pid_t own = ui.App().ProcessId();
    std::string list;
    for (const Element& e : ui.FindAll([&](const Element& e) {
             return e.Showing() && Operable(e) && e.Name().empty() && e.ProcessId() == own;
         }))
        list += "  " + e.Describe() + " (" + e.Description() + ")\n";
    return list;
}

TEST(AccessibleNames, EveryShowingControlOfTheWindowAndTheTabMenuHasAName) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return !ui.TabNames().empty(); })) << program.Output();
    EXPECT_EQ(Nameless(ui), "");

    // The tab menu and the main menu, opened as a user does.
    const auto menu_showing = [&] {
        return !ui.FindAll([](const Element& e) {
                      return (e.Role() == ATSPI_ROLE_MENU_ITEM ||
                              e.Role() == ATSPI_ROLE_CHECK_MENU_ITEM) &&
                             e.Showing();
                  }).empty();
    };
    Click(ui.Tabs().front(), Button::Right);
    ASSERT_TRUE(WaitUntil(menu_showing));
    EXPECT_EQ(Nameless(ui), "") << "in the tab menu";
    PressKeys("Escape");
    ASSERT_TRUE(WaitUntil([&] { return !menu_showing(); }));

    const Element main_menu = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "主菜单");
    ASSERT_TRUE(main_menu);
    Click(main_menu);
    ASSERT_TRUE(WaitUntil(menu_showing));
    EXPECT_EQ(Nameless(ui), "") << "in the main menu";
    PressKeys("Escape");
}

}  // namespace
