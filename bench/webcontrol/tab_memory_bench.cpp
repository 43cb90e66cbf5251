// The proportional memory (PSS) of the program with 1, 5 and 10 free tabs on a simple local page
// and the cost of each further tab, against bare web view programs with the engine's default
// settings (one program per view) in the same run; then the frame rate of a canvas animation in
// a tab against the same page in a bare web view.
//
//   kivo_tab_memory_bench [rounds]     (default 1; medians are reported)
//
// The program's views take the settings it chooses for this machine; KIVO_GL=hardware or
// KIVO_GL=software in the environment decides for them instead.
#include <fcntl.h>
#include <gtkmm.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/identity.h"
#include "platform/process.h"
#include "platform/unique_fd.h"
#include "platform/user_settings.h"
#include "tests/support/test_support.h"
#include "tests/support/test_web_server.h"
#include "tests/support/toolkit.h"
#include "ui/frm_mult_open_app.h"
#include "webcontrol/registration.h"

namespace {

using namespace std::chrono_literals;

constexpr std::array<int, 3> kTabCounts{1, 5, 10};
// Time for the engine's processes to finish what a page load started before memory is read.
constexpr auto kSettle = 3s;
constexpr const char* kSimplePage = "/title?t=bench";
constexpr const char* kCanvasPage = "/canvas?ms=4000&shapes=600";

using Figures = std::array<double, kTabCounts.size()>;  // megabytes per tab count

long PssKb(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line)) {
        if (line.rfind("Pss:", 0) == 0)
            return std::stol(line.substr(4));
    }
    return 0;
}

long TreePssKb(pid_t root) {
    long total = PssKb(root);
    for (pid_t child : kivo::test::ChildrenOf(root)) total += TreePssKb(child);
    return total;
}

long DescendantsPssKb() {
    long total = 0;
    for (pid_t child : kivo::test::ChildrenOf(getpid())) total += TreePssKb(child);
    return total;
}

void WaitForNoChildren() {
    kivo::test::PumpUntil([] { return kivo::test::ChildrenOf(getpid()).empty(); }, 20s);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Frames a second the canvas page reported in its last request to the server.
std::optional<double> CanvasRate(const kivo::test::TestWebServer& server) {
    const auto done = server.RequestsTo("/canvas-done");
    if (done.empty())
        return std::nullopt;
    int frames = 0, ms = 0;
    if (std::sscanf(done.back().query.c_str(), "frames=%d&ms=%d", &frames, &ms) != 2 || ms <= 0)
        return std::nullopt;
    return frames * 1000.0 / ms;
}

// The main window of the program, in this process, with its workers as child processes.
class Program {
  public:
    Program()
        : own_before_kb_(PssKb(getpid())), window_(std::make_unique<kivo::TFrmMultOpenApp>()) {
        window_->show();
        kivo::test::PumpUntil([&] { return window_->Handle() != 0; }, 5s);
    }
    ~Program() {
        window_->actAppHaltExecute();
        window_.reset();
        WaitForNoChildren();
    }

    // Opens free tabs on `url` until there are `count`, each to its page titled `title`.
    void OpenTabs(int count, const std::string& url, const std::string& title) {
        while (window_->TabCount() < count) window_->OpenGame(url, "", "");
        const bool loaded = kivo::test::PumpUntil(
            [&] {
                for (int i = 0; i < window_->TabCount(); ++i) {
                    if (window_->Tab(i)->Hint() != title)
                        return false;
                }
                return true;
            },
            180s);
        if (!loaded)
            throw std::runtime_error("the tabs did not load their page");
    }

    // What the window added to this process, and its workers with all their processes.
    double MemoryMb() const {
        return (PssKb(getpid()) - own_before_kb_ + DescendantsPssKb()) / 1024.0;
    }

  private:
    long own_before_kb_;
    std::unique_ptr<kivo::TFrmMultOpenApp> window_;
};

// Bare web view programs, each in its own process and data folder.
class BareViews {
  public:
    explicit BareViews(std::string folder) : folder_(std::move(folder)) {}
    ~BareViews() {
        inputs_.clear();  // a closed input ends a bare view
        for (auto& child : children_) child.Wait();
        WaitForNoChildren();
    }

    void Open(int count, const std::string& url) {
        while (static_cast<int>(children_.size()) < count) Start(url);
    }

    double MemoryMb() const {
        long total = 0;
        for (const auto& child : children_) total += TreePssKb(child.Pid());
        return total / 1024.0;
    }

  private:
    void Start(const std::string& url) {
        int to_child[2], from_child[2];
        if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        inputs_.emplace_back(to_child[1]);
        kivo::UniqueFd output(from_child[0]);
        children_.push_back(kivo::ChildProcess::Start(
            KIVO_BARE_WEBVIEW, {"bare", url, folder_ + std::to_string(children_.size())},
            {{to_child[0], 0}, {from_child[1], 1}}));
        close(to_child[0]);
        close(from_child[1]);
        pollfd ready{output.Get(), POLLIN, 0};
        char line[16];
        if (poll(&ready, 1, 120000) <= 0 || read(output.Get(), line, sizeof line) <= 0)
            throw std::runtime_error("a bare view did not load its page");
    }

    std::string folder_;
    std::vector<kivo::ChildProcess> children_;
    std::vector<kivo::UniqueFd> inputs_;
};

Figures OurTabs(const std::string& url) {
    Program program;
    Figures figures{};
    for (std::size_t i = 0; i < kTabCounts.size(); ++i) {
        program.OpenTabs(kTabCounts[i], url, "bench");
        kivo::test::PumpFor(kSettle);
        figures[i] = program.MemoryMb();
    }
    return figures;
}

Figures BareTabs(const std::string& url, const std::string& folder) {
    BareViews views(folder);
    Figures figures{};
    for (std::size_t i = 0; i < kTabCounts.size(); ++i) {
        views.Open(kTabCounts[i], url);
        kivo::test::PumpFor(kSettle);
        figures[i] = views.MemoryMb();
    }
    return figures;
}

double OurCanvas(kivo::test::TestWebServer& server) {
    server.ClearRequests();
    Program program;
    program.OpenTabs(1, server.Url(kCanvasPage), "canvas");
    kivo::test::PumpUntil([&] { return CanvasRate(server).has_value(); }, 120s);
    const auto rate = CanvasRate(server);
    if (!rate)
        throw std::runtime_error("the canvas page in a tab did not report");
    return *rate;
}

double BareCanvas(kivo::test::TestWebServer& server, const std::string& folder) {
    server.ClearRequests();
    BareViews view(folder);
    view.Open(1, server.Url(kCanvasPage));
    kivo::test::PumpUntil([&] { return CanvasRate(server).has_value(); }, 120s);
    const auto rate = CanvasRate(server);
    if (!rate)
        throw std::runtime_error("the canvas page in a bare view did not report");
    return *rate;
}

double PerFurtherTab(const Figures& figures) {
    return (figures.back() - figures.front()) / (kTabCounts.back() - kTabCounts.front());
}

}  // namespace

int main(int argc, char** argv) try {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    kivo::test::TempHome home;
    if (!kivo::test::ToolkitReady()) {
        std::fprintf(stderr, "needs an X display\n");
        return 1;
    }
    gdk_set_program_class(kivo::kMainWindowClass);
    kivo::test::TestWebServer server;
    const std::string exe =
        kivo::test::CopyProgram(KIVO_EXECUTABLE, home.Path(), "kivo-memory-bench");
    kivo::UserSettings settings;
    gameKivo_TLB::RegisterServer(settings, exe);

    std::array<std::vector<double>, kTabCounts.size()> ours, bare;
    std::vector<double> ours_per_tab, bare_per_tab, ours_fps, bare_fps;
    for (int round = 0; round < rounds; ++round) {
        const std::string prefix = home.Path() + "/bare" + std::to_string(round) + "-";
        const Figures our_figures = OurTabs(server.Url(kSimplePage));
        const Figures bare_figures = BareTabs(server.Url(kSimplePage), prefix);
        for (std::size_t i = 0; i < kTabCounts.size(); ++i) {
            ours[i].push_back(our_figures[i]);
            bare[i].push_back(bare_figures[i]);
            std::printf("round %d, %2d tabs: %7.1f MB (bare views %7.1f MB)\n", round + 1,
                        kTabCounts[i], our_figures[i], bare_figures[i]);
        }
        ours_per_tab.push_back(PerFurtherTab(our_figures));
        bare_per_tab.push_back(PerFurtherTab(bare_figures));
        ours_fps.push_back(OurCanvas(server));
        bare_fps.push_back(BareCanvas(server, prefix + "canvas"));
        std::printf("round %d, canvas: %.1f frames/s (bare view %.1f frames/s)\n", round + 1,
                    ours_fps.back(), bare_fps.back());
        std::fflush(stdout);
    }
    std::printf("\nproportional memory (PSS) of all processes, median of %d round(s):\n", rounds);
    for (std::size_t i = 0; i < kTabCounts.size(); ++i)
        std::printf(
            "  %2d tabs: %7.1f MB   bare web views with default settings: %7.1f MB   %.2fx\n",
            kTabCounts[i], Median(ours[i]), Median(bare[i]), Median(ours[i]) / Median(bare[i]));
    std::printf("each further tab (%d to %d): %.1f MB   bare web view: %.1f MB   %.2fx\n",
                kTabCounts.front(), kTabCounts.back(), Median(ours_per_tab), Median(bare_per_tab),
                Median(ours_per_tab) / Median(bare_per_tab));
    std::printf(
        "canvas animation: %.1f frames/s   bare web view with default settings: %.1f frames/s   "
        "%.2fx\n",
        Median(ours_fps), Median(bare_fps), Median(ours_fps) / Median(bare_fps));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "kivo_tab_memory_bench: %s\n", e.what());
    return 1;
}
