// Time from Connect to the DocumentComplete of a local page (the worker's start included), ten
// times one after another, against a bare program that starts a web view in a new process and
// loads the same page; and the resident memory of one worker's whole process tree against the
// bare program's tree, both with that page loaded.
#include <gtkmm.h>
#include <gtkmm/socket.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "platform/user_settings.h"
#include "session/shell_folders.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "webcontrol/registration.h"
#include "webcontrol/web_control_proxy.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Resident kilobytes of a process and all its descendants.
long TreeRssKb(pid_t root) {
    std::vector<pid_t> tree{root};
    for (size_t i = 0; i < tree.size(); ++i) {
        for (pid_t child : kivo::test::ChildrenOf(tree[i])) tree.push_back(child);
    }
    long total = 0;
    for (pid_t pid : tree) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) {
                total += std::stol(line.substr(6));
                if (std::getenv("KIVO_BENCH_DETAIL")) {
                    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
                    std::string name;
                    comm >> name;
                    std::fprintf(stderr, "  %s: %ld kB\n", name.c_str(), std::stol(line.substr(6)));
                }
            }
        }
    }
    return total;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    kivo::test::TempHome home;
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "needs an X display\n");
        return 1;
    }
    Gtk::Main::init_gtkmm_internals();
    kivo::test::TestWebServer server;
    const std::string url = server.Url("/title?t=bench");
    const std::string exe = kivo::test::CopyProgram(KIVO_EXECUTABLE, home.Path(), "kivo-bench");
    fs::create_directories(home.Path() + "/Temp");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    Gtk::Window window;
    Gtk::Socket socket;
    socket.signal_plug_removed().connect([] { return true; }, false);
    window.set_default_size(800, 600);
    window.add(socket);
    window.show_all();
    kivo::test::PumpUntil([&] { return socket.get_id() != 0; }, 5s);
    const int32_t tab = static_cast<int32_t>(socket.get_id());

    std::vector<double> ours, bare;
    long ours_rss = 0, bare_rss = 0;
    for (int round = 0; round < rounds; ++round) {
        // Ours: a fresh worker on a fresh session folder.
        const std::string folder = home.Path() + "/s" + std::to_string(round) + "/";
        settings.Write(kivo::kUserShellFoldersKey, kivo::kCookiesValue, folder);
        settings.Write(kivo::kUserShellFoldersKey, kivo::kCacheValue, folder);
        {
            bool done = false;
            const auto start = Clock::now();
            gameKivo_Work_TLB::TWebControl web;
            web.OnDocumentComplete = [&](gameKivo_Work_TLB::TWebControl&, bool top,
                                         const std::u16string&, int32_t) { done |= top; };
            web.Connect();
            web.Serverhandle(0);
            web.CreateWeb(tab);
            web.Navigate(tab, kivo::Utf8ToUtf16(url), u"");
            kivo::test::PumpUntil([&] { return done; }, 60s);
            ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            kivo::test::PumpFor(300ms);
            if (round == rounds - 1) ours_rss = TreeRssKb(web.DefaultInterface()->WorkerPid());
        }
        kivo::test::PumpFor(200ms);

        // The bare program, on a fresh folder too.
        int to_child[2], from_child[2];
        if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) return 1;
        kivo::UniqueFd write_end(to_child[1]), read_end(from_child[0]);
        const auto start = Clock::now();
        auto child = kivo::ChildProcess::Start(
            KIVO_BARE_WEBVIEW, {"bare", url, home.Path() + "/b" + std::to_string(round)},
            {{to_child[0], 0}, {from_child[1], 1}});
        close(to_child[0]);
        close(from_child[1]);
        char line[16] = {};
        pollfd ready{read_end.Get(), POLLIN, 0};
        if (poll(&ready, 1, 60000) <= 0) return 1;
        if (read(read_end.Get(), line, sizeof line) <= 0) return 1;
        bare.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        kivo::test::PumpFor(300ms);
        if (round == rounds - 1) bare_rss = TreeRssKb(child.Pid());
        write_end.Reset();
        child.Wait();
    }
    std::printf("rounds: %d\n", rounds);
    std::printf("Connect to DocumentComplete: median %.1f ms (bare web view process %.1f ms): %.2fx\n",
                Median(ours), Median(bare), Median(ours) / Median(bare));
    std::printf("resident memory of the process tree: %.1f MB (bare %.1f MB): %+.1f MB\n",
                ours_rss / 1024.0, bare_rss / 1024.0, (ours_rss - bare_rss) / 1024.0);
    return 0;
}
