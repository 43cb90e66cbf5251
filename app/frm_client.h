#pragma once
// TFrmClient, the worker's hidden main form: never shown, it keeps the log of errors no handler
// caught and runs the watchdog that ends the worker once the main window it serves is gone.
#include <gtkmm.h>

#include <cstdint>
#include <string>

namespace kivo {

// Whether the main window found on the display is the one this worker was told about. The
// found window id is widened without sign, the told handle with sign; so "no window and no
// handle yet" also counts as a match.
bool ServerWindowMatches(unsigned long found_window, int32_t server_window_handle);

// The main window this worker serves still exists (or none exists and none was told).
bool ServerWindowExists();

class TFrmClient : public Gtk::Window {
public:
    TFrmClient();

    // Appends one line to the invisible log.
    void AppendLog(const std::string& line);
    std::string LogText() const;

    // The form of this process, for the catch-all of uncaught errors.
    static TFrmClient* Instance() { return instance_; }

protected:
    void FormCreate();
    void FormActivate();
    bool FormCanResize();
    void ApplicationEvents1Exception();
    void tmrFindServerTimer();

    bool on_configure_event(GdkEventConfigure* event) override;
    void on_show() override;

private:
    void StartTimer();

    Gtk::TextView mmoLog;
    sigc::connection tmrFindServer;
    static TFrmClient* instance_;
};

// Routes an error that escaped every handler to the form's log (or to standard error when
// there is no form).
void ReportUncaughtError(const std::string& message);

}  // namespace kivo
