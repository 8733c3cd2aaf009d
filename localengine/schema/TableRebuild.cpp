#include "schema/TableRebuild.h"

#include <sqlite3.h>

#include <algorithm>

#include "schema/SchemaReader.h"
#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine::schema {

namespace {

// The new table's name while both exist; never seen once the rebuild ends.
constexpr const char* kWorkingName = "quorvel$rebuild";

bool pragmaIsOn(sqlite3* db, const char* pragma) {
    sqlite::Statement statement(db, std::string("PRAGMA ") + pragma);
    return statement.step() && statement.integer(0) != 0;
}

// Puts foreign key enforcement back as it was when the rebuild ends, however
// it ends (the pragma has no effect inside a transaction, so it brackets it).
class ForeignKeysOff {
public:
    explicit ForeignKeysOff(sqlite3* db) : m_db(db), m_wasOn(pragmaIsOn(db, "foreign_keys")) {
        if (m_wasOn)
            sqlite::exec(m_db, "PRAGMA foreign_keys = OFF");
    }
    ~ForeignKeysOff() {
        if (m_wasOn)
            sqlite::execQuietly(m_db, "PRAGMA foreign_keys = ON");
    }
    ForeignKeysOff(const ForeignKeysOff&) = delete;
    ForeignKeysOff& operator=(const ForeignKeysOff&) = delete;

private:
    sqlite3* m_db;
    bool m_wasOn;
};

// Rolls the transaction back unless it was committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) { sqlite::exec(db, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!m_done)
            sqlite::execQuietly(m_db, "ROLLBACK");
    }
    void commit() {
        sqlite::exec(m_db, "COMMIT");
        m_done = true;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    sqlite3* m_db;
    bool m_done = false;
};

RebuildOutcome outcomeOf(int code) {
    switch (code) {
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return RebuildOutcome::PrimaryKeyViolated;
        case SQLITE_CONSTRAINT_UNIQUE:
            return RebuildOutcome::UniqueViolated;
        case SQLITE_CONSTRAINT_CHECK:
            return RebuildOutcome::CheckViolated;
        case SQLITE_CONSTRAINT_NOTNULL:
            return RebuildOutcome::NotNullViolated;
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            return RebuildOutcome::ForeignKeyViolated;
        default:
            return RebuildOutcome::Done;
    }
}

// INSERT INTO working (columns) SELECT sources FROM table.
std::string copyRows(sqlite3* db, const Rebuild& rebuild) {
    SchemaReader reader(db);
    const std::vector<ColumnDef> old = reader.columns(rebuild.table);
    std::string into;
    std::string select;
    for (const std::string& column : rebuild.revised.columnNames()) {
        std::string source;
        for (const auto& [name, expression] : rebuild.sources) {
            if (sqlite::sameName(name, column))
                source = expression;
        }
        if (source.empty()) {
            const auto found = std::find_if(old.begin(), old.end(), [&](const ColumnDef& c) {
                return sqlite::sameName(c.name, column);
            });
            if (found == old.end())
                continue;  // a new column: its DEFAULT fills it
            source = sqlite::quoteName(found->name);
        }
        into += (into.empty() ? "" : ", ") + sqlite::quoteName(column);
        select += (select.empty() ? "" : ", ") + source;
    }
    if (into.empty())
        return {};
    return "INSERT INTO " + sqlite::quoteName(kWorkingName) + " (" + into + ") SELECT " + select +
           " FROM " + sqlite::quoteName(rebuild.table);
}

// The CREATE INDEX and CREATE TRIGGER statements of the table to run again.
std::vector<std::string> dependents(sqlite3* db, const Rebuild& rebuild) {
    std::vector<std::string> kept;
    SchemaReader reader(db);
    for (const SchemaObject& object : reader.objects()) {
        if ((object.type != "index" && object.type != "trigger") || object.sql.empty() ||
            !sqlite::sameName(object.table, rebuild.table))
            continue;
        const bool dropped = std::any_of(
            rebuild.droppedIndexes.begin(), rebuild.droppedIndexes.end(),
            [&](const std::string& name) { return sqlite::sameName(name, object.name); });
        if (!dropped)
            kept.push_back(object.sql);
    }
    return kept;
}

void renameWorkingTable(sqlite3* db, const std::string& table) {
    // Legacy renaming leaves the views and triggers that name the table as
    // they are: the old table is gone at this point, and the modern rename
    // would refuse them as naming a missing table.
    const bool legacy = pragmaIsOn(db, "legacy_alter_table");
    if (!legacy)
        sqlite::exec(db, "PRAGMA legacy_alter_table = ON");
    try {
        sqlite::exec(db, ("ALTER TABLE " + sqlite::quoteName(kWorkingName) + " RENAME TO " +
                          sqlite::quoteName(table))
                             .c_str());
    } catch (...) {
        if (!legacy)
            sqlite::execQuietly(db, "PRAGMA legacy_alter_table = OFF");
        throw;
    }
    if (!legacy)
        sqlite::exec(db, "PRAGMA legacy_alter_table = OFF");
}

bool foreignKeysHold(sqlite3* db, const std::string& table) {
    sqlite::Statement check(db, "PRAGMA foreign_key_check(" + sqlite::quoteName(table) + ")");
    return !check.step();
}

}  // namespace

RebuildResult rebuildTable(sqlite3* db, const Rebuild& rebuild) {
    if (!sqlite3_get_autocommit(db))
        sqlite::exec(db, "COMMIT");
    ForeignKeysOff foreignKeysOff(db);
    Transaction transaction(db);

    const std::vector<std::string> recreate = dependents(db, rebuild);
    const std::string copy = copyRows(db, rebuild);
    try {
        sqlite::exec(db, rebuild.revised.sql(kWorkingName).c_str());
        if (!copy.empty())
            sqlite::exec(db, copy.c_str());
        sqlite::exec(db, ("DROP TABLE " + sqlite::quoteName(rebuild.table)).c_str());
        renameWorkingTable(db, rebuild.table);
        for (const std::string& sql : recreate)
            sqlite::exec(db, sql.c_str());
    } catch (const EngineError& error) {
        const RebuildOutcome outcome = outcomeOf(error.code());
        if (outcome == RebuildOutcome::Done)
            throw;
        return {outcome, error.what()};
    }
    if (rebuild.checkForeignKeys && !foreignKeysHold(db, rebuild.table))
        return {RebuildOutcome::ForeignKeyViolated, "FOREIGN KEY constraint failed"};
    transaction.commit();
    return {};
}

}  // namespace localengine::schema
