#pragma once
// The list of tabs open at the end of the last run, kept in a per-user file so that the next
// start can offer them again whatever ended the run (a quit, a crash, a power cut). The file is
// replaced whole at every change; what it holds is checked as any outside input is: a damaged
// file or entry is dropped with a word, never trusted.
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// One tab of the list.
struct SessionTab {
    std::string Url;        // the address the tab showed
    std::string GameUrlID;  // the catalogue address it was opened for; "0" or empty for none
    std::string UserId;     // the account it was opened for; empty for a tab without account
    std::string UserName;   // that account's name
    std::string Caption;    // the tab's name
    bool operator==(const SessionTab&) const = default;
};

// Limits on what the file may bring back.
inline constexpr size_t kMaxSessionUrlBytes = 8192;
inline constexpr size_t kMaxSessionFieldBytes = 1024;
inline constexpr size_t kMaxSessionTabs = 200;
inline constexpr size_t kMaxSessionFileBytes = 4 * 1024 * 1024;

// Whether an address may be reopened: http, https or the program's own pages, at most
// kMaxSessionUrlBytes, valid UTF-8 without control characters or blanks.
bool RestorableUrl(std::string_view url);

// The file's text for the list.
std::string FormatSessionFile(const std::vector<SessionTab>& tabs);

// The tabs the text lists. Entries that are damaged, name an address RestorableUrl refuses or
// come after the first kMaxSessionTabs are dropped; a text that is not such a file at all gives
// nothing. Each drop is described by one line on `warnings`.
std::vector<SessionTab> ParseSessionFile(std::string_view text, std::ostream& warnings);

// The per-user file: $XDG_DATA_HOME/gameKivo/LastSession.
std::string LastSessionPath();

// Reads the file: nothing when it is missing; nothing, with a word on `warnings`, when it cannot
// be read or is larger than kMaxSessionFileBytes.
std::vector<SessionTab> ReadLastSession(const std::string& path, std::ostream& warnings);

// Replaces the file whole (a temporary file renamed over it). Throws with the reason.
void WriteLastSession(const std::string& path, const std::vector<SessionTab>& tabs);

}  // namespace kivo
