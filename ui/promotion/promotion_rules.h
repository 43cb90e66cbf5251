#pragma once
// The rules of the promotion mini window that need no display: which pop-ups of its page may
// open a tab, and the outline its background picture gives the window.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kivo {

// The title of the mini window, shown in it and given to the desktop.
inline constexpr const char* kMiniWindowTitle = "Kivo游戏盒-网页游戏专用多开浏览器 迷你主页";

// Lets through only the pop-ups a user asked for, and few of them: a pop-up opens when the page
// asks in answer to a click or key (the page's gesture), the user has pressed a mouse button or
// a key in the view since the last pop-up opened, and fewer than kPopupBurst have opened within
// the last kPopupSpan. Everything else is dropped, so a page opening fifty windows at once or
// calling window.open in a loop yields one tab per press of the user's, at most a few a second.
class TPopupGate {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPopupBurst = 3;
    static constexpr std::chrono::milliseconds kPopupSpan{2000};

    // A press of a mouse button or a key in the view.
    void UserInput() { input_since_popup_ = true; }
    // Whether a pop-up asked for at `now` opens; an opening counts against the next ones.
    bool Allow(bool page_gesture, Clock::time_point now);

  private:
    bool input_since_popup_ = false;
    std::deque<Clock::time_point> opened_;
};

// Whether a pop-up's address may open as a tab: web pages and the maker's own pages only (no
// local files, scripts or blank pages).
bool IsPopupAddress(const std::string& url);

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
