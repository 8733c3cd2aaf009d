#include "LetterCase.h"

#include <locale.h>
#include <clocale>
#include <cwctype>

namespace localengine::functions {

namespace {

// The locale whose LC_CTYPE maps every Unicode letter; null where the
// system lacks it (then only ASCII letters change case).
locale_t unicodeLocale() {
    static const locale_t kLocale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return kLocale;
}

// The code point of the well-formed UTF-8 sequence at `i` with its length,
// or a length of 0 for a byte that starts none (kept as it is).
struct CodePoint {
    char32_t value = 0;
    std::size_t length = 0;
};

CodePoint decode(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80)
        return {b, 1};
    const std::size_t extra = b >= 0xF8 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size())
        return {};
    char32_t c = b & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80)
            return {};
        c = (c << 6) | (next & 0x3F);
    }
    return {c, extra + 1};
}

void encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t mapped(char32_t c, LetterCase to) {
    if (c < 0x80) {
        if (to == LetterCase::Upper && c >= 'a' && c <= 'z')
            return c - 'a' + 'A';
        if (to == LetterCase::Lower && c >= 'A' && c <= 'Z')
            return c - 'A' + 'a';
        return c;
    }
    const locale_t locale = unicodeLocale();
    if (!locale)
        return c;
    const auto w = static_cast<wint_t>(c);
    return static_cast<char32_t>(to == LetterCase::Upper ? towupper_l(w, locale)
                                                         : towlower_l(w, locale));
}

bool isWordCharacter(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    const locale_t locale = unicodeLocale();
    return locale && iswalnum_l(static_cast<wint_t>(c), locale);
}

}  // namespace

std::string withCase(std::string_view utf8, LetterCase to) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const CodePoint c = decode(utf8, i);
        if (c.length == 0) {
            out += utf8[i++];
            continue;
        }
        encode(mapped(c.value, to), out);
        i += c.length;
    }
    return out;
}

std::string initialCaps(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool start = true;
    for (std::size_t i = 0; i < utf8.size();) {
        const CodePoint c = decode(utf8, i);
        if (c.length == 0) {
            out += utf8[i++];
            start = false;
            continue;
        }
        i += c.length;
        if (isWordCharacter(c.value)) {
            encode(mapped(c.value, start ? LetterCase::Upper : LetterCase::Lower), out);
            start = false;
        } else {
            encode(c.value, out);
            start = true;
        }
    }
    return out;
}

}  // namespace localengine::functions
