#include "ui/window_frame.h"

namespace kivo {

HitTest FrameHitTest(int x, int y, int width, int height) {
    const bool left = x < kResizeBand;
    const bool top = y < kResizeBand;
    const bool right = width - x < kResizeBand;
    const bool bottom = height - y < kResizeBand;
    if (left && top) return HitTest::TopLeft;
    if (left && bottom) return HitTest::BottomLeft;
    if (right && bottom) return HitTest::BottomRight;
    if (right && top) return HitTest::TopRight;
    if (left) return HitTest::Left;
    if (bottom) return HitTest::Bottom;
    if (right) return HitTest::Right;
    if (top) return HitTest::Top;
    return HitTest::Default;
}

Bounds MaximizeToggle::Toggle(const Bounds& current, const Bounds& work_area) {
    if (maximized_) {
        maximized_ = false;
        return restore_;
    }
    restore_ = current;
    maximized_ = true;
    // The work area's right and bottom coordinates serve as width and height, as the window
    // always did; with a work area at (0, 0) that is its size.
    return {work_area.Left, work_area.Top, work_area.Left + work_area.Width,
            work_area.Top + work_area.Height};
}

}  // namespace kivo
