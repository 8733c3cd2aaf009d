// How the local engine's cost grows with the size of what it is given. Each
// case runs at two sizes, side by side in one run: a time ratio near the
// size ratio is linear growth, near its square quadratic. Cases: a hierarchy chain walked to its
// end, the same kind of rows closed into a loop (walked under NOCYCLE), hierarchical queries nested
// in PRIOR, subqueries nested in FROM, parentheses, IN lists, UNION ALL branches, and columns
// qualified with the owner.
//
// Only Connection and translateToSqlite are used, so that the same file
// builds against older versions of the engine for before/after comparisons.
//
// Run: bench_scaling --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "LocalEngine.h"

namespace {

constexpr int kChainRows = 30000;

// Table `name` (id, parent) with rows 1..rows, each the child of the one
// before; made by joining a table of digits, so that building it does not
// depend on the engine's hierarchies.
void createChain(localengine::Connection& c, const std::string& name, int rows) {
    c.execute("create table " + name + " (id number, parent number)");
    c.execute("insert into " + name +
              " select n, n - 1 from (select a.d + 10 * b.d + 100 * c.d + 1000 * e.d + "
              "10000 * f.d + 1 n from BENCH_DIGITS a, BENCH_DIGITS b, BENCH_DIGITS c, "
              "BENCH_DIGITS e, BENCH_DIGITS f) where n <= " +
              std::to_string(rows));
}

localengine::Connection& engine() {
    static std::unique_ptr<localengine::Connection> connection = [] {
        auto c = localengine::Connection::open("", "SCOTT");
        c->execute("create table BENCH_DIGITS (d number)");
        for (int d = 0; d < 10; ++d)
            c->execute("insert into BENCH_DIGITS values (" + std::to_string(d) + ")");
        createChain(*c, "BENCH_CHAIN", kChainRows);
        // Loops: the last `n` rows of a chain, the first of them made the
        // child of the last.
        for (int n : {3000, 30000}) {
            const std::string name = "BENCH_LOOP_" + std::to_string(n);
            createChain(*c, name, kChainRows);
            c->execute("update " + name + " set parent = " + std::to_string(kChainRows) +
                       " where id = " + std::to_string(kChainRows - n + 1));
        }
        c->execute("create table BENCH_SMALL (id number)");
        c->execute("insert into BENCH_SMALL select d + 1 from BENCH_DIGITS");
        return c;
    }();
    return *connection;
}

std::string repeated(const std::string& piece, long times) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(times));
    for (long i = 0; i < times; ++i)
        out += piece;
    return out;
}

// Depth of the chain walked: from row (kChainRows - depth + 1) to the end.
void BM_HierarchyChain(benchmark::State& state) {
    localengine::Connection& db = engine();
    const std::string sql = "select count(*) from (select id from BENCH_CHAIN start with id = " +
                            std::to_string(kChainRows - state.range(0) + 1) +
                            " connect by prior id = parent)";
    for (auto _ : state)
        benchmark::DoNotOptimize(db.query(sql));
}
BENCHMARK(BM_HierarchyChain)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

// A loop of `range` rows, walked until it closes (NOCYCLE: to the end).
void BM_HierarchyLoop(benchmark::State& state) {
    localengine::Connection& db = engine();
    const std::string sql = "select count(*) from (select id from BENCH_LOOP_" +
                            std::to_string(state.range(0)) +
                            " start with id = " + std::to_string(kChainRows - state.range(0) + 1) +
                            " connect by nocycle prior id = parent)";
    for (auto _ : state)
        benchmark::DoNotOptimize(db.query(sql));
}
BENCHMARK(BM_HierarchyLoop)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

// Translation alone (no schema) from here on, so that SQLite's own limits
// do not decide what is measured.

// Hierarchical queries each nested in the PRIOR operand of the next.
void BM_NestedPrior(benchmark::State& state) {
    std::string q = "SELECT 0 FROM dual";
    for (long k = 0; k < state.range(0); ++k)
        q = "SELECT COUNT(*) FROM (SELECT id FROM HOSTILE_T START WITH id = 1 CONNECT BY "
            "PRIOR (id + 1 + (" +
            q + ") * 0) = id)";
    for (auto _ : state)
        benchmark::DoNotOptimize(localengine::translateToSqlite(q));
}
BENCHMARK(BM_NestedPrior)->Arg(2)->Arg(6)->Unit(benchmark::kMicrosecond);

void BM_NestedSubqueries(benchmark::State& state) {
    const std::string sql = repeated("SELECT * FROM (", state.range(0)) + "SELECT 1 FROM dual" +
                            repeated(")", state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(localengine::translateToSqlite(sql));
}
BENCHMARK(BM_NestedSubqueries)->Arg(30)->Arg(90)->Unit(benchmark::kMicrosecond);

void BM_NestedParentheses(benchmark::State& state) {
    const std::string sql = "SELECT " + repeated("(", state.range(0)) + "1" +
                            repeated(")", state.range(0)) + " FROM dual";
    for (auto _ : state)
        benchmark::DoNotOptimize(localengine::translateToSqlite(sql));
}
BENCHMARK(BM_NestedParentheses)->Arg(30)->Arg(150)->Unit(benchmark::kMicrosecond);

void BM_InList(benchmark::State& state) {
    std::string sql = "SELECT COUNT(*) FROM t WHERE id IN (";
    for (long i = 0; i < state.range(0); ++i)
        sql += std::to_string(i) + ", ";
    sql += "-1)";
    for (auto _ : state)
        benchmark::DoNotOptimize(localengine::translateToSqlite(sql));
}
BENCHMARK(BM_InList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_UnionBranches(benchmark::State& state) {
    const std::string sql =
        "SELECT 0 FROM dual" + repeated(" UNION ALL SELECT 1 FROM dual", state.range(0) - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(localengine::translateToSqlite(sql));
}
BENCHMARK(BM_UnionBranches)->Arg(50)->Arg(500)->Unit(benchmark::kMicrosecond);

// Owner-qualified columns, through a connection (which drops the owner),
// on a table of ten rows.
void BM_OwnerPrefixes(benchmark::State& state) {
    localengine::Connection& db = engine();
    const std::string sql =
        "select count(*) from scott.BENCH_SMALL where scott.BENCH_SMALL.id in (" +
        repeated("scott.BENCH_SMALL.id, ", state.range(0)) + "0) -- ";
    long run = 0;
    for (auto _ : state) {
        // A new text each time: the connection keeps the translation of a
        // text it has seen.
        benchmark::DoNotOptimize(db.query(sql + std::to_string(++run)));
    }
}
BENCHMARK(BM_OwnerPrefixes)->Arg(8000)->Arg(24000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
