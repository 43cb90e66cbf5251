#pragma once
// Where a dialog's controls go when they need more room than the dialog was drawn with. The
// drawing gives each control a box; the toolkit's controls may need more than that box at the
// desktop's font and scale. Each axis is stretched where a control needs it: every design edge
// keeps its distance to the edges before it and moves on as far as the controls ending there
// need, so controls that were apart in the drawing stay apart, keep their order and rows, and
// the dialog grows to hold them. Nothing here needs a display.
#include <cstddef>
#include <vector>

namespace kivo {

struct DesignBox {
    int x = 0, y = 0, width = 0, height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
};

struct NeededSize {
    int width = 0, height = 0;
};

// One axis of a drawing: design positions mapped to laid-out ones.
class TStretchedAxis {
  public:
    struct Span {
        int start = 0, end = 0;  // design edges
        int needed = 0;          // the least laid-out length between them
    };
    // `extent` is the drawing's size on this axis (its far edge keeps its margin too).
    TStretchedAxis(int extent, const std::vector<Span>& spans);

    // The laid-out position of a design position; never less than the design one, and in the
    // same order as design positions.
    int Map(int design) const;
    int Extent() const { return Map(extent_); }

  private:
    struct Edge {
        int design, laid_out;
    };
    int extent_;
    std::vector<Edge> edges_;  // ascending design positions
};

class TDesignLayout {
  public:
    TDesignLayout(NeededSize design_size, const std::vector<DesignBox>& boxes,
                  const std::vector<NeededSize>& needed);

    NeededSize Size() const { return {x_.Extent(), y_.Extent()}; }
    // The laid-out box of the control `index`: its design box's edges mapped.
    DesignBox Box(std::size_t index) const;
    int MapX(int design) const { return x_.Map(design); }
    int MapY(int design) const { return y_.Map(design); }

  private:
    std::vector<DesignBox> boxes_;
    TStretchedAxis x_, y_;
};

}  // namespace kivo
