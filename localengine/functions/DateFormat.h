#pragma once
// The datetime format model of TO_CHAR, TO_DATE and TO_TIMESTAMP, element by
// element as Oracle documents it, with English names.

#include "Calendar.h"

#include <string>
#include <string_view>

namespace localengine::functions {

// Oracle's defaults for a new session (NLS_TERRITORY AMERICA).
inline constexpr std::string_view kDefaultDateFormat = "DD-MON-RR";
inline constexpr std::string_view kDefaultTimestampFormat = "DD-MON-RR HH.MI.SSXFF AM";

// TO_CHAR(datetime, format). `timestamp` allows the fractional-second
// elements (FF, X), which a DATE refuses. Unknown elements: ORA-01821.
std::string formatDateTime(const DateTime& value, std::string_view format, bool timestamp);

// TO_DATE / TO_TIMESTAMP(text, format). `now` gives the fields the text
// leaves out: the current year and month (the day defaults to 1, the time
// to midnight) and the century of the RR and YY elements.
DateTime parseDateTime(std::string_view text, std::string_view format, const DateTime& now,
                       bool timestamp);

// Numbers spelled in English, as the SP suffix writes them: "FOUR HUNDRED
// TWENTY-ONE"; `ordinal` gives "FOUR HUNDRED TWENTY-FIRST".
std::string spellNumber(long long n, bool ordinal);

// Oracle's names (English), 1-based.
std::string_view monthName(int month);
std::string_view dayName(int dayOfWeek);  // 1 = Sunday

}  // namespace localengine::functions
