#pragma once
// TThumbnailStrip, the 8-strip pnlBaseSC8: 145 pixels high at the foot of the tab area, a caption
// bar with the "关闭" link over eight cells showing the first nine tabs other than the current
// one. A cell click makes its tab current, which refreshes the strip.
#include <gtkmm.h>

#include <array>
#include <memory>

#include "ui/pictures/thumbnail_cell.h"

namespace kivo {

class TThumbnailStrip {
  public:
    explicit TThumbnailStrip(TThumbnailLinks links);

    Gtk::Widget& Widget() { return pnlBaseSC8; }
    bool Showing() const { return pnlBaseSC8.get_visible(); }

    // Fills the cells and shows the strip; with `fresh` the shown tabs' workers are asked for
    // new pictures. With at most one tab open it keeps what it shows.
    void LoadSC8(bool fresh = true);
    // A tab's page completed: the strip, when shown, takes the new pictures.
    void PageComplete();
    void img81Click(int k);
    void img81MouseEnter(int k);
    void img81MouseLeave(int k);
    // "关闭": hides the strip; the tab control takes the room back.
    void RzURLLabel2Click();

    TThumbnailCell& Cell(int k) { return *cells_[k]; }
    const std::string& CaptionText() const { return caption_text_; }
    bool Loading() const { return loader_.Busy(); }

  private:
    void pnlBaseSC8Resize(Gtk::Allocation& allocation);
    std::pair<int, int> ImageSize() const;

    TThumbnailLinks links_;
    // The size of the cells' pictures at the last filling.
    std::pair<int, int> filled_size_;
    std::string caption_text_;
    Gtk::Box pnlBaseSC8{Gtk::ORIENTATION_VERTICAL};
    Gtk::EventBox pnlSC8Top;
    Gtk::Box pnlSC8TopRow{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Label lblSC8Top;
    Gtk::LinkButton RzURLLabel2;
    Gtk::Grid pnlSC8;
    std::array<std::unique_ptr<TThumbnailCell>, 8> cells_;
    TThumbnailLoader loader_;
};

}  // namespace kivo
