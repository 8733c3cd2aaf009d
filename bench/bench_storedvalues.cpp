// Writing rows into typed columns: a bulk INSERT ... SELECT of 100,000 rows
// (kCases) and 200 single-row INSERT ... VALUES, into columns whose
// declared types make the engine round, check and pad each value
// (NUMBER(p,s), VARCHAR2(n), CHAR(n)) beside the same data's unconstrained
// types (NUMBER, CLOB), which are written as they come. Their ratio is what
// storing as Oracle stores costs.

#include "LocalEngine.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int kRows = 100000;

const char* const kTypedColumns =
    "(id NUMBER(10), amount NUMBER(10,2), name VARCHAR2(40), code CHAR(8), day DATE)";
const char* const kPlainColumns = "(id NUMBER, amount NUMBER, name CLOB, code CLOB, day DATE)";

// A file with the source rows and the targets, made once per run.
localengine::Connection& database() {
    static std::unique_ptr<localengine::Connection> db = [] {
        const std::string path = "/tmp/quorvel-bench-storedvalues.db";
        std::remove(path.c_str());
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (f)
            std::fclose(f);
        auto c = localengine::Connection::open(path, "bench");
        c->execute(
            "CREATE TABLE src (id NUMBER, amount NUMBER, name VARCHAR2(40), code "
            "VARCHAR2(8), day DATE)");
        c->execute(
            "INSERT INTO src SELECT LEVEL, LEVEL * 1.2345, 'customer ' || LEVEL, "
            "'C' || MOD(LEVEL, 1000), DATE '2024-01-01' + MOD(LEVEL, 365) FROM dual "
            "CONNECT BY LEVEL <= " +
            std::to_string(kRows));
        c->execute(std::string("CREATE TABLE typed_src ") + kTypedColumns);
        c->execute("INSERT INTO typed_src SELECT * FROM src");
        c->execute(std::string("CREATE TABLE typed ") + kTypedColumns);
        c->execute(std::string("CREATE TABLE plain ") + kPlainColumns);
        return c;
    }();
    return *db;
}

// The statements measured, side by side:
struct Case {
    const char* label;
    const char* table;
    const char* select;
};
const Case kCases[] = {
    // rows of the same types: SQLite copies them as they are, as before
    {"copy of same types", "typed", "SELECT * FROM typed_src"},
    // SQLite's ordinary insert (a WHERE rules out its copy): without storing ...
    {"plain columns", "plain", "SELECT * FROM src WHERE id > 0"},
    // ... and with it: the cost of rounding, checking and padding
    {"typed columns", "typed", "SELECT * FROM src WHERE id > 0"},
    // before, SQLite copied these rows as they are (no WHERE); now they are stored
    {"plain, whole table", "plain", "SELECT * FROM src"},
    {"typed, whole table", "typed", "SELECT * FROM src"},
};

void BM_InsertSelect(benchmark::State& state) {
    localengine::Connection& db = database();
    const Case& c = kCases[state.range(0)];
    const std::string insert = std::string("INSERT INTO ") + c.table + " " + c.select;
    for (auto _ : state) {
        state.PauseTiming();
        db.execute(std::string("DELETE FROM ") + c.table);
        state.ResumeTiming();
        benchmark::DoNotOptimize(db.execute(insert));
    }
    state.SetLabel(c.label);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_InsertSelect)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_InsertValues(benchmark::State& state) {
    localengine::Connection& db = database();
    const std::string table = state.range(0) ? "typed" : "plain";
    for (auto _ : state) {
        state.PauseTiming();
        db.execute("DELETE FROM " + table);
        state.ResumeTiming();
        for (int i = 0; i < 200; ++i)
            db.execute("INSERT INTO " + table + " VALUES (" + std::to_string(i) + ", " +
                       std::to_string(i) + ".125, 'customer', 'C1', DATE '2024-01-01')");
    }
    state.SetLabel(table);
}
BENCHMARK(BM_InsertValues)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
