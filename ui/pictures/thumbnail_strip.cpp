#include "ui/pictures/thumbnail_strip.h"

#include "ui/pictures/thumbnail_layout.h"

namespace kivo {

TThumbnailStrip::TThumbnailStrip(TThumbnailLinks links)
    : links_(std::move(links)), loader_(links_) {
    pnlBaseSC8.get_accessible()->set_name("八格缩略图");
    pnlBaseSC8.get_style_context()->add_class("kivo-thumb-panel");
    pnlBaseSC8.set_size_request(-1, kStripHeight);
    // Its cells fill the strip, but the strip itself keeps its height: without this their wish
    // to grow would reach the window, which would then take height from the tab's page for it.
    pnlBaseSC8.set_vexpand(false);
    StyleCaptionBar(pnlSC8Top);
    pnlSC8Top.set_size_request(-1, kStripCaptionHeight);
    lblSC8Top.set_xalign(0);
    lblSC8Top.set_margin_start(8);
    lblSC8Top.set_ellipsize(Pango::ELLIPSIZE_END);
    RzURLLabel2.set_label("关闭");
    RzURLLabel2.set_relief(Gtk::RELIEF_NONE);
    RzURLLabel2.set_can_focus(false);
    // Its right end stays 35 pixels from the bar's right end, whatever the width.
    RzURLLabel2.set_margin_end(kStripCloseRight);
    // Before the link's own handler, which would try to open an address and end the signal.
    RzURLLabel2.signal_activate_link().connect(
        [this] {
            RzURLLabel2Click();
            return true;  // no address behind it
        },
        false);
    pnlSC8TopRow.pack_start(lblSC8Top, Gtk::PACK_EXPAND_WIDGET);
    pnlSC8TopRow.pack_end(RzURLLabel2, Gtk::PACK_SHRINK);
    pnlSC8Top.add(pnlSC8TopRow);
    pnlSC8.set_column_homogeneous(true);
    pnlSC8.set_column_spacing(kCellGutter);
    pnlSC8.set_border_width(kCellGutter);
    for (int k = 0; k < kStripCells; ++k) {
        cells_[k] = std::make_unique<TThumbnailCell>(
            k + 1, "小缩略图" + std::to_string(k + 1), [this, k] { img81Click(k); },
            [this, k] { img81MouseEnter(k); }, [this, k] { img81MouseLeave(k); });
        pnlSC8.attach(*cells_[k], k, 0);
    }
    pnlBaseSC8.signal_size_allocate().connect(
        sigc::mem_fun(*this, &TThumbnailStrip::pnlBaseSC8Resize));
    pnlBaseSC8.pack_start(pnlSC8Top, Gtk::PACK_SHRINK);
    pnlBaseSC8.pack_start(pnlSC8, Gtk::PACK_EXPAND_WIDGET);
    pnlBaseSC8.show_all();
    pnlBaseSC8.set_no_show_all(true);
    pnlBaseSC8.hide();
}

std::pair<int, int> TThumbnailStrip::ImageSize() const {
    // Once laid out, the cells tell; before, a share of the area the strip docks in.
    const TThumbnailCell& first = *cells_[0];
    CellRect cell{0, 0, first.get_allocated_width(), first.get_allocated_height()};
    if (cell.width <= 1 || cell.height <= 1) {
        const Gtk::Widget* parent = pnlBaseSC8.get_parent();
        cell = CellOf(parent ? parent->get_allocated_width() : 0,
                      kStripHeight - kStripCaptionHeight, kStripCells, 1, 0);
    }
    return {cell.width - 1 - 2 * kCellBorder, cell.height - 1 - 2 * kCellBorder};
}

void TThumbnailStrip::LoadSC8(bool fresh) {
    const int count = links_.TabCount();
    if (count <= 1)
        return;
    std::vector<TThumbnailCell*> shown;
    const std::vector<int> tabs = StripCellTabs(count, links_.CurrentIndex());
    for (size_t k = 0; k < tabs.size(); ++k) {
        cells_[k]->ShowTab(tabs[k], links_.TabHandle(tabs[k]));
        shown.push_back(cells_[k].get());
    }
    for (size_t k = tabs.size(); k < cells_.size(); ++k) cells_[k]->ShowTab(-1, 0);
    filled_size_ = ImageSize();
    loader_.Load(shown, filled_size_.first, filled_size_.second, fresh);
    pnlBaseSC8.show();
}

void TThumbnailStrip::PageComplete() {
    if (Showing())
        LoadSC8(false);
}

void TThumbnailStrip::pnlBaseSC8Resize(Gtk::Allocation&) {
    // The close link keeps its place at the right end by itself.
    if (Showing() && ImageSize() != filled_size_)
        LoadSC8(false);
}

void TThumbnailStrip::img81Click(int k) {
    const int index = cells_[k]->Tag;
    if (index < 0 || links_.TabHandle(index) == 0)
        return;
    cells_[k]->SetHot(false);
    links_.ActivateTab(index);  // the tab change refreshes the strip
}

void TThumbnailStrip::img81MouseEnter(int k) {
    const int index = cells_[k]->Tag;
    if (index >= 0 && links_.TabHandle(index) != 0) {
        caption_text_ = links_.TabHint(index);
        lblSC8Top.set_text(caption_text_);
    }
    cells_[k]->SetHot(true);
}

void TThumbnailStrip::img81MouseLeave(int k) {
    caption_text_.clear();
    lblSC8Top.set_text("");
    cells_[k]->SetHot(false);
}

void TThumbnailStrip::RzURLLabel2Click() {
    pnlBaseSC8.hide();
    // The tab control takes the room back by itself, and its page follows its size.
}

}  // namespace kivo
