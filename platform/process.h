#pragma once
// Processes: finding them by executable name, ending them, starting programs.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

namespace kivo {

// Ids of this user's processes whose executable file name equals `name` ignoring ASCII letter
// case, in ascending id order.
std::vector<uint32_t> FindProcessesByName(const std::string& name);

// Ends (SIGKILL) every process of this user named like the file-name part of `name_or_path`,
// except the calling process. Failures are skipped; nothing waits for the processes to go.
void KillOtherProcesses(const std::string& name_or_path);

// Whether the program file at `path` may be started on this user's behalf: a regular file
// owned by this user or by root that nobody else can write to.
bool IsTrustedExecutable(const std::string& path);

// A started program. Destroying the object does not end the program; a program that was not
// waited for is reaped in the background once it ends, so it never lingers as a zombie.
class ChildProcess {
public:
    struct FdMapping {
        int parent_fd;
        int child_fd;
    };

    // Starts `path` with `args` (args[0] is the program's own name). Each mapping makes the
    // parent's descriptor appear as child_fd in the child; nothing else is inherited
    // deliberately. Throws with the reason when the program cannot start.
    static ChildProcess Start(const std::string& path, const std::vector<std::string>& args,
                              const std::vector<FdMapping>& fds = {},
                              const std::vector<std::pair<std::string, std::string>>& env = {});

    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept
        : pid_(std::exchange(other.pid_, -1)),
          watched_(std::exchange(other.watched_, false)),
          handle_(std::move(other.handle_)) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t Pid() const { return pid_; }
    // Waits for the end; returns the exit status as waitpid gives it.
    int Wait();
    // The exit status when the program has ended, else -1 (does not block).
    int TryWait();
    // The program is not going to be waited for: it is reaped from the main loop as soon as it
    // ends. Pid() still tells which program it was; Wait and TryWait are not to be used.
    void ReapWhenEnded();
    // Whether the program has ended (reaped or not). Keeps telling the truth after the program
    // was reaped in the background, as the process is held by a descriptor of its own.
    bool Ended() const;
    // Ends the program at once (SIGKILL). Never reaches another program that took over the id
    // of one that has ended and been reaped.
    void Kill();

private:
    explicit ChildProcess(pid_t pid);
    void ReapInBackground();

    pid_t pid_ = -1;
    bool watched_ = false;  // reaped by the main loop
    UniqueFd handle_;       // a process descriptor (pidfd) while the program is ours
};

}  // namespace kivo
