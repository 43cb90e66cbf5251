#include "platform/page_sandbox.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <exception>

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

bool PageSandboxAvailable() {
    static const bool available = SandboxStarts(kSandboxTool);
    return available;
}

}  // namespace kivo
