#include "OraRegex.h"

#include "OraError.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cctype>
#include <stdexcept>
#include <vector>

namespace localengine::functions {

namespace {

// Backtracking beyond this many steps is refused rather than let a
// pathological pattern hold the connection.
constexpr std::uint32_t kMatchLimit = 10'000'000;

bool isQuantifier(char c) {
    return c == '*' || c == '+' || c == '?' || c == '}';
}

void appendLiteral(std::string& out, std::string_view pattern, std::size_t& i) {
    const std::size_t n = charBytes(pattern, i);
    const char c = pattern[i];
    if (n == 1 && !std::isalnum(static_cast<unsigned char>(c)) && c != ' ')
        out += '\\';
    out.append(pattern.substr(i, n));
    i += n;
}

// A bracket expression from its '[' to its ']', as PCRE2 reads it.
std::size_t translateBracket(std::string_view p, std::size_t i, std::string& out) {
    out += '[';
    ++i;
    if (i < p.size() && p[i] == '^') {
        out += '^';
        ++i;
    }
    if (i < p.size() && p[i] == ']') {
        out += "\\]";
        ++i;
    }
    while (i < p.size() && p[i] != ']') {
        if (p[i] == '[' && i + 1 < p.size() &&
            (p[i + 1] == ':' || p[i + 1] == '=' || p[i + 1] == '.')) {
            const char kind = p[i + 1];
            const std::size_t close = p.find(std::string{kind, ']'}, i + 2);
            if (close == std::string_view::npos)
                raise(12726);
            const std::string_view inner = p.substr(i + 2, close - i - 2);
            if (kind == ':') {
                out.append(p.substr(i, close + 2 - i));
            } else if (kind == '.') {
                if (inner.empty() || charBytes(inner, 0) != inner.size())
                    raise(12731);
                std::size_t k = 0;
                appendLiteral(out, inner, k);
            } else {
                throw Unsupported(
                    "equivalence classes ([= =]) in regular expressions are not supported by the "
                    "local engine");
            }
            i = close + 2;
            continue;
        }
        if (p[i] == '\\' || p[i] == '[') {
            out += '\\';
            out += p[i++];
            continue;
        }
        const std::size_t n = charBytes(p, i);
        out.append(p.substr(i, n));
        i += n;
    }
    if (i >= p.size())
        raise(12726);
    out += ']';
    return i + 1;
}

[[noreturn]] void compileError(int code) {
    switch (code) {
        case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
        case PCRE2_ERROR_UNMATCHED_CLOSING_PARENTHESIS:
            raise(12725);
        case PCRE2_ERROR_MISSING_SQUARE_BRACKET:
            raise(12726);
        case PCRE2_ERROR_BAD_SUBPATTERN_REFERENCE:
            raise(12727);
        case PCRE2_ERROR_CLASS_RANGE_ORDER:
            raise(12728);
        case PCRE2_ERROR_UNKNOWN_POSIX_CLASS:
            raise(12729);
        case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER:
        case PCRE2_ERROR_QUANTIFIER_TOO_BIG:
            raise(12732);
        case PCRE2_ERROR_PATTERN_TOO_LARGE:
            raise(12733);
        default: {
            PCRE2_UCHAR text[256];
            pcre2_get_error_message(code, text, sizeof text);
            throw Unsupported(
                std::string("regular expression not supported by the local engine: ") +
                reinterpret_cast<const char*>(text));
        }
    }
}

std::size_t byteOffset(std::string_view s, std::int64_t position) {
    std::size_t at = 0;
    for (std::int64_t k = 1; k < position && at < s.size(); ++k)
        at += charBytes(s, at);
    return position > 1 && at >= s.size() && position > static_cast<std::int64_t>(charLength(s))
               ? s.size() + 1
               : at;
}

std::int64_t charPosition(std::string_view s, std::size_t byte) {
    return static_cast<std::int64_t>(charLength(s.substr(0, byte))) + 1;
}

void checkPositive(std::int64_t v) {
    if (v < 1)
        raise(1428, std::to_string(v));
}

// The `occurrence`-th match from `position`; false when there are fewer.
bool nth(std::string_view s, const OraRegex& re, std::int64_t position, std::int64_t occurrence,
         OraRegex::Match& m) {
    std::size_t from = byteOffset(s, position);
    if (from > s.size())
        return false;
    bool notEmpty = false;
    for (std::int64_t k = 0; k < occurrence; ++k) {
        if (from > s.size() || !re.find(s, from, m, notEmpty))
            return false;
        from = m.end;
        notEmpty = m.start == m.end;
    }
    return true;
}

}  // namespace

MatchOptions parseMatchParameter(std::string_view text) {
    MatchOptions o;
    for (char c : text) {
        switch (c) {
            case 'i':
                o.caseInsensitive = true;
                break;
            case 'c':
                o.caseInsensitive = false;
                break;
            case 'n':
                o.dotAll = true;
                break;
            case 'm':
                o.multiline = true;
                break;
            case 'x':
                o.extended = true;
                break;
            default:
                raise(1760);
        }
    }
    return o;
}

std::string translatePattern(std::string_view p, bool extended) {
    std::string out;
    out.reserve(p.size() + 8);
    for (std::size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (c == '\\') {
            if (i + 1 >= p.size())
                raise(12727);  // a pattern cannot end in a lone backslash
            const char e = p[i + 1];
            if (std::string_view("dDwWsSAZz").find(e) != std::string_view::npos ||
                (e >= '1' && e <= '9')) {
                out += '\\';
                out += e;
                i += 2;
            } else {
                ++i;
                appendLiteral(out, p, i);  // an escaped character is itself
            }
            continue;
        }
        if (c == '[') {
            i = translateBracket(p, i, out);
            continue;
        }
        if (c == '(' && i + 1 < p.size() && p[i + 1] == '?')
            throw Unsupported(
                "\"(?\" groups in regular expressions are not supported by the local engine");
        if (isQuantifier(c) && i + 1 < p.size() && p[i + 1] == '+')
            throw Unsupported(
                "possessive quantifiers (\"*+\") in regular expressions are not supported by the "
                "local engine");
        if (c == '#' && extended) {
            out += "\\#";
            ++i;
            continue;
        }
        const std::size_t n = charBytes(p, i);
        out.append(p.substr(i, n));
        i += n;
    }
    return out;
}

struct OraRegex::Code {
    pcre2_code* code = nullptr;
    pcre2_match_context* context = nullptr;
    ~Code() {
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

OraRegex::OraRegex(std::string_view pattern, MatchOptions options)
    : m_pattern(pattern), m_options(options), m_code(std::make_unique<Code>()) {
    const std::string translated = translatePattern(pattern, options.extended);
    std::uint32_t flags = PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
    if (options.caseInsensitive)
        flags |= PCRE2_CASELESS;
    if (options.dotAll)
        flags |= PCRE2_DOTALL;
    if (options.multiline)
        flags |= PCRE2_MULTILINE;
    else
        flags |= PCRE2_DOLLAR_ENDONLY;
    if (options.extended)
        flags |= PCRE2_EXTENDED;
    int error = 0;
    PCRE2_SIZE offset = 0;
    m_code->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(),
                                 flags, &error, &offset, nullptr);
    if (!m_code->code)
        compileError(error);
    std::uint32_t count = 0;
    pcre2_pattern_info(m_code->code, PCRE2_INFO_CAPTURECOUNT, &count);
    m_groups = static_cast<int>(count);
    m_code->context = pcre2_match_context_create(nullptr);
    if (!m_code->context)
        throw std::bad_alloc();
    pcre2_set_match_limit(m_code->context, kMatchLimit);
}

OraRegex::~OraRegex() = default;

bool OraRegex::find(std::string_view subject, std::size_t from, Match& m, bool notEmptyAt) const {
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(m_code->code, nullptr);
    if (!data)
        throw std::bad_alloc();
    struct Free {
        pcre2_match_data* d;
        ~Free() { pcre2_match_data_free(d); }
    } release{data};
    std::size_t start = from;
    for (;;) {
        const std::uint32_t flags = notEmptyAt && start == from ? PCRE2_NOTEMPTY_ATSTART : 0;
        const int rc = pcre2_match(m_code->code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                                   subject.size(), start, flags, data, m_code->context);
        if (rc == PCRE2_ERROR_NOMATCH)
            return false;
        if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT)
            throw Unsupported("regular expression too complex for the local engine");
        if (rc < 0)
            throw Unsupported("regular expression match failed");
        const PCRE2_SIZE* v = pcre2_get_ovector_pointer(data);
        m.start = v[0];
        m.end = v[1];
        for (int g = 0; g < 10; ++g) {
            m.groupSet[g] = g < rc && v[2 * g] != PCRE2_UNSET;
            m.groupStart[g] = m.groupSet[g] ? v[2 * g] : 0;
            m.groupEnd[g] = m.groupSet[g] ? v[2 * g + 1] : 0;
        }
        return true;
    }
}

bool regexpLike(std::string_view s, const OraRegex& re) {
    OraRegex::Match m;
    return re.find(s, 0, m);
}

std::int64_t regexpCount(std::string_view s, const OraRegex& re, std::int64_t position) {
    checkPositive(position);
    std::size_t from = byteOffset(s, position);
    std::int64_t count = 0;
    OraRegex::Match m;
    bool notEmpty = false;
    while (from <= s.size() && re.find(s, from, m, notEmpty)) {
        ++count;
        notEmpty = m.start == m.end;
        from = m.end;
    }
    return count;
}

std::int64_t regexpInstr(std::string_view s, const OraRegex& re, std::int64_t position,
                         std::int64_t occurrence, std::int64_t returnOption, std::int64_t group) {
    checkPositive(position);
    checkPositive(occurrence);
    if (returnOption != 0 && returnOption != 1)
        raise(1428, std::to_string(returnOption));
    if (group < 0 || group > 9)
        raise(1428, std::to_string(group));
    OraRegex::Match m;
    if (group > re.groups() || !nth(s, re, position, occurrence, m))
        return 0;
    if (!m.groupSet[group] && group > 0)
        return 0;
    const std::size_t start = group ? m.groupStart[group] : m.start;
    const std::size_t end = group ? m.groupEnd[group] : m.end;
    return charPosition(s, returnOption ? end : start);
}

Text regexpSubstr(std::string_view s, const OraRegex& re, std::int64_t position,
                  std::int64_t occurrence, std::int64_t group) {
    checkPositive(position);
    checkPositive(occurrence);
    if (group < 0 || group > 9)
        raise(1428, std::to_string(group));
    OraRegex::Match m;
    if (group > re.groups() || !nth(s, re, position, occurrence, m) ||
        (group > 0 && !m.groupSet[group]))
        return std::nullopt;
    const std::size_t start = group ? m.groupStart[group] : m.start;
    const std::size_t end = group ? m.groupEnd[group] : m.end;
    if (end == start)
        return std::nullopt;
    return std::string(s.substr(start, end - start));
}

Text regexpReplace(std::string_view s, const OraRegex& re, std::string_view replacement,
                   std::int64_t position, std::int64_t occurrence, std::size_t maxBytes) {
    checkPositive(position);
    if (occurrence < 0)
        raise(1428, std::to_string(occurrence));
    std::size_t from = byteOffset(s, position);
    if (from > s.size())
        return s.empty() ? Text() : Text(std::string(s));
    std::string out(s.substr(0, from));
    std::size_t copied = from;
    std::int64_t seen = 0;
    OraRegex::Match m;
    bool notEmpty = false;
    while (from <= s.size() && re.find(s, from, m, notEmpty)) {
        ++seen;
        if (occurrence == 0 || seen == occurrence) {
            out.append(s.substr(copied, m.start - copied));
            for (std::size_t k = 0; k < replacement.size(); ++k) {
                const char c = replacement[k];
                if (c == '\\' && k + 1 < replacement.size()) {
                    const char n = replacement[k + 1];
                    if (n >= '1' && n <= '9') {
                        const int g = n - '0';
                        if (g <= re.groups() && m.groupSet[g])
                            out.append(s.substr(m.groupStart[g], m.groupEnd[g] - m.groupStart[g]));
                        ++k;
                        continue;
                    }
                    if (n == '\\') {
                        out += '\\';
                        ++k;
                        continue;
                    }
                }
                out += c;
            }
            copied = m.end;
            if (out.size() > maxBytes)
                throw std::length_error("REGEXP_REPLACE result too long");
            if (occurrence != 0)
                break;
        }
        notEmpty = m.start == m.end;
        from = m.end;
    }
    out.append(s.substr(copied));
    if (out.empty())
        return std::nullopt;
    return out;
}

}  // namespace localengine::functions
