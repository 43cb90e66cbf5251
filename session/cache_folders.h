#pragma once
// Points the per-user "Cookies" and "Cache" folder settings at a session folder while a tab's
// worker starts, and puts the user's own values back afterwards. A worker's engine reads those
// settings once, when it starts (see shell_folders.h), so every session folder gives the
// workers started on it a cookie and cache store of their own.
//
// The main window owns one TCacheFolders for the run. Openings never nest: every switch is
// followed by a restore before the next switch (RunInSession does both).
#include <optional>
#include <string>
#include <string_view>

#include "platform/user_settings.h"

namespace kivo {

class TCacheFolders {
  public:
    // The current user's settings; the folder whose parent is the cache root's fallback: the
    // program folder when run from the build, the user's cache folder when installed (WorkPath).
    TCacheFolders();
    TCacheFolders(UserSettings settings, std::string app_path);

    // Points both "User Shell Folders" values at the folder of `cache_path` (stored form,
    // relative to the cache root, see session_names.h), made with its parents when missing.
    // "Shell Folders" is not touched. The values found before are kept for the restore.
    // Throws for a folder name that would lead out of the session folders (nothing is read
    // or written then), when no cache root can be found, and when a setting cannot be written.
    void SwitchCacheFolders(std::string_view cache_path);

    // Writes the values kept by the latest switch back to "User Shell Folders" and to
    // "Shell Folders", "Cookies" first. Only values that switch really read are written: after
    // a switch that failed before reading them, nothing is. Once written they are forgotten.
    void RestoreCacheFolders();

    // The root of all session folders, ending with "/": the folder of the ordinary profile
    // (the one that holds its "Cache" folder); when that cannot be made, the parent of the
    // program folder. Found on the first call that succeeds and kept for the run; made (one
    // level) at every call. Throws when neither gives an absolute folder.
    std::string GetCacheRoot();

    // Empty until GetCacheRoot has found it.
    const std::string& CacheRoot() const { return cache_root_; }
    // The values the latest switch read, until they are restored.
    const std::optional<std::string>& SavedCookiesFolder() const { return saved_cookies_; }
    const std::optional<std::string>& SavedCacheFolder() const { return saved_cache_; }

  private:
    UserSettings settings_;
    std::string app_path_;
    std::string cache_root_;
    std::optional<std::string> saved_cookies_;
    std::optional<std::string> saved_cache_;
};

// Runs `body` with the settings switched to `cache_path`, and restores them however the switch
// or the body ends. The first failure is the one that leaves.
template <typename Body>
void RunInSession(TCacheFolders& folders, std::string_view cache_path, Body&& body) {
    try {
        folders.SwitchCacheFolders(cache_path);
        body();
    } catch (...) {
        try {
            folders.RestoreCacheFolders();
        } catch (...) {
        }
        throw;
    }
    folders.RestoreCacheFolders();
}

}  // namespace kivo
