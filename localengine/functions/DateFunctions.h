#pragma once
// Oracle's date functions and datetime arithmetic over DateTime values.

#include "Calendar.h"

#include <string_view>

namespace localengine::functions {

// TRUNC(date, unit) and ROUND(date, unit) with Oracle's units: CC SCC,
// SYYYY YYYY YEAR SYEAR YYY YY Y, IYYY IYY IY I, Q, MONTH MON MM RM, WW,
// IW, W, DDD DD J, DAY DY D, HH HH12 HH24, MI. Others: ORA-01821. The
// result is a DATE (no fraction).
DateTime truncDate(const DateTime& d, std::string_view unit = "DD");
DateTime roundDate(const DateTime& d, std::string_view unit = "DD");

// ADD_MONTHS: the last day of a month goes to the last day of the result
// month, and a day past the end of a shorter month is cut to its last day.
DateTime addMonths(const DateTime& d, std::int64_t months);
DateTime lastDay(const DateTime& d);
// MONTHS_BETWEEN(a, b): whole when the days of the month are equal or both
// last days, else the difference over 31-day months with the time.
double monthsBetween(const DateTime& a, const DateTime& b);
// NEXT_DAY(d, 'MONDAY' or 'MON'): the first such day after d; ORA-01846.
DateTime nextDay(const DateTime& d, std::string_view dayName);

// EXTRACT(field FROM value). `timestamp` allows HOUR, MINUTE and SECOND
// (Oracle refuses them for a DATE with ORA-30076). SECOND of a timestamp
// holds the fraction.
double extractField(const DateTime& d, std::string_view field, bool timestamp);
double extractField(const IntervalDS& i, std::string_view field);
double extractField(const IntervalYM& i, std::string_view field);

// Datetime arithmetic. Days as a number may hold a fraction (hours);
// the result of date + number is rounded to the second, as a DATE.
DateTime addDays(const DateTime& d, double days);
double daysBetween(const DateTime& a, const DateTime& b);  // a - b
IntervalDS timestampDifference(const DateTime& a, const DateTime& b);
DateTime addInterval(const DateTime& d, const IntervalDS& i);
// A day past the end of the result month raises ORA-01839, as Oracle does
// for date + INTERVAL 'n' MONTH (unlike ADD_MONTHS).
DateTime addInterval(const DateTime& d, const IntervalYM& i);

// NUMTODSINTERVAL(n, 'DAY'|'HOUR'|'MINUTE'|'SECOND') and
// NUMTOYMINTERVAL(n, 'YEAR'|'MONTH').
IntervalDS numToDSInterval(double n, std::string_view unit);
IntervalYM numToYMInterval(double n, std::string_view unit);

}  // namespace localengine::functions
