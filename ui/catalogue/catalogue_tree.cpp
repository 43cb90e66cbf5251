#include "ui/catalogue/catalogue_tree.h"

#include <array>
#include <cmath>
#include <utility>

#include "ui/accounts/quick_login_menu.h"
#include "ui/catalogue/catalogue_edit.h"
#include "ui/catalogue/frm_save_url.h"
#include "ui/left/left_host.h"

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

void Unlabelled(Gtk::MenuItem& item, const char* caption) {
    item.set_use_underline(false);
    item.set_label(caption);
    item.get_accessible()->set_name(caption);
}

}  // namespace

Glib::RefPtr<Gdk::Pixbuf> TreeIcon(int index) {
    static std::array<Glib::RefPtr<Gdk::Pixbuf>, 4> icons;
    const auto at = static_cast<std::size_t>(index < 0 || index > 3 ? 3 : index);
    if (!icons[at])
        icons[at] = DrawIcon(static_cast<int>(at));
    return icons[at];
}

TCatalogueTree::Columns::Columns() {
    add(entry);
    add(child);
}

TCatalogueTree::TCatalogueTree(TLeftPanelHost& host, const CatalogueTreeKind& kind,
                               TContextNode& context, std::function<void()> reload_catalogue)
    : host_(host),
      kind_(kind),
      context_(context),
      reload_catalogue_(std::move(reload_catalogue)),
      store_(Gtk::TreeStore::create(columns_)) {
    // One fixed column: the icon, the caption and the hint in red after it.
    column_.pack_start(icon_cell_, false);
    column_.pack_start(name_cell_, false);
    column_.pack_start(hint_cell_, true);
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
            const bool hot = !hot_path_.empty() && store_->get_path(row) == hot_path_;
            text->property_underline() = hot ? Pango::UNDERLINE_SINGLE : Pango::UNDERLINE_NONE;
        });
    hint_cell_.property_foreground() = "#FF0000";
    column_.set_cell_data_func(
        hint_cell_, [this](Gtk::CellRenderer* cell, const Gtk::TreeModel::iterator& row) {
            static_cast<Gtk::CellRendererText*>(cell)->property_text() = NodeRef(row).Hint;
        });
    column_.set_sizing(Gtk::TREE_VIEW_COLUMN_FIXED);
    column_.set_fixed_width(kColumnWidth);
    vstWebGame.append_column(column_);
    vstWebGame.set_headers_visible(false);
    vstWebGame.set_fixed_height_mode(true);
    vstWebGame.set_enable_search(false);
    vstWebGame.set_model(store_);
    vstWebGame.get_selection()->set_mode(Gtk::SELECTION_SINGLE);
    // Named after its section: "WebGame网页游戏" or "SNS社区".
    vstWebGame.get_accessible()->set_name(
        kGameCategories[kind.category == kSnsTree.category].caption);
    vstWebGame.add_events(Gdk::POINTER_MOTION_MASK | Gdk::LEAVE_NOTIFY_MASK |
                          Gdk::BUTTON_PRESS_MASK | Gdk::BUTTON_RELEASE_MASK);
    vstWebGame.signal_button_press_event().connect(
        sigc::mem_fun(*this, &TCatalogueTree::vstWebGameButtonPress), false);
    vstWebGame.signal_button_release_event().connect(
        sigc::mem_fun(*this, &TCatalogueTree::vstWebGameButtonRelease), false);
    vstWebGame.signal_motion_notify_event().connect(
        sigc::mem_fun(*this, &TCatalogueTree::vstWebGameMotion), false);
    vstWebGame.signal_leave_notify_event().connect(
        sigc::mem_fun(*this, &TCatalogueTree::vstWebGameLeave), false);
    vstWebGame.signal_row_activated().connect(
        sigc::mem_fun(*this, &TCatalogueTree::vstWebGameRowActivated));
    vstWebGame.signal_realize().connect(sigc::mem_fun(*this, &TCatalogueTree::vstWebGameRealize));
    scroller_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    scroller_.add(vstWebGame);

    Unlabelled(N13, kQuickLoginItem);
    N13.set_submenu(*Gtk::make_managed<Gtk::Menu>());
    Unlabelled(MenuItem2, kMaintainLoginItem);
    Unlabelled(MenuItem3, kClearCacheItem);
    Unlabelled(N16, kEditUrlItem);
    Unlabelled(MenuItem7, kDeleteUrlItem);
    for (Gtk::MenuItem* item :
         {&N13, static_cast<Gtk::MenuItem*>(&N12), &MenuItem2, &MenuItem3, &N16, &MenuItem7})
        pmLeft1.append(*item);
    pmLeft1.show_all();
    MenuItem3.hide();
    N16.signal_activate().connect(sigc::mem_fun(*this, &TCatalogueTree::N16Click));
    MenuItem7.signal_activate().connect(sigc::mem_fun(*this, &TCatalogueTree::MenuItem7Click));

    Unlabelled(N17, kRenameGameItem);
    Unlabelled(N8, kDeleteGameItem);
    pmLeft.append(N17);
    pmLeft.append(N8);
    pmLeft.show_all();
    N17.signal_activate().connect(sigc::mem_fun(*this, &TCatalogueTree::N17Click));
    N8.signal_activate().connect(sigc::mem_fun(*this, &TCatalogueTree::N8Click));
}

GtkTreeIter TCatalogueTree::InsertFirst(const Glib::RefPtr<Gtk::TreeStore>& store,
                                        GtkTreeIter* parent, guint entry, gint child) const {
    GtkTreeIter row;
    gtk_tree_store_insert_with_values(store->gobj(), &row, parent, 0, columns_.entry.index(), entry,
                                      columns_.child.index(), child, -1);
    return row;
}

void TCatalogueTree::StoreNode(const CatalogueNode& node, const Gtk::TreeModel::iterator& row) {
    NodeRef(row) = node;
    store_->row_changed(store_->get_path(row), row);
}

CatalogueNode& TCatalogueTree::NodeRef(const Gtk::TreeModel::iterator& row) const {
    const guint entry = (*row)[columns_.entry];
    const gint child = (*row)[columns_.child];
    CatalogueEntry& game = const_cast<CatalogueEntry&>(list_.at(entry));
    return child < 0 ? game.node : game.children.at(static_cast<std::size_t>(child));
}

CatalogueNode TCatalogueTree::NodeAt(const Gtk::TreeModel::iterator& row) const {
    return NodeRef(row);
}

void TCatalogueTree::Fill(CatalogueList list) {
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
    vstWebGame.set_model(store_);
    Glib::signal_idle().connect_once([old_list, old_store] {}, Glib::PRIORITY_LOW);
    // Games start unfolded.
    for (const auto& row : store_->children()) {
        if (StartsExpanded(NodeAt(row)) && !row.children().empty())
            vstWebGame.expand_row(store_->get_path(row), false);
    }
}

void TCatalogueTree::Reload() {
    CatalogueList list;
    data::TDISQLite3Database* db = host_.Database();
    if (!db) {
        Fill(list);
        return;
    }
    try {
        LoadCatalogueList(*db, kind_, list);
    } catch (...) {
        Fill(std::move(list));
        throw;
    }
    Fill(std::move(list));
}

void actLoadWebGamePnl(TCatalogueTree& vstWebGame, TCatalogueTree& vstSNS) {
    vstWebGame.Reload();
    vstSNS.Reload();
}

Gtk::TreeModel::iterator TCatalogueTree::FindByName(const std::string& name) const {
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

Gtk::TreeModel::iterator TCatalogueTree::RowAtPointer(double x, double y) const {
    Gtk::TreeModel::Path path;
    Gtk::TreeViewColumn* column = nullptr;
    int cell_x = 0, cell_y = 0;
    if (!const_cast<Gtk::TreeView&>(vstWebGame)
             .get_path_at_pos(static_cast<int>(x), static_cast<int>(y), path, column, cell_x,
                              cell_y))
        return {};
    return store_->get_iter(path);
}

// ---- mouse ----

bool TCatalogueTree::vstWebGameButtonPress(GdkEventButton* event) {
    // The second click of a double click toggles the node (row-activated) and opens nothing.
    if (event->button == 1)
        double_click_ = event->type == GDK_2BUTTON_PRESS;
    if (event->button != 3 || event->type != GDK_BUTTON_PRESS)
        return false;
    vstWebGameMouseDown(RowAtPointer(event->x, event->y), event);
    return true;
}

bool TCatalogueTree::vstWebGameButtonRelease(GdkEventButton* event) {
    if (event->button != 1 || double_click_)
        return false;
    // The press that started the click selected the row it landed on.
    auto row = RowAtPointer(event->x, event->y);
    if (!row || !vstWebGame.get_selection()->is_selected(row))
        return false;
    // Acted on once the tree has finished with the release: the click may show dialogs and
    // reload the tree.
    pending_click_.disconnect();
    pending_click_ =
        Glib::signal_idle().connect([this, store = store_, path = store_->get_path(row)] {
            if (store == store_)
                vstWebGameClick(store_->get_iter(path));
            return false;
        });
    return false;
}

bool TCatalogueTree::vstWebGameMotion(GdkEventMotion* event) {
    auto row = RowAtPointer(event->x, event->y);
    Gtk::TreeModel::Path path = row ? store_->get_path(row) : Gtk::TreeModel::Path();
    if (path != hot_path_) {
        hot_path_ = path;
        vstWebGame.queue_draw();
    }
    return false;
}

bool TCatalogueTree::vstWebGameLeave(GdkEventCrossing*) {
    if (!hot_path_.empty()) {
        hot_path_.clear();
        vstWebGame.queue_draw();
    }
    return false;
}

void TCatalogueTree::vstWebGameRowActivated(const Gtk::TreeModel::Path& path,
                                            Gtk::TreeViewColumn*) {
    if (vstWebGame.row_expanded(path))
        vstWebGame.collapse_row(path);
    else
        vstWebGame.expand_row(path, false);
}

void TCatalogueTree::vstWebGameRealize() {
    if (auto bin = vstWebGame.get_bin_window())
        bin->set_cursor(Gdk::Cursor::create(vstWebGame.get_display(), Gdk::HAND2));
}

void TCatalogueTree::vstWebGameClick(const Gtk::TreeModel::iterator& row) {
    if (!row)
        return;
    const CatalogueNode node = NodeAt(row);
    switch (ClickActionFor(node)) {
        case ClickAction::OpenAddress:
            // A click opens the address once, in a new temporary session of its own.
            {
                const auto parent_row = row->parent();
                const CatalogueNode parent = parent_row ? NodeAt(parent_row) : CatalogueNode{};
                host_.OpenGame(node, parent_row ? &parent : nullptr, "");
            }
            break;
        case ClickAction::AddAddress:
            AddAddress(row);
            break;
        case ClickAction::AddGame:
            AddGame();
            break;
        case ClickAction::Nothing:
            break;
    }
}

void TCatalogueTree::AddAddress(const Gtk::TreeModel::iterator& row) {
    auto parent = row->parent();
    std::string game_id = parent ? NodeAt(parent).ID : "";
    std::string description, address;
    if (!ShowSaveUrl(host_, game_id, description, address, std::to_string(kind_.category),
                     reload_catalogue_))
        return;
    try {
        InsertGameUrl(DatabaseOf(host_), game_id, description, address);
    } catch (const std::exception&) {
        host_.ShowError(kAddUrlFailed, kMessageTitle);
        return;
    }
    reload_catalogue_();
}

void TCatalogueTree::AddGame() {
    try {
        if (AskNewGame(host_, kAddGamePrompt, kind_.category).empty())
            return;
        reload_catalogue_();
    } catch (const std::exception&) {
        host_.ShowError(kAddFailed, kMessageTitle);
    }
}

void TCatalogueTree::vstWebGameMouseDown(const Gtk::TreeModel::iterator& row,
                                         const GdkEventButton* event) {
    context_.Clear();
    if (!row)
        return;
    context_.ContextTree = this;
    context_.ContextNode = Gtk::TreeRowReference(store_, store_->get_path(row));
    vstWebGame.get_selection()->select(row);
    const CatalogueNode node = NodeAt(row);
    auto* trigger = reinterpret_cast<const GdkEvent*>(event);
    switch (MenuFor(node)) {
        case NodeMenu::Address:
            try {
                accounts::FillQuickLoginMenu(
                    N13, host_.Database(), node.ID,
                    [this](const std::string& user_id) { QuickLoginClick(user_id); },
                    [this] { LoginAllClick(); });
            } catch (const std::exception&) {
                return;  // the accounts cannot be read: no menu
            }
            N16.set_sensitive(true);
            MenuItem7.set_sensitive(true);
            if (trigger)
                pmLeft1.popup_at_pointer(trigger);
            break;
        case NodeMenu::Game:
            if (trigger)
                pmLeft.popup_at_pointer(trigger);
            break;
        case NodeMenu::NoMenu:
            break;
    }
}

// ---- menu commands ----

bool TCatalogueTree::ContextRow(Gtk::TreeModel::iterator& row, CatalogueNode& node) const {
    if (context_.Empty() || context_.ContextTree != this ||
        context_.ContextNode.get_model() != store_)
        return false;
    row = store_->get_iter(context_.ContextNode.get_path());
    if (!row)
        return false;
    node = NodeAt(row);
    return true;
}

bool TCatalogueTree::ContextNodes(CatalogueNode& node, CatalogueNode& parent,
                                  bool& has_parent) const {
    Gtk::TreeModel::iterator row;
    if (!ContextRow(row, node))
        return false;
    const auto parent_row = row->parent();
    has_parent = static_cast<bool>(parent_row);
    parent = has_parent ? NodeAt(parent_row) : CatalogueNode{};
    return true;
}

void TCatalogueTree::QuickLoginClick(const std::string& user_id) {
    CatalogueNode node, parent;
    bool has_parent = false;
    if (ContextNodes(node, parent, has_parent))
        host_.OpenGame(node, has_parent ? &parent : nullptr, user_id);
}

void TCatalogueTree::LoginAllClick() {
    CatalogueNode node, parent;
    bool has_parent = false;
    if (ContextNodes(node, parent, has_parent))
        host_.OpenGameForAllAccounts(node, has_parent ? &parent : nullptr);
}

void TCatalogueTree::N16Click() {
    Gtk::TreeModel::iterator row;
    CatalogueNode node;
    if (!ContextRow(row, node))
        return;
    // Both prompts are always shown; each gives back its edit's text, confirmed or not.
    std::string description = node.Name;
    host_.InputBox(kEditCaption, kEditUrlNamePrompt, description, kNameMaxLength, false);
    std::string address = node.Value;
    host_.InputBox(kEditCaption, kEditUrlPrompt, address, kUrlMaxLength, false);
    try {
        EditAddressNode(DatabaseOf(host_), node, description, address);
    } catch (...) {
        StoreNode(node, row);
        throw;
    }
    StoreNode(node, row);
}

void TCatalogueTree::N17Click() {
    Gtk::TreeModel::iterator row;
    CatalogueNode node;
    if (!ContextRow(row, node))
        return;
    std::string name = node.Name;
    if (!host_.InputBox(kEditCaption, kRenameGamePrompt, name, kNameMaxLength, false))
        return;
    RenameGameNode(DatabaseOf(host_), node, name);
    StoreNode(node, row);
}

// Asks, then removes the context node's rows and the node itself (also when a statement fails).
void TCatalogueTree::RemoveContextNode(const char* question, RemoveRows remove_rows) {
    Gtk::TreeModel::iterator row;
    CatalogueNode node;
    if (!ContextRow(row, node) || !host_.Confirm(question, kMessageTitle))
        return;
    remove_rows(DatabaseOf(host_), node.ID, [&] {
        context_.Clear();
        store_->erase(row);
    });
}

void TCatalogueTree::MenuItem7Click() {
    RemoveContextNode(kDeleteUrlQuestion, DeleteGameUrl);
}

void TCatalogueTree::N8Click() {
    RemoveContextNode(kDeleteGameQuestion, DeleteGame);
}

}  // namespace kivo::catalogue
