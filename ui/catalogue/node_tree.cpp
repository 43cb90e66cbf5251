#include "ui/catalogue/node_tree.h"

#include <array>
#include <cmath>
#include <memory>
#include <utility>

namespace kivo::catalogue {

namespace {

constexpr int kColumnWidth = 176;

Glib::RefPtr<Gdk::Pixbuf> DrawIcon(int index) {
    auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, 16, 16);
    auto cr = Cairo::Context::create(surface);
    cr->set_line_width(2);
    switch (index) {
        case kIconGame:  // a pad with two buttons
            cr->set_source_rgb(0x13 / 255.0, 0x6E / 255.0, 0xB7 / 255.0);
            cr->rectangle(1, 4, 14, 9);
            cr->fill();
            cr->set_source_rgb(1, 1, 1);
            cr->rectangle(3, 8, 4, 1);
            cr->rectangle(4.5, 6.5, 1, 4);
            cr->fill();
            cr->arc(11, 7.5, 1, 0, 2 * M_PI);
            cr->arc(12.5, 9.5, 1, 0, 2 * M_PI);
            cr->fill();
            break;
        case kIconAddress:  // a globe
            cr->set_source_rgb(0.2, 0.55, 0.2);
            cr->arc(8, 8, 6, 0, 2 * M_PI);
            cr->stroke();
            cr->set_line_width(1);
            cr->move_to(2, 8);
            cr->line_to(14, 8);
            cr->move_to(8, 2);
            cr->line_to(8, 14);
            cr->stroke();
            break;
        case kIconAdd:  // a plus
            cr->set_source_rgb(0.1, 0.6, 0.1);
            cr->rectangle(7, 2, 2, 12);
            cr->rectangle(2, 7, 12, 2);
            cr->fill();
            break;
        default:  // a cross, for clearing
            cr->set_source_rgb(0.8, 0.1, 0.1);
            cr->move_to(3, 3);
            cr->line_to(13, 13);
            cr->move_to(13, 3);
            cr->line_to(3, 13);
            cr->stroke();
            break;
    }
    return Gdk::Pixbuf::create(surface, 0, 0, 16, 16);
}

// Whether two paths name the same row; the empty path (no row) is only the same as itself. The
// toolkit's comparison takes no empty path.
bool SameRow(const Gtk::TreeModel::Path& a, const Gtk::TreeModel::Path& b) {
    if (a.empty() || b.empty())
        return a.empty() && b.empty();
    return a == b;
}

}  // namespace

Glib::RefPtr<Gdk::Pixbuf> TreeIcon(int index) {
    static std::array<Glib::RefPtr<Gdk::Pixbuf>, 4> icons;
    const auto at = static_cast<std::size_t>(index < 0 || index > 3 ? 3 : index);
    if (!icons[at])
        icons[at] = DrawIcon(static_cast<int>(at));
    return icons[at];
}

TNodeTree::Columns::Columns() {
    add(entry);
    add(child);
}

TNodeTree::TNodeTree(TContextNode& context, const std::string& name)
    : context_(context), store_(Gtk::TreeStore::create(columns_)) {
    // One fixed column: the icon, the caption and the hint in red after it.
    column_.pack_start(icon_cell_, false);
    column_.pack_start(name_cell_, false);
    column_.pack_start(hint_cell_, true);
    // Each row's caption takes its own width, so that its hint follows it closely.
    gtk_cell_area_cell_set(column_.get_area()->gobj(), GTK_CELL_RENDERER(name_cell_.gobj()),
                           "fixed-size", FALSE, nullptr);
    column_.set_cell_data_func(
        icon_cell_, [this](Gtk::CellRenderer* cell, const Gtk::TreeModel::iterator& row) {
            static_cast<Gtk::CellRendererPixbuf*>(cell)->property_pixbuf() =
                TreeIcon(IconIndex(NodeRef(row)));
        });
    // The texts are read from the node when a row is drawn; the row under the pointer is
    // underlined (hot tracking).
    column_.set_cell_data_func(
        name_cell_, [this](Gtk::CellRenderer* cell, const Gtk::TreeModel::iterator& row) {
            auto* text = static_cast<Gtk::CellRendererText*>(cell);
            text->property_text() = NodeRef(row).Name;
            const bool hot = SameRow(store_->get_path(row), hot_path_);
            text->property_underline() = hot ? Pango::UNDERLINE_SINGLE : Pango::UNDERLINE_NONE;
        });
    hint_cell_.property_foreground() = "#FF0000";
    column_.set_cell_data_func(
        hint_cell_, [this](Gtk::CellRenderer* cell, const Gtk::TreeModel::iterator& row) {
            static_cast<Gtk::CellRendererText*>(cell)->property_text() = NodeRef(row).Hint;
        });
    column_.set_sizing(Gtk::TREE_VIEW_COLUMN_FIXED);
    column_.set_fixed_width(kColumnWidth);
    view_.append_column(column_);
    view_.set_headers_visible(false);
    view_.set_fixed_height_mode(true);
    view_.set_enable_search(false);
    view_.set_model(store_);
    view_.get_selection()->set_mode(Gtk::SELECTION_SINGLE);
    view_.get_accessible()->set_name(name);
    view_.add_events(Gdk::POINTER_MOTION_MASK | Gdk::LEAVE_NOTIFY_MASK | Gdk::BUTTON_PRESS_MASK |
                     Gdk::BUTTON_RELEASE_MASK);
    view_.signal_button_press_event().connect(sigc::mem_fun(*this, &TNodeTree::ViewButtonPress),
                                              false);
    view_.signal_button_release_event().connect(sigc::mem_fun(*this, &TNodeTree::ViewButtonRelease),
                                                false);
    view_.signal_motion_notify_event().connect(sigc::mem_fun(*this, &TNodeTree::ViewMotion), false);
    view_.signal_leave_notify_event().connect(sigc::mem_fun(*this, &TNodeTree::ViewLeave), false);
    view_.signal_row_activated().connect(sigc::mem_fun(*this, &TNodeTree::ViewRowActivated));
    view_.signal_realize().connect(sigc::mem_fun(*this, &TNodeTree::ViewRealize));
    scroller_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    scroller_.add(view_);
}

TNodeTree::~TNodeTree() {
    pending_click_.disconnect();
}

GtkTreeIter TNodeTree::InsertFirst(const Glib::RefPtr<Gtk::TreeStore>& store, GtkTreeIter* parent,
                                   guint entry, gint child) const {
    GtkTreeIter row;
    gtk_tree_store_insert_with_values(store->gobj(), &row, parent, 0, columns_.entry.index(), entry,
                                      columns_.child.index(), child, -1);
    return row;
}

void TNodeTree::StoreNode(const CatalogueNode& node, const Gtk::TreeModel::iterator& row) {
    NodeRef(row) = node;
    store_->row_changed(store_->get_path(row), row);
}

CatalogueNode& TNodeTree::NodeRef(const Gtk::TreeModel::iterator& row) const {
    const guint entry = (*row)[columns_.entry];
    const gint child = (*row)[columns_.child];
    CatalogueEntry& game = const_cast<CatalogueEntry&>(list_.at(entry));
    return child < 0 ? game.node : game.children.at(static_cast<std::size_t>(child));
}

CatalogueNode TNodeTree::NodeAt(const Gtk::TreeModel::iterator& row) const {
    return NodeRef(row);
}

void TNodeTree::Fill(CatalogueList list) {
    // A new store is filled while no view watches it, then shown: far quicker than rows added
    // one by one to a shown tree.
    if (context_.ContextTree == this)
        context_.Clear();
    hot_path_.clear();
    // The old rows and nodes are let go once the new ones are on the screen.
    auto old_list = std::make_shared<CatalogueList>(std::move(list_));
    Glib::RefPtr<Gtk::TreeStore> old_store = store_;
    list_ = std::move(list);
    auto store = Gtk::TreeStore::create(columns_);
    // Rows are put in last to first, each at the front of its list: finding a row's place
    // then costs nothing, where appending walks the whole list for every row.
    for (auto entry = static_cast<gint>(list_.size()) - 1; entry >= 0; --entry) {
        GtkTreeIter parent = InsertFirst(store, nullptr, entry, -1);
        for (auto child = static_cast<gint>(list_[entry].children.size()) - 1; child >= 0; --child)
            InsertFirst(store, &parent, entry, child);
    }
    store_ = store;
    view_.set_model(store_);
    Glib::signal_idle().connect_once([old_list, old_store] {}, Glib::PRIORITY_LOW);
    // Games start unfolded.
    for (const auto& row : store_->children()) {
        if (StartsExpanded(NodeAt(row)) && !row.children().empty())
            view_.expand_row(store_->get_path(row), false);
    }
}

Gtk::TreeModel::iterator TNodeTree::FindByName(const std::string& name) const {
    for (const auto& game : store_->children()) {
        if (NodeRef(game).Name == name)
            return game;
        for (const auto& child : game.children()) {
            if (NodeRef(child).Name == name)
                return child;
        }
    }
    return store_->children().end();
}

Gtk::TreeModel::iterator TNodeTree::RowAtPointer(double x, double y) const {
    Gtk::TreeModel::Path path;
    Gtk::TreeViewColumn* column = nullptr;
    int cell_x = 0, cell_y = 0;
    if (!const_cast<Gtk::TreeView&>(view_).get_path_at_pos(static_cast<int>(x), static_cast<int>(y),
                                                           path, column, cell_x, cell_y))
        return {};
    return store_->get_iter(path);
}

// ---- mouse ----

bool TNodeTree::ViewButtonPress(GdkEventButton* event) {
    // The second click of a double click toggles the node (row-activated) and opens nothing.
    if (event->button == 1)
        double_click_ = event->type == GDK_2BUTTON_PRESS;
    if (event->button != 3 || event->type != GDK_BUTTON_PRESS)
        return false;
    MouseDown(RowAtPointer(event->x, event->y), event);
    return true;
}

bool TNodeTree::ViewButtonRelease(GdkEventButton* event) {
    if (event->button != 1 || double_click_)
        return false;
    // The press that started the click selected the row it landed on.
    auto row = RowAtPointer(event->x, event->y);
    if (!row || !view_.get_selection()->is_selected(row))
        return false;
    // Acted on once the tree has finished with the release: the click may show dialogs and
    // reload the tree.
    pending_click_.disconnect();
    pending_click_ =
        Glib::signal_idle().connect([this, store = store_, path = store_->get_path(row)] {
            if (store == store_)
                Click(store_->get_iter(path));
            return false;
        });
    return false;
}

bool TNodeTree::ViewMotion(GdkEventMotion* event) {
    auto row = RowAtPointer(event->x, event->y);
    Gtk::TreeModel::Path path = row ? store_->get_path(row) : Gtk::TreeModel::Path();
    if (!SameRow(path, hot_path_)) {
        hot_path_ = path;
        view_.queue_draw();
    }
    return false;
}

bool TNodeTree::ViewLeave(GdkEventCrossing*) {
    if (!hot_path_.empty()) {
        hot_path_.clear();
        view_.queue_draw();
    }
    return false;
}

void TNodeTree::ViewRowActivated(const Gtk::TreeModel::Path& path, Gtk::TreeViewColumn*) {
    if (view_.row_expanded(path))
        view_.collapse_row(path);
    else
        view_.expand_row(path, false);
}

void TNodeTree::ViewRealize() {
    if (auto bin = view_.get_bin_window())
        bin->set_cursor(Gdk::Cursor::create(view_.get_display(), Gdk::HAND2));
}

void TNodeTree::LoadWith(data::TDISQLite3Database* db, const ListLoader& load) {
    CatalogueList list;
    if (!db) {
        Fill(std::move(list));
        return;
    }
    try {
        load(*db, list);
    } catch (...) {
        Fill(std::move(list));
        throw;
    }
    Fill(std::move(list));
}

void TNodeTree::TakeContext(const Gtk::TreeModel::iterator& row) {
    context_.Clear();
    if (!row)
        return;
    context_.ContextTree = this;
    context_.ContextNode = Gtk::TreeRowReference(store_, store_->get_path(row));
    view_.get_selection()->select(row);
}

bool TNodeTree::ContextNodes(CatalogueNode& node, std::optional<CatalogueNode>& parent) const {
    Gtk::TreeModel::iterator row;
    if (!ContextRow(row, node))
        return false;
    const auto parent_row = row->parent();
    parent = parent_row ? std::optional(NodeAt(parent_row)) : std::nullopt;
    return true;
}

bool TNodeTree::ContextRow(Gtk::TreeModel::iterator& row, CatalogueNode& node) const {
    if (context_.Empty() || context_.ContextTree != this ||
        context_.ContextNode.get_model() != store_)
        return false;
    row = store_->get_iter(context_.ContextNode.get_path());
    if (!row)
        return false;
    node = NodeAt(row);
    return true;
}

}  // namespace kivo::catalogue
