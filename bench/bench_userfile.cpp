// Logging on to a user's SQLite file: the engine's open (precautions and the
// structure check included) beside the structure check alone, on files of
// 10 and 100 MB, so the share of the check in the logon shows.

#include "LocalEngine.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

// A file of about `megabytes` MB: one table with an index, written once per run.
const std::string& userFile(int megabytes) {
    static std::map<int, std::string> files;
    auto found = files.find(megabytes);
    if (found != files.end())
        return found->second;
    const std::string path = "/tmp/quorvel-bench-userfile-" + std::to_string(megabytes) + ".db";
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const std::string rows = std::to_string(megabytes * 9000);
    const std::string fill =
        "CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b REAL, c TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        rows +
        ") INSERT INTO t SELECT i, 'some text value ' || i, i * 1.5, hex(randomblob(20)) FROM n;"
        "CREATE INDEX t_a ON t (a);";
    sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return files.emplace(megabytes, path).first->second;
}

void BM_OpenUserFile(benchmark::State& state) {
    const std::string& path = userFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto connection = localengine::Connection::open(path, "scott");
        connection->close();
    }
}
BENCHMARK(BM_OpenUserFile)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_StructureCheckAlone(benchmark::State& state) {
    const std::string& path = userFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(db, "PRAGMA quick_check(1)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}
BENCHMARK(BM_StructureCheckAlone)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
