#pragma once
// Interval values by their meaning: ordering, arithmetic with numbers, and
// the precision of an interval type (CAST, the interval expression
// (a - b) DAY TO SECOND). The stored texts ('+000000001 02:03:04.500000000',
// '+000000001-02') do not order as text: '-' sorts after '+', and a larger
// negative interval after a smaller one.

#include "Calendar.h"

#include <string_view>

namespace localengine::functions {

// The longest leading field Oracle keeps: nine digits of days or years.
constexpr std::int64_t kMaxIntervalLeading = 999999999;

// Orders two interval texts by value: <0, 0, >0. Texts of neither form
// order after all intervals, byte by byte, so that the order is total.
int compareIntervalTexts(std::string_view a, std::string_view b);

// interval * factor and interval / divisor (ORA-01476 for zero). DAY TO
// SECOND is rounded to the nanosecond; YEAR TO MONTH must come out as whole
// months (a fraction of a month is refused: Oracle does not document how it
// rounds one). Past nine digits of days or years: ORA-01873.
IntervalDS scaleInterval(const IntervalDS& i, double factor, bool divide);
IntervalYM scaleInterval(const IntervalYM& i, double factor, bool divide);

// ORA-01873 when the interval's days (years) take more than nine digits.
IntervalDS checkedInterval(const IntervalDS& i);
IntervalYM checkedInterval(const IntervalYM& i);

// The interval as a value of INTERVAL DAY(leading) TO SECOND(fraction):
// the fraction rounded to `fractionDigits` (half away from zero), the days
// checked against `leadingDigits` (ORA-01873, as Oracle raises it for a
// value with more digits than the precision).
IntervalDS fitInterval(const IntervalDS& i, int leadingDigits, int fractionDigits);
// INTERVAL YEAR(leading) TO MONTH.
IntervalYM fitInterval(const IntervalYM& i, int leadingDigits);

}  // namespace localengine::functions
