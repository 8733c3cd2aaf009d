// DBMS_RANDOM's functions, which scripts that make test data call on every
// row, registered under the names the front end writes for them
// (DBMS_RANDOM.VALUE as ORA_DBMS_RANDOM_VALUE):
//   VALUE           a number >= 0 and < 1
//   VALUE(low, high) a number >= low and < high
//   STRING(opt, len) len characters: 'U' upper case letters, 'L' lower case,
//                   'A' either, 'X' upper case letters and digits, 'P' any
//                   printable character; any other option upper case letters
//   NORMAL          a number from the standard normal distribution
//   RANDOM          an integer >= -2^31 and < 2^31
// and SYS_GUID, 16 bytes (a RAW) that name nothing else: drawn from the
// same generator, as a random (version 4) UUID's bytes are.
// Each call draws from the session's generator, which DBMS_RANDOM.SEED in a
// PL/SQL block seeds; none is deterministic, so SQLite calls them per row.

#include "EngineFunctions.h"
#include "SqliteGlue.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace localengine::functions::glue {

namespace {

std::mt19937_64& generator(sqlite3_context* ctx) {
    return settings(ctx).random;
}

double uniform(sqlite3_context* ctx) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator(ctx));
}

void valueFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double u = uniform(ctx);
    if (argc == 0) {
        sqlite3_result_double(ctx, u);
        return;
    }
    const double low = sqlite3_value_double(argv[0]);
    const double high = sqlite3_value_double(argv[1]);
    sqlite3_result_double(ctx, low + (high - low) * u);
}

void normalFn(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, std::normal_distribution<double>(0.0, 1.0)(generator(ctx)));
}

void randomFn(sqlite3_context* ctx, int, sqlite3_value**) {
    const auto draw =
        std::uniform_int_distribution<std::int64_t>(-2147483648LL, 2147483647LL)(generator(ctx));
    sqlite3_result_int64(ctx, draw);
}

// The characters an option draws from.
std::string_view alphabet(char option) {
    static constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz";
    static constexpr std::string_view kMixed =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    static constexpr std::string_view kUpperDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static constexpr std::string_view kPrintable =
        " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
        "abcdefghijklmnopqrstuvwxyz{|}~";
    switch (option) {
        case 'l':
        case 'L':
            return kLower;
        case 'a':
        case 'A':
            return kMixed;
        case 'x':
        case 'X':
            return kUpperDigits;
        case 'p':
        case 'P':
            return kPrintable;
        default:
            return kUpper;
    }
}

// STRING(opt, len): a null or non-positive length gives NULL (the empty
// text); longer than a VARCHAR2 is cut to its 4000 bytes.
void stringFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const double wanted = std::trunc(sqlite3_value_double(argv[1]));
    if (!(wanted >= 1)) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto length = static_cast<std::size_t>(std::min(wanted, 4000.0));
    const unsigned char* opt = sqlite3_value_text(argv[0]);
    const std::string_view letters = alphabet(opt && *opt ? static_cast<char>(*opt) : 'U');
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string out(length, ' ');
    for (char& c : out)
        c = letters[pick(generator(ctx))];
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void sysGuidFn(sqlite3_context* ctx, int, sqlite3_value**) {
    unsigned char bytes[16];
    for (int half = 0; half < 2; ++half) {
        const std::uint64_t draw = generator(ctx)();
        for (int i = 0; i < 8; ++i)
            bytes[half * 8 + i] = static_cast<unsigned char>(draw >> (8 * i));
    }
    sqlite3_result_blob(ctx, bytes, sizeof bytes, SQLITE_TRANSIENT);
}

}  // namespace

bool registerRandomFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    return addScalar(db, s, "ORA_DBMS_RANDOM_VALUE", 0, guarded<valueFn>, kVolatile) &&
           addScalar(db, s, "ORA_DBMS_RANDOM_VALUE", 2, nullIn<valueFn>, kVolatile) &&
           addScalar(db, s, "ORA_DBMS_RANDOM_NORMAL", 0, guarded<normalFn>, kVolatile) &&
           addScalar(db, s, "ORA_DBMS_RANDOM_RANDOM", 0, guarded<randomFn>, kVolatile) &&
           addScalar(db, s, "ORA_DBMS_RANDOM_STRING", 2, guarded<stringFn>, kVolatile) &&
           addScalar(db, s, "SYS_GUID", 0, guarded<sysGuidFn>, kVolatile);
}

}  // namespace localengine::functions::glue
