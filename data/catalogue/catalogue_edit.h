#pragma once
// Adding, editing and removing games and addresses: the statements each command runs, the input
// rules of its prompts and the texts it shows. The tree regions call these and show the prompts.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::catalogue {

// ---- prompts (caption, prompt, longest text in characters) ----
inline constexpr const char* kInputCaption = "输入";
inline constexpr const char* kEditCaption = "修改";
inline constexpr const char* kAddGamePrompt = "请输入WebGame游戏（SNS社区）名称";
inline constexpr const char* kDialogAddGamePrompt = "请输入你要添加的游戏名称";
inline constexpr const char* kRenameGamePrompt = "请输入要修改为的新游戏名字";
inline constexpr const char* kEditUrlNamePrompt = "请输入要修改为的新地址描述";
inline constexpr const char* kEditUrlPrompt = "请输入要修改为的新地址";
inline constexpr int kNameMaxLength = 20;  // game names and address descriptions
inline constexpr int kUrlMaxLength = 255;

// ---- messages (all titled kMessageTitle) ----
inline constexpr const char* kMessageTitle = "提示";
inline constexpr const char* kAddUrlFailed = "添加游戏地址失败，请重试！";
inline constexpr const char* kAddFailed = "添加失败，请重试！";
inline constexpr const char* kGameAdded = "添加游戏完成！";
inline constexpr const char* kChooseGame = "请选择一个所属的游戏！";
inline constexpr const char* kSaveGameFirst = "请先保存游戏信息！";
inline constexpr const char* kSaveGameFailed = "保存游戏信息失败！";
inline constexpr const char* kDeleteUrlQuestion =
    "你确认删除此游戏地址吗？\n删除后此地址下保存的账号信息也将删除！";
inline constexpr const char* kDeleteGameQuestion =
    "你确认删除此游戏吗？\n删除后此游戏下所有记录都将被删除！";

// ---- menus, as shown and named (the "&" that marks a mnemonic in a caption is not shown) ----
inline constexpr const char* kQuickLoginItem = "快速登录";
inline constexpr const char* kMaintainLoginItem = "维护登录信息";
inline constexpr const char* kClearCacheItem = "清理缓存";
inline constexpr const char* kEditUrlItem = "修改此地址";
inline constexpr const char* kDeleteUrlItem = "删除此地址";
inline constexpr const char* kRenameGameItem = "修改游戏名称";
inline constexpr const char* kDeleteGameItem = "删除此游戏";

// ---- the address dialog ----
inline constexpr const char* kSaveUrlTitle = "保存游戏地址";
inline constexpr const char* kAddGameLink = "在此分类下添加游戏";
struct GameCategory {
    const char* caption;
    const char* value;
};
inline constexpr GameCategory kGameCategories[] = {{"WebGame网页游戏", "1"}, {"SNS社区", "2"}};

// The text without the characters of code 32 or below at either end.
std::string_view TrimControls(std::string_view text);
// A game name is refused (silently) when nothing is left of it once trimmed. The name stored is
// the one typed, blanks included.
inline bool IsAcceptedGameName(std::string_view name) {
    return !TrimControls(name).empty();
}

// One game of a category as the address dialog lists it, in the database's order.
struct GameChoice {
    std::string name;
    std::string id;
};
std::vector<GameChoice> SelectGameNames(data::TDISQLite3Database& db, int category);

// The position of the game with this ID in the list, or -1 (the dialog then selects none).
int IndexOfGame(const std::vector<GameChoice>& games, const std::string& id);

// Inserts and returns the new row's ID. Texts are stored as given, hints empty.
std::string InsertGame(data::TDISQLite3Database& db, const std::string& name, int category);
std::string InsertGameUrl(data::TDISQLite3Database& db, const std::string& game_id,
                          const std::string& description, const std::string& address);

void UpdateGameUrl(data::TDISQLite3Database& db, const std::string& url_id,
                   const std::string& description, const std::string& address);
void RenameGame(data::TDISQLite3Database& db, const std::string& game_id, const std::string& name);

struct CatalogueNode;
// The edit of an address node: the row is updated, and the node takes the description and the
// address in every case, also when the update fails (the error is thrown afterwards).
void EditAddressNode(data::TDISQLite3Database& db, CatalogueNode& node,
                     const std::string& description, const std::string& address);
// The rename of a game node: the node takes the name only when the row was updated.
void RenameGameNode(data::TDISQLite3Database& db, CatalogueNode& node, const std::string& name);

// Removal of an address with its accounts, or of a game with its addresses, in one
// transaction. `remove_node` runs afterwards in every case, also when a statement fails (the
// error is thrown after it).
void DeleteGameUrl(data::TDISQLite3Database& db, const std::string& url_id,
                   const std::function<void()>& remove_node);
void DeleteGame(data::TDISQLite3Database& db, const std::string& game_id,
                const std::function<void()>& remove_node);

}  // namespace kivo::catalogue
