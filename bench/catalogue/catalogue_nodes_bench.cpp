// Building the catalogue trees' node lists for 1000 games with 10 addresses each, next to the
// same statements alone in the same run, so the cost of the lists shows as a ratio.
#include <benchmark/benchmark.h>

#include "bench/data/catalogue_fixture.h"
#include "data/catalogue/catalogue_node.h"

namespace {

using namespace kivo::catalogue;

void BM_CatalogueStatementsAlone(benchmark::State& state) {
    kivo::bench::CatalogueFile catalogue;
    for (auto _ : state) benchmark::DoNotOptimize(catalogue.LoadStatements());
}
BENCHMARK(BM_CatalogueStatementsAlone)->Unit(benchmark::kMillisecond);

void BM_CatalogueNodeLists(benchmark::State& state) {
    kivo::bench::CatalogueFile catalogue;
    CatalogueList web, sns;
    for (auto _ : state) {
        LoadCatalogue(catalogue.Db(), web, sns);
        benchmark::DoNotOptimize(web.data());
    }
    state.counters["games"] = static_cast<double>(web.size() - 1);
}
BENCHMARK(BM_CatalogueNodeLists)->Unit(benchmark::kMillisecond);

}  // namespace
