// The engine of a worker: its context on the tab's session folders, the sandbox, the program's own
// pages and the drawing the machine's OpenGL allows.
#include "webcontrol/webkit_browser_view.h"

#include <cairo.h>
#include <gdk/gdkx.h>
#include <gtk/gtkx.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "platform/gl_renderer.h"
#include "platform/page_sandbox.h"
#include "platform/paths.h"
#include "platform/x11_windows.h"
#include "webcontrol/document_access.h"
#include "webcontrol/document_server.h"
#include "webcontrol/maker_pages.h"
#include "webcontrol/page_guard.h"
#include "webcontrol/page_messages.h"
#include "webcontrol/page_shown.h"
#include "webcontrol/post_form.h"
#include "webcontrol/uit_web_control.h"
#include "webcontrol/webkit_download.h"
#include "webcontrol/webkit_view_support.h"

namespace uitWebControl {

using gameKivo_TLB::WebControlError;
using namespace webkit_support;

GlCompositing MachineCompositing() {
    static const GlCompositing choice = [] {
        const char* forced = std::getenv(kGlOverrideVariable);
        if (const auto chosen = CompositingFromOverride(forced ? forced : ""))
            return *chosen;
        GdkDisplay* display = gdk_display_get_default();
        Display* x_display = display && GDK_IS_X11_DISPLAY(display)
                                 ? gdk_x11_display_get_xdisplay(display)
                                 : nullptr;
        return CompositingForRenderer(kivo::ProbeGlRenderer(x_display));
    }();
    return choice;
}

void PrepareEngineProcess() {
    // Without compositing the engine shares no graphics buffers between its processes, and its
    // side in this process then loads no OpenGL driver at all.
    if (MachineCompositing() == GlCompositing::Off)
        g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
}

void ApplyMachineCompositing(WebKitWebView* view) {
    if (MachineCompositing() == GlCompositing::Off)
        webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(view),
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
}

// The body of a form posted to one of the program's own pages; a form is small, so whatever
// lies beyond the first megabyte is left unread.
static std::string PostedForm(WebKitURISchemeRequest* request) {
    const char* method = webkit_uri_scheme_request_get_http_method(request);
    if (!method || std::string_view(method) != "POST") return {};
    auto stream = kivo::GObjectRef<GInputStream>::Adopt(webkit_uri_scheme_request_get_http_body(request));
    if (!stream) return {};
    std::string body(1 << 20, '\0');
    gsize read = 0;
    if (!g_input_stream_read_all(stream.Get(), body.data(), body.size(), &read, nullptr, nullptr))
        return {};
    body.resize(read);
    return body;
}

void RegisterMakerPages(WebKitWebContext* context) {
    webkit_web_context_register_uri_scheme(
        context, kivo::kMakerScheme,
        [](WebKitURISchemeRequest* request, gpointer) {
            const char* uri = webkit_uri_scheme_request_get_uri(request);
            const auto page = kivo::FindMakerPage(uri ? uri : "", PostedForm(request));
            if (!page) {
                GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such page");
                webkit_uri_scheme_request_finish_error(request, error);
                g_error_free(error);
                return;
            }
            GBytes* bytes = g_bytes_new(page->body.data(), page->body.size());
            auto stream = kivo::GObjectRef<GInputStream>::Adopt(g_memory_input_stream_new_from_bytes(bytes));
            g_bytes_unref(bytes);  // the stream holds its own reference
            webkit_uri_scheme_request_finish(request, stream.Get(),
                                             static_cast<gint64>(page->body.size()),
                                             page->mime_type.c_str());
        },
        nullptr, nullptr);
}

// Every page process of the context runs in the engine's sandbox where the machine can make
// one: it sees the system's files read-only and, of the user's, only what the engine binds for
// it (its session's data is kept by the network process, outside). The extension is read from
// the program folder.
// The accessibility bus the engine's sandbox would proxy for the pages, as the engine finds it:
// the environment, else the display's root window.
static std::string AccessibilityBusAddress() {
    if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address && *address) return address;
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return {};
    Display* x = gdk_x11_display_get_xdisplay(display);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string address;
    if (XGetWindowProperty(x, DefaultRootWindow(x), XInternAtom(x, "AT_SPI_BUS", False), 0, 1024,
                           False, AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data && format == 8)
        address.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    return address;
}

bool PageSandboxUsable() {
    static const bool usable =
        kivo::PageSandboxAvailable() && kivo::BusFolderExists(AccessibilityBusAddress());
    return usable;
}

static void EnablePageSandbox(WebKitWebContext* context, const std::string& extension_folder) {
    if (!PageSandboxUsable()) return;
    webkit_web_context_set_sandbox_enabled(context, TRUE);
    std::error_code error;
    if (!extension_folder.empty() && std::filesystem::is_directory(extension_folder, error))
        webkit_web_context_add_path_to_sandbox(context, extension_folder.c_str(), TRUE);
}

WebKitEngine::WebKitEngine(const kivo::SessionFolders& folders, const std::string& extension_folder) {
    kivo::MakeFolders(folders.Cookies);
    kivo::MakeFolders(folders.Cache);
    data_manager_ = kivo::GObjectRef<WebKitWebsiteDataManager>::Adopt(webkit_website_data_manager_new(
        "base-data-directory", folders.Cookies.c_str(), "base-cache-directory",
        folders.Cache.c_str(), nullptr));
    context_ = kivo::GObjectRef<WebKitWebContext>::Adopt(
        webkit_web_context_new_with_website_data_manager(data_manager_.Get()));
    WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(data_manager_.Get());
    const std::string cookie_file = folders.Cookies + "cookies.sqlite";
    webkit_cookie_manager_set_persistent_storage(cookies, cookie_file.c_str(),
                                                 WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    shared_cookies_ = std::make_unique<CookieJarWatcher>(cookies, cookie_file);
    // Games are often served in frames from another host than the portal's.
    webkit_cookie_manager_set_accept_policy(cookies, WEBKIT_COOKIE_POLICY_ACCEPT_ALWAYS);
    webkit_web_context_set_cache_model(context_.Get(), WEBKIT_CACHE_MODEL_WEB_BROWSER);
    EnablePageSandbox(context_.Get(), extension_folder);
    // Without the extension the document scripts run from here, which works as well but needs a
    // script engine in this process.
    std::error_code error;
    if (!extension_folder.empty() &&
        std::filesystem::is_regular_file(std::filesystem::path(extension_folder) / KIVO_PAGE_EXTENSION_MODULE,
                                         error)) {
        webkit_web_context_set_web_extensions_directory(context_.Get(), extension_folder.c_str());
        page_extension_ = true;
    }
    RegisterMakerPages(context_.Get());
    ConnectDownloads(context_.Get());
}

std::shared_ptr<BrowserView> WebKitEngine::CreateView(int32_t, BrowserViewEvents& events,
                                                      BrowserView* related) {
    return std::make_shared<WebKitBrowserView>(context_.Get(), events,
                                               dynamic_cast<WebKitBrowserView*>(related), page_extension_);
}

}  // namespace uitWebControl
