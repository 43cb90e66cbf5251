#include "app/upgrade.h"

#include <sys/wait.h>

#include <filesystem>

#include "platform/file_version.h"
#include "platform/process.h"

namespace kivo {

int RunAndWait(const std::vector<std::string>& arguments,
               const std::function<void(const std::string&)>& report) {
    try {
        const int status = ChildProcess::Start(arguments.at(0), arguments).Wait();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } catch (const std::exception& e) {
        report(e.what());
        return -1;
    }
}

bool actAppUpgradeExecute(const std::string& app_path,
                          const std::function<void(const std::string&)>& report) {
    const std::string program = app_path + kUpgradeProgram;
    std::error_code ec;
    if (!std::filesystem::exists(program, ec)) return false;
    RunAndWait({program, kFileVersion}, report);  // the exit code is not used
    return true;
}

}  // namespace kivo
