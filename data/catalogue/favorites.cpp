#include "data/catalogue/favorites.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "platform/paths.h"
#include "data/catalogue/catalogue_edit.h"

namespace kivo::catalogue {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLargestShortcut = 64 * 1024;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool IsShortcutFile(const fs::path& path) {
    return Lower(path.extension().string()) == ".url";
}

bool ValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int more = lead < 0x80                   ? 0
                         : lead >= 0xC2 && lead < 0xE0 ? 1
                         : lead >= 0xE0 && lead < 0xF0 ? 2
                         : lead >= 0xF0 && lead < 0xF5 ? 3
                                                       : -1;
        if (more < 0 || i + more >= text.size())
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += more + 1;
    }
    return true;
}

bool Inside(const fs::path& root, const fs::path& path) {
    const fs::path base = fs::weakly_canonical(root);
    const fs::path full = fs::weakly_canonical(path);
    auto [end, unused] = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
    return end == base.end();
}

// The folder reached from the root through `folders`, each a plain name of a real folder.
fs::path FolderOf(const fs::path& root, const std::vector<std::string>& folders) {
    fs::path folder = root;
    for (const auto& name : folders) {
        if (!IsFavoriteName(name))
            throw FavoriteError("收藏夹名称无效：" + name);
        folder /= name;
        if (!fs::is_directory(fs::symlink_status(folder)))
            throw FavoriteError("收藏夹不存在：" + name);
    }
    if (!Inside(root, folder))
        throw FavoriteError("收藏夹不在收藏夹目录内");
    return folder;
}

void CheckName(const std::string& name) {
    if (!IsFavoriteName(name))
        throw FavoriteError("收藏名称无效：" + name);
}

// The file or folder of an item, or an empty path when it is not there.
fs::path FindFavorite(const fs::path& parent, const std::string& caption, bool folder) {
    std::error_code error;
    if (folder) {
        const fs::path target = parent / caption;
        return fs::is_directory(fs::symlink_status(target, error)) ? target : fs::path();
    }
    // The shortcut as its caption names it with ".Url", whatever the case of the extension.
    const fs::path named = parent / (caption + ".Url");
    if (fs::is_regular_file(fs::symlink_status(named, error)))
        return named;
    for (const auto& entry : fs::directory_iterator(parent, error)) {
        if (entry.path().stem() == caption && IsShortcutFile(entry.path()) &&
            fs::is_regular_file(entry.symlink_status(error)))
            return entry.path();
    }
    return {};
}

fs::path ExistingFavorite(const fs::path& parent, const std::string& caption, bool folder) {
    CheckName(caption);
    fs::path source = FindFavorite(parent, caption, folder);
    if (source.empty())
        throw FavoriteError("收藏不存在：" + caption);
    return source;
}

void RenameInto(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(target, error)))
        throw FavoriteError("已有同名收藏：" + target.filename().string());
    fs::rename(source, target, error);
    if (error)
        throw FavoriteError("移动收藏失败：" + error.message());
}

}  // namespace

fs::path FavoritesFolder() {
    const std::string folder = ProfileFolder() + "Favorites/";
    MakeFolders(folder);
    return folder;
}

bool IsShortcutAddress(const std::string& url) {
    if (url.empty())
        return false;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    return Lower(TrimBlanks(url)).rfind("javascript:", 0) != 0;
}

bool IsFavoriteName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || !ValidUtf8(name))
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || byte < 0x20 || byte == 0x7F;
    });
}

std::optional<std::string> ReadShortcut(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(file, error)) ||
        fs::file_size(file, error) > kLargestShortcut || error)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool in_section = false;
    bool first = true;
    while (std::getline(in, line)) {
        std::string_view text = line;
        if (first && text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        first = false;
        text = TrimBlanks(text);
        if (text.starts_with('[')) {
            in_section = Lower(text) == "[internetshortcut]";
            continue;
        }
        const auto equals = text.find('=');
        if (!in_section || equals == std::string_view::npos ||
            Lower(TrimBlanks(text.substr(0, equals))) != "url")
            continue;
        std::string url(TrimBlanks(text.substr(equals + 1)));
        if (!IsShortcutAddress(url))
            return std::nullopt;
        return url;
    }
    return std::nullopt;
}

std::optional<std::string> CurrentShortcutAddress(const fs::path& root,
                                                  const std::vector<std::string>& folders,
                                                  const std::string& caption) {
    CheckName(caption);
    const fs::path file = FindFavorite(FolderOf(root, folders), caption, false);
    if (file.empty())
        return std::nullopt;
    return ReadShortcut(file);
}

namespace {

// Folders nested deeper than this are shown without their contents.
constexpr int kDeepestFolder = 32;

std::vector<FavoriteItem> ReadFolder(const fs::path& root, int depth) {
    std::vector<FavoriteItem> folders;
    std::vector<FavoriteItem> links;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with('.') || !IsFavoriteName(name))
            continue;
        const auto status = entry.symlink_status(error);
        if (fs::is_directory(status)) {
            folders.push_back({name, true, "",
                               depth < kDeepestFolder ? ReadFolder(entry.path(), depth + 1)
                                                      : std::vector<FavoriteItem>{}});
        } else if (fs::is_regular_file(status) && IsShortcutFile(entry.path())) {
            if (auto url = ReadShortcut(entry.path()))
                links.push_back({entry.path().stem().string(), false, *url, {}});
        }
    }
    auto by_caption = [](const FavoriteItem& a, const FavoriteItem& b) {
        return a.caption < b.caption;
    };
    std::sort(folders.begin(), folders.end(), by_caption);
    std::sort(links.begin(), links.end(), by_caption);
    folders.insert(folders.end(), std::make_move_iterator(links.begin()),
                   std::make_move_iterator(links.end()));
    return folders;
}

}  // namespace

std::vector<FavoriteItem> ReadFavorites(const fs::path& root) {
    return ReadFolder(root, 0);
}

fs::path WriteShortcut(const fs::path& root, const std::vector<std::string>& folders,
                       const std::string& name, const std::string& url) {
    CheckName(name);
    if (!IsShortcutAddress(url))
        throw FavoriteError("不能收藏此地址：" + url);
    const fs::path file = FolderOf(root, folders) / (name + ".url");
    if (fs::is_symlink(fs::symlink_status(file)))
        throw FavoriteError("收藏名称无效：" + name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "[InternetShortcut]\r\nURL=" << url << "\r\n";
    out.close();
    if (!out)
        throw FavoriteError("保存收藏失败：" + file.string());
    return file;
}

fs::path MakeFavoriteFolder(const fs::path& root, const std::vector<std::string>& folders,
                            const std::string& name) {
    CheckName(name);
    const fs::path folder = FolderOf(root, folders) / name;
    std::error_code error;
    fs::create_directory(folder, error);
    if (error || !fs::is_directory(fs::symlink_status(folder)))
        throw FavoriteError("新建收藏夹失败：" + name);
    return folder;
}

bool DeleteFavorite(const fs::path& root, const std::vector<std::string>& folders,
                    const std::string& caption, bool folder) {
    CheckName(caption);
    const fs::path target = FindFavorite(FolderOf(root, folders), caption, folder);
    if (target.empty())
        return false;
    std::error_code error;
    if (folder)
        return fs::remove_all(target, error) > 0 && !error;
    return fs::remove(target, error) && !error;
}

void RenameFavorite(const fs::path& root, const std::vector<std::string>& folders,
                    const std::string& caption, bool folder, const std::string& new_name) {
    CheckName(new_name);
    const fs::path parent = FolderOf(root, folders);
    const fs::path source = ExistingFavorite(parent, caption, folder);
    RenameInto(source, parent / (folder ? new_name : new_name + ".url"));
}

void MoveFavorite(const fs::path& root, const std::vector<std::string>& folders,
                  const std::string& caption, bool folder,
                  const std::vector<std::string>& to_folders) {
    const fs::path source = ExistingFavorite(FolderOf(root, folders), caption, folder);
    const fs::path target_folder = FolderOf(root, to_folders);
    if (folder && Inside(source, target_folder))
        throw FavoriteError("不能把收藏夹移到它自己里面：" + caption);
    RenameInto(source, target_folder / source.filename());
}

bool CanAddFavorite(const std::string& title, const std::string& url) {
    return !TrimControls(title).empty() && !TrimControls(url).empty();
}

std::string FavoriteNameForTitle(const std::string& title) {
    std::string name(TrimControls(title));
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    name = std::string(TrimControls(name));
    if (name.find_first_not_of('.') == std::string::npos)
        return "_";
    return name;
}

}  // namespace kivo::catalogue
