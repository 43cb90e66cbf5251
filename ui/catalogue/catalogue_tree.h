#pragma once
// One catalogue tree of the left panel (the web games or the social sites): the games of its
// category with their addresses, the add nodes, the click that opens an address, and the popup
// menus that edit and remove games and addresses.
#include <gtkmm.h>

#include <functional>
#include <string>

#include "data/catalogue/catalogue_node.h"
#include "ui/catalogue/node_tree.h"

namespace kivo {

class TLeftPanelHost;
namespace data {
class TDISQLite3Database;
}

namespace catalogue {

class TCatalogueTree : public TNodeTree {
  public:
    // `reload_catalogue` rebuilds both catalogue trees (the window's actLoadWebGamePnl); it runs
    // after every addition.
    TCatalogueTree(TLeftPanelHost& host, const CatalogueTreeKind& kind, TContextNode& context,
                   std::function<void()> reload_catalogue);

    const CatalogueTreeKind& Kind() const { return kind_; }

    // Rebuilds the tree from the database. A failed load keeps the pending add nodes and
    // throws; without a database, or when the game statement cannot be prepared, the tree is
    // left empty.
    void Reload();
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
    // Both open the account dialog of the context address for maintenance.
    void MenuItem2Click();
    void MenuItem3Click();
    // Opens the account dialog of an address in maintenance mode (set by the window).
    std::function<void(const std::string& url_id)> OnMaintainLoginInfo;

    Gtk::TreeView& vstWebGame;
    // Address menu: N13 and MenuItem2 are filled by the account features.
    Gtk::Menu pmLeft1;
    Gtk::MenuItem N13, MenuItem2, MenuItem3, N16, MenuItem7;
    Gtk::SeparatorMenuItem N12;
    Gtk::Menu pmLeft;  // game menu
    Gtk::MenuItem N17, N8;

  protected:
    void Click(const Gtk::TreeModel::iterator& row) override { vstWebGameClick(row); }
    void MouseDown(const Gtk::TreeModel::iterator& row, const GdkEventButton* event) override {
        vstWebGameMouseDown(row, event);
    }

  private:
    using RemoveRows = void (*)(data::TDISQLite3Database&, const std::string&,
                                const std::function<void()>&);
    void RemoveContextNode(const char* question, RemoveRows remove_rows);
    void AddAddress(const Gtk::TreeModel::iterator& row);
    void AddGame();

    TLeftPanelHost& host_;
    CatalogueTreeKind kind_;
    std::function<void()> reload_catalogue_;
};

// Rebuilds both trees, web games first; an error in the first leaves the second as it was.
void actLoadWebGamePnl(TCatalogueTree& vstWebGame, TCatalogueTree& vstSNS);

}  // namespace catalogue
}  // namespace kivo
