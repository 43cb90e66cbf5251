#pragma once
// TThumbnailGrid, the 9-grid pnlBase: a caption bar over 3 x 3 cells, each showing one of the
// first nine tabs. It covers the tab control while shown and goes away only when a cell showing
// a tab is clicked, which makes that tab current and fills the strip.
#include <gtkmm.h>

#include <array>
#include <memory>

#include "ui/pictures/thumbnail_cell.h"

namespace kivo {

inline constexpr std::chrono::milliseconds kGridRevealTime{150};

class TThumbnailGrid {
  public:
    struct TLinks {
        TThumbnailLinks Tabs;
        // Covers the tab control with the grid (true) or gives it back (false).
        std::function<void(bool shown)> ShowGrid;
        // The size of the tab control the grid covers.
        std::function<std::pair<int, int>()> CoveredSize;
        // Fills and shows the strip.
        std::function<void()> LoadSC8;
    };

    explicit TThumbnailGrid(TLinks links);
    ~TThumbnailGrid();

    Gtk::Widget& Widget() { return pnlBase; }
    bool Showing() const { return showing_; }

    // "9格显示": shows the grid with the first nine tabs' pictures and asks their workers for
    // fresh ones; with at most one tab open it only says so. The grid covers the tabs once the
    // pictures of its files are read, so that it appears whole rather than digit by digit; a slow
    // disk holds it back at most kGridRevealTime.
    void spSC9Click();
    // A tab's page completed: its cell, if it has one, takes the new picture.
    void PageComplete(int tab_index);
    // A fresh picture of the tab was written while the grid is hidden (the strip asked for it):
    // the cell showing the tab takes it, so the grid next shows it without reading.
    void PictureWritten(int32_t tab_handle);
    void img1Click(int k);
    void img1MouseEnter(int k);
    void img1MouseLeave(int k);

    TThumbnailCell& Cell(int k) { return *cells_[k]; }
    const std::string& CaptionText() const { return caption_text_; }
    // Whether pictures are still waiting to be read.
    bool Loading() const { return loader_.Busy(); }

  private:
    void Fill(bool fresh);
    // Covers the tab control with the grid, if it is still wanted and not shown yet.
    void Reveal();
    void pnlSC9Resize(Gtk::Allocation& allocation);
    // The size of a cell's picture.
    std::pair<int, int> ImageSize() const;

    TLinks links_;
    bool showing_ = false;
    sigc::connection reveal_timer_;
    // The size of the cells' pictures at the last filling.
    std::pair<int, int> filled_size_;
    std::string caption_text_;
    Gtk::Box pnlBase{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox pnlSCTop;
    Gtk::Label lblSCTop;
    Gtk::Grid pnlSC9;
    std::array<std::unique_ptr<TThumbnailCell>, 9> cells_;
    TThumbnailLoader loader_;
};

}  // namespace kivo
