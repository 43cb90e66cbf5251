// The promotion mini window driven from outside: it appears a second after start-up with the
// promotion page, a link of that page lands as a tab of the main window in a session of its
// own, a page flooding window.open yields one tab per click, and its close glyph closes it.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/ui_driver.h"
#include "ui/promotion/promotion_rules.h"

namespace {

using namespace kivo::e2e;
using kivo::test::ReceivedRequest;

// The first element below `root` with that role and name.
Element FindBelow(const Element& root, AtspiRole role, const std::string& name) {
    for (const Element& child : root.Children()) {
        if (child.Role() == role && child.Name() == name)
            return child;
        if (Element found = FindBelow(child, role, name))
            return found;
    }
    return {};
}

Element WaitBelow(const Element& root, AtspiRole role, const std::string& name) {
    Element found;
    WaitUntil([&] { return bool(found = FindBelow(root, role, name)); });
    return found;
}

// The requests to /cookies that came from `from`.
std::vector<ReceivedRequest> CookiesFrom(ProgramUnderTest& program, const std::string& from) {
    std::vector<ReceivedRequest> found;
    for (const ReceivedRequest& r : program.Server().RequestsTo("/cookies"))
        if (r.query.rfind("from=" + from, 0) == 0)
            found.push_back(r);
    return found;
}

size_t ShownFrames(const UiDriver& ui) {
    size_t frames = 0;
    for (const Element& window : ui.App().Children())
        frames += window.Role() == ATSPI_ROLE_FRAME && window.Showing();
    return frames;
}

TEST(Promotion, TheMiniWindowShowsThePageOpensItsLinksAsTabsAndBoundsItsPopUps) {
    ProgramUnderTest program(ProgramOptions{.start = false, .promotion = true});
    const PromotionSiteAt site("http://127.0.0.1:" + std::to_string(program.Server().Port()));
    program.Start();
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    // A second top-level window of its own name, with the promotion page, which the ordinary
    // profile keeps the cookie of; the page's own pop-up without a click opens nothing.
    const Element mini = ui.WaitFor(ATSPI_ROLE_FRAME, kivo::kMiniWindowTitle);
    ASSERT_TRUE(mini) << Tree(ui.App());
    EXPECT_TRUE(WaitUntil([] {
        return WindowStateOf(kivo::kMiniWindowTitle) == WindowState::Shown;
    })) << WindowStateOf(kivo::kMiniWindowTitle);
    EXPECT_EQ(ShownFrames(ui), 2u);
    // Its rounded corner is cut away: what lies beneath shows there, not the key colour.
    const Element::Box box = mini.Extents();
    EXPECT_EQ(box.width, 560);
    EXPECT_NE(ScreenPixel(box.x, box.y), 0x101010ul);
    EXPECT_NE(ScreenPixel(box.x + 280, box.y + 20), 0x101010ul);
    ASSERT_TRUE(WaitUntil([&] { return !CookiesFrom(program, "promo").empty(); }));
    EXPECT_EQ(CookiesFrom(program, "promo").front().cookie, "promo=ordinary");

    // A link of the page lands as a new tab of the main window, in a session of its own.
    const Element link = WaitBelow(mini, ATSPI_ROLE_LINK, "Open a game");
    ASSERT_TRUE(link) << Tree(mini);
    Click(link);
    ASSERT_TRUE(WaitUntil([&] { return !CookiesFrom(program, "link").empty(); }))
        << program.Output();
    EXPECT_EQ(CookiesFrom(program, "link").front().cookie, "");
    EXPECT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 2; }))
        << ::testing::PrintToString(ui.TabNames());

    // Fifty windows at once and then a loop of them, after one click: one tab.
    const Element flood = WaitBelow(mini, ATSPI_ROLE_PUSH_BUTTON, "Open fifty");
    ASSERT_TRUE(flood);
    Click(flood);
    ASSERT_TRUE(WaitUntil([&] { return !CookiesFrom(program, "flood").empty(); }));
    EXPECT_FALSE(WaitUntil([&] { return ui.TabNames().size() > 3; }, 8s))
        << ::testing::PrintToString(ui.TabNames());
    EXPECT_EQ(ui.TabNames().size(), 3u);
    EXPECT_EQ(CookiesFrom(program, "flood").size(), 1u);
    EXPECT_TRUE(CookiesFrom(program, "loop").empty());
    EXPECT_TRUE(CookiesFrom(program, "auto").empty());
    EXPECT_EQ(ShownFrames(ui), 2u) << "no window but the two";

    // Its close glyph closes it; the main window goes on.
    const Element close = FindBelow(mini, ATSPI_ROLE_PUSH_BUTTON, "关闭");
    ASSERT_TRUE(close) << Tree(mini);
    Click(close);
    EXPECT_TRUE(
        WaitUntil([&] { return WindowStateOf(kivo::kMiniWindowTitle) == WindowState::Absent; }));
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(ui.TabNames().size(), 3u);
}

}  // namespace
