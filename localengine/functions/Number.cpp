#include "Number.h"

#include "OraError.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace localengine::functions {

namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

void normalise(Decimal& d) {
    std::size_t lead = 0;
    while (lead < d.digits.size() && d.digits[lead] == '0')
        ++lead;
    d.digits.erase(0, lead);
    d.exponent -= static_cast<int>(lead);
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty()) {
        d.negative = false;
        d.exponent = 0;
    }
}

// A double rounded to 15 significant digits, where binary fractions such
// as 0.1 + 0.2 meet their decimal values.
double tidy(double v) {
    if (!std::isfinite(v) || v == 0)
        return v;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return std::strtod(buf, nullptr);
}

Number fromDouble(double v) {
    if (!std::isfinite(v))
        raise(1426);
    return Number::of(snapDecimal(v));
}

std::string argText(const Number& n) {
    return numberText(n);
}

// The engine keeps a NUMBER as a 64-bit integer or a double, which holds
// 15 significant decimal digits faithfully.
constexpr int kDigits = 15;

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

using U128 = unsigned __int128;

U128 magnitude(__int128 v) {
    return v < 0 ? U128{0} - static_cast<U128>(v) : static_cast<U128>(v);
}

int digitCount(U128 v) {
    int n = 1;
    if (v >> 64) {
        while (v >= 10'000'000'000'000'000'000ULL) {
            v /= 10'000'000'000'000'000'000ULL;
            n += 19;
        }
    }
    for (auto u = static_cast<std::uint64_t>(v); u >= 10; u /= 10)
        ++n;
    return n;
}

}  // namespace

std::optional<ExactDecimal> exactDecimal(const Number& n) {
    if (n.isInteger)
        return ExactDecimal{n.i, 0};
    if (!std::isfinite(n.d))
        return std::nullopt;
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, n.d, std::chars_format::scientific);
    const char* p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    std::int64_t m = 0;
    int count = 0;
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p == '.')
            continue;
        m = m * 10 + (*p - '0');
        if (++count > kDigits)
            return std::nullopt;
    }
    if (p == r.ptr)
        return std::nullopt;
    ++p;
    const bool negativeExponent = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    int e = 0;
    for (; p < r.ptr; ++p)
        e = e * 10 + (*p - '0');
    return ExactDecimal{negative ? -m : m, (negativeExponent ? -e : e) - (count - 1)};
}

namespace {

// Strips the trailing zeros of m into q.
void normalise(ExactDecimal& x) {
    if (x.m == 0) {
        x.q = 0;
        return;
    }
    if (x.m >= INT64_MIN && x.m <= INT64_MAX) {
        auto m = static_cast<std::int64_t>(x.m);
        while (m % 10 == 0) {
            m /= 10;
            ++x.q;
        }
        x.m = m;
        return;
    }
    while (x.m % 10 == 0) {
        x.m /= 10;
        ++x.q;
    }
}

}  // namespace

Number exactNumber(ExactDecimal x) {
    normalise(x);
    if (x.m == 0)
        return Number::of(std::int64_t{0});
    const bool negative = x.m < 0;
    const U128 u = magnitude(x.m);
    if (x.q >= 0 && x.q <= 19) {
        U128 v = u;
        for (int k = 0; k < x.q && v <= static_cast<U128>(kMax); ++k)
            v *= 10;
        if (v <= static_cast<U128>(kMax))
            return Number::of(negative ? -static_cast<std::int64_t>(v)
                                       : static_cast<std::int64_t>(v));
        if (negative && v == static_cast<U128>(kMax) + 1)
            return Number::of(kMin);
    }
    if (digitCount(u) > kDigits)
        refuseLongNumber();
    auto d = static_cast<double>(static_cast<std::uint64_t>(u));  // below 10^15: exact
    if (x.q >= 0 && x.q <= 22) {
        d *= kPowersOfTen[x.q];
    } else if (x.q < 0 && x.q >= -22) {
        d /= kPowersOfTen[-x.q];
    } else {
        const std::string t =
            std::to_string(static_cast<std::uint64_t>(u)) + "e" + std::to_string(x.q);
        d = std::strtod(t.c_str(), nullptr);
    }
    if (!std::isfinite(d))
        raise(1426);
    return Number::of(negative ? -d : d);
}

namespace {

// x + y exactly. When aligning them would not fit 128 bits, x and y
// (nonzero, without trailing zeros) are 20 or more digits apart.
Number exactSum(ExactDecimal x, ExactDecimal y) {
    if (x.m == 0)
        return exactNumber(y);
    if (y.m == 0)
        return exactNumber(x);
    if (x.q < y.q)
        std::swap(x, y);
    if (x.q - y.q > 19) {
        normalise(x);
        normalise(y);
        if (x.q < y.q)
            std::swap(x, y);
        if (x.q - y.q > 19)
            refuseLongNumber();
    }
    for (int k = y.q; k < x.q; ++k)
        x.m *= 10;
    return exactNumber(ExactDecimal{x.m + y.m, y.q});
}

}  // namespace

std::optional<Number> exactQuotient(ExactDecimal x, ExactDecimal y) {
    const bool negative = (x.m < 0) != (y.m < 0);
    const U128 num = magnitude(x.m);
    std::uint64_t den = static_cast<std::uint64_t>(magnitude(y.m));
    // den = 2^twos 5^fives rest: the quotient terminates when rest divides num.
    const int twos = __builtin_ctzll(den);
    den >>= twos;
    int fives = 0;
    while (den % 5 == 0) {
        den /= 5;
        ++fives;
    }
    if (((num >> 64) ? num % den : static_cast<std::uint64_t>(num) % den) != 0)
        return std::nullopt;
    // (num / rest) / (2^twos 5^fives) = (num / rest) 2^(f-twos) 5^(f-fives) / 10^f
    const int f = std::max(twos, fives);
    U128 n = (num >> 64) ? num / den : static_cast<std::uint64_t>(num) / den;
    constexpr U128 kLimit = (~U128{0} >> 2) / 5;
    for (int k = twos; k < f; ++k) {
        if (n > kLimit)
            refuseLongNumber();
        n *= 2;
    }
    for (int k = fives; k < f; ++k) {
        if (n > kLimit)
            refuseLongNumber();
        n *= 5;
    }
    const auto m = static_cast<__int128>(n);
    return exactNumber(ExactDecimal{negative ? -m : m, x.q - y.q - f});
}

void refuseLongNumber() {
    raise(3001, "NUMBER values of more than 15 significant digits");
}

Decimal Decimal::of(std::int64_t v) {
    Decimal d;
    d.negative = v < 0;
    const std::uint64_t u =
        v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    d.digits = std::to_string(u);
    d.exponent = static_cast<int>(d.digits.size());
    normalise(d);
    return d;
}

Decimal Decimal::of(const Number& n) {
    if (n.isInteger)
        return of(n.i);
    if (!std::isfinite(n.d))
        raise(1426);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.14e", n.d);  // 15 significant digits
    return *parse(buf);
}

std::optional<Decimal> Decimal::parse(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    Decimal d;
    std::size_t at = 0;
    if (at < t.size() && (t[at] == '+' || t[at] == '-'))
        d.negative = t[at++] == '-';
    bool point = false, any = false;
    int intDigits = 0;
    for (; at < t.size(); ++at) {
        const char c = t[at];
        if (c >= '0' && c <= '9') {
            d.digits += c;
            any = true;
            if (!point)
                ++intDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return std::nullopt;
    long long exp = 0;
    if (at < t.size() && (t[at] == 'e' || t[at] == 'E')) {
        ++at;
        bool negExp = false;
        if (at < t.size() && (t[at] == '+' || t[at] == '-'))
            negExp = t[at++] == '-';
        const std::size_t start = at;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9') {
            if (exp < 100000)
                exp = exp * 10 + (t[at] - '0');
            ++at;
        }
        if (at == start)
            return std::nullopt;
        if (negExp)
            exp = -exp;
    }
    if (at != t.size())
        return std::nullopt;
    d.exponent = intDigits + static_cast<int>(exp);
    normalise(d);
    return d;
}

Decimal Decimal::rounded(int places) const {
    if (isZero())
        return *this;
    const long long keep = static_cast<long long>(exponent) + places;
    if (keep >= static_cast<long long>(digits.size()))
        return *this;
    Decimal r;
    r.negative = negative;
    if (keep < 0)
        return Decimal{};
    r.digits = digits.substr(0, static_cast<std::size_t>(keep));
    r.exponent = exponent;
    if (digits[static_cast<std::size_t>(keep)] >= '5') {
        int i = static_cast<int>(r.digits.size()) - 1;
        while (i >= 0 && r.digits[static_cast<std::size_t>(i)] == '9')
            r.digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            r.digits.insert(r.digits.begin(), '1');
            ++r.exponent;
        } else {
            ++r.digits[static_cast<std::size_t>(i)];
        }
    }
    normalise(r);
    return r;
}

Decimal Decimal::truncated(int places) const {
    const long long keep = static_cast<long long>(exponent) + places;
    if (isZero() || keep >= static_cast<long long>(digits.size()))
        return *this;
    if (keep <= 0)
        return Decimal{};
    Decimal r = *this;
    r.digits.resize(static_cast<std::size_t>(keep));
    normalise(r);
    return r;
}

Decimal Decimal::scaled(int powerOfTen) const {
    Decimal r = *this;
    if (!r.isZero())
        r.exponent += powerOfTen;
    return r;
}

std::string Decimal::integerDigits() const {
    if (exponent <= 0 || isZero())
        return {};
    std::string s = digits.substr(0, static_cast<std::size_t>(exponent));
    s.resize(static_cast<std::size_t>(exponent), '0');
    return s;
}

std::string Decimal::fractionDigits(int count) const {
    std::string s;
    for (int k = 0; k < count; ++k) {
        const long long index = static_cast<long long>(exponent) + k;
        s += index >= 0 && index < static_cast<long long>(digits.size())
                 ? digits[static_cast<std::size_t>(index)]
                 : '0';
    }
    return s;
}

Number Decimal::toNumber() const {
    if (isZero())
        return Number::of(std::int64_t{0});
    if (exponent >= static_cast<int>(digits.size()) && exponent <= 19) {
        const std::string s = (negative ? "-" : "") + integerDigits();
        std::int64_t v = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec == std::errc())
            return Number::of(v);
    }
    if (digits.size() > static_cast<std::size_t>(kDigits))
        refuseLongNumber();
    const std::string s =
        (negative ? "-0." : "0.") + digits + "e" + std::to_string(static_cast<long long>(exponent));
    const double v = std::strtod(s.c_str(), nullptr);
    if (!std::isfinite(v))
        raise(1426);
    return Number::of(v);
}

std::string Decimal::text() const {
    if (isZero())
        return "0";
    std::string out = negative ? "-" : "";
    const int n = static_cast<int>(digits.size());
    std::string fixed;
    if (exponent <= 0)
        fixed = "." + std::string(static_cast<std::size_t>(-exponent), '0') + digits;
    else if (exponent >= n)
        fixed = digits + std::string(static_cast<std::size_t>(exponent - n), '0');
    else
        fixed = digits.substr(0, static_cast<std::size_t>(exponent)) + "." +
                digits.substr(static_cast<std::size_t>(exponent));
    if (fixed.size() + out.size() <= 40)
        return out + fixed;
    std::string mantissa = digits.substr(0, 1);
    mantissa += "." + (n > 1 ? digits.substr(1) : std::string("0"));
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%+03d", exponent - 1);
    return out + mantissa + exp;
}

std::string numberText(const Number& n) {
    if (n.isInteger)
        return std::to_string(n.i);
    return Decimal::of(n).text();
}

Number parseNumber(std::string_view text) {
    const std::optional<Decimal> d = Decimal::parse(text);
    if (!d)
        raise(1722);
    // A literal with a point or exponent that holds a whole value stays exact.
    return d->toNumber();
}

double snapDecimal(double v) {
    if (!std::isfinite(v) || v == 0 || (std::fabs(v) < 9e15 && v == std::trunc(v)))
        return v;
    const double decimal = tidy(v);
    const double ulp = std::nextafter(std::fabs(v), HUGE_VAL) - std::fabs(v);
    return std::fabs(decimal - v) <= 2 * ulp ? decimal : v;
}

// + - * / of exact decimals (integers, doubles of at most 15 digits) are
// exact: a result that needs more than 15 significant digits and is not a
// 64-bit integer is refused (ORA-03001). An operand already rounded to 15
// digits (2/3) gives a result rounded to 15 digits.
Number add(const Number& a, const Number& b) {
    std::int64_t sum = 0;
    if (a.isInteger && b.isInteger) {
        if (!__builtin_add_overflow(a.i, b.i, &sum))
            return Number::of(sum);
        return exactNumber(ExactDecimal{static_cast<__int128>(a.i) + b.i, 0});
    }
    const std::optional<ExactDecimal> x = exactDecimal(a), y = exactDecimal(b);
    if (x && y)
        return exactSum(*x, *y);
    return fromDouble(static_cast<double>(static_cast<long double>(a.isInteger ? a.i : a.d) +
                                          static_cast<long double>(b.isInteger ? b.i : b.d)));
}

Number multiply(const Number& a, const Number& b) {
    std::int64_t product = 0;
    if (a.isInteger && b.isInteger) {
        if (!__builtin_mul_overflow(a.i, b.i, &product))
            return Number::of(product);
        return exactNumber(ExactDecimal{static_cast<__int128>(a.i) * b.i, 0});
    }
    const std::optional<ExactDecimal> x = exactDecimal(a), y = exactDecimal(b);
    if (x && y)
        return exactNumber(ExactDecimal{x->m * y->m, x->q + y->q});
    return fromDouble(static_cast<double>(static_cast<long double>(a.isInteger ? a.i : a.d) *
                                          static_cast<long double>(b.isInteger ? b.i : b.d)));
}

Number divide(const Number& a, const Number& b) {
    if (b.isInteger ? b.i == 0 : b.d == 0)
        raise(1476);
    if (a.isInteger && b.isInteger) {
        if (!(a.i == kMin && b.i == -1) && a.i % b.i == 0)
            return Number::of(a.i / b.i);
        // A divisor with no factor 2 or 5 that does not divide: 1/3.
        if ((b.i & 1) && b.i % 5 != 0 && b.i != -1)
            return Number::of(static_cast<double>(static_cast<long double>(a.i) / b.i));
        if (const auto q = exactQuotient(ExactDecimal{a.i, 0}, ExactDecimal{b.i, 0}))
            return *q;
        return Number::of(static_cast<double>(static_cast<long double>(a.i) / b.i));
    }
    const std::optional<ExactDecimal> x = exactDecimal(a), y = exactDecimal(b);
    if (x && y) {
        if (const auto q = exactQuotient(*x, *y))
            return *q;
        const double v = a.asDouble() / b.asDouble();
        if (!std::isfinite(v))
            raise(1426);
        return Number::of(v);
    }
    return fromDouble(a.asDouble() / b.asDouble());
}

namespace {

// x - y * N, N the integer nearest x / y (the even one at a tie).
__int128 nearestRemainder(__int128 x, __int128 y) {
    __int128 q = x / y;
    const __int128 r = x - q * y;
    const __int128 twice = 2 * (r < 0 ? -r : r);
    const __int128 ay = y < 0 ? -y : y;
    const bool positiveQuotient = (x < 0) == (y < 0);
    if (twice > ay || (twice == ay && q % 2 != 0))
        q += positiveQuotient ? 1 : -1;
    return x - q * y;
}

// Two numbers as whole multiples of one power of ten, so that MOD and
// REMAINDER work on their decimal values (MOD(0.3, 0.1) is 0, where the
// doubles leave 0.1). Empty when either does not fit 36 digits.
struct ScaledPair {
    __int128 x = 0, y = 0;
    int places = 0;  // both are multiples of 10^-places

    static std::optional<ScaledPair> of(const Number& a, const Number& b) {
        const Decimal da = Decimal::of(a), db = Decimal::of(b);
        auto fraction = [](const Decimal& d) {
            return std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
        };
        ScaledPair p;
        p.places = std::max(fraction(da), fraction(db));
        const auto x = whole(da, p.places), y = whole(db, p.places);
        if (!x || !y || *y == 0)
            return std::nullopt;
        p.x = *x;
        p.y = *y;
        return p;
    }

    static std::optional<__int128> whole(const Decimal& d, int places) {
        const int length = d.exponent + places;  // digits left of the point once scaled
        if (d.isZero())
            return __int128{0};
        if (length > 36)
            return std::nullopt;
        __int128 v = 0;
        for (int k = 0; k < length; ++k)
            v = v * 10 + (k < static_cast<int>(d.digits.size())
                              ? d.digits[static_cast<std::size_t>(k)] - '0'
                              : 0);
        return d.negative ? -v : v;
    }

    Number number(__int128 v) const {
        const bool negative = v < 0;
        std::string digits;
        for (__int128 u = negative ? -v : v; u > 0; u /= 10)
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
        if (digits.empty())
            return Number::of(std::int64_t{0});
        const std::string text =
            std::string(negative ? "-" : "") + digits + "e-" + std::to_string(places);
        return Decimal::parse(text)->toNumber();
    }
};

}  // namespace

Number mod(const Number& a, const Number& b) {
    if (a.isInteger && b.isInteger) {
        if (b.i == 0)
            return a;
        if (b.i == -1)
            return Number::of(std::int64_t{0});
        return Number::of(a.i % b.i);
    }
    const double y = b.asDouble();
    if (y == 0)
        return a;
    if (const auto scaled = ScaledPair::of(a, b))
        return scaled->number(scaled->x % scaled->y);
    return Number::of(tidy(std::fmod(a.asDouble(), y)));
}

Number remainder(const Number& a, const Number& b) {
    if (b.isInteger ? b.i == 0 : b.d == 0)
        raise(1476);
    if (a.isInteger && b.isInteger)
        return Number::of(static_cast<std::int64_t>(nearestRemainder(a.i, b.i)));
    if (const auto scaled = ScaledPair::of(a, b))
        return scaled->number(nearestRemainder(scaled->x, scaled->y));
    return Number::of(tidy(std::remainder(a.asDouble(), b.asDouble())));
}

namespace {

int clampPlaces(std::int64_t places) {
    if (places > 400)
        return 400;
    if (places < -400)
        return -400;
    return static_cast<int>(places);
}

}  // namespace

Number roundNumber(const Number& a, std::int64_t places) {
    if (a.isInteger && places >= 0)
        return a;
    return Decimal::of(a).rounded(clampPlaces(places)).toNumber();
}

Number truncNumber(const Number& a, std::int64_t places) {
    if (a.isInteger && places >= 0)
        return a;
    return Decimal::of(a).truncated(clampPlaces(places)).toNumber();
}

namespace {

Number wholeNumber(double v) {
    if (v == 0)
        return Number::of(std::int64_t{0});
    if (std::fabs(v) < 9.2e18)
        return Number::of(static_cast<std::int64_t>(v));
    return Number::of(v);
}

}  // namespace

Number ceilNumber(const Number& a) {
    if (a.isInteger)
        return a;
    return wholeNumber(std::ceil(tidy(a.d)));
}

Number floorNumber(const Number& a) {
    if (a.isInteger)
        return a;
    return wholeNumber(std::floor(tidy(a.d)));
}

Number power(const Number& a, const Number& b) {
    if (a.isInteger && b.isInteger && b.i >= 0) {
        // m^e x 10^(z e) for a = m x 10^z, exact while it fits 128 bits
        // (more digits than that are more than 15).
        ExactDecimal base{a.i, 0};
        normalise(base);
        if (base.q > 0 && b.i > 400 / base.q)
            raise(1426);
        __int128 result = 1, factor = base.m;
        std::int64_t e = b.i;
        constexpr __int128 kLimit = static_cast<__int128>(1) << 62;
        while (e > 0) {
            if (e & 1) {
                if (result > kLimit || result < -kLimit || factor > kLimit || factor < -kLimit)
                    refuseLongNumber();
                result *= factor;
            }
            e >>= 1;
            if (e > 0 && factor != 1 && factor != -1 && factor != 0) {
                if (factor > kLimit || factor < -kLimit)
                    refuseLongNumber();
                factor *= factor;
            }
        }
        return exactNumber(ExactDecimal{result, base.q * static_cast<int>(b.i)});
    }
    const double x = a.asDouble(), y = b.asDouble();
    if (x < 0 && y != std::trunc(y))
        raise(1428, argText(a));
    if (x == 0 && y < 0)
        raise(1476);
    return fromDouble(std::pow(x, y));
}

Number squareRoot(const Number& a) {
    const double x = a.asDouble();
    if (x < 0)
        raise(1428, argText(a));
    const double r = std::sqrt(x);
    if (r == std::trunc(r) && r < 9e15)
        return Number::of(static_cast<std::int64_t>(r));
    return Number::of(r);
}

Number sign(const Number& a) {
    const double x = a.asDouble();
    return Number::of(std::int64_t{x > 0 ? 1 : x < 0 ? -1 : 0});
}

Number absolute(const Number& a) {
    if (a.isInteger) {
        if (a.i == kMin)
            return exactNumber(ExactDecimal{-static_cast<__int128>(a.i), 0});
        return Number::of(a.i < 0 ? -a.i : a.i);
    }
    return Number::of(std::fabs(a.d));
}

Number negate(const Number& a) {
    if (a.isInteger) {
        if (a.i == kMin)
            return exactNumber(ExactDecimal{-static_cast<__int128>(a.i), 0});
        return Number::of(-a.i);
    }
    return Number::of(-a.d);
}

Number bitAnd(const Number& a, const Number& b) {
    return Number::of(toInteger(a) & toInteger(b));
}

int compare(const Number& a, const Number& b) {
    if (a.isInteger && b.isInteger)
        return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
    const long double x = a.isInteger ? static_cast<long double>(a.i) : a.d;
    const long double y = b.isInteger ? static_cast<long double>(b.i) : b.d;
    return x < y ? -1 : x > y ? 1 : 0;
}

std::int64_t toInteger(const Number& a) {
    if (a.isInteger)
        return a.i;
    const double t = std::trunc(a.d);
    if (!(t > -9.2e18))
        return t != t ? 0 : kMin;
    if (t >= 9.2e18)
        return kMax;
    return static_cast<std::int64_t>(t);
}

}  // namespace localengine::functions
