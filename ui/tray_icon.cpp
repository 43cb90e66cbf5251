#include "ui/tray_icon.h"

#include <gdk/gdkx.h>
#include <libayatana-appindicator/app-indicator.h>

#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "ui/drawn_pictures.h"

namespace kivo {

namespace {

constexpr int kBusTimeoutMs = 500;
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

// Without a session bus address GLib would start a bus of its own; that is no desktop.
bool SessionBusKnown() {
    if (Glib::getenv("DBUS_SESSION_BUS_ADDRESS").size())
        return true;
    const std::string runtime = Glib::getenv("XDG_RUNTIME_DIR");
    return !runtime.empty() && std::filesystem::exists(runtime + "/bus");
}

// A call on the bus with a short time-out; null when it fails.
GVariant* CallBus(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                  const char* method, GVariant* arguments) {
    return g_dbus_connection_call_sync(bus, name, path, interface, method, arguments, nullptr,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs, nullptr,
                                       nullptr);
}

void ProbeNotifierWatcher(TrayHosts& hosts) {
    if (!SessionBusKnown())
        return;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return;
    if (GVariant* owned =
            CallBus(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                    "NameHasOwner", g_variant_new("(s)", kWatcherName))) {
        gboolean has_owner = FALSE;
        g_variant_get(owned, "(b)", &has_owner);
        g_variant_unref(owned);
        hosts.NotifierWatcher = has_owner;
    }
    if (hosts.NotifierWatcher) {
        if (GVariant* reply = CallBus(
                bus, kWatcherName, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                "Get", g_variant_new("(ss)", kWatcherName, "IsStatusNotifierHostRegistered"))) {
            GVariant* value = nullptr;
            g_variant_get(reply, "(v)", &value);
            if (value && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
                hosts.NotifierHost = g_variant_get_boolean(value);
            if (value)
                g_variant_unref(value);
            g_variant_unref(reply);
        }
    }
    g_object_unref(bus);
}

bool XEmbedTrayRuns(GdkScreen* screen) {
    if (!screen || !GDK_IS_X11_SCREEN(screen))
        return false;
    Display* display = GDK_SCREEN_XDISPLAY(screen);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(GDK_SCREEN_XNUMBER(screen));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

// The indicator must not make a docked icon of its own when no watcher is there: that way is
// ours to choose.
GtkStatusIcon* NoFallback(AppIndicator*) {
    return nullptr;
}
void NoUnfallback(AppIndicator*, GtkStatusIcon*) {}

// The indicator takes its picture from a file.
std::string IconFile() {
    const std::string file = RuntimeFolder() + "gameKivo-tray.png";
    try {
        if (!std::filesystem::exists(file))
            AppIcon(22)->save(file, "png");
    } catch (const Glib::Error&) {
    }
    return file;
}

}  // namespace

TrayKind ChooseTray(const TrayHosts& hosts) {
    if (hosts.NotifierWatcher && hosts.NotifierHost)
        return TrayKind::StatusNotifier;
    if (hosts.XEmbedTray)
        return TrayKind::XEmbed;
    return TrayKind::Nowhere;
}

TrayHosts ProbeTrayHosts(GdkScreen* screen, bool status_icon_embedded) {
    TrayHosts hosts;
    ProbeNotifierWatcher(hosts);
    hosts.XEmbedTray = status_icon_embedded || XEmbedTrayRuns(screen);
    return hosts;
}

TTrayIcon::TTrayIcon(Gtk::Menu& menu, Gtk::MenuItem& restore_item, std::function<void()> restore)
    : menu_(menu), restore_item_(restore_item) {
    status_icon_ = Gtk::StatusIcon::create(AppIcon(22));
    status_icon_->set_visible(false);
    status_icon_->signal_activate().connect(restore);
    status_icon_->signal_popup_menu().connect(
        [this](guint button, guint32 time) { menu_.popup(button, time); });
    Probe = [this] {
        return ProbeTrayHosts(gdk_screen_get_default(), status_icon_->is_embedded());
    };
}

TTrayIcon::~TTrayIcon() {
    if (indicator_)
        g_object_unref(indicator_);
}

void TTrayIcon::ShowNotifierItem(bool shown) {
    if (!indicator_ && !shown)
        return;
    if (!indicator_) {
        const std::string file = IconFile();
        indicator_ =
            app_indicator_new("gameKivo", file.c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
        auto* indicator_class = APP_INDICATOR_GET_CLASS(indicator_);
        indicator_class->fallback = NoFallback;
        indicator_class->unfallback = NoUnfallback;
        app_indicator_set_title(indicator_, "gameKivo");
        app_indicator_set_menu(indicator_, GTK_MENU(menu_.gobj()));
        // Indicators that take no click still restore with a middle click or from the menu.
        app_indicator_set_secondary_activate_target(indicator_, GTK_WIDGET(restore_item_.gobj()));
    }
    app_indicator_set_status(indicator_,
                             shown ? APP_INDICATOR_STATUS_ACTIVE : APP_INDICATOR_STATUS_PASSIVE);
}

TrayKind TTrayIcon::Refresh() {
    kind_ = ChooseTray(Probe());
    ShowNotifierItem(kind_ == TrayKind::StatusNotifier);
    // The docked icon keeps waiting for a tray while none shows the other way, so that it is
    // there as soon as a tray starts.
    status_icon_->set_visible(kind_ != TrayKind::StatusNotifier);
    return kind_;
}

}  // namespace kivo
