#pragma once
// The left panel: the search strip, the help link, the five sections of which one at most is
// open, and the thin strip that hides and shows the whole panel. The sections are empty
// containers; the window puts each section's region (the trees, the lists) into them.
#include <gtkmm.h>

#include <array>
#include <functional>
#include <memory>

#include "ui/left/left_panel_layout.h"
#include "ui/left/left_host.h"

namespace kivo {

class TLeftPanel {
  public:
    explicit TLeftPanel(TLeftPanelHost& host);
    ~TLeftPanel();
    TLeftPanel(const TLeftPanel&) = delete;
    TLeftPanel& operator=(const TLeftPanel&) = delete;

    // pnlLeft, the widget the window places at its left edge.
    Gtk::Widget& Widget() { return pnlLeft; }

    // Puts a region's widget into a section (replacing what was there).
    void SetSectionContent(catalogue::Section section, Gtk::Widget& content);

    // Opens one section and closes the others, or closes one.
    void Expand(catalogue::Section section);
    void Collapse(catalogue::Section section);
    bool Expanded(catalogue::Section section) const { return states_.Expanded(section); }
    int SectionHeight(catalogue::Section section) const { return states_.Height(section); }
    // Called when a section opens (the favorites tree repaints then).
    std::function<void(catalogue::Section)> OnSectionExpanded;

    // The show/hide toggle of the strip's buttons and the toolbar's two panel buttons.
    void btnSpotClick();
    bool Shown() const { return toggle_.Shown(); }
    int PanelWidth() const { return toggle_.Width(); }
    // Called after each toggle so the window shows btnLeftCLose or btnLeftOpen.
    std::function<void(bool shown)> OnShownChanged;

    // The help link's click (the page it opens is the window's).
    std::function<void()> OnGoBBSClick;

    Gtk::Entry& SearchBox() { return edtFindGrpGame; }
    // The find button, F4 and Enter: a search when the text is a query.
    void edtFindGrpGameButtonClick();
    // Lays the open section out again for the inner part's height.
    void CategoryPanelGroup1Resize(int left_in_height);

    Gtk::Button& SpotButton(bool hide_button) { return hide_button ? btnSpot : btnSpot1; }
    Gtk::Button& SectionHeader(catalogue::Section section);

  private:
    struct SectionBox;

    void BuildSearchStrip();
    void BuildBbsRow();
    void BuildSections();
    void ApplySections();
    void ApplyToggle();
    bool edtFindGrpGameClick(GdkEventButton* event);
    void edtFindGrpGameChange();
    bool edtFindGrpGameKeyPress(GdkEventKey* event);
    void actLoadWebGamePnlLikeExecute();
    void pnlLeftInResize(Gtk::Allocation& allocation);
    void pnlSpotResize(Gtk::Allocation& allocation);
    void SectionHeaderClick(catalogue::Section section);

    TLeftPanelHost& host_;
    catalogue::SectionStates states_;
    catalogue::LeftPanelToggle toggle_;
    int left_in_height_ = 0;
    int spot_height_ = 0;
    // Layout deferred to the next idle moment; dropped with the panel.
    sigc::connection resize_idle_;
    sigc::connection spot_idle_;

    Gtk::Box pnlLeft{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Box pnlLeftIn{Gtk::ORIENTATION_VERTICAL};
    Gtk::Box pnlFindEdt{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Image Image1;
    Gtk::Entry edtFindGrpGame;
    Gtk::EventBox pnlGoBBS;
    Gtk::Label lblGoBBS;
    Gtk::ScrolledWindow CategoryPanelGroup1;
    Gtk::Box groupBox{Gtk::ORIENTATION_VERTICAL};
    std::array<std::unique_ptr<SectionBox>, catalogue::kSectionCount> sections_;
    Gtk::Fixed pnlSpot;
    Gtk::Button btnSpot;
    Gtk::Button btnSpot1;
};

}  // namespace kivo
