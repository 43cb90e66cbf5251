#pragma once
// What the outside world sees of the program: its windows, its files and its database.
#include <ostream>
#include <string>
#include <vector>

namespace kivo::e2e {

enum class WindowState {
    Absent,    // no top-level window of that title
    Unmapped,  // hidden (withdrawn)
    Iconic,    // minimised: WM_STATE says so
    Shown,     // mapped and viewable
};
const char* ToString(WindowState state);
inline std::ostream& operator<<(std::ostream& out, WindowState state) {
    return out << ToString(state);
}

// The state of the first top-level window with this title.
WindowState WindowStateOf(const std::string& title);

// The colour of a pixel of the screen as 0xRRGGBB, as drawn now.
unsigned long ScreenPixel(int x, int y);

// Rows of a read-only query on a database file, each column as text ("" for NULL). Throws with
// SQLite's message on failure.
std::vector<std::vector<std::string>> QueryDatabase(const std::string& path,
                                                    const std::string& sql);

// The desktop's clipboard as another program reads it: the toolkit of this process is set up
// once, without joining the accessibility bus, by either call.
void InitClipboardToolkit();
// The clipboard's text, empty when it holds none.
std::string ClipboardText();

// The names of the entries of a folder matching `contains` ("" for all); none when it is missing.
std::vector<std::string> FolderEntries(const std::string& folder, const std::string& contains = "");

}  // namespace kivo::e2e
