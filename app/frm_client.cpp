#include "app/frm_client.h"

#include <gdk/gdkx.h>
#include <glibmm/exceptionhandler.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>

#include "platform/identity.h"
#include "platform/x11_windows.h"
#include "webcontrol/uit_web_control.h"

namespace kivo {

bool ServerWindowMatches(unsigned long found_window, int32_t server_window_handle) {
    const auto found = static_cast<uint64_t>(static_cast<uint32_t>(found_window));
    const auto told = static_cast<uint64_t>(static_cast<int64_t>(server_window_handle));
    return found == told;
}

bool ServerWindowExists() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) throw std::runtime_error("no X display");
    const unsigned long found = FindTopLevelWindow(gdk_x11_display_get_xdisplay(display),
                                                   kMainWindowClass, kMainWindowCaption);
    return ServerWindowMatches(found, uitWebControl::ServerWindowHandle());
}

TFrmClient::TFrmClient() {
    form_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(form_), "TFrmClient");
    gtk_window_set_default_size(GTK_WINDOW(form_), 240, 201);
    gtk_window_set_type_hint(GTK_WINDOW(form_), GDK_WINDOW_TYPE_HINT_UTILITY);
    mmoLog = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(mmoLog), FALSE);
    gtk_container_add(GTK_CONTAINER(form_), mmoLog);
    g_signal_connect(form_, "configure-event", G_CALLBACK(FormCanResize), this);
    g_signal_connect_swapped(form_, "show", G_CALLBACK(+[](TFrmClient* self) { self->FormActivate(); }),
                             this);
    Glib::add_exception_handler([this] { ApplicationEvents1Exception(); });
    FormCreate();
}

TFrmClient::~TFrmClient() {
    if (tmrFindServer) g_source_remove(tmrFindServer);
    gtk_widget_destroy(form_);
}

void TFrmClient::FormCreate() {
    gtk_window_move(GTK_WINDOW(form_), 10240, 0);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(form_), TRUE);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(form_), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(form_), FALSE);
    gtk_widget_hide(form_);
    StartTimer();
}

void TFrmClient::FormActivate() {
    // The form is never visible: whatever shows it, it is disabled and goes away again.
    gtk_widget_set_sensitive(form_, FALSE);
    gtk_widget_hide(form_);
}

gboolean TFrmClient::FormCanResize(GtkWidget*, GdkEventConfigure*, gpointer) {
    return TRUE;  // every resize is refused
}

void TFrmClient::AppendLog(const std::string& line) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(mmoLog));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_text_buffer_insert(buffer, &end, (line + "\n").c_str(), -1);
    // The log is invisible; standard error lets whoever started the worker read it.
    std::cerr << "gameKivo worker: " << line << '\n';
}

std::string TFrmClient::LogText() const {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(mmoLog));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    char* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

void TFrmClient::ApplicationEvents1Exception() {
    try {
        throw;
    } catch (const Glib::Exception& e) {
        AppendLog(e.what());
    } catch (const std::exception& e) {
        AppendLog(e.what());
    } catch (...) {
        AppendLog("unknown error");
    }
}

void TFrmClient::StartTimer() {
    tmrFindServer = g_timeout_add(
        1000,
        [](gpointer self) -> gboolean {
            static_cast<TFrmClient*>(self)->tmrFindServerTimer();
            return G_SOURCE_REMOVE;  // the handler re-arms the timer itself
        },
        this);
}

void TFrmClient::tmrFindServerTimer() {
    tmrFindServer = 0;
    try {
        // A worker not yet told its main window gets one more tick of the running loop to hear
        // it: one whose engine took longer than a tick to start would otherwise end before the
        // main process could name the window. One never told (the spare) ends after it.
        if (uitWebControl::ServerWindowHandle() == 0 && untold_ticks_ < kUntoldTicks) {
            ++untold_ticks_;
        } else if (!ServerWindowExists()) {
            _exit(0);
        }
    } catch (const std::exception& e) {
        AppendLog(e.what());
    }
    StartTimer();
}

}  // namespace kivo
