#pragma once
// The browser keys of a page and what they mean, wherever the key was pressed: in the window's
// own controls or inside the page, whose worker hands the key on. Also the zoom's range and
// steps and the find bar's options. Plain logic, shared by both roles.
#include <cstdint>
#include <string>

namespace kivo {

// What a browser key asks of the window. The numbers cross the connection from the worker:
// they never change.
enum class BrowserCommand : int32_t {
    NoCommand = 0,
    Reload = 1,     // F5, Ctrl+R
    Find = 2,       // Ctrl+F
    ZoomIn = 3,     // Ctrl+= and Ctrl++, Ctrl+wheel up
    ZoomOut = 4,    // Ctrl+- , Ctrl+wheel down
    ZoomReset = 5,  // Ctrl+0
};

struct KeyModifiers {
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool super = false;
};

// The command of a key press (an X key symbol), NoCommand for a key that is the page's own.
BrowserCommand CommandForKey(uint32_t keyval, KeyModifiers modifiers);
// A number received from a worker; NoCommand when it names no command.
BrowserCommand CommandFromWire(int32_t number);

// The zoom of a page, in percent of its natural size.
inline constexpr int kMinZoomPercent = 30;
inline constexpr int kMaxZoomPercent = 300;
inline constexpr int kDefaultZoomPercent = 100;
// Any requested zoom brought into the range.
int ClampZoom(int percent);
// The zoom after a zoom command from `percent`: the next step up or down, or the default.
// Any other command leaves it (clamped).
int ZoomAfter(BrowserCommand command, int percent);
// How the window shows it: "缩放：110%".
std::string ZoomCaption(int percent);

// The options of a search in the page, as they cross the connection.
namespace find_options {
inline constexpr int32_t kMatchCase = 1;
inline constexpr int32_t kBackwards = 2;
// Go on to the next (or previous) match of the search made before with the same text and
// letter case; without it the search starts over and its matches are counted again.
inline constexpr int32_t kAgain = 4;
}  // namespace find_options

// The most matches a search counts; more are reported as kTooManyMatches.
inline constexpr int32_t kMaxFindMatches = 1000;
inline constexpr int32_t kTooManyMatches = -1;
// How the find bar shows a count: "共 3 处", "无匹配", "超过 1000 处".
std::string FindCountCaption(int32_t count);

}  // namespace kivo
