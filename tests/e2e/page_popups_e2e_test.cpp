// Pop-ups in any tab: a window a page opens in answer to the user's click opens as a tab of
// the same session, as a game's login flow needs; a page opening windows by itself gets none,
// only a notice in the status bar whose click opens the page refused last.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"
#include "session/tab_rules.h"

namespace {

using namespace kivo::e2e;

size_t RequestsWith(ProgramUnderTest& program, const std::string& query_start) {
    size_t count = 0;
    for (const auto& request : program.Server().RequestsTo("/cookies"))
        count += request.query.rfind(query_start, 0) == 0;
    return count;
}

TEST(PagePopups, AClickOpensTheLoginWindowAndAPageOpeningWindowsByItselfGetsANotice) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    // The login flow: the user's click opens the window, as a tab of the page's session.
    Go(ui, program.Server().Url("/popup"));
    const Element open = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "Open in a new window", 60s);
    ASSERT_TRUE(open) << Tree(ui.App()) << program.Output();
    Click(open);
    ASSERT_TRUE(WaitUntil([&] { return !program.Server().RequestsTo("/cookies").empty(); }, 60s))
        << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 3; }))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(NoneShowing(ui, kivo::kPopupBlockedNotice));

    // A page that calls window.open over and over: no tab, only the notice.
    Go(ui, program.Server().Url("/popup?loop=1"));
    const Element notice = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, kivo::kPopupBlockedNotice, 60s);
    ASSERT_TRUE(notice) << Tree(ui.App()) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 4; }));
    kivo::test::PumpFor(3s);  // what a loop would have opened meanwhile
    EXPECT_EQ(ui.TabNames().size(), 4u) << ::testing::PrintToString(ui.TabNames());
    EXPECT_EQ(RequestsWith(program, "loop="), 0u);

    // The notice's click opens the page refused last, once, in a new tab.
    Click(notice);
    EXPECT_TRUE(WaitUntil([&] { return RequestsWith(program, "loop=") == 1; }, 60s))
        << program.Output();
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 5; }))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_TRUE(program.Running());
}

}  // namespace
