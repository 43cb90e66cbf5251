#include "ui/left/left_panel_layout.h"

#include <algorithm>

namespace kivo::catalogue {

int OpenSectionHeight(int left_in_height) {
    return std::max(kSectionHeaderHeight, left_in_height - kOpenSectionReserve);
}

SectionStates::SectionStates() {
    for (const auto& info : kSections) {
        expanded_[Index(info.section)] = info.expanded_at_start;
        heights_[Index(info.section)] = kSectionHeaderHeight;
    }
}

void SectionStates::Expand(Section section, int left_in_height) {
    for (int i = 0; i < kSectionCount; ++i) {
        if (i != Index(section))
            Collapse(static_cast<Section>(i));
    }
    expanded_[Index(section)] = true;
    heights_[Index(section)] = OpenSectionHeight(left_in_height);
}

void SectionStates::Collapse(Section section) {
    expanded_[Index(section)] = false;
    heights_[Index(section)] = kSectionHeaderHeight;
}

void SectionStates::Resize(int left_in_height) {
    const auto open = std::find(expanded_.begin(), expanded_.end(), true);
    if (open != expanded_.end())
        heights_[open - expanded_.begin()] = OpenSectionHeight(left_in_height);
}

void LeftPanelToggle::Toggle() {
    shown_ = !shown_;
    width_ = shown_ ? kLeftPanelShownWidth : kLeftPanelHiddenWidth;
}

}  // namespace kivo::catalogue
