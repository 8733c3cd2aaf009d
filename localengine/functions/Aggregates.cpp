#include "Aggregates.h"

#include "OraError.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace localengine::functions {

void ListAgg::removeFirst() {
    if (m_values.empty())
        return;
    m_bytes -= m_values.front().size();
    m_values.pop_front();
}

std::optional<std::string> ListAgg::result(const std::string& separator, std::size_t maxBytes,
                                           const Overflow& overflow) const {
    if (m_values.empty())
        return std::nullopt;
    const std::size_t total = m_bytes + separator.size() * (m_values.size() - 1);
    if (total <= maxBytes) {
        std::string out;
        out.reserve(total);
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            if (i)
                out += separator;
            out += m_values[i];
        }
        return out.empty() ? std::nullopt : std::optional<std::string>(out);
    }
    if (!overflow.truncate)
        raise(1489);
    // Whole values while the tail still fits after them.
    std::string out;
    std::size_t kept = 0;
    for (; kept < m_values.size(); ++kept) {
        const std::string tail =
            separator + overflow.indicator +
            (overflow.withCount ? "(" + std::to_string(m_values.size() - kept - 1) + ")" : "");
        const std::size_t grown =
            out.size() + (kept ? separator.size() : 0) + m_values[kept].size();
        if (grown + tail.size() > maxBytes)
            break;
        if (kept)
            out += separator;
        out += m_values[kept];
    }
    out += separator + overflow.indicator;
    if (overflow.withCount)
        out += "(" + std::to_string(m_values.size() - kept) + ")";
    return out;
}

void Spread::add(double x) {
    ++m_n;
    const double delta = x - m_mean;
    m_mean += delta / static_cast<double>(m_n);
    m_m2 += delta * (x - m_mean);
}

void Spread::remove(double x) {
    if (m_n <= 1) {
        m_n = 0;
        m_mean = m_m2 = 0;
        return;
    }
    const double meanBefore =
        (m_mean * static_cast<double>(m_n) - x) / static_cast<double>(m_n - 1);
    m_m2 -= (x - m_mean) * (x - meanBefore);
    m_mean = meanBefore;
    --m_n;
    if (m_m2 < 0)
        m_m2 = 0;
}

std::optional<double> Spread::variance() const {
    if (m_n == 0)
        return std::nullopt;
    if (m_n == 1)
        return 0.0;
    return m_m2 / static_cast<double>(m_n - 1);
}

std::optional<double> Spread::varianceSample() const {
    if (m_n < 2)
        return std::nullopt;
    return m_m2 / static_cast<double>(m_n - 1);
}

std::optional<double> Spread::variancePopulation() const {
    if (m_n == 0)
        return std::nullopt;
    return m_m2 / static_cast<double>(m_n);
}

void DecimalSum::change(const Number& x, int sign) {
    m_count += sign;
    if (x.isInteger) {
        m_whole += sign * static_cast<__int128>(x.i);
        return;
    }
    m_fractions += sign;
    if (m_fractions == 0) {
        m_sum = m_compensation = 0;
        m_scaled = 0;
        m_fractionsAre = Fractions::Exact;
        return;
    }
    const double v = sign * x.d;
    if (m_fractionsAre == Fractions::Exact) {
        if (addExact(x, sign))
            return;
        if (m_fractionsAre == Fractions::Rounded) {
            // From here on a compensated sum, starting from the exact one.
            long double scaled = static_cast<long double>(m_scaled);
            for (int k = 0; k < m_scale; ++k)
                scaled /= 10;
            m_sum = static_cast<double>(scaled);
            m_compensation = static_cast<double>(scaled - static_cast<long double>(m_sum));
        }
    }
    const double t = m_sum + v;
    m_compensation += std::fabs(m_sum) >= std::fabs(v) ? (m_sum - t) + v : (v - t) + m_sum;
    m_sum = t;
}

// Adds sign * x to the exact sum of the fractions; false (and the state
// changed) when x is a rounded value or the sum would not fit.
bool DecimalSum::addExact(const Number& x, int sign) {
    // The common case: a value with no more decimals than those before it
    // is a whole number at their scale (x 10^scale exact below 2^53).
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (m_scale < 16) {
        const double scaled = x.d * kPowers[m_scale];
        if (std::fabs(scaled) < 9007199254740992.0) {
            const auto whole = static_cast<std::int64_t>(scaled);
            if (static_cast<double>(whole) == scaled) {
                if (sign > 0)
                    m_scaled += whole;
                else
                    m_scaled -= whole;
                return true;
            }
        }
    }
    const std::optional<ExactDecimal> e = exactDecimal(x);
    if (!e) {
        m_fractionsAre = Fractions::Rounded;
        return false;
    }
    // Both at the finer scale; 2^120 is past every total of 15 digits.
    constexpr __int128 kLimit = static_cast<__int128>(1) << 120;
    auto fits = [&](__int128 v) { return v < kLimit && v > -kLimit; };
    while (-e->q > m_scale) {
        if (!fits(m_scaled) || m_scale > 60) {
            m_fractionsAre = Fractions::TooLong;
            return true;
        }
        m_scaled *= 10;
        ++m_scale;
    }
    __int128 value = e->m;
    for (int k = e->q + m_scale; k > 0; --k) {
        if (!fits(value)) {
            m_fractionsAre = Fractions::TooLong;
            return true;
        }
        value *= 10;
    }
    m_scaled += sign > 0 ? value : -value;
    if (!fits(m_scaled))
        m_fractionsAre = Fractions::TooLong;
    return true;
}

std::optional<ExactDecimal> DecimalSum::exactTotal() const {
    if (m_fractions == 0)
        return ExactDecimal{m_whole, 0};
    if (m_fractionsAre == Fractions::TooLong)
        refuseLongNumber();
    if (m_fractionsAre == Fractions::Rounded)
        return std::nullopt;
    __int128 whole = m_whole;
    for (int k = 0; k < m_scale; ++k) {
        if (whole > (static_cast<__int128>(1) << 122) || whole < -(static_cast<__int128>(1) << 122))
            refuseLongNumber();
        whole *= 10;
    }
    return ExactDecimal{whole + m_scaled, -m_scale};
}

namespace {

Number finiteNumber(long double v) {
    const double d = static_cast<double>(v);
    if (!std::isfinite(d))
        raise(1426);
    return Number::of(snapDecimal(d));
}

}  // namespace

std::optional<Number> DecimalSum::sum() const {
    if (m_count == 0)
        return std::nullopt;
    if (const std::optional<ExactDecimal> total = exactTotal())
        return exactNumber(*total);
    return finiteNumber(static_cast<long double>(m_whole) + m_sum + m_compensation);
}

std::optional<Number> DecimalSum::average() const {
    if (m_count == 0)
        return std::nullopt;
    const long double approximate = (static_cast<long double>(m_whole) + m_sum + m_compensation) /
                                    static_cast<long double>(m_count);
    const std::optional<ExactDecimal> total = exactTotal();
    if (!total)
        return finiteNumber(approximate);
    if (const std::optional<Number> quotient = exactQuotient(*total, ExactDecimal{m_count, 0}))
        return quotient;
    // A quotient that does not terminate keeps 15 digits.
    const double d = static_cast<double>(approximate);
    if (!std::isfinite(d))
        raise(1426);
    return Number::of(d);
}

std::optional<double> median(std::vector<double> values) {
    if (values.empty())
        return std::nullopt;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid),
                     values.end());
    const double upper = values[mid];
    if (values.size() % 2)
        return upper;
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return lower + (upper - lower) / 2;
}

}  // namespace localengine::functions
