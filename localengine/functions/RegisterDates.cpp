// The date and time functions as SQLite functions. Names beginning ORA_
// are the helpers the front end calls where Oracle's syntax has no
// function (date arithmetic, EXTRACT, typed conversions).

#include "DateFormat.h"
#include "DateFunctions.h"
#include "Intervals.h"
#include "NumberFormat.h"
#include "SqliteGlue.h"

#include <cctype>

namespace localengine::functions::glue {

namespace {

std::string formatOf(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool timestamp) {
    if (argc > 1)
        return text(argv[1]);
    return timestamp ? settings(ctx).timestampFormat : settings(ctx).dateFormat;
}

IntervalDS dsInterval(sqlite3_value* v) {
    const std::optional<IntervalDS> i = parseIntervalDS(text(v));
    if (!i)
        raise(1867);
    return *i;
}

IntervalYM ymInterval(sqlite3_value* v) {
    const std::optional<IntervalYM> i = parseIntervalYM(text(v));
    if (!i)
        raise(1867);
    return *i;
}

// TO_CHAR(value[, format]): numbers through the number format model,
// stored datetimes through the datetime model, other text as it is (or as
// a number when a format is given, as Oracle converts it).
void toChar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        const Number n = number(argv[0]);
        result(ctx, argc > 1 ? Text(formatNumber(n, text(argv[1]))) : Text(numberText(n)));
        return;
    }
    if (const std::optional<DateTime> d = storedDatetime(argv[0])) {
        const bool ts = hasFraction(argv[0]);
        result(ctx, Text(formatDateTime(*d, formatOf(ctx, argc, argv, ts), ts)));
        return;
    }
    if (argc > 1) {
        result(ctx, Text(formatNumber(number(argv[0]), text(argv[1]))));
        return;
    }
    result(ctx, Text(text(argv[0])));
}

void toCharDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx,
           Text(formatDateTime(datetime(ctx, argv[0]), formatOf(ctx, argc, argv, false), false)));
}

void toCharTimestamp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    result(ctx,
           Text(formatDateTime(datetime(ctx, argv[0]), formatOf(ctx, argc, argv, true), true)));
}

void toCharNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const Number n = number(argv[0]);
    result(ctx, argc > 1 ? Text(formatNumber(n, text(argv[1]))) : Text(numberText(n)));
}

// TO_DATE and TO_TIMESTAMP read text with the format given, else the
// session's (NLS_DATE_FORMAT, NLS_TIMESTAMP_FORMAT), as Oracle's rules for
// string-to-date conversion allow. The front end's implicit conversions of
// character data to a datetime are these calls without a format.
DateTime parsed(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool timestamp) {
    return parseDateTime(text(argv[0]), formatOf(ctx, argc, argv, timestamp), now(ctx), timestamp);
}

void dateResult(sqlite3_context* ctx, DateTime d) {
    d.nanos = 0;
    resultDate(ctx, d);
}

void toDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    dateResult(ctx, parsed(ctx, argc, argv, false));
}

void toTimestamp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    resultTimestamp(ctx, parsed(ctx, argc, argv, true));
}

// DATE 'YYYY-MM-DD' and TIMESTAMP 'YYYY-MM-DD HH24:MI:SS[.FF]' literals.
void dateLiteral(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::optional<DateTime> d = parseStoredDateTime(text(argv[0]));
    if (!d || text(argv[0]).size() != 10)
        raise(1861);
    resultDate(ctx, *d);
}

void timestampLiteral(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::optional<DateTime> d = parseStoredDateTime(text(argv[0]));
    if (!d)
        raise(1861);
    resultTimestamp(ctx, *d);
}

// CAST(x AS TIMESTAMP[(p)]) and CAST(x AS DATE).
void castTimestamp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::int64_t p = argc > 1 ? integer(argv[1]) : 6;
    if (p < 0 || p > 9)
        raise(1428, std::to_string(p));
    resultTimestamp(ctx, roundFraction(datetime(ctx, argv[0]), static_cast<int>(p)));
}

void castDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTime d = datetime(ctx, argv[0]);
    d.nanos = 0;
    resultDate(ctx, d);
}

void addMonthsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultDate(ctx, addMonths(datetime(ctx, argv[0]), integer(argv[1])));
}

void lastDayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultDate(ctx, lastDay(datetime(ctx, argv[0])));
}

void monthsBetweenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Number::of(monthsBetween(datetime(ctx, argv[0]), datetime(ctx, argv[1]))));
}

void nextDayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultDate(ctx, nextDay(datetime(ctx, argv[0]), text(argv[1])));
}

void truncDateFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    resultDate(ctx, truncDate(datetime(ctx, argv[0]), argc > 1 ? text(argv[1]) : "DD"));
}

void roundDateFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    resultDate(ctx, roundDate(datetime(ctx, argv[0]), argc > 1 ? text(argv[1]) : "DD"));
}

// EXTRACT(field FROM value): the value's form tells its type.
void extractFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string field = text(argv[0]);
    const std::string value = text(argv[1]);
    double v = 0;
    if (const auto ds = parseIntervalDS(value))
        v = extractField(*ds, field);
    else if (const auto ym = parseIntervalYM(value))
        v = extractField(*ym, field);
    else
        v = extractField(datetime(ctx, argv[1]), field, hasFraction(argv[1]));
    if (v == static_cast<double>(static_cast<std::int64_t>(v)))
        result(ctx, Number::of(static_cast<std::int64_t>(v)));
    else
        result(ctx, Number::of(v));
}

void extractDateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const double v = extractField(datetime(ctx, argv[1]), text(argv[0]), false);
    result(ctx, Number::of(static_cast<std::int64_t>(v)));
}

void dateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultDate(ctx, addDays(datetime(ctx, argv[0]), number(argv[1]).asDouble()));
}

void dateSub(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultDate(ctx, addDays(datetime(ctx, argv[0]), -number(argv[1]).asDouble()));
}

void dateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTime a = datetime(ctx, argv[0]), b = datetime(ctx, argv[1]);
    const double days = daysBetween(a, b);
    if (days == static_cast<double>(static_cast<std::int64_t>(days)))
        result(ctx, Number::of(static_cast<std::int64_t>(days)));
    else
        result(ctx, Number::of(days));
}

void timestampDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx,
           Text(intervalText(timestampDifference(datetime(ctx, argv[0]), datetime(ctx, argv[1])))));
}

// Adds (sign +1) or subtracts (-1) an interval given in either text form.
DateTime shifted(sqlite3_context* ctx, sqlite3_value* date, sqlite3_value* interval, int sign) {
    const DateTime d = datetime(ctx, date);
    const std::string t = text(interval);
    if (auto ds = parseIntervalDS(t)) {
        ds->nanos *= sign;
        return addInterval(d, *ds);
    }
    if (auto ym = parseIntervalYM(t)) {
        ym->months *= sign;
        return addInterval(d, *ym);
    }
    raise(1867);
}

void dateAddInterval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTime d = shifted(ctx, argv[0], argv[1], 1);
    d.nanos = 0;
    resultDate(ctx, d);
}
void dateSubInterval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTime d = shifted(ctx, argv[0], argv[1], -1);
    d.nanos = 0;
    resultDate(ctx, d);
}
void timestampAddInterval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultTimestamp(ctx, shifted(ctx, argv[0], argv[1], 1));
}
void timestampSubInterval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultTimestamp(ctx, shifted(ctx, argv[0], argv[1], -1));
}

// interval + interval (sign +1) and interval - interval (-1), of one kind.
void combined(sqlite3_context* ctx, sqlite3_value** argv, int sign) {
    const std::string a = text(argv[0]);
    if (auto x = parseIntervalDS(a)) {
        const IntervalDS sum{x->nanos + sign * dsInterval(argv[1]).nanos};
        result(ctx, Text(intervalText(checkedInterval(sum))));
        return;
    }
    const IntervalYM x = ymInterval(argv[0]);
    const IntervalYM sum{x.months + sign * ymInterval(argv[1]).months};
    result(ctx, Text(intervalText(checkedInterval(sum))));
}

void intervalAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    combined(ctx, argv, 1);
}

void intervalSub(sqlite3_context* ctx, int, sqlite3_value** argv) {
    combined(ctx, argv, -1);
}

// interval * n (divide false) and interval / n.
void scaled(sqlite3_context* ctx, sqlite3_value** argv, bool divide) {
    const std::string t = text(argv[0]);
    const double n = number(argv[1]).asDouble();
    if (auto ds = parseIntervalDS(t)) {
        result(ctx, Text(intervalText(scaleInterval(*ds, n, divide))));
        return;
    }
    result(ctx, Text(intervalText(scaleInterval(ymInterval(argv[0]), n, divide))));
}

void intervalMul(sqlite3_context* ctx, int, sqlite3_value** argv) {
    scaled(ctx, argv, false);
}

void intervalDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    scaled(ctx, argv, true);
}

// ORA_CAST_INTERVAL(value, 'DS'|'YM', leading, fraction): the value as
// INTERVAL DAY(leading) TO SECOND(fraction) or YEAR(leading) TO MONTH. Text
// is read in the interval's own form ('1 02:03:04.5', '1-2'); a number or a
// datetime is ORA-00932.
void castInterval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const bool daySecond = text(argv[1]) == "DS";
    const char* target = daySecond ? "INTERVAL DAY TO SECOND" : "INTERVAL YEAR TO MONTH";
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        raise(932, target, "NUMBER");
    if (storedDatetime(argv[0]))
        raise(932, target, hasFraction(argv[0]) ? "TIMESTAMP" : "DATE");
    const auto leading = static_cast<int>(integer(argv[2]));
    if (daySecond) {
        const auto fraction = static_cast<int>(integer(argv[3]));
        result(ctx, Text(intervalText(fitInterval(dsInterval(argv[0]), leading, fraction))));
        return;
    }
    result(ctx, Text(intervalText(fitInterval(ymInterval(argv[0]), leading))));
}

// Intervals compared and sorted by value (COLLATE ORA_INTERVAL).
int intervalCollation(void*, int n1, const void* a, int n2, const void* b) noexcept {
    return compareIntervalTexts(
        std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(n1)),
        std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(n2)));
}

void numToDS(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Text(intervalText(numToDSInterval(number(argv[0]).asDouble(), text(argv[1])))));
}

void numToYM(sqlite3_context* ctx, int, sqlite3_value** argv) {
    result(ctx, Text(intervalText(numToYMInterval(number(argv[0]).asDouble(), text(argv[1])))));
}

// The optional third argument of TO_CHAR, TO_DATE, TO_TIMESTAMP and
// TO_NUMBER: the settings the engine has (English names, '.' and ',', '$')
// are accepted; others are refused rather than ignored.
void checkNlsParameter(const std::string& text) {
    std::string squeezed;
    for (char c : text)
        if (c != ' ' && c != '\'' && c != '"' && c != '\t')
            squeezed += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const accepted[] = {
        "NLS_DATE_LANGUAGE=AMERICAN", "NLS_DATE_LANGUAGE=ENGLISH",
        "NLS_NUMERIC_CHARACTERS=.,",  "NLS_CURRENCY=$",
        "NLS_ISO_CURRENCY=AMERICA",   "NLS_CALENDAR=GREGORIAN"};
    for (const char* a : accepted) {
        for (std::size_t at = squeezed.find(a); at != std::string::npos; at = squeezed.find(a))
            squeezed.erase(at, std::string_view(a).size());
    }
    if (!squeezed.empty())
        throw Unsupported("the NLS parameter '" + text + "' is not supported by the local engine");
}

void toCharNls(sqlite3_context* ctx, int, sqlite3_value** argv) {
    checkNlsParameter(text(argv[2]));
    toChar(ctx, 2, argv);
}
void toDateNls(sqlite3_context* ctx, int, sqlite3_value** argv) {
    checkNlsParameter(text(argv[2]));
    toDate(ctx, 2, argv);
}
void toTimestampNls(sqlite3_context* ctx, int, sqlite3_value** argv) {
    checkNlsParameter(text(argv[2]));
    toTimestamp(ctx, 2, argv);
}

}  // namespace

// TO_NUMBER(text, format, nlsparam) lives with the numbers.
void checkNls(const std::string& text) {
    checkNlsParameter(text);
}

bool registerDateFunctions(sqlite3* db, const std::shared_ptr<SessionSettings>& s) {
    struct Entry {
        const char* name;
        int args;
        ScalarFn fn;
        int flags;
    };
    const Entry entries[] = {
        // Results that follow the session's NLS formats are not deterministic.
        {"TO_CHAR", 1, nullIn<toChar>, kVolatile},
        {"TO_CHAR", 2, nullIn<toChar>, kDeterministic},
        {"ORA_TO_CHAR_DATE", 1, nullIn<toCharDate>, kVolatile},
        {"ORA_TO_CHAR_DATE", 2, nullIn<toCharDate>, kDeterministic},
        {"ORA_TO_CHAR_TIMESTAMP", 1, nullIn<toCharTimestamp>, kVolatile},
        {"ORA_TO_CHAR_TIMESTAMP", 2, nullIn<toCharTimestamp>, kDeterministic},
        {"ORA_TO_CHAR_NUMBER", 1, nullIn<toCharNumber>, kDeterministic},
        {"ORA_TO_CHAR_NUMBER", 2, nullIn<toCharNumber>, kDeterministic},
        {"TO_CHAR", 3, nullIn<toCharNls>, kDeterministic},
        {"TO_DATE", 3, nullIn<toDateNls>, kDeterministic},
        {"TO_TIMESTAMP", 3, nullIn<toTimestampNls>, kDeterministic},
        {"TO_DATE", 1, nullIn<toDate>, kVolatile},
        {"TO_DATE", 2, nullIn<toDate>, kDeterministic},
        {"TO_TIMESTAMP", 1, nullIn<toTimestamp>, kVolatile},
        {"TO_TIMESTAMP", 2, nullIn<toTimestamp>, kDeterministic},
        {"ORA_DATE", 1, nullIn<dateLiteral>, kDeterministic},
        {"ORA_TIMESTAMP", 1, nullIn<timestampLiteral>, kDeterministic},
        {"ORA_CAST_TIMESTAMP", 1, nullIn<castTimestamp>, kDeterministic},
        {"ORA_CAST_TIMESTAMP", 2, nullIn<castTimestamp>, kDeterministic},
        {"ORA_CAST_DATE", 1, nullIn<castDate>, kDeterministic},
        {"ADD_MONTHS", 2, nullIn<addMonthsFn>, kDeterministic},
        {"LAST_DAY", 1, nullIn<lastDayFn>, kDeterministic},
        {"MONTHS_BETWEEN", 2, nullIn<monthsBetweenFn>, kDeterministic},
        {"NEXT_DAY", 2, nullIn<nextDayFn>, kDeterministic},
        {"ORA_TRUNC_DATE", 1, nullIn<truncDateFn>, kDeterministic},
        {"ORA_TRUNC_DATE", 2, nullIn<truncDateFn>, kDeterministic},
        {"ORA_ROUND_DATE", 1, nullIn<roundDateFn>, kDeterministic},
        {"ORA_ROUND_DATE", 2, nullIn<roundDateFn>, kDeterministic},
        {"ORA_EXTRACT", 2, nullIn<extractFn>, kDeterministic},
        {"ORA_EXTRACT_DATE", 2, nullIn<extractDateFn>, kDeterministic},
        {"ORA_DATE_ADD", 2, nullIn<dateAdd>, kDeterministic},
        {"ORA_DATE_SUB", 2, nullIn<dateSub>, kDeterministic},
        {"ORA_DATE_DIFF", 2, nullIn<dateDiff>, kDeterministic},
        {"ORA_TIMESTAMP_DIFF", 2, nullIn<timestampDiff>, kDeterministic},
        {"ORA_DATE_ADD_INTERVAL", 2, nullIn<dateAddInterval>, kDeterministic},
        {"ORA_DATE_SUB_INTERVAL", 2, nullIn<dateSubInterval>, kDeterministic},
        {"ORA_TIMESTAMP_ADD_INTERVAL", 2, nullIn<timestampAddInterval>, kDeterministic},
        {"ORA_TIMESTAMP_SUB_INTERVAL", 2, nullIn<timestampSubInterval>, kDeterministic},
        {"ORA_INTERVAL_ADD", 2, nullIn<intervalAdd>, kDeterministic},
        {"ORA_INTERVAL_SUB", 2, nullIn<intervalSub>, kDeterministic},
        {"ORA_INTERVAL_MUL", 2, nullIn<intervalMul>, kDeterministic},
        {"ORA_INTERVAL_DIV", 2, nullIn<intervalDiv>, kDeterministic},
        {"ORA_CAST_INTERVAL", 4, nullIn<castInterval>, kDeterministic},
        {"NUMTODSINTERVAL", 2, nullIn<numToDS>, kDeterministic},
        {"NUMTOYMINTERVAL", 2, nullIn<numToYM>, kDeterministic},
    };
    for (const Entry& e : entries)
        if (!addScalar(db, s, e.name, e.args, e.fn, e.flags))
            return false;
    return sqlite3_create_collation_v2(db, "ORA_INTERVAL", SQLITE_UTF8, nullptr, intervalCollation,
                                       nullptr) == SQLITE_OK;
}

}  // namespace localengine::functions::glue
