#include "schema/SideTables.h"

#include <cstdint>

#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine::schema {

bool isEngineTable(const std::string& name) {
    return name.size() > 8 && sqlite::sameName(name.substr(0, 8), "quorvel$");
}

void ensureSideTables(sqlite3* db) {
    sqlite::exec(db,
                 "CREATE TABLE IF NOT EXISTS main.\"quorvel$sequences\" ("
                 " SEQUENCE_NAME TEXT PRIMARY KEY, MIN_VALUE INTEGER NOT NULL,"
                 " MAX_VALUE INTEGER, INCREMENT_BY INTEGER NOT NULL, CYCLE_FLAG TEXT NOT NULL,"
                 " ORDER_FLAG TEXT NOT NULL, CACHE_SIZE INTEGER NOT NULL,"
                 " NEXT_VALUE INTEGER NOT NULL);"
                 "CREATE TABLE IF NOT EXISTS main.\"quorvel$comments\" ("
                 " TABLE_NAME TEXT NOT NULL, COLUMN_NAME TEXT NOT NULL, COMMENTS TEXT,"
                 " PRIMARY KEY (TABLE_NAME, COLUMN_NAME));"
                 "CREATE TABLE IF NOT EXISTS main.\"quorvel$disabled\" ("
                 " TABLE_NAME TEXT NOT NULL, CONSTRAINT_NAME TEXT NOT NULL,"
                 " CONSTRAINT_TYPE TEXT NOT NULL, COLUMN_NAME TEXT NOT NULL,"
                 " DEFINITION TEXT NOT NULL, PRIMARY KEY (TABLE_NAME, CONSTRAINT_NAME));"
                 "CREATE TABLE IF NOT EXISTS main.\"quorvel$objects\" ("
                 " OBJECT_NAME TEXT PRIMARY KEY, OBJECT_KIND TEXT NOT NULL)");
}

bool hasSideTables(sqlite3* db) {
    sqlite::Statement st(db,
                         "SELECT count(*) FROM main.sqlite_schema WHERE type = 'table' AND name "
                         "IN ('quorvel$sequences', 'quorvel$comments', 'quorvel$disabled', "
                         "'quorvel$objects')");
    return st.step() && st.integer(0) == 4;
}

namespace {

bool hasTemporaryDefinitions(sqlite3* db) {
    sqlite::Statement st(db,
                         "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND name = "
                         "'quorvel$temporary'");
    return st.step();
}

bool inTemporarySchema(sqlite3* db, const std::string& name) {
    sqlite::Statement st(db,
                         "SELECT 1 FROM temp.sqlite_schema WHERE type = 'table' AND name = ?1 "
                         "COLLATE NOCASE");
    st.bind(1, name);
    return st.step();
}

}  // namespace

void keepTemporaryTable(sqlite3* db, const std::string& name, const std::string& createSql) {
    sqlite::exec(db,
                 "CREATE TABLE IF NOT EXISTS main.\"quorvel$temporary\" ("
                 " TABLE_NAME TEXT PRIMARY KEY COLLATE NOCASE, CREATE_SQL TEXT NOT NULL)");
    sqlite::Statement st(db, "INSERT OR REPLACE INTO main.\"quorvel$temporary\" VALUES (?1, ?2)");
    st.bind(1, name).bind(2, createSql).run();
}

void forgetTemporaryTable(sqlite3* db, const std::string& name) {
    if (!hasTemporaryDefinitions(db))
        return;
    sqlite::Statement st(db, "DELETE FROM main.\"quorvel$temporary\" WHERE TABLE_NAME = ?1");
    st.bind(1, name).run();
}

bool provideTemporaryTable(sqlite3* db, const std::string& name) {
    if (!hasTemporaryDefinitions(db))
        return false;
    std::string createSql;
    {
        sqlite::Statement st(db,
                             "SELECT CREATE_SQL FROM main.\"quorvel$temporary\" WHERE "
                             "TABLE_NAME = ?1");
        st.bind(1, name);
        if (!st.step())
            return false;
        createSql = st.text(0);
    }
    if (!inTemporarySchema(db, name))
        sqlite::exec(db, createSql.c_str());
    return true;
}

std::vector<DisabledConstraint> disabledConstraints(sqlite3* db) {
    std::vector<DisabledConstraint> out;
    if (!hasSideTables(db))
        return out;
    sqlite::Statement st(db,
                         "SELECT TABLE_NAME, CONSTRAINT_NAME, CONSTRAINT_TYPE, COLUMN_NAME, "
                         "DEFINITION FROM main.\"quorvel$disabled\" ORDER BY 1, 2");
    while (st.step()) {
        const std::string type = st.text(2);
        out.push_back(
            {st.text(0), st.text(1), type.empty() ? 'C' : type[0], st.text(3), st.text(4)});
    }
    return out;
}

std::vector<Comment> comments(sqlite3* db) {
    std::vector<Comment> out;
    if (!hasSideTables(db))
        return out;
    sqlite::Statement st(db,
                         "SELECT TABLE_NAME, COLUMN_NAME, COMMENTS FROM main.\"quorvel$comments\" "
                         "ORDER BY 1, 2");
    while (st.step())
        out.push_back({st.text(0), st.text(1), st.text(2)});
    return out;
}

std::vector<SequenceRow> sequences(sqlite3* db) {
    std::vector<SequenceRow> out;
    if (!hasSideTables(db))
        return out;
    sqlite::Statement st(db,
                         "SELECT SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, "
                         "ORDER_FLAG, CACHE_SIZE, NEXT_VALUE FROM main.\"quorvel$sequences\" "
                         "ORDER BY 1");
    while (st.step()) {
        SequenceRow r;
        r.name = st.text(0);
        r.minValue = st.integer(1);
        if (!st.isNull(2))
            r.maxValue = st.integer(2);
        r.incrementBy = st.integer(3);
        r.cycle = st.text(4) == "Y";
        r.order = st.text(5) == "Y";
        r.cacheSize = st.integer(6);
        r.nextValue = st.integer(7);
        out.push_back(std::move(r));
    }
    return out;
}

std::string objectKind(sqlite3* db, const std::string& name) {
    if (!hasSideTables(db))
        return {};
    sqlite::Statement st(db,
                         "SELECT OBJECT_KIND FROM main.\"quorvel$objects\" WHERE OBJECT_NAME = ?1");
    st.bind(1, name);
    return st.step() ? st.text(0) : std::string();
}

}  // namespace localengine::schema
