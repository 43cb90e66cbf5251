#pragma once
// Top-level window search on the X display.
#include <X11/Xlib.h>

#include <string>

namespace kivo {

// The first top-level client window whose WM_CLASS class is `window_class` and whose title
// (_NET_WM_NAME, else WM_NAME) is `title`; 0 when there is none. Client windows are taken as
// the window manager publishes them (_NET_CLIENT_LIST), else as the windows carrying WM_STATE at
// any depth below the root, else (no window manager) as the root's children.
unsigned long FindTopLevelWindow(Display* display, const std::string& window_class,
                                 const std::string& title);

// Whether the window still exists on the display.
bool WindowExists(Display* display, unsigned long window);

}  // namespace kivo
