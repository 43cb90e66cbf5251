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

namespace uitWebControl {

using gameKivo_TLB::WebControlError;

namespace {

// The program's own document access runs in a script world of its own: pages cannot see or
// change what runs there, and cannot reach its message handler.
constexpr const char* kScriptWorld = kivo::page::kScriptWorld;
constexpr const char* kFrameHandler = "kivoFrame";
constexpr std::chrono::milliseconds kScriptTimeout{10000};
constexpr std::chrono::milliseconds kSnapshotTimeout{15000};

constexpr const char* kResubmitQuestion =
    "此页面是提交表单后得到的，刷新将再次提交表单（例如重复购买）。要再次提交吗？";

// Reports the completion of every frame that is not the top-level page.
constexpr const char* kFrameScript = R"(
(function () {
  if (window === window.top) return;
  var report = function () {
    try { window.webkit.messageHandlers.kivoFrame.postMessage(String(document.URL)); } catch (e) {}
  };
  if (document.readyState === "complete") report();
  else window.addEventListener("load", report, { once: true });
})();
)";

// `origins`: the origins the page may have, "scheme://host:port" separated by spaces.
constexpr const char* kSetInputScript = R"(
var port = location.port || (location.protocol === "https:" ? "443" : "80");
var here = location.protocol.slice(0, -1) + "://" + location.hostname + ":" + port;
if (origins.split(" ").indexOf(here) < 0) return "elsewhere";
var wanted = name.toLowerCase();
var all = document.getElementsByTagName("*");
for (var i = 0; i < all.length; i++) {
  var element = all[i];
  var id = element.getAttribute("id");
  var elementName = element.getAttribute("name");
  if ((id !== null && id.toLowerCase() === wanted) ||
      (elementName !== null && elementName.toLowerCase() === wanted)) {
    if (!(element instanceof HTMLInputElement)) return "not-input";
    element.value = value;
    return "ok";
  }
}
return "missing";
)";

// Every input element of the top-level document, in document order, as [type, name, value]
// (the value the user typed, not the attribute); frames are not looked into.
constexpr const char* kInputElementsScript = R"(
var inputs = document.getElementsByTagName("input");
var found = [];
for (var i = 0; i < inputs.length; i++) {
  var element = inputs[i];
  found.push([String(element.type), String(element.name), String(element.value)]);
}
return JSON.stringify(found);
)";

struct AsyncState {
    bool done = false;
    kivo::GObjectRef<GAsyncResult> result;
};

using AsyncHolder = std::shared_ptr<AsyncState>;

void AsyncDone(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<AsyncHolder> holder(static_cast<AsyncHolder*>(data));
    (*holder)->result = kivo::GObjectRef<GAsyncResult>::Share(result);
    (*holder)->done = true;
}

// Starts an asynchronous engine call and runs nested main-loop iterations until it completes.
// `start` receives the cancellable, the callback and its data.
template <typename Start>
kivo::GObjectRef<GAsyncResult> WaitForAsync(Start start, std::chrono::milliseconds timeout,
                                            const char* what) {
    auto state = std::make_shared<AsyncState>();
    auto cancellable = kivo::GObjectRef<GCancellable>::Adopt(g_cancellable_new());
    // The callback owns one reference to the state: it may run after we gave up waiting.
    start(cancellable.Get(), &AsyncDone, std::make_unique<AsyncHolder>(state).release());
    GSource* wake = g_timeout_source_new(static_cast<guint>(timeout.count()));
    g_source_set_callback(wake, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr,
                          nullptr);
    g_source_attach(wake, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!state->done && std::chrono::steady_clock::now() < deadline)
        g_main_context_iteration(nullptr, TRUE);
    g_source_destroy(wake);
    g_source_unref(wake);
    if (!state->done) {
        g_cancellable_cancel(cancellable.Get());
        throw WebControlError(std::string("the page did not answer in time (") + what + ")");
    }
    return std::move(state->result);
}

std::string TakeError(GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    if (error) g_error_free(error);
    return text;
}

void CheckText(const std::string& text) {
    if (text.find('\0') != std::string::npos)
        throw WebControlError("a text holding a NUL character cannot reach the page");
}

template <typename Callback>
void Guard(const char* what, Callback callback) {
    try {
        callback();
    } catch (const std::exception& e) {
        ReportUncaught(std::string(what) + ": " + e.what());
    }
}

// A reload or history step onto the answer to a form: the engine would post the form again.
bool SendsFormAgain(WebKitNavigationAction* action) {
    switch (webkit_navigation_action_get_navigation_type(action)) {
        case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
            return true;
        case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
        case WEBKIT_NAVIGATION_TYPE_RELOAD: {
            const char* method =
                webkit_uri_request_get_http_method(webkit_navigation_action_get_request(action));
            return g_strcmp0(method, "POST") == 0;
        }
        default:
            return false;
    }
}

}  // namespace

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

GtkWidget* NewResubmitQuestion(int32_t owner_window) {
    return NewPageQuestion(owner_window, kResubmitCaption, kResubmitQuestion, "是", "否");
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

WebKitBrowserView::WebKitBrowserView(WebKitWebContext* context, BrowserViewEvents& events,
                                     WebKitBrowserView* related, bool page_extension)
    : events_(events), page_extension_(page_extension) {
    content_ = kivo::GObjectRef<WebKitUserContentManager>::Adopt(webkit_user_content_manager_new());
    // With the extension the page process runs no script of ours unless asked to.
    if (!page_extension_) InstallFrameScript();

    GObject* view = related
        ? static_cast<GObject*>(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related->WebView(),
                                             "user-content-manager", content_.Get(), nullptr))
        : static_cast<GObject*>(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                             "user-content-manager", content_.Get(), nullptr));
    view_ = kivo::GObjectRef<WebKitWebView>::Adopt(WEBKIT_WEB_VIEW(view));

    WebKitSettings* settings = webkit_web_view_get_settings(view_.Get());
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    // A page kept alive in the back-forward cache never answers a script sent to it while it
    // goes there; going back and forward loads pages again and completes them as any load.
    webkit_settings_set_enable_page_cache(settings, FALSE);
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, FALSE);
    kivo::page::KeepTimersOfHiddenPage(settings);
    ApplyMachineCompositing(view_.Get());

    g_signal_connect(view_.Get(), "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(view_.Get(), "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(view_.Get(), "notify::estimated-load-progress", G_CALLBACK(OnProgress), this);
    g_signal_connect(view_.Get(), "mouse-target-changed", G_CALLBACK(OnMouseTarget), this);
    // Leaving the view from a link reports no further target: the link's address goes then.
    gtk_widget_add_events(GTK_WIDGET(view_.Get()), GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(view_.Get(), "leave-notify-event", G_CALLBACK(OnPointerLeave), this);
    // A new page starts without the link address of the old one under the pointer.
    g_signal_connect(view_.Get(), "load-changed", G_CALLBACK(OnLoadStartedClearStatus), this);
    g_signal_connect(view_.Get(), "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(view_.Get(), "web-process-terminated", G_CALLBACK(OnProcessTerminated), this);
    g_signal_connect(view_.Get(), "user-message-received", G_CALLBACK(OnPageMessage), this);
    g_object_set_data(G_OBJECT(view_.Get()), kOwnerKey, this);
    guard_ = std::make_unique<PageGuard>(
        view_.Get(), [this](std::shared_ptr<DownloadTransfer> transfer) {
            StartDownload(std::move(transfer));
        });
    // The page keys.
    g_signal_connect(view_.Get(), "key-press-event", G_CALLBACK(OnKeyPress), this);
    gtk_widget_add_events(GTK_WIDGET(view_.Get()), GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
    g_signal_connect(view_.Get(), "scroll-event", G_CALLBACK(OnScroll), this);
    g_signal_connect(view_.Get(), "context-menu", G_CALLBACK(OnContextMenu), this);
    WebKitFindController* finder = webkit_web_view_get_find_controller(view_.Get());
    g_signal_connect(finder, "counted-matches", G_CALLBACK(OnCountedMatches), this);
    g_signal_connect(finder, "failed-to-find-text", G_CALLBACK(OnFailedToFind), this);
}

WebKitBrowserView* WebKitBrowserView::OfWebView(WebKitWebView* view) {
    return static_cast<WebKitBrowserView*>(g_object_get_data(G_OBJECT(view), kOwnerKey));
}

void WebKitBrowserView::DownloadBegan(std::shared_ptr<DownloadTransfer> transfer) {
    guard_->DownloadBegan(std::move(transfer));
}

void WebKitBrowserView::StartDownload(std::shared_ptr<DownloadTransfer> transfer) {
    auto keep = shared_from_this();
    events_.ViewDownload(*this, std::move(transfer));
}

void WebKitBrowserView::InstallFrameScript() {
    if (std::exchange(frame_script_, true))
        return;
    WebKitUserScript* script = webkit_user_script_new_for_world(
        kFrameScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, kScriptWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(content_.Get(), script);
    webkit_user_script_unref(script);
    g_signal_connect(content_.Get(), "script-message-received::kivoFrame",
                     G_CALLBACK(OnFrameComplete), this);
    webkit_user_content_manager_register_script_message_handler_in_world(
        content_.Get(), kFrameHandler, kScriptWorld);
}

WebKitBrowserView::~WebKitBrowserView() {
    guard_.reset();
    if (resubmit_box_) {
        g_signal_handlers_disconnect_by_data(resubmit_box_, this);
        gtk_widget_destroy(std::exchange(resubmit_box_, nullptr));
    }
    if (resubmit_decision_)
        webkit_policy_decision_ignore(resubmit_decision_.Get());
    g_signal_handlers_disconnect_by_data(view_.Get(), this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(view_.Get()), this);
    g_signal_handlers_disconnect_by_data(content_.Get(), this);
    g_object_set_data(G_OBJECT(view_.Get()), kOwnerKey, nullptr);
    Unmark();
    if (plug_) {
        g_signal_handlers_disconnect_by_data(plug_, this);
        gtk_widget_destroy(std::exchange(plug_, nullptr));
    } else {
        gtk_widget_destroy(GTK_WIDGET(view_.Get()));
    }
}

int32_t WebKitBrowserView::WindowHandle() const {
    return plug_ ? static_cast<int32_t>(gtk_plug_get_id(GTK_PLUG(plug_))) : 0;
}

void WebKitBrowserView::EmbedInto(int32_t host_window) {
    GdkDisplay* display = gdk_display_get_default();
    const auto host = static_cast<Window>(static_cast<uint32_t>(host_window));
    if (!display || !kivo::WindowExists(gdk_x11_display_get_xdisplay(display), host)) return;
    if (plug_ && host_ == host_window && gtk_plug_get_embedded(GTK_PLUG(plug_))) {
        gtk_widget_show_all(plug_);
        return;
    }
    GtkWidget* plug = gtk_plug_new(host);
    GtkWidget* widget = GTK_WIDGET(view_.Get());
    if (GtkWidget* parent = gtk_widget_get_parent(widget))
        gtk_container_remove(GTK_CONTAINER(parent), widget);
    if (plug_) {
        g_signal_handlers_disconnect_by_data(plug_, this);
        gtk_widget_destroy(plug_);
    }
    gtk_container_add(GTK_CONTAINER(plug), widget);
    g_signal_connect(plug, "destroy", G_CALLBACK(OnPlugDestroyed), this);
    g_signal_connect(plug, "draw", G_CALLBACK(OnPlugDraw), this);
    // The tab window going away must not destroy the page with it.
    g_signal_connect(plug, "delete-event", G_CALLBACK(gtk_true), nullptr);
    kivo::page::FollowPageShown(plug);
    gtk_widget_show_all(plug);
    plug_ = plug;
    host_ = host_window;
    MarkDocumentWindow();
}

void WebKitBrowserView::MarkDocumentWindow() {
    Unmark();
    GdkDisplay* display = gdk_display_get_default();
    const auto window = static_cast<uint32_t>(WindowHandle());
    if (!display || !GDK_IS_X11_DISPLAY(display) || window == 0) return;
    try {
        DocumentServer& server = DocumentServer::Instance();
        std::weak_ptr<BrowserView> weak = weak_from_this();
        server.Register(window, [weak] {
            auto view = std::dynamic_pointer_cast<WebKitBrowserView>(weak.lock());
            if (!view) throw WebControlError("the view is gone");
            return view->InputElementsJson();
        });
        marked_window_ = window;
        Display* x = gdk_x11_display_get_xdisplay(display);
        const std::string& address = server.Address();
        XChangeProperty(x, window, XInternAtom(x, kivo::document::kAddressProperty, False),
                        XInternAtom(x, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(address.data()),
                        static_cast<int>(address.size()));
        XFlush(x);
    } catch (const std::exception& e) {
        ReportUncaught(std::string("the page's document cannot be offered: ") + e.what());
    }
}

void WebKitBrowserView::Unmark() {
    if (marked_window_ != 0) DocumentServer::Instance().Unregister(std::exchange(marked_window_, 0));
}

std::string WebKitBrowserView::InputElementsJson() {
    if (!has_document_) throw WebControlError("the page has no document yet");
    return CallDocumentScript(kInputElementsScript);
}

void WebKitBrowserView::NewNavigation() {
    // A post cancelled before its generated document finished must not hide the next page's
    // completion.
    post_document_next_ = false;
    swallow_finish_ = false;
    user_step_ = false;
}

void WebKitBrowserView::Navigate(const std::string& url) {
    NewNavigation();
    webkit_web_view_load_uri(view_.Get(), url.c_str());
}

void WebKitBrowserView::NavigatePost(const std::string& url, const std::string& body) {
    const std::string document = PostFormDocument(ParsePostBody(body));
    NewNavigation();
    post_document_next_ = true;
    webkit_web_view_load_html(view_.Get(), document.c_str(), url.c_str());
}

void WebKitBrowserView::GoBack() {
    if (!webkit_web_view_can_go_back(view_.Get()))
        return;
    NewNavigation();
    user_step_ = true;
    webkit_web_view_go_back(view_.Get());
}

void WebKitBrowserView::GoForward() {
    if (!webkit_web_view_can_go_forward(view_.Get()))
        return;
    NewNavigation();
    user_step_ = true;
    webkit_web_view_go_forward(view_.Get());
}

void WebKitBrowserView::Reload() {
    NewNavigation();
    user_step_ = true;
    webkit_web_view_reload(view_.Get());
}

std::string WebKitBrowserView::CallDocumentScript(const char* body,
                                                  const ScriptArguments& arguments) {
    auto keep = shared_from_this();
    if (page_extension_) {
        if (auto answer = CallPageExtension(body, arguments))
            return *answer;
    }
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    for (const auto& [name, value] : arguments)
        g_variant_builder_add(&builder, "{sv}", name.c_str(), g_variant_new_string(value.c_str()));
    GVariant* passed = g_variant_builder_end(&builder);
    WebKitWebView* view = view_.Get();
    auto result = WaitForAsync(
        [&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            webkit_web_view_call_async_javascript_function(view, body, -1, passed, kScriptWorld,
                                                           nullptr, cancellable, callback, data);
        },
        kScriptTimeout, "script");
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(view, result.Get(), &error);
    if (!value) throw WebControlError("the page's document cannot be read: " + TakeError(error));
    auto owned = kivo::GObjectRef<JSCValue>::Adopt(value);
    if (jsc_value_is_undefined(value) || jsc_value_is_null(value)) return {};
    char* text = jsc_value_to_string(value);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

std::optional<std::string> WebKitBrowserView::CallPageExtension(const char* body,
                                                                const ScriptArguments& arguments) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{ss}"));
    for (const auto& [name, value] : arguments)
        g_variant_builder_add(&builder, "{ss}", name.c_str(), value.c_str());
    return AskPageExtension(
        webkit_user_message_new(kivo::page::kRunScript, g_variant_new("(sa{ss})", body, &builder)));
}

std::string WebKitBrowserView::QueryDocument(const char* query, const char* fallback) {
    auto keep = shared_from_this();
    if (page_extension_) {
        if (auto answer = AskPageExtension(webkit_user_message_new(kivo::page::kQueryDocument,
                                                                   g_variant_new("(s)", query))))
            return *answer;
    }
    return CallDocumentScript(fallback);
}

std::optional<std::string> WebKitBrowserView::AskPageExtension(WebKitUserMessage* message) {
    WebKitWebView* view = view_.Get();
    auto result = WaitForAsync(
        [&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            webkit_web_view_send_message_to_page(view, message, cancellable, callback, data);
        },
        kScriptTimeout, "script");
    GError* error = nullptr;
    auto reply = kivo::GObjectRef<WebKitUserMessage>::Adopt(
        webkit_web_view_send_message_to_page_finish(view, result.Get(), &error));
    if (!reply) {
        if (g_error_matches(error, WEBKIT_USER_MESSAGE_ERROR, WEBKIT_USER_MESSAGE_UNHANDLED_MESSAGE)) {
            // The page process runs without the extension: from now on the scripts go the long way,
            // and frames report themselves from the next page on.
            g_error_free(error);
            page_extension_ = false;
            InstallFrameScript();
            return std::nullopt;
        }
        throw WebControlError("the page's document cannot be read: " + TakeError(error));
    }
    GVariant* answer = webkit_user_message_get_parameters(reply.Get());
    const char* name = webkit_user_message_get_name(reply.Get());
    if (g_strcmp0(name, kivo::page::kScriptDone) == 0 && answer &&
        g_variant_is_of_type(answer, G_VARIANT_TYPE("(bs)"))) {
        gboolean has_value = FALSE;
        const char* text = nullptr;
        g_variant_get(answer, "(b&s)", &has_value, &text);
        return has_value ? std::string(text) : std::string();
    }
    if (g_strcmp0(name, kivo::page::kScriptFailed) == 0 && answer &&
        g_variant_is_of_type(answer, G_VARIANT_TYPE("(s)"))) {
        const char* text = nullptr;
        g_variant_get(answer, "(&s)", &text);
        throw WebControlError(std::string("the page's document cannot be read: ") + text);
    }
    throw WebControlError("the page's document cannot be read: an answer of no known kind");
}

std::string WebKitBrowserView::DocumentUrl() {
    return QueryDocument(kivo::page::kQueryUrl, "return document.URL;");
}

std::string WebKitBrowserView::LocationUrl() {
    const char* uri = webkit_web_view_get_uri(view_.Get());
    return uri ? uri : "";
}

std::string WebKitBrowserView::DocumentTitle() {
    return QueryDocument(kivo::page::kQueryTitle, "return document.title;");
}

void WebKitBrowserView::SetInputValue(const std::string& name, const std::string& value,
                                      const std::vector<std::string>& origins) {
    CheckText(name);
    CheckText(value);
    std::string allowed;
    for (const std::string& origin : origins) allowed += (allowed.empty() ? "" : " ") + origin;
    const std::string outcome = CallDocumentScript(
        kSetInputScript, {{"name", name}, {"value", value}, {"origins", allowed}});
    if (outcome == "elsewhere") throw WebControlError("the page is not of the account's site");
    if (outcome == "missing") throw WebControlError("the page has no element \"" + name + "\"");
    if (outcome != "ok") throw WebControlError("the element \"" + name + "\" is not an input element");
}

ScrollSize WebKitBrowserView::BodyScrollSize() {
    const std::string size = QueryDocument(
        kivo::page::kQueryBodySize,
        "var body = document.body;"
        "if (!body) throw new Error('the page has no body');"
        "return body.scrollWidth + ',' + body.scrollHeight;");
    const auto comma = size.find(',');
    if (comma == std::string::npos) throw WebControlError("the page's size cannot be read");
    return {std::stoi(size.substr(0, comma)), std::stoi(size.substr(comma + 1))};
}

kivo::imaging::RgbImage WebKitBrowserView::Snapshot(bool full_document) {
    auto keep = shared_from_this();
    WebKitWebView* view = view_.Get();
    auto result = WaitForAsync(
        [&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            webkit_web_view_get_snapshot(
                view, full_document ? WEBKIT_SNAPSHOT_REGION_FULL_DOCUMENT : WEBKIT_SNAPSHOT_REGION_VISIBLE,
                WEBKIT_SNAPSHOT_OPTIONS_NONE, cancellable, callback, data);
        },
        kSnapshotTimeout, "picture");
    GError* error = nullptr;
    cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(view, result.Get(), &error);
    if (!surface) throw WebControlError("the page cannot be drawn: " + TakeError(error));
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> owned(surface,
                                                                             &cairo_surface_destroy);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        // Draw it into a plain image surface first.
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(image);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        owned.reset(image);
        surface = image;
    }
    cairo_surface_flush(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto* data = cairo_image_surface_get_data(surface);
    if (!data) throw WebControlError("the page cannot be drawn");
    return kivo::imaging::FromPremultipliedArgb32(
        width, height, stride,
        std::span<const std::uint8_t>(data, static_cast<size_t>(stride) * static_cast<size_t>(height)));
}

void WebKitBrowserView::Focus() {
    gtk_widget_grab_focus(GTK_WIDGET(view_.Get()));
}

void WebKitBrowserView::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("page completion", [&] {
        auto keep = self->shared_from_this();
        if (event == WEBKIT_LOAD_STARTED) {
            ++self->loads_started_;
            self->swallow_finish_ = std::exchange(self->post_document_next_, false);
        }
        if (event == WEBKIT_LOAD_COMMITTED)
            self->has_document_ = true;
        if (event != WEBKIT_LOAD_FINISHED)
            return;
        self->user_step_ = false;
        if (std::exchange(self->swallow_finish_, false))
            return;
        const char* uri = webkit_web_view_get_uri(view);
        self->events_.ViewDocumentComplete(*self, true, uri ? uri : "");
    });
}

gboolean WebKitBrowserView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                           WebKitPolicyDecisionType type, gpointer data) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        // A page's own address that the view cannot show is offered as a download (an
        // attachment is one already).
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (!webkit_response_policy_decision_is_main_frame_main_resource(response) ||
            webkit_response_policy_decision_is_mime_type_supported(response))
            return FALSE;
        webkit_policy_decision_download(decision);
        return TRUE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return FALSE;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    if (!SendsFormAgain(action))
        return FALSE;
    // A form is never sent again without the user's consent. Only a step the user took can ask;
    // a page that reloads itself or steps through its history does not get to ask.
    auto* self = static_cast<WebKitBrowserView*>(data);
    if (self->user_step_) {
        self->AskResubmit(decision);
    } else {
        webkit_policy_decision_ignore(decision);
        ReportUncaught("a page's attempt to send a form again was refused");
    }
    return TRUE;
}

void WebKitBrowserView::AskResubmit(WebKitPolicyDecision* decision) {
    if (resubmit_box_) {
        // The question is open already; the step before it waits for that answer.
        webkit_policy_decision_ignore(decision);
        return;
    }
    resubmit_decision_ = kivo::GObjectRef<WebKitPolicyDecision>::Share(decision);
    resubmit_box_ = NewResubmitQuestion(ServerWindowHandle());
    g_signal_connect(resubmit_box_, "response", G_CALLBACK(OnResubmitResponse), this);
    gtk_widget_show(resubmit_box_);
}

void WebKitBrowserView::OnResubmitResponse(GtkDialog*, gint response, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    auto decision = std::move(self->resubmit_decision_);
    gtk_widget_destroy(std::exchange(self->resubmit_box_, nullptr));
    if (!decision)
        return;
    if (response == GTK_RESPONSE_YES)
        webkit_policy_decision_use(decision.Get());
    else
        webkit_policy_decision_ignore(decision.Get());
}

void WebKitBrowserView::OnProgress(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("progress", [&] {
        auto keep = self->shared_from_this();
        const double progress = webkit_web_view_get_estimated_load_progress(self->view_.Get());
        self->events_.ViewProgressChange(*self, static_cast<int32_t>(std::lround(progress * 10000)),
                                         10000);
    });
}

void WebKitBrowserView::OnMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint,
                                      gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("status text", [&] {
        auto keep = self->shared_from_this();
        const char* link = webkit_hit_test_result_context_is_link(hit)
                               ? webkit_hit_test_result_get_link_uri(hit)
                               : nullptr;
        std::string text = link ? link : "";
        if (text == self->status_text_) return;
        self->status_text_ = text;
        self->events_.ViewStatusTextChange(*self, text);
    });
}

void WebKitBrowserView::ClearStatusText() {
    Guard("status text", [&] {
        auto keep = shared_from_this();
        if (status_text_.empty())
            return;
        status_text_.clear();
        events_.ViewStatusTextChange(*this, "");
    });
}

gboolean WebKitBrowserView::OnPointerLeave(GtkWidget*, GdkEventCrossing*, gpointer data) {
    static_cast<WebKitBrowserView*>(data)->ClearStatusText();
    return FALSE;
}

void WebKitBrowserView::OnLoadStartedClearStatus(WebKitWebView*, WebKitLoadEvent event,
                                                 gpointer data) {
    if (event == WEBKIT_LOAD_STARTED)
        static_cast<WebKitBrowserView*>(data)->ClearStatusText();
}

GtkWidget* WebKitBrowserView::OnCreate(WebKitWebView*, WebKitNavigationAction* action,
                                       gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    if (!self->guard_->AllowPopup(action)) {
        self->PopupBlocked(action);
        return nullptr;
    }
    GtkWidget* created = nullptr;
    Guard("new window", [&] {
        auto keep = self->shared_from_this();
        auto view = self->events_.ViewNewWindow(*self);
        if (auto* webkit = dynamic_cast<WebKitBrowserView*>(view.get()))
            created = GTK_WIDGET(webkit->WebView());
    });
    return created;
}

void WebKitBrowserView::PopupBlocked(WebKitNavigationAction* action) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    const std::string url = uri ? uri : "";
    Guard("blocked pop-up", [&] {
        auto keep = shared_from_this();
        events_.ViewPopupBlocked(*this, url);
    });
}

void WebKitBrowserView::OpenInNewTab(const std::string& url) {
    Guard("link in a new tab", [&] {
        auto keep = shared_from_this();
        if (auto view = events_.ViewNewWindow(*this))
            view->Navigate(url);
    });
}

void WebKitBrowserView::OnFrameComplete(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                        gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    char* text = value ? jsc_value_to_string(value) : nullptr;
    const std::string url = text ? text : "";
    g_free(text);
    self->FrameCompleted(url);
}

gboolean WebKitBrowserView::OnPageMessage(WebKitWebView*, WebKitUserMessage* message, gpointer data) {
    if (g_strcmp0(webkit_user_message_get_name(message), kivo::page::kFrameComplete) != 0) return FALSE;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    // From the page process: only a well-formed report counts.
    if (parameters && g_variant_is_of_type(parameters, G_VARIANT_TYPE(kivo::page::kFrameSignature))) {
        const char* url = nullptr;
        g_variant_get(parameters, "(&s)", &url);
        static_cast<WebKitBrowserView*>(data)->FrameCompleted(url);
    }
    return TRUE;
}

void WebKitBrowserView::FrameCompleted(const std::string& url) {
    Guard("frame completion", [&] {
        auto keep = shared_from_this();
        events_.ViewDocumentComplete(*this, false, url);
    });
}

void WebKitBrowserView::OnProcessTerminated(WebKitWebView*,
                                            WebKitWebProcessTerminationReason reason,
                                            gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    self->has_document_ = false;
    ReportUncaught("the page's process ended");
    if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API)
        ReportPageProcessEnded();
}

gboolean WebKitBrowserView::OnPlugDraw(GtkWidget* plug, cairo_t* cr, gpointer) {
    // The view repaints only whole frames of its composited page: a part uncovered by a menu,
    // tooltip or dialog of the main window is drawn as nothing and stays an empty hole. Such a
    // partial redraw asks for the whole plug once more.
    double left = 0, top = 0, right = 0, bottom = 0;
    cairo_clip_extents(cr, &left, &top, &right, &bottom);
    if (left > 0 || top > 0 || right < gtk_widget_get_allocated_width(plug) ||
        bottom < gtk_widget_get_allocated_height(plug))
        gtk_widget_queue_draw(plug);
    return FALSE;
}

void WebKitBrowserView::OnPlugDestroyed(GtkWidget*, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    self->Unmark();
    self->plug_ = nullptr;
}

void WebKitBrowserView::Find(const std::string& text, int32_t options) {
    CheckText(text);
    WebKitFindController* finder = webkit_web_view_get_find_controller(view_.Get());
    const bool match_case = options & kivo::find_options::kMatchCase;
    const bool backwards = options & kivo::find_options::kBackwards;
    guint32 engine_options = WEBKIT_FIND_OPTIONS_WRAP_AROUND;
    if (!match_case)
        engine_options |= WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE;
    if ((options & kivo::find_options::kAgain) && text == find_text_ &&
        match_case == find_match_case_) {
        if (backwards)
            webkit_find_controller_search_previous(finder);
        else
            webkit_find_controller_search_next(finder);
        return;
    }
    if (backwards)
        engine_options |= WEBKIT_FIND_OPTIONS_BACKWARDS;
    find_text_ = text;
    find_match_case_ = match_case;
    webkit_find_controller_search(finder, text.c_str(), engine_options, kivo::kMaxFindMatches);
    webkit_find_controller_count_matches(finder, text.c_str(), engine_options,
                                         kivo::kMaxFindMatches);
}

void WebKitBrowserView::FinishFind() {
    find_text_.clear();
    webkit_find_controller_search_finish(webkit_web_view_get_find_controller(view_.Get()));
}

void WebKitBrowserView::SetZoom(int percent) {
    webkit_web_view_set_zoom_level(view_.Get(), kivo::ClampZoom(percent) / 100.0);
}

int WebKitBrowserView::Zoom() const {
    return static_cast<int>(std::lround(webkit_web_view_get_zoom_level(view_.Get()) * 100));
}

void WebKitBrowserView::HandOn(kivo::BrowserCommand command) {
    Guard("browser key", [&] {
        auto keep = shared_from_this();
        events_.ViewBrowserKey(*this, command);
    });
}

gboolean WebKitBrowserView::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    const kivo::KeyModifiers modifiers{
        (event->state & GDK_CONTROL_MASK) != 0, (event->state & GDK_SHIFT_MASK) != 0,
        (event->state & GDK_MOD1_MASK) != 0, (event->state & GDK_SUPER_MASK) != 0};
    const kivo::BrowserCommand command = kivo::CommandForKey(event->keyval, modifiers);
    if (command == kivo::BrowserCommand::NoCommand)
        return FALSE;
    static_cast<WebKitBrowserView*>(data)->HandOn(command);
    return TRUE;
}

gboolean WebKitBrowserView::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    if (!(event->state & GDK_CONTROL_MASK))
        return FALSE;
    double dy = 0;
    if (event->direction == GDK_SCROLL_UP)
        dy = -1;
    else if (event->direction == GDK_SCROLL_DOWN)
        dy = 1;
    else if (event->direction == GDK_SCROLL_SMOOTH)
        dy = event->delta_y;
    // Sideways or no movement: nothing to zoom, and nothing for the page to scroll either.
    if (dy != 0)
        static_cast<WebKitBrowserView*>(data)->HandOn(dy < 0 ? kivo::BrowserCommand::ZoomIn
                                                             : kivo::BrowserCommand::ZoomOut);
    return TRUE;
}

void WebKitBrowserView::OnCountedMatches(WebKitFindController*, guint count, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("find", [&] {
        auto keep = self->shared_from_this();
        const int32_t reported = count > static_cast<guint>(kivo::kMaxFindMatches)
                                     ? kivo::kTooManyMatches
                                     : static_cast<int32_t>(count);
        self->events_.ViewFindCount(*self, reported);
    });
}

void WebKitBrowserView::OnFailedToFind(WebKitFindController*, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    Guard("find", [&] {
        auto keep = self->shared_from_this();
        self->events_.ViewFindCount(*self, 0);
    });
}

namespace {

struct ContextStep {
    std::weak_ptr<BrowserView> view;
    void (BrowserView::*step)();
};

void RunContextStep(GSimpleAction*, GVariant*, gpointer data) {
    const auto* step = static_cast<const ContextStep*>(data);
    Guard("context menu", [&] {
        if (auto view = step->view.lock())
            ((*view).*(step->step))();
    });
}

struct OpenLink {
    std::weak_ptr<BrowserView> view;
    std::string url;
};

void RunOpenLink(GSimpleAction*, GVariant*, gpointer data) {
    const auto* link = static_cast<const OpenLink*>(data);
    if (auto view = std::dynamic_pointer_cast<WebKitBrowserView>(link->view.lock()))
        view->OpenInNewTab(link->url);
}

void AppendStock(WebKitContextMenu* menu, WebKitContextMenuAction action, const char* label) {
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_stock_action_with_label(action, label));
}

}  // namespace

WebKitContextMenuItem* WebKitBrowserView::OpenLinkItem(const char* url) {
    GSimpleAction* action = g_simple_action_new("kivo-open-link", nullptr);
    g_signal_connect_data(
        action, "activate", G_CALLBACK(RunOpenLink), new OpenLink{weak_from_this(), url ? url : ""},
        [](gpointer data, GClosure*) { delete static_cast<OpenLink*>(data); }, GConnectFlags(0));
    WebKitContextMenuItem* item =
        webkit_context_menu_item_new_from_gaction(G_ACTION(action), "在新标签页中打开链接", nullptr);
    g_object_unref(action);
    return item;
}

WebKitContextMenuItem* WebKitBrowserView::StepItem(const char* label, bool enabled,
                                                   void (BrowserView::*step)()) {
    GSimpleAction* action = g_simple_action_new("kivo-step", nullptr);
    g_simple_action_set_enabled(action, enabled);
    g_signal_connect_data(
        action, "activate", G_CALLBACK(RunContextStep), new ContextStep{weak_from_this(), step},
        [](gpointer data, GClosure*) { delete static_cast<ContextStep*>(data); }, GConnectFlags(0));
    WebKitContextMenuItem* item =
        webkit_context_menu_item_new_from_gaction(G_ACTION(action), label, nullptr);
    g_object_unref(action);
    return item;
}

gboolean WebKitBrowserView::OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*,
                                          WebKitHitTestResult* hit, gpointer data) {
    auto* self = static_cast<WebKitBrowserView*>(data);
    // The engine's own menu speaks the desktop's language and reloads or steps through the
    // history around the rule on forms sent again: ours offers the same in the program's words.
    webkit_context_menu_remove_all(menu);
    const bool editable = webkit_hit_test_result_context_is_editable(hit);
    if (webkit_hit_test_result_context_is_link(hit)) {
        // A link opened from here becomes a tab in the same session, as a page's pop-up does;
        // the user chose it, so no rule on pop-ups holds it back.
        webkit_context_menu_append(
            menu, self->OpenLinkItem(webkit_hit_test_result_get_link_uri(hit)));
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD, "复制链接地址");
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    }
    if (webkit_hit_test_result_context_is_image(hit)) {
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK, "图片另存为");
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD, "复制图片");
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    }
    if (editable)
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_CUT, "剪切");
    if (editable || webkit_hit_test_result_context_is_selection(hit))
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_COPY, "复制");
    if (editable)
        AppendStock(menu, WEBKIT_CONTEXT_MENU_ACTION_PASTE, "粘贴");
    if (editable || webkit_hit_test_result_context_is_selection(hit))
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    webkit_context_menu_append(
        menu, self->StepItem("后退", webkit_web_view_can_go_back(view), &BrowserView::GoBack));
    webkit_context_menu_append(menu, self->StepItem("前进", webkit_web_view_can_go_forward(view),
                                                    &BrowserView::GoForward));
    webkit_context_menu_append(menu, self->StepItem("刷新", true, &BrowserView::Reload));
    return FALSE;
}

}  // namespace uitWebControl
