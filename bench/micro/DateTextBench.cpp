// FormatDateTime: local time and the English short date and time.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/micro/BenchQuery.h"

namespace micro {
namespace {

// Visit times spread over a year, a few hours apart, as a log holds them.
std::vector<SYSTEMTIME> YearOfTimes() {
    std::vector<SYSTEMTIME> times;
    for (WORD day = 0; day < 365; ++day) {
        for (WORD hour = 0; hour < 24; hour += 5) {
            const WORD month = static_cast<WORD>(day / 31 % 12 + 1);
            times.push_back(SYSTEMTIME{2026, month, 0, static_cast<WORD>(day % 28 + 1), hour,
                                       static_cast<WORD>(day % 60),
                                       static_cast<WORD>(hour * 7 % 60), 0});
        }
    }
    return times;
}

void BM_DateText(benchmark::State& state) {
    const BenchQuery program;
    const std::vector<SYSTEMTIME> times = YearOfTimes();
    std::u16string text;
    std::size_t next = 0;
    for (auto _ : state) {
        text.clear();
        program.FormatDateTime(times[next], text);
        benchmark::DoNotOptimize(text.data());
        next = next + 1 == times.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DateText);

}  // namespace
}  // namespace micro
