#pragma once
// Where the program and the user's files live. Every folder returned ends with "/".
#include <optional>
#include <string>

namespace kivo {

// The user's home folder, ending with "/": $HOME when it is an absolute path, else the home
// the password database gives this user. Throws std::runtime_error with a text for the user
// when there is neither: the program never falls back to a folder other users share.
std::string HomeFolder();
// The same from `home` ($HOME, null when unset) and the password database's home (nothing when
// it has none), so that the rule can be checked without changing the process.
std::string HomeFolderFrom(const char* home, const std::optional<std::string>& recorded_home);
// Makes sure $HOME names the user's home (see HomeFolder), so that everything the program and
// its libraries keep under it lands there; throws like HomeFolder.
void SettleHomeVariable();

// The folder of the running executable (the program folder).
std::string AppPath();
// The full path of the running executable.
std::string ExecutablePath();
// $XDG_CONFIG_HOME/gameKivo/ (else ~/.config/gameKivo/).
std::string ConfigFolder();
// $XDG_DATA_HOME/gameKivo/ (else ~/.local/share/gameKivo/): the ordinary browsing profile.
std::string ProfileFolder();
// $XDG_RUNTIME_DIR/ (else a private per-user folder under /tmp, made on demand with mode 0700;
// throws when that name is taken by a link, a file or another user's folder).
std::string RuntimeFolder();
// Makes `folder` (ending with "/") a private folder of this user and returns it: made with mode
// 0700 when missing, narrowed to 0700 when wider. Throws when the name is a link, not a
// folder, or another user's.
std::string PrivateFolder(const std::string& folder);
// $XDG_CACHE_HOME/gameKivo/ (else ~/.cache/gameKivo/).
std::string UserCacheFolder();

// The file an installation puts into the program folder; see RunsInstalled.
inline constexpr const char* kInstalledMarker = "installed";
// The database file's name, in the program folder or in the user's data folder.
inline constexpr const char* kDatabaseFileName = "MultOpenApp.dat";

// Whether the program folder `app_path` (ending with "/") belongs to an installation: it holds
// the file kInstalledMarker, or this user cannot write into it. An installed program folder is
// shared by every user of the machine and the program never writes into it.
bool RunsInstalled(const std::string& app_path);

// Where a run keeps what it writes.
struct WritablePlaces {
    std::string Database;  // the database file
    std::string Work;      // holds "Temp/", "WebImage/" and the program's own "KivoCache/"
};

// Run from where it was built, everything stays in the program folder `app_path`, as it always
// did. Installed, the database is the user's own in ProfileFolder() and the rest lies in
// UserCacheFolder(), so that users of one machine never share a file.
WritablePlaces WritablePlacesFor(const std::string& app_path, bool installed);
// The places of the running program.
WritablePlaces Writable();
// Writable().Work: the folder that holds "Temp/", "WebImage/" and the program's "KivoCache/".
std::string WorkPath();

// Makes sure `places.Database` exists: when it is not the template itself and is missing, the
// template is copied there whole (see CopyFileOnce), so an installed program's first start gives
// the user a database of their own. An existing file is never touched. Throws with the reason
// when the copy cannot be made.
void PrepareDatabase(const WritablePlaces& places, const std::string& template_file);

// Makes the folder and its parents; throws with the reason when it cannot.
void MakeFolders(const std::string& path);

}  // namespace kivo
