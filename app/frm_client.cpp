#include "app/frm_client.h"

#include <gdk/gdkx.h>
#include <unistd.h>

#include <iostream>

#include "app/identity.h"
#include "platform/x11_windows.h"
#include "webcontrol/uit_web_control.h"

namespace kivo {

TFrmClient* TFrmClient::instance_ = nullptr;

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

void ReportUncaughtError(const std::string& message) {
    if (TFrmClient* form = TFrmClient::Instance())
        form->AppendLog(message);
    else
        std::cerr << "gameKivo worker: " << message << '\n';
}

TFrmClient::TFrmClient() {
    instance_ = this;
    set_title("TFrmClient");
    set_default_size(240, 201);
    set_type_hint(Gdk::WINDOW_TYPE_HINT_UTILITY);
    add(mmoLog);
    mmoLog.set_editable(false);
    mmoLog.hide();
    Glib::add_exception_handler(sigc::mem_fun(*this, &TFrmClient::ApplicationEvents1Exception));
    FormCreate();
}

void TFrmClient::FormCreate() {
    move(10240, 0);
    set_skip_taskbar_hint(true);
    set_skip_pager_hint(true);
    set_resizable(false);
    hide();
    StartTimer();
}

void TFrmClient::FormActivate() {
    set_sensitive(false);
    hide();
}

bool TFrmClient::FormCanResize() { return false; }

void TFrmClient::on_show() {
    // The form is never visible: whatever shows it, it goes away again at once.
    Gtk::Window::on_show();
    FormActivate();
}

bool TFrmClient::on_configure_event(GdkEventConfigure* event) {
    if (!FormCanResize()) return true;
    return Gtk::Window::on_configure_event(event);
}

void TFrmClient::AppendLog(const std::string& line) {
    auto buffer = mmoLog.get_buffer();
    buffer->insert(buffer->end(), line + "\n");
    // The log is invisible; standard error lets whoever started the worker read it.
    std::cerr << "gameKivo worker: " << line << '\n';
}

std::string TFrmClient::LogText() const { return mmoLog.get_buffer()->get_text(); }

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
    tmrFindServer = Glib::signal_timeout().connect(
        [this] {
            tmrFindServerTimer();
            return false;  // the handler re-arms the timer itself
        },
        1000);
}

void TFrmClient::tmrFindServerTimer() {
    tmrFindServer.disconnect();
    try {
        if (!ServerWindowExists()) _exit(0);
    } catch (const std::exception& e) {
        AppendLog(e.what());
    }
    StartTimer();
}

}  // namespace kivo
