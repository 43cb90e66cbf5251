#pragma once
// What the parts of a worker's view share: waiting for the engine's asynchronous answers on a
// nested loop, the script world of the program's own document access, and reporting a handler's
// error instead of letting it reach the engine.
#include <webkit2/webkit2.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/gobject_ref.h"
#include "webcontrol/page_messages.h"
#include "webcontrol/uit_web_control.h"

namespace uitWebControl::webkit_support {

using gameKivo_TLB::WebControlError;

// The program's own document access runs in a script world of its own: pages cannot see or
// change what runs there, and cannot reach its message handler.
inline constexpr const char* kScriptWorld = kivo::page::kScriptWorld;

inline constexpr std::chrono::milliseconds kScriptTimeout{10000};

inline constexpr std::chrono::milliseconds kSnapshotTimeout{15000};

struct AsyncState {
    bool done = false;
    kivo::GObjectRef<GAsyncResult> result;
};

using AsyncHolder = std::shared_ptr<AsyncState>;

inline void AsyncDone(GObject*, GAsyncResult* result, gpointer data) {
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

inline std::string TakeError(GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    if (error) g_error_free(error);
    return text;
}

inline void CheckText(const std::string& text) {
    if (text.find('\0') != std::string::npos)
        throw WebControlError("a text holding a NUL character cannot reach the page");
}

template <typename Callback>
inline void Guard(const char* what, Callback callback) {
    try {
        callback();
    } catch (const std::exception& e) {
        ReportUncaught(std::string(what) + ": " + e.what());
    }
}

}  // namespace uitWebControl::webkit_support
