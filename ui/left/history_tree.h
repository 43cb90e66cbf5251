#pragma once
// The recent history in the panel's "最近访问" section: the addresses opened over the last week
// by day, a click that opens an entry again as the catalogue does, the address menu on a right
// press, and the last node that clears the whole history.
#include <gtkmm.h>

#include "ui/catalogue/catalogue_tree.h"
#include "ui/catalogue/node_tree.h"
#include "ui/left/left_host.h"

namespace kivo {

class THistoryTree : public catalogue::TNodeTree {
  public:
    // `address_menu`: the catalogue tree whose address menu (pmLeft1) the entries share.
    THistoryTree(TLeftPanelHost& host, catalogue::TContextNode& context,
                 catalogue::TCatalogueTree& address_menu);

    // actLoadHistory: rebuilds the tree from the database. An error ends the load where it
    // happens and is thrown; the nodes read before it stay.
    void actLoadHistoryExecute();

    // The left click and right press on a row, as the mouse handlers run them.
    void vstHistoryClick(const Gtk::TreeModel::iterator& row);
    void vstHistoryMouseDown(const Gtk::TreeModel::iterator& row, const GdkEventButton* event);

    Gtk::TreeView& vstHistory;

  protected:
    void Click(const Gtk::TreeModel::iterator& row) override { vstHistoryClick(row); }
    void MouseDown(const Gtk::TreeModel::iterator& row, const GdkEventButton* event) override {
        vstHistoryMouseDown(row, event);
    }

  private:
    // Asks, then empties the history and shows it again; a failure is reported.
    void ClearHistory();

    TLeftPanelHost& host_;
    catalogue::TCatalogueTree& address_menu_;
};

}  // namespace kivo
