#include "app/worker_role.h"

#include <gtkmm.h>

#include <iostream>

#include "app/com_server.h"
#include "app/frm_client.h"
#include "app/server_switches.h"

namespace kivo {

int RunWorkerRole(int argc, char** argv, const std::vector<std::string>& arguments) {
    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << "gameKivo worker: cannot open the display\n";
        return 1;
    }
    Gtk::Main kit(argc, argv);
    const ServerSwitches switches = ParseServerSwitches(arguments);

    TFrmClient form;
    WorkerComServer server(switches.ActivationMode, nullptr, [] { Gtk::Main::quit(); });
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
