#include "schema/Sequences.h"

#include <sqlite3.h>

#include <map>
#include <mutex>
#include <optional>

#include "schema/SideTables.h"
#include "sqlite/EngineError.h"
#include "sqlite/SqliteGuard.h"
#include "sqlite/Statement.h"

namespace localengine::schema {

namespace {

// What the handle's session has been given, per sequence.
struct SessionValues {
    std::mutex mutex;
    std::map<std::string, std::int64_t> current;
};

EngineError oracleError(const std::string& text) {
    return EngineError(text, SQLITE_ERROR);
}

std::string argumentName(sqlite3_value* value) {
    const unsigned char* text = sqlite3_value_text(value);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

void nextvalFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* session = static_cast<SessionValues*>(sqlite3_user_data(ctx));
    const std::string name = argumentName(argv[0]);
    const std::int64_t value = nextValue(sqlite3_context_db_handle(ctx), name);
    {
        const std::lock_guard lock(session->mutex);
        session->current[name] = value;
    }
    sqlite3_result_int64(ctx, value);
}

void currvalFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* session = static_cast<SessionValues*>(sqlite3_user_data(ctx));
    const std::string name = argumentName(argv[0]);
    std::optional<std::int64_t> value;
    {
        const std::lock_guard lock(session->mutex);
        auto found = session->current.find(name);
        if (found != session->current.end())
            value = found->second;
    }
    if (!value) {
        // A sequence that does not exist is named as such first.
        sqlite3* db = sqlite3_context_db_handle(ctx);
        bool exists = false;
        if (hasSideTables(db)) {
            sqlite::Statement st(
                db, "SELECT 1 FROM main.\"quorvel$sequences\" WHERE SEQUENCE_NAME = ?1");
            st.bind(1, name);
            exists = st.step();
        }
        throw oracleError(exists ? "ORA-08002: sequence " + name +
                                       ".CURRVAL is not yet defined in this session"
                                 : std::string("ORA-02289: sequence does not exist"));
    }
    sqlite3_result_int64(ctx, *value);
}

}  // namespace

std::int64_t nextValue(sqlite3* db, const std::string& name) {
    if (!hasSideTables(db))
        throw oracleError("ORA-02289: sequence does not exist");
    sqlite::Statement read(db,
                           "SELECT MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, NEXT_VALUE "
                           "FROM main.\"quorvel$sequences\" WHERE SEQUENCE_NAME = ?1");
    read.bind(1, name);
    if (!read.step())
        throw oracleError("ORA-02289: sequence does not exist");
    const std::int64_t minValue = read.integer(0);
    const bool hasMax = !read.isNull(1);
    const std::int64_t maxValue = hasMax ? read.integer(1) : 0;
    const std::int64_t increment = read.integer(2);
    const bool cycle = read.text(3) == "Y";
    std::int64_t value = read.integer(4);
    read.reset();
    const bool ascending = increment > 0;
    if (ascending && hasMax && value > maxValue) {
        if (!cycle)
            throw oracleError("ORA-08004: sequence " + name +
                              ".NEXTVAL exceeds MAXVALUE and cannot be instantiated");
        value = minValue;
    } else if (!ascending && value < minValue) {
        if (!cycle || !hasMax)
            throw oracleError("ORA-08004: sequence " + name +
                              ".NEXTVAL goes below MINVALUE and cannot be instantiated");
        value = maxValue;
    }
    std::int64_t following = 0;
    if (__builtin_add_overflow(value, increment, &following))
        throw oracleError("ORA-08004: sequence " + name +
                          ".NEXTVAL exceeds the engine's 64-bit range and cannot be instantiated");
    sqlite::Statement write(
        db, "UPDATE main.\"quorvel$sequences\" SET NEXT_VALUE = ?2 WHERE SEQUENCE_NAME = ?1");
    write.bind(1, name).bind(2, following).run();
    return value;
}

void registerSequenceFunctions(sqlite3* db) {
    auto* session = new SessionValues;
    // Innocuous for SQLite's trusted-schema guard: an identity column's
    // DEFAULT calls NEXTVAL, and all it ever changes is the sequence table
    // of the same file, which the schema's own triggers could change anyway.
    // Not deterministic: every call gives the next value.
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(db, "ORA_SEQUENCE_NEXTVAL", 1, flags, session,
                                        guardedFunction<nextvalFunction>, nullptr, nullptr,
                                        [](void* p) { delete static_cast<SessionValues*>(p); });
    // ORA_SEQUENCE_NEXTVAL(name, 'ALWAYS'): a GENERATED ALWAYS identity
    // column's DEFAULT, the same value; the second argument only tells the
    // front end that the column takes no value of the user's.
    if (rc == SQLITE_OK)
        rc =
            sqlite3_create_function_v2(db, "ORA_SEQUENCE_NEXTVAL", 2, flags, session,
                                       guardedFunction<nextvalFunction>, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc =
            sqlite3_create_function_v2(db, "ORA_SEQUENCE_CURRVAL", 1, flags, session,
                                       guardedFunction<currvalFunction>, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EngineError("could not register the sequence functions", rc);
}

}  // namespace localengine::schema
