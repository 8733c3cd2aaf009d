// Explain and read back a ten-table join on the sample database through the
// local engine (delete, EXPLAIN PLAN, hierarchical read-back), against
// SQLite's own EXPLAIN QUERY PLAN of the same translated statement on a
// copy of the same database. Goal: the engine's run at most 3x SQLite's.
// The engine's run is also shown in parts (explain, read-back) and the plan
// mapping alone (no translator) is measured on the copy. A connection keeps
// what it translated, prepared and mapped for a statement it sees again;
// the cost for a new statement is shown apart.
//
// Run: bench_explain --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>

#include "LocalEngine.h"
#include "SampleDatabase.h"
#include "explain/ExplainPlan.h"

namespace {

const std::string kJoin =
    "SELECT r.region_name, c.country_name, cu.cust_name, e.last_name, d.department_name, "
    "o.order_id,"
    " p.product_name, ca.category_name, oi.quantity, i.quantity_on_hand"
    " FROM regions r, countries c, customers cu, employees e, departments d, orders o,"
    " order_items oi, products p, categories ca, inventories i"
    " WHERE c.region_id = r.region_id AND cu.country_id = c.country_id"
    " AND o.customer_id = cu.customer_id AND o.sales_rep_id = e.employee_id"
    " AND e.department_id = d.department_id AND oi.order_id = o.order_id"
    " AND p.product_id = oi.product_id AND ca.category_id = p.category_id"
    " AND i.product_id = p.product_id AND r.region_name = 'Europe'";

const char* const kCreatePlanTable =
    "create table PLAN_TABLE (statement_id  varchar2(30),timestamp     date,remarks       "
    "varchar2(80),operation     varchar2(30),options        varchar2(30),object_node   "
    "varchar2(128),object_owner  varchar2(30),object_name   varchar2(30),object_instance "
    "numeric,object_type     varchar2(30),optimizer       varchar2(255),search_columns  "
    "number,id  numeric,parent_id numeric,position numeric,cost  numeric,cardinality "
    "numeric,bytes  numeric,other_tag       varchar2(255),partition_start "
    "varchar2(255),partition_stop  varchar2(255),partition_id    numeric,other  long)";

const std::string kReadBack =
    "SELECT DECODE(id,0,'',LPAD(' ',2*(LEVEL-1))||level||'.'||position)||' '||"
    "operation||' '||options||' '||object_name||' '||object_type||' '||"
    "DECODE(id,0,'Cost='||position) QUERY_PLAN FROM PLAN_TABLE "
    "START WITH id=0 AND statement_id ='b' CONNECT BY PRIOR id=parent_id AND statement_id='b'";

localengine::Connection& engine() {
    static std::unique_ptr<localengine::Connection> connection = [] {
        auto c = localengine::Connection::open("", "SCOTT");
        try {
            c->execute(kCreatePlanTable);
        } catch (const localengine::EngineError&) {
            // already there from an earlier open in this process
        }
        return c;
    }();
    return *connection;
}

void BM_EngineExplainAndReadBack(benchmark::State& state) {
    auto& c = engine();
    std::size_t lines = 0;
    for (auto _ : state) {
        c.execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
        c.execute("EXPLAIN PLAN SET STATEMENT_ID='b' INTO PLAN_TABLE FOR " + kJoin);
        localengine::ResultTable plan = c.query(kReadBack);
        lines = plan.rows.size();
        benchmark::DoNotOptimize(plan);
    }
    state.counters["plan_lines"] = static_cast<double>(lines);
}

// The same cycle for a statement the connection has not seen before (a
// literal differs every time): nothing kept from an earlier explain helps.
void BM_EngineExplainNewStatement(benchmark::State& state) {
    auto& c = engine();
    long serial = 0;
    for (auto _ : state) {
        c.execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
        c.execute("EXPLAIN PLAN SET STATEMENT_ID='b' INTO PLAN_TABLE FOR " + kJoin +
                  " AND oi.quantity > -" + std::to_string(++serial));
        benchmark::DoNotOptimize(c.query(kReadBack));
    }
}

// The parts of the engine's run, to see where its time goes.
void BM_EngineDeleteAndExplainOnly(benchmark::State& state) {
    auto& c = engine();
    for (auto _ : state) {
        c.execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
        c.execute("EXPLAIN PLAN SET STATEMENT_ID='b' INTO PLAN_TABLE FOR " + kJoin);
    }
}

void BM_EngineReadBackOnly(benchmark::State& state) {
    auto& c = engine();
    c.execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
    c.execute("EXPLAIN PLAN SET STATEMENT_ID='b' INTO PLAN_TABLE FOR " + kJoin);
    for (auto _ : state)
        benchmark::DoNotOptimize(c.query(kReadBack));
}

sqlite3* sampleCopy() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        localengine::buildSampleDatabase(d);
        sqlite3_exec(
            d,
            "CREATE TABLE PLAN_TABLE(statement_id, timestamp, remarks, operation, options,"
            " object_node, object_owner, object_name, object_instance, object_type, optimizer,"
            " search_columns, id, parent_id, position, cost, cardinality, bytes, other_tag,"
            " partition_start, partition_stop, partition_id, other)",
            nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

// The plan mapping alone, without the translator: SQLite's plan read, mapped
// and written to PLAN_TABLE (after deleting the previous rows).
void BM_PlanMappingOnly(benchmark::State& state) {
    sqlite3* db = sampleCopy();
    const std::string sql = localengine::translateToSqlite(kJoin);
    localengine::ExplainTarget target;
    target.statementId = "b";
    target.owner = "SCOTT";
    for (auto _ : state) {
        sqlite3_exec(db, "DELETE FROM PLAN_TABLE WHERE statement_id = 'b'", nullptr, nullptr,
                     nullptr);
        benchmark::DoNotOptimize(localengine::explainPlan(db, sql, kJoin, target));
    }
}

void BM_SqliteExplainQueryPlan(benchmark::State& state) {
    sqlite3* db = sampleCopy();
    const std::string sql = "EXPLAIN QUERY PLAN " + localengine::translateToSqlite(kJoin);
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr);
        rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(s, 3));
            ++rows;
        }
        sqlite3_finalize(s);
    }
    state.counters["eqp_rows"] = static_cast<double>(rows);
}

}  // namespace

BENCHMARK(BM_SqliteExplainQueryPlan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineExplainAndReadBack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineExplainNewStatement)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineDeleteAndExplainOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineReadBackOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanMappingOnly)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    // Show the plan once, so the figures can be read against what was explained.
    try {
        auto& c = engine();
        c.execute("DELETE PLAN_TABLE WHERE STATEMENT_ID='b'");
        c.execute("EXPLAIN PLAN SET STATEMENT_ID='b' INTO PLAN_TABLE FOR " + kJoin);
        for (const auto& row : c.query(kReadBack).rows)
            std::printf("%s\n", row.empty() ? "" : row[0].text.c_str());
    } catch (const localengine::EngineError& e) {
        std::fprintf(stderr, "engine: %s\n", e.what());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
