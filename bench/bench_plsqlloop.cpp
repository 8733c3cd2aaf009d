// A PL/SQL loop that inserts 10,000 rows (one block: the INSERT prepared
// once, the loop index bound as a parameter each time) beside the same
// 10,000 rows written by 10,000 INSERT statements sent one by one, each of
// its own text (translated, prepared and run per statement), within one
// transaction as the block is. Their ratio is what the block saves.

#include "LocalEngine.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 10000;

localengine::Connection& database() {
    static std::unique_ptr<localengine::Connection> db = [] {
        const std::string path = "/tmp/quorvel-bench-plsqlloop.db";
        std::remove(path.c_str());
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (f)
            std::fclose(f);
        auto c = localengine::Connection::open(path, "bench");
        c->execute(
            "CREATE TABLE t_acct (acct_id NUMBER(10) PRIMARY KEY, owner VARCHAR2(30), "
            "balance NUMBER(12,2))");
        return c;
    }();
    return *db;
}

void emptyTable(benchmark::State& state) {
    state.PauseTiming();
    database().execute("DELETE FROM t_acct");
    state.ResumeTiming();
}

void BM_LoopInsertBlock(benchmark::State& state) {
    localengine::Connection& db = database();
    const std::string block =
        "BEGIN\n  FOR i IN 1 .. " + std::to_string(kRows) +
        " LOOP\n    INSERT INTO t_acct (acct_id, owner, balance) VALUES (i, 'Owner' || i, "
        "MOD(i, 97) * 10);\n  END LOOP;\nEND;";
    for (auto _ : state) {
        emptyTable(state);
        benchmark::DoNotOptimize(db.execute(block));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_PlainInsertStatements(benchmark::State& state) {
    localengine::Connection& db = database();
    std::vector<std::string> inserts;
    for (int i = 1; i <= kRows; ++i)
        inserts.push_back("INSERT INTO t_acct (acct_id, owner, balance) VALUES (" +
                          std::to_string(i) + ", 'Owner" + std::to_string(i) + "', " +
                          std::to_string((i % 97) * 10) + ")");
    for (auto _ : state) {
        emptyTable(state);
        db.execute("SAVEPOINT bench");
        for (const std::string& insert : inserts)
            db.execute(insert);
        db.execute("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_LoopInsertBlock)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_PlainInsertStatements)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);

BENCHMARK_MAIN();
