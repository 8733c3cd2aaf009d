#pragma once
// Reading SQL text in SQLite's dialect (what sqlite_schema stores, what the
// engine hands to SQLite): identifiers compared and folded as SQLite does
// for ASCII, and a light tokeniser.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace localengine::sqlite {

// Case-insensitive ASCII comparison and case folding (identifiers are
// compared as SQLite does for ASCII; other bytes are left alone). The
// comparison is inline: the plan mapping compares names in loops over
// every table of a statement.
inline bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        // Different bytes are the same name only as the two cases of a letter.
        const char lower = static_cast<char>(a[i] | 0x20);
        if (lower < 'a' || lower > 'z' || lower != static_cast<char>(b[i] | 0x20))
            return false;
    }
    return true;
}
std::string upperName(std::string_view s);
std::string lowerName(std::string_view s);

// A name as an SQL identifier in double quotes ("" for each ").
std::string quoteName(std::string_view name);

enum class Tok { Word, Quoted, String, Number, Punct, End };

struct SqlToken {
    Tok kind = Tok::End;
    std::string_view text;  // identifiers and strings unquoted; punctuation one character
    std::string upper;      // words of up to 15 characters upper case, for keyword tests
    std::size_t begin = 0;  // byte offsets of the token in the source text
    std::size_t end = 0;

    bool isWord(std::string_view upperWord) const {
        return kind == Tok::Word && upper == upperWord;
    }
    bool isPunct(char c) const { return kind == Tok::Punct && text.size() == 1 && text[0] == c; }
    bool isName() const { return kind == Tok::Word || kind == Tok::Quoted; }
    // The name as the dictionary shows it: unquoted words upper case.
    std::string name() const { return kind == Tok::Word ? upperName(text) : std::string(text); }
};

// Splits `sql` into tokens, dropping blanks and comments; the last token is
// Tok::End. Never fails: an unterminated quote runs to the end of the text.
// Tokens view `sql`, or `store` for quoted text that needed unescaping;
// both must outlive them.
std::vector<SqlToken> tokenizeSqlite(std::string_view sql, std::deque<std::string>& store);

}  // namespace localengine::sqlite
