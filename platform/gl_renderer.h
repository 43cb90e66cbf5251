#pragma once
// The machine's OpenGL renderer, as the desktop's display offers it to programs.
#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace kivo {

// The renderer name (GL_RENDERER) of an OpenGL ES context made through EGL on `display`, such
// as "llvmpipe (LLVM 15.0.6, 256 bits)" or "Mesa Intel(R) UHD Graphics 620 (KBL GT2)". Nothing
// when the machine has no graphics device node at all (then no driver is loaded), when `display`
// is null, or when any step fails. It loads the machine's OpenGL driver, so a process asks once,
// before its web engine starts; the display is left as it was found.
std::optional<std::string> ProbeGlRenderer(Display* display);

}  // namespace kivo
