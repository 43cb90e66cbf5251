#pragma once
// Helpers shared by the tests of real parts: an isolated home folder, copies of executables
// under other names, waiting while the main loop runs, and windows on the test display.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kivo::test {

// A temporary folder that HOME and the XDG folders point into for the life of the object.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Copies the executable to `folder` under `name` (made executable); returns the new path.
std::string CopyExecutable(const std::string& source, const std::string& folder,
                           const std::string& name);

// Copies the executable as CopyExecutable does, with what the program folder holds beside it
// (the page extension's folder) and an empty WebImage folder; returns the new path.
std::string CopyProgram(const std::string& executable, const std::string& folder,
                        const std::string& name);

// Runs the default main context until `done` holds or the time is up; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Runs the default main context for the given time.
void PumpFor(std::chrono::milliseconds time);

// Whether the process exists and has not ended (a zombie counts as ended).
bool ProcessRunning(pid_t pid);
// The direct children of a process.
std::vector<pid_t> ChildrenOf(pid_t parent);
// Every process below a process: its children, theirs, and so on (the engine starts a page
// process through the sandbox tool, two generations down).
std::vector<pid_t> DescendantsOf(pid_t ancestor);
// The process's program as it was started (the first word of its command line).
std::string ProcessCommand(pid_t pid);
// The engine's page processes below a process.
std::vector<pid_t> PageProcessesBelow(pid_t ancestor);

// The test display, opened once; nothing when there is no DISPLAY.
Display* TestDisplay();

// A bare top-level X window with the given class and title, as a stand-in main window.
class TopLevelWindow {
public:
    TopLevelWindow(const std::string& window_class, const std::string& title);
    ~TopLevelWindow();
    TopLevelWindow(const TopLevelWindow&) = delete;
    TopLevelWindow& operator=(const TopLevelWindow&) = delete;

    unsigned long Id() const { return window_; }

private:
    unsigned long window_ = 0;
};

// Owns the display's XEmbed tray selection while it lives, as a desktop's tray does (it docks
// nothing; programs only see that a tray is there).
class XEmbedTrayOwner {
public:
    XEmbedTrayOwner();
    ~XEmbedTrayOwner();
    XEmbedTrayOwner(const XEmbedTrayOwner&) = delete;
    XEmbedTrayOwner& operator=(const XEmbedTrayOwner&) = delete;

private:
    unsigned long window_ = 0;
};

// Presses a key with modifiers through the display (XTest), as a keyboard would, then runs
// the main context for a moment.
void PressKeys(std::initializer_list<KeySym> modifiers, KeySym key);
// Whether the window is mapped and viewable on the test display.
bool WindowViewable(unsigned long window);

// The first top-level window with this title, else 0 (searched one level into frames).
unsigned long FindWindowByTitle(const std::string& title);
// Asks the window's owner to close it, as a window manager's close button does.
void RequestClose(unsigned long window);

}  // namespace kivo::test
