// Loaded by the engine into every page process of a worker: runs the worker's document scripts in
// the program's own script world right there and answers with plain text. The worker then reads
// titles, addresses and sizes without a script engine of its own, which would cost it several
// megabytes for each of these small answers.
#include <webkit2/webkit-web-extension.h>

#include <string>
#include <vector>

#include "webcontrol/page_messages.h"

namespace {

WebKitScriptWorld* script_world = nullptr;  // lives as long as the process

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
    JSCContext* context = frame ? webkit_frame_get_js_context_for_script_world(frame, script_world) : nullptr;
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
        webkit_user_message_send_reply(
            message, webkit_user_message_new(kivo::page::kScriptDone, g_variant_new("(bs)", TRUE, text ? text : "")));
        g_free(text);
    }
    if (result) g_object_unref(result);
    if (function) g_object_unref(function);
    g_object_unref(context);
}

gboolean OnMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer) {
    if (g_strcmp0(webkit_user_message_get_name(message), kivo::page::kRunScript) != 0) return FALSE;
    RunScript(page, message);
    return TRUE;
}

void OnPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
    g_signal_connect(page, "user-message-received", G_CALLBACK(OnMessage), nullptr);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* extension) {
    script_world = webkit_script_world_new_with_name(kivo::page::kScriptWorld);
    g_signal_connect(extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
}
