#include "tools/screenshot/window_shot.h"

#include <algorithm>
#include <cstring>

namespace kivo::shot {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        // A timer wakes the blocking iteration at least every 20 ms so that `done` is asked again.
        GSource* timer = g_timeout_source_new(static_cast<guint>(std::min<int64_t>(left.count(), 20)));
        g_source_set_callback(timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(timer, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
    }
    return true;
}

Glib::RefPtr<Gdk::Pixbuf> GrabScreenArea(Gtk::Widget& widget) {
    const Glib::RefPtr<Gdk::Window> own = widget.get_window();
    if (!own) return {};
    int x = 0, y = 0;
    own->get_origin(x, y);
    // A widget without a window of its own lies at its allocation inside its parent's.
    if (!widget.get_has_window()) {
        x += widget.get_allocation().get_x();
        y += widget.get_allocation().get_y();
    }
    GdkWindow* root = gdk_screen_get_root_window(widget.get_screen()->gobj());
    const int right = std::min(x + widget.get_allocated_width(), gdk_window_get_width(root));
    const int bottom = std::min(y + widget.get_allocated_height(), gdk_window_get_height(root));
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (right <= x || bottom <= y) return {};
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(root, x, y, right - x, bottom - y);
    return picture ? Glib::wrap(picture) : Glib::RefPtr<Gdk::Pixbuf>();
}

bool SingleColour(const Glib::RefPtr<Gdk::Pixbuf>& picture) {
    if (!picture || picture->get_width() <= 0 || picture->get_height() <= 0) return true;
    const int channels = picture->get_n_channels();
    const int stride = picture->get_rowstride();
    const guint8* pixels = picture->get_pixels();
    const int width = picture->get_width();
    for (int row = 0; row < picture->get_height(); ++row) {
        const guint8* line = pixels + static_cast<size_t>(row) * stride;
        for (int column = 0; column < width; ++column) {
            if (std::memcmp(line + static_cast<size_t>(column) * channels, pixels, 3) != 0)
                return false;
        }
    }
    return true;
}

}  // namespace kivo::shot
