#include "ui/dialogs/dialog_body.h"

#include <algorithm>

namespace kivo {

TDialogBody::TDialogBody(int width, int height) : design_size_{width, height} {}

void TDialogBody::Place(Gtk::Widget& widget, DesignBox box) {
    put(widget, box.x, box.y);
    placed_.push_back({&widget, box});
}

void TDialogBody::Place(Gtk::Widget& widget, int x, int y) {
    int width = 0, height = 0;
    widget.get_size_request(width, height);
    Place(widget, {x, y, std::max(width, 0), std::max(height, 0)});
}

TDesignLayout TDialogBody::Layout() const {
    std::vector<DesignBox> boxes;
    std::vector<NeededSize> needed;
    for (const Placed& placed : placed_) {
        boxes.push_back(placed.box);
        // A hidden control keeps its place in the drawing but needs no room.
        Gtk::Requisition least{0, 0}, natural{0, 0};
        if (placed.widget->get_visible())
            placed.widget->get_preferred_size(least, natural);
        needed.push_back({least.width, least.height});
    }
    return TDesignLayout(design_size_, boxes, needed);
}

Gtk::SizeRequestMode TDialogBody::get_request_mode_vfunc() const {
    return Gtk::SIZE_REQUEST_CONSTANT_SIZE;
}

void TDialogBody::get_preferred_width_vfunc(int& minimum, int& natural) const {
    minimum = natural = Layout().Size().width;
}

void TDialogBody::get_preferred_height_vfunc(int& minimum, int& natural) const {
    minimum = natural = Layout().Size().height;
}

void TDialogBody::get_preferred_width_for_height_vfunc(int, int& minimum, int& natural) const {
    get_preferred_width_vfunc(minimum, natural);
}

void TDialogBody::get_preferred_height_for_width_vfunc(int, int& minimum, int& natural) const {
    get_preferred_height_vfunc(minimum, natural);
}

void TDialogBody::on_size_allocate(Gtk::Allocation& allocation) {
    set_allocation(allocation);
    const TDesignLayout layout = Layout();
    for (size_t i = 0; i < placed_.size(); ++i) {
        if (!placed_[i].widget->get_visible())
            continue;
        const DesignBox box = layout.Box(i);
        Gtk::Allocation child(allocation.get_x() + box.x, allocation.get_y() + box.y, box.width,
                              box.height);
        placed_[i].widget->size_allocate(child);
    }
}

}  // namespace kivo
