#include "webcontrol/browser_keys.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace kivo {

namespace {

// The usual steps of a browser's zoom, within the range.
constexpr std::array<int, 13> kZoomSteps{30,  50,  67,  80,  90,  100, 110,
                                         125, 150, 175, 200, 250, 300};

BrowserCommand ControlKeyCommand(uint32_t keyval) {
    switch (keyval) {
        case XK_r:
        case XK_R:
            return BrowserCommand::Reload;
        case XK_f:
        case XK_F:
            return BrowserCommand::Find;
        case XK_equal:
        case XK_plus:
        case XK_KP_Add:
            return BrowserCommand::ZoomIn;
        case XK_minus:
        case XK_underscore:
        case XK_KP_Subtract:
            return BrowserCommand::ZoomOut;
        case XK_0:
        case XK_KP_0:
        case XK_KP_Insert:
            return BrowserCommand::ZoomReset;
        default:
            return BrowserCommand::NoCommand;
    }
}

}  // namespace

BrowserCommand CommandForKey(uint32_t keyval, KeyModifiers modifiers) {
    if (modifiers.alt || modifiers.super)
        return BrowserCommand::NoCommand;
    if (keyval == XK_F5)
        return BrowserCommand::Reload;
    if (!modifiers.control)
        return BrowserCommand::NoCommand;
    return ControlKeyCommand(keyval);
}

BrowserCommand CommandFromWire(int32_t number) {
    if (number < static_cast<int32_t>(BrowserCommand::Reload) ||
        number > static_cast<int32_t>(BrowserCommand::ZoomReset))
        return BrowserCommand::NoCommand;
    return static_cast<BrowserCommand>(number);
}

int ClampZoom(int percent) {
    return std::clamp(percent, kMinZoomPercent, kMaxZoomPercent);
}

int ZoomAfter(BrowserCommand command, int percent) {
    const int current = ClampZoom(percent);
    switch (command) {
        case BrowserCommand::ZoomIn: {
            auto next = std::upper_bound(kZoomSteps.begin(), kZoomSteps.end(), current);
            return next == kZoomSteps.end() ? kMaxZoomPercent : *next;
        }
        case BrowserCommand::ZoomOut: {
            auto next = std::lower_bound(kZoomSteps.begin(), kZoomSteps.end(), current);
            return next == kZoomSteps.begin() ? kMinZoomPercent : *std::prev(next);
        }
        case BrowserCommand::ZoomReset:
            return kDefaultZoomPercent;
        default:
            return current;
    }
}

std::string ZoomCaption(int percent) {
    return "缩放：" + std::to_string(percent) + "%";
}

std::string FindCountCaption(int32_t count) {
    if (count == kTooManyMatches)
        return "超过 " + std::to_string(kMaxFindMatches) + " 处";
    if (count <= 0)
        return "无匹配";
    return "共 " + std::to_string(count) + " 处";
}

}  // namespace kivo
