// EXPLAIN PLAN through the local engine against SQLite's own EXPLAIN QUERY
// PLAN of the same statement on the same database, side by side:
//  - "New": a statement the connection has not seen (a literal no earlier
//    run had), which is what each analysis in the window sends;
//  - "Repeat": the same statement again (the connection keeps what it
//    translated, prepared and mapped).
// Two joins: the ten-table join of the sample database, and a chain of 60
// tables (SQLite joins at most 64) in a database file of its own. The
// engine writes its rows into the plan table Quorvel creates; the rows are
// deleted every 256 explains, off the clock. Goals: New at most 3x SQLite's,
// Repeat at most 1.5x.
//
// Run: bench_firstexplain --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "LocalEngine.h"
#include "SampleDatabase.h"

namespace {

// The literal each "New" run replaces with a number of its own.
const std::string kMarker = "987654321";

const std::string kJoin10 =
    "SELECT r.region_name, c.country_name, cu.cust_name, e.last_name, d.department_name,"
    " o.order_id, p.product_name, ca.category_name, oi.quantity, i.quantity_on_hand"
    " FROM regions r, countries c, customers cu, employees e, departments d, orders o,"
    " order_items oi, products p, categories ca, inventories i"
    " WHERE c.region_id = r.region_id AND cu.country_id = c.country_id"
    " AND o.customer_id = cu.customer_id AND o.sales_rep_id = e.employee_id"
    " AND e.department_id = d.department_id AND oi.order_id = o.order_id"
    " AND p.product_id = oi.product_id AND ca.category_id = p.category_id"
    " AND i.product_id = p.product_id AND r.region_name = 'Europe' AND oi.quantity < " +
    kMarker;

constexpr int kChain = 60;

std::string tableName(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "t%02d", i);
    return name;
}

// t01 ... t60, each pointing at the one before; the join follows the chain.
std::string chainJoin() {
    std::string select = "SELECT t01.v", from = " FROM t01", where = " WHERE t01.v < " + kMarker;
    for (int i = 2; i <= kChain; ++i) {
        const std::string t = tableName(i);
        select += ", " + t + ".v";
        from += ", " + t;
        where += " AND " + t + ".prev_id = " + tableName(i - 1) + ".id";
    }
    return select + from + where;
}

const char* const kCreatePlanTable =
    "create table PLAN_TABLE (statement_id  varchar2(30),timestamp     date,remarks       "
    "varchar2(80),operation     varchar2(30),options        varchar2(30),object_node   "
    "varchar2(128),object_owner  varchar2(30),object_name   varchar2(30),object_instance "
    "numeric,object_type     varchar2(30),optimizer       varchar2(255),search_columns  "
    "number,id  numeric,parent_id numeric,position numeric,cost  numeric,cardinality "
    "numeric,bytes  numeric,other_tag       varchar2(255),partition_start "
    "varchar2(255),partition_stop  varchar2(255),partition_id    numeric,other  long)";

struct Subject {
    std::unique_ptr<localengine::Connection> engine;
    sqlite3* sqlite = nullptr;  // a plain handle on the same data
    std::string oracleSql;      // with kMarker
    std::string sqliteSql;      // its translation, with kMarker
};

// A number no statement of this run has had yet: the benchmark library
// runs each loop several times, and a number taken up again would give a
// statement the engine (or SQLite) has seen before.
long unusedNumber() {
    static long last = 1000;
    return ++last;
}

std::string withNumber(const std::string& text, long n) {
    std::string out = text;
    const std::size_t at = out.find(kMarker);
    if (at != std::string::npos)
        out.replace(at, kMarker.size(), std::to_string(n));
    return out;
}

Subject& sampleSubject() {
    static Subject s = [] {
        Subject x;
        x.engine = localengine::Connection::open("", "SCOTT");
        try {
            x.engine->execute(kCreatePlanTable);
        } catch (const localengine::EngineError&) {
        }
        sqlite3_open(":memory:", &x.sqlite);
        localengine::buildSampleDatabase(x.sqlite);
        x.oracleSql = kJoin10;
        x.sqliteSql = localengine::translateToSqlite(kJoin10);
        return x;
    }();
    return s;
}

Subject& chainSubject() {
    static Subject s = [] {
        Subject x;
        const std::string path =
            (std::filesystem::temp_directory_path() / "quorvel_bench_chain.db").string();
        std::filesystem::remove(path);
        sqlite3* build = nullptr;
        sqlite3_open(path.c_str(), &build);
        std::string ddl = "BEGIN;";
        for (int i = 1; i <= kChain; ++i) {
            const std::string t = tableName(i);
            ddl += "CREATE TABLE " + t + "(id INTEGER PRIMARY KEY, prev_id INT, v INT);";
            ddl += "CREATE INDEX " + t + "_prev ON " + t + "(prev_id);";
            ddl += "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                   std::to_string(100 + 10 * i) + ") INSERT INTO " + t +
                   " SELECT k, k / 2, k % 17 FROM n;";
        }
        ddl += "COMMIT;";
        sqlite3_exec(build, ddl.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(build);
        x.engine = localengine::Connection::open(path, "SCOTT");
        x.engine->execute(kCreatePlanTable);
        sqlite3_open(path.c_str(), &x.sqlite);
        x.oracleSql = chainJoin();
        x.sqliteSql = localengine::translateToSqlite(x.oracleSql);
        return x;
    }();
    return s;
}

Subject& subject(const benchmark::State& state) {
    return state.range(0) == 10 ? sampleSubject() : chainSubject();
}

void explainOnce(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW)
        benchmark::DoNotOptimize(sqlite3_column_text(s, 3));
    sqlite3_finalize(s);
}

void BM_SqliteEqpNew(benchmark::State& state) {
    Subject& x = subject(state);
    const std::string sql = "EXPLAIN QUERY PLAN " + x.sqliteSql;
    for (auto _ : state)
        explainOnce(x.sqlite, withNumber(sql, unusedNumber()));
}

void BM_SqliteEqpRepeat(benchmark::State& state) {
    Subject& x = subject(state);
    const std::string sql = "EXPLAIN QUERY PLAN " + withNumber(x.sqliteSql, 1);
    for (auto _ : state)
        explainOnce(x.sqlite, sql);
}

void engineLoop(benchmark::State& state, bool fresh) {
    Subject& x = subject(state);
    const std::string head = "EXPLAIN PLAN SET STATEMENT_ID='b' INTO PLAN_TABLE FOR ";
    const std::string same = head + withNumber(x.oracleSql, 1);
    long serial = 0;
    for (auto _ : state) {
        if (serial % 256 == 255) {
            state.PauseTiming();
            x.engine->execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
            state.ResumeTiming();
        }
        ++serial;
        x.engine->execute(fresh ? head + withNumber(x.oracleSql, unusedNumber()) : same);
    }
    x.engine->execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
}

void BM_EngineExplainNew(benchmark::State& state) {
    engineLoop(state, true);
}

void BM_EngineExplainRepeat(benchmark::State& state) {
    engineLoop(state, false);
}

}  // namespace

BENCHMARK(BM_SqliteEqpNew)->Arg(10)->Arg(kChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineExplainNew)->Arg(10)->Arg(kChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteEqpRepeat)->Arg(10)->Arg(kChain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineExplainRepeat)->Arg(10)->Arg(kChain)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    // The plans once, so the figures can be read against what was explained.
    try {
        for (Subject* x : {&sampleSubject(), &chainSubject()}) {
            x->engine->execute("EXPLAIN PLAN SET STATEMENT_ID='show' FOR " +
                               withNumber(x->oracleSql, 1));
            const auto rows = x->engine->query(
                "SELECT count(*), max(cost) FROM PLAN_TABLE WHERE statement_id = 'show'");
            std::printf("%zu-table join: %s plan rows, cost %s\n",
                        x == &sampleSubject() ? std::size_t(10) : std::size_t(kChain),
                        rows.rows[0][0].text.c_str(), rows.rows[0][1].text.c_str());
            x->engine->execute("DELETE PLAN_TABLE WHERE statement_id = 'show'");
        }
    } catch (const localengine::EngineError& e) {
        std::fprintf(stderr, "engine: %s\n", e.what());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
