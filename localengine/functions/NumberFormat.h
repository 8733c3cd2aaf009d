#pragma once
// The number format model of TO_CHAR(number) and TO_NUMBER(text, format):
// 9 0 , . G D $ L C U MI S PR FM EEEE X V B RN TM, with the territory
// AMERICA (group ",", decimal ".", currency "$", ISO currency "USD").

#include "Number.h"

#include <string>
#include <string_view>

namespace localengine::functions {

// TO_CHAR(n, format). A value too wide for the format gives '#'s; an
// invalid format raises ORA-01481.
std::string formatNumber(const Number& value, std::string_view format);

// TO_NUMBER(text, format); ORA-01722 when the text does not fit the format.
Number parseNumberFormatted(std::string_view text, std::string_view format);

}  // namespace localengine::functions
