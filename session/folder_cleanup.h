#pragma once
// Removing folders the program made: session folders, thumbnails and snapshots. Removal never
// leaves the tree it was given: symbolic links are removed as links and never followed, and a
// folder of another file system mounted inside the tree is left alone.
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kivo {

// Removes the file or the folder (with everything in it) at `path`, permanently; a trailing
// "/" is allowed. Returns true when it is gone. Throws std::invalid_argument for a path that
// is not absolute, names "/" itself, or holds a "." or ".." segment or a NUL.
bool DeleteFolder(const std::string& path);

// Removes the folder at `path` (with or without a trailing "/"): every entry in it, then the
// folder itself when that left it empty. Failures are ignored; a path that is not a folder
// (a file, a symbolic link) is left as it is. Throws like DeleteFolder for a bad path.
void DeleteFolderTree(const std::string& path);

// Removes the session folder `name` of root + "KivoCache/" with everything in it. A
// "KivoCache" that is a symbolic link is not looked into. Returns true when it is gone; throws
// std::invalid_argument for a root that is not an absolute folder or a name CheckSessionName
// refuses.
bool DeleteSessionFolder(const std::string& root, const std::string& name);

// The folder names of saved accounts' session folders, from their stored forms (the accounts'
// CACHEPATH values); stored forms that name no session folder are left out.
std::set<std::string> AccountFolderNames(const std::vector<std::string>& stored_folders);

// The folder part of the exit clean-up (`work_path`: see WorkPath): every entry whose name
// contains "AppTemp" in work_path + "KivoCache/" and in cache_root + "KivoCache/", then
// work_path + "WebImage/" and work_path + "Temp/". A name in `account_folders` (see AccountFolderNames) is a saved
// account's session and stays whatever it holds; when the accounts are not known (nullopt),
// no entry of "KivoCache/" is removed. A "KivoCache" that is a symbolic link is not looked into.
// An empty `cache_root` (none found in this run) skips that folder. Results are ignored; throws
// std::invalid_argument for a folder that is not absolute.
void CleanUpRunFolders(const std::string& work_path, const std::string& cache_root,
                       const std::optional<std::set<std::string>>& account_folders);

}  // namespace kivo
