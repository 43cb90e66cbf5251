#include "app/worker_role.h"

#include <gtkmm.h>
// After gtkmm: the X headers define macros that clash with it.
#include <gdk/gdkx.h>

#include <iostream>

#include "app/com_server.h"
#include "app/frm_client.h"
#include "app/server_switches.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "webcontrol/webkit_browser_view.h"

namespace kivo {

int RunWorkerRole(int argc, char** argv, const std::vector<std::string>& arguments) {
    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << "gameKivo worker: cannot open the display\n";
        return 1;
    }
    Gtk::Main kit(argc, argv);
    // Tab windows of the main process can vanish at any moment; an X error about a window that
    // is gone must not end the worker.
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    const ServerSwitches switches = ParseServerSwitches(arguments);

    TFrmClient form;
    uitWebControl::SetUncaughtErrorSink([&form](const std::string& line) { form.AppendLog(line); });
    uitWebControl::SetMessageBox([](const std::string& text) {
        Gtk::MessageDialog box(text, false, Gtk::MESSAGE_INFO, Gtk::BUTTONS_OK, false);
        box.set_title("");
        box.run();
    });
    // The session folders are read once: the main process switches them only while it starts
    // this worker.
    std::unique_ptr<uitWebControl::WebKitEngine> engine;
    try {
        engine = std::make_unique<uitWebControl::WebKitEngine>(ReadSessionFolders(UserSettings()));
    } catch (const std::exception& e) {
        form.AppendLog(std::string("the browser engine cannot start: ") + e.what());
    }
    WorkerComServer server(switches.ActivationMode, engine.get(), [] { Gtk::Main::quit(); });
    try {
        server.Start();
    } catch (const std::exception& e) {
        std::cerr << "gameKivo worker: " << e.what() << '\n';
        return 1;
    }
    Gtk::Main::run();
    return 0;
}

}  // namespace kivo
