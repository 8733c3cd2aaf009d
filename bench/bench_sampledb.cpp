// Building the built-in sample database: time per build, and the memory it
// takes (SQLite's own high-water mark and the growth of the process).

#include "SampleDatabase.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <sys/resource.h>

namespace {

long maxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void BM_BuildSampleDatabase(benchmark::State& state) {
    const long rssBefore = maxRssKb();
    sqlite3_int64 highWater = 0;
    for (auto _ : state) {
        sqlite3_memory_highwater(1);  // reset the mark to what is in use now
        const sqlite3_int64 base = sqlite3_memory_used();
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        localengine::buildSampleDatabase(db);
        highWater = std::max(highWater, sqlite3_memory_highwater(0) - base);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.counters["sqlite_peak_MB"] = static_cast<double>(highWater) / (1024.0 * 1024.0);
    state.counters["rss_growth_MB"] = static_cast<double>(maxRssKb() - rssBefore) / 1024.0;
}
BENCHMARK(BM_BuildSampleDatabase)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
