#pragma once
// TFrmClient, the worker's hidden main form: never shown, it keeps the log of errors no handler
// caught and runs the watchdog that ends the worker once the main window it serves is gone.
// The worker keeps to the plain toolkit interface: it hosts pages, not an interface of its own.
#include <gtk/gtk.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace kivo {

// Whether the main window found on the display is the one this worker was told about. The
// found window id is widened without sign, the told handle with sign; so "no window and no
// handle yet" also counts as a match.
bool ServerWindowMatches(unsigned long found_window, int32_t server_window_handle);

// The main window this worker serves still exists (or none exists and none was told).
bool ServerWindowExists();

// How long a new worker may wait to be told its main window before the watchdog takes a main
// window it was not told about for a sign that nobody will: on a loaded machine the first check,
// a second after the start, can come before the main process has even connected.
inline constexpr std::chrono::seconds kUntoldServerGrace{30};

// Whether the watchdog ends the worker now: when the window it serves is gone, except while a
// worker still waiting to be told its window is younger than kUntoldServerGrace.
bool WatchdogEndsWorker(bool server_window_exists, int32_t server_window_handle,
                        std::chrono::steady_clock::duration age);

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
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace kivo
