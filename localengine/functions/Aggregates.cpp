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
        return;
    }
    const double v = sign * x.d;
    const double t = m_sum + v;
    m_compensation += std::fabs(m_sum) >= std::fabs(v) ? (m_sum - t) + v : (v - t) + m_sum;
    m_sum = t;
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
    constexpr __int128 kMax = std::numeric_limits<std::int64_t>::max();
    if (m_fractions == 0 && m_whole <= kMax && m_whole >= -kMax - 1)
        return Number::of(static_cast<std::int64_t>(m_whole));
    return finiteNumber(static_cast<long double>(m_whole) + m_sum + m_compensation);
}

std::optional<Number> DecimalSum::average() const {
    if (m_count == 0)
        return std::nullopt;
    if (m_fractions == 0 && m_whole % m_count == 0) {
        const __int128 quotient = m_whole / m_count;
        return Number::of(static_cast<std::int64_t>(quotient));
    }
    return finiteNumber((static_cast<long double>(m_whole) + m_sum + m_compensation) /
                        static_cast<long double>(m_count));
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
