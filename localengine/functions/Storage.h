#pragma once
// What a column keeps of a value written into it, by its declared type:
// NUMBER(p,s) rounds to its scale and refuses more integer digits than
// p - s, FLOAT(b) keeps its decimal significant digits, VARCHAR2(n) and
// CHAR(n) refuse longer text (counted in bytes or in characters) and CHAR
// pads with blanks. The front end wraps every value an INSERT, UPDATE or
// MERGE writes into such a column in the matching ORA_STORE_ function.

#include "Number.h"
#include "TextFunctions.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace localengine::functions {

// NUMBER(precision, scale): half away from zero at 10^-scale; ORA-01438
// when the rounded value has more than precision - scale integer digits
// (a scale above the precision asks for that many leading zeros).
Number storedNumber(const Number& value, int precision, int scale);

// FLOAT(b) as its decimal precision: `digits` significant digits.
Number storedFloat(const Number& value, int digits);

struct TextColumn {
    std::size_t length = 0;     // the declared maximum (CHAR: the fixed length)
    bool inCharacters = false;  // CHAR length semantics, NCHAR, NVARCHAR2
    bool padded = false;        // CHAR, NCHAR: blank-padded to the length
    // "OWNER"."TABLE"."COLUMN" as Oracle's message names it.
    std::string_view name;
};

// The length of `value` as the column counts it; ORA-12899 when it is
// longer than the column allows.
std::size_t checkedLength(std::string_view value, const TextColumn& column);

// The text the column keeps: empty text is NULL (nullopt); ORA-12899 when
// it is longer than the column allows; CHAR padded with blanks.
Text storedText(std::string value, const TextColumn& column);

// CAST(value AS VARCHAR2(n) | CHAR(n) ...): empty text is NULL; longer
// text is cut to the length without splitting a character, or refused
// with ORA-25137 when `refuseLonger` (the text of a number or datetime);
// CHAR padded with blanks.
Text castText(std::string value, const TextColumn& column, bool refuseLonger);

}  // namespace localengine::functions
