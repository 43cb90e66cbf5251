// The catalogue load of 1000 games with 10 addresses each into the real trees, from the reload
// call to the trees drawn once, next to the statements alone in the same run; and the history
// load of 5000 openings across eight days into the real history tree.
#include <benchmark/benchmark.h>
#include <gtkmm.h>

#include <functional>
#include <vector>

#include "bench/data/catalogue_fixture.h"
#include "data/day_number.h"
#include "ui/catalogue/catalogue_tree.h"
#include "data/catalogue/history.h"
#include "ui/left/history_tree.h"
#include "ui/left/left_host.h"

namespace {

using namespace kivo::catalogue;

// Only the database is used by a reload.
class BenchHost : public kivo::TLeftPanelHost {
  public:
    explicit BenchHost(kivo::data::TDISQLite3Database& db) : db_(db) {}
    kivo::data::TDISQLite3Database* Database() override { return &db_; }
    void OpenGame(const std::string&, const std::string&, const std::string&) override {}
    void OpenGame(const kivo::catalogue::CatalogueNode&, const kivo::catalogue::CatalogueNode*,
                  const std::string&) override {}
    std::string ActivePageUrl() override { return ""; }
    std::string ActivePageTitle() override { return ""; }
    bool InputBox(const std::string&, const std::string&, std::string&, int, bool) override {
        return false;
    }
    bool Confirm(const std::string&, const std::string&) override { return false; }
    void ShowError(const std::string&, const std::string&) override {}
    void ShowInformation(const std::string&, const std::string&) override {}
    Gtk::Window& Owner() override { return window; }

    Gtk::Window window;

  private:
    kivo::data::TDISQLite3Database& db_;
};

void RunPending() {
    while (gtk_events_pending()) gtk_main_iteration_do(false);
}

// Shows `content` in the host's window, then times `reload` until the window has drawn `view`
// again (what the player waits for).
void TimeUntilDrawn(benchmark::State& state, BenchHost& host, Gtk::Widget& content,
                    Gtk::TreeView& view, const std::function<void()>& reload) {
    host.window.add(content);
    host.window.set_default_size(185, 700);
    host.window.show_all();
    RunPending();
    bool drawn = false;
    view.signal_draw().connect(
        [&](const Cairo::RefPtr<Cairo::Context>&) {
            drawn = true;
            return false;
        },
        true);
    for (auto _ : state) {
        drawn = false;
        reload();
        while (!drawn) gtk_main_iteration_do(true);
        state.PauseTiming();
        RunPending();  // what is let go after the drawing
        state.ResumeTiming();
    }
}

void BM_CatalogueStatementsAlone(benchmark::State& state) {
    kivo::bench::CatalogueFile catalogue;
    for (auto _ : state) benchmark::DoNotOptimize(catalogue.LoadStatements());
}
BENCHMARK(BM_CatalogueStatementsAlone)->Unit(benchmark::kMillisecond);

// The same with the address statement compiled once, as the trees' load runs it.
void BM_CatalogueStatementsCompiledOnce(benchmark::State& state) {
    kivo::bench::CatalogueFile catalogue;
    for (auto _ : state) benchmark::DoNotOptimize(catalogue.LoadStatements(true));
}
BENCHMARK(BM_CatalogueStatementsCompiledOnce)->Unit(benchmark::kMillisecond);

void BM_CatalogueTreesDrawn(benchmark::State& state) {
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("needs an X display");
        return;
    }
    Gtk::Main::init_gtkmm_internals();
    kivo::bench::CatalogueFile catalogue;
    BenchHost host(catalogue.Db());
    TContextNode context;
    TCatalogueTree web(host, kWebGameTree, context, [] {});
    TCatalogueTree sns(host, kSnsTree, context, [] {});
    Gtk::Box box(Gtk::ORIENTATION_VERTICAL);
    box.pack_start(web.Widget(), true, true);
    box.pack_start(sns.Widget(), true, true);
    TimeUntilDrawn(state, host, box, web.View(), [&] { actLoadWebGamePnl(web, sns); });
    state.counters["rows"] = static_cast<double>(web.TopLevel().size());
}
BENCHMARK(BM_CatalogueTreesDrawn)->Unit(benchmark::kMillisecond);

void BM_HistoryTreeDrawn(benchmark::State& state) {
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("needs an X display");
        return;
    }
    Gtk::Main::init_gtkmm_internals();
    kivo::bench::CatalogueFile catalogue;
    auto& db = catalogue.Db();
    // 5000 of the addresses opened, spread over today and the seven days before.
    std::vector<CatalogueNode> addresses;
    {
        auto urls = db.Prepare16("select ID, URLNAME from t_gameurllist limit 5000");
        while (urls.Step() == kivo::data::TDISQLite3Statement::kRow)
            addresses.push_back({urls.Column_Str(0), urls.Column_Str(1), "", "", "", kKindAddress});
    }
    const int today = kivo::data::TodayDayNumber();
    const CatalogueNode game{"{G}", "游戏", "", "1", "", kKindGame};
    db.StartTransaction();
    for (std::size_t i = 0; i < addresses.size(); ++i)
        AddHistory(db, addresses[i], &game, today - static_cast<int>(i % 8));
    db.Commit();

    BenchHost host(db);
    TContextNode context;
    TCatalogueTree web(host, kWebGameTree, context, [] {});
    kivo::THistoryTree history(host, context, web);
    TimeUntilDrawn(state, host, history.Widget(), history.View(),
                   [&] { history.actLoadHistoryExecute(); });
    std::size_t entries = 0;
    for (const auto& group : history.TopLevel()) entries += group.children().size();
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_HistoryTreeDrawn)->Unit(benchmark::kMillisecond);

}  // namespace
