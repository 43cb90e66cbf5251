// The one executable of both roles: the first argument chooses. A worker runs here; the main
// process loads the module of the main role from the program folder and runs it.
#include <dlfcn.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "platform/file_version.h"
#include "app/main_module.h"
#include "app/server_switches.h"
#include "app/worker_role.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::cout << "gameKivo " << kivo::kFileVersion << '\n';
        return 0;
    }
    try {
        kivo::SettleHomeVariable();
    } catch (const std::exception& e) {
        std::cerr << "gameKivo: " << e.what() << '\n';
        return 1;
    }
    if (kivo::IsWorkerRole(arguments)) return kivo::RunWorkerRole(argc, argv, arguments);

    const std::string module = kivo::AppPath() + kivo::kMainModuleName;
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = handle ? reinterpret_cast<kivo::MainModuleEntry>(dlsym(handle, kivo::kMainModuleEntry))
                        : nullptr;
    if (!entry) {
        const char* reason = dlerror();
        std::cerr << "gameKivo: cannot load " << module << ": " << (reason ? reason : "no entry")
                  << "\nReinstall the program: the module lies next to the executable.\n";
        return 1;
    }
    // The module stays loaded until the process ends.
    return entry(argc, argv);
}
