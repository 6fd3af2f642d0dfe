// CategoryName: a category number to its name, numbers without a name
// included.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/micro/BenchQuery.h"

namespace micro {
namespace {

void BM_CategoryLookup(benchmark::State& state) {
    BenchQuery program;
    // Common numbers of a log, two without a name (8 and 25) among them.
    constexpr std::int32_t kNumbers[] = {37, 11, 1000, 27, 38, 0, 8, 39, 42, 1001, 25, 49, 71, 5};
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(program.CategoryName(kNumbers[next]).data());
        next = next + 1 == std::size(kNumbers) ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CategoryLookup);

}  // namespace
}  // namespace micro
