// Ten free tabs opened one after another in the main window on a local page: the time to the
// last tab's page and the resident memory of all processes, against ten bare web view programs
// started side by side in the same run.
#include <fcntl.h>
#include <gtkmm.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/identity.h"
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

struct Sample {
    double ms = 0;
    long kb = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

constexpr int kTabs = 10;

// Ten free tabs opened one after another, to the last one's completed page; then the resident
// memory the window and all its workers added.
Sample OpenTenTabs(const std::string& url) {
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
    Sample sample;
    sample.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kivo::test::PumpFor(500ms);
    sample.kb = RssKb(getpid()) - window_before;
    for (pid_t child : kivo::test::ChildrenOf(getpid())) sample.kb += TreeRssKb(child);
    window->actAppHaltExecute();
    window.reset();
    kivo::test::PumpFor(1000ms);
    return sample;
}

// Ten bare web views started side by side, each in its own process and data folder.
Sample StartTenBareViews(const std::string& url, const std::string& folder) {
    std::vector<kivo::ChildProcess> bare;
    std::vector<kivo::UniqueFd> inputs, outputs;
    const auto start = Clock::now();
    for (int i = 0; i < kTabs; ++i) {
        int to_child[2], from_child[2];
        if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        inputs.emplace_back(to_child[1]);
        outputs.emplace_back(from_child[0]);
        bare.push_back(kivo::ChildProcess::Start(KIVO_BARE_WEBVIEW,
                                                 {"bare", url, folder + std::to_string(i)},
                                                 {{to_child[0], 0}, {from_child[1], 1}}));
        close(to_child[0]);
        close(from_child[1]);
    }
    for (auto& output : outputs) {
        pollfd ready{output.Get(), POLLIN, 0};
        char line[16];
        if (poll(&ready, 1, 120000) <= 0 || read(output.Get(), line, sizeof line) <= 0)
            throw std::runtime_error("a bare view did not load its page");
    }
    Sample sample;
    sample.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kivo::test::PumpFor(500ms);
    for (auto& child : bare) sample.kb += TreeRssKb(child.Pid());
    inputs.clear();
    for (auto& child : bare) child.Wait();
    kivo::test::PumpFor(500ms);
    return sample;
}

}  // namespace

// Runs the two side by side in alternating rounds (three unless told) and reports the medians.
int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kivo::test::TempHome home;
    if (!gtk_init_check(nullptr, nullptr)) return 1;
    Gtk::Main::init_gtkmm_internals();
    gdk_set_program_class(kivo::kMainWindowClass);
    kivo::test::TestWebServer server;
    const std::string url = server.Url("/title?t=bench");
    const std::string exe =
        kivo::test::CopyProgram(KIVO_EXECUTABLE, home.Path(), "kivo-tabs-bench");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    std::vector<double> ours_ms, bare_ms, ours_mb, bare_mb;
    for (int round = 0; round < rounds; ++round) {
        const Sample ours = OpenTenTabs(url);
        const Sample bare = StartTenBareViews(url, home.Path() + "/bare" + std::to_string(round) + "-");
        std::printf("round %d: %.0f ms against %.0f ms (%.2fx), %+.1f MB per tab\n", round + 1, ours.ms,
                    bare.ms, ours.ms / bare.ms, (ours.kb - bare.kb) / 1024.0 / kTabs);
        ours_ms.push_back(ours.ms);
        bare_ms.push_back(bare.ms);
        ours_mb.push_back(ours.kb / 1024.0);
        bare_mb.push_back(bare.kb / 1024.0);
    }
    std::printf("ten tabs one after another, median of %d rounds: %.0f ms (ten bare web view processes side by side %.0f ms): %.2fx\n",
                rounds, Median(ours_ms), Median(bare_ms), Median(ours_ms) / Median(bare_ms));
    std::printf("resident memory, median: %.1f MB (bare %.1f MB): %+.1f MB per tab\n", Median(ours_mb),
                Median(bare_mb), (Median(ours_mb) - Median(bare_mb)) / kTabs);
    return 0;
}
