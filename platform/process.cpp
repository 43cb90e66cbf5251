#include "platform/process.h"

#include <dirent.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/text.h"

extern char** environ;

namespace kivo {

namespace {

std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExecutableOf(const std::string& pid_text) {
    std::error_code ec;
    std::string target = std::filesystem::read_symlink("/proc/" + pid_text + "/exe", ec).string();
    if (ec) return {};
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.size() > kDeleted.size() && target.ends_with(kDeleted))
        target.resize(target.size() - kDeleted.size());
    return target;
}

}  // namespace

std::vector<uint32_t> FindProcessesByName(const std::string& name) {
    std::vector<uint32_t> ids;
    DIR* proc = opendir("/proc");
    if (!proc) return ids;
    const std::string wanted = AsciiUpper(FileNamePart(name));
    while (const dirent* entry = readdir(proc)) {
        const std::string pid_text = entry->d_name;
        if (pid_text.empty() || !std::all_of(pid_text.begin(), pid_text.end(), ::isdigit))
            continue;
        struct stat info {};
        if (stat(("/proc/" + pid_text).c_str(), &info) != 0 || info.st_uid != getuid()) continue;
        const std::string exe = ExecutableOf(pid_text);
        if (!exe.empty() && AsciiUpper(FileNamePart(exe)) == wanted)
            ids.push_back(static_cast<uint32_t>(std::stoul(pid_text)));
    }
    closedir(proc);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool IsTrustedExecutable(const std::string& path) {
    struct stat info {};
    if (path.empty() || path.front() != '/' || stat(path.c_str(), &info) != 0)
        return false;
    const bool owner = info.st_uid == getuid() || info.st_uid == 0;
    return S_ISREG(info.st_mode) && owner && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void KillOtherProcesses(const std::string& name_or_path) {
    const auto self = static_cast<uint32_t>(getpid());
    for (uint32_t pid : FindProcessesByName(FileNamePart(name_or_path))) {
        if (pid != self) kill(static_cast<pid_t>(pid), SIGKILL);
    }
}

ChildProcess ChildProcess::Start(const std::string& path, const std::vector<std::string>& args,
                                 const std::vector<FdMapping>& fds,
                                 const std::vector<std::pair<std::string, std::string>>& env) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const FdMapping& mapping : fds) {
        // dup2 onto itself would keep close-on-exec set; adddup2 handles only distinct fds.
        if (mapping.parent_fd == mapping.child_fd)
            throw std::logic_error("a mapped descriptor must be moved");
        posix_spawn_file_actions_adddup2(&actions, mapping.parent_fd, mapping.child_fd);
    }
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(env.begin(), env.end(), [&](const auto& pair) {
            return entry.starts_with(pair.first + "=");
        });
        if (!replaced) environment.push_back(entry);
    }
    for (const auto& [name, value] : env) environment.push_back(name + "=" + value);

    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + path + ": " + std::strerror(rc));
    return ChildProcess(pid);
}

ChildProcess::ChildProcess(pid_t pid) : pid_(pid) {
    // Not yet waited for, so the id is still this program's: the descriptor pins it.
    handle_.Reset(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        ReapInBackground();
        pid_ = std::exchange(other.pid_, -1);
        watched_ = std::exchange(other.watched_, false);
        handle_ = std::move(other.handle_);
    }
    return *this;
}

bool ChildProcess::Ended() const {
    if (handle_.Valid()) {
        pollfd p{handle_.Get(), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;  // readable once the program has ended
    }
    if (pid_ <= 0) return true;
    if (watched_) return false;  // cannot tell without a descriptor; assume it runs
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid != 0;
}

void ChildProcess::Kill() {
    if (handle_.Valid()) {
        syscall(SYS_pidfd_send_signal, handle_.Get(), SIGKILL, nullptr, 0);
    } else if (pid_ > 0 && !watched_) {
        kill(pid_, SIGKILL);  // not reaped yet: the id cannot have passed to another program
    }
}

ChildProcess::~ChildProcess() { ReapInBackground(); }

int ChildProcess::Wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) {
            status = -1;
            break;
        }
    }
    pid_ = -1;
    handle_.Reset();
    return status;
}

int ChildProcess::TryWait() {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        pid_ = -1;
        handle_.Reset();
        return status;
    }
    return -1;
}

void ChildProcess::ReapWhenEnded() {
    if (pid_ <= 0 || watched_) return;
    // GLib's child watch reaps the process when it ends, from the main loop.
    g_child_watch_add(pid_, [](GPid pid, gint, gpointer) { g_spawn_close_pid(pid); }, nullptr);
    watched_ = true;
}

void ChildProcess::ReapInBackground() {
    ReapWhenEnded();
    pid_ = -1;
    watched_ = false;
    handle_.Reset();
}

}  // namespace kivo
