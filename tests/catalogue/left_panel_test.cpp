// The left panel's numbers and the search box's rules.
#include <gtest/gtest.h>

#include <string>

#include "data/catalogue/catalogue_search.h"
#include "ui/left/left_panel_layout.h"
#include "data/catalogue/mini_games.h"

namespace {

using namespace kivo::catalogue;

static_assert(kMiniGameCount == 18, "the mini-game list holds 18 categories");

TEST(LeftPanel, OneSectionIsOpenAtATimeAndFillsThePanelLessTheReserve) {
    SectionStates sections;
    EXPECT_TRUE(sections.Expanded(Section::WebGame)) << "the web games are open at start";
    EXPECT_FALSE(sections.Expanded(Section::History));
    sections.Resize(600);
    EXPECT_EQ(sections.Height(Section::WebGame), 425);

    sections.Expand(Section::MiniGames, 600);
    EXPECT_FALSE(sections.Expanded(Section::WebGame));
    EXPECT_EQ(sections.Height(Section::WebGame), 30);
    EXPECT_EQ(sections.Height(Section::MiniGames), 425);
    sections.Resize(800);
    EXPECT_EQ(sections.Height(Section::MiniGames), 625);

    sections.Collapse(Section::MiniGames);
    sections.Resize(900);
    for (const auto& info : kSections)
        EXPECT_EQ(sections.Height(info.section), 30) << info.caption << ": none open, none grows";

    EXPECT_EQ(OpenSectionHeight(100), kSectionHeaderHeight)
        << "a tiny window gives no negative size";
}

TEST(LeftPanel, HidingAndShowingEndsAtTheShownWidthNotTheDesignWidth) {
    LeftPanelToggle panel;
    EXPECT_EQ(panel.Width(), 187);
    EXPECT_TRUE(panel.CloseButtonsVisible());
    panel.Toggle();
    EXPECT_EQ(panel.Width(), 7);
    EXPECT_TRUE(panel.OpenButtonsVisible());
    EXPECT_FALSE(panel.CloseButtonsVisible());
    panel.Toggle();
    panel.Toggle();
    panel.Toggle();
    EXPECT_EQ(panel.Width(), 185);
    EXPECT_FALSE(panel.OpenButtonsVisible());

    EXPECT_EQ(SpotButtonTop(501, 90), 250 - 45);
    EXPECT_EQ(SpotButtonTop(60, 90), -15);
}

TEST(CatalogueSearch, EveryByteIsEncodedInUpperCaseHex) {
    EXPECT_EQ(SearchPostData("abc"), "keyword=%61%62%63");
    EXPECT_EQ(SearchPostData("ABC"), "keyword=%41%42%43");
    EXPECT_EQ(SearchPostData("游戏"), "keyword=%E6%B8%B8%E6%88%8F");
    EXPECT_EQ(SearchPostData("a b"), "keyword=%61%20%62");
    EXPECT_EQ(SearchPostData(" x "), "keyword=%20%78%20") << "not trimmed";
    EXPECT_EQ(PercentEncodeBytes(std::string("&=\0\xFF", 4)), "%26%3D%00%FF");
    EXPECT_EQ(PercentEncodeBytes(""), "");
}

TEST(CatalogueSearch, ThePlaceholderAndBlankTextsAreNoQuery) {
    EXPECT_FALSE(IsSearchQuery("要在列表中查找的内容"));
    EXPECT_FALSE(IsSearchQuery(""));
    EXPECT_FALSE(IsSearchQuery(" \t\n "));
    EXPECT_TRUE(IsSearchQuery(" 要在列表中查找的内容")) << "only the exact placeholder";
    EXPECT_TRUE(IsSearchQuery(" word "));
}

}  // namespace
