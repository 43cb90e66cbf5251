// The page's document as the program reads and fills it, in a script world of its own, and the
// page's pictures.
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

}  // namespace

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

}  // namespace uitWebControl
