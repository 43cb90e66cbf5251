// The view of one page: embedding into the tab's window, navigation, the page's events and its pop-
// ups.
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

namespace {

constexpr const char* kFrameHandler = "kivoFrame";

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

GtkWidget* NewResubmitQuestion(int32_t owner_window) {
    return NewPageQuestion(owner_window, kResubmitCaption, kResubmitQuestion, "是", "否");
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

}  // namespace uitWebControl
