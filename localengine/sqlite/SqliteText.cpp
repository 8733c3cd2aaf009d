#include "sqlite/SqliteText.h"

#include <cctype>

namespace localengine::sqlite {

namespace {

// ASCII only, as SQLite folds identifiers; faster than the locale's toupper.
inline char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// ASCII classes inline (the text is read byte by byte); bytes of UTF-8
// sequences continue words.
inline bool isDigitAscii(unsigned char c) {
    return c >= '0' && c <= '9';
}
inline bool isAlnumAscii(unsigned char c) {
    return isDigitAscii(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}
inline bool isWordChar(unsigned char c) {
    return isAlnumAscii(c) || c == '_' || c == '$' || c >= 0x80;
}

// A quoted token at `i` ('...', "...", `...` or [...]); returns the index
// after it. A doubled closing quote stands for one.
std::size_t readQuoted(std::string_view s, std::size_t i, std::string& text) {
    const char open = s[i];
    const char close = open == '[' ? ']' : open;
    ++i;
    while (i < s.size()) {
        if (s[i] == close) {
            if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
                text += close;
                i += 2;
                continue;
            }
            return i + 1;
        }
        text += s[i++];
    }
    return i;
}

}  // namespace

std::string upperName(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = upperAscii(c);
    return r;
}

std::string lowerName(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = lowerAscii(c);
    return r;
}

std::string quoteName(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::vector<SqlToken> tokenizeSqlite(std::string_view s, std::deque<std::string>& store) {
    std::vector<SqlToken> out;
    out.reserve(s.size() / 3 + 2);
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t b = i;
        SqlToken t;
        if (std::isspace(c)) {
            ++i;
            continue;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
            continue;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const std::size_t e = s.find("*/", i + 2);
            i = e == std::string_view::npos ? n : e + 2;
            continue;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            std::string text;
            i = readQuoted(s, i, text);
            t.kind = c == '\'' ? Tok::String : Tok::Quoted;
            store.push_back(std::move(text));
            t.text = store.back();
        } else if (isDigitAscii(c)) {
            while (i < n && (isAlnumAscii(static_cast<unsigned char>(s[i])) || s[i] == '.'))
                ++i;
            t.kind = Tok::Number;
            t.text = s.substr(b, i - b);
        } else if (isWordChar(c)) {
            while (i < n && isWordChar(static_cast<unsigned char>(s[i])))
                ++i;
            t.kind = Tok::Word;
            t.text = s.substr(b, i - b);
            if (t.text.size() <= 15) {
                t.upper.assign(t.text);  // within the string's own buffer: no allocation
                for (char& ch : t.upper)
                    ch = upperAscii(ch);
            }
        } else {
            t.kind = Tok::Punct;
            t.text = s.substr(i, 1);
            ++i;
        }
        t.begin = b;
        t.end = i;
        out.push_back(std::move(t));
    }
    SqlToken end;
    end.begin = end.end = n;
    out.push_back(std::move(end));
    return out;
}

}  // namespace localengine::sqlite
