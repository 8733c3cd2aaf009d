#pragma once
// Oracle's calendar and its datetime values.
//
// DATE values are stored as text 'YYYY-MM-DD HH:MM:SS', TIMESTAMP values as
// 'YYYY-MM-DD HH:MM:SS.FFFFFFFFF' (nine fractional digits), so that text
// order is time order. Days are counted as Oracle's Julian day numbers (the
// J format element): the Julian calendar up to 1582-10-04, the Gregorian
// from the next day, 1582-10-15; the ten days between do not exist and are
// read as 1582-10-15, as Oracle reads them. Years run from 1 to 9999: Oracle
// also keeps years down to 4712 BC, but its day count before year 1 does not
// follow either calendar consistently, so the engine refuses those dates
// rather than count them differently.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace localengine::functions {

struct DateTime {
    int year = 1, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    int nanos = 0;  // fraction of the second, 0..999999999
};

constexpr int kMinYear = -4712;
constexpr int kMaxYear = 9999;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kNanosPerSecond = 1000000000;

bool isLeapYear(int year);
int daysInMonth(int year, int month);

// Oracle's Julian day of a calendar day (2451545 for 2000-01-01); a day
// before the year 1 is refused (Unsupported, see above).
std::int64_t julianDay(int year, int month, int day);
void fromJulianDay(std::int64_t j, int& year, int& month, int& day);
std::int64_t julianDay(const DateTime& d);

// 1 = Sunday ... 7 = Saturday.
int dayOfWeek(const DateTime& d);
int dayOfYear(const DateTime& d);

// ORA-01841 outside -4712..9999 and for the year 0.
void checkYear(long long year);
// The months since January of 1 BC, skipping the year 0 that does not
// exist, and back.
long long monthIndex(int year, int month);
void fromMonthIndex(long long index, int& year, int& month);

// Seconds since the start of Julian day 0, and back; out of range raises
// ORA-01841.
std::int64_t toSeconds(const DateTime& d);
DateTime fromSeconds(std::int64_t seconds, int nanos = 0);

// The stored forms. Parsing accepts 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM:SS',
// an optional fraction of 1 to 9 digits, and a 'T' for the blank; it gives
// nullopt for any other text and for impossible dates.
std::optional<DateTime> parseStoredDateTime(std::string_view text);
std::string dateText(const DateTime& d);       // DATE form
std::string timestampText(const DateTime& d);  // TIMESTAMP form, nine digits

// Rounds the fraction to `precision` digits (0..9), carrying into the
// seconds as Oracle does when it stores a TIMESTAMP(p).
DateTime roundFraction(const DateTime& d, int precision);

// Intervals. DAY TO SECOND is kept as signed nanoseconds; YEAR TO MONTH as
// signed months. Their texts are Oracle's: '+000000001 02:03:04.500000000'
// and '+000000001-02'.
struct IntervalDS {
    __int128 nanos = 0;
};
struct IntervalYM {
    std::int64_t months = 0;
};
std::string intervalText(const IntervalDS& i);
std::string intervalText(const IntervalYM& i);
// Read the text forms above; the sign and the leading zeros are optional
// ('1 02:03:04', '-0-6').
std::optional<IntervalDS> parseIntervalDS(std::string_view text);
std::optional<IntervalYM> parseIntervalYM(std::string_view text);

}  // namespace localengine::functions
