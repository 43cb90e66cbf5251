#include "ui/pictures/thumbnail_grid.h"

#include "ui/pictures/thumbnail_layout.h"

namespace kivo {

TThumbnailGrid::TThumbnailGrid(TLinks links) : links_(std::move(links)), loader_(links_.Tabs) {
    pnlBase.get_accessible()->set_name("九格缩略图");
    pnlBase.get_style_context()->add_class("kivo-thumb-panel");
    StyleCaptionBar(pnlSCTop);
    pnlSCTop.set_size_request(-1, kGridCaptionHeight);
    lblSCTop.set_xalign(0);
    lblSCTop.set_margin_start(8);
    lblSCTop.set_ellipsize(Pango::ELLIPSIZE_END);
    pnlSCTop.add(lblSCTop);
    pnlSC9.set_row_homogeneous(true);
    pnlSC9.set_column_homogeneous(true);
    pnlSC9.set_row_spacing(kCellGutter);
    pnlSC9.set_column_spacing(kCellGutter);
    pnlSC9.set_border_width(kCellGutter);
    for (int k = 0; k < 9; ++k) {
        cells_[k] = std::make_unique<TThumbnailCell>(
            k + 1, "缩略图" + std::to_string(k + 1), [this, k] { img1Click(k); },
            [this, k] { img1MouseEnter(k); }, [this, k] { img1MouseLeave(k); });
        pnlSC9.attach(*cells_[k], k % kGridColumns, k / kGridColumns);
    }
    pnlSC9.signal_size_allocate().connect(sigc::mem_fun(*this, &TThumbnailGrid::pnlSC9Resize));
    pnlBase.pack_start(pnlSCTop, Gtk::PACK_SHRINK);
    pnlBase.pack_start(pnlSC9, Gtk::PACK_EXPAND_WIDGET);
    pnlBase.show_all();
    pnlBase.set_no_show_all(true);
    pnlBase.hide();
}

TThumbnailGrid::~TThumbnailGrid() {
    reveal_timer_.disconnect();
}

std::pair<int, int> TThumbnailGrid::ImageSize() const {
    // Once laid out, the cells tell; before, the panel's share of the area it will cover.
    const TThumbnailCell& first = *cells_[0];
    CellRect cell{0, 0, first.get_allocated_width(), first.get_allocated_height()};
    if (cell.width <= 1 || cell.height <= 1) {
        const auto [w, h] = links_.CoveredSize();
        cell = CellOf(w, h - kGridCaptionHeight, kGridColumns, kGridRows, 0);
    }
    return {cell.width - 1 - 2 * kCellBorder, cell.height - 1 - 2 * kCellBorder};
}

void TThumbnailGrid::spSC9Click() {
    if (links_.Tabs.TabCount() <= 1) {
        links_.Tabs.ShowInfo("请您在至少打开2个以上的地址时使用此功能！", "提示");
        return;
    }
    showing_ = true;
    // Until the grid has been laid out, its size is that of the tab area it covers.
    Fill(true);
    if (!pnlBase.get_visible() && !reveal_timer_.connected()) {
        reveal_timer_ = Glib::signal_timeout().connect(
            [this] {
                Reveal();
                return false;
            },
            static_cast<unsigned>(kGridRevealTime.count()));
    }
}

void TThumbnailGrid::Reveal() {
    reveal_timer_.disconnect();
    if (!showing_ || pnlBase.get_visible())
        return;
    links_.ShowGrid(true);
    pnlBase.show();
}

void TThumbnailGrid::Fill(bool fresh) {
    std::vector<TThumbnailCell*> shown;
    const std::vector<int> tabs = GridCellTabs(links_.Tabs.TabCount());
    for (size_t k = 0; k < tabs.size(); ++k) {
        cells_[k]->ShowTab(tabs[k], links_.Tabs.TabHandle(tabs[k]));
        shown.push_back(cells_[k].get());
    }
    for (size_t k = tabs.size(); k < cells_.size(); ++k) cells_[k]->ShowTab(-1, 0);
    filled_size_ = ImageSize();
    loader_.Load(shown, filled_size_.first, filled_size_.second, fresh, [this] { Reveal(); });
}

void TThumbnailGrid::pnlSC9Resize(Gtk::Allocation&) {
    // A new size refreshes the grid from the files; no message when tabs have gone meanwhile.
    if (showing_ && links_.Tabs.TabCount() > 1 && ImageSize() != filled_size_)
        Fill(false);
}

void TThumbnailGrid::PageComplete(int tab_index) {
    if (tab_index < 0 || tab_index >= 9)
        return;  // no cell for it
    TThumbnailCell& cell = *cells_[tab_index];
    // The cell follows the tab at its place, as the grid's next refresh would.
    cell.ShowTab(tab_index, links_.Tabs.TabHandle(tab_index));
    const auto [w, h] = ImageSize();
    loader_.LoadOne(cell, w, h);
}

void TThumbnailGrid::PictureWritten(int32_t tab_handle) {
    if (showing_ || tab_handle == 0)
        return;  // a grid on show asked for the picture itself
    for (auto& cell : cells_) {
        if (cell->ShownHandle == tab_handle && links_.Tabs.TabHandle(cell->Tag) == tab_handle) {
            const auto [w, h] = ImageSize();
            loader_.LoadOne(*cell, w, h);
        }
    }
}

void TThumbnailGrid::img1Click(int k) {
    const int index = cells_[k]->Tag;
    if (index < 0 || links_.Tabs.TabHandle(index) == 0)
        return;  // an empty cell
    showing_ = false;
    cells_[k]->SetHot(false);
    lblSCTop.set_text("");
    caption_text_.clear();
    pnlBase.hide();
    links_.ShowGrid(false);
    links_.Tabs.ActivateTab(index);
    links_.LoadSC8();
}

void TThumbnailGrid::img1MouseEnter(int k) {
    const int index = cells_[k]->Tag;
    if (index >= 0 && links_.Tabs.TabHandle(index) != 0) {
        caption_text_ = links_.Tabs.TabHint(index);
        lblSCTop.set_text(caption_text_);
    }
    cells_[k]->SetHot(true);
}

void TThumbnailGrid::img1MouseLeave(int k) {
    caption_text_.clear();
    lblSCTop.set_text("");
    cells_[k]->SetHot(false);
}

}  // namespace kivo
