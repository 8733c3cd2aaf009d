#pragma once
// No C++ exception may unwind through SQLite's C frames: it would skip
// SQLite's own clean-up and leave the connection's mutex held. Every
// function the engine registers with SQLite runs inside guardedFunction,
// which turns an exception into the function's error result.

#include "sqlite/EngineError.h"

#include <sqlite3.h>

#include <exception>
#include <new>

namespace localengine {

// Reports the exception being handled as the error of `ctx`. Call only
// inside a catch block.
inline void reportCurrentException(sqlite3_context* ctx) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const EngineError& e) {
        sqlite3_result_error(ctx, e.what(), -1);
        sqlite3_result_error_code(ctx, e.code());
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "internal error in an SQL function of the local engine", -1);
    }
}

// `F` as an SQLite function that never lets an exception escape.
template <void (*F)(sqlite3_context*, int, sqlite3_value**)>
void guardedFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    try {
        F(ctx, argc, argv);
    } catch (...) {
        reportCurrentException(ctx);
    }
}

}  // namespace localengine
