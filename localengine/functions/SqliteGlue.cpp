#include "SqliteGlue.h"

#include "DateFormat.h"

#include <chrono>
#include <ctime>

namespace localengine::functions {

DateTime localNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    DateTime d;
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    d.hour = local.tm_hour;
    d.minute = local.tm_min;
    d.second = local.tm_sec;
    return d;
}

bool registerEngineFunctions(sqlite3* db, std::shared_ptr<SessionSettings> settings) {
    if (!settings)
        settings = std::make_shared<SessionSettings>();
    return glue::registerDateFunctions(db, settings) &&
           glue::registerNumberFunctions(db, settings) &&
           glue::registerTextFunctions(db, settings) &&
           glue::registerRegexFunctions(db, settings) && glue::registerAggregates(db, settings) &&
           glue::registerDocumentFunctions(db, settings) &&
           glue::registerStorageFunctions(db, settings) &&
           glue::registerLobFunctions(db, settings) &&
           glue::registerRandomFunctions(db, settings) && glue::registerMathFunctions(db, settings);
}

namespace glue {

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (isNull(argv[i]))
            return true;
    return false;
}

std::string text(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return numberText(Number::of(sqlite3_value_double(v)));
        case SQLITE_NULL:
            return {};
        default: {
            const unsigned char* t = sqlite3_value_text(v);
            if (!t)
                throw std::bad_alloc();
            return std::string(reinterpret_cast<const char*>(t),
                               static_cast<std::size_t>(sqlite3_value_bytes(v)));
        }
    }
}

Number number(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return Number::of(static_cast<std::int64_t>(sqlite3_value_int64(v)));
        case SQLITE_FLOAT:
            return Number::of(sqlite3_value_double(v));
        default:
            return parseNumber(text(v));
    }
}

std::int64_t integer(sqlite3_value* v) {
    return toInteger(number(v));
}

const SessionSettings& settings(sqlite3_context* ctx) {
    return **static_cast<std::shared_ptr<SessionSettings>*>(sqlite3_user_data(ctx));
}

std::size_t lengthLimit(sqlite3_context* ctx) {
    const int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    return limit > 0 ? static_cast<std::size_t>(limit) : SIZE_MAX;
}

DateTime now(sqlite3_context* ctx) {
    const SessionSettings& s = settings(ctx);
    return s.now ? s.now() : localNow();
}

std::optional<DateTime> storedDatetime(sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return std::nullopt;
    const unsigned char* t = sqlite3_value_text(v);
    const int n = sqlite3_value_bytes(v);
    if (!t || n < 10 || n > 40)
        return std::nullopt;
    return parseStoredDateTime(
        std::string_view(reinterpret_cast<const char*>(t), static_cast<std::size_t>(n)));
}

bool hasFraction(sqlite3_value* v) {
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return false;
    const std::string t = text(v);
    return t.size() > 20 && t[19] == '.';
}

DateTime datetime(sqlite3_context* ctx, sqlite3_value* v) {
    if (std::optional<DateTime> d = storedDatetime(v)) {
        checkYear(d->year);
        return *d;
    }
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        raise(932, "DATE", "NUMBER");
    if (type == SQLITE_BLOB)
        raise(932, "DATE", "BINARY");
    return parseDateTime(text(v), settings(ctx).dateFormat, now(ctx), false);
}

void result(sqlite3_context* ctx, const Number& n) {
    if (n.isInteger)
        sqlite3_result_int64(ctx, n.i);
    else
        sqlite3_result_double(ctx, n.d);
}

void result(sqlite3_context* ctx, const Text& t) {
    if (!t || t->empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    const int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    if (limit > 0 && t->size() > static_cast<std::size_t>(limit)) {
        sqlite3_result_error_toobig(ctx);
        return;
    }
    sqlite3_result_text64(ctx, t->data(), t->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void resultDate(sqlite3_context* ctx, const DateTime& d) {
    result(ctx, Text(dateText(d)));
}

void resultTimestamp(sqlite3_context* ctx, const DateTime& d) {
    result(ctx, Text(timestampText(d)));
}

bool addScalar(sqlite3* db, const std::shared_ptr<SessionSettings>& s, const char* name, int args,
               ScalarFn fn, int flags) {
    auto* holder = new std::shared_ptr<SessionSettings>(s);
    const int textRep =
        SQLITE_UTF8 | SQLITE_INNOCUOUS | ((flags & kDeterministic) ? SQLITE_DETERMINISTIC : 0);
    return sqlite3_create_function_v2(db, name, args, textRep, holder, fn, nullptr, nullptr,
                                      [](void* p) {
                                          delete static_cast<std::shared_ptr<SessionSettings>*>(p);
                                      }) == SQLITE_OK;
}

}  // namespace glue

}  // namespace localengine::functions
