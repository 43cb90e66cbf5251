#pragma once
// The rules of the promotion mini window that need no display: which pop-ups of its page may
// open a tab, and the outline its background picture gives the window.
#include <cstdint>
#include <string>
#include <vector>

#include "webcontrol/page_gates.h"

namespace kivo {

// The title of the mini window, shown in it and given to the desktop.
inline constexpr const char* kMiniWindowTitle = "Kivo游戏盒-网页游戏专用多开浏览器 迷你主页";

// One run of a picture's row that is not of the key colour: the window shows and takes input
// there.
struct ShapeRun {
    int x = 0, y = 0, width = 0;
    bool operator==(const ShapeRun&) const = default;
};

// The runs of every row of a picture of 32-bit pixels (0x00RRGGBB in the low 24 bits, the top
// byte ignored), `stride` pixels from one row to the next, whose colour is not `key`.
std::vector<ShapeRun> OpaqueRuns(const uint32_t* pixels, int width, int height, int stride,
                                 uint32_t key);

}  // namespace kivo
