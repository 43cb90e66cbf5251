// The catalogue load of 1000 games with 10 addresses each into the real trees, from the reload
// call to the trees drawn once, next to the statements alone in the same run.
#include <benchmark/benchmark.h>
#include <gtkmm.h>

#include "bench/data/catalogue_fixture.h"
#include "ui/catalogue/catalogue_tree.h"
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
    host.window.add(box);
    host.window.set_default_size(185, 700);
    host.window.show_all();
    RunPending();
    // Until the window has drawn the reloaded tree (what the player waits for).
    bool drawn = false;
    web.View().signal_draw().connect(
        [&](const Cairo::RefPtr<Cairo::Context>&) {
            drawn = true;
            return false;
        },
        true);
    for (auto _ : state) {
        drawn = false;
        actLoadWebGamePnl(web, sns);
        while (!drawn) gtk_main_iteration_do(true);
        state.PauseTiming();
        RunPending();  // what is let go after the drawing
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(web.TopLevel().size());
}
BENCHMARK(BM_CatalogueTreesDrawn)->Unit(benchmark::kMillisecond);

}  // namespace
