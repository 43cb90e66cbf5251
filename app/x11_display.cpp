#include "app/x11_display.h"

#include <gdk/gdk.h>

#include <cstdlib>

namespace kivo {

void ChooseX11Display() {
    gdk_set_allowed_backends("x11");
}

std::string NoX11DisplayMessage(const std::string& program) {
    const char* display = std::getenv("DISPLAY");
    std::string text = program + ": cannot reach an X server";
    text += display && *display ? std::string(" at DISPLAY=") + display : " (DISPLAY is not set)";
    text += "; the program needs X11";
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        text += ", which a Wayland session offers through XWayland";
    return text;
}

}  // namespace kivo
