#pragma once
// Where the program and the user's files live. Every folder returned ends with "/".
#include <string>

namespace kivo {

// The folder of the running executable (the program folder).
std::string AppPath();
// The full path of the running executable.
std::string ExecutablePath();
// $XDG_CONFIG_HOME/gameKivo/ (else ~/.config/gameKivo/).
std::string ConfigFolder();
// $XDG_DATA_HOME/gameKivo/ (else ~/.local/share/gameKivo/): the ordinary browsing profile.
std::string ProfileFolder();
// $XDG_RUNTIME_DIR/ (else a private per-user folder under /tmp, made on demand).
std::string RuntimeFolder();

// Makes the folder and its parents; throws with the reason when it cannot.
void MakeFolders(const std::string& path);

}  // namespace kivo
