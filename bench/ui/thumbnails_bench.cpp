// The tab thumbnails with nine tabs in the main window: the time from "9格显示" to the nine
// pictures drawn, against reading the nine picture files into the cells' pictures alone in the
// same run; and
// the fresh pictures of nine tabs drawn by their workers side by side, against one tab's.
#include <gtkmm.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/identity.h"
#include "platform/paths.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "tests/support/toolkit.h"
#include "ui/frm_mult_open_app.h"
#include "ui/pictures/thumbnail_layout.h"
#include "webcontrol/registration.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

constexpr int kTabs = 9;

// The longest time the window's loop went without running a timer of 1 ms while it was
// watched: how long input would have waited at worst.
class LoopPauses {
  public:
    LoopPauses()
        : last_(Clock::now()),
          timer_(Glib::signal_timeout().connect(
              [this] {
                  const auto now = Clock::now();
                  longest_ms_ = std::max(
                      longest_ms_, std::chrono::duration<double, std::milli>(now - last_).count());
                  last_ = now;
                  return true;
              },
              1, Glib::PRIORITY_HIGH)) {}
    ~LoopPauses() { timer_.disconnect(); }
    double LongestMs() const { return longest_ms_; }

  private:
    Clock::time_point last_;
    double longest_ms_ = 0;
    sigc::connection timer_;
};

// Runs the main loop until `done`, woken at once by whatever it waits on: a pump that sleeps
// between its looks would add its sleeps to every measure.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    auto wake = Glib::signal_timeout().connect([] { return true; }, 50);
    while (!done() && Clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
    wake.disconnect();
    return done();
}

// From `act` to the frame that draws the last cell with all nine pictures in place.
double UntilGridDrawn(kivo::TFrmMultOpenApp& window, const std::function<void()>& act) {
    kivo::TThumbnailGrid& grid = window.ThumbnailGrid();
    bool drawn = false;
    auto all_pictures = [&] {
        for (int k = 0; k < kTabs; ++k)
            if (!grid.Cell(k).HasPicture())
                return false;
        return true;
    };
    auto watch = grid.Cell(kTabs - 1).signal_draw().connect(
        [&](const Cairo::RefPtr<Cairo::Context>&) {
            if (all_pictures())
                drawn = true;
            return false;
        },
        false);
    const auto start = Clock::now();
    act();
    RunUntil([&] { return drawn; }, 20s);
    const double ms = Ms(start);
    watch.disconnect();
    return drawn ? ms : -1;
}

// The nine files read by `load` one after the other, nothing drawn.
double LoadFiles(kivo::TFrmMultOpenApp& window, int width, int height,
                 kivo::imaging::RgbImage (*load)(const std::string&, int, int)) {
    const auto start = Clock::now();
    for (int i = 0; i < kTabs; ++i) {
        const auto picture =
            load(kivo::ThumbnailFile(kivo::WorkPath(), window.Tab(i)->TabHandle()), width, height);
        if (picture.Empty())
            return -1;
    }
    return Ms(start);
}

// The processor time (user and system) spent so far by this process and all its descendants
// still running (the workers and their page processes), in milliseconds.
double TreeCpuMs() {
    std::map<pid_t, std::pair<pid_t, double>> processes;  // pid -> parent, time
    const double tick_ms = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        std::vector<std::string> values;
        while (fields >> field) values.push_back(field);
        if (values.size() < 13)
            continue;
        // After the name: state, parent, ..., user time is the 12th and system time the 13th.
        processes[std::stoi(name)] = {std::stoi(values[1]),
                                      (std::stod(values[11]) + std::stod(values[12])) * tick_ms};
    }
    double total = 0;
    for (const auto& [pid, info] : processes) {
        for (pid_t up = pid; up > 1;) {
            if (up == getpid()) {
                total += info.second;
                break;
            }
            const auto parent = processes.find(up);
            if (parent == processes.end())
                break;
            up = parent->second.first;
        }
    }
    return total;
}

// Fresh pictures of the first `count` tabs asked of their workers all at once, until the last
// has been written; `cpu_ms` gets the processor time all processes spent meanwhile.
double FreshPictures(kivo::TFrmMultOpenApp& window, int count, double& cpu_ms) {
    int done = 0, written = 0;
    const double cpu_before = TreeCpuMs();
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        kivo::N_TRzTabSheet* tab = window.Tab(i);
        tab->WebControl().SaveWebToPicSmallAsync(tab->TabHandle(), 30s, [&](bool ok) {
            ++done;
            written += ok ? 1 : 0;
        });
    }
    RunUntil([&] { return done == count; }, 60s);
    const double ms = Ms(start);
    cpu_ms = TreeCpuMs() - cpu_before;
    return written == count ? ms : -1;
}

}  // namespace

// Rounds (five unless told) of each measure; reports the medians.
int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    kivo::test::TempHome home;
    if (!kivo::test::ToolkitReady())
        return 1;
    gdk_set_program_class(kivo::kMainWindowClass);
    kivo::test::TestWebServer server;
    // The workers write the thumbnails into their work folder, where this window reads them:
    // they run from a copy next to this program (the page extension is there already).
    const std::string folder = kivo::AppPath();
    const std::string exe = kivo::test::CopyExecutable(
        KIVO_EXECUTABLE, folder.substr(0, folder.size() - 1), "kivo-thumbs-bench-worker");
    std::filesystem::create_directories(kivo::WorkPath() + "WebImage");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    auto window = std::make_unique<kivo::TFrmMultOpenApp>();
    window->resize(1280, 1000);
    window->show();
    kivo::test::PumpUntil([&] { return window->Handle() != 0; }, 5s);
    // One after another, as a user opens them: a page's view draws its picture once shown.
    bool loaded = true;
    for (int i = 0; i < kTabs && loaded; ++i) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "%02x%02x%02x", 20 * i, 255 - 20 * i, 128);
        kivo::N_TRzTabSheet* tab =
            window->OpenGame(server.Url("/solid?c=" + std::string(colour)), "", "");
        const auto file = kivo::ThumbnailFile(kivo::WorkPath(), tab->TabHandle());
        loaded = kivo::test::PumpUntil(
            [&] { return tab->Hint().rfind("solid", 0) == 0 && std::filesystem::exists(file); },
            60s);
    }
    if (!loaded || window->TabCount() != kTabs) {
        std::fprintf(stderr, "the nine pages did not load\n");
        return 1;
    }
    kivo::test::PumpFor(1s);

    std::vector<double> grid_ms, warm_grid_ms, frame_ms, files_ms, whole_files_ms, nine_ms, one_ms,
        nine_cpu_ms, one_cpu_ms, pause_ms;
    // Back to the tabs, as a click on a cell and "关闭" on the strip take a user, so that every
    // showing of the grid starts from hidden. The strip asks its tabs' workers for fresh
    // pictures as it shows.
    auto back_to_the_tabs = [&] {
        window->ThumbnailGrid().img1Click(0);
        kivo::test::PumpFor(1s);
        window->ThumbnailStrip().RzURLLabel2Click();
        kivo::test::PumpFor(1s);
    };
    for (int round = 0; round < rounds; ++round) {
        // Fresh pictures asked straight of the workers: every file is new to the grid's cells.
        double cpu = 0;
        one_ms.push_back(FreshPictures(*window, 1, cpu));
        one_cpu_ms.push_back(cpu);
        nine_ms.push_back(FreshPictures(*window, kTabs, cpu));
        nine_cpu_ms.push_back(cpu);
        {
            LoopPauses pauses;
            // Every file to be read.
            grid_ms.push_back(
                UntilGridDrawn(*window, [&] { window->ThumbnailGrid().spSC9Click(); }));
            // Let the fresh pictures the grid asked for come in before the next measure.
            kivo::test::PumpFor(3s);
            // What one frame of the window costs here: the grid drawn again as it stands.
            frame_ms.push_back(UntilGridDrawn(*window, [&] { window->queue_draw(); }));
            back_to_the_tabs();
            // The cells took the strip's fresh pictures while hidden: nothing left to read.
            warm_grid_ms.push_back(
                UntilGridDrawn(*window, [&] { window->ThumbnailGrid().spSC9Click(); }));
            kivo::test::PumpFor(3s);
            pause_ms.push_back(pauses.LongestMs());
        }
        back_to_the_tabs();
        const auto& cell = window->ThumbnailGrid().Cell(0);
        const int inner_w = cell.get_allocated_width() - 6,
                  inner_h = cell.get_allocated_height() - 6;
        // Read, cut and scaled to the cells' size as the cells read them, without the window;
        // and each read whole and cut, as the cells first read them, for comparison.
        files_ms.push_back(LoadFiles(*window, inner_w, inner_h, kivo::LoadThumbnailScaled));
        whole_files_ms.push_back(LoadFiles(*window, inner_w, inner_h, kivo::LoadThumbnailPicture));
        std::printf(
            "round %d: grid %.1f ms, with its pictures held %.1f ms (longest pause of the window "
            "%.0f ms), files %.1f ms (read whole %.1f ms), fresh pictures nine %.0f ms "
            "(processor %.0f ms), one %.0f ms (processor %.0f ms)\n",
            round + 1, grid_ms.back(), warm_grid_ms.back(), pause_ms.back(), files_ms.back(),
            whole_files_ms.back(), nine_ms.back(), nine_cpu_ms.back(), one_ms.back(),
            one_cpu_ms.back());
    }
    std::printf(
        "9-grid shown with nine pictures, every file new, median of %d: %.1f ms; the nine files "
        "alone %.1f ms: %.2fx\n",
        rounds, Median(grid_ms), Median(files_ms), Median(grid_ms) / Median(files_ms));
    std::printf(
        "9-grid shown with the pictures its cells took while hidden: %.1f ms: %.2fx the files\n",
        Median(warm_grid_ms), Median(warm_grid_ms) / Median(files_ms));
    std::printf("one frame of the window with the grid drawn again, median: %.1f ms\n",
                Median(frame_ms));
    std::printf(
        "the nine files read whole and cut, as the cells first read them: %.1f ms; the "
        "grid against those: %.2fx\n",
        Median(whole_files_ms), Median(grid_ms) / Median(whole_files_ms));
    std::printf(
        "longest pause of the window while the grid and its fresh pictures load, median: %.0f "
        "ms, worst round %.0f ms\n",
        Median(pause_ms), *std::max_element(pause_ms.begin(), pause_ms.end()));
    std::printf("fresh pictures of nine tabs, median: %.0f ms; one tab's %.0f ms: %.2fx\n",
                Median(nine_ms), Median(one_ms), Median(nine_ms) / Median(one_ms));
    // With fewer cores than tabs the nine pictures cannot take less than their processor time
    // spread over the cores: this is the floor the side-by-side drawing can reach here.
    const double cores = static_cast<double>(std::thread::hardware_concurrency());
    std::printf(
        "processor time: nine pictures %.0f ms, one %.0f ms; on %.0f cores the nine need at "
        "least %.0f ms: %.2fx one tab's time\n",
        Median(nine_cpu_ms), Median(one_cpu_ms), cores, Median(nine_cpu_ms) / cores,
        Median(nine_cpu_ms) / cores / Median(one_ms));
    window->actAppHaltExecute();
    window.reset();
    kivo::test::PumpFor(1000ms);
    std::filesystem::remove(exe);
    std::filesystem::remove_all(folder + "WebImage");
    return 0;
}
