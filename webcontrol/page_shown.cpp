#include "webcontrol/page_shown.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>

namespace kivo::page {

namespace {

Atom ShownAtom(GdkDisplay* display) {
    return gdk_x11_get_xatom_by_name_for_display(display, kShownProperty);
}

// A window without the mark (or with an unreadable one) shows its page.
bool ReadShown(GdkWindow* window) {
    GdkDisplay* display = gdk_window_get_display(window);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(display);
    const int status = XGetWindowProperty(
        gdk_x11_display_get_xdisplay(display), gdk_x11_window_get_xid(window), ShownAtom(display),
        0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining, &data);
    gdk_x11_display_error_trap_pop_ignored(display);
    bool shown = true;
    if (status == Success && data && type == XA_CARDINAL && format == 32 && count == 1)
        shown = *reinterpret_cast<const long*>(data) != 0;
    if (data)
        XFree(data);
    return shown;
}

gboolean OnPlugProperty(GtkWidget* plug, GdkEventProperty* event, gpointer) {
    GdkDisplay* display = gtk_widget_get_display(plug);
    if (gdk_x11_atom_to_xatom_for_display(display, event->atom) != ShownAtom(display))
        return FALSE;
    GtkWidget* view = gtk_bin_get_child(GTK_BIN(plug));
    if (!view)
        return TRUE;
    const bool shown = event->state == GDK_PROPERTY_DELETE || ReadShown(event->window);
    // Out of its parent's mapped children the view is unmapped, which the engine takes for a
    // page nobody sees; its size stays, so it comes back without a new layout.
    if (gtk_widget_get_child_visible(view) != shown)
        gtk_widget_set_child_visible(view, shown);
    return TRUE;
}

void WatchProperties(GtkWidget* plug, gpointer = nullptr) {
    if (GdkWindow* window = gtk_widget_get_window(plug))
        gdk_window_set_events(window, static_cast<GdkEventMask>(gdk_window_get_events(window) |
                                                                GDK_PROPERTY_CHANGE_MASK));
}

}  // namespace

void MarkPageShown(GdkWindow* view_window, bool shown) {
    if (!view_window || !GDK_IS_X11_WINDOW(view_window))
        return;
    GdkDisplay* display = gdk_window_get_display(view_window);
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    const long value = shown ? 1 : 0;
    gdk_x11_display_error_trap_push(display);
    XChangeProperty(xdisplay, gdk_x11_window_get_xid(view_window), ShownAtom(display), XA_CARDINAL,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
    XFlush(xdisplay);  // the tab coming to the front draws as soon as it is told
    gdk_x11_display_error_trap_pop_ignored(display);
}

void FollowPageShown(GtkWidget* plug) {
    gtk_widget_add_events(plug, GDK_PROPERTY_CHANGE_MASK);
    if (gtk_widget_get_realized(plug))
        WatchProperties(plug);
    else
        g_signal_connect(plug, "realize", G_CALLBACK(WatchProperties), nullptr);
    g_signal_connect(plug, "property-notify-event", G_CALLBACK(OnPlugProperty), nullptr);
}

void KeepTimersOfHiddenPage(WebKitSettings* settings) {
#if WEBKIT_CHECK_VERSION(2, 42, 0)
    WebKitFeatureList* features = webkit_settings_get_all_features();
    for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
        WebKitFeature* feature = webkit_feature_list_get(features, i);
        if (g_strcmp0(webkit_feature_get_identifier(feature), "HiddenPageDOMTimerThrottling") == 0)
            webkit_settings_set_feature_enabled(settings, feature, FALSE);
    }
    webkit_feature_list_unref(features);
#else
    (void)settings;
#endif
}

}  // namespace kivo::page
