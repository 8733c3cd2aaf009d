#pragma once
// The state of Oracle's aggregates that SQLite lacks, without SQLite: each
// takes rows one by one (and gives them back, for moving windows) and
// answers with Oracle's value.

#include "Number.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace localengine::functions {

// LISTAGG's core: the values in the order given, joined by the separator.
// Past `maxBytes`: ON OVERFLOW ERROR raises ORA-01489; ON OVERFLOW
// TRUNCATE keeps the whole values that fit, then the separator, the
// indicator and, WITH COUNT, the number of values left out in brackets.
class ListAgg {
public:
    void add(std::string value) {
        m_bytes += value.size();
        m_values.push_back(std::move(value));
    }
    void removeFirst();
    struct Overflow {
        bool truncate = false;
        std::string indicator = "...";
        bool withCount = true;
    };
    std::optional<std::string> result(const std::string& separator, std::size_t maxBytes,
                                      const Overflow& overflow) const;

private:
    std::deque<std::string> m_values;
    std::size_t m_bytes = 0;
};

// VARIANCE, STDDEV and their _SAMP and _POP forms (Welford's running sums).
class Spread {
public:
    void add(double x);
    void remove(double x);
    std::int64_t count() const { return m_n; }
    // Oracle's VARIANCE: the sample variance, 0 for one row, NULL for none.
    std::optional<double> variance() const;
    std::optional<double> varianceSample() const;  // NULL for one row
    std::optional<double> variancePopulation() const;

private:
    std::int64_t m_n = 0;
    double m_mean = 0, m_m2 = 0;
};

// SUM and AVG as Oracle's decimal NUMBER gives them: whole numbers and
// decimals of at most 15 digits exactly (a total of more than 15 digits
// that is not a 64-bit integer is ORA-03001, as in arithmetic); values
// already rounded to 15 digits (2/3) by a compensated (Neumaier) sum
// snapped to their decimal value.
class DecimalSum {
public:
    void add(const Number& x) { change(x, 1); }
    void remove(const Number& x) { change(x, -1); }
    std::int64_t count() const { return m_count; }
    std::optional<Number> sum() const;      // NULL for no rows
    std::optional<Number> average() const;  // NULL for no rows

private:
    void change(const Number& x, int sign);
    bool addExact(const Number& x, int sign);
    // The exact total m_whole + m_scaled x 10^-m_scale, when every value
    // was an exact decimal.
    std::optional<ExactDecimal> exactTotal() const;
    __int128 m_whole = 0;
    __int128 m_scaled = 0;  // the fractions' sum x 10^m_scale
    int m_scale = 0;
    enum class Fractions { Exact, Rounded, TooLong } m_fractionsAre = Fractions::Exact;
    double m_sum = 0, m_compensation = 0;
    std::int64_t m_count = 0, m_fractions = 0;
};

// MEDIAN: the middle value, or the mean of the two middle ones.
std::optional<double> median(std::vector<double> values);

}  // namespace localengine::functions
