#include "OracleErrors.h"

#include "schema/Constraints.h"
#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace localengine {

namespace {

using sqlite::sameName;
using sqlite::upperName;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The text after `prefix`, when `message` starts with it.
std::optional<std::string> after(const std::string& message, std::string_view prefix) {
    if (!startsWith(message, prefix))
        return std::nullopt;
    return message.substr(prefix.size());
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::string trimmed(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    const std::size_t last = s.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// "E.X" as Oracle quotes an identifier in ORA-00904: "E"."X".
std::string quotedParts(const std::string& name) {
    std::string out;
    for (const std::string& part : split(name, '.')) {
        if (!out.empty())
            out += '.';
        out += '"' + part + '"';
    }
    return out;
}

EngineError ora(int number, const std::string& text, const EngineError& error) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", number);
    return EngineError(prefix + text, error.code());
}

// The CREATE TABLE text of `table`, main schema first; empty when none.
std::string tableText(sqlite3* db, const std::string& table) {
    for (const char* schema : {"main", "temp"}) {
        sqlite::Statement st(db, std::string("SELECT sql FROM ") + schema +
                                     ".sqlite_schema WHERE type = 'table' AND name = ?1 "
                                     "COLLATE NOCASE");
        st.bind(1, table);
        if (st.step())
            return st.text(0);
    }
    return {};
}

bool sameColumns(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size())
        return false;
    for (const std::string& x : a)
        if (std::none_of(b.begin(), b.end(), [&](const std::string& y) { return sameName(x, y); }))
            return false;
    return true;
}

// The name of the primary key, unique constraint or unique index over
// exactly `columns` of `table`; empty when none is found.
std::string uniqueName(sqlite3* db, const std::string& table,
                       const std::vector<std::string>& columns) {
    const std::string text = tableText(db, table);
    for (const schema::DeclaredConstraint& c : schema::declaredConstraints(text)) {
        if ((c.type != 'P' && c.type != 'U') || !sameColumns(c.columns, columns))
            continue;
        return c.name.empty() ? schema::generatedConstraintName(upperName(table), c.type, c.columns,
                                                                c.condition)
                              : c.name;
    }
    sqlite::Statement indexes(
        db, "SELECT name, origin FROM pragma_index_list(?1) WHERE \"unique\" = 1");
    indexes.bind(1, table);
    while (indexes.step()) {
        const std::string index = indexes.text(0);
        const std::string origin = indexes.text(1);
        std::vector<std::string> indexed;
        sqlite::Statement info(db, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno");
        info.bind(1, index);
        while (info.step())
            indexed.push_back(info.text(0));
        if (!sameColumns(indexed, columns))
            continue;
        if (origin == "c")
            return index;
        if (origin == "pk") {
            std::vector<std::string> upper;
            for (const std::string& c : columns)
                upper.push_back(upperName(c));
            return schema::generatedConstraintName(upperName(table), 'P', upper, {});
        }
    }
    return {};
}

// ORA-00001 for "T.A, T.B" (the table's columns) or "index 'I'".
std::optional<EngineError> uniqueViolation(sqlite3* db, const std::string& detail,
                                           const std::string& owner, const EngineError& error) {
    std::string name;
    if (auto index = after(detail, "index '")) {
        name = index->substr(0, index->find('\''));
    } else {
        std::string table;
        std::vector<std::string> columns;
        for (const std::string& item : split(detail, ',')) {
            const std::string qualified = trimmed(item);
            const std::size_t dot = qualified.find('.');
            if (dot == std::string::npos)
                return std::nullopt;
            table = qualified.substr(0, dot);
            columns.push_back(qualified.substr(dot + 1));
        }
        name = uniqueName(db, table, columns);
    }
    if (name.empty())
        return std::nullopt;
    return ora(1, "unique constraint (" + owner + "." + name + ") violated", error);
}

std::string squeezed(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// ORA-02290 for a CHECK constraint: SQLite gives its name, or the
// condition of an unnamed one, which is looked up among the tables'.
std::optional<EngineError> checkViolation(sqlite3* db, const std::string& detail,
                                          const std::string& owner, const EngineError& error) {
    const bool plainName = !detail.empty() && std::all_of(detail.begin(), detail.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
    });
    if (plainName)
        return ora(2290, "check constraint (" + owner + "." + upperName(detail) + ") violated",
                   error);
    const std::string condition = squeezed(detail);
    sqlite::Statement tables(db,
                             "SELECT name, sql FROM main.sqlite_schema WHERE type = 'table' "
                             "AND sql LIKE '%CHECK%'");
    while (tables.step()) {
        const std::string table = tables.text(0);
        for (const schema::DeclaredConstraint& c : schema::declaredConstraints(tables.text(1))) {
            if (c.type != 'C' || squeezed(c.condition) != condition)
                continue;
            const std::string name =
                c.name.empty()
                    ? schema::generatedConstraintName(upperName(table), 'C', c.columns, c.condition)
                    : c.name;
            return ora(2290, "check constraint (" + owner + "." + name + ") violated", error);
        }
    }
    return std::nullopt;
}

}  // namespace

int oracleErrorNumber(const std::string& message) {
    if (message.size() < 10 || !startsWith(message, "ORA-") || message[9] != ':')
        return 0;
    for (std::size_t i = 4; i < 9; ++i)
        if (message[i] < '0' || message[i] > '9')
            return 0;
    return std::atoi(message.c_str() + 4);
}

EngineError oracleError(sqlite3* db, const EngineError& error, const std::string& owner,
                        const std::string& sql) {
    const std::string message = error.what();
    if (oracleErrorNumber(message) || startsWith(message, kOwnErrorPrefix))
        return error;
    try {
        // Oracle's current text names the object as "OWNER"."NAME".
        std::optional<std::string> table = after(message, "no such table: ");
        if (!table)
            table = after(message, "no such view: ");
        if (table) {
            const std::size_t dot = table->rfind('.');
            const std::string name = dot == std::string::npos ? *table : table->substr(dot + 1);
            const std::string object =
                (owner.empty() ? std::string() : "\"" + owner + "\".") + "\"" + name + "\"";
            return ora(942, "table or view " + object + " does not exist", error);
        }
        if (auto name = after(message, "no such column: "))
            return ora(904, quotedParts(*name) + ": invalid identifier", error);
        if (auto name = after(message, "no such function: "))
            return ora(904, quotedParts(upperName(*name)) + ": invalid identifier", error);
        if (after(message, "no such index: "))
            return ora(1418, "specified index does not exist", error);
        if (after(message, "ambiguous column name: "))
            return ora(918, "column ambiguously defined", error);
        if (after(message, "wrong number of arguments to function "))
            return ora(909, "invalid number of arguments", error);
        // SQLite's own limits on the shape of a statement (sqlite3_limit and
        // the depth of its parser), met by a translation the front end took.
        if (after(message, "parser stack overflow") ||
            after(message, "Expression tree is too large"))
            return ora(3095, "expression level is too deep (the local engine: " + message + ")",
                       error);
        if (after(message, "too many arguments on function "))
            return ora(939, "too many arguments for function (the local engine: " + message + ")",
                       error);
        if (after(message, "too many columns in result set"))
            return ora(1792, "maximum number of columns in a table or view is 1000", error);
        if (after(message, "too many terms in compound SELECT") ||
            after(message, "too many FROM clause terms") ||
            (after(message, "at most ") && message.find(" tables in a join") != std::string::npos))
            return ora(3001, "unimplemented feature: " + message + " in the local engine", error);
        if (after(message, "misuse of aggregate"))
            return ora(934, "group function is not allowed here", error);
        if (after(message, "misuse of window function"))
            return ora(30483, "window functions are not allowed here", error);
        if (message.find("do not have the same number of result columns") != std::string::npos)
            return ora(1789, "query block has incorrect number of result columns", error);
        if (after(message, "sub-select returns ") || message == "row value misused")
            return ora(913, "too many values", error);
        // "1st ORDER BY term out of range - should be between 1 and 9"
        if (message.find(" ORDER BY term out of range") != std::string::npos)
            return ora(1785, "ORDER BY item must be the number of a SELECT-list expression", error);
        if (message == "interrupted")
            return ora(1013, "user requested cancel of current operation", error);
        if (message.find(" already exists") != std::string::npos &&
            (startsWith(message, "table ") || startsWith(message, "index ") ||
             startsWith(message, "view ") || startsWith(message, "trigger ")))
            return ora(955, "name is already used by an existing object", error);
        if (after(message, "there is already another table or index with this name: "))
            return ora(955, "name is already used by an existing object", error);
        // "table T has 3 columns but 2 values were supplied", "2 values for 3 columns"
        {
            int values = -1, columns = -1;
            char table[256];
            if (std::sscanf(message.c_str(),
                            "table %255s has %d columns but %d values were supplied", table,
                            &columns, &values) == 3 ||
                std::sscanf(message.c_str(), "%d values for %d columns", &values, &columns) == 2) {
                if (values > columns)
                    return ora(913, "too many values", error);
                if (values >= 0 && values < columns)
                    return ora(947, "not enough values", error);
            }
        }
        if (auto column = after(message, "NOT NULL constraint failed: ")) {
            const std::size_t dot = column->find('.');
            if (dot != std::string::npos) {
                const std::string target = "(\"" + owner + "\".\"" + column->substr(0, dot) +
                                           "\".\"" + column->substr(dot + 1) + "\")";
                const bool update = startsWith(sql, "UPDATE") || startsWith(sql, "update");
                return update ? ora(1407, "cannot update " + target + " to NULL", error)
                              : ora(1400, "cannot insert NULL into " + target, error);
            }
        }
        if (auto detail = after(message, "UNIQUE constraint failed: "))
            if (auto mapped = uniqueViolation(db, *detail, owner, error))
                return *mapped;
        if (auto detail = after(message, "CHECK constraint failed: "))
            if (auto mapped = checkViolation(db, *detail, owner, error))
                return *mapped;
    } catch (const EngineError&) {
        // The schema could not be read: the failure keeps SQLite's words.
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%s%05d: ", kOwnErrorPrefix, error.code() & 0xffff);
    return EngineError(prefix + message, error.code());
}

}  // namespace localengine
