// The browser keys' meaning and the zoom's steps, as plain logic.
#include "webcontrol/browser_keys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

using kivo::BrowserCommand;
using kivo::CommandForKey;
using kivo::KeyModifiers;

constexpr KeyModifiers kNone{};
constexpr KeyModifiers kCtrl{.control = true};
constexpr KeyModifiers kCtrlShift{.control = true, .shift = true};

TEST(BrowserKeys, EachKeyOfAUsualBrowserMeansItsCommandAndOthersStayThePages) {
    EXPECT_EQ(CommandForKey(XK_F5, kNone), BrowserCommand::Reload);
    EXPECT_EQ(CommandForKey(XK_F5, kCtrl), BrowserCommand::Reload);
    EXPECT_EQ(CommandForKey(XK_r, kCtrl), BrowserCommand::Reload);
    // Caps Lock or Shift turn the letter upper case.
    EXPECT_EQ(CommandForKey(XK_R, kCtrlShift), BrowserCommand::Reload);
    EXPECT_EQ(CommandForKey(XK_F, kCtrl), BrowserCommand::Find);
    // Ctrl+= and Ctrl++ (Shift on the same key, or the keypad), Ctrl+- and Ctrl+0.
    EXPECT_EQ(CommandForKey(XK_equal, kCtrl), BrowserCommand::ZoomIn);
    EXPECT_EQ(CommandForKey(XK_plus, kCtrlShift), BrowserCommand::ZoomIn);
    EXPECT_EQ(CommandForKey(XK_KP_Add, kCtrl), BrowserCommand::ZoomIn);
    EXPECT_EQ(CommandForKey(XK_minus, kCtrl), BrowserCommand::ZoomOut);
    EXPECT_EQ(CommandForKey(XK_KP_Subtract, kCtrl), BrowserCommand::ZoomOut);
    EXPECT_EQ(CommandForKey(XK_0, kCtrl), BrowserCommand::ZoomReset);
    EXPECT_EQ(CommandForKey(XK_KP_0, kCtrl), BrowserCommand::ZoomReset);

    // Typing into a page, and chords with Alt or Super (the boss keys' kind), stay the page's.
    EXPECT_EQ(CommandForKey(XK_r, kNone), BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_equal, kNone), BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_0, kNone), BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_F5, KeyModifiers{.alt = true}), BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_f, KeyModifiers{.control = true, .alt = true}),
              BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_r, KeyModifiers{.control = true, .super = true}),
              BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_b, kCtrl), BrowserCommand::NoCommand);
    EXPECT_EQ(CommandForKey(XK_F6, kNone), BrowserCommand::NoCommand);
}

TEST(BrowserKeys, OnlyKnownCommandNumbersFromAWorkerCount) {
    EXPECT_EQ(kivo::CommandFromWire(1), BrowserCommand::Reload);
    EXPECT_EQ(kivo::CommandFromWire(5), BrowserCommand::ZoomReset);
    for (int32_t number : {0, 6, -1, 1 << 30})
        EXPECT_EQ(kivo::CommandFromWire(number), BrowserCommand::NoCommand);
}

TEST(Zoom, StepsStayInTheRangeWhateverWasAsked) {
    using kivo::ZoomAfter;
    EXPECT_EQ(kivo::ClampZoom(1000), 300);
    EXPECT_EQ(kivo::ClampZoom(0), 30);
    EXPECT_EQ(kivo::ClampZoom(-100), 30);
    EXPECT_EQ(kivo::ClampZoom(175), 175);

    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomIn, 100), 110);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomOut, 100), 90);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomOut, 90), 80);
    // Between two steps: to the nearest step in that direction.
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomIn, 105), 110);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomOut, 105), 100);
    // At the ends, and from outside the range.
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomIn, 300), 300);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomOut, 30), 30);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomIn, 1000), 300);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomOut, 1000), 250);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomIn, -5), 50);
    EXPECT_EQ(ZoomAfter(BrowserCommand::ZoomReset, 250), 100);
    EXPECT_EQ(ZoomAfter(BrowserCommand::Reload, 1000), 300);

    // Walking up from the smallest reaches the largest and never passes it.
    int zoom = kivo::kMinZoomPercent, steps = 0;
    while (zoom < kivo::kMaxZoomPercent && steps < 100) {
        const int next = ZoomAfter(BrowserCommand::ZoomIn, zoom);
        EXPECT_GT(next, zoom);
        zoom = next;
        ++steps;
    }
    EXPECT_EQ(zoom, kivo::kMaxZoomPercent);
}

TEST(Zoom, CaptionsOfTheZoomAndTheFindCount) {
    EXPECT_EQ(kivo::ZoomCaption(110), "缩放：110%");
    EXPECT_EQ(kivo::FindCountCaption(3), "共 3 处");
    EXPECT_EQ(kivo::FindCountCaption(0), "无匹配");
    EXPECT_EQ(kivo::FindCountCaption(kivo::kTooManyMatches), "超过 1000 处");
}

}  // namespace
