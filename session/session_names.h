#pragma once
// Names of session folders. A session folder is kept in stored form, "KivoCache\" followed by
// one folder name, relative to the cache root: that is how account rows keep it, so a database
// made elsewhere keeps working. It becomes a file-system path only through SessionPath, which
// refuses every name that could lead out of the cache root's "KivoCache/" folder.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// The folder below the cache root (and the program folder) that holds every session folder.
inline constexpr std::string_view kSessionsFolder = "KivoCache";
// Part of the name of every temporary session folder; such folders are removed at exit.
inline constexpr std::string_view kTempSessionMark = "AppTemp";

// Milliseconds since the system started, wrapping at 32 bits.
uint32_t TickCount();

// The longest name of one folder, in bytes, and the longest path, in bytes with its NUL, that
// the file system takes.
inline constexpr size_t kMaxNameBytes = 255;
inline constexpr size_t kMaxPathBytes = 4096;

// Throws std::invalid_argument unless `name` can be one session folder's name: not empty, no
// NUL, no "/" or "\", not beginning with "." (which also rules out "." and ".."), and no longer
// than kMaxNameBytes.
void CheckSessionName(std::string_view name);

// The stored form of a free session: "KivoCache\AppTemp" + `suffix`, or + the decimal `tick`
// when the suffix is empty. Throws std::invalid_argument for a suffix that is not a plain name.
std::string FreeSessionFolder(std::string_view suffix, uint32_t tick);
// The same with the tick count of this moment.
std::string FreeSessionFolder(std::string_view suffix);

// The stored form of an account's session folder: "KivoCache\" + the account name.
// Throws std::invalid_argument for a name that CheckSessionName refuses.
std::string AccountSessionFolder(std::string_view account_name);

// The folder name of a stored session folder: `stored` must be "KivoCache" (any letter case),
// one "\" or "/", and a name CheckSessionName accepts. Throws std::invalid_argument otherwise.
std::string SessionFolderName(std::string_view stored);

// The file-system folder, ending with "/", of the stored session folder below `root`:
// root + "KivoCache/" + name + "/". `root` must be an absolute folder ending with "/", and the
// whole path shorter than kMaxPathBytes. Throws std::invalid_argument otherwise, and for a
// `stored` that SessionFolderName refuses.
std::string SessionPath(std::string_view root, std::string_view stored);

}  // namespace kivo
