// WriteReport: every record as one UTF-16LE row.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench/micro/BenchQuery.h"

namespace micro {
namespace {

void BM_WriteRow(benchmark::State& state) {
    const TempFolder folder;
    BenchQuery program;
    const RecordSample sample(static_cast<std::size_t>(state.range(0)));
    program.records.assign(sample.records.begin(), sample.records.end());
    program.outputPath = (folder.Path() / "report.csv").u16string();
    for (auto _ : state) {
        if (!program.WriteReport()) {
            state.SkipWithError("report not written");
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations()) *
        static_cast<std::int64_t>(std::filesystem::file_size(folder.Path() / "report.csv")));
}
BENCHMARK(BM_WriteRow)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace micro
