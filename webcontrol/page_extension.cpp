// Loaded by the engine into every page process of a worker. It answers the worker's questions
// about the page right there, with plain text: titles, addresses and sizes straight from the
// document, other document scripts in the program's own script world. It also reports each frame
// that finishes loading. The worker then needs no script engine of its own, and a page without
// scripts starts none in its page process either: each costs several megabytes.
#include <webkit2/webkit-web-extension.h>

#include <string>
#include <vector>

#include "webcontrol/page_messages.h"

namespace {

// Made on first use: the world brings the script engine into the process with it.
WebKitScriptWorld* script_world = nullptr;  // lives as long as the process

WebKitScriptWorld* ScriptWorld() {
    if (!script_world) script_world = webkit_script_world_new_with_name(kivo::page::kScriptWorld);
    return script_world;
}

void ReplyText(WebKitUserMessage* message, const char* text) {
    webkit_user_message_send_reply(
        message, webkit_user_message_new(kivo::page::kScriptDone, g_variant_new("(bs)", TRUE, text ? text : "")));
}

void ReplyError(WebKitUserMessage* message, const std::string& text) {
    webkit_user_message_send_reply(
        message, webkit_user_message_new(kivo::page::kScriptFailed, g_variant_new("(s)", text.c_str())));
}

// Parameter names come from the worker; still, nothing but a plain name may reach the source.
bool PlainName(const char* name) {
    if (!name || !*name) return false;
    for (const char* c = name; *c; ++c) {
        const bool letter = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || *c == '_';
        if (!letter && !(c != name && *c >= '0' && *c <= '9')) return false;
    }
    return true;
}

void RunScript(WebKitWebPage* page, WebKitUserMessage* message) {
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(kivo::page::kScriptSignature)))
        return ReplyError(message, "malformed script message");
    const char* body = nullptr;
    GVariantIter* arguments = nullptr;
    g_variant_get(parameters, "(&sa{ss})", &body, &arguments);
    std::string names;
    std::vector<std::string> values;
    const char* name = nullptr;
    const char* value = nullptr;
    bool plain = true;
    while (g_variant_iter_next(arguments, "{&s&s}", &name, &value)) {
        plain = plain && PlainName(name);
        if (!names.empty()) names += ", ";
        names += name;
        values.emplace_back(value);
    }
    g_variant_iter_free(arguments);
    if (!plain) return ReplyError(message, "a script argument has no plain name");

    // Marked for removal in favour of nothing yet; it still answers what the scripts need.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    WebKitFrame* frame = webkit_web_page_get_main_frame(page);
#pragma GCC diagnostic pop
    JSCContext* context = frame ? webkit_frame_get_js_context_for_script_world(frame, ScriptWorld()) : nullptr;
    if (!context) return ReplyError(message, "the page has no document");
    const std::string source = "(function (" + names + ") {\n" + body + "\n})";
    JSCValue* function = jsc_context_evaluate(context, source.c_str(), static_cast<gssize>(source.size()));
    JSCValue* result = nullptr;
    if (!jsc_context_get_exception(context) && function && jsc_value_is_function(function)) {
        std::vector<JSCValue*> passed;
        for (const std::string& text : values) passed.push_back(jsc_value_new_string(context, text.c_str()));
        result = jsc_value_function_callv(function, static_cast<guint>(passed.size()), passed.data());
        for (JSCValue* passed_value : passed) g_object_unref(passed_value);
    }
    if (JSCException* exception = jsc_context_get_exception(context)) {
        ReplyError(message, jsc_exception_get_message(exception) ? jsc_exception_get_message(exception) : "");
        jsc_context_clear_exception(context);
    } else if (!result || jsc_value_is_undefined(result) || jsc_value_is_null(result)) {
        webkit_user_message_send_reply(
            message, webkit_user_message_new(kivo::page::kScriptDone, g_variant_new("(bs)", FALSE, "")));
    } else {
        char* text = jsc_value_to_string(result);
        ReplyText(message, text);
        g_free(text);
    }
    if (result) g_object_unref(result);
    if (function) g_object_unref(function);
    g_object_unref(context);
}

// The document API of the page process is marked for removal in favour of scripts, which is just
// what this part avoids; it still works in this engine version.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

void QueryDocument(WebKitWebPage* page, WebKitUserMessage* message) {
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(kivo::page::kQuerySignature)))
        return ReplyError(message, "malformed query message");
    const char* query = nullptr;
    g_variant_get(parameters, "(&s)", &query);
    WebKitDOMDocument* document = webkit_web_page_get_dom_document(page);
    if (!document) return ReplyError(message, "the page has no document");
    char* text = nullptr;
    if (g_strcmp0(query, kivo::page::kQueryUrl) == 0) {
        text = webkit_dom_document_get_url(document);
    } else if (g_strcmp0(query, kivo::page::kQueryTitle) == 0) {
        text = webkit_dom_document_get_title(document);
    } else if (g_strcmp0(query, kivo::page::kQueryBodySize) == 0) {
        WebKitDOMHTMLElement* body = webkit_dom_document_get_body(document);
        if (!body) return ReplyError(message, "the page has no body");
        WebKitDOMElement* element = WEBKIT_DOM_ELEMENT(body);
        text = g_strdup_printf("%ld,%ld", webkit_dom_element_get_scroll_width(element),
                               webkit_dom_element_get_scroll_height(element));
    } else {
        return ReplyError(message, "a query of no known kind");
    }
    ReplyText(message, text);
    g_free(text);
}

// Frames report their loads to the document holding them: a "load" event on the frame element.
// That event does not bubble, but a listener that captures on the holding document sees it, also
// for frames the page adds later. Each document that loads in a frame gets such a listener too.

constexpr const char* kWatchedKey = "kivo-frames-watched";

WebKitDOMDocument* FrameDocument(GObject* element) {
    if (WEBKIT_DOM_IS_HTML_IFRAME_ELEMENT(element))
        return webkit_dom_html_iframe_element_get_content_document(WEBKIT_DOM_HTML_IFRAME_ELEMENT(element));
    if (WEBKIT_DOM_IS_HTML_FRAME_ELEMENT(element))
        return webkit_dom_html_frame_element_get_content_document(WEBKIT_DOM_HTML_FRAME_ELEMENT(element));
    return nullptr;
}

void ReportFrame(WebKitWebPage* page, WebKitDOMDocument* document) {
    char* url = webkit_dom_document_get_url(document);
    webkit_web_page_send_message_to_view(
        page, webkit_user_message_new(kivo::page::kFrameComplete, g_variant_new("(s)", url ? url : "")),
        nullptr, nullptr, nullptr);
    g_free(url);
}

// A frame shows an empty document, complete at once, until what its source names arrives; only a
// frame meant to be empty has completed with it.
bool AwaitsItsSource(WebKitDOMElement* element, WebKitDOMDocument* document) {
    char* url = webkit_dom_document_get_url(document);
    const bool empty = g_strcmp0(url, "about:blank") == 0;
    g_free(url);
    if (!empty) return false;
    char* source = webkit_dom_element_get_attribute(element, "src");
    const bool awaits = source && *source && g_ascii_strcasecmp(source, "about:blank") != 0;
    g_free(source);
    return awaits;
}

bool WatchFrames(WebKitWebPage* page, WebKitDOMDocument* document);

void OnLoadEvent(GObject*, WebKitDOMEvent* event, gpointer data) {
    // The listener lives with the document; the page may have gone first.
    auto* page = static_cast<WebKitWebPage*>(g_weak_ref_get(static_cast<GWeakRef*>(data)));
    if (!page) return;
    if (GObject* target = G_OBJECT(webkit_dom_event_get_target(event))) {
        if (WebKitDOMDocument* loaded = FrameDocument(target)) {
            // Frames inside it completed before it did, while nobody listened in there.
            WatchFrames(page, loaded);
            ReportFrame(page, loaded);
        }
        g_object_unref(target);
    }
    g_object_unref(page);
}

void FreePageRef(gpointer data, GClosure*) {
    auto* page = static_cast<GWeakRef*>(data);
    g_weak_ref_clear(page);
    g_free(page);
}

// Listens for the loads of the frames in `document` and reports, innermost first, those already
// complete. False when it already listens there: those were reported then.
bool WatchFrames(WebKitWebPage* page, WebKitDOMDocument* document) {
    // The document's wrapper lives as long as the document is the frame's: a mark on it does too.
    if (g_object_get_data(G_OBJECT(document), kWatchedKey)) return false;
    g_object_set_data(G_OBJECT(document), kWatchedKey, GINT_TO_POINTER(1));
    auto* page_ref = g_new0(GWeakRef, 1);
    g_weak_ref_init(page_ref, page);
    GClosure* listener = g_cclosure_new(G_CALLBACK(OnLoadEvent), page_ref, FreePageRef);
    g_closure_ref(listener);
    g_closure_sink(listener);
    webkit_dom_event_target_add_event_listener_with_closure(WEBKIT_DOM_EVENT_TARGET(document), "load",
                                                            listener, TRUE);
    g_closure_unref(listener);  // the document holds it now
    for (const char* tag : {"iframe", "frame"}) {
        WebKitDOMHTMLCollection* frames =
            webkit_dom_document_get_elements_by_tag_name_as_html_collection(document, tag);
        const gulong count = webkit_dom_html_collection_get_length(frames);
        for (gulong i = 0; i < count; ++i) {
            WebKitDOMNode* element = webkit_dom_html_collection_item(frames, i);
            WebKitDOMDocument* inner = FrameDocument(G_OBJECT(element));
            if (!inner) continue;
            char* state = webkit_dom_document_get_ready_state(inner);
            const bool complete =
                g_strcmp0(state, "complete") == 0 && !AwaitsItsSource(WEBKIT_DOM_ELEMENT(element), inner);
            g_free(state);
            if (complete && WatchFrames(page, inner)) ReportFrame(page, inner);
        }
        g_object_unref(frames);
    }
    return true;
}

void OnDocumentLoaded(WebKitWebPage* page, gpointer) {
    if (WebKitDOMDocument* document = webkit_web_page_get_dom_document(page)) WatchFrames(page, document);
}

#pragma GCC diagnostic pop

gboolean OnMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer) {
    const char* name = webkit_user_message_get_name(message);
    if (g_strcmp0(name, kivo::page::kQueryDocument) == 0) {
        QueryDocument(page, message);
        return TRUE;
    }
    if (g_strcmp0(name, kivo::page::kRunScript) == 0) {
        RunScript(page, message);
        return TRUE;
    }
    return FALSE;
}

void OnPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
    g_signal_connect(page, "user-message-received", G_CALLBACK(OnMessage), nullptr);
    g_signal_connect(page, "document-loaded", G_CALLBACK(OnDocumentLoaded), nullptr);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* extension) {
    g_signal_connect(extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
}
