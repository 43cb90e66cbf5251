#pragma once
// The look the trees of the left panel share: white text on the panel's blue, no header, no
// lines, hot tracking with a hand cursor, and a right click that selects first.
#include <gtkmm.h>

#include <string>

namespace kivo {

namespace catalogue {
inline constexpr const char* kMiniGameItemsName = "小游戏";
inline constexpr const char* kFavoritesTreeName = "收藏夹";
}  // namespace catalogue

void StyleLeftTree(Gtk::TreeView& tree, const std::string& accessible_name);

// Selects the row at a point of the tree; false when the point is on no row.
bool SelectRowAt(Gtk::TreeView& tree, int x, int y);

}  // namespace kivo
