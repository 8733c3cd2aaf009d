#include "DdlRunner.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <set>

#include "schema/Constraints.h"
#include "schema/SchemaReader.h"
#include "schema/Sequences.h"
#include "schema/SideTables.h"
#include "schema/TableRebuild.h"
#include "schema/TableText.h"
#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine {

namespace {

using dialect::DdlWork;
using dialect::SequenceWork;
using dialect::TableChange;
using sqlite::quoteName;
using sqlite::sameName;

[[noreturn]] void oracle(const std::string& text) {
    throw EngineError(text, SQLITE_ERROR);
}

// Oracle commits an open transaction before every DDL statement.
void commitOpen(sqlite3* db) {
    if (!sqlite3_get_autocommit(db))
        sqlite::exec(db, "COMMIT");
}

// A transaction that rolls back unless committed.
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

// The object of the main database named `name` as SQLite compares names:
// its type and its name as spelled.
struct StoredObject {
    std::string type, name, sql;
};

std::optional<StoredObject> findObject(sqlite3* db, const std::string& name) {
    sqlite::Statement st(db,
                         "SELECT type, name, sql FROM main.sqlite_schema WHERE type IN ('table', "
                         "'view') AND name = ?1 COLLATE NOCASE");
    st.bind(1, name);
    if (!st.step() || schema::isEngineTable(st.text(1)))
        return std::nullopt;
    return StoredObject{st.text(0), st.text(1), st.text(2)};
}

StoredObject requireTable(sqlite3* db, const std::string& name) {
    std::optional<StoredObject> found = findObject(db, name);
    if (!found || found->type != "table")
        oracle("ORA-00942: table or view does not exist");
    return *found;
}

std::string qualified(const std::string& owner, const std::string& name) {
    return owner.empty() ? name : owner + "." + name;
}

// ------------------------------------------------------------ sequences

// A new sequence from its options, with Oracle's defaults and checks.
schema::SequenceRow newSequence(const SequenceWork& w) {
    schema::SequenceRow r;
    r.name = w.name;
    r.incrementBy = w.incrementBy.value_or(1);
    if (r.incrementBy == 0)
        oracle("ORA-04002: INCREMENT must be a non-zero integer");
    const bool ascending = r.incrementBy > 0;
    if (w.minValue && !w.noMinValue)
        r.minValue = *w.minValue;
    else
        r.minValue = ascending ? 1 : std::numeric_limits<std::int64_t>::min();
    if (w.maxValue && !w.noMaxValue)
        r.maxValue = *w.maxValue;
    else if (!ascending)
        r.maxValue = -1;
    r.cycle = w.cycle.value_or(false);
    r.order = w.order.value_or(false);
    r.cacheSize = w.noCache ? 0 : w.cache.value_or(20);
    if (!w.noCache && w.cache && *w.cache < 2)
        oracle("ORA-04010: the number of values to CACHE must be greater than 1");
    if (r.maxValue && *r.maxValue <= r.minValue)
        oracle("ORA-04004: MINVALUE must be less than MAXVALUE");
    r.nextValue = w.startWith.value_or(ascending ? r.minValue : r.maxValue.value_or(-1));
    if (r.nextValue < r.minValue)
        oracle("ORA-04006: START WITH cannot be less than MINVALUE");
    if (r.maxValue && r.nextValue > *r.maxValue)
        oracle("ORA-04008: START WITH cannot be more than MAXVALUE");
    return r;
}

bool sequenceExists(sqlite3* db, const std::string& name) {
    if (!schema::hasSideTables(db))
        return false;
    sqlite::Statement st(db, "SELECT 1 FROM main.\"quorvel$sequences\" WHERE SEQUENCE_NAME = ?1");
    st.bind(1, name);
    return st.step();
}

void writeSequence(sqlite3* db, const schema::SequenceRow& r) {
    sqlite::Statement st(db,
                         "INSERT OR REPLACE INTO main.\"quorvel$sequences\" VALUES (?1, ?2, ?3, "
                         "?4, ?5, ?6, ?7, ?8)");
    st.bind(1, r.name)
        .bind(2, r.minValue)
        .bind(3, r.maxValue)
        .bind(4, r.incrementBy)
        .bind(5, r.cycle ? "Y" : "N")
        .bind(6, r.order ? "Y" : "N")
        .bind(7, r.cacheSize)
        .bind(8, r.nextValue)
        .run();
}

void dropSequenceRow(sqlite3* db, const std::string& name) {
    sqlite::Statement st(db, "DELETE FROM main.\"quorvel$sequences\" WHERE SEQUENCE_NAME = ?1");
    st.bind(1, name).run();
}

void createSequence(sqlite3* db, const SequenceWork& w) {
    const schema::SequenceRow row = newSequence(w);
    commitOpen(db);
    schema::ensureSideTables(db);
    if (sequenceExists(db, w.name) || findObject(db, w.name))
        oracle("ORA-00955: name is already used by an existing object");
    Transaction tx(db);
    writeSequence(db, row);
    tx.commit();
}

void alterSequence(sqlite3* db, const SequenceWork& w) {
    commitOpen(db);
    std::optional<schema::SequenceRow> found;
    for (schema::SequenceRow& r : schema::sequences(db))
        if (r.name == w.name)
            found = r;
    if (!found)
        oracle("ORA-02289: sequence does not exist");
    schema::SequenceRow r = *found;
    if (w.startWith && !w.restart)
        oracle("ORA-02283: cannot alter starting sequence number");
    if (w.incrementBy) {
        if (*w.incrementBy == 0)
            oracle("ORA-04002: INCREMENT must be a non-zero integer");
        // The next value follows the last one handed out by the new step.
        r.nextValue = r.nextValue - r.incrementBy + *w.incrementBy;
        r.incrementBy = *w.incrementBy;
    }
    if (w.minValue)
        r.minValue = *w.minValue;
    if (w.noMinValue)
        r.minValue = r.incrementBy > 0 ? 1 : std::numeric_limits<std::int64_t>::min();
    if (w.maxValue)
        r.maxValue = *w.maxValue;
    if (w.noMaxValue)
        r.maxValue = r.incrementBy > 0 ? std::nullopt : std::optional<std::int64_t>(-1);
    if (w.cycle)
        r.cycle = *w.cycle;
    if (w.order)
        r.order = *w.order;
    if (w.noCache)
        r.cacheSize = 0;
    if (w.cache) {
        if (*w.cache < 2)
            oracle("ORA-04010: the number of values to CACHE must be greater than 1");
        r.cacheSize = *w.cache;
    }
    if (r.maxValue && *r.maxValue <= r.minValue)
        oracle("ORA-04004: MINVALUE must be less than MAXVALUE");
    if (w.restart)
        r.nextValue =
            w.startWith.value_or(r.incrementBy > 0 ? r.minValue : r.maxValue.value_or(-1));
    const std::int64_t last = r.nextValue - r.incrementBy;
    if (!w.restart && r.maxValue && w.maxValue && last > *r.maxValue)
        oracle("ORA-04009: MAXVALUE cannot be made to be less than the current value");
    if (!w.restart && w.minValue && last < r.minValue && r.incrementBy > 0 &&
        r.nextValue != found->minValue)
        oracle("ORA-04007: MINVALUE cannot be made to exceed the current value");
    Transaction tx(db);
    writeSequence(db, r);
    tx.commit();
}

void dropSequence(sqlite3* db, const DdlWork& w) {
    commitOpen(db);
    if (!sequenceExists(db, w.sequence.name)) {
        if (w.ifExists)
            return;
        oracle("ORA-02289: sequence does not exist");
    }
    if (w.sequence.name.rfind("ISEQ$$_", 0) == 0)
        oracle("ORA-32794: cannot drop a system-generated sequence");
    Transaction tx(db);
    dropSequenceRow(db, w.sequence.name);
    tx.commit();
}

// ------------------------------------------------------------ ALTER TABLE

// The constraints of every table, named as the dictionary names them.
struct NamedConstraint {
    std::string table;  // as spelled
    schema::DeclaredConstraint constraint;
};

std::vector<NamedConstraint> allConstraints(sqlite3* db) {
    std::vector<NamedConstraint> out;
    schema::SchemaReader reader(db);
    for (const schema::SchemaObject& o : reader.objects()) {
        if (o.type != "table" || o.sql.empty() || schema::isEngineTable(o.name) ||
            sameName(o.name.substr(0, 7), "sqlite_"))
            continue;
        for (schema::DeclaredConstraint& c : schema::declaredConstraints(o.sql)) {
            if (c.name.empty())
                c.name = schema::generatedConstraintName(sqlite::upperName(o.name), c.type,
                                                         c.columns, c.condition);
            out.push_back({o.name, std::move(c)});
        }
    }
    return out;
}

// The primary key columns of a table, in key order (upper case).
std::vector<std::string> primaryKeyOf(sqlite3* db, const std::string& table) {
    schema::SchemaReader reader(db);
    std::vector<std::pair<int, std::string>> key;
    for (const schema::ColumnDef& c : reader.columns(table))
        if (c.primaryKeyPosition > 0)
            key.emplace_back(c.primaryKeyPosition, sqlite::upperName(c.name));
    std::sort(key.begin(), key.end());
    std::vector<std::string> out;
    for (auto& k : key)
        out.push_back(std::move(k.second));
    return out;
}

std::vector<std::string> upper(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const std::string& n : names)
        out.push_back(sqlite::upperName(n));
    return out;
}

bool sameSet(std::vector<std::string> a, std::vector<std::string> b) {
    a = upper(a);
    b = upper(b);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// The unique keys of a table: its primary key and every unique index.
std::vector<std::vector<std::string>> uniqueKeysOf(sqlite3* db, const std::string& table) {
    std::vector<std::vector<std::string>> keys;
    const std::vector<std::string> primary = primaryKeyOf(db, table);
    if (!primary.empty())
        keys.push_back(primary);
    schema::SchemaReader reader(db);
    for (const schema::IndexDef& ix : reader.indexes(table)) {
        if (!ix.unique)
            continue;
        std::vector<std::string> columns;
        for (const schema::IndexColumn& c : ix.columns)
            columns.push_back(sqlite::upperName(c.name));
        keys.push_back(columns);
    }
    return keys;
}

// The foreign keys of other tables that reference `table`.
struct Reference {
    std::string child;  // as spelled
    std::vector<std::string> columns, parentColumns;
};

std::vector<Reference> referencesTo(sqlite3* db, const std::string& table) {
    std::vector<Reference> out;
    schema::SchemaReader reader(db);
    for (const schema::SchemaObject& o : reader.objects()) {
        if (o.type != "table" || sameName(o.name, table) || schema::isEngineTable(o.name))
            continue;
        sqlite::Statement st(db,
                             "SELECT id, \"table\", \"from\", \"to\" FROM "
                             "pragma_foreign_key_list(?1) ORDER BY id, seq");
        st.bind(1, o.name);
        std::int64_t id = -1;
        while (st.step()) {
            if (!sameName(st.text(1), table))
                continue;
            if (st.integer(0) != id) {
                id = st.integer(0);
                out.push_back({o.name, {}, {}});
            }
            out.back().columns.push_back(sqlite::upperName(st.text(2)));
            out.back().parentColumns.push_back(sqlite::upperName(st.text(3)));
        }
    }
    return out;
}

// A foreign key's name in a child table that references `parent` on
// `parentColumns` (empty: its primary key).
std::vector<std::string> childConstraintNames(sqlite3* db, const std::string& child,
                                              const std::string& parent) {
    std::vector<std::string> names;
    for (const NamedConstraint& c : allConstraints(db))
        if (sameName(c.table, child) && c.constraint.type == 'R' &&
            sameName(c.constraint.condition, parent))
            names.push_back(c.constraint.name);
    return names;
}

// Takes every foreign key that references `parent` out of its child
// tables (DROP ... CASCADE, DROP TABLE ... CASCADE CONSTRAINTS).
void dropReferencingConstraints(sqlite3* db, const std::string& parent) {
    std::set<std::string> children;
    for (const Reference& r : referencesTo(db, parent))
        children.insert(r.child);
    for (const std::string& child : children) {
        const StoredObject stored = requireTable(db, child);
        schema::Rebuild rebuild;
        rebuild.table = stored.name;
        rebuild.revised = schema::TableText::parse(stored.sql);
        for (const std::string& name : childConstraintNames(db, child, parent))
            rebuild.revised.removeConstraint(name);
        const schema::RebuildResult result = schema::rebuildTable(db, rebuild);
        if (result.outcome != schema::RebuildOutcome::Done)
            oracle("ORA-00604: error occurred at recursive SQL level 1: " + result.detail);
    }
}

// The NOT NULL a primary key implies, as the dictionary recognises it
// (schema/Constraints.cpp): no constraint of its own.
constexpr const char* kKeyNotNull = "NOT NULL ON CONFLICT ABORT";

struct AddedConstraint {
    std::string name;  // as shown, generated when the statement gave none
    char type = 'C';
};

class TableAlterer {
public:
    TableAlterer(sqlite3* db, std::string owner, const DdlWork& work)
        : m_db(db), m_owner(std::move(owner)), m_work(work) {}

    void run() {
        commitOpen(m_db);
        const StoredObject stored = requireTable(m_db, m_work.table);
        m_table = stored.name;
        m_shownTable = sqlite::upperName(stored.name);
        if (m_work.changes.size() == 1 &&
            (m_work.changes[0].kind == TableChange::Kind::RenameTable ||
             m_work.changes[0].kind == TableChange::Kind::RenameColumn)) {
            rename(m_work.changes[0], stored);
            return;
        }
        m_rebuild.table = m_table;
        m_rebuild.revised = schema::TableText::parse(stored.sql);
        m_disabled = schema::disabledConstraints(m_db);
        for (const TableChange& c : m_work.changes)
            apply(c);
        if (!m_rebuildNeeded) {
            writeSideTables();
            return;
        }
        for (const SequenceWork& s : m_newSequences) {
            schema::ensureSideTables(m_db);
            Transaction tx(m_db);
            writeSequence(m_db, newSequence(s));
            tx.commit();
        }
        schema::RebuildResult result;
        try {
            result = schema::rebuildTable(m_db, m_rebuild);
        } catch (...) {
            forgetNewSequences();
            throw;
        }
        if (result.outcome != schema::RebuildOutcome::Done) {
            forgetNewSequences();
            failure(result);
        }
        writeSideTables();
    }

private:
    std::string shown(const std::string& constraint) const {
        return qualified(m_owner, constraint);
    }

    int column(const std::string& name) const {
        const int index = m_rebuild.revised.findColumn(name);
        if (index < 0)
            oracle("ORA-00904: \"" + name + "\": invalid identifier");
        return index;
    }

    bool constraintNameUsed(const std::string& name) const {
        if (m_rebuild.revised.hasConstraint(name))
            return true;
        for (const NamedConstraint& c : allConstraints(m_db))
            if (c.constraint.name == name)
                return true;
        for (const schema::DisabledConstraint& d : m_disabled)
            if (d.name == name)
                return true;
        return false;
    }

    void apply(const TableChange& c) {
        using K = TableChange::Kind;
        switch (c.kind) {
            case K::AddConstraint:
                addConstraint(c);
                break;
            case K::AddColumn:
                if (m_rebuild.revised.findColumn(c.name) >= 0)
                    oracle("ORA-01430: column being added already exists in table");
                m_rebuild.revised.addColumn(c.name, c.text);
                if (c.identity)
                    m_newSequences.push_back(*c.identity);
                m_addedNotNull = m_addedNotNull || c.text.find("NOT NULL") != std::string::npos;
                m_rebuildNeeded = true;
                break;
            case K::ModifyColumn:
                modifyColumn(c);
                break;
            case K::DropConstraint:
                dropConstraint(c.name, c.cascade);
                break;
            case K::DropPrimaryKey: {
                const std::vector<std::string> key = primaryKeyOf(m_db, m_table);
                if (!m_rebuild.revised.removePrimaryKey())
                    oracle("ORA-02441: Cannot drop nonexistent primary key");
                dependentsOfKey(key, c.cascade,
                                "ORA-02273: this unique/primary key is "
                                "referenced by some foreign keys");
                m_rebuildNeeded = true;
                break;
            }
            case K::DropUnique: {
                std::string name;
                for (const NamedConstraint& k : allConstraints(m_db))
                    if (sameName(k.table, m_table) && k.constraint.type == 'U' &&
                        sameSet(k.constraint.columns, c.columns))
                        name = k.constraint.name;
                if (name.empty())
                    oracle("ORA-02442: Cannot drop nonexistent unique key");
                dropConstraint(name, c.cascade);
                break;
            }
            case K::DropColumn:
                for (const std::string& name : c.columns)
                    dropColumn(name, c.cascade);
                break;
            case K::EnableConstraint:
                enable(c);
                break;
            case K::DisableConstraint:
                disable(c);
                break;
            case K::RenameColumn:
            case K::RenameTable:
                oracle(
                    "ORA-03001: unimplemented feature: RENAME together with other changes "
                    "in one ALTER TABLE");
        }
    }

    void addConstraint(const TableChange& c) {
        for (const std::string& name : c.columns)
            column(name);
        if (!c.name.empty() && constraintNameUsed(c.name))
            oracle("ORA-02264: name already used by an existing constraint");
        if (c.constraintType == 'P' && !primaryKeyOf(m_db, m_table).empty() && !m_keyDropped)
            oracle("ORA-02260: table can have only one primary key");
        if (c.constraintType == 'P' || c.constraintType == 'U') {
            for (const std::vector<std::string>& key : uniqueKeysOf(m_db, m_table))
                if (sameSet(key, c.columns) && c.constraintType == 'U')
                    oracle("ORA-02261: such unique or primary key already exists in the table");
        }
        if (c.constraintType == 'R')
            checkReference(c);
        m_rebuild.revised.addConstraint(c.name, c.text);
        if (c.constraintType == 'P') {
            // Oracle's primary key columns are NOT NULL; SQLite's would take NULLs.
            for (const std::string& name : c.columns) {
                const int index = column(name);
                if (!m_rebuild.revised.columnIsNotNull(index))
                    m_rebuild.revised.addColumnClause(index, kKeyNotNull);
            }
        }
        if (c.constraintType == 'R')
            m_rebuild.checkForeignKeys = true;
        std::string name = c.name;
        if (name.empty()) {
            const std::vector<schema::DeclaredConstraint> declared =
                schema::declaredConstraints(m_rebuild.revised.sql(m_table));
            if (!declared.empty())
                name = schema::generatedConstraintName(m_shownTable, declared.back().type,
                                                       declared.back().columns,
                                                       declared.back().condition);
        }
        m_added.push_back({name, c.constraintType});
        m_rebuildNeeded = true;
    }

    void checkReference(const TableChange& c) {
        const std::optional<StoredObject> parent = findObject(m_db, c.referencedTable);
        if (!parent || parent->type != "table") {
            // A table referencing itself may be the one being changed.
            if (!sameName(c.referencedTable, m_table))
                oracle("ORA-00942: table or view does not exist");
        }
        const std::string parentName = parent ? parent->name : m_table;
        std::vector<std::string> referenced = c.referencedColumns;
        if (referenced.empty()) {
            referenced = primaryKeyOf(m_db, parentName);
            if (referenced.empty())
                oracle("ORA-02268: referenced table does not have a primary key");
        }
        if (referenced.size() != c.columns.size())
            oracle("ORA-02256: number of referencing columns must match referenced columns");
        bool matched = false;
        for (const std::vector<std::string>& key : uniqueKeysOf(m_db, parentName))
            matched = matched || sameSet(key, referenced);
        if (!matched)
            oracle("ORA-02270: no matching unique or primary key for this column-list");
    }

    // Foreign keys of other tables on `key` (a unique or primary key being
    // dropped or disabled): refused, or with CASCADE taken away as well.
    void dependentsOfKey(const std::vector<std::string>& key, bool cascade,
                         const std::string& error) {
        if (key.empty())
            return;
        bool referenced = false;
        for (const Reference& r : referencesTo(m_db, m_table))
            referenced = referenced || sameSet(r.parentColumns, key) ||
                         (r.parentColumns.size() == 1 && r.parentColumns[0].empty());
        if (!referenced)
            return;
        if (!cascade)
            oracle(error);
        m_dropChildKeys = true;
    }

    std::optional<NamedConstraint> declared(const std::string& name) const {
        for (const NamedConstraint& c : allConstraints(m_db))
            if (sameName(c.table, m_table) && c.constraint.name == name)
                return c;
        return std::nullopt;
    }

    void dropConstraint(const std::string& name, bool cascade) {
        const std::optional<NamedConstraint> found = declared(name);
        if (found && (found->constraint.type == 'P' || found->constraint.type == 'U'))
            dependentsOfKey(upper(found->constraint.columns), cascade,
                            "ORA-02273: this unique/primary key is referenced by some foreign "
                            "keys");
        if (found && found->constraint.type == 'P')
            m_keyDropped = true;
        if (m_rebuild.revised.removeConstraint(name)) {
            m_rebuildNeeded = true;
            return;
        }
        for (const schema::DisabledConstraint& d : m_disabled) {
            if (sameName(d.table, m_table) && d.name == name) {
                m_forget.push_back(name);
                return;
            }
        }
        oracle("ORA-02443: Cannot drop constraint  - nonexistent constraint");
    }

    // A DEFAULT given or kept by MODIFY, stored through the column's type
    // as it is now (a CHAR(5) pads to 5, NUMBER(6,2) rounds to 2 places).
    void storeDefault(const TableChange& c, int index) {
        schema::SchemaReader reader(m_db);
        for (const schema::ColumnDef& d : reader.columns(m_table)) {
            if (!sameName(d.name, c.name))
                continue;
            const std::string written =
                dialect::writtenDefault(c.defaultText ? *c.defaultText : d.defaultValue);
            if (written.empty() || sqlite::upperName(written) == "NULL" ||
                written.find("ORA_SEQUENCE_NEXTVAL") != std::string::npos)
                return;
            const std::string title =
                '"' + m_owner + "\".\"" + m_shownTable + "\".\"" + d.name + '"';
            const std::string stored =
                dialect::storedDefaultText(written, c.type ? *c.type : d.declaredType, title);
            // A type without a rule of its own takes the DEFAULT as written.
            if (stored != written)
                m_rebuild.revised.setDefault(index, stored);
            else if (!c.defaultText && written != d.defaultValue)
                m_rebuild.revised.setDefault(index, '(' + written + ')');
            return;
        }
    }

    void modifyColumn(const TableChange& c) {
        const int index = column(c.name);
        schema::TableText& text = m_rebuild.revised;
        if (c.type)
            text.setType(index, *c.type);
        if (c.defaultText)
            text.setDefault(index, *c.defaultText);
        if ((c.type || c.defaultText) && !c.identity && !c.dropIdentity)
            storeDefault(c, index);
        if (c.identity) {
            // SQLite's INTEGER PRIMARY KEY (the rowid) takes no DEFAULT.
            if (!c.type) {
                schema::SchemaReader reader(m_db);
                for (const schema::ColumnDef& d : reader.columns(m_table))
                    if (sameName(d.name, c.name) && sqlite::upperName(d.declaredType) == "INTEGER")
                        text.setType(index, "NUMBER(38, 0)");
            }
            // Oracle's identity: the sequence starts past the rows' values
            // unless told where.
            SequenceWork s = *c.identity;
            if (!s.startWith) {
                sqlite::Statement st(
                    m_db, "SELECT max(" + quoteName(c.name) + ") FROM " + quoteName(m_table));
                if (st.step() && !st.isNull(0))
                    s.startWith = st.integer(0) + 1;
            }
            if (sequenceExists(m_db, s.name))
                m_replacedSequences.push_back(s.name);
            m_newSequences.push_back(s);
        }
        if (c.notNull) {
            const bool has = text.columnIsNotNull(index);
            if (*c.notNull) {
                if (has && c.identityOnNull) {
                    text.removeNotNull(index);
                } else if (has && !c.identity) {
                    oracle("ORA-01442: column to be modified to NOT NULL is already NOT NULL");
                }
                if (!has || c.identityOnNull) {
                    const std::string clause =
                        (c.notNullName.empty() ? std::string()
                                               : "CONSTRAINT " + quoteName(c.notNullName) + " ") +
                        (c.identityOnNull ? "NOT NULL ON CONFLICT REPLACE" : "NOT NULL");
                    text.addColumnClause(index, clause);
                    m_notNullName = c.notNullName.empty()
                                        ? schema::generatedConstraintName(
                                              m_shownTable, 'C', {sqlite::upperName(c.name)},
                                              quoteName(sqlite::upperName(c.name)) + " IS NOT NULL")
                                        : c.notNullName;
                }
            } else {
                if (!has)
                    oracle("ORA-01451: column to be modified to NULL cannot be modified to NULL");
                text.removeNotNull(index);
            }
        } else if (c.identityOnNull && !text.columnIsNotNull(index)) {
            text.addColumnClause(index, "NOT NULL ON CONFLICT REPLACE");
        }
        for (const std::string& clause : c.clauses)
            text.addColumnClause(index, clause);
        m_rebuildNeeded = true;
    }

    void dropColumn(const std::string& name, bool cascade) {
        const int index = column(name);
        if (m_rebuild.revised.columnNames().size() == 1)
            oracle("ORA-12983: cannot drop all columns in a table");
        for (const Reference& r : referencesTo(m_db, m_table)) {
            for (const std::string& p : r.parentColumns) {
                if (sameName(p, name) && !cascade)
                    oracle("ORA-12992: cannot drop parent key column");
                if (sameName(p, name))
                    m_dropChildKeys = true;
            }
        }
        m_rebuild.revised.removeColumn(index);
        // The column's indexes go with it, as Oracle drops them.
        schema::SchemaReader reader(m_db);
        for (const schema::IndexDef& ix : reader.indexes(m_table)) {
            if (ix.origin != "c")
                continue;
            for (const schema::IndexColumn& k : ix.columns)
                if (k.expression || sameName(k.name, name))
                    m_rebuild.droppedIndexes.push_back(ix.name);
        }
        m_droppedColumns.push_back(sqlite::upperName(name));
        m_rebuildNeeded = true;
    }

    void disable(const TableChange& c) {
        std::string name = c.name;
        if (name == "PRIMARY KEY") {
            for (const NamedConstraint& k : allConstraints(m_db))
                if (sameName(k.table, m_table) && k.constraint.type == 'P')
                    name = k.constraint.name;
        }
        for (const schema::DisabledConstraint& d : m_disabled)
            if (sameName(d.table, m_table) && d.name == name)
                return;  // already disabled
        const std::optional<NamedConstraint> found = declared(name);
        if (found && (found->constraint.type == 'P' || found->constraint.type == 'U'))
            dependentsOfKey(
                upper(found->constraint.columns), c.cascade,
                "ORA-02297: cannot disable constraint (" + shown(name) + ") - dependencies exist");
        std::optional<schema::TakenConstraint> taken = m_rebuild.revised.takeConstraint(name);
        if (!taken)
            oracle("ORA-02431: cannot disable constraint (" + name + ") - no such constraint");
        schema::DisabledConstraint d;
        d.table = m_shownTable;
        d.name = name;
        d.type = found ? found->constraint.type : 'C';
        for (const AddedConstraint& a : m_added)
            if (a.name == name)
                d.type = a.type;  // added DISABLE in this statement
        d.column = taken->column;
        d.text = taken->text;
        m_newlyDisabled.push_back(d);
        m_rebuildNeeded = true;
    }

    void enable(const TableChange& c) {
        std::string name = c.name;
        for (const schema::DisabledConstraint& d : m_disabled) {
            if (!sameName(d.table, m_table))
                continue;
            if (d.name != name && !(name == "PRIMARY KEY" && d.type == 'P'))
                continue;
            if (d.column.empty()) {
                m_rebuild.revised.addConstraint(d.name, d.text);
            } else {
                m_rebuild.revised.addColumnClause(column(d.column), d.text);
            }
            if (d.type == 'R')
                m_rebuild.checkForeignKeys = true;
            m_forget.push_back(d.name);
            m_added.push_back({d.name, d.type});
            m_enabling = true;
            m_novalidate = m_novalidate || !c.validate;
            m_rebuildNeeded = true;
            return;
        }
        if (name == "PRIMARY KEY" ? primaryKeyOf(m_db, m_table).empty() : !declared(name))
            oracle("ORA-02430: cannot enable constraint (" + name + ") - no such constraint");
        // Enabled already: nothing to do.
    }

    void rename(const TableChange& c, const StoredObject& stored) {
        Transaction tx(m_db);
        if (c.kind == TableChange::Kind::RenameTable) {
            if (findObject(m_db, c.newName) || sequenceExists(m_db, c.newName))
                oracle("ORA-00955: name is already used by an existing object");
            sqlite::exec(m_db, ("ALTER TABLE " + quoteName(stored.name) + " RENAME TO " +
                                quoteName(c.newName))
                                   .c_str());
            if (schema::hasSideTables(m_db)) {
                for (const char* sql :
                     {"UPDATE main.\"quorvel$comments\" SET TABLE_NAME = ?2 WHERE TABLE_NAME = ?1",
                      "UPDATE main.\"quorvel$disabled\" SET TABLE_NAME = ?2 WHERE TABLE_NAME = "
                      "?1"}) {
                    sqlite::Statement st(m_db, sql);
                    st.bind(1, m_shownTable).bind(2, c.newName).run();
                }
            }
        } else {
            const schema::TableText text = schema::TableText::parse(stored.sql);
            if (text.findColumn(c.name) < 0)
                oracle("ORA-00904: \"" + c.name + "\": invalid identifier");
            if (text.findColumn(c.newName) >= 0)
                oracle("ORA-00957: duplicate column name");
            sqlite::exec(m_db, ("ALTER TABLE " + quoteName(stored.name) + " RENAME COLUMN " +
                                quoteName(c.name) + " TO " + quoteName(c.newName))
                                   .c_str());
            if (schema::hasSideTables(m_db)) {
                sqlite::Statement st(m_db,
                                     "UPDATE main.\"quorvel$comments\" SET COLUMN_NAME = ?3 "
                                     "WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2");
                st.bind(1, m_shownTable).bind(2, c.name).bind(3, c.newName).run();
            }
        }
        tx.commit();
    }

    [[noreturn]] void failure(const schema::RebuildResult& result) const {
        auto addedOf = [&](char type) -> std::string {
            for (const AddedConstraint& a : m_added)
                if (a.type == type)
                    return a.name;
            return m_added.empty() ? std::string() : m_added.front().name;
        };
        if (m_novalidate)
            oracle(
                "ORA-03001: unimplemented feature: ENABLE NOVALIDATE of a constraint that "
                "rows of the table violate; the constraint stays disabled");
        using O = schema::RebuildOutcome;
        const std::string verb = m_enabling ? "enable" : "validate";
        switch (result.outcome) {
            case O::PrimaryKeyViolated:
            case O::UniqueViolated: {
                // SQLite reports a key by the kind of its index; the key
                // being added tells which one Oracle names.
                bool primary = false, unique = false;
                for (const AddedConstraint& a : m_added) {
                    primary = primary || a.type == 'P';
                    unique = unique || a.type == 'U';
                }
                if (primary && (!unique || result.outcome == O::PrimaryKeyViolated))
                    oracle("ORA-02437: cannot " + verb + " (" + shown(addedOf('P')) +
                           ") - primary key violated");
                oracle("ORA-02299: cannot " + verb + " (" + shown(addedOf('U')) +
                       ") - duplicate keys found");
            }
            case O::CheckViolated:
                oracle("ORA-02293: cannot " + verb + " (" + shown(addedOf('C')) +
                       ") - check constraint violated");
            case O::ForeignKeyViolated:
                oracle("ORA-02298: cannot " + verb + " (" + shown(addedOf('R')) +
                       ") - parent keys not found");
            case O::NotNullViolated:
                if (!m_notNullName.empty())
                    oracle("ORA-02296: cannot enable (" + shown(m_notNullName) +
                           ") - null values found");
                for (const AddedConstraint& a : m_added)
                    if (a.type == 'P')
                        oracle("ORA-01449: column contains NULL values; cannot alter to NOT NULL");
                if (m_addedNotNull)
                    oracle("ORA-01758: table must be empty to add mandatory (NOT NULL) column");
                oracle("ORA-02296: cannot enable (" + shown(addedOf('C')) +
                       ") - null values found");
            case O::Done:
                break;
        }
        oracle(result.detail);
    }

    void forgetNewSequences() {
        for (const SequenceWork& s : m_newSequences) {
            if (std::find(m_replacedSequences.begin(), m_replacedSequences.end(), s.name) !=
                m_replacedSequences.end())
                continue;
            try {
                dropSequenceRow(m_db, s.name);
            } catch (const EngineError&) {
                // the rebuild's own error is the one to report
            }
        }
    }

    void writeSideTables() {
        if (m_dropChildKeys)
            dropReferencingConstraints(m_db, m_table);
        if (m_newlyDisabled.empty() && m_forget.empty() && m_droppedColumns.empty())
            return;
        schema::ensureSideTables(m_db);
        Transaction tx(m_db);
        for (const std::string& name : m_forget) {
            sqlite::Statement st(m_db,
                                 "DELETE FROM main.\"quorvel$disabled\" WHERE TABLE_NAME = ?1 "
                                 "AND CONSTRAINT_NAME = ?2");
            st.bind(1, m_shownTable).bind(2, name).run();
        }
        for (const schema::DisabledConstraint& d : m_newlyDisabled) {
            sqlite::Statement st(m_db,
                                 "INSERT OR REPLACE INTO main.\"quorvel$disabled\" VALUES (?1, "
                                 "?2, ?3, ?4, ?5)");
            st.bind(1, d.table)
                .bind(2, d.name)
                .bind(3, std::string_view(&d.type, 1))
                .bind(4, d.column)
                .bind(5, d.text)
                .run();
        }
        for (const std::string& column : m_droppedColumns) {
            sqlite::Statement st(m_db,
                                 "DELETE FROM main.\"quorvel$comments\" WHERE TABLE_NAME = ?1 "
                                 "AND COLUMN_NAME = ?2");
            st.bind(1, m_shownTable).bind(2, column).run();
        }
        tx.commit();
    }

    sqlite3* m_db;
    std::string m_owner;
    const DdlWork& m_work;
    std::string m_table, m_shownTable;
    schema::Rebuild m_rebuild;
    bool m_rebuildNeeded = false;
    std::vector<schema::DisabledConstraint> m_disabled, m_newlyDisabled;
    std::vector<std::string> m_forget, m_droppedColumns, m_replacedSequences;
    std::vector<AddedConstraint> m_added;
    std::vector<SequenceWork> m_newSequences;
    std::string m_notNullName;
    bool m_addedNotNull = false, m_keyDropped = false, m_dropChildKeys = false;
    bool m_enabling = false, m_novalidate = false;
};

// ------------------------------------------------------------ the others

void comment(sqlite3* db, const DdlWork& w) {
    commitOpen(db);
    const std::optional<StoredObject> object = findObject(db, w.table);
    if (!object)
        oracle("ORA-00942: table or view does not exist");
    if (!w.column.empty()) {
        schema::SchemaReader reader(db);
        bool found = false;
        for (const schema::ColumnDef& c : reader.columns(object->name))
            found = found || sameName(c.name, w.column);
        if (!found)
            oracle("ORA-00904: \"" + w.column + "\": invalid identifier");
    }
    schema::ensureSideTables(db);
    Transaction tx(db);
    sqlite::Statement st(db,
                         "INSERT OR REPLACE INTO main.\"quorvel$comments\" VALUES (?1, ?2, ?3)");
    st.bind(1, sqlite::upperName(object->name))
        .bind(2, sqlite::upperName(w.column))
        .bindTextOrNull(3, w.text)
        .run();
    tx.commit();
}

void truncate(sqlite3* db, const DdlWork& w) {
    commitOpen(db);
    if (!findObject(db, w.table) && schema::provideTemporaryTable(db, w.table)) {
        sqlite::exec(db, ("DELETE FROM temp." + quoteName(w.table)).c_str());
        return;
    }
    const StoredObject table = requireTable(db, w.table);
    if (!referencesTo(db, table.name).empty())
        oracle("ORA-02266: unique/primary keys in table referenced by enabled foreign keys");
    Transaction tx(db);
    sqlite::exec(db, ("DELETE FROM " + quoteName(table.name)).c_str());
    tx.commit();
}

void alterSession(const DdlSession& s, const DdlWork& w) {
    static constexpr std::string_view kAccepted[] = {"NLS_LANGUAGE",
                                                     "NLS_TERRITORY",
                                                     "CURRENT_SCHEMA",
                                                     "NLS_SORT",
                                                     "NLS_COMP",
                                                     "NLS_NUMERIC_CHARACTERS",
                                                     "NLS_CURRENCY",
                                                     "NLS_ISO_CURRENCY",
                                                     "NLS_DATE_LANGUAGE",
                                                     "NLS_LENGTH_SEMANTICS",
                                                     "NLS_TIMESTAMP_TZ_FORMAT",
                                                     "TIME_ZONE",
                                                     "OPTIMIZER_MODE",
                                                     "STATISTICS_LEVEL",
                                                     "SQL_TRACE",
                                                     "NLS_DUAL_CURRENCY",
                                                     "DDL_LOCK_TIMEOUT",
                                                     "PLSQL_WARNINGS",
                                                     "EDITION",
                                                     "CONTAINER",
                                                     "OPTIMIZER_FEATURES_ENABLE",
                                                     "NLS_CALENDAR",
                                                     "NLS_NCHAR_CONV_EXCP",
                                                     "TRACEFILE_IDENTIFIER"};
    // Checked first, so that a refused setting leaves the others unchanged.
    for (const auto& [name, value] : w.settings) {
        const bool known =
            name == "NLS_DATE_FORMAT" || name == "NLS_TIMESTAMP_FORMAT" ||
            std::find(std::begin(kAccepted), std::end(kAccepted), name) != std::end(kAccepted);
        if (!known)
            oracle("ORA-02248: invalid option for ALTER SESSION");
        if (name == "CURRENT_SCHEMA" && !s.owner.empty() && value != s.owner)
            oracle(
                "ORA-03001: unimplemented feature: CURRENT_SCHEMA other than the user's "
                "own (" +
                s.owner + ") on the local engine");
    }
    for (const auto& [name, value] : w.settings) {
        if (!s.settings)
            break;
        if (name == "NLS_DATE_FORMAT")
            s.settings->dateFormat = value;
        else if (name == "NLS_TIMESTAMP_FORMAT")
            s.settings->timestampFormat = value;
    }
}

void createSynonym(sqlite3* db, const dialect::Translation& t) {
    const DdlWork& w = t.ddl;
    commitOpen(db);
    schema::ensureSideTables(db);
    Transaction tx(db);
    if (std::optional<StoredObject> existing = findObject(db, w.name)) {
        if (!w.replace || schema::objectKind(db, existing->name) != "SYNONYM")
            oracle("ORA-00955: name is already used by an existing object");
        sqlite::exec(db, ("DROP VIEW " + quoteName(existing->name)).c_str());
    }
    if (!findObject(db, w.table))
        oracle("ORA-00942: table or view does not exist");
    sqlite::exec(db, t.sql.c_str());
    sqlite::Statement st(db, "INSERT OR REPLACE INTO main.\"quorvel$objects\" VALUES (?1, ?2)");
    st.bind(1, w.name).bind(2, "SYNONYM").run();
    tx.commit();
}

void dropSynonym(sqlite3* db, const DdlWork& w) {
    commitOpen(db);
    const std::optional<StoredObject> existing = findObject(db, w.name);
    if (!existing || schema::objectKind(db, existing->name) != "SYNONYM") {
        if (w.ifExists)
            return;
        oracle("ORA-01434: private synonym to be dropped does not exist");
    }
    Transaction tx(db);
    sqlite::exec(db, ("DROP VIEW " + quoteName(existing->name)).c_str());
    sqlite::Statement st(db, "DELETE FROM main.\"quorvel$objects\" WHERE OBJECT_NAME = ?1");
    st.bind(1, existing->name).run();
    tx.commit();
}

void createView(sqlite3* db, const dialect::Translation& t) {
    const DdlWork& w = t.ddl;
    commitOpen(db);
    if (w.readOnly)
        schema::ensureSideTables(db);
    Transaction tx(db);
    if (std::optional<StoredObject> existing = findObject(db, w.name)) {
        if (!w.replace || existing->type != "view" ||
            schema::objectKind(db, existing->name) == "SYNONYM")
            oracle("ORA-00955: name is already used by an existing object");
        sqlite::exec(db, ("DROP VIEW " + quoteName(existing->name)).c_str());
    }
    sqlite::exec(db, t.sql.c_str());
    if (schema::hasSideTables(db)) {
        sqlite::Statement st(db, w.readOnly ? "INSERT OR REPLACE INTO main.\"quorvel$objects\" "
                                              "VALUES (?1, 'READ ONLY VIEW')"
                                            : "DELETE FROM main.\"quorvel$objects\" WHERE "
                                              "OBJECT_NAME = ?1");
        st.bind(1, w.name).run();
    }
    tx.commit();
}

void createTable(sqlite3* db, const dialect::Translation& t) {
    commitOpen(db);
    std::vector<schema::SequenceRow> rows;
    for (const auto& [column, sequence] : t.ddl.identities)
        rows.push_back(newSequence(sequence));
    if (!rows.empty())
        schema::ensureSideTables(db);
    Transaction tx(db);
    if (findObject(db, t.ddl.table) || schema::provideTemporaryTable(db, t.ddl.table))
        oracle("ORA-00955: name is already used by an existing object");
    for (const schema::SequenceRow& r : rows)
        writeSequence(db, r);  // a sequence left by an older table of that name is replaced
    sqlite::exec(db, t.sql.c_str());
    if (t.ddl.temporary)
        schema::keepTemporaryTable(db, t.ddl.table, t.sql);
    tx.commit();
}

void dropTable(sqlite3* db, const dialect::Translation& t) {
    const DdlWork& w = t.ddl;
    commitOpen(db);
    const std::optional<StoredObject> table = findObject(db, w.table);
    if (!table && schema::provideTemporaryTable(db, w.table)) {
        // A global temporary table: its definition and this connection's copy.
        Transaction tx(db);
        sqlite::exec(db, ("DROP TABLE temp." + quoteName(w.table)).c_str());
        schema::forgetTemporaryTable(db, w.table);
        tx.commit();
        return;
    }
    if (!table || table->type != "table") {
        if (w.ifExists)
            return;
        oracle("ORA-00942: table or view does not exist");
    }
    if (!referencesTo(db, table->name).empty()) {
        if (!w.cascade)
            oracle("ORA-02449: unique/primary keys in table referenced by foreign keys");
        dropReferencingConstraints(db, table->name);
    }
    Transaction tx(db);
    sqlite::exec(db, t.sql.c_str());
    if (schema::hasSideTables(db)) {
        const std::string shown = sqlite::upperName(table->name);
        for (const char* sql :
             {"DELETE FROM main.\"quorvel$comments\" WHERE TABLE_NAME = ?1",
              "DELETE FROM main.\"quorvel$disabled\" WHERE TABLE_NAME = ?1",
              "DELETE FROM main.\"quorvel$sequences\" WHERE substr(SEQUENCE_NAME, 1, "
              "length(?1) + 8) = 'ISEQ$$_' || ?1 || '_'"}) {
            sqlite::Statement st(db, sql);
            st.bind(1, shown).run();
        }
    }
    tx.commit();
}

}  // namespace

void runDdl(const DdlSession& session, const dialect::Translation& t) {
    sqlite3* db = session.db;
    const DdlWork& w = t.ddl;
    switch (w.kind) {
        case DdlWork::Kind::None:
            break;
        case DdlWork::Kind::AlterTable:
            TableAlterer(db, session.owner, w).run();
            break;
        case DdlWork::Kind::CreateSequence:
            createSequence(db, w.sequence);
            break;
        case DdlWork::Kind::AlterSequence:
            alterSequence(db, w.sequence);
            break;
        case DdlWork::Kind::DropSequence:
            dropSequence(db, w);
            break;
        case DdlWork::Kind::Comment:
            comment(db, w);
            break;
        case DdlWork::Kind::Truncate:
            truncate(db, w);
            break;
        case DdlWork::Kind::AlterSession:
            alterSession(session, w);
            break;
        case DdlWork::Kind::CreateSynonym:
            createSynonym(db, t);
            break;
        case DdlWork::Kind::DropSynonym:
            dropSynonym(db, w);
            break;
        case DdlWork::Kind::CreateTable:
            createTable(db, t);
            break;
        case DdlWork::Kind::DropTable:
            dropTable(db, t);
            break;
        case DdlWork::Kind::CreateView:
            createView(db, t);
            break;
    }
}

}  // namespace localengine
