// libFuzzer target for the local engine: each input is one statement as a
// user might type it. It is translated on its own (no schema), then
// explained through a real Connection on an in-memory database of a few
// tables, indexes and a view: EXPLAIN PLAN translates, prepares and maps
// the plan but never runs the statement. An EngineError is the engine's
// answer to bad input; any other exception, a crash, a sanitizer report, a
// leak or a timeout is a fault.

#include "LocalEngine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

// The sample database (in memory) with a small schema of the fuzzer's own
// beside it, so that statements can name tables that exist.
localengine::Connection& connection() {
    static const std::unique_ptr<localengine::Connection> db = [] {
        auto c = localengine::Connection::open("", "scott");
        const char* const setup[] = {
            "create table T1 (id number primary key, parent number, name varchar2(30), "
            "amount number(10,2), created date)",
            "create index T1_PARENT on T1 (parent)",
            "create index T1_NAME on T1 (name, created)",
            "create table T2 (id number, t1_id number, note varchar2(100))",
            "create unique index T2_ID on T2 (id)",
            "create index T2_T1 on T2 (t1_id)",
            "create view V1 as select t1.id, t1.name, t2.note from T1 t1, T2 t2 "
            "where t1.id = t2.t1_id(+)",
            "insert into T1 select level, level - 1, 'n' || level, level * 1.5, sysdate "
            "from dual connect by level <= 50",
            "insert into T2 select level, mod(level, 50) + 1, 'note' from dual "
            "connect by level <= 20",
            "analyze",
            "create table PLAN_TABLE (statement_id varchar2(30), timestamp date, "
            "remarks varchar2(80), operation varchar2(30), options varchar2(30), "
            "object_node varchar2(128), object_owner varchar2(30), object_name varchar2(30), "
            "object_instance numeric, object_type varchar2(30), optimizer varchar2(255), "
            "search_columns number, id numeric, parent_id numeric, position numeric, "
            "cost numeric, cardinality numeric, bytes numeric, other_tag varchar2(255), "
            "partition_start varchar2(255), partition_stop varchar2(255), "
            "partition_id numeric, other long)",
        };
        for (const char* sql : setup)
            c->execute(sql);
        return c;
    }();
    return *db;
}

}  // namespace

// The database is built before fuzzing starts, so that its cost is not
// counted against the first input's time limit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    connection();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string statement(reinterpret_cast<const char*>(data), size);
    try {
        localengine::translateToSqlite(statement);
    } catch (const localengine::EngineError&) {
    }
    localengine::Connection& db = connection();
    try {
        db.execute("EXPLAIN PLAN SET STATEMENT_ID = 'fuzz' FOR " + statement);
    } catch (const localengine::EngineError&) {
    }
    db.execute("DELETE FROM PLAN_TABLE");
    return 0;
}
