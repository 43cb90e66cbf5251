#include "session/cache_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "platform/paths.h"
#include "session/session_names.h"
#include "session/shell_folders.h"

namespace kivo {

namespace {

bool IsSymlink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder above `folder` (which ends with "/"), with its "/"; empty when there is none.
std::string ParentFolder(std::string folder) {
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    const auto slash = folder.rfind('/');
    if (slash == std::string::npos)
        return {};
    return folder.substr(0, slash + 1);
}

}  // namespace

TCacheFolders::TCacheFolders() : TCacheFolders(UserSettings(), WorkPath()) {}

TCacheFolders::TCacheFolders(UserSettings settings, std::string app_path)
    : settings_(std::move(settings)), app_path_(std::move(app_path)) {}

std::string TCacheFolders::GetCacheRoot() {
    if (cache_root_.empty()) {
        std::string root;
        const std::string profile = ProfileFolder();
        if (profile.front() == '/') {
            try {
                MakeFolders(profile);
                if (IsFolder(profile))
                    root = profile;
            } catch (const std::exception&) {
            }
        }
        if (root.empty())
            root = ParentFolder(app_path_);
        if (root.empty() || root.front() != '/')
            throw std::runtime_error("no folder for the session folders: the profile folder " +
                                     profile + " cannot be made and the program folder \"" +
                                     app_path_ + "\" has no parent");
        cache_root_ = root;
    }
    // An existing folder is no error, and a failure shows when a session folder is made.
    mkdir(cache_root_.c_str(), 0700);
    return cache_root_;
}

void TCacheFolders::SwitchCacheFolders(std::string_view cache_path) {
    saved_cookies_.reset();
    saved_cache_.reset();
    // Refuse a bad name before anything is read, with any root standing in.
    SessionPath("/", cache_path);

    const SessionFolders defaults = DefaultSessionFolders();
    saved_cookies_ = settings_.Read(kUserShellFoldersKey, kCookiesValue).value_or(defaults.Cookies);
    saved_cache_ = settings_.Read(kUserShellFoldersKey, kCacheValue).value_or(defaults.Cache);

    const std::string root = GetCacheRoot();
    const std::string folder = SessionPath(root, cache_path);
    const std::string sessions = root + std::string(kSessionsFolder);
    for (const std::string& path : {sessions, folder.substr(0, folder.size() - 1)}) {
        if (IsSymlink(path))
            throw std::runtime_error(path + " is a symbolic link, not a session folder");
    }
    // As with the folder settings themselves, a folder that cannot be made is not an error
    // here: the worker's engine reports it when it starts.
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    settings_.Write(kUserShellFoldersKey, kCookiesValue, folder);
    settings_.Write(kUserShellFoldersKey, kCacheValue, folder);
}

void TCacheFolders::RestoreCacheFolders() {
    if (saved_cookies_) {
        settings_.Write(kUserShellFoldersKey, kCookiesValue, *saved_cookies_);
        settings_.Write(kShellFoldersKey, kCookiesValue, *saved_cookies_);
    }
    if (saved_cache_) {
        settings_.Write(kUserShellFoldersKey, kCacheValue, *saved_cache_);
        settings_.Write(kShellFoldersKey, kCacheValue, *saved_cache_);
    }
    saved_cookies_.reset();
    saved_cache_.reset();
}

}  // namespace kivo
