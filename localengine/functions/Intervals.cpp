#include "Intervals.h"

#include "OraError.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace localengine::functions {

namespace {

constexpr __int128 kNanosPerDay = static_cast<__int128>(kSecondsPerDay) * kNanosPerSecond;

__int128 magnitude(__int128 v) {
    return v < 0 ? -v : v;
}

std::int64_t powerOfTen(int digits) {
    std::int64_t p = 1;
    for (int i = 0; i < digits; ++i)
        p *= 10;
    return p;
}

// 0: DAY TO SECOND, 1: YEAR TO MONTH, 2: neither.
struct Classified {
    int kind = 2;
    __int128 value = 0;
};

Classified classify(std::string_view t) {
    if (const std::optional<IntervalDS> ds = parseIntervalDS(t))
        return {0, ds->nanos};
    if (const std::optional<IntervalYM> ym = parseIntervalYM(t))
        return {1, ym->months};
    return {};
}

}  // namespace

int compareIntervalTexts(std::string_view a, std::string_view b) {
    const Classified x = classify(a), y = classify(b);
    if (x.kind != y.kind)
        return x.kind < y.kind ? -1 : 1;
    if (x.kind == 2) {
        const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
        if (c != 0)
            return c;
        return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    }
    return x.value < y.value ? -1 : (x.value > y.value ? 1 : 0);
}

IntervalDS checkedInterval(const IntervalDS& i) {
    if (magnitude(i.nanos) >= (kMaxIntervalLeading + 1) * kNanosPerDay)
        raise(1873);
    return i;
}

IntervalYM checkedInterval(const IntervalYM& i) {
    const std::int64_t m = i.months < 0 ? -i.months : i.months;
    if (i.months == INT64_MIN || m / 12 > kMaxIntervalLeading)
        raise(1873);
    return i;
}

IntervalDS scaleInterval(const IntervalDS& i, double factor, bool divide) {
    if (divide && factor == 0)
        raise(1476);
    long double v = static_cast<long double>(i.nanos);
    v = divide ? v / factor : v * factor;
    const long double limit =
        static_cast<long double>(kMaxIntervalLeading + 1) * static_cast<long double>(kNanosPerDay);
    if (!std::isfinite(v) || std::fabs(v) >= limit)
        raise(1873);
    // Whole seconds and the rest, each exact in 64 bits.
    const long double seconds = std::floor(v / kNanosPerSecond);
    long long rest = std::llround(static_cast<double>(v - seconds * kNanosPerSecond));
    __int128 nanos = static_cast<__int128>(static_cast<long long>(seconds)) * kNanosPerSecond;
    nanos += rest;
    return checkedInterval(IntervalDS{nanos});
}

IntervalYM scaleInterval(const IntervalYM& i, double factor, bool divide) {
    if (divide && factor == 0)
        raise(1476);
    long double m = static_cast<long double>(i.months);
    m = divide ? m / factor : m * factor;
    if (!std::isfinite(m) || std::fabs(m) > 12.0L * (kMaxIntervalLeading + 1))
        raise(1873);
    const long double whole = std::round(m);
    if (std::fabs(m - whole) > 1e-9L)
        throw Unsupported(
            "a YEAR TO MONTH interval multiplied or divided to a fraction of a month is not "
            "supported by the local engine");
    return checkedInterval(IntervalYM{static_cast<std::int64_t>(whole)});
}

IntervalDS fitInterval(const IntervalDS& i, int leadingDigits, int fractionDigits) {
    const bool negative = i.nanos < 0;
    __int128 n = magnitude(i.nanos);
    const std::int64_t unit = powerOfTen(9 - std::clamp(fractionDigits, 0, 9));
    n = (n + unit / 2) / unit * unit;
    if (n / kNanosPerDay >= powerOfTen(std::clamp(leadingDigits, 0, 9)))
        raise(1873);
    return IntervalDS{negative ? -n : n};
}

IntervalYM fitInterval(const IntervalYM& i, int leadingDigits) {
    const IntervalYM checked = checkedInterval(i);
    const std::int64_t m = checked.months < 0 ? -checked.months : checked.months;
    if (m / 12 >= powerOfTen(std::clamp(leadingDigits, 0, 9)))
        raise(1873);
    return checked;
}

}  // namespace localengine::functions
