// Tabs behind one in front, all on a canvas game that draws every animation frame and runs a
// 100 ms timer, in the main window of this process with real workers: what each tab behind
// costs against the tab in front, the front tab's frame rate against one tab alone, the time
// from a tab switch to the page's first frame drawn after it, how long the window's own tab
// switch takes with all the tabs open, and what all pages cost with the window hidden.
// Usage: kivo_hidden_tabs_bench [tabs behind, default 20] [seconds per measurement, default 6]
#include <gtkmm.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "platform/identity.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "ui/frm_mult_open_app.h"
#include "webcontrol/registration.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using kivo::test::TestWebServer;

// Processor seconds of the process and every process below it.
double CpuSeconds(pid_t root) {
    std::ifstream stat("/proc/" + std::to_string(root) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    double seconds = 0;
    const size_t name_end = text.rfind(')');
    if (name_end != std::string::npos) {
        std::istringstream fields(text.substr(name_end + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stol(field);
            if (i == 15)
                stime = std::stol(field);
        }
        seconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }
    for (pid_t child : kivo::test::ChildrenOf(root)) seconds += CpuSeconds(child);
    return seconds;
}

std::map<std::string, std::string> QueryValues(const std::string& query) {
    std::map<std::string, std::string> values;
    std::istringstream pairs(query);
    std::string pair;
    while (std::getline(pairs, pair, '&')) {
        const size_t equals = pair.find('=');
        if (equals != std::string::npos)
            values[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    return values;
}

struct Report {
    long frames = 0;
    long long us = 0;
    std::string state;
};

std::vector<Report> Reports(const TestWebServer& server, const std::string& path,
                            const std::string& id) {
    std::vector<Report> reports;
    for (const auto& request : server.RequestsTo(path)) {
        auto values = QueryValues(request.query);
        if (values["id"] == id)
            reports.push_back(
                {std::stol(values["frames"]), std::stoll(values["us"]), values["state"]});
    }
    return reports;
}

long long WallMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    return values[at];
}

struct Tab {
    std::string id;
    pid_t worker = 0;
};

class Bench {
  public:
    Bench(TestWebServer& server, int shapes) : server_(server), shapes_(shapes) {
        window_ = std::make_unique<kivo::TFrmMultOpenApp>();
        window_->resize(1024, 768);
        window_->show();
        kivo::test::PumpUntil([&] { return window_->Handle() != 0; }, 5s);
    }
    ~Bench() {
        window_->actAppHaltExecute();
        window_.reset();
        kivo::test::PumpFor(1000ms);
    }

    // Opens the next tab in front and waits for its page.
    void OpenTab() {
        const std::string id = "t" + std::to_string(tabs_.size());
        const auto before = kivo::test::ChildrenOf(getpid());
        // Only the first tab, which the frame rates are read from, reports twice a second; the
        // others once a minute, so that what they cost is their game's, not the reports'.
        const std::string every = tabs_.empty() ? "5" : "600";
        window_->OpenGame(server_.Url("/game?id=" + id + "&shapes=" + std::to_string(shapes_) +
                                      "&every=" + every),
                          "", "");
        Tab tab{id, 0};
        kivo::test::PumpUntil(
            [&] {
                for (pid_t child : kivo::test::ChildrenOf(getpid()))
                    if (std::find(before.begin(), before.end(), child) == before.end())
                        tab.worker = child;
                kivo::N_TRzTabSheet* sheet = window_->Tab(int(tabs_.size()));
                return tab.worker != 0 && sheet && sheet->Hint() == "game-" + id;
            },
            120s);
        tabs_.push_back(tab);
    }

    const std::vector<Tab>& Tabs() const { return tabs_; }
    kivo::TFrmMultOpenApp& Window() { return *window_; }

    // Processor seconds of each tab's processes over `time`, and the frames a second of `front`.
    std::pair<std::vector<double>, double> Measure(std::chrono::milliseconds time, size_t front) {
        std::vector<double> before;
        for (const Tab& tab : tabs_) before.push_back(CpuSeconds(tab.worker));
        const size_t reports_before = Reports(server_, "/game-report", tabs_[front].id).size();
        kivo::test::PumpFor(time);
        std::vector<double> used;
        for (size_t i = 0; i < tabs_.size(); ++i)
            used.push_back(CpuSeconds(tabs_[i].worker) - before[i]);
        const auto reports = Reports(server_, "/game-report", tabs_[front].id);
        double fps = 0;
        if (reports.size() >= reports_before + 2) {
            const Report& first = reports[reports_before];
            const Report& last = reports.back();
            fps = double(last.frames - first.frames) * 1e6 / double(last.us - first.us);
        }
        return {used, fps};
    }

    // Switches to the tab; the time the window's switch took, and the time to the page's first
    // frame after it.
    std::pair<double, double> Switch(size_t index) {
        const std::string& id = tabs_[index].id;
        const size_t frames_before = Reports(server_, "/game-first-frame", id).size();
        const long long clicked = WallMicroseconds();
        const auto start = Clock::now();
        window_->ActivateTab(int(index));
        while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
        const double window_ms =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        kivo::test::PumpUntil(
            [&] { return Reports(server_, "/game-first-frame", id).size() > frames_before; }, 30s);
        const auto frames = Reports(server_, "/game-first-frame", id);
        const double frame_ms =
            frames.size() > frames_before ? double(frames.back().us - clicked) / 1000.0 : -1;
        return {window_ms, frame_ms};
    }

  private:
    TestWebServer& server_;
    int shapes_;
    std::unique_ptr<kivo::TFrmMultOpenApp> window_;
    std::vector<Tab> tabs_;
};

}  // namespace

int main(int argc, char** argv) {
    const int behind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const auto time =
        std::chrono::milliseconds(1000 * (argc > 2 ? std::max(2, std::atoi(argv[2])) : 6));
    constexpr int kShapes = 100;
    kivo::test::TempHome home;
    if (!gtk_init_check(nullptr, nullptr))
        return 1;
    Gtk::Main::init_gtkmm_internals();
    gdk_set_program_class(kivo::kMainWindowClass);
    TestWebServer server;
    const std::string exe =
        kivo::test::CopyProgram(KIVO_EXECUTABLE, home.Path(), "kivo-hidden-bench");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    Bench bench(server, kShapes);
    bench.OpenTab();
    kivo::test::PumpFor(2s);
    const auto [alone_cpu, alone_fps] = bench.Measure(time, 0);
    std::printf("one tab alone: %.1f %% of a core, %.1f frames a second\n",
                100 * alone_cpu[0] / (time.count() / 1000.0), alone_fps);

    for (int i = 0; i < behind; ++i) bench.OpenTab();
    bench.Window().ActivateTab(0);
    kivo::test::PumpFor(3s);
    const auto [cpu, fps] = bench.Measure(time, 0);
    std::vector<double> ratios;
    for (size_t i = 1; i < cpu.size(); ++i) ratios.push_back(cpu[i] / cpu[0]);
    std::printf(
        "%d tabs behind one in front: front %.1f %% of a core; each tab behind against the "
        "front one: median %.3fx, highest %.3fx\n",
        behind, 100 * cpu[0] / (time.count() / 1000.0), Percentile(ratios, 0.5),
        Percentile(ratios, 1.0));
    std::printf("front tab's frame rate with %d behind: %.1f against %.1f alone: %.2fx\n", behind,
                fps, alone_fps, fps / alone_fps);

    std::vector<double> window_ms, frame_ms;
    for (int k = 0; k < 2 * behind; ++k) {
        const auto [took, first_frame] = bench.Switch(size_t(1 + k % behind));
        window_ms.push_back(took);
        if (first_frame >= 0)
            frame_ms.push_back(first_frame);
        kivo::test::PumpFor(300ms);
    }
    std::printf(
        "tab switch to the page's first frame: median %.1f ms, 95th percentile %.1f ms (%zu "
        "switches)\n",
        Percentile(frame_ms, 0.5), Percentile(frame_ms, 0.95), frame_ms.size());
    std::printf(
        "the window's own tab switch with %d tabs open: median %.1f ms, 95th percentile "
        "%.1f ms\n",
        behind + 1, Percentile(window_ms, 0.5), Percentile(window_ms, 0.95));

    bench.Window().ActivateTab(0);
    kivo::test::PumpFor(1s);
    bench.Window().hide();  // as the boss key and the tray hide it
    kivo::test::PumpFor(2s);
    const auto [hidden_cpu, hidden_fps] = bench.Measure(time, 0);
    double all = 0;
    for (double seconds : hidden_cpu) all += seconds;
    std::printf(
        "window hidden: all %zu tabs' processes together %.1f %% of a core, %.3fx one tab "
        "in front\n",
        hidden_cpu.size(), 100 * all / (time.count() / 1000.0), all / cpu[0]);
    (void)hidden_fps;
    return 0;
}
