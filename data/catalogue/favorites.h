#pragma once
// The favorites folder: subfolders and Internet shortcut files (".url"), read into a tree,
// written and deleted. Every path stays inside the folder: a name that would lead elsewhere is
// refused, and nothing outside is read, written or deleted.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kivo::catalogue {

inline constexpr const char* kOrganizeFavoritesItem = "整理收藏夹";
inline constexpr const char* kDeleteFavoriteItem = "删除收藏";
inline constexpr const char* kAddFavoriteItem = "添加到收藏夹";
inline constexpr const char* kDeleteFavoriteQuestion = "你确认删除此收藏记录？";

// A refused name, address or file; the message is the user-visible reason.
class FavoriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// $XDG_DATA_HOME/gameKivo/Favorites/, made when missing.
std::filesystem::path FavoritesFolder();

// A folder (with its items) or a shortcut (with its address), captioned with the file name
// without ".url".
struct FavoriteItem {
    std::string caption;
    bool folder = false;
    std::string url;
    std::vector<FavoriteItem> children;
};

// The folder's subfolders first, then its shortcuts, each group by caption. Files that are not
// shortcuts, shortcuts without an address or naming a script address, hidden entries and links
// are left out.
std::vector<FavoriteItem> ReadFavorites(const std::filesystem::path& root);

// The address of a shortcut file: the "URL=" line of its "[InternetShortcut]" section. Nothing
// when the file is no such shortcut or names an address that may not be opened.
std::optional<std::string> ReadShortcut(const std::filesystem::path& file);

// The address of the shortcut `caption` in the folder reached by `folders`, read afresh when it
// is clicked: nothing when the file has vanished or is no longer a shortcut (the tree then drops
// the item).
std::optional<std::string> CurrentShortcutAddress(const std::filesystem::path& root,
                                                  const std::vector<std::string>& folders,
                                                  const std::string& caption);

// Whether an address may be kept and opened from a shortcut: not empty, one line, and no
// "javascript:" address.
bool IsShortcutAddress(const std::string& url);

// Whether a caption can name a file or folder directly inside its parent: not empty, not "." or
// "..", no "/" or control character.
bool IsFavoriteName(const std::string& name);

// Writes `name`.url in the folder reached by `folders` (captions from the root down); throws
// FavoriteError for a refused name or address. Returns the file written.
std::filesystem::path WriteShortcut(const std::filesystem::path& root,
                                    const std::vector<std::string>& folders,
                                    const std::string& name, const std::string& url);

// Makes a folder `name` under the folder reached by `folders`.
std::filesystem::path MakeFavoriteFolder(const std::filesystem::path& root,
                                         const std::vector<std::string>& folders,
                                         const std::string& name);

// Deletes the shortcut `caption` + ".Url" (any case of the extension) or the folder `caption`
// with all it holds, in the folder reached by `folders`. Returns false when there is nothing to
// delete; throws FavoriteError for a refused name.
bool DeleteFavorite(const std::filesystem::path& root, const std::vector<std::string>& folders,
                    const std::string& caption, bool folder);

// Renames a shortcut or folder in its folder, or moves it into another folder (reached by
// `to_folders`). Throws FavoriteError for a refused name, a missing item, a name already taken
// or a folder moved into itself.
void RenameFavorite(const std::filesystem::path& root, const std::vector<std::string>& folders,
                    const std::string& caption, bool folder, const std::string& new_name);
void MoveFavorite(const std::filesystem::path& root, const std::vector<std::string>& folders,
                  const std::string& caption, bool folder,
                  const std::vector<std::string>& to_folders);

// A page may be added when its title and address are not blank.
bool CanAddFavorite(const std::string& title, const std::string& url);
// The shortcut name the add dialog proposes for a page title: blanks trimmed, each "/" and
// control character replaced by a blank, and a title of dots only given as "_".
std::string FavoriteNameForTitle(const std::string& title);

}  // namespace kivo::catalogue
