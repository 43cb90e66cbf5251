#include "app/worker_role.h"

#include <glibmm/init.h>
#include <gtk/gtk.h>
// After the toolkit: the X headers define macros that clash with it.
#include <gdk/gdkx.h>

#include <iostream>
#include <memory>

#include "app/com_server.h"
#include "app/frm_client.h"
#include "app/server_switches.h"
#include "app/x11_display.h"
#include "platform/paths.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "webcontrol/page_messages.h"
#include "webcontrol/webkit_browser_view.h"

namespace kivo {

namespace {

void ShowWorkerMessage(const std::string& text) {
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                            GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), "");
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

// Text copied from a page belongs to this process, which ends with its last tab: where the
// desktop keeps a clipboard manager, it takes the text over so that it can still be pasted.
void KeepCopiedText() {
    if (!gdk_selection_owner_get(GDK_SELECTION_CLIPBOARD))
        return;  // not ours
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    gtk_clipboard_store(clipboard);
}

}  // namespace

int RunWorkerRole(int argc, char** argv, const std::vector<std::string>& arguments) {
    ChooseX11Display();
    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << NoX11DisplayMessage("gameKivo worker") << '\n';
        return 1;
    }
    uitWebControl::PrepareEngineProcess();
    Glib::init();
    // Tab windows of the main process can vanish at any moment; an X error about a window that
    // is gone must not end the worker.
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    const ServerSwitches switches = ParseServerSwitches(arguments);
    std::unique_ptr<GMainLoop, decltype(&g_main_loop_unref)> loop(g_main_loop_new(nullptr, FALSE),
                                                                  &g_main_loop_unref);

    TFrmClient form;
    uitWebControl::SetUncaughtErrorSink([&form](const std::string& line) { form.AppendLog(line); });
    uitWebControl::SetMessageBox(&ShowWorkerMessage);
    // The session folders are read once: the main process switches them only while it starts
    // this worker.
    std::unique_ptr<uitWebControl::WebKitEngine> engine;
    try {
        engine = std::make_unique<uitWebControl::WebKitEngine>(
            ReadSessionFolders(UserSettings()), AppPath() + page::kExtensionFolder);
    } catch (const std::exception& e) {
        form.AppendLog(std::string("the browser engine cannot start: ") + e.what());
    }
    WorkerComServer server(switches.ActivationMode, engine.get(),
                           [&loop] { g_main_loop_quit(loop.get()); });
    // Without its page process this worker's views are blank for good: it ends, which tells the
    // main process that its tabs' pages are gone; the user may open them again there.
    uitWebControl::SetPageProcessEndedHandler([&loop] { g_main_loop_quit(loop.get()); });
    try {
        server.Start();
    } catch (const std::exception& e) {
        std::cerr << "gameKivo worker: " << e.what() << '\n';
        return 1;
    }
    g_main_loop_run(loop.get());
    KeepCopiedText();
    return 0;
}

}  // namespace kivo
