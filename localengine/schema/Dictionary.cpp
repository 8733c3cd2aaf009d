#include "schema/Dictionary.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <sstream>

#include "dialect/DdlWork.h"
#include "schema/Constraints.h"
#include "schema/SchemaReader.h"
#include "schema/SideTables.h"
#include "schema/Statistics.h"
#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine::schema {

namespace {

using sqlite::Statement;
using sqlite::upperName;

const char* const kTables =
    "CREATE TEMP TABLE IF NOT EXISTS USER_TABLES (TABLE_NAME TEXT, TABLESPACE_NAME TEXT, STATUS "
    "TEXT,"
    " NUM_ROWS INTEGER, BLOCKS INTEGER, AVG_ROW_LEN INTEGER, LAST_ANALYZED TEXT, TEMPORARY TEXT, "
    "IOT_TYPE TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_TAB_COLUMNS (TABLE_NAME TEXT, COLUMN_NAME TEXT, "
    "DATA_TYPE TEXT,"
    " DATA_LENGTH INTEGER, DATA_PRECISION INTEGER, DATA_SCALE INTEGER, NULLABLE TEXT, COLUMN_ID "
    "INTEGER,"
    " DATA_DEFAULT TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_INDEXES (INDEX_NAME TEXT, INDEX_TYPE TEXT, TABLE_OWNER "
    "TEXT,"
    " TABLE_NAME TEXT, TABLE_TYPE TEXT, UNIQUENESS TEXT, STATUS TEXT, NUM_ROWS INTEGER, "
    "DISTINCT_KEYS INTEGER);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_IND_COLUMNS (INDEX_NAME TEXT, TABLE_NAME TEXT, "
    "COLUMN_NAME TEXT,"
    " COLUMN_POSITION INTEGER, DESCEND TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_CONSTRAINTS (OWNER TEXT, CONSTRAINT_NAME TEXT, "
    "CONSTRAINT_TYPE TEXT,"
    " TABLE_NAME TEXT, SEARCH_CONDITION TEXT, R_OWNER TEXT, R_CONSTRAINT_NAME TEXT, STATUS TEXT, "
    "INDEX_NAME TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_CONS_COLUMNS (OWNER TEXT, CONSTRAINT_NAME TEXT, "
    "TABLE_NAME TEXT,"
    " COLUMN_NAME TEXT, POSITION INTEGER);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_VIEWS (VIEW_NAME TEXT, TEXT_LENGTH INTEGER, TEXT TEXT,"
    " READ_ONLY TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_SEQUENCES (SEQUENCE_NAME TEXT, MIN_VALUE NUMBER,"
    " MAX_VALUE NUMBER, INCREMENT_BY NUMBER, CYCLE_FLAG TEXT, ORDER_FLAG TEXT, CACHE_SIZE NUMBER,"
    " LAST_NUMBER NUMBER);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_TAB_COMMENTS (TABLE_NAME TEXT, TABLE_TYPE TEXT,"
    " COMMENTS TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_COL_COMMENTS (TABLE_NAME TEXT, COLUMN_NAME TEXT,"
    " COMMENTS TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_SYNONYMS (SYNONYM_NAME TEXT, TABLE_OWNER TEXT,"
    " TABLE_NAME TEXT, DB_LINK TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_OBJECTS (OBJECT_NAME TEXT, OBJECT_TYPE TEXT, STATUS "
    "TEXT);"
    "CREATE TEMP VIEW IF NOT EXISTS TABS AS SELECT * FROM USER_TABLES;"
    "CREATE TEMP VIEW IF NOT EXISTS DUAL AS SELECT 'X' AS DUMMY;";

// ------------------------------------------------- the schema as shown --
// Names are upper case, as Oracle shows unquoted identifiers.

struct DictIndex {
    std::string sqliteName;  // empty for the key index an INTEGER PRIMARY KEY stands for
    std::string name;
    bool unique = false;
    std::string origin;
    std::vector<std::pair<std::string, bool>> columns;  // name, descending
};

struct DictTable {
    std::string sqliteName, name, type, sql;
    std::string kind;  // a view's: "READ ONLY VIEW", "SYNONYM" or empty
    std::optional<std::int64_t> rows;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey;  // in key order
    std::vector<DictIndex> indexes;
    std::vector<DeclaredConstraint> constraints;  // names filled in
};

// The tables and views of the schema (not SQLite's own), by name.
std::vector<DictTable> readTables(SchemaReader& reader) {
    std::vector<DictTable> tables;
    for (SchemaObject& o : reader.objects()) {
        if ((o.type != "table" && o.type != "view") ||
            sqlite::sameName(o.name.substr(0, 7), "sqlite_") || isEngineTable(o.name))
            continue;
        DictTable t;
        t.name = upperName(o.name);
        t.sqliteName = std::move(o.name);
        t.type = std::move(o.type);
        t.sql = std::move(o.sql);
        tables.push_back(std::move(t));
    }
    std::sort(tables.begin(), tables.end(),
              [](const DictTable& a, const DictTable& b) { return a.name < b.name; });
    return tables;
}

void readColumns(SchemaReader& reader, DictTable& t) {
    t.columns = reader.columns(t.sqliteName);
    std::vector<std::pair<int, std::string>> key;
    for (ColumnDef& c : t.columns) {
        c.name = upperName(c.name);
        if (c.primaryKeyPosition > 0)
            key.emplace_back(c.primaryKeyPosition, c.name);
    }
    std::sort(key.begin(), key.end());
    for (auto& k : key)
        t.primaryKey.push_back(std::move(k.second));
}

// The declared constraints, the primary key as SQLite records it (also one
// the text declares on a column), every unnamed one given Oracle's name.
void readConstraints(DictTable& t, std::map<std::string, std::string>& primaryKeyNames) {
    t.constraints = declaredConstraints(t.sql);
    bool declaredKey = false;
    for (DeclaredConstraint& c : t.constraints) {
        if (c.type == 'P') {
            declaredKey = true;
            c.columns = t.primaryKey;
        }
    }
    if (!declaredKey && !t.primaryKey.empty()) {
        DeclaredConstraint c;
        c.type = 'P';
        c.columns = t.primaryKey;
        t.constraints.insert(t.constraints.begin(), c);
    }
    for (DeclaredConstraint& c : t.constraints) {
        if (c.name.empty())
            c.name = generatedConstraintName(t.name, c.type, c.columns, c.condition);
        if (c.type == 'P')
            primaryKeyNames[t.name] = c.name;
    }
}

// Oracle names a constraint's index after the constraint.
std::string constraintNameOf(const DictTable& t, const DictIndex& ix) {
    for (const DeclaredConstraint& c : t.constraints) {
        if ((ix.origin == "pk" && c.type == 'P') || (ix.origin == "u" && c.type == 'U')) {
            bool same = c.columns.size() == ix.columns.size();
            for (std::size_t k = 0; same && k < c.columns.size(); ++k)
                same = c.columns[k] == ix.columns[k].first;
            if (same)
                return c.name;
        }
    }
    return {};
}

void readIndexes(SchemaReader& reader, DictTable& t, const std::string& primaryKeyName) {
    bool keyIndex = false;
    for (IndexDef& def : reader.indexes(t.sqliteName)) {
        DictIndex ix{def.name, upperName(def.name), def.unique, def.origin, {}};
        for (const IndexColumn& c : def.columns)
            ix.columns.emplace_back(upperName(c.name), c.descending);
        const std::string constraint = constraintNameOf(t, ix);
        if (!constraint.empty())
            ix.name = constraint;
        keyIndex = keyIndex || ix.origin == "pk";
        t.indexes.push_back(std::move(ix));
    }
    if (!t.primaryKey.empty() && !keyIndex) {
        // An INTEGER PRIMARY KEY is the rowid itself: show the unique
        // index Oracle would have.
        DictIndex ix;
        ix.name = primaryKeyName;
        ix.unique = true;
        ix.origin = "pk";
        for (const auto& c : t.primaryKey)
            ix.columns.emplace_back(c, false);
        t.indexes.insert(t.indexes.begin(), ix);
    }
}

// The constraints kept aside while disabled, read back as the clauses they
// were: a table constraint, or a clause of one column.
void readDisabled(DictTable& t, const std::vector<DisabledConstraint>& disabled) {
    for (const DisabledConstraint& d : disabled) {
        if (d.table != t.name)
            continue;
        const std::string text =
            "CREATE TABLE x (" +
            (d.column.empty() ? "x, " + d.text : sqlite::quoteName(d.column) + " " + d.text) + ")";
        for (DeclaredConstraint& c : declaredConstraints(text)) {
            c.name = d.name;
            c.disabled = true;
            if (!d.column.empty())
                c.columns = {upperName(d.column)};
            t.constraints.push_back(std::move(c));
        }
    }
}

std::vector<DictTable> readSchema(sqlite3* db, const Statistics& stats,
                                  std::map<std::string, std::string>& primaryKeyNames) {
    SchemaReader reader(db);
    std::vector<DictTable> tables = readTables(reader);
    const std::vector<DisabledConstraint> disabled = disabledConstraints(db);
    for (DictTable& t : tables) {
        readColumns(reader, t);
        if (t.type != "table") {
            t.kind = objectKind(db, t.sqliteName);
            continue;
        }
        if (auto rows = stats.tableRows(t.name))
            t.rows = static_cast<std::int64_t>(*rows);
        readConstraints(t, primaryKeyNames);
        readIndexes(reader, t, primaryKeyNames[t.name]);
        readDisabled(t, disabled);
    }
    return tables;
}

// DATA_TYPE, DATA_LENGTH, DATA_PRECISION and DATA_SCALE of a declared type.
struct OracleType {
    std::string type;
    std::optional<std::int64_t> length, precision, scale;
};

OracleType splitType(const std::string& declared) {
    OracleType out;
    std::string t = upperName(declared);
    t.erase(std::remove(t.begin(), t.end(), '"'), t.end());  // INTERVAL DAY "TO" SECOND
    std::vector<std::int64_t> args;
    const std::size_t paren = t.find('(');
    if (paren != std::string::npos) {
        std::string inside = t.substr(paren + 1, t.find(')', paren) - paren - 1);
        t = t.substr(0, paren);
        std::stringstream ss(inside);
        std::string part;
        while (std::getline(ss, part, ','))
            args.push_back(std::atoll(part.c_str()));
    }
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    // The names Oracle records for ANSI and SQLite's spellings (SQL
    // Language Reference, "ANSI, DB2, and SQL/DS Data Types").
    auto oneOf = [&](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return t == n; });
    };
    if (t == "LONG VARCHAR")
        t = "LONG";
    else if (oneOf({"CHARACTER"}))
        t = "CHAR";
    else if (oneOf({"VARCHAR", "CHARACTER VARYING", "CHAR VARYING"}))
        t = "VARCHAR2";
    else if (oneOf({"NATIONAL CHARACTER", "NATIONAL CHAR"}))
        t = "NCHAR";
    else if (oneOf({"NATIONAL CHARACTER VARYING", "NATIONAL CHAR VARYING", "NCHAR VARYING"}))
        t = "NVARCHAR2";
    if (t.empty())
        t = "UNDEFINED";
    out.type = t;
    if (oneOf({"INTEGER", "INT", "SMALLINT"}) && args.empty()) {
        // NUMBER(38) as Oracle keeps it: no precision, scale 0.
        out.type = "NUMBER";
        out.length = 22;
        out.scale = 0;
    } else if (oneOf({"NUMBER", "NUMERIC", "DECIMAL", "DEC"})) {
        out.type = "NUMBER";
        out.length = 22;
        if (!args.empty())
            out.precision = args[0];
        if (args.size() > 1)
            out.scale = args[1];
        else if (!args.empty() || t != "NUMBER")
            out.scale = 0;  // NUMBER(p), and NUMERIC/DECIMAL whose scale defaults to 0
    } else if (oneOf({"FLOAT", "DOUBLE PRECISION", "REAL"})) {
        // Binary precision: FLOAT(126) unless given, REAL FLOAT(63).
        out.type = "FLOAT";
        out.length = 22;
        out.precision = !args.empty() ? args[0] : t == "REAL" ? 63 : 126;
    } else if (t == "DATE") {
        out.length = 7;
    } else if (t.compare(0, 9, "TIMESTAMP") == 0) {
        // TIMESTAMP(6) [WITH [LOCAL] TIME ZONE]: the fraction's digits as
        // the scale, 7 bytes without a fraction, 11 with, 13 with a zone.
        const std::int64_t digits = args.empty() ? 6 : args[0];
        out.type = "TIMESTAMP(" + std::to_string(digits) + ")" + t.substr(9);
        out.scale = digits;
        out.length = t == "TIMESTAMP WITH TIME ZONE" ? 13 : digits == 0 ? 7 : 11;
    } else if (!args.empty()) {
        out.length = args[0];
    } else if (oneOf({"CHAR", "NCHAR"})) {
        out.length = 1;
    }
    return out;
}

// ------------------------------------------------- filling the views --

class DictionaryWriter {
public:
    DictionaryWriter(sqlite3* db, std::string owner, const Statistics& stats,
                     const std::map<std::string, std::string>& primaryKeyNames)
        : m_owner(std::move(owner)),
          m_stats(stats),
          m_primaryKeyNames(primaryKeyNames),
          m_table(db,
                  "INSERT INTO temp.USER_TABLES VALUES (?1, 'USERS', 'VALID', ?2, NULL, NULL, "
                  "NULL, 'N', ?3)"),
          m_column(db,
                   "INSERT INTO temp.USER_TAB_COLUMNS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"),
          m_index(db,
                  "INSERT INTO temp.USER_INDEXES VALUES (?1, 'NORMAL', ?2, ?3, 'TABLE', ?4, "
                  "'VALID', ?5, ?6)"),
          m_indexColumn(db, "INSERT INTO temp.USER_IND_COLUMNS VALUES (?1, ?2, ?3, ?4, ?5)"),
          m_constraint(db,
                       "INSERT INTO temp.USER_CONSTRAINTS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
                       "?9, ?8)"),
          m_constraintColumn(db, "INSERT INTO temp.USER_CONS_COLUMNS VALUES (?1, ?2, ?3, ?4, ?5)"),
          m_view(db, "INSERT INTO temp.USER_VIEWS VALUES (?1, ?2, ?3, ?4)"),
          m_object(db, "INSERT INTO temp.USER_OBJECTS VALUES (?1, ?2, 'VALID')") {}

    void write(const DictTable& t) {
        m_object.bind(1, t.name)
            .bind(2, t.type == "table"     ? "TABLE"
                     : t.kind == "SYNONYM" ? "SYNONYM"
                                           : "VIEW")
            .run();
        if (t.type == "view")
            writeView(t);
        else
            writeTable(t);
        writeColumns(t);
        for (const DictIndex& ix : t.indexes)
            writeIndex(t, ix);
        for (const DeclaredConstraint& c : t.constraints)
            writeConstraint(t, c);
    }

private:
    void writeView(const DictTable& t) {
        const std::size_t as = upperName(t.sql).find(" AS ");
        const std::string text = as == std::string::npos ? t.sql : t.sql.substr(as + 4);
        m_view.bind(1, t.name)
            .bind(2, static_cast<std::int64_t>(text.size()))
            .bind(3, text)
            .bind(4, t.kind == "READ ONLY VIEW" ? "Y" : "N")
            .run();
    }

    void writeTable(const DictTable& t) {
        m_table.bind(1, t.name)
            .bind(2, t.rows)
            .bindTextOrNull(3, isWithoutRowid(t.sql) ? "IOT" : "")
            .run();
    }

    void writeColumns(const DictTable& t) {
        for (std::size_t ci = 0; ci < t.columns.size(); ++ci) {
            const ColumnDef& c = t.columns[ci];
            const OracleType type = splitType(c.declaredType);
            m_column.bind(1, t.name)
                .bind(2, c.name)
                .bind(3, type.type)
                .bind(4, type.length)
                .bind(5, type.precision)
                .bind(6, type.scale)
                .bind(7, c.notNull || c.primaryKeyPosition ? "N" : "Y")
                .bind(8, static_cast<std::int64_t>(ci + 1))
                .bindTextOrNull(9, dialect::writtenDefault(c.defaultValue))
                .run();
        }
    }

    void writeIndex(const DictTable& t, const DictIndex& ix) {
        m_object.bind(1, ix.name).bind(2, "INDEX").run();
        std::optional<std::int64_t> rows, distinct;
        const std::vector<double>* stat =
            ix.sqliteName.empty() ? nullptr : m_stats.indexNumbers(ix.sqliteName);
        if (stat) {
            rows = static_cast<std::int64_t>((*stat)[0]);
            const auto last = static_cast<std::int64_t>(stat->back());
            if (stat->size() > 1 && last > 0)
                distinct = *rows / last;
        } else if (ix.sqliteName.empty()) {
            rows = t.rows;
            distinct = t.rows;
        }
        m_index.bind(1, ix.name)
            .bind(2, m_owner)
            .bind(3, t.name)
            .bind(4, ix.unique ? "UNIQUE" : "NONUNIQUE")
            .bind(5, rows)
            .bind(6, distinct)
            .run();
        for (std::size_t k = 0; k < ix.columns.size(); ++k)
            m_indexColumn.bind(1, ix.name)
                .bind(2, t.name)
                .bind(3, ix.columns[k].first)
                .bind(4, static_cast<std::int64_t>(k + 1))
                .bind(5, ix.columns[k].second ? "DESC" : "ASC")
                .run();
    }

    void writeConstraint(const DictTable& t, const DeclaredConstraint& c) {
        std::string rOwner, rName, indexName, condition;
        if (c.type == 'R') {
            auto it = m_primaryKeyNames.find(upperName(c.condition));
            rOwner = m_owner;
            if (it != m_primaryKeyNames.end())
                rName = it->second;
        } else if (c.type == 'C') {
            condition = c.condition;
        }
        if (c.type == 'P' || c.type == 'U')
            indexName = c.name;
        m_constraint.bind(1, m_owner)
            .bind(2, c.name)
            .bind(3, std::string_view(&c.type, 1))
            .bind(4, t.name)
            .bindTextOrNull(5, condition)
            .bindTextOrNull(6, rOwner)
            .bindTextOrNull(7, rName)
            .bindTextOrNull(8, indexName)
            .bind(9, c.disabled ? "DISABLED" : "ENABLED")
            .run();
        for (std::size_t k = 0; k < c.columns.size(); ++k) {
            std::optional<std::int64_t> position;
            if (c.type != 'C')
                position = static_cast<std::int64_t>(k + 1);
            m_constraintColumn.bind(1, m_owner)
                .bind(2, c.name)
                .bind(3, t.name)
                .bind(4, c.columns[k])
                .bind(5, position)
                .run();
        }
    }

    std::string m_owner;
    const Statistics& m_stats;
    const std::map<std::string, std::string>& m_primaryKeyNames;
    Statement m_table, m_column, m_index, m_indexColumn, m_constraint, m_constraintColumn, m_view,
        m_object;
};

// USER_SEQUENCES, USER_TAB_COMMENTS, USER_COL_COMMENTS and USER_SYNONYMS
// from the engine's own tables.
void writeSideViews(sqlite3* db, const std::string& owner, const std::vector<DictTable>& tables) {
    sqlite::exec(db,
                 "DELETE FROM temp.USER_SEQUENCES; DELETE FROM temp.USER_TAB_COMMENTS;"
                 "DELETE FROM temp.USER_COL_COMMENTS; DELETE FROM temp.USER_SYNONYMS;");
    Statement sequence(db,
                       "INSERT INTO temp.USER_SEQUENCES VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    for (const SequenceRow& r : sequences(db)) {
        sequence.bind(1, r.name);
        // Oracle's limits beyond 64 bits: 28 nines up, 27 down.
        if (r.minValue == std::numeric_limits<std::int64_t>::min())
            sequence.bind(2, -999999999999999999999999999.0);
        else
            sequence.bind(2, r.minValue);
        if (r.maxValue)
            sequence.bind(3, *r.maxValue);
        else
            sequence.bind(3, 9999999999999999999999999999.0);
        sequence.bind(4, r.incrementBy)
            .bind(5, r.cycle ? "Y" : "N")
            .bind(6, r.order ? "Y" : "N")
            .bind(7, r.cacheSize)
            .bind(8, r.nextValue)
            .run();
    }
    std::map<std::pair<std::string, std::string>, std::string> notes;
    for (const Comment& c : comments(db))
        notes[{c.table, c.column}] = c.text;
    auto note = [&](const std::string& table, const std::string& column) {
        auto found = notes.find({table, column});
        return found == notes.end() ? std::string() : found->second;
    };
    Statement tableComment(db, "INSERT INTO temp.USER_TAB_COMMENTS VALUES (?1, ?2, ?3)");
    Statement columnComment(db, "INSERT INTO temp.USER_COL_COMMENTS VALUES (?1, ?2, ?3)");
    Statement synonym(db, "INSERT INTO temp.USER_SYNONYMS VALUES (?1, ?2, ?3, NULL)");
    for (const DictTable& t : tables) {
        if (t.kind == "SYNONYM") {
            const std::size_t from = upperName(t.sql).rfind(" FROM ");
            std::string target = from == std::string::npos ? std::string() : t.sql.substr(from + 6);
            while (!target.empty() && (target.back() == ' ' || target.back() == ';'))
                target.pop_back();
            if (target.size() > 1 && target.front() == '"' && target.back() == '"')
                target = target.substr(1, target.size() - 2);
            synonym.bind(1, t.name).bind(2, owner).bind(3, upperName(target)).run();
            continue;
        }
        tableComment.bind(1, t.name)
            .bind(2, t.type == "table" ? "TABLE" : "VIEW")
            .bindTextOrNull(3, note(t.name, ""))
            .run();
        for (const ColumnDef& c : t.columns)
            columnComment.bind(1, t.name)
                .bind(2, c.name)
                .bindTextOrNull(3, note(t.name, c.name))
                .run();
    }
}

}  // namespace

void installDictionary(sqlite3* db) {
    sqlite::exec(db, kTables);
}

void refreshDictionary(sqlite3* db, const std::string& owner) {
    std::map<std::string, std::string> primaryKeyNames;  // table -> its key's constraint name
    const Statistics stats = Statistics::read(db);
    const std::vector<DictTable> tables = readSchema(db, stats, primaryKeyNames);
    sqlite::exec(db,
                 "DELETE FROM temp.USER_TABLES; DELETE FROM temp.USER_TAB_COLUMNS; DELETE FROM "
                 "temp.USER_INDEXES;"
                 "DELETE FROM temp.USER_IND_COLUMNS; DELETE FROM temp.USER_CONSTRAINTS; DELETE "
                 "FROM temp.USER_CONS_COLUMNS;"
                 "DELETE FROM temp.USER_VIEWS; DELETE FROM temp.USER_OBJECTS;");
    DictionaryWriter writer(db, owner, stats, primaryKeyNames);
    for (const DictTable& t : tables)
        writer.write(t);
    writeSideViews(db, owner, tables);
}

}  // namespace localengine::schema
