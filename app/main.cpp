// The one executable of both roles: the first argument chooses.
#include <string>
#include <vector>

#include "app/main_role.h"
#include "app/server_switches.h"
#include "app/worker_role.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (kivo::IsWorkerRole(arguments)) return kivo::RunWorkerRole(argc, argv, arguments);
    return kivo::RunMainRole(argc, argv, arguments);
}
