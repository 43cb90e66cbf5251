// The area chooser: a full-screen overlay over a frozen picture of the screen in which the user
// drags a rectangle. The picture of the rectangle goes to the clipboard.
//
// The library is loaded and unloaded around every call, so nothing of it may outlive the call:
// no types registered, no timers or idle sources left, every signal handler disconnected.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Screens larger than this are not captured.
constexpr int kLargestSide = 8000;

struct PixbufUnref {
    void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, PixbufUnref>;

struct LoopUnref {
    void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};

struct TAreaChooser {
    PixbufPtr frozen;
    GtkWidget* window = nullptr;
    std::unique_ptr<GMainLoop, LoopUnref> loop{g_main_loop_new(nullptr, FALSE)};
    bool dragging = false;
    bool chosen = false;  // a rectangle has been dragged
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool taken = false;

    GdkRectangle Area() const {
        return {std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0)};
    }
    bool HasArea() const {
        const GdkRectangle area = Area();
        return chosen && area.width > 0 && area.height > 0;
    }
    // Ends the nested loop: with the area when `take` and there is one, else with nothing.
    void Finish(bool take) {
        taken = take && HasArea();
        g_main_loop_quit(loop.get());
    }
};

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* chooser = static_cast<TAreaChooser*>(data);
    gdk_cairo_set_source_pixbuf(cr, chooser->frozen.get(), 0, 0);
    cairo_paint(cr);
    // Everything but the rectangle is dimmed.
    const GdkRectangle area = chooser->Area();
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(cr, 0, 0, gdk_pixbuf_get_width(chooser->frozen.get()),
                    gdk_pixbuf_get_height(chooser->frozen.get()));
    if (chooser->chosen)
        cairo_rectangle(cr, area.x, area.y, area.width, area.height);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_fill(cr);
    if (!chooser->chosen)
        return TRUE;
    // The frame lies just outside the rectangle, so the chosen pixels show as they are.
    cairo_set_source_rgb(cr, 0x33 / 255.0, 0x66 / 255.0, 1);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, area.x - 0.5, area.y - 0.5, area.width + 1, area.height + 1);
    cairo_stroke(cr);
    // The size, above the rectangle (inside it when there is no room above).
    char size[48];
    std::snprintf(size, sizeof size, "%d × %d", area.width, area.height);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 12);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, size, &extents);
    const double top = area.y >= 20 ? area.y - 20 : area.y + 2;
    cairo_rectangle(cr, area.x, top, extents.x_advance + 8, 18);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, area.x + 4, top + 13);
    cairo_show_text(cr, size);
    return TRUE;
}

gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    auto* chooser = static_cast<TAreaChooser*>(data);
    if (event->type != GDK_BUTTON_PRESS)
        return TRUE;
    if (event->button == GDK_BUTTON_SECONDARY) {
        chooser->Finish(false);
    } else if (event->button == GDK_BUTTON_PRIMARY) {
        chooser->dragging = chooser->chosen = true;
        chooser->x0 = chooser->x1 = static_cast<int>(event->x);
        chooser->y0 = chooser->y1 = static_cast<int>(event->y);
        gtk_widget_queue_draw(widget);
    }
    return TRUE;
}

gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data) {
    auto* chooser = static_cast<TAreaChooser*>(data);
    if (chooser->dragging) {
        chooser->x1 = static_cast<int>(event->x);
        chooser->y1 = static_cast<int>(event->y);
        gtk_widget_queue_draw(widget);
    }
    return TRUE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* chooser = static_cast<TAreaChooser*>(data);
    if (event->button == GDK_BUTTON_PRIMARY && chooser->dragging) {
        chooser->dragging = false;
        chooser->x1 = static_cast<int>(event->x);
        chooser->y1 = static_cast<int>(event->y);
        chooser->Finish(true);
    }
    return TRUE;
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* chooser = static_cast<TAreaChooser*>(data);
    if (event->keyval == GDK_KEY_Escape)
        chooser->Finish(false);
    else if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter)
        chooser->Finish(true);
    return TRUE;
}

// Losing the grab to another program, or the window going, ends the choice with nothing.
gboolean OnGrabBroken(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<TAreaChooser*>(data)->Finish(false);
    return TRUE;
}

// Takes pointer and keyboard for the overlay. Right after a menu closes its grab may still be
// going, so a few tries are made.
bool GrabInput(GtkWidget* window) {
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window));
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (gdk_seat_grab(seat, gtk_widget_get_window(window), GDK_SEAT_CAPABILITY_ALL, FALSE,
                          nullptr, nullptr, nullptr, nullptr) == GDK_GRAB_SUCCESS)
            return true;
        g_usleep(50000);
    }
    return false;
}

// Lets the user choose; true when an area was chosen.
bool Choose(TAreaChooser& chooser) {
    const int width = gdk_pixbuf_get_width(chooser.frozen.get());
    const int height = gdk_pixbuf_get_height(chooser.frozen.get());
    GtkWidget* window = chooser.window = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_move(GTK_WINDOW(window), 0, 0);
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    gtk_widget_set_app_paintable(window, TRUE);
    gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK);
    atk_object_set_name(gtk_widget_get_accessible(window), "区域截图");
    g_signal_connect(window, "draw", G_CALLBACK(OnDraw), &chooser);
    g_signal_connect(window, "button-press-event", G_CALLBACK(OnButtonPress), &chooser);
    g_signal_connect(window, "button-release-event", G_CALLBACK(OnButtonRelease), &chooser);
    g_signal_connect(window, "motion-notify-event", G_CALLBACK(OnMotion), &chooser);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), &chooser);
    g_signal_connect(window, "grab-broken-event", G_CALLBACK(OnGrabBroken), &chooser);
    gtk_widget_show_now(window);
    GdkCursor* cross = gdk_cursor_new_for_display(gtk_widget_get_display(window), GDK_CROSSHAIR);
    gdk_window_set_cursor(gtk_widget_get_window(window), cross);
    g_object_unref(cross);

    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window));
    if (GrabInput(window)) {
        g_main_loop_run(chooser.loop.get());
        gdk_seat_ungrab(seat);
    }
    g_signal_handlers_disconnect_by_data(window, &chooser);
    gtk_widget_destroy(window);
    // The overlay must be off the screen before the caller takes its next picture.
    gdk_display_sync(gdk_display_get_default());
    return chooser.taken;
}

}  // namespace

// Lets the user drag a rectangle over the screen and puts its picture on the clipboard.
// Returns only when the user is done: 1 when an area was captured and is on the clipboard, 0
// when the choice was cancelled (Esc, right click) or empty; the clipboard is then unchanged.
extern "C" __attribute__((visibility("default"))) int CameraSubArea(int) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return 0;
    GdkWindow* root = gdk_screen_get_root_window(gdk_display_get_default_screen(display));
    const int width = gdk_window_get_width(root);
    const int height = gdk_window_get_height(root);
    if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
        return 0;

    TAreaChooser chooser;
    chooser.frozen.reset(gdk_pixbuf_get_from_window(root, 0, 0, width, height));
    if (!chooser.frozen || !Choose(chooser))
        return 0;

    const GdkRectangle area = chooser.Area();
    const int right = std::min(area.x + area.width, width);
    const int bottom = std::min(area.y + area.height, height);
    const int left = std::max(area.x, 0), top = std::max(area.y, 0);
    if (right <= left || bottom <= top)
        return 0;
    const PixbufPtr part(
        gdk_pixbuf_new_subpixbuf(chooser.frozen.get(), left, top, right - left, bottom - top));
    const PixbufPtr picture(gdk_pixbuf_copy(part.get()));
    if (!picture)
        return 0;
    GtkClipboard* clipboard = gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_image(clipboard, picture.get());
    // Success only when the clipboard now answers with a picture.
    return gtk_clipboard_wait_is_image_available(clipboard) ? 1 : 0;
}
