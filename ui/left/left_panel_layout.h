#pragma once
// The left panel's numbers and its open/close rules: five sections of which one at most is open,
// and the panel that hides to a thin strip.
#include <array>

namespace kivo::catalogue {

inline constexpr int kSectionHeaderHeight = 30;
// Room for the four other headers and the two rows above the sections.
inline constexpr int kOpenSectionReserve = 175;
inline constexpr int kLeftPanelDesignWidth = 187;
inline constexpr int kLeftPanelShownWidth = 185;
inline constexpr int kLeftPanelHiddenWidth = 7;
inline constexpr int kFindRowHeight = 25;
inline constexpr int kBbsRowHeight = 23;
inline constexpr int kSpotStripWidth = 6;
inline constexpr int kSearchBoxLeft = 68;
inline constexpr int kSearchBoxWidth = 107;

// Colours (0xRRGGBB).
inline constexpr unsigned kLeftPanelColour = 0xF3F3F3;
inline constexpr unsigned kLeftInBorderColour = 0x88C5E6;
inline constexpr unsigned kSectionColour = 0x136EB7;

inline constexpr const char* kBbsLinkCaption = "打开游戏慢，不会多开，看这里";

// The sections top to bottom.
enum class Section { History, WebGame, Sns, MiniGames, Favorites };
inline constexpr int kSectionCount = 5;
struct SectionInfo {
    Section section;
    const char* caption;
    bool expanded_at_start;
};
inline constexpr std::array<SectionInfo, kSectionCount> kSections{{
    {Section::History, "最近访问", false},
    {Section::WebGame, "WebGame网页游戏", true},
    {Section::Sns, "SNS社区", false},
    {Section::MiniGames, "小游戏", false},
    {Section::Favorites, "收藏夹", false},
}};

// The height of the open section for a given height of the panel's inner part; never less than
// a header, so a very short window gives no negative size.
int OpenSectionHeight(int left_in_height);

// The top of the two strip buttons that keeps them vertically centred.
inline int SpotButtonTop(int strip_height, int button_height) {
    return strip_height / 2 - button_height / 2;
}

// Which sections are open and how high each is.
class SectionStates {
  public:
    SectionStates();

    // Opens one section and closes the others; the open one fills the panel less the reserve.
    void Expand(Section section, int left_in_height);
    void Collapse(Section section);
    // The first open section takes the height again; with none open nothing changes.
    void Resize(int left_in_height);

    bool Expanded(Section section) const { return expanded_[Index(section)]; }
    int Height(Section section) const { return heights_[Index(section)]; }

  private:
    static int Index(Section section) { return static_cast<int>(section); }
    std::array<bool, kSectionCount> expanded_{};
    std::array<int, kSectionCount> heights_{};
};

// The panel's shown or hidden state and what follows from it.
class LeftPanelToggle {
  public:
    // Starts shown, at the design width.
    int Width() const { return width_; }
    bool Shown() const { return shown_; }
    // Toggles; the new width is 185 when shown and 7 when hidden.
    void Toggle();
    // The toolbar's close button and the strip's upper button show while the panel is shown;
    // the toolbar's open button and the strip's lower button while it is hidden.
    bool CloseButtonsVisible() const { return shown_; }
    bool OpenButtonsVisible() const { return !shown_; }

  private:
    bool shown_ = true;
    int width_ = kLeftPanelDesignWidth;
};

}  // namespace kivo::catalogue
