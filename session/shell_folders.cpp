#include "session/shell_folders.h"

#include "platform/paths.h"

namespace kivo {

namespace {

std::string FolderOrDefault(const std::optional<std::string>& value, const std::string& fallback) {
    if (!value || value->empty() || value->front() != '/') return fallback;
    std::string folder = *value;
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

SessionFolders DefaultSessionFolders() {
    return {ProfileFolder() + "Cookies/", ProfileFolder() + "Cache/"};
}

SessionFolders ReadSessionFolders(const UserSettings& settings) {
    const SessionFolders defaults = DefaultSessionFolders();
    return {FolderOrDefault(settings.Read(kUserShellFoldersKey, kCookiesValue), defaults.Cookies),
            FolderOrDefault(settings.Read(kUserShellFoldersKey, kCacheValue), defaults.Cache)};
}

}  // namespace kivo
