#include "Calendar.h"

#include "OraError.h"

#include <algorithm>
#include <cstdio>

namespace localengine::functions {

namespace {

// The first Gregorian day, 1582-10-15.
constexpr std::int64_t kGregorianStart = 2299161;

bool beforeGregorian(int year, int month, int day) {
    if (year != 1582)
        return year < 1582;
    if (month != 10)
        return month < 10;
    return day < 15;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

bool readDigits(std::string_view t, std::size_t& at, std::size_t count, int& out) {
    if (at + count > t.size())
        return false;
    int v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = t[at + i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    at += count;
    return true;
}

}  // namespace

bool isLeapYear(int year) {
    if (year < 0)
        return (year + 1) % 4 == 0;  // 1 BC is leap, like 4 AD
    if (year <= 1582)
        return year % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year))
        return 29;
    return days[(month - 1) % 12];
}

std::int64_t julianDay(int year, int month, int day) {
    if (year < 1)
        throw Unsupported("counting days before the year 1 is not supported by the local engine");
    if (year == 1582 && month == 10 && day > 4 && day < 15)
        day = 15;  // the days dropped by the calendar reform
    const std::int64_t a = (14 - month) / 12;
    const std::int64_t y = year + 4800 - a;
    const std::int64_t m = month + 12 * a - 3;
    const std::int64_t base = day + (153 * m + 2) / 5 + 365 * y + y / 4;
    if (beforeGregorian(year, month, day))
        return base - 32083;
    return base - y / 100 + y / 400 - 32045;
}

void fromJulianDay(std::int64_t j, int& year, int& month, int& day) {
    std::int64_t b = 0, c = 0;
    if (j >= kGregorianStart) {
        const std::int64_t a = j + 32044;
        b = (4 * a + 3) / 146097;
        c = a - 146097 * b / 4;
    } else {
        c = j + 32082;
    }
    const std::int64_t d = (4 * c + 3) / 1461;
    const std::int64_t e = c - 1461 * d / 4;
    const std::int64_t m = (5 * e + 2) / 153;
    day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    month = static_cast<int>(m + 3 - 12 * (m / 10));
    year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

std::int64_t julianDay(const DateTime& d) {
    return julianDay(d.year, d.month, d.day);
}

int dayOfWeek(const DateTime& d) {
    // Julian day 0 was a Monday.
    return static_cast<int>((julianDay(d) + 1) % 7) + 1;
}

int dayOfYear(const DateTime& d) {
    return static_cast<int>(julianDay(d) - julianDay(d.year, 1, 1)) + 1;
}

void checkYear(long long year) {
    if (year > kMaxYear || year < kMinYear || year == 0)
        raise(1841);
}

long long monthIndex(int year, int month) {
    const long long line = year < 0 ? year + 1 : year;
    return line * 12 + (month - 1);
}

void fromMonthIndex(long long index, int& year, int& month) {
    const long long line = index >= 0 ? index / 12 : -((-index + 11) / 12);
    month = static_cast<int>(index - line * 12) + 1;
    const long long y = line <= 0 ? line - 1 : line;
    checkYear(y);
    year = static_cast<int>(y);
}

std::int64_t toSeconds(const DateTime& d) {
    return julianDay(d) * kSecondsPerDay + d.hour * 3600 + d.minute * 60 + d.second;
}

DateTime fromSeconds(std::int64_t seconds, int nanos) {
    const std::int64_t day = floorDiv(seconds, kSecondsPerDay);
    const std::int64_t rest = seconds - day * kSecondsPerDay;
    static const std::int64_t first = julianDay(1, 1, 1);
    static const std::int64_t last = julianDay(kMaxYear, 12, 31);
    if (day > last)
        raise(1841);
    if (day < 1)
        raise(1841);  // before Oracle's first day, 4712 BC
    if (day < first)
        throw Unsupported("counting days before the year 1 is not supported by the local engine");
    DateTime d;
    fromJulianDay(day, d.year, d.month, d.day);
    d.hour = static_cast<int>(rest / 3600);
    d.minute = static_cast<int>(rest / 60 % 60);
    d.second = static_cast<int>(rest % 60);
    d.nanos = nanos;
    return d;
}

std::optional<DateTime> parseStoredDateTime(std::string_view t) {
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    DateTime d;
    std::size_t at = 0;
    const bool bc = !t.empty() && t[0] == '-';
    if (bc)
        ++at;
    // Four digits or more: a longer year is out of range, not another kind
    // of text.
    std::size_t digits = 0;
    while (at + digits < t.size() && t[at + digits] >= '0' && t[at + digits] <= '9')
        ++digits;
    if (digits < 4)
        return std::nullopt;
    long long year = 0;
    for (std::size_t i = 0; i < digits; ++i)
        year = std::min(year * 10 + (t[at + i] - '0'), 100000LL);
    at += digits;
    d.year = static_cast<int>(bc ? -year : year);
    if (at >= t.size() || t[at++] != '-' || !readDigits(t, at, 2, d.month) || at >= t.size() ||
        t[at++] != '-' || !readDigits(t, at, 2, d.day))
        return std::nullopt;
    if (at < t.size()) {
        if (t[at] != ' ' && t[at] != 'T')
            return std::nullopt;
        ++at;
        if (!readDigits(t, at, 2, d.hour) || at >= t.size() || t[at++] != ':' ||
            !readDigits(t, at, 2, d.minute))
            return std::nullopt;
        if (at < t.size()) {
            if (t[at++] != ':' || !readDigits(t, at, 2, d.second))
                return std::nullopt;
        }
        if (at < t.size()) {
            if (t[at++] != '.')
                return std::nullopt;
            const std::size_t digits = t.size() - at;
            if (digits < 1 || digits > 9)
                return std::nullopt;
            int f = 0;
            if (!readDigits(t, at, digits, f))
                return std::nullopt;
            for (std::size_t i = digits; i < 9; ++i)
                f *= 10;
            d.nanos = f;
        }
    }
    if (d.year == 0 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > daysInMonth(d.year, d.month) || d.hour > 23 || d.minute > 59 || d.second > 59)
        return std::nullopt;
    if (d.year == 1582 && d.month == 10 && d.day > 4 && d.day < 15)
        d.day = 15;
    return d;
}

std::string dateText(const DateTime& d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%04d-%02d-%02d %02d:%02d:%02d", d.year < 0 ? "-" : "",
                  d.year < 0 ? -d.year : d.year, d.month, d.day, d.hour, d.minute, d.second);
    return buf;
}

std::string timestampText(const DateTime& d) {
    char buf[56];
    std::snprintf(buf, sizeof buf, "%s%04d-%02d-%02d %02d:%02d:%02d.%09d", d.year < 0 ? "-" : "",
                  d.year < 0 ? -d.year : d.year, d.month, d.day, d.hour, d.minute, d.second,
                  d.nanos);
    return buf;
}

DateTime roundFraction(const DateTime& d, int precision) {
    if (precision >= 9)
        return d;
    std::int64_t unit = 1;
    for (int i = precision; i < 9; ++i)
        unit *= 10;
    std::int64_t n = (d.nanos + unit / 2) / unit * unit;
    if (n < kNanosPerSecond) {
        DateTime r = d;
        r.nanos = static_cast<int>(n);
        return r;
    }
    return fromSeconds(toSeconds(d) + 1, 0);
}

std::string intervalText(const IntervalDS& i) {
    const bool negative = i.nanos < 0;
    const __int128 n = negative ? -i.nanos : i.nanos;
    const __int128 perDay = static_cast<__int128>(kSecondsPerDay) * kNanosPerSecond;
    const long long days = static_cast<long long>(n / perDay);
    const long long rest = static_cast<long long>(n % perDay);
    const long long secs = rest / kNanosPerSecond;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%c%09lld %02lld:%02lld:%02lld.%09lld", negative ? '-' : '+',
                  days, secs / 3600, secs / 60 % 60, secs % 60, rest % kNanosPerSecond);
    return buf;
}

std::string intervalText(const IntervalYM& i) {
    const bool negative = i.months < 0;
    const unsigned long long m = negative ? 0ULL - static_cast<unsigned long long>(i.months)
                                          : static_cast<unsigned long long>(i.months);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%c%09llu-%02llu", negative ? '-' : '+', m / 12, m % 12);
    return buf;
}

namespace {

bool readNumber(std::string_view t, std::size_t& at, long long& out, int maxDigits) {
    const std::size_t start = at;
    long long v = 0;
    while (at < t.size() && t[at] >= '0' && t[at] <= '9') {
        if (static_cast<int>(at - start) >= maxDigits)
            return false;
        v = v * 10 + (t[at] - '0');
        ++at;
    }
    out = v;
    return at > start;
}

bool readSign(std::string_view t, std::size_t& at) {
    if (at < t.size() && (t[at] == '+' || t[at] == '-'))
        return t[at++] == '-';
    return false;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    return t;
}

}  // namespace

std::optional<IntervalDS> parseIntervalDS(std::string_view text) {
    const std::string_view t = trimmed(text);
    std::size_t at = 0;
    const bool negative = readSign(t, at);
    long long days = 0, h = 0, m = 0, s = 0, f = 0;
    if (!readNumber(t, at, days, 9) || at >= t.size() || t[at++] != ' ')
        return std::nullopt;
    if (!readNumber(t, at, h, 2) || h > 23 || at >= t.size() || t[at++] != ':' ||
        !readNumber(t, at, m, 2) || m > 59 || at >= t.size() || t[at++] != ':' ||
        !readNumber(t, at, s, 2) || s > 59)
        return std::nullopt;
    if (at < t.size()) {
        if (t[at++] != '.')
            return std::nullopt;
        const std::size_t start = at;
        if (!readNumber(t, at, f, 9))
            return std::nullopt;
        for (std::size_t i = at - start; i < 9; ++i)
            f *= 10;
    }
    if (at != t.size())
        return std::nullopt;
    __int128 n = static_cast<__int128>(days) * kSecondsPerDay + h * 3600 + m * 60 + s;
    n = n * kNanosPerSecond + f;
    return IntervalDS{negative ? -n : n};
}

std::optional<IntervalYM> parseIntervalYM(std::string_view text) {
    const std::string_view t = trimmed(text);
    std::size_t at = 0;
    const bool negative = readSign(t, at);
    long long years = 0, months = 0;
    if (!readNumber(t, at, years, 9) || at >= t.size() || t[at++] != '-' ||
        !readNumber(t, at, months, 2) || months > 11 || at != t.size())
        return std::nullopt;
    const std::int64_t total = years * 12 + months;
    return IntervalYM{negative ? -total : total};
}

}  // namespace localengine::functions
