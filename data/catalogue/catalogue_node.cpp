#include "data/catalogue/catalogue_node.h"

#include <optional>

#include "data/database.h"
#include "data/statements.h"

namespace kivo::catalogue {

using data::TDISQLite3Statement;

int IconIndex(const CatalogueNode& node) {
    if (node.IsAddNode())
        return kIconAdd;
    if (node.IsClearHistory())
        return kIconClearHistory;
    return node.Kind;
}

ClickAction ClickActionFor(const CatalogueNode& node) {
    if (node.Kind == kKindAddress)
        return node.IsAddNode() ? ClickAction::AddAddress : ClickAction::OpenAddress;
    return node.IsAddNode() ? ClickAction::AddGame : ClickAction::Nothing;
}

NodeMenu MenuFor(const CatalogueNode& node) {
    if (node.IsAddNode())
        return NodeMenu::NoMenu;
    return node.Kind == kKindAddress ? NodeMenu::Address : NodeMenu::Game;
}

CatalogueNode AddGameNode(const CatalogueTreeKind& tree) {
    return {kAddNodeId, tree.add_game_caption, "", "1", "", kKindGame};
}

CatalogueNode AddAddressNode() {
    return {kAddNodeId, kAddAddressCaption, "", "", "", kKindAddress};
}

namespace {

// Appends the addresses of one game; the add-address node follows also when reading fails. The
// address statement is compiled for the first game and run again for every other one.
void LoadAddresses(data::TDISQLite3Database& db, std::optional<TDISQLite3Statement>& urls,
                   CatalogueEntry& game) {
    try {
        if (urls)
            urls->Reset();
        else
            urls.emplace(db.Prepare16(data::sql::kSelectGameUrls));
        urls->Bind_Str(1, game.node.ID);
        while (urls->Step() == TDISQLite3Statement::kRow) {
            game.children.push_back({urls->Column_Str(0), urls->Column_Str(2), urls->Column_Str(3),
                                     urls->Column_Str(4), urls->Column_Str(1), kKindAddress});
        }
    } catch (...) {
        game.children.push_back(AddAddressNode());
        throw;
    }
    game.children.push_back(AddAddressNode());
}

}  // namespace

void LoadCatalogueList(data::TDISQLite3Database& db, const CatalogueTreeKind& tree,
                       CatalogueList& list) {
    list.clear();
    auto games = db.Prepare16(data::sql::kSelectGames);
    std::optional<TDISQLite3Statement> urls;
    try {
        games.Bind_Int(1, tree.category);
        while (games.Step() == TDISQLite3Statement::kRow) {
            list.push_back({{games.Column_Str(0), games.Column_Str(1), games.Column_Str(2),
                             games.Column_Str(3), games.Column_Str(4), kKindGame},
                            {}});
            LoadAddresses(db, urls, list.back());
        }
    } catch (...) {
        list.push_back({AddGameNode(tree), {}});
        throw;
    }
    list.push_back({AddGameNode(tree), {}});
}

void LoadCatalogue(data::TDISQLite3Database& db, CatalogueList& web_games, CatalogueList& sns) {
    LoadCatalogueList(db, kWebGameTree, web_games);
    LoadCatalogueList(db, kSnsTree, sns);
}

}  // namespace kivo::catalogue
