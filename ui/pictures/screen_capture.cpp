#include "ui/pictures/screen_capture.h"

#include <X11/extensions/Xfixes.h>
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "session/wait_messages.h"

namespace kivo {

namespace {

struct LibraryClose {
    void operator()(void* library) const { dlclose(library); }
};

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

}  // namespace

imaging::RgbImage CaptureScreen() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        throw std::runtime_error("there is no display");
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor)
        throw std::runtime_error("the display has no monitor");
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(monitor, &geometry);
    if (geometry.width <= 0 || geometry.height <= 0 || geometry.width > kLargestScreenSide ||
        geometry.height > kLargestScreenSide)
        throw std::runtime_error("the screen is too large to be captured");
    GdkWindow* root = gdk_screen_get_root_window(gdk_display_get_default_screen(display));
    const auto pixbuf = GObjectRef<GdkPixbuf>::Adopt(
        gdk_pixbuf_get_from_window(root, 0, 0, geometry.width, geometry.height));
    if (!pixbuf)
        throw std::runtime_error("the screen cannot be read");
    return imaging::PixbufToImage(pixbuf.Get());
}

bool DrawCursorOnto(imaging::RgbImage& picture, int origin_x, int origin_y) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display))
        return false;
    Display* x_display = gdk_x11_display_get_xdisplay(display);
    int event_base = 0, error_base = 0;
    if (!XFixesQueryExtension(x_display, &event_base, &error_base))
        return false;
    const std::unique_ptr<XFixesCursorImage, XFreeDeleter> cursor(XFixesGetCursorImage(x_display));
    if (!cursor || cursor->width == 0 || cursor->height == 0)
        return false;
    // The words come as unsigned long, 32 bits of premultiplied ARGB in each.
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(cursor->width) * cursor->height);
    for (std::size_t i = 0; i < argb.size(); ++i)
        argb[i] = static_cast<std::uint32_t>(cursor->pixels[i]);
    // The hot spot lands on the pointer's position.
    imaging::DrawPremultipliedOnto(picture, cursor->x - cursor->xhot - origin_x,
                                   cursor->y - cursor->yhot - origin_y, cursor->width,
                                   cursor->height, argb);
    return true;
}

bool CaptureToClipboard(bool draw_cursor) {
    try {
        WaitWithMessages(100);
        imaging::RgbImage picture = CaptureScreen();
        if (draw_cursor)
            DrawCursorOnto(picture, 0, 0);
        PutOnClipboard(picture);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CaptureToFile(const std::string& path, imaging::TSaveType save_type, bool draw_cursor) {
    try {
        WaitWithMessages(100);
        imaging::RgbImage picture = CaptureScreen();
        if (draw_cursor)
            DrawCursorOnto(picture, 0, 0);
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        if (!g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR))
            return false;
        imaging::TPic().SavePic(path, picture, save_type, 100);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void PutOnClipboard(const imaging::RgbImage& picture) {
    const auto pixbuf = imaging::ImageToPixbuf(picture);
    gtk_clipboard_set_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), pixbuf.Get());
}

std::optional<imaging::RgbImage> ClipboardPicture() {
    const auto pixbuf = GObjectRef<GdkPixbuf>::Adopt(
        gtk_clipboard_wait_for_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD)));
    if (!pixbuf)
        return std::nullopt;
    try {
        return imaging::PixbufToImage(pixbuf.Get());
    } catch (const std::exception&) {
        return std::nullopt;  // too large to be a picture of the screen
    }
}

bool OpenInImageProgram(const std::string& path) {
    const auto program =
        GObjectRef<GAppInfo>::Adopt(g_app_info_get_default_for_type("image/bmp", FALSE));
    if (!program)
        return false;
    const auto file = GObjectRef<GFile>::Adopt(g_file_new_for_path(path.c_str()));
    GList files{file.Get(), nullptr, nullptr};
    const auto context = GObjectRef<GdkAppLaunchContext>::Adopt(
        gdk_display_get_app_launch_context(gdk_display_get_default()));
    GError* error = nullptr;
    const bool started =
        g_app_info_launch(program.Get(), &files, G_APP_LAUNCH_CONTEXT(context.Get()), &error);
    if (error)
        g_error_free(error);
    return started;
}

bool QuickAreaCapture(const std::string& app_path) {
    const std::string path = app_path + "CameraDll.so";
    const std::unique_ptr<void, LibraryClose> library(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library)
        return false;
    using TCameraSubArea = int (*)(int);
    const auto camera_sub_area =
        reinterpret_cast<TCameraSubArea>(dlsym(library.get(), "CameraSubArea"));
    return camera_sub_area && camera_sub_area(0) == 1;
}

}  // namespace kivo
