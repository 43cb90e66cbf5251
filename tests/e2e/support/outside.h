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

// What the window manager does for a taskbar or a pager: minimise the first top-level window
// with this title, and bring it back as the active window.
void MinimiseThroughWindowManager(const std::string& title);
void ActivateThroughWindowManager(const std::string& title);
// Whether the window manager has made the window of this title the active one, and the window
// has taken the keyboard focus.
bool IsActiveWindow(const std::string& title);

// Which window of the test display has the keyboard focus, with its names and those of the
// windows it lies in, for a failure message.
std::string KeyboardFocusDescription();

struct ScreenBox {
    int x = 0, y = 0, width = 0, height = 0;
};
// Where the window of this title is on the screen, without the frame a window manager drew
// around it; all 0 when there is no such window.
ScreenBox WindowBox(const std::string& title);
// The widths of the window manager's frame around the window (left, right, top, bottom, all 0
// for a window drawn without one); empty while the window manager has not said.
std::vector<long> FrameExtents(const std::string& title);

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
