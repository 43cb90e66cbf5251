#include "ui/dialogs/dialog_layout.h"

#include <algorithm>

namespace kivo {

TStretchedAxis::TStretchedAxis(int extent, const std::vector<Span>& spans) : extent_(extent) {
    std::vector<int> design{0, extent};
    for (const Span& span : spans) {
        design.push_back(span.start);
        design.push_back(span.end);
    }
    std::sort(design.begin(), design.end());
    design.erase(std::unique(design.begin(), design.end()), design.end());
    // Edges in design order: each is as far from the one before as in the drawing, and as far
    // from the start of every span ending there as that span needs. Spans start before they
    // end, so every start is placed before the spans that end later need it.
    for (const int at : design) {
        int laid_out = edges_.empty() ? at : edges_.back().laid_out + (at - edges_.back().design);
        for (const Span& span : spans)
            if (span.end == at && span.start < span.end)
                laid_out = std::max(laid_out, Map(span.start) + span.needed);
        edges_.push_back({at, laid_out});
    }
}

int TStretchedAxis::Map(int design) const {
    // The last edge at or before the position; between edges the drawing's distances hold.
    auto after = std::upper_bound(edges_.begin(), edges_.end(), design,
                                  [](int at, const Edge& edge) { return at < edge.design; });
    if (after == edges_.begin())
        return design;
    const Edge& before = *(after - 1);
    return before.laid_out + (design - before.design);
}

namespace {

std::vector<TStretchedAxis::Span> Spans(const std::vector<DesignBox>& boxes,
                                        const std::vector<NeededSize>& needed, bool across) {
    std::vector<TStretchedAxis::Span> spans;
    for (size_t i = 0; i < boxes.size() && i < needed.size(); ++i) {
        const DesignBox& box = boxes[i];
        if (across)
            spans.push_back({box.x, box.Right(), needed[i].width});
        else
            spans.push_back({box.y, box.Bottom(), needed[i].height});
    }
    return spans;
}

}  // namespace

TDesignLayout::TDesignLayout(NeededSize design_size, const std::vector<DesignBox>& boxes,
                             const std::vector<NeededSize>& needed)
    : boxes_(boxes),
      x_(design_size.width, Spans(boxes, needed, true)),
      y_(design_size.height, Spans(boxes, needed, false)) {}

DesignBox TDesignLayout::Box(size_t index) const {
    const DesignBox& box = boxes_.at(index);
    const int x = x_.Map(box.x), y = y_.Map(box.y);
    return {x, y, x_.Map(box.Right()) - x, y_.Map(box.Bottom()) - y};
}

}  // namespace kivo
