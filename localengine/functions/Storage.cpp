#include "Storage.h"

#include "OraError.h"

#include <algorithm>
#include <cmath>

namespace localengine::functions {

namespace {

namespace code {
constexpr int kPrecision = 1438;    // value larger than specified precision allowed for this column
constexpr int kTooLarge = 12899;    // value too large for column %s (actual: %s, maximum: %s)
constexpr int kOutOfRange = 25137;  // Data value out of range
}  // namespace code

// Oracle's limits on a scale (-84..127); anything past them rounds alike.
int clampedScale(int scale) {
    return std::clamp(scale, -130, 130);
}

// An integer with no more than `digits` digits.
bool fits(std::int64_t v, int digits) {
    if (digits >= 19)
        return true;
    if (digits <= 0)
        return v == 0;
    std::int64_t limit = 1;
    for (int i = 0; i < digits; ++i)
        limit *= 10;
    return v > -limit && v < limit;
}

}  // namespace

Number storedNumber(const Number& value, int precision, int scale) {
    scale = clampedScale(scale);
    if (value.isInteger && scale >= 0) {
        if (!fits(value.i, precision - scale))
            raise(code::kPrecision);
        return value;
    }
    // A double with no digits past the scale: value x 10^scale is a whole
    // number of at most 15 digits, which its decimal reading has too (the
    // common case, and the cheap one).
    if (!value.isInteger && scale >= 0 && scale <= 15) {
        static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double scaled = value.d * kPowers[scale];
        if (std::fabs(scaled) < 1e15 && std::nearbyint(scaled) == scaled) {
            if (!fits(static_cast<std::int64_t>(scaled), precision))
                raise(code::kPrecision);
            return value;
        }
    }
    const Decimal decimal = Decimal::of(value);
    const Decimal rounded = decimal.rounded(scale);
    // 0.d1d2... x 10^exponent: `exponent` integer digits when positive.
    if (!rounded.isZero() && rounded.exponent > precision - scale)
        raise(code::kPrecision);
    // A value with no digits past the scale keeps every bit of its double.
    if (rounded.digits == decimal.digits && rounded.exponent == decimal.exponent)
        return value;
    return rounded.toNumber();
}

Number storedFloat(const Number& value, int digits) {
    if (value.isInteger && fits(value.i, digits))
        return value;
    const Decimal d = Decimal::of(value);
    if (d.isZero() || static_cast<int>(d.digits.size()) <= digits)
        return value;
    return d.rounded(digits - d.exponent).toNumber();
}

std::size_t checkedLength(std::string_view value, const TextColumn& column) {
    const std::size_t actual = column.inCharacters ? charLength(value) : value.size();
    if (actual > column.length)
        throw OraError(code::kTooLarge, "ORA-12899: value too large for column " +
                                            std::string(column.name) +
                                            " (actual: " + std::to_string(actual) +
                                            ", maximum: " + std::to_string(column.length) + ")");
    return actual;
}

Text storedText(std::string value, const TextColumn& column) {
    if (value.empty())
        return std::nullopt;
    const std::size_t actual = checkedLength(value, column);
    if (column.padded)
        value.append(column.length - actual, ' ');
    return value;
}

Text castText(std::string value, const TextColumn& column, bool refuseLonger) {
    if (value.empty())
        return std::nullopt;
    std::size_t bytes = 0, characters = 0;
    // The longest head of the text the length allows, whole characters only.
    while (bytes < value.size()) {
        std::size_t next = bytes + 1;
        while (next < value.size() && (static_cast<unsigned char>(value[next]) & 0xC0) == 0x80)
            ++next;
        if ((column.inCharacters ? characters + 1 : next) > column.length)
            break;
        bytes = next;
        ++characters;
    }
    if (bytes < value.size()) {
        if (refuseLonger)
            raise(code::kOutOfRange);
        value.resize(bytes);
    }
    if (column.padded) {
        const std::size_t used = column.inCharacters ? characters : bytes;
        value.append(column.length > used ? column.length - used : 0, ' ');
    }
    return value;
}

}  // namespace localengine::functions
