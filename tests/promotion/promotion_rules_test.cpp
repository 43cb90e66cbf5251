// The mini window's rules: which pop-ups become tabs, and the outline of its picture.
#include "ui/promotion/promotion_rules.h"

#include <gtest/gtest.h>

namespace {

using kivo::ShapeRun;
using kivo::TPopupGate;
using namespace std::chrono_literals;

TEST(PopupGate, OnePopupPerPressOfTheUserAndOnlyInAnswerToIt) {
    TPopupGate gate;
    const auto t0 = TPopupGate::Clock::time_point{} + 1h;
    // A page opening windows on its own, before anyone pressed anything.
    EXPECT_FALSE(gate.Allow(true, t0));
    gate.UserInput();
    EXPECT_FALSE(gate.Allow(false, t0)) << "no gesture of the page's";
    // Fifty at once after one click: the first only.
    int opened = 0;
    for (int i = 0; i < 50; ++i) opened += gate.Allow(true, t0 + 1ms * i);
    EXPECT_EQ(opened, 1);
    // A loop going on long after the click opens nothing more.
    for (int i = 1; i <= 100; ++i) EXPECT_FALSE(gate.Allow(true, t0 + 100ms * i));
}

TEST(PopupGate, QuickClicksOpenAFewThenWaitForTheSpan) {
    TPopupGate gate;
    const auto t0 = TPopupGate::Clock::time_point{} + 1h;
    int opened = 0;
    for (int i = 0; i < 10; ++i) {
        gate.UserInput();
        opened += gate.Allow(true, t0 + 10ms * i);
    }
    EXPECT_EQ(opened, TPopupGate::kPopupBurst);
    // The press that was refused still counts once the span has passed since the first.
    EXPECT_FALSE(gate.Allow(true, t0 + TPopupGate::kPopupSpan - 1ms));
    EXPECT_TRUE(gate.Allow(true, t0 + TPopupGate::kPopupSpan));
}

TEST(PopupAddress, OnlyWebPagesAndTheMakersOwn) {
    for (const char* url : {"http://127.0.0.1:8080/a", "https://example.org/", "HTTP://x/",
                            "kivo://flash.kivo.local/play/0_0.htm"})
        EXPECT_TRUE(kivo::IsPopupAddress(url)) << url;
    for (const char* url : {"", "about:blank", "file:///etc/passwd", "javascript:alert(1)",
                            "data:text/html,x", "http://", "relative/path", "ftp://host/"})
        EXPECT_FALSE(kivo::IsPopupAddress(url)) << url;
}

TEST(ColourKey, RunsSkipTheKeyAndIgnoreTheTopByte) {
    constexpr uint32_t K = 0x101010, W = 0xFFFFFF, B = 0x136EB7;
    // Rows of 5 pixels in a stride of 6 (the last of each row lies outside the picture).
    const uint32_t pixels[] = {
        K,
        W,
        W,
        K,
        K,
        W,  // two runs would merge if the stride were ignored
        W,
        W,
        W,
        W,
        W,
        K,  // the whole row
        K,
        K,
        K,
        K,
        K,
        W,  // nothing
        0xFF000000 | K,
        B,
        K,
        B,
        B,
        K,  // the top byte does not hide the key
    };
    const std::vector<ShapeRun> expected = {{1, 0, 2}, {0, 1, 5}, {1, 3, 1}, {3, 3, 2}};
    EXPECT_EQ(kivo::OpaqueRuns(pixels, 5, 4, 6, K), expected);
    // A key colour given with a top byte means the same colour.
    EXPECT_EQ(kivo::OpaqueRuns(pixels, 5, 4, 6, 0xAB000000 | K), expected);
    // A colour one step off the key is shown.
    const uint32_t near[] = {0x101011, K};
    EXPECT_EQ(kivo::OpaqueRuns(near, 2, 1, 2, K), (std::vector<ShapeRun>{{0, 0, 1}}));
}

}  // namespace
