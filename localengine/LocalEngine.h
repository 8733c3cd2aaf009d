#pragma once
// The embedded local engine: an Oracle-dialect front end over SQLite.
//
// A Connection speaks the Oracle dialect that Quorvel sends (and that users
// commonly type); each call takes exactly one statement, translates it to
// SQLite and runs it. Nothing here knows Qt.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sqlite/EngineError.h"

namespace localengine {

// One value of a result row. Null is kept distinct from the empty text.
struct Cell {
    enum class Type { Null, Integer, Real, Text, Blob };
    Type type = Type::Null;
    std::string text;  // the value as text (UTF-8); empty for Null
    bool isNull() const { return type == Type::Null; }
};

// A fully read result: the column names (upper case, as Oracle shows
// unquoted identifiers) and the rows in the order the statement gives them.
struct ResultTable {
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;
};

class Connection {
public:
    // Opens the database named by `host`:
    //  - empty: the built-in sample database (one in-memory database per
    //    process, built at the first open, shared by every connection);
    //  - an existing SQLite file, by path, optionally prefixed "sqlite:";
    //    read-write where the file allows, else read-only. A missing file
    //    is an error; no file is ever created.
    // `user` is taken as the schema owner; the engine has no accounts and
    // no password.
    static std::unique_ptr<Connection> open(const std::string& host, const std::string& user);

    // True when `host` names something this engine opens (empty, or an
    // existing file, with or without the "sqlite:" prefix).
    static bool handles(const std::string& host);

    virtual ~Connection() = default;

    // Runs one statement that returns no rows (DML, DDL, EXPLAIN PLAN) and
    // returns the rows processed (0 for DDL). A query is run and its rows
    // are counted.
    virtual std::int64_t execute(const std::string& oracleSql) = 0;

    // Runs one query and returns all its rows.
    virtual ResultTable query(const std::string& oracleSql) = 0;

    // DBMS_OUTPUT, as SQL*Plus's SET SERVEROUTPUT ON|OFF enables it: while
    // enabled, the lines PL/SQL blocks put are kept until taken (a line a
    // block began with PUT but did not end stays until it is ended).
    virtual void setServerOutput(bool enabled) { (void)enabled; }
    virtual std::vector<std::string> takeServerOutput() { return {}; }

    // The user this connection was opened for, upper case.
    virtual const std::string& owner() const = 0;

    virtual void close() = 0;
};

// Translates one Oracle-dialect statement to SQLite text (exposed for tests
// and for the console). Throws EngineError on what it cannot translate or
// on a second statement.
std::string translateToSqlite(const std::string& oracleSql);

}  // namespace localengine
