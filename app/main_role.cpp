#include "app/main_role.h"

#include <gtkmm.h>
// After gtkmm: the X headers define macros that clash with it.
#include <gdk/gdkx.h>

#include <iostream>
#include <memory>
#include <string_view>

#include "platform/identity.h"
#include "app/server_switches.h"
#include "app/upgrade.h"
#include "app/x11_display.h"
#include "data/data_module.h"
#include "platform/download_file.h"
#include "platform/instance_mutex.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/user_settings.h"
#include "ui/frm_mult_open_app.h"
#include "ui/dialogs/message_box.h"
#include "webcontrol/registration.h"

namespace kivo {

namespace {

// A message box without owner window; without a display the text goes to standard error.
void ShowErrorWithoutOwner(int& argc, char**& argv, const char* text, const char* caption) {
    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << caption << ": " << text << '\n';
        return;
    }
    Gtk::Main::init_gtkmm_internals();
    ShowMessageBox(text, caption, Gtk::MESSAGE_ERROR, MessageButtons::Ok);
}

void ShowError(const std::string& text, const std::string& title) {
    ShowMessageBox(text, title, Gtk::MESSAGE_ERROR, MessageButtons::Ok);
}

static_assert(std::string_view(kDatabaseFileName) == data::TData::kDatabaseName);

// Every user of an installed program registers it on their first start, as its installer cannot
// do for them; a registration of another copy of the program gives way to this one.
void RegisterThisServer() {
    try {
        UserSettings settings;
        const std::string executable = ExecutablePath();
        if (gameKivo_TLB::RegisteredServer(settings) != executable)
            gameKivo_TLB::RegisterServer(settings, executable);
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: registration failed: " << e.what() << '\n';
    }
}

}  // namespace

int RunMainRole(int argc, char** argv, const std::vector<std::string>& arguments) {
    ChooseX11Display();
    // 1. One main process per user.
    std::unique_ptr<NamedProcessLock> instance_mutex;
    try {
        instance_mutex = std::make_unique<NamedProcessLock>(kInstanceMutexName);
    } catch (const std::exception& e) {
        const std::string text = std::string(kInstanceLockFailedMessage) + e.what();
        ShowErrorWithoutOwner(argc, argv, text.c_str(), kSecondInstanceCaption);
        return 1;
    }
    if (instance_mutex->AlreadyExisted()) {
        ShowErrorWithoutOwner(argc, argv, kSecondInstanceMessage, kSecondInstanceCaption);
        return 1;
    }

    // 2. Workers left behind by an earlier main process that did not end cleanly, and the
    // partial files of the downloads they were in the middle of.
    KillOtherProcesses(kProcessSweepName);
    RemoveLeftPartialDownloads(PartialDownloadJournal());

    // 3. The component server and its registration switches.
    const ServerSwitches switches = ParseServerSwitches(arguments);
    if (switches.RegServer || switches.UnregServer) {
        UserSettings settings;
        try {
            if (switches.UnregServer)
                gameKivo_TLB::UnregisterServer(settings);
            else
                gameKivo_TLB::RegisterServer(settings, ExecutablePath());
        } catch (const std::exception& e) {
            std::cerr << "gameKivo: registration failed: " << e.what() << '\n';
            return 1;
        }
        return 0;
    }

    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << NoX11DisplayMessage("gameKivo") << '\n';
        return 1;
    }
    Gtk::Main kit(argc, argv);
    // Workers' windows inside the tabs can vanish at any moment (a worker ended); an X error
    // about a window that is gone must not end the main process.
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    // 4. The window class workers look for, and the application title.
    gdk_set_program_class(kMainWindowClass);
    Glib::set_application_name(kApplicationTitle);

    // 5. The data module (its failure is shown once and start-up goes on), then the main window.
    // Installed, the user's own database is copied from the program folder's on the first start,
    // and the worker server is this installation's.
    const std::string app_path = AppPath();
    const WritablePlaces places = Writable();
    std::string copy_failure;
    try {
        PrepareDatabase(places, app_path + kDatabaseFileName);
    } catch (const std::exception& e) {
        copy_failure = e.what();
    }
    data::TData Data(places.Database, [&](const std::string& text, const std::string& title) {
        ShowError(copy_failure.empty() ? text : text + "\n" + copy_failure, title);
    });
    if (RunsInstalled(app_path))
        RegisterThisServer();
    // The upgrade program runs first and start-up waits for it; without it the installation is
    // broken and the program ends before any window is shown.
    if (!actAppUpgradeExecute(AppPath(),
                              [](const std::string& reason) { ShowError(reason, "Yipes!"); })) {
        ShowError(kMissingFilesMessage, "提示");
        return 1;
    }
    // Errors that escape a handler of the main window are dropped.
    Glib::add_exception_handler([] {
        try {
            throw;
        } catch (...) {
        }
    });
    TFrmMultOpenApp window(&Data.FDatabase);
    // Maximised and shown, the probe page, the start-up timer, the home page in the first tab.
    window.FormCreate();
    // 6. The message loop, until the program quits. It does not hang on the window: hiding the
    // window to the tray must leave the program, its tabs and their workers running.
    if (!window.QuitRequested()) kit.run();
    return 0;
}

}  // namespace kivo
