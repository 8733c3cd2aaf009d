#include "Aggregates.h"

#include "OraError.h"

#include <algorithm>
#include <cmath>

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
