#pragma once
// The record behind every node of the catalogue and history trees, and the node lists of the two
// catalogue trees as the database gives them. Nothing here needs a display: the tree regions
// draw what these lists hold.
#include <cstdint>
#include <string>
#include <vector>

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::catalogue {

// Node IDs that name no row.
inline constexpr const char* kAddNodeId = "-1";
inline constexpr const char* kClearHistoryId = "-2";
inline constexpr const char* kHistoryGroupId = "0";

inline constexpr std::uint16_t kKindGame = 0;
inline constexpr std::uint16_t kKindAddress = 1;

struct CatalogueNode {
    std::string ID;
    std::string Name;
    std::string Hint;  // drawn in red after the caption when not empty
    std::string Value;
    std::string ParentID;
    std::uint16_t Kind = kKindGame;

    bool IsAddNode() const { return ID == kAddNodeId; }
    bool IsClearHistory() const { return ID == kClearHistoryId; }
    // An address a click opens: address level and not the add node.
    bool IsAddress() const { return Kind == kKindAddress && !IsAddNode(); }
    bool IsGame() const { return Kind == kKindGame && !IsAddNode(); }
};

// One top-level node with its children in their order.
struct CatalogueEntry {
    CatalogueNode node;
    std::vector<CatalogueNode> children;
};
using CatalogueList = std::vector<CatalogueEntry>;

// The two catalogue trees: their category number (GAMETYPE) and add-game caption.
struct CatalogueTreeKind {
    int category;
    const char* add_game_caption;
};
inline constexpr CatalogueTreeKind kWebGameTree{1, "添加新游戏"};
inline constexpr CatalogueTreeKind kSnsTree{2, "添加新SNS"};
inline constexpr const char* kAddAddressCaption = "添加新地址";

// The icons of the shared image list.
enum CatalogueIcon : int { kIconGame = 0, kIconAddress = 1, kIconAdd = 2, kIconClearHistory = 3 };
int IconIndex(const CatalogueNode& node);
// The colour of the hint text (pure red, 0xRRGGBB).
inline constexpr std::uint32_t kHintColour = 0xFF0000;
// Games (and history groups) start unfolded; addresses are leaves.
inline bool StartsExpanded(const CatalogueNode& node) {
    return node.Kind == kKindGame;
}

// What a left click on a node does in a catalogue tree.
enum class ClickAction { Nothing, OpenAddress, AddAddress, AddGame };
ClickAction ClickActionFor(const CatalogueNode& node);
// Which menu a right press on a node pops up: none for add nodes.
enum class NodeMenu { NoMenu, Address, Game };
NodeMenu MenuFor(const CatalogueNode& node);

CatalogueNode AddGameNode(const CatalogueTreeKind& tree);
CatalogueNode AddAddressNode();

// Rebuilds `list` from the database for one tree: the games of the category by name, each with
// its addresses by description and its add-address node, then the add-game node. Texts are read
// as text whatever the column holds (NULL reads empty, a number as its digits).
// An error ends the load and is thrown after the pending add nodes have been appended; when the
// game statement cannot be prepared, `list` stays empty.
void LoadCatalogueList(data::TDISQLite3Database& db, const CatalogueTreeKind& tree,
                       CatalogueList& list);

// Both trees, web games first; an error in the first leaves `sns` as it was.
void LoadCatalogue(data::TDISQLite3Database& db, CatalogueList& web_games, CatalogueList& sns);

}  // namespace kivo::catalogue
