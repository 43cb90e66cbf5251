#include "ui/window_frame.h"

#include <algorithm>

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
    // Exactly the work area: taking its right and bottom coordinates as the size would push
    // the bottom rows off the screen whenever a panel sits above or left of it.
    return work_area;
}

Bounds CentredBounds(const Bounds& window, const Bounds& work_area) {
    Bounds centred = window;
    centred.Left = std::max(work_area.Left, work_area.Left + (work_area.Width - window.Width) / 2);
    centred.Top = std::max(work_area.Top, work_area.Top + (work_area.Height - window.Height) / 2);
    return centred;
}

AddressBarLayout LayoutAddressBar(int width) {
    AddressBarLayout layout;
    layout.WebMenuLeft = width - kWebMenuWidth;
    layout.GoLeft = layout.WebMenuLeft - 30;
    layout.UrlWidth = std::max(0, width - 185);
    return layout;
}

}  // namespace kivo
