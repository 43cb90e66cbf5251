#include "ui/catalogue/catalogue_tree.h"

#include <utility>

#include "ui/accounts/quick_login_menu.h"
#include "data/catalogue/catalogue_edit.h"
#include "ui/catalogue/frm_save_url.h"
#include "ui/left/left_host.h"

namespace kivo::catalogue {

namespace {

void Unlabelled(Gtk::MenuItem& item, const char* caption) {
    item.set_use_underline(false);
    item.set_label(caption);
    item.get_accessible()->set_name(caption);
}

}  // namespace

TCatalogueTree::TCatalogueTree(TLeftPanelHost& host, const CatalogueTreeKind& kind,
                               TContextNode& context, std::function<void()> reload_catalogue)
    : TNodeTree(context, kGameCategories[kind.category == kSnsTree.category].caption),
      vstWebGame(View()),
      host_(host),
      kind_(kind),
      reload_catalogue_(std::move(reload_catalogue)) {
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
    MenuItem2.signal_activate().connect(sigc::mem_fun(*this, &TCatalogueTree::MenuItem2Click));
    MenuItem3.signal_activate().connect(sigc::mem_fun(*this, &TCatalogueTree::MenuItem3Click));
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

void TCatalogueTree::Reload() {
    LoadWith(host_.Database(), [this](data::TDISQLite3Database& db, CatalogueList& list) {
        LoadCatalogueList(db, kind_, list);
    });
}

void actLoadWebGamePnl(TCatalogueTree& vstWebGame, TCatalogueTree& vstSNS) {
    vstWebGame.Reload();
    vstSNS.Reload();
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
    TakeContext(row);
    if (!row)
        return;
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

void TCatalogueTree::MenuItem2Click() {
    // The address menu serves the history's entries too: the context node may be elsewhere.
    Gtk::TreeModel::iterator row;
    CatalogueNode node;
    if (context_.Empty() || !context_.ContextTree->ContextRow(row, node) || !OnMaintainLoginInfo)
        return;
    OnMaintainLoginInfo(node.ID);
}

void TCatalogueTree::MenuItem3Click() {
    MenuItem2Click();
}

// The quick-login items serve the history's entries too: the context node may be elsewhere.
void TCatalogueTree::QuickLoginClick(const std::string& user_id) {
    CatalogueNode node;
    std::optional<CatalogueNode> parent;
    if (!context_.Empty() && context_.ContextTree->ContextNodes(node, parent))
        host_.OpenGame(node, parent ? &*parent : nullptr, user_id);
}

void TCatalogueTree::LoginAllClick() {
    CatalogueNode node;
    std::optional<CatalogueNode> parent;
    if (!context_.Empty() && context_.ContextTree->ContextNodes(node, parent))
        host_.OpenGameForAllAccounts(node, parent ? &*parent : nullptr);
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
        EraseRow(row);
    });
}

void TCatalogueTree::MenuItem7Click() {
    RemoveContextNode(kDeleteUrlQuestion, DeleteGameUrl);
}

void TCatalogueTree::N8Click() {
    RemoveContextNode(kDeleteGameQuestion, DeleteGame);
}

}  // namespace kivo::catalogue
