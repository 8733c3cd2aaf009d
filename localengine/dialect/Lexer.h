#pragma once
// The first stage: Oracle SQL text to tokens with byte offsets.
//
// Recognised: names (unquoted, upper-cased for comparison; "quoted", kept
// as written), text literals ('..' with '' for a quote, N'..', and the
// alternative quoting q'[..]' with the delimiter pairs [] {} () <> or any
// other character closing itself), numbers (12, 1.5, .5, 1e-3, with an
// optional binary-float suffix f or d), bind parameters (:name, :1, ?, ?1,
// @name, $name), operators and punctuation. Comments (-- and /* */,
// hints included) and blanks separate tokens and are dropped.
//
// Refused: a NUL anywhere and any other control character outside literals
// and comments except tab, CR and LF (ORA-00911), an unterminated literal,
// quoted name or comment (ORA-01756, ORA-01740, ORA-01742), and the empty
// quoted name "" (ORA-01741).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace localengine::dialect {

enum class TokenKind {
    Name,           // unquoted identifier or keyword; `text` as written
    QuotedName,     // "..." without the quotes, "" undone
    Text,           // '...', N'...' or q'[...]' without the quotes, '' undone
    Number,         // numeric literal as written, without a binary-float suffix
    BindParameter,  // :name, :1, ?, ?1, @name, $name as written
    Operator,       // ( ) , ; . + - * / || = <> != ^= < <= > >= => ...
    End             // after the last token
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::uint32_t begin = 0;  // byte offsets into the statement text
    std::uint32_t end = 0;
    bool national = false;  // N'...' literal

    // True for an unquoted name equal, ignoring ASCII case, to the upper-case `word`.
    bool is(std::string_view word) const;
    bool isOperator(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
    bool isName() const { return kind == TokenKind::Name || kind == TokenKind::QuotedName; }
    // The name as Oracle compares it: unquoted names upper case, quoted as written.
    std::string oracleName() const;
};

// Splits `sql` into tokens; the last token is always End. Throws
// DialectError for the refusals listed above. Statements longer than 4 GB
// are refused: offsets are 32-bit.
std::vector<Token> tokenize(std::string_view sql);

std::string upperAscii(std::string_view s);
// Inline: the binder compares every column name of a statement's tables.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        // Different bytes are equal only as the two cases of an ASCII letter.
        const char lower = static_cast<char>(a[i] | 0x20);
        if (lower < 'a' || lower > 'z' || lower != static_cast<char>(b[i] | 0x20))
            return false;
    }
    return true;
}

// Quotes a value as an SQL text literal ('' for each ').
std::string quoteText(std::string_view s);
// Quotes a name as an SQL identifier ("" for each ").
std::string quoteName(std::string_view s);

}  // namespace localengine::dialect
