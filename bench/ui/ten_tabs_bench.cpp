// Ten free tabs opened one after another in the main window on a local page: the time to the
// last tab's page and the resident memory of all processes, against ten bare web view programs
// started side by side in the same run.
#include <fcntl.h>
#include <gtkmm.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/identity.h"
#include "platform/process.h"
#include "platform/unique_fd.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "ui/frm_mult_open_app.h"
#include "webcontrol/registration.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

long TreeRssKb(pid_t root) {
    long total = RssKb(root);
    for (pid_t child : kivo::test::ChildrenOf(root)) total += TreeRssKb(child);
    return total;
}

}  // namespace

int main() {
    constexpr int kTabs = 10;
    kivo::test::TempHome home;
    if (!gtk_init_check(nullptr, nullptr)) return 1;
    Gtk::Main::init_gtkmm_internals();
    gdk_set_program_class(kivo::kMainWindowClass);
    kivo::test::TestWebServer server;
    const std::string url = server.Url("/title?t=bench");
    const std::string exe = kivo::test::CopyExecutable(KIVO_EXECUTABLE, home.Path(), "kivo-tabs-bench");
    // What lies in the program folder besides the executable goes with it.
    std::filesystem::copy(std::filesystem::path(KIVO_EXECUTABLE).parent_path() / "page-extension",
                          home.Path() + "/page-extension", std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(home.Path() + "/WebImage");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    auto window = std::make_unique<kivo::TFrmMultOpenApp>();
    window->show();
    kivo::test::PumpUntil([&] { return window->Handle() != 0; }, 5s);
    const long window_before = RssKb(getpid());

    const auto start = Clock::now();
    for (int i = 0; i < kTabs; ++i) window->OpenGame(url, "", "");
    kivo::test::PumpUntil(
        [&] {
            for (int i = 0; i < window->TabCount(); ++i) {
                if (window->Tab(i)->Hint() != "bench") return false;
            }
            return true;
        },
        120s);
    const double ours_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kivo::test::PumpFor(500ms);
    long ours_kb = RssKb(getpid()) - window_before;
    for (pid_t child : kivo::test::ChildrenOf(getpid())) ours_kb += TreeRssKb(child);
    window.reset();
    kivo::test::PumpFor(1000ms);

    std::vector<kivo::ChildProcess> bare;
    std::vector<kivo::UniqueFd> inputs, outputs;
    const auto bare_start = Clock::now();
    for (int i = 0; i < kTabs; ++i) {
        int to_child[2], from_child[2];
        if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) return 1;
        inputs.emplace_back(to_child[1]);
        outputs.emplace_back(from_child[0]);
        bare.push_back(kivo::ChildProcess::Start(
            KIVO_BARE_WEBVIEW, {"bare", url, home.Path() + "/bare" + std::to_string(i)},
            {{to_child[0], 0}, {from_child[1], 1}}));
        close(to_child[0]);
        close(from_child[1]);
    }
    for (auto& output : outputs) {
        pollfd ready{output.Get(), POLLIN, 0};
        char line[16];
        if (poll(&ready, 1, 120000) <= 0 || read(output.Get(), line, sizeof line) <= 0) return 1;
    }
    const double bare_ms = std::chrono::duration<double, std::milli>(Clock::now() - bare_start).count();
    kivo::test::PumpFor(500ms);
    long bare_kb = 0;
    for (auto& child : bare) bare_kb += TreeRssKb(child.Pid());
    inputs.clear();
    for (auto& child : bare) child.Wait();

    std::printf("ten tabs one after another: %.0f ms (ten bare web view processes side by side %.0f ms): %.2fx\n",
                ours_ms, bare_ms, ours_ms / bare_ms);
    std::printf("resident memory: %.1f MB (bare %.1f MB): %+.1f MB per tab\n", ours_kb / 1024.0,
                bare_kb / 1024.0, (ours_kb - bare_kb) / 1024.0 / kTabs);
    return 0;
}
