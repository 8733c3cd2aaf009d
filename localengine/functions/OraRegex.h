#pragma once
// Oracle's regular expressions (REGEXP_LIKE, _COUNT, _INSTR, _SUBSTR,
// _REPLACE) over PCRE2. Oracle's patterns are POSIX extended expressions
// with Perl's \d \w \s \A \Z \z and non-greedy quantifiers; they are
// translated to PCRE2's syntax: a backslash inside brackets is a literal,
// an escaped ordinary character is that character, '#' is no comment
// under 'x'. What PCRE2 would read differently and cannot be translated is
// refused: PCRE2-only syntax such as "(?" groups and possessive quantifiers
// ("a*+"), and equivalence classes ([[=a=]]), whose linguistic matching
// PCRE2 lacks. Matching is leftmost-first (Perl's), which is Oracle's too.

#include "TextFunctions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace localengine::functions {

// Oracle's match parameter: i c n m x (the last of i/c wins); others raise
// ORA-01760.
struct MatchOptions {
    bool caseInsensitive = false, dotAll = false, multiline = false, extended = false;
    bool operator==(const MatchOptions&) const = default;
};
MatchOptions parseMatchParameter(std::string_view text);

// The pattern in PCRE2's syntax.
std::string translatePattern(std::string_view oraclePattern, bool extended);

class OraRegex {
public:
    OraRegex(std::string_view pattern, MatchOptions options);
    ~OraRegex();
    OraRegex(const OraRegex&) = delete;
    OraRegex& operator=(const OraRegex&) = delete;

    const std::string& pattern() const { return m_pattern; }
    const MatchOptions& options() const { return m_options; }

    struct Match {
        std::size_t start = 0, end = 0;  // bytes
        std::size_t groupStart[10] = {}, groupEnd[10] = {};
        bool groupSet[10] = {};
    };
    // The next match at or after byte `from`; `notEmptyAt` refuses an
    // empty match at `from` (to step past one).
    bool find(std::string_view subject, std::size_t from, Match& m, bool notEmptyAt = false) const;
    int groups() const { return m_groups; }

private:
    std::string m_pattern;
    MatchOptions m_options;
    struct Code;
    std::unique_ptr<Code> m_code;
    int m_groups = 0;
};

bool regexpLike(std::string_view s, const OraRegex& re);
std::int64_t regexpCount(std::string_view s, const OraRegex& re, std::int64_t position);
std::int64_t regexpInstr(std::string_view s, const OraRegex& re, std::int64_t position,
                         std::int64_t occurrence, std::int64_t returnOption, std::int64_t group);
Text regexpSubstr(std::string_view s, const OraRegex& re, std::int64_t position,
                  std::int64_t occurrence, std::int64_t group);
// occurrence 0 replaces every match. A result longer than `maxBytes`
// throws std::length_error before it is built in full.
Text regexpReplace(std::string_view s, const OraRegex& re, std::string_view replacement,
                   std::int64_t position, std::int64_t occurrence, std::size_t maxBytes = SIZE_MAX);

}  // namespace localengine::functions
