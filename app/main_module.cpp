// The main role as a module: the executable loads it when it is the main process.
#include <string>
#include <vector>

#include "app/main_module.h"
#include "app/main_role.h"

extern "C" __attribute__((visibility("default"))) int kivo_RunMainRole(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return kivo::RunMainRole(argc, argv, arguments);
}
