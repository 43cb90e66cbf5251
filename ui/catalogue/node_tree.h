#pragma once
// What the catalogue trees and the history tree share: the display of a node list (icon, caption,
// the hint in red, one fixed column, hot tracking with a hand cursor, nodes of the game level
// unfolded), the mouse handling that turns a left click on the selected row and a right press
// into the tree's own handlers, and the context node the popup menus act on.
#include <gtkmm.h>

#include <functional>
#include <optional>
#include <string>

#include "data/catalogue/catalogue_node.h"

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::catalogue {

class TNodeTree;

// The node last pressed with the right button and its tree, shared by the window's trees; the
// menu commands act on it. Valid until that tree is next reloaded.
struct TContextNode {
    TNodeTree* ContextTree = nullptr;
    Gtk::TreeRowReference ContextNode;

    bool Empty() const { return !ContextTree || !ContextNode.is_valid(); }
    void Clear() {
        ContextTree = nullptr;
        ContextNode = Gtk::TreeRowReference();
    }
};

// The four 16 x 16 pictures the trees share, by CatalogueIcon.
Glib::RefPtr<Gdk::Pixbuf> TreeIcon(int index);

class TNodeTree {
  public:
    // `name`: the tree's accessible name (its section's caption).
    TNodeTree(TContextNode& context, const std::string& name);
    virtual ~TNodeTree();
    TNodeTree(const TNodeTree&) = delete;
    TNodeTree& operator=(const TNodeTree&) = delete;

    // The widget to place in the panel's section.
    Gtk::Widget& Widget() { return scroller_; }
    Gtk::TreeView& View() { return view_; }

    // Shows this list as it is (a load's result).
    void Fill(CatalogueList list);

    // The record behind a row, and the rows in display order (for callers and tests).
    CatalogueNode NodeAt(const Gtk::TreeModel::iterator& row) const;
    Gtk::TreeModel::Children TopLevel() const { return store_->children(); }
    // The first row, at any level, whose caption is `name` (end() when none).
    Gtk::TreeModel::iterator FindByName(const std::string& name) const;
    // This tree's context row and its node; false when the context node is elsewhere or gone.
    bool ContextRow(Gtk::TreeModel::iterator& row, CatalogueNode& node) const;
    // The context node and the node above it (null at the top) when it is this tree's.
    bool ContextNodes(CatalogueNode& node, std::optional<CatalogueNode>& parent) const;

  protected:
    // A left click on the selected row, once the tree has finished with the release.
    virtual void Click(const Gtk::TreeModel::iterator& row) = 0;
    // A right press, on a row or beside the rows (`row` empty).
    virtual void MouseDown(const Gtk::TreeModel::iterator& row, const GdkEventButton* event) = 0;

    // Rebuilds the tree with `load`: what it read before failing is shown, then its error is
    // thrown. Without a database the tree is left empty.
    using ListLoader = std::function<void(data::TDISQLite3Database&, CatalogueList&)>;
    void LoadWith(data::TDISQLite3Database* db, const ListLoader& load);

    // Empties the context node, then makes `row` (when there is one) this tree's context node
    // and selects it.
    void TakeContext(const Gtk::TreeModel::iterator& row);
    // Replaces the node behind a row and redraws it.
    void StoreNode(const CatalogueNode& node, const Gtk::TreeModel::iterator& row);
    void EraseRow(const Gtk::TreeModel::iterator& row) { store_->erase(row); }

    TContextNode& context_;

  private:
    struct Columns : Gtk::TreeModelColumnRecord {
        Columns();
        // Where the row's node is in the list: the top-level entry and the child's place (-1
        // for the entry itself). What is drawn is read from the node.
        Gtk::TreeModelColumn<guint> entry;
        Gtk::TreeModelColumn<gint> child;
    };

    GtkTreeIter InsertFirst(const Glib::RefPtr<Gtk::TreeStore>& store, GtkTreeIter* parent,
                            guint entry, gint child) const;
    CatalogueNode& NodeRef(const Gtk::TreeModel::iterator& row) const;
    Gtk::TreeModel::iterator RowAtPointer(double x, double y) const;

    bool ViewButtonPress(GdkEventButton* event);
    bool ViewButtonRelease(GdkEventButton* event);
    bool ViewMotion(GdkEventMotion* event);
    bool ViewLeave(GdkEventCrossing* event);
    void ViewRowActivated(const Gtk::TreeModel::Path& path, Gtk::TreeViewColumn* column);
    void ViewRealize();

    Gtk::TreeView view_;
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

}  // namespace kivo::catalogue
