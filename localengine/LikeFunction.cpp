#include "LikeFunction.h"

#include "dialect/LikePattern.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

namespace localengine {

namespace {

std::string_view textOf(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

// Oracle: NULL (or '') in any argument gives NULL; a bad escape is an error.
void oraLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    try {
        for (int i = 0; i < argc; ++i)
            if (sqlite3_value_type(argv[i]) == SQLITE_NULL || textOf(argv[i]).empty()) {
                sqlite3_result_null(ctx);
                return;
            }
        std::optional<std::string_view> escape;
        if (argc > 2) {
            escape = textOf(argv[2]);
            if (!dialect::likeToGlob("", escape)) {
                sqlite3_result_error(
                    ctx, "ORA-01425: escape character must be character string of length 1", -1);
                return;
            }
        }
        const std::string value(textOf(argv[0]));
        const std::optional<std::string> glob = dialect::likeToGlob(textOf(argv[1]), escape);
        if (!glob) {
            sqlite3_result_error(
                ctx, "ORA-01424: missing or illegal character following the escape character", -1);
            return;
        }
        sqlite3_result_int(ctx, sqlite3_strglob(glob->c_str(), value.c_str()) == 0 ? 1 : 0);
    } catch (...) {
        sqlite3_result_error_nomem(ctx);
    }
}

}  // namespace

void registerLikeFunction(sqlite3* db) {
    for (int args : {2, 3})
        sqlite3_create_function_v2(db, "ORA_LIKE", args,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   oraLike, nullptr, nullptr, nullptr);
}

}  // namespace localengine
