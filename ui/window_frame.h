#pragma once
// The rules of the main window's own frame that need no window: which edge a point grabs, and
// the maximise toggle that fills the work area by itself.
namespace kivo {

enum class HitTest { Default, TopLeft, BottomLeft, BottomRight, TopRight, Left, Bottom, Right, Top };

// The 3-pixel resize bands along the edges of a W x H window, corners first.
inline constexpr int kResizeBand = 3;
HitTest FrameHitTest(int x, int y, int width, int height);

struct Bounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const Bounds&) const = default;
};

// WindowMaximized and RestoreBounds of the main window; the design bounds at start.
class MaximizeToggle {
public:
    bool WindowMaximized() const { return maximized_; }
    const Bounds& RestoreBounds() const { return restore_; }
    // The bounds the window takes: the saved ones when maximised, else the work area.
    Bounds Toggle(const Bounds& current, const Bounds& work_area);

private:
    bool maximized_ = false;
    Bounds restore_{0, 0, 972, 600};
};

// Where the window goes at its first showing: centred on the work area, not left of or above
// the desktop's origin.
Bounds CentredBounds(const Bounds& window, const Bounds& work_area);

// The address row at a given width: the address box from the left, the go button 30 pixels
// before the search panel, and the search panel at the right end.
struct AddressBarLayout {
    int UrlWidth = 0;
    int GoLeft = 0;
    int WebMenuLeft = 0;
};
inline constexpr int kWebMenuWidth = 152;
AddressBarLayout LayoutAddressBar(int width);

}  // namespace kivo
