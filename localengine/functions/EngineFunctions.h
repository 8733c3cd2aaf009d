#pragma once
// Registers Oracle's functions, format models and aggregates on a SQLite
// handle. Every function reports Oracle's errors as "ORA-nnnnn: text"
// through sqlite3_result_error, and lets no C++ exception reach SQLite.

#include "Calendar.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <random>
#include <string>

struct sqlite3;

namespace localengine::functions {

// What a session changes with ALTER SESSION, and the clock. The connection
// keeps the object and may change it between statements; the functions
// read it on every call.
struct SessionSettings {
    std::string dateFormat = "DD-MON-RR";                      // NLS_DATE_FORMAT
    std::string timestampFormat = "DD-MON-RR HH.MI.SSXFF AM";  // NLS_TIMESTAMP_FORMAT
    std::size_t maxStringBytes = 4000;  // VARCHAR2 limit (LISTAGG's overflow)
    // The current local date and time (TO_DATE's missing fields, RR).
    std::function<DateTime()> now;
    // DBMS_RANDOM's generator: the session's own, seeded from the system
    // unless DBMS_RANDOM.SEED gave it a seed.
    mutable std::mt19937_64 random{std::random_device{}()};
};

DateTime localNow();

// Registers everything; returns false when SQLite refused a registration.
bool registerEngineFunctions(
    sqlite3* db, std::shared_ptr<SessionSettings> settings = std::make_shared<SessionSettings>());

}  // namespace localengine::functions
