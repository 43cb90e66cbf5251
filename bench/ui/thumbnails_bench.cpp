// The tab thumbnails with nine tabs in the main window: the time from "9格显示" to the nine
// pictures drawn, against reading and cutting the nine picture files alone in the same run; and
// the fresh pictures of nine tabs drawn by their workers side by side, against one tab's.
#include <gtkmm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/identity.h"
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

// "9格显示" to the frame that draws the last cell with all nine pictures in place.
double ShowGrid(kivo::TFrmMultOpenApp& window) {
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
    grid.spSC9Click();
    kivo::test::PumpUntil([&] { return drawn; }, 20s);
    const double ms = Ms(start);
    watch.disconnect();
    return drawn ? ms : -1;
}

// The nine files read and cut to the cells' shape, nothing drawn.
double LoadFiles(kivo::TFrmMultOpenApp& window, int width, int height) {
    const auto start = Clock::now();
    for (int i = 0; i < kTabs; ++i) {
        const auto picture = kivo::LoadThumbnailPicture(
            kivo::ThumbnailFile(kivo::WorkPath(), window.Tab(i)->TabHandle()), width, height);
        if (picture.Empty())
            return -1;
    }
    return Ms(start);
}

// Fresh pictures of the first `count` tabs asked of their workers all at once, until the last
// has been written.
double FreshPictures(kivo::TFrmMultOpenApp& window, int count) {
    int done = 0, written = 0;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        kivo::N_TRzTabSheet* tab = window.Tab(i);
        tab->WebControl().SaveWebToPicSmallAsync(tab->TabHandle(), 30s, [&](bool ok) {
            ++done;
            written += ok ? 1 : 0;
        });
    }
    kivo::test::PumpUntil([&] { return done == count; }, 60s);
    const double ms = Ms(start);
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

    std::vector<double> grid_ms, files_ms, nine_ms, one_ms;
    for (int round = 0; round < rounds; ++round) {
        grid_ms.push_back(ShowGrid(*window));
        // Let the fresh pictures the grid asked for come in before the next measure.
        kivo::test::PumpFor(3s);
        const auto& cell = window->ThumbnailGrid().Cell(0);
        files_ms.push_back(
            LoadFiles(*window, cell.get_allocated_width() - 6, cell.get_allocated_height() - 6));
        one_ms.push_back(FreshPictures(*window, 1));
        nine_ms.push_back(FreshPictures(*window, kTabs));
        std::printf(
            "round %d: grid %.1f ms, files %.1f ms, fresh pictures nine %.0f ms, one %.0f ms\n",
            round + 1, grid_ms.back(), files_ms.back(), nine_ms.back(), one_ms.back());
    }
    std::printf(
        "9-grid shown with nine pictures, median of %d: %.1f ms; the nine files alone %.1f ms: "
        "%.2fx\n",
        rounds, Median(grid_ms), Median(files_ms), Median(grid_ms) / Median(files_ms));
    std::printf("fresh pictures of nine tabs, median: %.0f ms; one tab's %.0f ms: %.2fx\n",
                Median(nine_ms), Median(one_ms), Median(nine_ms) / Median(one_ms));
    window->actAppHaltExecute();
    window.reset();
    kivo::test::PumpFor(1000ms);
    std::filesystem::remove(exe);
    std::filesystem::remove_all(folder + "WebImage");
    return 0;
}
