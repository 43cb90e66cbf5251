// The tab thumbnails driven from outside: twelve tabs on pages of one colour each, the 9-grid
// with their pictures, a cell click that makes its tab current and shows the 8-strip of the
// others, a strip click, and the strip's close link. What is checked is what the screen shows
// and the tabs' selected state.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/steps.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

// The colours of the pages in tabs 2..12 (the first tab is the home page).
const std::vector<unsigned long> kColours = {0xE01010, 0x10C020, 0x2040F0, 0xF0D000,
                                             0x00C0C0, 0xC000C0, 0x804000, 0x808080,
                                             0x20A060, 0xA02060, 0x6060A0};

std::string Hex(unsigned long colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%06lx", colour);
    return text;
}

std::vector<Element> PageTabs(const UiDriver& ui) {
    std::vector<Element> tabs;
    auto strips = ui.FindAll(
        [](const Element& e) { return e.Role() == ATSPI_ROLE_PAGE_TAB_LIST && e.Showing(); });
    if (!strips.empty())
        for (const Element& tab : strips.front().Children())
            if (tab.Role() == ATSPI_ROLE_PAGE_TAB)
                tabs.push_back(tab);
    return tabs;
}

// The screen colour in the middle of a cell, once it is the expected one (a fresh picture may
// still be on its way). The pages fill their views, so a picture white in the middle would mean
// a page squeezed into less than its tab's area.
bool CellShows(const UiDriver& ui, const std::string& name, unsigned long colour,
               unsigned long* seen) {
    return WaitUntil(
        [&] {
            const Element cell = ui.Find(ATSPI_ROLE_PUSH_BUTTON, name);
            if (!cell || !cell.Showing())
                return false;
            const Element::Box box = cell.Extents();
            *seen = ScreenPixel(box.x + box.width / 2, box.y + box.height / 2);
            return *seen == colour;
        },
        20s);
}

void ExpectCell(const UiDriver& ui, const std::string& name, unsigned long colour) {
    unsigned long seen = 0;
    EXPECT_TRUE(CellShows(ui, name, colour, &seen))
        << name << " shows " << Hex(seen) << " instead of " << Hex(colour);
}

TEST(Thumbnails, TheGridShowsTheTabsPagesAndACellClickGoesToItsTabWithTheStrip) {
    ProgramUnderTest program;
    UiDriver ui(program.Pid());
    ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == 1; })) << program.Output();

    for (size_t i = 0; i < kColours.size(); ++i) {
        Go(ui, program.Server().Url("/solid?c=" + Hex(kColours[i])));
        ASSERT_TRUE(WaitUntil([&] { return ui.TabNames().size() == i + 2; }, 60s))
            << ::testing::PrintToString(ui.TabNames());
    }
    // Every page has completed once its tab is named after it.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto names = ui.TabNames();
            for (size_t i = 1; i < names.size(); ++i)
                if (names[i].rfind("solid", 0) != 0)
                    return false;
            return names.size() == 12;
        },
        90s))
        << ::testing::PrintToString(ui.TabNames());

    const Element sc9 = ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "9格显示");
    ASSERT_TRUE(sc9 && sc9.Enabled());
    Click(sc9);
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "缩略图9")) << Tree(ui.App());
    // Cells 2..9 show tabs 2..9; tabs 10..12 have no cell.
    for (int k = 2; k <= 9; ++k) ExpectCell(ui, "缩略图" + std::to_string(k), kColours[k - 2]);
    // The grid covers the tab strip.
    EXPECT_TRUE(PageTabs(ui).empty());

    // Cell 4 goes to the fourth tab; the strip shows tabs 1..3 and 5..9 (eight cells).
    Click(ui.Find(ATSPI_ROLE_PUSH_BUTTON, "缩略图4"));
    ASSERT_TRUE(ui.WaitGone(ATSPI_ROLE_PUSH_BUTTON, "缩略图4"));
    ASSERT_TRUE(WaitUntil([&] {
        const auto tabs = PageTabs(ui);
        return tabs.size() == 12 && tabs[3].Selected();
    })) << ::testing::PrintToString(ui.TabNames());
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "小缩略图8"));
    // The strip keeps its height right under the tabs, which keep all the rest.
    const Element strip = ui.Find(ATSPI_ROLE_FILLER, "八格缩略图");
    const auto tab_lists = ui.FindAll(
        [](const Element& e) { return e.Role() == ATSPI_ROLE_PAGE_TAB_LIST && e.Showing(); });
    ASSERT_TRUE(strip && !tab_lists.empty()) << Tree(ui.App());
    EXPECT_EQ(strip.Extents().height, 145);
    EXPECT_EQ(tab_lists.front().Extents().y + tab_lists.front().Extents().height,
              strip.Extents().y);
    ExpectCell(ui, "小缩略图2", kColours[0]);
    ExpectCell(ui, "小缩略图3", kColours[1]);
    for (int k = 4; k <= 8; ++k) ExpectCell(ui, "小缩略图" + std::to_string(k), kColours[k - 1]);

    // A strip cell makes its tab current; the strip then leaves that tab out.
    Click(ui.Find(ATSPI_ROLE_PUSH_BUTTON, "小缩略图2"));
    ASSERT_TRUE(WaitUntil([&] {
        const auto tabs = PageTabs(ui);
        return tabs.size() == 12 && tabs[1].Selected();
    }));
    ExpectCell(ui, "小缩略图2", kColours[1]);
    ExpectCell(ui, "小缩略图3", kColours[2]);

    // "关闭" hides the strip.
    // The window's own close button has the same name: the strip's is the lower one.
    Element close;
    for (const Element& e : ui.FindAll([](const Element& e) {
             return e.Role() == ATSPI_ROLE_PUSH_BUTTON && e.Name() == "关闭" && e.Showing();
         }))
        if (!close || e.Extents().y > close.Extents().y)
            close = e;
    ASSERT_TRUE(close && close.Extents().y > 300) << Tree(ui.App());
    Click(close);
    EXPECT_TRUE(ui.WaitGone(ATSPI_ROLE_PUSH_BUTTON, "小缩略图1"));

    // Shown again, the grid has the same pictures, the strip's fresh ones among them.
    Click(sc9);
    ASSERT_TRUE(ui.WaitFor(ATSPI_ROLE_PUSH_BUTTON, "缩略图9")) << Tree(ui.App());
    for (int k = 2; k <= 9; ++k) ExpectCell(ui, "缩略图" + std::to_string(k), kColours[k - 2]);
}

}  // namespace
