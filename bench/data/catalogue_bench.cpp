// The catalogue load: the game list of a category, and for each game its address list, over
// 1000 games with 10 addresses each, reading every column of every row.
#include <benchmark/benchmark.h>

#include "bench/data/catalogue_fixture.h"

namespace {

void BM_CatalogueLoad1000Games10Urls(benchmark::State& state) {
    kivo::bench::CatalogueFile catalogue;
    for (auto _ : state) benchmark::DoNotOptimize(catalogue.LoadStatements());
}
BENCHMARK(BM_CatalogueLoad1000Games10Urls)->Unit(benchmark::kMillisecond);

}  // namespace
