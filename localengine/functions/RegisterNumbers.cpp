// Oracle's numeric functions as SQLite functions. They replace SQLite's
// built-ins of the same names (ROUND, ABS, ...) on the handle.

#include "DateFunctions.h"
#include "Intervals.h"
#include "NumberFormat.h"
#include "SqliteGlue.h"

namespace localengine::functions::glue {

namespace {

bool isNumeric(sqlite3_value* v) {
    const int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// ORA_ARITH(program, operand, ...): the front end's arithmetic on numbers.
// The program is the expression in postfix: 'v' takes the next operand,
// + - * / combine the two values on top. NULL on either side of an operator
// gives NULL; a zero divisor of a value raises ORA-01476.
void arithmeticFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    constexpr int kDepth = 128;
    std::optional<Number> stack[kDepth];
    int top = 0, next = 1;
    const unsigned char* program = argc > 0 ? sqlite3_value_text(argv[0]) : nullptr;
    if (!program)
        raise(909);
    for (; *program; ++program) {
        const char op = static_cast<char>(*program);
        if (op == 'v') {
            if (next >= argc || top == kDepth)
                raise(909);
            stack[top++] = isNull(argv[next]) ? std::nullopt : std::optional(number(argv[next]));
            ++next;
            continue;
        }
        if (top < 2)
            raise(909);
        const std::optional<Number> right = stack[--top];
        std::optional<Number>& left = stack[top - 1];
        if (!left || !right) {
            left.reset();
            continue;
        }
        switch (op) {
            case '+':
                left = add(*left, *right);
                break;
            case '-':
                left = add(*left, negate(*right));
                break;
            case '*':
                left = multiply(*left, *right);
                break;
            case '/':
                left = divide(*left, *right);
                break;
            default:
                raise(909);
        }
    }
    if (top != 1 || next != argc)
        raise(909);
    if (stack[0])
        result(ctx, *stack[0]);
    else
        sqlite3_result_null(ctx);
}
void divideFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, divide(number(argv[0]), number(argv[1])));
}
void modFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, mod(number(argv[0]), number(argv[1])));
}
void remainderFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, remainder(number(argv[0]), number(argv[1])));
}
void ceilFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, ceilNumber(number(argv[0])));
}
void floorFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, floorNumber(number(argv[0])));
}
void powerFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, power(number(argv[0]), number(argv[1])));
}
void sqrtFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, squareRoot(number(argv[0])));
}
void signFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, sign(number(argv[0])));
}
void absFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, absolute(number(argv[0])));
}
void bitandFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, bitAnd(number(argv[0]), number(argv[1])));
}
void negateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, negate(number(argv[0])));
}

void truncNumberFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, truncNumber(number(argv[0]), argc > 1 ? integer(argv[1]) : 0));
}
void roundNumberFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx, roundNumber(number(argv[0]), argc > 1 ? integer(argv[1]) : 0));
}

// TRUNC and ROUND of either a date (stored form) or a number.
void truncFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (const auto d = storedDatetime(argv[0])) {
        resultDate(ctx, truncDate(*d, argc > 1 ? text(argv[1]) : "DD"));
        return;
    }
    truncNumberFn(ctx, argc, argv);
}
void roundFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (const auto d = storedDatetime(argv[0])) {
        resultDate(ctx, roundDate(*d, argc > 1 ? text(argv[1]) : "DD"));
        return;
    }
    roundNumberFn(ctx, argc, argv);
}

void toNumberFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc > 2)
        checkNls(text(argv[2]));
    if (argc == 1) {
        result(ctx, number(argv[0]));
        return;
    }
    result(ctx, parseNumberFormatted(text(argv[0]), text(argv[1])));
}

// GREATEST / LEAST: the first argument decides how all compare: as
// numbers, as datetimes, as intervals or as text; the result has its type.
void extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool greatest) {
    if (argc < 1) {
        sqlite3_result_null(ctx);
        return;
    }
    if (isNumeric(argv[0])) {
        Number best = number(argv[0]);
        for (int i = 1; i < argc; ++i) {
            const Number n = number(argv[i]);
            if (greatest ? compare(n, best) > 0 : compare(n, best) < 0)
                best = n;
        }
        result(ctx, best);
        return;
    }
    if (const auto first = storedDatetime(argv[0])) {
        const bool ts = hasFraction(argv[0]);
        DateTime best = *first;
        for (int i = 1; i < argc; ++i) {
            const DateTime d = datetime(ctx, argv[i]);
            const bool later = toSeconds(d) > toSeconds(best) ||
                               (toSeconds(d) == toSeconds(best) && d.nanos > best.nanos);
            const bool earlier = toSeconds(d) < toSeconds(best) ||
                                 (toSeconds(d) == toSeconds(best) && d.nanos < best.nanos);
            if (greatest ? later : earlier)
                best = d;
        }
        ts ? resultTimestamp(ctx, best) : resultDate(ctx, best);
        return;
    }
    // Intervals by value ('-' sorts after '+' as text), other text as text.
    std::string best = text(argv[0]);
    const bool interval = parseIntervalDS(best) || parseIntervalYM(best);
    for (int i = 1; i < argc; ++i) {
        std::string t = text(argv[i]);
        const int order = interval ? compareIntervalTexts(t, best) : t.compare(best);
        if (greatest ? order > 0 : order < 0)
            best = std::move(t);
    }
    result(ctx, Text(best));
}
void greatestFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    extreme(ctx, argc, argv, true);
}
void leastFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    extreme(ctx, argc, argv, false);
}

}  // namespace

bool registerNumberFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    struct Entry {
        const char* name;
        int args;
        ScalarFn fn;
    };
    const Entry entries[] = {
        {"ORA_ARITH", -1, guarded<arithmeticFn>},
        {"ORA_DIV", 2, nullIn<divideFn>},
        {"ORA_NEG", 1, nullIn<negateFn>},
        {"MOD", 2, nullIn<modFn>},
        {"REMAINDER", 2, nullIn<remainderFn>},
        {"CEIL", 1, nullIn<ceilFn>},
        {"FLOOR", 1, nullIn<floorFn>},
        {"POWER", 2, nullIn<powerFn>},
        {"SQRT", 1, nullIn<sqrtFn>},
        {"SIGN", 1, nullIn<signFn>},
        {"ABS", 1, nullIn<absFn>},
        {"BITAND", 2, nullIn<bitandFn>},
        {"TRUNC", 1, nullIn<truncFn>},
        {"TRUNC", 2, nullIn<truncFn>},
        {"ROUND", 1, nullIn<roundFn>},
        {"ROUND", 2, nullIn<roundFn>},
        {"ORA_TRUNC_NUMBER", 1, nullIn<truncNumberFn>},
        {"ORA_TRUNC_NUMBER", 2, nullIn<truncNumberFn>},
        {"ORA_ROUND_NUMBER", 1, nullIn<roundNumberFn>},
        {"ORA_ROUND_NUMBER", 2, nullIn<roundNumberFn>},
        {"TO_NUMBER", 1, nullIn<toNumberFn>},
        {"TO_NUMBER", 2, nullIn<toNumberFn>},
        {"TO_NUMBER", 3, nullIn<toNumberFn>},
        {"GREATEST", -1, nullIn<greatestFn>},
        {"LEAST", -1, nullIn<leastFn>},
    };
    for (const Entry& e : entries)
        if (!addScalar(db, s, e.name, e.args, e.fn))
            return false;
    return true;
}

}  // namespace localengine::functions::glue
