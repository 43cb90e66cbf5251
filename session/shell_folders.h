#pragma once
// The per-user folder settings that decide where a worker's engine keeps its cookies and its
// cache. The main process points them at an account's folder while it starts that account's
// worker; a worker reads them once, when it starts.
#include <string>

#include "platform/user_settings.h"

namespace kivo {

inline constexpr const char* kUserShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kCookiesValue = "Cookies";
inline constexpr const char* kCacheValue = "Cache";

struct SessionFolders {
    std::string Cookies;  // each ends with "/"
    std::string Cache;
};

// The ordinary profile's folders, used when a setting is absent.
SessionFolders DefaultSessionFolders();

// The folders the settings name now. A value that is absent, empty or not an absolute path
// (for example a value copied from another system) gives the default folder.
SessionFolders ReadSessionFolders(const UserSettings& settings);

}  // namespace kivo
