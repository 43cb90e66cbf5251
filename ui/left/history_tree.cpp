#include "ui/left/history_tree.h"

#include <stdexcept>

#include "data/database.h"
#include "data/statements.h"
#include "ui/accounts/quick_login_menu.h"
#include "data/catalogue/catalogue_edit.h"
#include "data/catalogue/history.h"
#include "ui/left/left_panel_layout.h"

namespace kivo {

using catalogue::CatalogueList;
using catalogue::CatalogueNode;

THistoryTree::THistoryTree(TLeftPanelHost& host, catalogue::TContextNode& context,
                           catalogue::TCatalogueTree& address_menu)
    : TNodeTree(context, catalogue::kSections[0].caption),
      vstHistory(View()),
      host_(host),
      address_menu_(address_menu) {}

void THistoryTree::actLoadHistoryExecute() {
    LoadWith(host_.Database(), [](data::TDISQLite3Database& db, CatalogueList& list) {
        catalogue::LoadHistoryList(db, list);
    });
}

void THistoryTree::vstHistoryClick(const Gtk::TreeModel::iterator& row) {
    if (!row)
        return;
    const CatalogueNode node = NodeAt(row);
    if (node.IsClearHistory()) {
        ClearHistory();
        return;
    }
    const auto group_row = row->parent();
    if (!group_row)
        return;  // a group caption only folds and unfolds
    // The group is the entry's parent, so the opening keeps the entry's label.
    const CatalogueNode group = NodeAt(group_row);
    host_.OpenGame(node, &group, "");
}

void THistoryTree::ClearHistory() {
    try {
        data::TDISQLite3Database* db = host_.Database();
        if (!db)
            throw std::runtime_error("no database");
        auto clear = db->Prepare16(data::sql::kClearHistory);
        if (!host_.ConfirmOkCancel(catalogue::kClearHistoryQuestion, catalogue::kMessageTitle))
            return;
        clear.Step();
        actLoadHistoryExecute();
    } catch (const std::exception&) {
        host_.ShowError(catalogue::kClearHistoryFailed, catalogue::kMessageTitle);
    }
}

void THistoryTree::vstHistoryMouseDown(const Gtk::TreeModel::iterator& row,
                                       const GdkEventButton* event) {
    TakeContext(row);
    if (!row)
        return;
    // Groups and the clear node have no menu.
    if (NodeAt(row).ID == catalogue::kHistoryGroupId || !row->parent())
        return;
    // An entry is no catalogue address: it is neither edited nor deleted from here.
    try {
        accounts::FillQuickLoginMenu(
            address_menu_.N13, host_.Database(), NodeAt(row).ID,
            [this](const std::string& user_id) { address_menu_.QuickLoginClick(user_id); },
            [this] { address_menu_.LoginAllClick(); });
    } catch (const std::exception&) {
        return;  // the accounts cannot be read: no menu
    }
    address_menu_.N16.set_sensitive(false);
    address_menu_.MenuItem7.set_sensitive(false);
    if (event)
        address_menu_.pmLeft1.popup_at_pointer(reinterpret_cast<const GdkEvent*>(event));
}

}  // namespace kivo
