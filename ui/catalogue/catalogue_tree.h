#pragma once
// One catalogue tree of the left panel (the web games or the social sites): the games of its
// category with their addresses, the add nodes, the click that opens an address, and the popup
// menus that edit and remove games and addresses.
#include <gtkmm.h>

#include <functional>
#include <string>

#include "ui/catalogue/catalogue_node.h"

namespace kivo {

class TLeftPanelHost;
namespace data {
class TDISQLite3Database;
}

namespace catalogue {

class TCatalogueTree;

// The node last pressed with the right button and its tree, shared by the window's trees; the
// menu commands act on it. Valid until that tree is next reloaded.
struct TContextNode {
    TCatalogueTree* ContextTree = nullptr;
    Gtk::TreeRowReference ContextNode;

    bool Empty() const { return !ContextTree || !ContextNode.is_valid(); }
    void Clear() {
        ContextTree = nullptr;
        ContextNode = Gtk::TreeRowReference();
    }
};

// The four 16 x 16 pictures the trees share, by CatalogueIcon.
Glib::RefPtr<Gdk::Pixbuf> TreeIcon(int index);

class TCatalogueTree {
  public:
    // `reload_catalogue` rebuilds both catalogue trees (the window's actLoadWebGamePnl); it runs
    // after every addition.
    TCatalogueTree(TLeftPanelHost& host, const CatalogueTreeKind& kind, TContextNode& context,
                   std::function<void()> reload_catalogue);
    ~TCatalogueTree() { pending_click_.disconnect(); }
    TCatalogueTree(const TCatalogueTree&) = delete;
    TCatalogueTree& operator=(const TCatalogueTree&) = delete;

    // The widget to place in the panel's section.
    Gtk::Widget& Widget() { return scroller_; }
    Gtk::TreeView& View() { return vstWebGame; }
    const CatalogueTreeKind& Kind() const { return kind_; }

    // Rebuilds the tree from the database. A failed load keeps the pending add nodes and
    // throws; without a database, or when the game statement cannot be prepared, the tree is
    // left empty.
    void Reload();
    // Shows these lists as they are (the load's result).
    void Fill(CatalogueList list);

    // The record behind a row, and the rows in display order (for callers and tests).
    CatalogueNode NodeAt(const Gtk::TreeModel::iterator& row) const;
    Gtk::TreeModel::Children TopLevel() const { return store_->children(); }
    // The first row, at any level, whose caption is `name` (end() when none).
    Gtk::TreeModel::iterator FindByName(const std::string& name) const;

    // The left click and right press on a row, as the mouse handlers run them.
    void vstWebGameClick(const Gtk::TreeModel::iterator& row);
    void vstWebGameMouseDown(const Gtk::TreeModel::iterator& row, const GdkEventButton* event);

    // The menu commands, acting on the shared context node.
    void QuickLoginClick(const std::string& user_id);
    void LoginAllClick();
    void N16Click();
    void MenuItem7Click();
    void N17Click();
    void N8Click();

    Gtk::TreeView vstWebGame;
    // Address menu: N13 and MenuItem2 are filled by the account features.
    Gtk::Menu pmLeft1;
    Gtk::MenuItem N13, MenuItem2, MenuItem3, N16, MenuItem7;
    Gtk::SeparatorMenuItem N12;
    Gtk::Menu pmLeft;  // game menu
    Gtk::MenuItem N17, N8;

  private:
    struct Columns : Gtk::TreeModelColumnRecord {
        Columns();
        // Where the row's node is in the list: the game's place and the child's (-1 for the
        // game itself). What is drawn is read from the node.
        Gtk::TreeModelColumn<guint> entry;
        Gtk::TreeModelColumn<gint> child;
    };

    GtkTreeIter InsertFirst(const Glib::RefPtr<Gtk::TreeStore>& store, GtkTreeIter* parent,
                            guint entry, gint child) const;
    CatalogueNode& NodeRef(const Gtk::TreeModel::iterator& row) const;
    void StoreNode(const CatalogueNode& node, const Gtk::TreeModel::iterator& row);
    using RemoveRows = void (*)(data::TDISQLite3Database&, const std::string&,
                                const std::function<void()>&);
    void RemoveContextNode(const char* question, RemoveRows remove_rows);
    bool ContextRow(Gtk::TreeModel::iterator& row, CatalogueNode& node) const;
    // The context node and the node above it (Name etc. empty at the top).
    bool ContextNodes(CatalogueNode& node, CatalogueNode& parent, bool& has_parent) const;
    Gtk::TreeModel::iterator RowAtPointer(double x, double y) const;
    void AddAddress(const Gtk::TreeModel::iterator& row);
    void AddGame();

    bool vstWebGameButtonPress(GdkEventButton* event);
    bool vstWebGameButtonRelease(GdkEventButton* event);
    bool vstWebGameMotion(GdkEventMotion* event);
    bool vstWebGameLeave(GdkEventCrossing* event);
    void vstWebGameRowActivated(const Gtk::TreeModel::Path& path, Gtk::TreeViewColumn* column);
    void vstWebGameRealize();

    TLeftPanelHost& host_;
    CatalogueTreeKind kind_;
    TContextNode& context_;
    std::function<void()> reload_catalogue_;
    Columns columns_;
    CatalogueList list_;  // the nodes the rows show; rows removed leave their node unused
    Glib::RefPtr<Gtk::TreeStore> store_;
    Gtk::TreeViewColumn column_;
    Gtk::CellRendererPixbuf icon_cell_;
    Gtk::CellRendererText name_cell_, hint_cell_;
    Gtk::ScrolledWindow scroller_;
    Gtk::TreeModel::Path hot_path_;  // the row under the pointer
    bool double_click_ = false;
    sigc::connection pending_click_;  // a left click waiting for the release to finish
};

// Rebuilds both trees, web games first; an error in the first leaves the second as it was.
void actLoadWebGamePnl(TCatalogueTree& vstWebGame, TCatalogueTree& vstSNS);

}  // namespace catalogue
}  // namespace kivo
