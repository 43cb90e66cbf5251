#include "tests/e2e/support/program_under_test.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/unique_fd.h"
#include "tests/e2e/support/private_desktop.h"

namespace kivo::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

int RunToEnd(const std::string& path, const std::vector<std::string>& args) {
    return kivo::ChildProcess::Start(path, args).Wait();
}

}  // namespace

ProgramUnderTest::ProgramUnderTest(ProgramOptions options) : options_(std::move(options)) {
    Desktop();  // the buses exist before anything that may look for them starts
    unsetenv("NO_AT_BRIDGE");
    output_path_ = home_.Path() + "/program-output.log";
    if (!options_.installed_executable.empty()) {
        executable_ = options_.installed_executable;
        folder_ = fs::path(executable_).parent_path().string();
        if (options_.start)
            Start();
        return;
    }
    static int count = 0;
    folder_ = home_.Path() + "/app";
    fs::create_directories(folder_);
    const std::string name = "kivo-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++count);
    executable_ = kivo::test::CopyExecutable(KIVO_EXECUTABLE, folder_, name);
    kivo::test::CopyExecutable(KIVO_UPGRADE_CLIENT, folder_, "UpgradeClient");
    const fs::path module(KIVO_MAIN_MODULE);
    kivo::test::CopyExecutable(KIVO_MAIN_MODULE, folder_, module.filename());
    fs::copy_file(fs::path(KIVO_EXECUTABLE).parent_path() / "CameraDll.so",
                  folder_ + "/CameraDll.so");
    fs::copy(fs::path(KIVO_EXECUTABLE).parent_path() / "page-extension",
             folder_ + "/page-extension", fs::copy_options::recursive);
    if (options_.prepare_database &&
        RunToEnd(
            "/bin/bash",
            {"bash", std::string(KIVO_SOURCE_DIR) + "/scripts/prepare-database.sh", folder_}) != 0)
        throw std::runtime_error("cannot prepare the database");
    if (RunToEnd(executable_, {executable_, "/REGSERVER"}) != 0)
        throw std::runtime_error("cannot register the worker server");
    if (options_.start)
        Start();
}

ProgramUnderTest::~ProgramUnderTest() {
    if (pid_ > 0 && !status_) {
        kill(-pid_, SIGKILL);
        WaitForEnd(10s);
    }
}

std::string ProgramUnderTest::DatabasePath() const {
    if (!options_.installed_executable.empty())
        return home_.Path() + "/data/gameKivo/MultOpenApp.dat";
    return folder_ + "/MultOpenApp.dat";
}

void ProgramUnderTest::Start() {
    kivo::UniqueFd output(
        open(output_path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (output.Get() < 0)
        throw std::runtime_error("cannot open " + output_path_);
    auto env = options_.env;
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", Desktop().BusAddress());
    if (!options_.promotion)
        env.emplace_back("KIVO_NO_PROMOTION", "1");
    // setsid gives the program a process group of its own that ends with it at teardown.
    process_ = kivo::ChildProcess::Start("/usr/bin/setsid", {"setsid", executable_},
                                         {{output.Get(), 1}, {output.Get(), 2}}, env);
    pid_ = process_.Pid();
    status_.reset();
}

bool ProgramUnderTest::Running() {
    if (status_)
        return false;
    const int status = process_.TryWait();
    if (status == -1)
        return true;
    status_ = status;
    return false;
}

std::optional<int> ProgramUnderTest::WaitForEnd(std::chrono::milliseconds timeout) {
    kivo::test::PumpUntil([&] { return !Running(); }, timeout);
    return status_;
}

std::vector<pid_t> ProgramUnderTest::Workers() const {
    std::vector<pid_t> running;
    for (pid_t child : kivo::test::ChildrenOf(pid_))
        if (kivo::test::ProcessRunning(child))
            running.push_back(child);
    return running;
}

std::string ProgramUnderTest::Output() const {
    std::ifstream in(output_path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kivo::e2e
