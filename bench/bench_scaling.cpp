// How the local engine's cost grows with the size of what it is given, each
// case at two sizes ten (or five) times apart, side by side in one run: a
// ratio near the size ratio is linear growth; the square would be a hundred
// (twenty-five). Cases: a hierarchy chain walked to its end, the same rows
// closed into a loop (found at the end), subqueries nested in FROM, and
// columns qualified with the owner.
//
// Run: bench_scaling --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "LocalEngine.h"

namespace {

localengine::Connection& engine() {
    static std::unique_ptr<localengine::Connection> connection = [] {
        auto c = localengine::Connection::open("", "SCOTT");
        for (const char* table : {"BENCH_CHAIN", "BENCH_LOOP_10000", "BENCH_LOOP_100000"}) {
            c->execute(std::string("create table ") + table + " (id number, parent number)");
            c->execute(std::string("insert into ") + table +
                       " select level, level - 1 from dual connect by level <= 100000");
        }
        // Loops of 10,000 and 100,000 rows: 90001..100000 and 1..100000.
        c->execute("update BENCH_LOOP_10000 set parent = 100000 where id = 90001");
        c->execute("update BENCH_LOOP_100000 set parent = 100000 where id = 1");
        c->execute("create table BENCH_SMALL (id number)");
        c->execute("insert into BENCH_SMALL select level from dual connect by level <= 10");
        return c;
    }();
    return *connection;
}

// Depth of the chain walked: from row (100000 - depth + 1) to the end.
void BM_HierarchyChain(benchmark::State& state) {
    localengine::Connection& db = engine();
    const std::string sql = "select count(*) from (select id from BENCH_CHAIN start with id = " +
                            std::to_string(100000 - state.range(0) + 1) +
                            " connect by prior id = parent)";
    for (auto _ : state)
        benchmark::DoNotOptimize(db.query(sql));
}
BENCHMARK(BM_HierarchyChain)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A loop of `range` rows, walked until it closes (NOCYCLE: to the end).
void BM_HierarchyLoop(benchmark::State& state) {
    localengine::Connection& db = engine();
    const std::string sql = "select count(*) from (select id from BENCH_LOOP_" +
                            std::to_string(state.range(0)) +
                            " start with id = " + std::to_string(100000 - state.range(0) + 1) +
                            " connect by nocycle prior id = parent)";
    for (auto _ : state)
        benchmark::DoNotOptimize(db.query(sql));
}
BENCHMARK(BM_HierarchyLoop)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Translation alone (no schema), so that SQLite's parser limits do not stop
// the deeper statement.
void BM_NestedSubqueries(benchmark::State& state) {
    std::string sql;
    for (int i = 0; i < state.range(0); ++i)
        sql += "SELECT * FROM (";
    sql += "SELECT 1 FROM dual";
    sql += std::string(static_cast<std::size_t>(state.range(0)), ')');
    for (auto _ : state)
        benchmark::DoNotOptimize(localengine::translateToSqlite(sql));
}
BENCHMARK(BM_NestedSubqueries)->Arg(50)->Arg(250)->Unit(benchmark::kMicrosecond);

// Owner-qualified columns, through a connection (which strips the owner),
// on a table of ten rows.
void BM_OwnerPrefixes(benchmark::State& state) {
    localengine::Connection& db = engine();
    std::string sql = "select count(*) from scott.BENCH_SMALL where scott.BENCH_SMALL.id in (";
    for (int i = 0; i < state.range(0); ++i)
        sql += "scott.BENCH_SMALL.id, ";
    sql += "0) -- ";
    long run = 0;
    for (auto _ : state) {
        // A new text each time: the connection keeps the translation of a
        // text it has seen.
        benchmark::DoNotOptimize(db.query(sql + std::to_string(++run)));
    }
}
BENCHMARK(BM_OwnerPrefixes)->Arg(8000)->Arg(80000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
