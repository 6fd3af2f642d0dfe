// The walk of the datastore's answer into records, through the real stand-in.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/micro/BenchQuery.h"
#include "datastore/ObjectAccess.h"
#include "objectlib/store/Writer.h"
#include "platform/UniqueVariant.h"

namespace micro {
namespace {

constexpr char kUser[] = "S-1-22-1-0";

// A datastore of `visits` visits of one user over the last days, and the
// manager and query maps that ask for them.
class Answer {
  public:
    explicit Answer(std::int64_t visits) {
        const std::string path = (folder_.Path() / "datastore.db").string();
        std::string error;
        auto writer = kelo::DatastoreWriter::Open(path, kelo::OpenMode::kCreateNew, error);
        const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        const std::int32_t categories[] = {37, 11, 1000};
        bool ok = writer && writer->Begin(error);
        for (std::int64_t i = 0; ok && i < visits; ++i) {
            const std::string url =
                "https://www.example.org/articles/item-" + std::to_string(i) + ".html?ref=feed";
            ok = writer->Add(kUser, url, now - (visits - i) * 20'000, i % 4 != 0,
                             std::span(categories).first(static_cast<std::size_t>(i % 3 + 1)),
                             error);
        }
        ok = ok && writer->Commit(error);
        writer.reset();
        setenv("KELO_DATASTORE", path.c_str(), 1);
        ok = ok && CreateManager(manager_) == 0;
        if (!ok) {
            std::abort();
        }
        builder_.BuildDateTimeFilters(*manager_.Get(), filter_);
        builder_.BuildQuery(*manager_.Get(), u"S-1-22-1-0", filter_, query_);
    }

    NSVumoUtil::IHLPKELOManager& Manager() { return *manager_.Get(); }
    const VariantMapHolder& Query() const { return query_; }

    // The result map of one execution of the query.
    VariantMapHolder Execute() {
        OwningHolder<IDatastore> datastore;
        VariantMapHolder map;
        platform::UniqueVariant result;
        const platform::UniqueVariant argument = platform::UniqueVariant::Dispatch(query_.Get());
        if (FAILED(CreateAs(*manager_.Get(), kClassDatastore, datastore)) ||
            FAILED(datastore->Execute(argument.Get(), result.Out())) ||
            FAILED(DispatchAs(result.Get(), map))) {
            std::abort();
        }
        return map;
    }

  private:
    TempFolder folder_;
    BenchQuery builder_;
    ManagerHolder manager_;
    VariantMapHolder filter_;
    VariantMapHolder query_;
};

// CollectResults over an answer already read: per visit, the item, its four
// values, date text, category names and the record.
void BM_WalkOneVisit(benchmark::State& state) {
    Answer answer(state.range(0));
    VariantMapHolder result = answer.Execute();
    for (auto _ : state) {
        state.PauseTiming();
        auto program = std::make_unique<BenchQuery>();
        state.ResumeTiming();
        program->CollectResults(*result.Get());
        benchmark::DoNotOptimize(program->records.size());
        state.PauseTiming();
        program.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WalkOneVisit)->Arg(10'000)->Unit(benchmark::kMillisecond);

// ExecuteQuery as the run calls it: the datastore's read of the visits and
// the walk.
void BM_QueryAndWalk(benchmark::State& state) {
    Answer answer(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto program = std::make_unique<BenchQuery>();
        state.ResumeTiming();
        if (program->ExecuteQuery(answer.Manager(), answer.Query()) != 0) {
            state.SkipWithError("query failed");
        }
        state.PauseTiming();
        program.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_QueryAndWalk)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace micro
