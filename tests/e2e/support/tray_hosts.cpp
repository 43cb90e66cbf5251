#include "tests/e2e/support/tray_hosts.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <set>
#include <stdexcept>

#include "tests/e2e/support/private_desktop.h"

namespace kivo::e2e {

namespace {

constexpr const char* kWatcherXml = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>)";

void WatcherCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                 const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                 gpointer self) {
    if (g_strcmp0(method, "RegisterStatusNotifierItem") == 0) {
        const gchar* service = nullptr;
        g_variant_get(parameters, "(&s)", &service);
        static_cast<StatusNotifierHost*>(self)->Register(sender, service);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* WatcherProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                          const gchar* name, GError**, gpointer self) {
    if (g_strcmp0(name, "IsStatusNotifierHostRegistered") == 0)
        return g_variant_new_boolean(TRUE);
    if (g_strcmp0(name, "ProtocolVersion") == 0)
        return g_variant_new_int32(0);
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    for (const std::string& item : static_cast<StatusNotifierHost*>(self)->Items())
        g_variant_builder_add(&items, "s", item.c_str());
    return g_variant_builder_end(&items);
}

std::string WithoutMnemonics(const char* label) {
    std::string text;
    for (const char* p = label; *p; ++p)
        if (*p != '_')
            text += *p;
    return text;
}

void SendClientMessage(Display* d, Window to, Window about, Atom type, long mask,
                       std::array<long, 5> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(d, to, False, mask, &event);
}

// The windows a tray or a window manager acts on may be gone by then; Xlib's default would end
// the test.
void IgnoreXErrors() {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

}  // namespace

StatusNotifierHost::StatusNotifierHost() {
    Desktop();  // the private session bus, not whatever the test was started with
    GError* error = nullptr;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus_)
        throw std::runtime_error(error ? error->message : "no session bus");
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
    static const GDBusInterfaceVTable vtable{WatcherCall, WatcherProperty, nullptr, {}};
    registration_id_ = g_dbus_connection_register_object(
        bus_, "/StatusNotifierWatcher", node->interfaces[0], &vtable, this, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName",
        g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u /* do not queue */),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    guint32 result = 0;
    if (reply) {
        g_variant_get(reply, "(u)", &result);
        g_variant_unref(reply);
    }
    if (result != 1)
        throw std::runtime_error("cannot own the status-notifier watcher name");
}

StatusNotifierHost::~StatusNotifierHost() {
    g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "ReleaseName",
                                g_variant_new("(s)", "org.kde.StatusNotifierWatcher"), nullptr,
                                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_dbus_connection_unregister_object(bus_, registration_id_);
    g_object_unref(bus_);
}

void StatusNotifierHost::Register(const std::string& sender, const std::string& service_or_path) {
    const std::string item = service_or_path.starts_with("/")
                                 ? sender + service_or_path
                                 : service_or_path + "/StatusNotifierItem";
    if (std::find(items_.begin(), items_.end(), item) == items_.end())
        items_.push_back(item);
    g_dbus_connection_emit_signal(bus_, nullptr, "/StatusNotifierWatcher",
                                  "org.kde.StatusNotifierWatcher", "StatusNotifierItemRegistered",
                                  g_variant_new("(s)", item.c_str()), nullptr);
}

bool StatusNotifierHost::WaitForItem(std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return !items_.empty(); }, timeout);
}

std::pair<std::string, std::string> StatusNotifierHost::Item() const {
    if (items_.empty())
        throw std::runtime_error("no status-notifier item registered");
    const std::string& item = items_.front();
    const auto slash = item.find('/');
    return {item.substr(0, slash), item.substr(slash)};
}

GVariant* StatusNotifierHost::Call(const std::string& name, const std::string& path,
                                   const char* interface, const char* method,
                                   GVariant* arguments) const {
    GError* error = nullptr;
    // Asynchronous under the hood, so the program's answer is read while our main loop runs.
    GVariant* reply = nullptr;
    bool done = false;
    struct Pending {
        GVariant** reply;
        bool* done;
        GError** error;
    } pending{&reply, &done, &error};
    g_dbus_connection_call(
        bus_, name.c_str(), path.c_str(), interface, method, arguments, nullptr,
        G_DBUS_CALL_FLAGS_NONE, 20000, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* p = static_cast<Pending*>(data);
            *p->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, p->error);
            *p->done = true;
        },
        &pending);
    WaitUntil([&] { return done; }, 30s);
    if (!done)
        throw std::runtime_error(std::string(method) + ": no answer");
    if (!reply) {
        const std::string message = error ? error->message : "failed";
        g_clear_error(&error);
        throw std::runtime_error(std::string(method) + ": " + message);
    }
    return reply;
}

void StatusNotifierHost::Activate() const {
    const auto [name, path] = Item();
    g_variant_unref(
        Call(name, path, "org.kde.StatusNotifierItem", "Activate", g_variant_new("(ii)", 0, 0)));
}

void StatusNotifierHost::SecondaryActivate() const {
    const auto [name, path] = Item();
    g_variant_unref(Call(name, path, "org.kde.StatusNotifierItem", "SecondaryActivate",
                         g_variant_new("(ii)", 0, 0)));
}

std::string StatusNotifierHost::MenuPath() const {
    const auto [name, path] = Item();
    GVariant* reply = Call(name, path, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Menu"));
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::string menu = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    g_variant_unref(reply);
    return menu;
}

namespace {

// The (id, label) of the top-level items of a dbusmenu layout reply.
std::vector<std::pair<int, std::string>> TopItems(GVariant* reply) {
    std::vector<std::pair<int, std::string>> items;
    GVariant* layout = g_variant_get_child_value(reply, 1);
    GVariant* children = g_variant_get_child_value(layout, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
        GVariant* boxed = g_variant_get_child_value(children, i);
        GVariant* child = g_variant_get_variant(boxed);
        gint32 id = 0;
        g_variant_get_child(child, 0, "i", &id);
        GVariant* properties = g_variant_get_child_value(child, 1);
        const gchar* label = nullptr;
        if (g_variant_lookup(properties, "label", "&s", &label))
            items.emplace_back(id, WithoutMnemonics(label));
        g_variant_unref(properties);
        g_variant_unref(child);
        g_variant_unref(boxed);
    }
    g_variant_unref(children);
    g_variant_unref(layout);
    return items;
}

}  // namespace

std::vector<std::string> StatusNotifierHost::MenuLabels() const {
    const auto [name, path] = Item();
    GVariant* reply = Call(name, MenuPath(), "com.canonical.dbusmenu", "GetLayout",
                           g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    std::vector<std::string> labels;
    for (const auto& [id, label] : TopItems(reply)) labels.push_back(label);
    g_variant_unref(reply);
    return labels;
}

bool StatusNotifierHost::ClickMenuItem(const std::string& label) const {
    const auto [name, path] = Item();
    const std::string menu = MenuPath();
    GVariant* reply = Call(name, menu, "com.canonical.dbusmenu", "GetLayout",
                           g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    const auto items = TopItems(reply);
    g_variant_unref(reply);
    for (const auto& [id, text] : items) {
        if (text != label)
            continue;
        g_variant_unref(Call(name, menu, "com.canonical.dbusmenu", "Event",
                             g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u)));
        return true;
    }
    return false;
}

XEmbedTray::XEmbedTray() : thread_([this] { Serve(); }) {
    if (!WaitUntil([&] { return ready_.load(); }, 10s)) {
        stop_ = true;
        thread_.join();
        throw std::runtime_error("the XEmbed tray could not start: " + error_);
    }
}

XEmbedTray::~XEmbedTray() {
    stop_ = true;
    thread_.join();
}

bool XEmbedTray::WaitForIcon(std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return icon_.load() != 0; }, timeout);
}

void XEmbedTray::ClickIcon(Button button, int count) const {
    if (!icon_)
        throw std::runtime_error("no icon docked");
    ClickAt(x_ + 12, y_ + 12, button, count);
}

void XEmbedTray::Serve() {
    // Its own connection, served on this thread, so the tray answers whatever the test does.
    XInitThreads();
    IgnoreXErrors();
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        error_ = "no display";
        return;
    }
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    const Atom selection = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
    const Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Atom xembed = XInternAtom(d, "_XEMBED", False);
    const Atom manager = XInternAtom(d, "MANAGER", False);
    const Window owner = XCreateSimpleWindow(d, root, -10, -10, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, selection, owner, CurrentTime);
    if (XGetSelectionOwner(d, selection) != owner) {
        error_ = "the tray selection is taken";
        XCloseDisplay(d);
        return;
    }
    SendClientMessage(d, root, root, manager, StructureNotifyMask,
                      {CurrentTime, static_cast<long>(selection), static_cast<long>(owner), 0, 0});
    XFlush(d);
    ready_ = true;

    while (!stop_) {
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        if (!XPending(d))
            poll(&p, 1, 50);
        while (XPending(d)) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type != ClientMessage || event.xclient.message_type != opcode ||
                event.xclient.data.l[1] != 0 /* SYSTEM_TRAY_REQUEST_DOCK */)
                continue;
            // An icon that is hidden and shown again comes back as a new window: the newest
            // request takes the place.
            const Window icon = static_cast<Window>(event.xclient.data.l[2]);
            if (!container_) {
                x_ = DisplayWidth(d, screen) - 40;
                y_ = 8;
                XSetWindowAttributes attributes{};
                attributes.override_redirect = True;
                container_ = XCreateWindow(d, root, x_, y_, 24, 24, 0, CopyFromParent, InputOutput,
                                           CopyFromParent, CWOverrideRedirect, &attributes);
                XMapRaised(d, container_);
            }
            const Window box = container_;
            XReparentWindow(d, icon, box, 0, 0);
            XResizeWindow(d, icon, 24, 24);
            // XEMBED_EMBEDDED_NOTIFY, protocol version 0.
            SendClientMessage(d, icon, icon, xembed, NoEventMask,
                              {CurrentTime, 0, 0, static_cast<long>(box), 0});
            XMapWindow(d, icon);
            XSync(d, False);
            icon_ = icon;
        }
    }
    XDestroyWindow(d, owner);
    if (container_)
        XDestroyWindow(d, container_);
    XCloseDisplay(d);
}

}  // namespace kivo::e2e
