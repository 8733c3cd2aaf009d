#include "OraError.h"

#include <cstdio>
#include <utility>

namespace localengine::functions {

namespace {

// The texts as Oracle's Error Messages reference gives them.
constexpr std::pair<int, const char*> kMessages[] = {
    {909, "invalid number of arguments"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {1426, "numeric overflow"},
    {3001, "unimplemented feature: %s"},
    {1427, "single-row subquery returns more than one row"},
    {1428, "argument '%s' is out of range"},
    {1438, "value larger than specified precision allowed for this column"},
    {1465, "invalid hex number"},
    {1476, "divisor is equal to zero"},
    {1481, "invalid number format model"},
    {1489, "result of string concatenation is too long"},
    {1722, "invalid number"},
    {1760, "illegal argument for function"},
    {1810, "format code appears twice"},
    {1812, "year may only be specified once"},
    {1813, "hour may only be specified once"},
    {1815, "BC/AD conflicts with use of B.C./A.D."},
    {1816, "month may only be specified once"},
    {1817, "day of week may only be specified once"},
    {1818, "'HH24' precludes use of meridian indicator"},
    {1819, "signed year precludes use of BC/AD"},
    {1820, "format code cannot appear in date input format"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1831, "year conflicts with Julian date"},
    {1832, "day of year conflicts with Julian date"},
    {1833, "month conflicts with Julian date"},
    {1834, "day of month conflicts with Julian date"},
    {1835, "day of week conflicts with Julian date"},
    {1836, "hour conflicts with seconds in day"},
    {1837, "minutes of hour conflicts with seconds in day"},
    {1838, "seconds of minute conflicts with seconds in day"},
    {1839, "date not valid for month specified"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1848, "day of year must be between 1 and 365 (366 for leap year)"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1853, "seconds in day must be between 0 and 86399"},
    {1854, "julian date must be between 1 and 5373484"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1856, "BC/B.C. or AD/A.D. required"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1862, "the numeric value does not match the length of the format item"},
    {1867, "the interval is invalid"},
    {1873, "the leading precision of the interval is too small"},
    {1877, "string is too long for internal buffer"},
    {1898, "too many precision specifiers"},
    {12725, "unmatched parentheses in regular expression"},
    {12726, "unmatched bracket in regular expression"},
    {12727, "invalid back reference in regular expression"},
    {12728, "invalid range in regular expression"},
    {12729, "invalid character class in regular expression"},
    {12730, "invalid equivalence class in regular expression"},
    {12731, "invalid collation class in regular expression"},
    {12732, "invalid interval value in regular expression"},
    {12733, "regular expression too long"},
    {25137, "Data value out of range"},
    {30001, "trim set should have only one character"},
    {30076, "invalid extract field for extract source"},
    {40441, "JSON syntax error"},
    {40456, "JSON_VALUE evaluated to non-scalar value"},
    {40462, "JSON_VALUE evaluated to no value"},
};

std::string fill(std::string_view text, std::string_view a, std::string_view b) {
    std::string out;
    int used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            out += used++ == 0 ? a : b;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

[[noreturn]] void raiseFilled(int code, std::string_view a, std::string_view b) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    throw OraError(code, prefix + fill(oraMessageText(code), a, b));
}

}  // namespace

std::string_view oraMessageText(int code) {
    for (const auto& [c, text] : kMessages)
        if (c == code)
            return text;
    return "internal error: message text missing";
}

void raise(int code) {
    raiseFilled(code, {}, {});
}
void raise(int code, std::string_view arg) {
    raiseFilled(code, arg, {});
}
void raise(int code, std::string_view arg1, std::string_view arg2) {
    raiseFilled(code, arg1, arg2);
}

}  // namespace localengine::functions
