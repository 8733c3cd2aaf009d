#pragma once
// Reading SQLite arguments and writing results for the functions, and the
// guard that keeps C++ exceptions out of SQLite's frames.

#include "Calendar.h"
#include "EngineFunctions.h"
#include "Number.h"
#include "OraError.h"
#include "TextFunctions.h"

#include <sqlite3.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <string>

namespace localengine::functions::glue {

inline bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}
bool anyNull(int argc, sqlite3_value** argv);

// The value as text, numbers written as Oracle converts them.
std::string text(sqlite3_value* v);
// The value as a number; text is converted as Oracle does (ORA-01722).
Number number(sqlite3_value* v);
std::int64_t integer(sqlite3_value* v);  // truncated toward zero

const SessionSettings& settings(sqlite3_context* ctx);
// The longest text SQLite keeps on the function's connection, in bytes.
std::size_t lengthLimit(sqlite3_context* ctx);
DateTime now(sqlite3_context* ctx);

// A DATE or TIMESTAMP argument: the stored form, else text in the
// session's NLS_DATE_FORMAT (Oracle's implicit conversion); a number is
// ORA-00932.
DateTime datetime(sqlite3_context* ctx, sqlite3_value* v);
// Whether the value is text in a stored datetime form.
std::optional<DateTime> storedDatetime(sqlite3_value* v);
bool hasFraction(sqlite3_value* v);  // a stored TIMESTAMP

void result(sqlite3_context* ctx, const Number& n);
void result(sqlite3_context* ctx, const Text& t);  // nullopt: NULL
void resultDate(sqlite3_context* ctx, const DateTime& d);
void resultTimestamp(sqlite3_context* ctx, const DateTime& d);

// Runs `body`, turning every exception into SQLite's error report.
template <typename Body>
void guard(sqlite3_context* ctx, Body&& body) noexcept {
    try {
        body();
    } catch (const OraError& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (const Unsupported& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::length_error&) {
        sqlite3_result_error_toobig(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "internal error in a SQL function", -1);
    }
}

// A scalar function whose NULL arguments give NULL (Oracle's rule for
// almost every function).
template <void (*F)(sqlite3_context*, int, sqlite3_value**)>
void nullIn(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    guard(ctx, [&] { F(ctx, argc, argv); });
}

template <void (*F)(sqlite3_context*, int, sqlite3_value**)>
void guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    guard(ctx, [&] { F(ctx, argc, argv); });
}

using ScalarFn = void (*)(sqlite3_context*, int, sqlite3_value**);

enum Flags { kDeterministic = 1, kVolatile = 0 };

// Registers one scalar function with the session settings as user data.
bool addScalar(sqlite3* db, const std::shared_ptr<SessionSettings>& s, const char* name, int args,
               ScalarFn fn, int flags = kDeterministic);

// Refuses an NLS parameter naming settings the engine does not have.
void checkNls(const std::string& text);

bool registerDateFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerNumberFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerTextFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerRegexFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerAggregates(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerDocumentFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerStorageFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerLobFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerRandomFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);
bool registerMathFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s);

}  // namespace localengine::functions::glue
