#pragma once
// Numbers as the functions see them: SQLite's 64-bit integers and doubles,
// with the decimal arithmetic Oracle's NUMBER gives where it shows (ROUND,
// TRUNC, format models) done on decimal digits rather than binary.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace localengine::functions {

struct Number {
    bool isInteger = true;
    std::int64_t i = 0;
    double d = 0;

    static Number of(std::int64_t v) { return Number{true, v, 0}; }
    static Number of(double v) { return Number{false, 0, v}; }
    double asDouble() const { return isInteger ? static_cast<double>(i) : d; }
};

// A decimal value: 0.d1d2d3... x 10^exponent. `digits` has no leading or
// trailing zeros; zero has no digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;

    static Decimal of(const Number& n);  // doubles to 15 significant digits
    static Decimal of(std::int64_t v);
    // Oracle's number literal: blanks around, a sign, digits with one
    // point, an exponent; nullopt for anything else.
    static std::optional<Decimal> parse(std::string_view text);

    bool isZero() const { return digits.empty(); }
    // Half away from zero at 10^-places (places may be negative).
    Decimal rounded(int places) const;
    Decimal truncated(int places) const;
    Decimal scaled(int powerOfTen) const;  // x 10^powerOfTen
    // The integer part's digits ("" below 1) and `count` fraction digits.
    std::string integerDigits() const;
    std::string fractionDigits(int count) const;
    Number toNumber() const;  // an integer where it is one and fits
    // Oracle's text of a number: "123.45", ".5", "-12", scientific past
    // 40 characters ("1.0E+50").
    std::string text() const;
};

// Oracle's conversion of a number to text (TO_CHAR(n) without a format).
std::string numberText(const Number& n);

// Implicit conversion of text to a number; ORA-01722 when it is not one.
Number parseNumber(std::string_view text);

// An exact decimal value m x 10^q.
struct ExactDecimal {
    __int128 m = 0;
    int q = 0;
};
// A number as an exact decimal: an integer as itself, a double as the
// decimal of its shortest form when that has at most 15 significant digits
// (every value the engine reads from text or keeps exactly). Empty for the
// other doubles: values already rounded to the engine's precision (2/3,
// SQRT(2)), whose results keep 15 digits.
std::optional<ExactDecimal> exactDecimal(const Number& n);
// The number an exact decimal is: an integer where it is one and fits 64
// bits, else the double that holds it; ORA-03001 when that needs more than
// 15 significant digits.
Number exactNumber(ExactDecimal x);
// x / y (y nonzero and of 64 bits) when the quotient terminates, exactly as
// exactNumber gives it; empty for one that does not (1/3), which keeps 15
// digits.
std::optional<Number> exactQuotient(ExactDecimal x, ExactDecimal y);

// ORA-03001: a value of more than 15 significant digits that is not a
// 64-bit integer, which a double would keep only rounded.
[[noreturn]] void refuseLongNumber();

// Arithmetic as Oracle does it. Errors: ORA-01476 (division by zero),
// ORA-01428 (argument out of range), ORA-01426 (overflow).
Number add(const Number& a, const Number& b);
Number multiply(const Number& a, const Number& b);
Number divide(const Number& a, const Number& b);
Number mod(const Number& a, const Number& b);
Number remainder(const Number& a, const Number& b);
Number roundNumber(const Number& a, std::int64_t places);
Number truncNumber(const Number& a, std::int64_t places);
Number ceilNumber(const Number& a);
Number floorNumber(const Number& a);
Number power(const Number& a, const Number& b);
Number squareRoot(const Number& a);
Number sign(const Number& a);
Number absolute(const Number& a);
Number negate(const Number& a);
Number bitAnd(const Number& a, const Number& b);
// A double within a few units in the last place of a value of at most 15
// significant digits becomes that value: 0.1 + 0.2 is 0.3, as Oracle's
// decimal NUMBER gives it. Other doubles (1/3) are kept as they are.
double snapDecimal(double v);
// -1, 0, 1.
int compare(const Number& a, const Number& b);
// A whole number of the argument (positions, counts): truncated toward zero
// and clamped to the int64 range.
std::int64_t toInteger(const Number& a);

}  // namespace localengine::functions
