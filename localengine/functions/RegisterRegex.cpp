// The REGEXP_ functions as SQLite functions. A compiled pattern is kept
// with the statement (sqlite3_set_auxdata) while the pattern argument and
// the match parameter stay the same, so a constant pattern compiles once
// per statement.

#include "OraRegex.h"
#include "SqliteGlue.h"

namespace localengine::functions::glue {

namespace {

// The pattern argument's compiled form, reused when it matches.
const OraRegex& compiled(sqlite3_context* ctx, sqlite3_value** argv, int patternArg,
                         const MatchOptions& options) {
    auto* cached = static_cast<OraRegex*>(sqlite3_get_auxdata(ctx, patternArg));
    const std::string pattern = text(argv[patternArg]);
    if (cached && cached->pattern() == pattern && cached->options() == options)
        return *cached;
    auto* fresh = new OraRegex(pattern, options);
    sqlite3_set_auxdata(ctx, patternArg, fresh, [](void* p) { delete static_cast<OraRegex*>(p); });
    // SQLite may have freed it at once (when it cannot keep it); ask again.
    auto* kept = static_cast<OraRegex*>(sqlite3_get_auxdata(ctx, patternArg));
    if (kept)
        return *kept;
    throw std::bad_alloc();
}

MatchOptions optionsAt(int argc, sqlite3_value** argv, int index) {
    if (index >= argc || isNull(argv[index]))
        return {};
    return parseMatchParameter(text(argv[index]));
}

std::int64_t integerAt(int argc, sqlite3_value** argv, int index, std::int64_t fallback) {
    return index < argc ? integer(argv[index]) : fallback;
}

// REGEXP_LIKE(source, pattern[, match_parameter]): 1 or 0.
void likeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const OraRegex& re = compiled(ctx, argv, 1, optionsAt(argc, argv, 2));
    sqlite3_result_int(ctx, regexpLike(text(argv[0]), re) ? 1 : 0);
}

// REGEXP_COUNT(source, pattern[, position[, match_parameter]])
void countFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const OraRegex& re = compiled(ctx, argv, 1, optionsAt(argc, argv, 3));
    result(ctx, Number::of(regexpCount(text(argv[0]), re, integerAt(argc, argv, 2, 1))));
}

// REGEXP_INSTR(source, pattern[, position[, occurrence[, return_option
//              [, match_parameter[, subexpr]]]]])
void instrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const OraRegex& re = compiled(ctx, argv, 1, optionsAt(argc, argv, 5));
    result(ctx, Number::of(regexpInstr(text(argv[0]), re, integerAt(argc, argv, 2, 1),
                                       integerAt(argc, argv, 3, 1), integerAt(argc, argv, 4, 0),
                                       integerAt(argc, argv, 6, 0))));
}

// REGEXP_SUBSTR(source, pattern[, position[, occurrence[, match_parameter
//               [, subexpr]]]])
void substrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const OraRegex& re = compiled(ctx, argv, 1, optionsAt(argc, argv, 4));
    result(ctx, regexpSubstr(text(argv[0]), re, integerAt(argc, argv, 2, 1),
                             integerAt(argc, argv, 3, 1), integerAt(argc, argv, 5, 0)));
}

// REGEXP_REPLACE(source, pattern[, replace_string[, position[, occurrence
//                [, match_parameter]]]]): a NULL pattern leaves the source,
// a NULL replacement removes the matches.
void replaceFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    for (int i = 3; i < argc; ++i) {
        if (isNull(argv[i]) && i != 5) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    guard(ctx, [&] {
        if (isNull(argv[1])) {
            result(ctx, Text(text(argv[0])));
            return;
        }
        const OraRegex& re = compiled(ctx, argv, 1, optionsAt(argc, argv, 5));
        const std::string with = argc > 2 && !isNull(argv[2]) ? text(argv[2]) : std::string();
        result(ctx, regexpReplace(text(argv[0]), re, with, integerAt(argc, argv, 3, 1),
                                  integerAt(argc, argv, 4, 0), lengthLimit(ctx)));
    });
}

// The others: NULL in any argument but the match parameter gives NULL.
template <void (*F)(sqlite3_context*, int, sqlite3_value**), int MatchArg>
void nullsExceptMatch(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    for (int i = 0; i < argc; ++i) {
        if (i != MatchArg && isNull(argv[i])) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    guard(ctx, [&] { F(ctx, argc, argv); });
}

}  // namespace

bool registerRegexFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    bool ok = true;
    for (int n = 2; n <= 3; ++n)
        ok = ok && addScalar(db, s, "REGEXP_LIKE", n, nullsExceptMatch<likeFn, 2>);
    for (int n = 2; n <= 4; ++n)
        ok = ok && addScalar(db, s, "REGEXP_COUNT", n, nullsExceptMatch<countFn, 3>);
    for (int n = 2; n <= 7; ++n)
        ok = ok && addScalar(db, s, "REGEXP_INSTR", n, nullsExceptMatch<instrFn, 5>);
    for (int n = 2; n <= 6; ++n)
        ok = ok && addScalar(db, s, "REGEXP_SUBSTR", n, nullsExceptMatch<substrFn, 4>);
    for (int n = 2; n <= 6; ++n)
        ok = ok && addScalar(db, s, "REGEXP_REPLACE", n, replaceFn);
    return ok;
}

}  // namespace localengine::functions::glue
