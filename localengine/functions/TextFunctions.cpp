#include "TextFunctions.h"

#include "LetterCase.h"

#include "OraError.h"

#include <cctype>
#include <stdexcept>
#include <vector>

namespace localengine::functions {

namespace {

Text result(std::string s) {
    if (s.empty())
        return std::nullopt;
    return s;
}

// Byte offsets of every character start, with the end appended.
std::vector<std::size_t> charStarts(std::string_view s) {
    std::vector<std::size_t> at;
    at.reserve(s.size() + 1);
    for (std::size_t i = 0; i < s.size(); i += charBytes(s, i))
        at.push_back(i);
    at.push_back(s.size());
    return at;
}

// The 0-based start of SUBSTR's position over `count` units, or -1 when
// the position lies outside.
std::int64_t startIndex(std::int64_t position, std::int64_t count) {
    if (position == 0)
        position = 1;
    if (position > 0)
        return position > count ? -1 : position - 1;
    if (-position > count)
        return -1;
    return count + position;
}

std::int64_t find(std::string_view haystack, const std::vector<std::size_t>& starts,
                  std::string_view sub, std::int64_t position, std::int64_t occurrence) {
    const std::int64_t count = static_cast<std::int64_t>(starts.size()) - 1;
    if (occurrence < 1)
        raise(1428, std::to_string(occurrence));
    if (position == 0 || sub.empty())
        return 0;
    auto matchesAt = [&](std::int64_t unit) {
        const std::size_t byte = starts[static_cast<std::size_t>(unit)];
        return haystack.compare(byte, sub.size(), sub) == 0;
    };
    if (position > 0) {
        for (std::int64_t u = position - 1; u < count; ++u)
            if (matchesAt(u) && --occurrence == 0)
                return u + 1;
        return 0;
    }
    for (std::int64_t u = count + position; u >= 0; --u)
        if (matchesAt(u) && --occurrence == 0)
            return u + 1;
    return 0;
}

std::vector<std::size_t> byteStarts(std::string_view s) {
    std::vector<std::size_t> at(s.size() + 1);
    for (std::size_t i = 0; i <= s.size(); ++i)
        at[i] = i;
    return at;
}

std::vector<std::string_view> charsOf(std::string_view s) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = charBytes(s, i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

bool inSet(const std::vector<std::string_view>& set, std::string_view c) {
    for (std::string_view x : set)
        if (x == c)
            return true;
    return false;
}

}  // namespace

std::size_t charBytes(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t want = 0;
    if (c >= 0xC2 && c <= 0xDF)
        want = 1;
    else if (c >= 0xE0 && c <= 0xEF)
        want = 2;
    else if (c >= 0xF0 && c <= 0xF4)
        want = 3;
    std::size_t n = 1;
    while (n <= want && i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

std::size_t charLength(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += charBytes(s, i))
        ++n;
    return n;
}

Text substr(std::string_view s, std::int64_t position, std::optional<std::int64_t> length) {
    const std::vector<std::size_t> starts = charStarts(s);
    const std::int64_t count = static_cast<std::int64_t>(starts.size()) - 1;
    const std::int64_t first = startIndex(position, count);
    if (first < 0 || (length && *length < 1))
        return std::nullopt;
    std::int64_t last = count;
    if (length && *length < count - first)
        last = first + *length;
    const std::size_t a = starts[static_cast<std::size_t>(first)];
    const std::size_t b = starts[static_cast<std::size_t>(last)];
    return result(std::string(s.substr(a, b - a)));
}

Text substrb(std::string_view s, std::int64_t position, std::optional<std::int64_t> length) {
    const std::int64_t count = static_cast<std::int64_t>(s.size());
    const std::int64_t first = startIndex(position, count);
    if (first < 0 || (length && *length < 1))
        return std::nullopt;
    std::int64_t last = count;
    if (length && *length < count - first)
        last = first + *length;
    // A character cut by either end becomes blanks, one per byte kept.
    std::string out;
    const std::vector<std::size_t> starts = charStarts(s);
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        const std::int64_t a = static_cast<std::int64_t>(starts[k]);
        const std::int64_t b = static_cast<std::int64_t>(starts[k + 1]);
        if (b <= first || a >= last)
            continue;
        if (a >= first && b <= last)
            out.append(s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
        else
            out.append(static_cast<std::size_t>(std::min(b, last) - std::max(a, first)), ' ');
    }
    return result(out);
}

std::int64_t instr(std::string_view s, std::string_view sub, std::int64_t position,
                   std::int64_t occurrence) {
    return find(s, charStarts(s), sub, position, occurrence);
}

std::int64_t instrb(std::string_view s, std::string_view sub, std::int64_t position,
                    std::int64_t occurrence) {
    return find(s, byteStarts(s), sub, position, occurrence);
}

Text trim(std::string_view s, TrimSide side, std::string_view c) {
    if (charLength(c) != 1)
        raise(30001);
    return trimSet(s, side, c);
}

Text trimSet(std::string_view s, TrimSide side, std::string_view set) {
    const std::vector<std::string_view> chars = charsOf(s);
    const std::vector<std::string_view> setChars = charsOf(set);
    std::size_t a = 0, b = chars.size();
    if (side != TrimSide::Trailing)
        while (a < b && inSet(setChars, chars[a]))
            ++a;
    if (side != TrimSide::Leading)
        while (b > a && inSet(setChars, chars[b - 1]))
            --b;
    std::string out;
    for (std::size_t i = a; i < b; ++i)
        out.append(chars[i]);
    return result(out);
}

Text translate(std::string_view s, std::string_view from, std::string_view to) {
    const std::vector<std::string_view> f = charsOf(from);
    const std::vector<std::string_view> t = charsOf(to);
    std::string out;
    for (std::string_view c : charsOf(s)) {
        std::size_t k = 0;
        while (k < f.size() && f[k] != c)
            ++k;
        if (k == f.size())
            out.append(c);
        else if (k < t.size())
            out.append(t[k]);
        // else: a character without a counterpart is removed
    }
    return result(out);
}

Text replace(std::string_view s, std::string_view search, std::string_view with,
             std::size_t maxBytes) {
    if (search.empty())
        return result(std::string(s));
    std::string out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t hit = s.find(search, at);
        if (hit == std::string_view::npos)
            break;
        out.append(s.substr(at, hit - at));
        out.append(with);
        at = hit + search.size();
        if (out.size() > maxBytes)
            throw std::length_error("REPLACE result too long");
    }
    out.append(s.substr(at));
    return result(out);
}

Text initcap(std::string_view s) {
    return result(initialCaps(s));
}

std::int64_t ascii(std::string_view s) {
    if (s.empty())
        return 0;
    std::int64_t code = 0;
    const std::size_t n = charBytes(s, 0);
    for (std::size_t i = 0; i < n; ++i)
        code = code * 256 + static_cast<unsigned char>(s[i]);
    return code;
}

Text chr(std::int64_t code) {
    if (code < 0 || code > 0xFFFFFFFFLL)
        raise(1428, std::to_string(code));
    std::string out;
    do {
        out.insert(out.begin(), static_cast<char>(code & 0xFF));
        code >>= 8;
    } while (code);
    return out;  // CHR(0) is a character too
}

Text soundex(std::string_view s) {
    auto codeOf = [](char c) -> char {
        switch (std::toupper(static_cast<unsigned char>(c))) {
            case 'B':
            case 'F':
            case 'P':
            case 'V':
                return '1';
            case 'C':
            case 'G':
            case 'J':
            case 'K':
            case 'Q':
            case 'S':
            case 'X':
            case 'Z':
                return '2';
            case 'D':
            case 'T':
                return '3';
            case 'L':
                return '4';
            case 'M':
            case 'N':
                return '5';
            case 'R':
                return '6';
            case 'H':
            case 'W':
                return 'h';  // neither coded nor a separator
            default:
                return '0';  // vowels and Y separate equal codes
        }
    };
    std::size_t i = 0;
    while (i < s.size() && !std::isalpha(static_cast<unsigned char>(s[i])))
        ++i;
    if (i == s.size())
        return std::nullopt;
    std::string out(1, static_cast<char>(std::toupper(static_cast<unsigned char>(s[i]))));
    char last = codeOf(s[i]);
    for (++i; i < s.size() && out.size() < 4; ++i) {
        if (!std::isalpha(static_cast<unsigned char>(s[i])))
            continue;
        const char code = codeOf(s[i]);
        if (code == 'h')
            continue;
        if (code != '0' && code != last)
            out += code;
        last = code;
    }
    out.resize(4, '0');
    return out;
}

}  // namespace localengine::functions
