#include "Dictionary.h"

#include "LocalEngine.h"
#include "SqlTokenizer.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>

namespace localengine {

namespace {

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string message = err ? err : "error";
        sqlite3_free(err);
        throw EngineError(message, sqlite3_extended_errcode(db));
    }
}

class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            throw EngineError(sqlite3_errmsg(db), sqlite3_extended_errcode(db));
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Stmt& bind(int i, const std::string& s) {
        sqlite3_bind_text(m_stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Stmt& bind(int i, const std::optional<std::int64_t>& v) {
        if (v)
            sqlite3_bind_int64(m_stmt, i, *v);
        else
            sqlite3_bind_null(m_stmt, i);
        return *this;
    }
    Stmt& bindOrNull(int i, const std::string& s) {
        if (s.empty())
            sqlite3_bind_null(m_stmt, i);
        else
            bind(i, s);
        return *this;
    }
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw EngineError(sqlite3_errmsg(m_db), sqlite3_extended_errcode(m_db));
        return false;
    }
    void run() {
        step();
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void reset() { sqlite3_reset(m_stmt); }
    std::string text(int col) const {
        const unsigned char* t = sqlite3_column_text(m_stmt, col);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    bool isNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

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
    "CREATE TEMP TABLE IF NOT EXISTS USER_VIEWS (VIEW_NAME TEXT, TEXT_LENGTH INTEGER, TEXT TEXT);"
    "CREATE TEMP TABLE IF NOT EXISTS USER_OBJECTS (OBJECT_NAME TEXT, OBJECT_TYPE TEXT, STATUS "
    "TEXT);"
    "CREATE TEMP VIEW IF NOT EXISTS TABS AS SELECT * FROM USER_TABLES;"
    "CREATE TEMP VIEW IF NOT EXISTS DUAL AS SELECT 'X' AS DUMMY;";

std::string nameOf(const Token& t) {
    return t.name();
}

// Index of the token closing the parenthesis opened at `open`.
std::size_t closing(const std::vector<Token>& toks, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < toks.size(); ++i) {
        if (toks[i].isOp("("))
            ++depth;
        else if (toks[i].isOp(")") && --depth == 0)
            return i;
    }
    return toks.size();
}

// Column names of a parenthesised list: the first name of each item.
std::vector<std::string> columnList(const std::vector<Token>& toks, std::size_t open,
                                    std::size_t close) {
    std::vector<std::string> cols;
    bool expectName = true;
    for (std::size_t i = open + 1; i < close; ++i) {
        if (toks[i].isOp(",")) {
            expectName = true;
        } else if (expectName && (toks[i].kind == Token::Kind::Ident ||
                                  toks[i].kind == Token::Kind::QuotedIdent)) {
            cols.push_back(nameOf(toks[i]));
            expectName = false;
        }
    }
    return cols;
}

std::uint32_t fnv(const std::string& s) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

struct Column {
    std::string name, type, dflt;
    bool notNull = false;
    int pk = 0;
};

struct IndexInfo {
    std::string sqliteName, name;
    bool unique = false;
    std::string origin;
    std::vector<std::pair<std::string, bool>> columns;  // name, descending
};

struct TableInfo {
    std::string sqliteName, name, type, sql;
    std::optional<std::int64_t> rows;
    std::vector<Column> columns;
    std::vector<IndexInfo> indexes;
    std::vector<DeclaredConstraint> constraints;  // names filled in
};

// DATA_TYPE, DATA_LENGTH, DATA_PRECISION and DATA_SCALE of a declared type.
void splitType(const std::string& declared, std::string& type, std::optional<std::int64_t>& length,
               std::optional<std::int64_t>& precision, std::optional<std::int64_t>& scale) {
    std::string t = upperAscii(declared);
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
    if (t == "LONG VARCHAR")
        t = "LONG";
    if (t.empty())
        t = "UNDEFINED";
    type = t;
    const bool numeric = t == "NUMBER" || t == "NUMERIC" || t == "DECIMAL" || t == "INTEGER" ||
                         t == "INT" || t == "FLOAT" || t == "REAL" || t == "DOUBLE";
    if (numeric) {
        length = 22;
        if (!args.empty())
            precision = args[0];
        if (args.size() > 1)
            scale = args[1];
        else if (t == "INTEGER" || t == "INT")
            scale = 0;
    } else if (t == "DATE") {
        length = 7;
    } else if (!args.empty()) {
        length = args[0];
    }
}

}  // namespace

std::vector<DeclaredConstraint> declaredConstraints(const std::string& sql) {
    std::vector<DeclaredConstraint> out;
    std::vector<Token> toks;
    try {
        toks = tokenize(sql);
    } catch (const EngineError&) {
        return out;
    }
    std::size_t open = 0;
    while (open < toks.size() && !toks[open].isOp("("))
        ++open;
    if (open >= toks.size())
        return out;
    const std::size_t end = closing(toks, open);
    auto conditionText = [&](std::size_t o) {
        const std::size_t c = closing(toks, o);
        if (c >= toks.size() || c == o + 1)
            return std::string();
        return sql.substr(toks[o + 1].begin, toks[c - 1].end - toks[o + 1].begin);
    };
    std::size_t i = open + 1;
    while (i < end) {
        // one definition: up to the next comma at this depth
        std::size_t defEnd = i;
        int depth = 0;
        while (defEnd < end && !(depth == 0 && toks[defEnd].isOp(","))) {
            if (toks[defEnd].isOp("("))
                ++depth;
            else if (toks[defEnd].isOp(")"))
                --depth;
            ++defEnd;
        }
        std::string pending;
        std::size_t k = i;
        const bool tableLevel = toks[k].is("CONSTRAINT") || toks[k].is("PRIMARY") ||
                                toks[k].is("UNIQUE") || toks[k].is("FOREIGN") ||
                                toks[k].is("CHECK");
        std::string column;
        if (!tableLevel) {
            column = nameOf(toks[k]);
            ++k;
        }
        for (; k < defEnd; ++k) {
            const Token& t = toks[k];
            DeclaredConstraint c;
            if (t.is("CONSTRAINT") && k + 1 < defEnd) {
                pending = nameOf(toks[++k]);
                continue;
            }
            auto nextGroup = [&](std::size_t from) {
                std::size_t g = from;
                while (g < defEnd && !toks[g].isOp("("))
                    ++g;
                return g;
            };
            if (t.is("PRIMARY") || t.is("UNIQUE")) {
                c.type = t.is("PRIMARY") ? 'P' : 'U';
                if (tableLevel) {
                    const std::size_t g = nextGroup(k);
                    if (g < defEnd) {
                        c.columns = columnList(toks, g, closing(toks, g));
                        k = closing(toks, g);
                    }
                } else {
                    c.columns = {column};
                }
            } else if (t.is("FOREIGN") || t.is("REFERENCES")) {
                c.type = 'R';
                if (tableLevel) {
                    const std::size_t g = nextGroup(k);
                    if (g < defEnd) {
                        c.columns = columnList(toks, g, closing(toks, g));
                        k = closing(toks, g);
                    }
                    while (k < defEnd && !toks[k].is("REFERENCES"))
                        ++k;
                } else {
                    c.columns = {column};
                }
                if (k + 1 < defEnd)
                    c.condition = nameOf(toks[k + 1]);
                k = k + 1;
                if (k + 1 < defEnd && toks[k + 1].isOp("("))
                    k = closing(toks, k + 1);
            } else if (t.is("CHECK")) {
                c.type = 'C';
                const std::size_t g = nextGroup(k);
                if (g < defEnd) {
                    c.condition = conditionText(g);
                    k = closing(toks, g);
                }
                if (!tableLevel)
                    c.columns = {column};
            } else if (t.is("NOT") && k + 1 < defEnd && toks[k + 1].is("NULL") && !tableLevel) {
                c.type = 'C';
                c.columns = {column};
                c.condition = quoteIdent(column) + " IS NOT NULL";
                ++k;
            } else {
                if (t.isOp("("))
                    k = closing(toks, k);
                continue;
            }
            c.name = pending;
            pending.clear();
            out.push_back(std::move(c));
        }
        i = defEnd + 1;
    }
    return out;
}

std::string generatedConstraintName(const std::string& table, char type,
                                    const std::vector<std::string>& columns,
                                    const std::string& condition) {
    std::string key = table + '|' + type + '|';
    for (const auto& c : columns)
        key += c + ',';
    key += '|' + condition;
    char buf[16];
    std::snprintf(buf, sizeof buf, "SYS_C%07u", static_cast<unsigned>(fnv(key) % 10000000u));
    return buf;
}

void installDictionary(sqlite3* db) {
    exec(db, kTables);
}

void refreshDictionary(sqlite3* db, const std::string& owner) {
    std::vector<TableInfo> tables;
    {
        Stmt s(db,
               "SELECT name, type, sql FROM main.sqlite_schema WHERE type IN ('table','view')"
               " AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY upper(name)");
        while (s.step()) {
            TableInfo t;
            t.sqliteName = s.text(0);
            t.name = upperAscii(t.sqliteName);
            t.type = s.text(1);
            t.sql = s.text(2);
            tables.push_back(std::move(t));
        }
    }
    bool haveStats = false;
    {
        Stmt s(db, "SELECT 1 FROM main.sqlite_schema WHERE name = 'sqlite_stat1'");
        haveStats = s.step();
    }
    std::map<std::string, std::string> statByIndex;  // "table|index" -> stat
    if (haveStats) {
        Stmt s(db, "SELECT tbl, idx, stat FROM main.sqlite_stat1");
        while (s.step())
            statByIndex[upperAscii(s.text(0)) + '|' + upperAscii(s.text(1))] = s.text(2);
    }
    auto statNumbers = [&](const std::string& table, const std::string& index) {
        std::vector<std::int64_t> v;
        auto it = statByIndex.find(table + '|' + upperAscii(index));
        if (it == statByIndex.end())
            return v;
        std::stringstream ss(it->second);
        std::string part;
        while (ss >> part && (std::isdigit(static_cast<unsigned char>(part[0]))))
            v.push_back(std::atoll(part.c_str()));
        return v;
    };

    std::map<std::string, std::string> pkNameOf;
    for (TableInfo& t : tables) {
        {
            Stmt s(db,
                   "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1, "
                   "'main') ORDER BY cid");
            s.bind(1, t.sqliteName);
            while (s.step())
                t.columns.push_back(Column{upperAscii(s.text(0)), s.text(1), s.text(3),
                                           s.integer(2) != 0, static_cast<int>(s.integer(4))});
        }
        if (t.type != "table")
            continue;
        // Row count: the first number of any statistics line of the table.
        for (const auto& [key, stat] : statByIndex) {
            if (key.compare(0, t.name.size() + 1, t.name + '|') == 0) {
                t.rows = std::atoll(stat.c_str());
                break;
            }
        }
        t.constraints = declaredConstraints(t.sql);
        // The key in key order, as SQLite records it.
        std::vector<std::pair<int, std::string>> pk;
        for (const Column& c : t.columns)
            if (c.pk > 0)
                pk.emplace_back(c.pk, c.name);
        std::sort(pk.begin(), pk.end());
        bool havePk = false;
        for (DeclaredConstraint& c : t.constraints) {
            if (c.type == 'P') {
                havePk = true;
                c.columns.clear();
                for (auto& p : pk)
                    c.columns.push_back(p.second);
            }
        }
        if (!havePk && !pk.empty()) {
            DeclaredConstraint c;
            c.type = 'P';
            for (auto& p : pk)
                c.columns.push_back(p.second);
            t.constraints.insert(t.constraints.begin(), c);
        }
        for (DeclaredConstraint& c : t.constraints) {
            if (c.name.empty())
                c.name = generatedConstraintName(t.name, c.type, c.columns, c.condition);
            if (c.type == 'P')
                pkNameOf[t.name] = c.name;
        }
        {
            Stmt s(db,
                   "SELECT name, \"unique\", origin FROM pragma_index_list(?1, 'main') ORDER BY "
                   "upper(name)");
            s.bind(1, t.sqliteName);
            while (s.step())
                t.indexes.push_back(
                    IndexInfo{s.text(0), upperAscii(s.text(0)), s.integer(1) != 0, s.text(2), {}});
        }
        bool pkIndex = false;
        for (IndexInfo& ix : t.indexes) {
            Stmt s(db,
                   "SELECT name, \"desc\" FROM pragma_index_xinfo(?1, 'main') WHERE key = 1 ORDER "
                   "BY seqno");
            s.bind(1, ix.sqliteName);
            while (s.step())
                ix.columns.emplace_back(upperAscii(s.text(0)), s.integer(1) != 0);
            // Oracle names a constraint's index after the constraint.
            for (const DeclaredConstraint& c : t.constraints) {
                if ((ix.origin == "pk" && c.type == 'P') || (ix.origin == "u" && c.type == 'U')) {
                    bool same = c.columns.size() == ix.columns.size();
                    for (std::size_t k = 0; same && k < c.columns.size(); ++k)
                        same = c.columns[k] == ix.columns[k].first;
                    if (same) {
                        ix.name = c.name;
                        break;
                    }
                }
            }
            pkIndex = pkIndex || ix.origin == "pk";
        }
        if (!pk.empty() && !pkIndex) {
            // An INTEGER PRIMARY KEY is the rowid itself: show the unique
            // index Oracle would have.
            IndexInfo ix;
            ix.name = pkNameOf[t.name];
            ix.unique = true;
            ix.origin = "pk";
            for (auto& p : pk)
                ix.columns.emplace_back(p.second, false);
            t.indexes.insert(t.indexes.begin(), ix);
        }
    }

    exec(db,
         "DELETE FROM temp.USER_TABLES; DELETE FROM temp.USER_TAB_COLUMNS; DELETE FROM "
         "temp.USER_INDEXES;"
         "DELETE FROM temp.USER_IND_COLUMNS; DELETE FROM temp.USER_CONSTRAINTS; DELETE FROM "
         "temp.USER_CONS_COLUMNS;"
         "DELETE FROM temp.USER_VIEWS; DELETE FROM temp.USER_OBJECTS;");
    Stmt insTable(db,
                  "INSERT INTO temp.USER_TABLES VALUES (?1, 'USERS', 'VALID', ?2, NULL, NULL, "
                  "NULL, 'N', ?3)");
    Stmt insColumn(db,
                   "INSERT INTO temp.USER_TAB_COLUMNS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    Stmt insIndex(db,
                  "INSERT INTO temp.USER_INDEXES VALUES (?1, 'NORMAL', ?2, ?3, 'TABLE', ?4, "
                  "'VALID', ?5, ?6)");
    Stmt insIndCol(db, "INSERT INTO temp.USER_IND_COLUMNS VALUES (?1, ?2, ?3, ?4, ?5)");
    Stmt insCons(
        db, "INSERT INTO temp.USER_CONSTRAINTS VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, 'ENABLED', ?8)");
    Stmt insConsCol(db, "INSERT INTO temp.USER_CONS_COLUMNS VALUES (?1, ?2, ?3, ?4, ?5)");
    Stmt insView(db, "INSERT INTO temp.USER_VIEWS VALUES (?1, ?2, ?3)");
    Stmt insObject(db, "INSERT INTO temp.USER_OBJECTS VALUES (?1, ?2, 'VALID')");

    for (const TableInfo& t : tables) {
        insObject.bind(1, t.name).bind(2, std::string(t.type == "table" ? "TABLE" : "VIEW")).run();
        if (t.type == "view") {
            const std::size_t as = upperAscii(t.sql).find(" AS ");
            const std::string text = as == std::string::npos ? t.sql : t.sql.substr(as + 4);
            insView.bind(1, t.name)
                .bind(2, static_cast<std::int64_t>(text.size()))
                .bind(3, text)
                .run();
        } else {
            const bool withoutRowid = upperAscii(t.sql).find("WITHOUT ROWID") != std::string::npos;
            insTable.bind(1, t.name).bind(2, t.rows).bindOrNull(3, withoutRowid ? "IOT" : "").run();
        }
        for (std::size_t ci = 0; ci < t.columns.size(); ++ci) {
            const Column& c = t.columns[ci];
            std::string type;
            std::optional<std::int64_t> length, precision, scale;
            splitType(c.type, type, length, precision, scale);
            insColumn.bind(1, t.name)
                .bind(2, c.name)
                .bind(3, type)
                .bind(4, length)
                .bind(5, precision)
                .bind(6, scale)
                .bind(7, std::string(c.notNull || c.pk ? "N" : "Y"))
                .bind(8, static_cast<std::int64_t>(ci + 1))
                .bindOrNull(9, c.dflt)
                .run();
        }
        for (const IndexInfo& ix : t.indexes) {
            insObject.bind(1, ix.name).bind(2, std::string("INDEX")).run();
            std::optional<std::int64_t> rows, distinct;
            const std::vector<std::int64_t> stat = statNumbers(t.name, ix.sqliteName);
            if (!stat.empty()) {
                rows = stat[0];
                if (stat.size() > 1 && stat.back() > 0)
                    distinct = stat[0] / stat.back();
            } else if (ix.sqliteName.empty()) {
                rows = t.rows;
                distinct = t.rows;
            }
            insIndex.bind(1, ix.name)
                .bind(2, owner)
                .bind(3, t.name)
                .bind(4, std::string(ix.unique ? "UNIQUE" : "NONUNIQUE"))
                .bind(5, rows)
                .bind(6, distinct)
                .run();
            for (std::size_t k = 0; k < ix.columns.size(); ++k)
                insIndCol.bind(1, ix.name)
                    .bind(2, t.name)
                    .bind(3, ix.columns[k].first)
                    .bind(4, static_cast<std::int64_t>(k + 1))
                    .bind(5, std::string(ix.columns[k].second ? "DESC" : "ASC"))
                    .run();
        }
        for (const DeclaredConstraint& c : t.constraints) {
            std::string rOwner, rName, indexName, condition;
            if (c.type == 'R') {
                auto it = pkNameOf.find(upperAscii(c.condition));
                rOwner = owner;
                if (it != pkNameOf.end())
                    rName = it->second;
            } else if (c.type == 'C') {
                condition = c.condition;
            }
            if (c.type == 'P' || c.type == 'U')
                indexName = c.name;
            insCons.bind(1, owner)
                .bind(2, c.name)
                .bind(3, std::string(1, c.type))
                .bind(4, t.name)
                .bindOrNull(5, condition)
                .bindOrNull(6, rOwner)
                .bindOrNull(7, rName)
                .bindOrNull(8, indexName)
                .run();
            for (std::size_t k = 0; k < c.columns.size(); ++k)
                insConsCol.bind(1, owner)
                    .bind(2, c.name)
                    .bind(3, t.name)
                    .bind(4, c.columns[k])
                    .bind(5, c.type == 'C'
                                 ? std::optional<std::int64_t>()
                                 : std::optional<std::int64_t>(static_cast<std::int64_t>(k + 1)))
                    .run();
        }
    }
}

}  // namespace localengine
