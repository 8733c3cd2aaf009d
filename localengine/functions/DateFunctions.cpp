#include "DateFunctions.h"

#include "DateFormat.h"
#include "OraError.h"

#include <cctype>
#include <cmath>
#include <string>

namespace localengine::functions {

namespace {

std::string upperTrimmed(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ')
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

enum class Unit {
    Century,
    Year,
    IsoYear,
    Quarter,
    Month,
    Week,
    IsoWeek,
    MonthWeek,
    Day,
    WeekStart,
    Hour,
    Minute
};

Unit unitOf(std::string_view text) {
    const std::string u = upperTrimmed(text);
    static const std::pair<const char*, Unit> units[] = {
        {"CC", Unit::Century},    {"SCC", Unit::Century},  {"SYYYY", Unit::Year},
        {"YYYY", Unit::Year},     {"YEAR", Unit::Year},    {"SYEAR", Unit::Year},
        {"YYY", Unit::Year},      {"YY", Unit::Year},      {"Y", Unit::Year},
        {"IYYY", Unit::IsoYear},  {"IYY", Unit::IsoYear},  {"IY", Unit::IsoYear},
        {"I", Unit::IsoYear},     {"Q", Unit::Quarter},    {"MONTH", Unit::Month},
        {"MON", Unit::Month},     {"MM", Unit::Month},     {"RM", Unit::Month},
        {"WW", Unit::Week},       {"IW", Unit::IsoWeek},   {"W", Unit::MonthWeek},
        {"DDD", Unit::Day},       {"DD", Unit::Day},       {"J", Unit::Day},
        {"DAY", Unit::WeekStart}, {"DY", Unit::WeekStart}, {"D", Unit::WeekStart},
        {"HH", Unit::Hour},       {"HH12", Unit::Hour},    {"HH24", Unit::Hour},
        {"MI", Unit::Minute}};
    for (const auto& [name, unit] : units)
        if (u == name)
            return unit;
    raise(1821);
}

DateTime dayStart(std::int64_t julian) {
    DateTime d;
    fromJulianDay(julian, d.year, d.month, d.day);
    checkYear(d.year);
    return d;
}

std::int64_t isoYearStart(int year) {
    // The Monday of the week holding January 4.
    const std::int64_t jan4 = julianDay(year, 1, 4);
    const std::int64_t weekday = (jan4 + 1) % 7;  // 0 = Sunday
    return jan4 - (weekday + 6) % 7;
}

int isoYearOf(std::int64_t julian) {
    int y = 0, m = 0, d = 0;
    fromJulianDay(julian, y, m, d);
    if (julian >= isoYearStart(y + 1))
        return y + 1;
    if (julian < isoYearStart(y))
        return y - 1;
    return y;
}

// The first day of the period holding `d`, and the first of the next one.
struct Period {
    std::int64_t start, next;  // Julian days, or seconds for Hour/Minute
    std::int64_t middle;       // where ROUND goes up
};

Period periodOf(const DateTime& d, Unit unit) {
    const std::int64_t j = julianDay(d);
    switch (unit) {
        case Unit::Century: {
            const int first = (d.year - 1) / 100 * 100 + 1;
            return {julianDay(first, 1, 1), julianDay(first + 100, 1, 1),
                    julianDay(first + 50, 1, 1)};
        }
        case Unit::Year:
            return {julianDay(d.year, 1, 1), julianDay(d.year + 1, 1, 1), julianDay(d.year, 7, 1)};
        case Unit::IsoYear: {
            const int y = isoYearOf(j);
            return {isoYearStart(y), isoYearStart(y + 1), julianDay(y, 7, 1)};
        }
        case Unit::Quarter: {
            const int first = (d.month - 1) / 3 * 3 + 1;
            const int nextYear = first == 10 ? d.year + 1 : d.year;
            const int nextMonth = first == 10 ? 1 : first + 3;
            return {julianDay(d.year, first, 1), julianDay(nextYear, nextMonth, 1),
                    julianDay(d.year, first + 1, 16)};
        }
        case Unit::Month: {
            const int nextYear = d.month == 12 ? d.year + 1 : d.year;
            const int nextMonth = d.month == 12 ? 1 : d.month + 1;
            return {julianDay(d.year, d.month, 1), julianDay(nextYear, nextMonth, 1),
                    julianDay(d.year, d.month, 16)};
        }
        case Unit::Week:
        case Unit::IsoWeek:
        case Unit::MonthWeek:
        case Unit::WeekStart: {
            std::int64_t origin = 0;
            if (unit == Unit::Week)
                origin = julianDay(d.year, 1, 1);
            else if (unit == Unit::IsoWeek)
                origin = isoYearStart(isoYearOf(j));
            else if (unit == Unit::MonthWeek)
                origin = julianDay(d.year, d.month, 1);
            else
                origin = j - (dayOfWeek(d) - 1);  // Sunday
            const std::int64_t start = origin + (j - origin) / 7 * 7;
            return {start, start + 7, start + 4};  // half a week: from the fourth day at noon
        }
        case Unit::Day:
            return {j, j + 1, j};
        case Unit::Hour: {
            const std::int64_t s = toSeconds(d) / 3600 * 3600;
            return {s, s + 3600, s + 1800};
        }
        case Unit::Minute: {
            const std::int64_t s = toSeconds(d) / 60 * 60;
            return {s, s + 60, s + 30};
        }
    }
    return {j, j + 1, j};
}

}  // namespace

DateTime truncDate(const DateTime& d, std::string_view unitText) {
    const Unit unit = unitOf(unitText);
    const Period p = periodOf(d, unit);
    if (unit == Unit::Hour || unit == Unit::Minute)
        return fromSeconds(p.start);
    return dayStart(p.start);
}

DateTime roundDate(const DateTime& d, std::string_view unitText) {
    const Unit unit = unitOf(unitText);
    const Period p = periodOf(d, unit);
    const std::int64_t s = toSeconds(d);
    if (unit == Unit::Hour || unit == Unit::Minute)
        return fromSeconds(s >= p.middle ? p.next : p.start);
    std::int64_t middle = p.middle * kSecondsPerDay;
    if (unit == Unit::Day)
        middle += kSecondsPerDay / 2;  // noon
    else if (unit == Unit::Week || unit == Unit::IsoWeek || unit == Unit::MonthWeek ||
             unit == Unit::WeekStart)
        middle = (p.start * 2 + 7) * kSecondsPerDay / 2;  // three and a half days in
    return dayStart(s >= middle ? p.next : p.start);
}

DateTime addMonths(const DateTime& d, std::int64_t months) {
    if (months > 12 * 20000 || months < -12 * 20000)
        raise(1841);
    DateTime r = d;
    fromMonthIndex(monthIndex(d.year, d.month) + months, r.year, r.month);
    const int last = daysInMonth(r.year, r.month);
    if (d.day == daysInMonth(d.year, d.month) || d.day > last)
        r.day = last;
    r.nanos = 0;
    return r;
}

DateTime lastDay(const DateTime& d) {
    DateTime r = d;
    r.day = daysInMonth(d.year, d.month);
    r.nanos = 0;
    return r;
}

double monthsBetween(const DateTime& a, const DateTime& b) {
    const double months =
        static_cast<double>(monthIndex(a.year, a.month) - monthIndex(b.year, b.month));
    const bool aLast = a.day == daysInMonth(a.year, a.month);
    const bool bLast = b.day == daysInMonth(b.year, b.month);
    if (a.day == b.day || (aLast && bLast))
        return months;
    const double secondsA = a.hour * 3600.0 + a.minute * 60 + a.second;
    const double secondsB = b.hour * 3600.0 + b.minute * 60 + b.second;
    return months + (a.day - b.day) / 31.0 + (secondsA - secondsB) / (86400.0 * 31);
}

DateTime nextDay(const DateTime& d, std::string_view name) {
    const std::string n = upperTrimmed(name);
    int target = 0;
    for (int w = 1; w <= 7 && !target; ++w) {
        const std::string_view full = dayName(w);
        if (n == full || (n.size() == 3 && full.substr(0, 3) == n))
            target = w;
    }
    if (!target)
        raise(1846);
    int ahead = (target - dayOfWeek(d) + 7) % 7;
    if (ahead == 0)
        ahead = 7;
    DateTime r = fromSeconds(toSeconds(d) + ahead * kSecondsPerDay);
    return r;
}

double extractField(const DateTime& d, std::string_view fieldText, bool timestamp) {
    const std::string f = upperTrimmed(fieldText);
    if (f == "YEAR")
        return d.year;
    if (f == "MONTH")
        return d.month;
    if (f == "DAY")
        return d.day;
    if (timestamp) {
        if (f == "HOUR")
            return d.hour;
        if (f == "MINUTE")
            return d.minute;
        if (f == "SECOND")
            return d.second + d.nanos / 1e9;
    }
    raise(30076);
}

double extractField(const IntervalDS& i, std::string_view fieldText) {
    const std::string f = upperTrimmed(fieldText);
    const bool negative = i.nanos < 0;
    const __int128 n = negative ? -i.nanos : i.nanos;
    const __int128 perSecond = kNanosPerSecond;
    const long long seconds = static_cast<long long>(n / perSecond);
    double v = 0;
    if (f == "DAY")
        v = static_cast<double>(seconds / kSecondsPerDay);
    else if (f == "HOUR")
        v = static_cast<double>(seconds / 3600 % 24);
    else if (f == "MINUTE")
        v = static_cast<double>(seconds / 60 % 60);
    else if (f == "SECOND")
        v = static_cast<double>(seconds % 60) + static_cast<double>(n % perSecond) / 1e9;
    else
        raise(30076);
    return negative ? -v : v;
}

double extractField(const IntervalYM& i, std::string_view fieldText) {
    const std::string f = upperTrimmed(fieldText);
    if (f == "YEAR")
        return static_cast<double>(i.months / 12);
    if (f == "MONTH")
        return static_cast<double>(i.months % 12);
    raise(30076);
}

DateTime addDays(const DateTime& d, double days) {
    if (!std::isfinite(days) || std::fabs(days) > 4e6)
        raise(1841);
    const double seconds = std::round(days * kSecondsPerDay);
    return fromSeconds(toSeconds(d) + static_cast<std::int64_t>(seconds));
}

double daysBetween(const DateTime& a, const DateTime& b) {
    const std::int64_t diff = toSeconds(a) - toSeconds(b);
    if (diff % kSecondsPerDay == 0)
        return static_cast<double>(diff / kSecondsPerDay);
    return static_cast<double>(diff) / kSecondsPerDay;
}

IntervalDS timestampDifference(const DateTime& a, const DateTime& b) {
    const __int128 sa = static_cast<__int128>(toSeconds(a)) * kNanosPerSecond + a.nanos;
    const __int128 sb = static_cast<__int128>(toSeconds(b)) * kNanosPerSecond + b.nanos;
    return IntervalDS{sa - sb};
}

DateTime addInterval(const DateTime& d, const IntervalDS& i) {
    const __int128 total =
        static_cast<__int128>(toSeconds(d)) * kNanosPerSecond + d.nanos + i.nanos;
    __int128 seconds = total / kNanosPerSecond;
    __int128 nanos = total % kNanosPerSecond;
    if (nanos < 0) {
        nanos += kNanosPerSecond;
        --seconds;
    }
    if (seconds > static_cast<__int128>(INT64_MAX / 2) || seconds < 0)
        raise(1841);
    return fromSeconds(static_cast<std::int64_t>(seconds), static_cast<int>(nanos));
}

DateTime addInterval(const DateTime& d, const IntervalYM& i) {
    if (i.months > 12 * 20000 || i.months < -12 * 20000)
        raise(1841);
    DateTime r = d;
    fromMonthIndex(monthIndex(d.year, d.month) + i.months, r.year, r.month);
    if (r.day > daysInMonth(r.year, r.month))
        raise(1839);
    return r;
}

IntervalDS numToDSInterval(double n, std::string_view unitText) {
    const std::string u = upperTrimmed(unitText);
    double scale = 0;
    if (u == "DAY")
        scale = 86400e9;
    else if (u == "HOUR")
        scale = 3600e9;
    else if (u == "MINUTE")
        scale = 60e9;
    else if (u == "SECOND")
        scale = 1e9;
    else
        raise(1867);
    const long double v = static_cast<long double>(n) * scale;
    if (!std::isfinite(static_cast<double>(v)) || std::fabs(static_cast<double>(v)) > 8.64e22)
        raise(1873);
    const long double seconds = std::floor(v / 1e9L);
    const long long nanos = std::llround(static_cast<double>(v - seconds * 1e9L));
    return IntervalDS{static_cast<__int128>(static_cast<long long>(seconds)) * kNanosPerSecond +
                      nanos};
}

IntervalYM numToYMInterval(double n, std::string_view unitText) {
    const std::string u = upperTrimmed(unitText);
    double months = 0;
    if (u == "YEAR")
        months = n * 12;
    else if (u == "MONTH")
        months = n;
    else
        raise(1867);
    if (!std::isfinite(months) || std::fabs(months) > 1.2e10)
        raise(1873);
    return IntervalYM{static_cast<std::int64_t>(std::llround(months))};
}

}  // namespace localengine::functions
