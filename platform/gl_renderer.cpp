#include "platform/gl_renderer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <filesystem>
#include <string_view>

namespace kivo {

namespace {

constexpr unsigned kGlRenderer = 0x1F01;  // GL_RENDERER, without pulling in a GL header
using GetStringFunction = const unsigned char* (*)(unsigned);

// Direct rendering needs a device node of the kernel's graphics drivers (or the vendor's own);
// without one, whatever OpenGL there is draws on the processor.
bool HasGraphicsDevice() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("renderD", 0) == 0 || name.rfind("card", 0) == 0)
            return true;
    }
    return std::filesystem::exists("/dev/nvidiactl", error);
}

bool HasExtension(const char* list, std::string_view name) {
    if (!list)
        return false;
    std::string_view rest(list);
    while (!rest.empty()) {
        const std::size_t end = rest.find(' ');
        if (rest.substr(0, end) == name)
            return true;
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

EGLDisplay X11EglDisplay(Display* display) {
    const char* client_extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (platform_display && (HasExtension(client_extensions, "EGL_KHR_platform_x11") ||
                             HasExtension(client_extensions, "EGL_EXT_platform_x11")))
        return platform_display(EGL_PLATFORM_X11_KHR, display, nullptr);
    return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
}

// The renderer of a small off-screen context on an initialised display.
std::optional<std::string> RendererOf(EGLDisplay display) {
    if (!eglBindAPI(EGL_OPENGL_ES_API))
        return std::nullopt;
    const EGLint config_wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                    EGL_OPENGL_ES2_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, config_wanted, &config, 1, &configs) || configs < 1)
        return std::nullopt;
    const EGLint surface_size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surface_size);
    if (surface == EGL_NO_SURFACE)
        return std::nullopt;
    const EGLint context_wanted[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_wanted);
    std::optional<std::string> renderer;
    if (context != EGL_NO_CONTEXT && eglMakeCurrent(display, surface, surface, context)) {
        const auto get_string =
            reinterpret_cast<GetStringFunction>(eglGetProcAddress("glGetString"));
        const unsigned char* name = get_string ? get_string(kGlRenderer) : nullptr;
        if (name)
            renderer = std::string(reinterpret_cast<const char*>(name));
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (context != EGL_NO_CONTEXT)
        eglDestroyContext(display, context);
    eglDestroySurface(display, surface);
    return renderer;
}

}  // namespace

std::optional<std::string> ProbeGlRenderer(Display* display) {
    if (!display || !HasGraphicsDevice())
        return std::nullopt;
    EGLDisplay egl = X11EglDisplay(display);
    if (egl == EGL_NO_DISPLAY)
        return std::nullopt;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(egl, &major, &minor))
        return std::nullopt;
    std::optional<std::string> renderer = RendererOf(egl);
    eglReleaseThread();
    eglTerminate(egl);
    return renderer;
}

}  // namespace kivo
