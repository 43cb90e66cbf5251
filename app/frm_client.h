#pragma once
// TFrmClient, the worker's hidden main form: never shown, it keeps the log of errors no handler
// caught and runs the watchdog that ends the worker once the main window it serves is gone.
// The worker keeps to the plain toolkit interface: it hosts pages, not an interface of its own.
#include <gtk/gtk.h>

#include <cstdint>
#include <string>

namespace kivo {

// Whether the main window found on the display is the one this worker was told about. The
// found window id is widened without sign, the told handle with sign; so "no window and no
// handle yet" also counts as a match.
bool ServerWindowMatches(unsigned long found_window, int32_t server_window_handle);

// The main window this worker serves still exists (or none exists and none was told).
bool ServerWindowExists();

class TFrmClient {
public:
    TFrmClient();
    ~TFrmClient();
    TFrmClient(const TFrmClient&) = delete;
    TFrmClient& operator=(const TFrmClient&) = delete;

    // Appends one line to the invisible log.
    void AppendLog(const std::string& line);
    std::string LogText() const;

private:
    void FormCreate();
    void FormActivate();
    static gboolean FormCanResize(GtkWidget*, GdkEventConfigure*, gpointer);
    void ApplicationEvents1Exception();
    void tmrFindServerTimer();
    void StartTimer();

    GtkWidget* form_ = nullptr;  // owned: destroyed with the form
    GtkWidget* mmoLog = nullptr;
    guint tmrFindServer = 0;
    // Ticks spent waiting to be told the main window.
    static constexpr int kUntoldTicks = 1;
    int untold_ticks_ = 0;
};

}  // namespace kivo
