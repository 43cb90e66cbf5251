#pragma once
// Both roles speak X11 to the desktop: workers' views are embedded into the tabs' windows, the
// boss key is a key grab, the screen picture reads the root window and the window search walks
// the X window tree. On a Wayland session the program therefore runs through XWayland.
#include <string>

namespace kivo {

// Makes the toolkit open an X11 display whatever the session offers; called before the toolkit
// starts. Without it a Wayland session gives the toolkit a Wayland display the program cannot use.
void ChooseX11Display();

// What `program` says on standard error when no X server can be reached.
std::string NoX11DisplayMessage(const std::string& program);

}  // namespace kivo
