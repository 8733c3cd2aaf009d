// Oracle's character functions as SQLite functions. They replace SQLite's
// SUBSTR, INSTR, TRIM, LTRIM, RTRIM, REPLACE and LENGTH on the handle, so
// that positions, NULLs and empty results follow Oracle.

#include "LetterCase.h"
#include "SqliteGlue.h"

#include <cctype>

namespace localengine::functions::glue {

namespace {

std::optional<std::int64_t> optionalInteger(int argc, sqlite3_value** argv, int index) {
    if (argc <= index)
        return std::nullopt;
    return integer(argv[index]);
}

void substrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, substr(text(argv[0]), integer(argv[1]), optionalInteger(argc, argv, 2)));
}
void substrbFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, substrb(text(argv[0]), integer(argv[1]), optionalInteger(argc, argv, 2)));
}
void instrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, Number::of(instr(text(argv[0]), text(argv[1]), argc > 2 ? integer(argv[2]) : 1,
                                 argc > 3 ? integer(argv[3]) : 1)));
}
void instrbFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, Number::of(instrb(text(argv[0]), text(argv[1]), argc > 2 ? integer(argv[2]) : 1,
                                  argc > 3 ? integer(argv[3]) : 1)));
}
void lengthFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
        result(ctx, Number::of(std::int64_t{sqlite3_value_bytes(argv[0])}));
        return;
    }
    const std::string t = text(argv[0]);
    if (t.empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    result(ctx, Number::of(static_cast<std::int64_t>(charLength(t))));
}
void lengthbFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t n = sqlite3_value_type(argv[0]) == SQLITE_BLOB
                               ? sqlite3_value_bytes(argv[0])
                               : static_cast<std::int64_t>(text(argv[0]).size());
    if (n == 0)
        sqlite3_result_null(ctx);
    else
        result(ctx, Number::of(n));
}

TrimSide sideOf(const std::string& s) {
    std::string u;
    for (char c : s)
        u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (u == "LEADING")
        return TrimSide::Leading;
    if (u == "TRAILING")
        return TrimSide::Trailing;
    if (u == "BOTH")
        return TrimSide::Both;
    throw Unsupported("TRIM side must be LEADING, TRAILING or BOTH");
}

// ORA_TRIM(s[, side[, character]]): TRIM([side [character] FROM] s).
void trimFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const TrimSide side = argc > 1 ? sideOf(text(argv[1])) : TrimSide::Both;
    result(ctx, trim(text(argv[0]), side, argc > 2 ? text(argv[2]) : std::string(" ")));
}
void ltrimFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, trimSet(text(argv[0]), TrimSide::Leading, argc > 1 ? text(argv[1]) : " "));
}
void rtrimFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, trimSet(text(argv[0]), TrimSide::Trailing, argc > 1 ? text(argv[1]) : " "));
}
void translateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, translate(text(argv[0]), text(argv[1]), text(argv[2])));
}

// REPLACE: a NULL search leaves the text as it is; a NULL replacement
// removes what is found.
void replaceFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    guard(ctx, [&] {
        const std::string with = argc > 2 && !isNull(argv[2]) ? text(argv[2]) : std::string();
        result(ctx, replace(text(argv[0]), isNull(argv[1]) ? std::string() : text(argv[1]), with,
                            lengthLimit(ctx)));
    });
}

// CONCAT(a, b): NULL counts as empty text; empty results are NULL.
void concatFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    guard(ctx, [&] { result(ctx, Text(text(argv[0]) + text(argv[1]))); });
}

void upperFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Text(withCase(text(argv[0]), LetterCase::Upper)));
}
void lowerFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Text(withCase(text(argv[0]), LetterCase::Lower)));
}
void initcapFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, initcap(text(argv[0])));
}
void asciiFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string t = text(argv[0]);
    if (t.empty()) {
        sqlite3_result_null(ctx);
        return;
    }
    result(ctx, Number::of(ascii(t)));
}
void chrFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const Text t = chr(integer(argv[0]));
    sqlite3_result_text64(ctx, t->data(), t->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}
void soundexFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, soundex(text(argv[0])));
}

}  // namespace

bool registerTextFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    struct Entry {
        const char* name;
        int args;
        ScalarFn fn;
    };
    const Entry entries[] = {
        {"SUBSTR", 2, nullIn<substrFn>},
        {"SUBSTR", 3, nullIn<substrFn>},
        {"SUBSTRB", 2, nullIn<substrbFn>},
        {"SUBSTRB", 3, nullIn<substrbFn>},
        {"INSTR", 2, nullIn<instrFn>},
        {"INSTR", 3, nullIn<instrFn>},
        {"INSTR", 4, nullIn<instrFn>},
        {"INSTRB", 2, nullIn<instrbFn>},
        {"INSTRB", 3, nullIn<instrbFn>},
        {"INSTRB", 4, nullIn<instrbFn>},
        {"LENGTH", 1, nullIn<lengthFn>},
        {"LENGTHB", 1, nullIn<lengthbFn>},
        {"ORA_TRIM", 1, nullIn<trimFn>},
        {"ORA_TRIM", 2, nullIn<trimFn>},
        {"ORA_TRIM", 3, nullIn<trimFn>},
        {"TRIM", 1, nullIn<trimFn>},
        {"LTRIM", 1, nullIn<ltrimFn>},
        {"LTRIM", 2, nullIn<ltrimFn>},
        {"RTRIM", 1, nullIn<rtrimFn>},
        {"RTRIM", 2, nullIn<rtrimFn>},
        {"TRANSLATE", 3, nullIn<translateFn>},
        {"REPLACE", 2, replaceFn},
        {"REPLACE", 3, replaceFn},
        {"CONCAT", 2, concatFn},
        {"INITCAP", 1, nullIn<initcapFn>},
        {"UPPER", 1, nullIn<upperFn>},
        {"LOWER", 1, nullIn<lowerFn>},
        {"ASCII", 1, nullIn<asciiFn>},
        {"CHR", 1, nullIn<chrFn>},
        {"SOUNDEX", 1, nullIn<soundexFn>},
    };
    for (const Entry& e : entries)
        if (!addScalar(db, s, e.name, e.args, e.fn))
            return false;
    return true;
}

}  // namespace localengine::functions::glue
