#include "session/wait_messages.h"

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace kivo {

namespace {

constexpr std::chrono::milliseconds kShortestWait{200};

struct SourceDeleter {
    void operator()(GSource* source) const {
        g_source_destroy(source);
        g_source_unref(source);
    }
};

struct ContextDeleter {
    void operator()(GMainContext* context) const { g_main_context_unref(context); }
};

}  // namespace

void WaitWithMessages(uint32_t ms) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto wait = std::max<std::chrono::milliseconds>(
        std::chrono::milliseconds(static_cast<int64_t>(ms) + 1), kShortestWait);
    const std::unique_ptr<GMainContext, ContextDeleter> context(
        g_main_context_ref_thread_default());
    for (;;) {
        const auto left =
            wait - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (left.count() <= 0)
            return;
        // A timer for the time left wakes the blocking iteration when nothing else does.
        const std::unique_ptr<GSource, SourceDeleter> timer(
            g_timeout_source_new(static_cast<guint>(std::min<int64_t>(left.count(), G_MAXUINT))));
        g_source_set_callback(
            timer.get(), [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(timer.get(), context.get());
        g_main_context_iteration(context.get(), TRUE);
    }
}

}  // namespace kivo
