// Oracle's functions on a SQLite handle, 100,000 rows a query, beside
// SQLite's own functions doing the nearest job: the cost of reading
// Oracle's format models and arguments on every call.

#include "functions/EngineFunctions.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

namespace {

sqlite3* database() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        localengine::functions::registerEngineFunctions(d);
        sqlite3_exec(d,
                     "CREATE TABLE t(d TEXT, n REAL, s TEXT);"
                     "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
                     "WHERE i < 100000) INSERT INTO t SELECT datetime('2000-01-01', "
                     "'+' || i || ' hours'), i * 1.25, 'row number ' || i FROM c",
                     nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

void scan(benchmark::State& state, const char* expression) {
    sqlite3* db = database();
    const std::string sql = std::string("SELECT count(") + expression + ") FROM t";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    for (auto _ : state) {
        sqlite3_step(st);
        benchmark::DoNotOptimize(sqlite3_column_int(st, 0));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

// One aggregate over the 100,000 rows.
void aggregate(benchmark::State& state, const char* expression) {
    sqlite3* db = database();
    const std::string sql = std::string("SELECT ") + expression + " FROM t";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    for (auto _ : state) {
        sqlite3_step(st);
        benchmark::DoNotOptimize(sqlite3_column_double(st, 0));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

void BM_SqliteStrftime(benchmark::State& s) {
    scan(s, "strftime('%d.%m.%Y %H:%M', d)");
}
void BM_ToCharDate(benchmark::State& s) {
    scan(s, "TO_CHAR(d, 'DD.MM.YYYY HH24:MI')");
}
void BM_ToCharDateNames(benchmark::State& s) {
    scan(s, "TO_CHAR(d, 'fmDay, Month DD, YYYY')");
}
void BM_SqlitePrintf(benchmark::State& s) {
    scan(s, "printf('%,.2f', n)");
}
void BM_ToCharNumber(benchmark::State& s) {
    scan(s, "TO_CHAR(n, 'FM999,999,990.00')");
}
void BM_AddMonths(benchmark::State& s) {
    scan(s, "ADD_MONTHS(d, 1)");
}
void BM_SqliteDateModifier(benchmark::State& s) {
    scan(s, "date(d, '+1 month')");
}
// Arithmetic as the front end writes it (ORA_ARITH) on whole numbers and on
// decimals, beside SQLite's binary operators; SUM of decimals.
void BM_SqliteArithmetic(benchmark::State& s) {
    scan(s, "rowid * 3 + n * 1.1");
}
void BM_ArithInteger(benchmark::State& s) {
    scan(s, "ORA_ARITH('vv*v+', rowid, 3, 7)");
}
void BM_ArithDecimal(benchmark::State& s) {
    scan(s, "ORA_ARITH('vv*v+', n, 1.1, 0.25)");
}
void BM_ArithDivide(benchmark::State& s) {
    scan(s, "ORA_ARITH('vv/', rowid, 7)");
}
void BM_SqliteTotal(benchmark::State& s) {
    aggregate(s, "total(n)");
}
void BM_SumDecimal(benchmark::State& s) {
    aggregate(s, "SUM(n)");
}
void BM_SumInteger(benchmark::State& s) {
    aggregate(s, "SUM(rowid)");
}
void BM_SqliteSubstr(benchmark::State& s) {
    scan(s, "substring(s, 5, 3)");
}
void BM_Substr(benchmark::State& s) {
    scan(s, "SUBSTR(s, 5, 3)");
}
void BM_RegexpLike(benchmark::State& s) {
    scan(s, "CASE WHEN REGEXP_LIKE(s, '[0-9]{3}$') THEN 1 END");
}
void BM_SqliteLike(benchmark::State& s) {
    scan(s, "CASE WHEN s LIKE '%99' THEN 1 END");
}

}  // namespace

BENCHMARK(BM_SqliteStrftime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToCharDate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToCharDateNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlitePrintf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToCharNumber)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteDateModifier)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddMonths)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteArithmetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArithInteger)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArithDecimal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArithDivide)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteTotal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumDecimal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumInteger)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteSubstr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Substr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteLike)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegexpLike)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
