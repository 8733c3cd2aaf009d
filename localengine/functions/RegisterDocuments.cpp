// JSON helpers with SQLite-legal names for the front end:
//   ORA_IS_JSON(doc)                          1 or 0 (x IS JSON)
//   ORA_JSON_VALUE(doc, path[, returning[, on_error[, default]]])
//     JSON_VALUE(doc, path RETURNING VARCHAR2|NUMBER ... NULL|ERROR|DEFAULT x ON ERROR)
// JSON goes through SQLite's own JSON functions on the same connection.
// Oracle's path language beyond SQLite's ($.a.b[0]) is refused: wildcards,
// filters, item methods, ranges and lax matching through arrays.

#include "SqliteGlue.h"

#include <cctype>

namespace localengine::functions::glue {

namespace {

// Runs "SELECT <sql>" with two text parameters on the function's own
// connection and gives the first row's columns as (type, text).
struct Row {
    int type[2] = {SQLITE_NULL, SQLITE_NULL};
    std::string text[2];
    bool failed = false;
};

Row query(sqlite3_context* ctx, const char* sql, const std::string& a, const std::string& b) {
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* st = nullptr;
    Row row;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        row.failed = true;
        return row;
    }
    sqlite3_bind_text(st, 1, a.data(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        for (int i = 0; i < 2 && i < sqlite3_column_count(st); ++i) {
            row.type[i] = sqlite3_column_type(st, i);
            if (const unsigned char* t = sqlite3_column_text(st, i))
                row.text[i] = reinterpret_cast<const char*>(t);
        }
    } else {
        row.failed = true;
    }
    sqlite3_finalize(st);
    return row;
}

// x IS JSON. Oracle's default (lax) syntax takes more than SQLite's strict
// check (single quotes, unquoted names): a document that looks like JSON
// but fails the strict check is refused rather than called not JSON.
void isJsonFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string t = text(argv[0]);
    const std::size_t first = t.find_first_not_of(" \t\r\n");
    // Objects and arrays only: Oracle's IS JSON takes no bare scalars.
    if (first == std::string::npos || (t[first] != '{' && t[first] != '['))
        return sqlite3_result_int(ctx, 0);
    const Row r = query(ctx, "SELECT json_valid(?1)", t, "");
    if (!r.failed && r.text[0] == "1")
        return sqlite3_result_int(ctx, 1);
    throw Unsupported(
        "this document is not strict JSON; Oracle's lax JSON syntax is not "
        "supported by the local engine");
}

void checkPath(const std::string& path) {
    if (path.empty() || path[0] != '$')
        raise(40441);
    if (path.find_first_of("*?()") != std::string::npos || path.find("..") != std::string::npos ||
        path.find(" to ") != std::string::npos || path.find("last") != std::string::npos)
        throw Unsupported("this JSON path is not supported by the local engine: " + path);
}

// Oracle's lax mode would look into arrays along the path where SQLite
// finds nothing: refuse then rather than answer NULL.
void checkLaxArrays(sqlite3_context* ctx, const std::string& doc, const std::string& path) {
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '.')
            continue;
        const Row r = query(ctx, "SELECT json_type(?1, ?2)", doc, path.substr(0, i));
        if (!r.failed && r.text[0] == "array")
            throw Unsupported(
                "JSON path through an array without an index (Oracle's lax mode) is "
                "not supported by the local engine: " +
                path);
    }
}

// ORA_JSON_VALUE(doc, path[, returning[, on_error[, default]]])
void jsonValueFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    guard(ctx, [&] {
        auto word = [&](int i, const char* fallback) {
            std::string w = i < argc && !isNull(argv[i]) ? text(argv[i]) : fallback;
            for (char& c : w)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return w;
        };
        const std::string returning = word(2, "VARCHAR2");
        const std::string onError = word(3, "NULL");
        auto fail = [&](int code) {
            if (onError == "ERROR")
                raise(code);
            if (onError == "DEFAULT" && argc > 4)
                sqlite3_result_value(ctx, argv[4]);
            else
                sqlite3_result_null(ctx);
        };
        const std::string doc = text(argv[0]);
        const std::string path = text(argv[1]);
        checkPath(path);
        const Row valid = query(ctx, "SELECT json_valid(?1)", doc, "");
        if (valid.failed || valid.text[0] != "1")
            return fail(40441);
        const Row r = query(ctx, "SELECT json_type(?1, ?2), json_extract(?1, ?2)", doc, path);
        if (r.failed)
            throw Unsupported("this JSON path is not supported by the local engine: " + path);
        if (r.type[0] == SQLITE_NULL) {
            checkLaxArrays(ctx, doc, path);
            return fail(40462);
        }
        const std::string& type = r.text[0];
        if (type == "object" || type == "array")
            return fail(40456);
        if (type == "null") {
            sqlite3_result_null(ctx);
            return;
        }
        const std::string value = type == "true" || type == "false" ? type : r.text[1];
        if (returning == "NUMBER") {
            try {
                result(ctx, parseNumber(value));
            } catch (const OraError&) {
                fail(1722);
            }
            return;
        }
        if (returning != "VARCHAR2")
            throw Unsupported("JSON_VALUE ... RETURNING " + returning +
                              " is not supported by the local engine");
        result(ctx, Text(value));
    });
}

}  // namespace

bool registerDocumentFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    bool ok = addScalar(db, s, "ORA_IS_JSON", 1, nullIn<isJsonFn>);
    for (int n = 2; n <= 5; ++n)
        ok = ok && addScalar(db, s, "ORA_JSON_VALUE", n, jsonValueFn);
    return ok;
}

}  // namespace localengine::functions::glue
