#include "platform/page_sandbox.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <exception>
#include <filesystem>
#include <string_view>

#include "platform/process.h"
#include "platform/unique_fd.h"

namespace kivo {

bool SandboxStarts(const std::string& tool) {
    UniqueFd quiet(open("/dev/null", O_WRONLY | O_CLOEXEC));
    std::vector<ChildProcess::FdMapping> fds;
    if (quiet.Valid()) fds.push_back({quiet.Get(), STDERR_FILENO});
    try {
        // The namespaces the engine unshares for a page process, around a program that only
        // ends well.
        ChildProcess trial = ChildProcess::Start(
            tool, {tool, "--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc", "--unshare-all",
                   "--die-with-parent", "--", "/bin/true"},
            fds);
        const int status = trial.Wait();
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool BusFolderExists(const std::string& address) {
    constexpr std::string_view kPath = "unix:path=";
    if (!address.starts_with(kPath))
        return true;  // no bus, or one not on a socket path
    const std::string path = address.substr(kPath.size(), address.find(',') - kPath.size());
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path).parent_path(), error);
}

bool PageSandboxAvailable() {
    static const bool available = SandboxStarts(kSandboxTool);
    return available;
}

}  // namespace kivo
