#include "Lexer.h"

#include "Error.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace localengine::dialect {

namespace {

bool isLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool startsName(unsigned char c) {
    return isLetter(c) || c == '_' || c >= 0x80;
}
bool continuesName(unsigned char c) {
    return isLetter(c) || isDigit(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}
bool isBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
// Control characters other than tab, CR and LF may stand only inside a
// literal or a comment; a NUL nowhere, since SQLite reads its text up to
// the first NUL.
bool isControl(unsigned char c) {
    return (c < 0x20 && !isBlank(c)) || c == 0x7f;
}

[[noreturn]] void invalidCharacter(unsigned char c, std::size_t at) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(c));
    fail(ora::kInvalidCharacter, "invalid character (byte " + std::string(code) + " at offset " +
                                     std::to_string(at) + "); nothing was run");
}

class Lexer {
public:
    explicit Lexer(std::string_view sql) : m_sql(sql) {}

    std::vector<Token> run() {
        m_tokens.reserve(m_sql.size() / 4 + 2);
        while (skipBlanksAndComments())
            readToken();
        push(TokenKind::End, {}, m_pos);
        return std::move(m_tokens);
    }

private:
    unsigned char at(std::size_t i) const {
        return i < m_sql.size() ? static_cast<unsigned char>(m_sql[i]) : 0;
    }
    bool more() const { return m_pos < m_sql.size(); }

    void push(TokenKind kind, std::string text, std::size_t begin) {
        Token t;
        t.kind = kind;
        t.text = std::move(text);
        t.begin = static_cast<std::uint32_t>(begin);
        t.end = static_cast<std::uint32_t>(m_pos);
        m_tokens.push_back(std::move(t));
    }

    // Returns false at the end of the text.
    bool skipBlanksAndComments() {
        while (more()) {
            const unsigned char c = at(m_pos);
            if (isBlank(c)) {
                ++m_pos;
            } else if (c == '-' && at(m_pos + 1) == '-') {
                while (more() && at(m_pos) != '\n')
                    ++m_pos;
            } else if (c == '/' && at(m_pos + 1) == '*') {
                skipBlockComment();
            } else {
                return true;
            }
        }
        return false;
    }

    void skipBlockComment() {
        const std::size_t start = m_pos;
        m_pos += 2;
        while (!(at(m_pos) == '*' && at(m_pos + 1) == '/')) {
            if (!more())
                fail(ora::kCommentOpen, "comment not properly terminated (it starts at byte " +
                                            std::to_string(start) + ")");
            ++m_pos;
        }
        m_pos += 2;
    }

    void readToken() {
        const unsigned char c = at(m_pos);
        const std::size_t begin = m_pos;
        if ((c == 'q' || c == 'Q') && at(m_pos + 1) == '\'')
            return readAlternativeQuote(begin, false);
        if ((c == 'n' || c == 'N') && (at(m_pos + 1) == 'q' || at(m_pos + 1) == 'Q') &&
            at(m_pos + 2) == '\'') {
            ++m_pos;
            return readAlternativeQuote(begin, true);
        }
        if ((c == 'n' || c == 'N') && at(m_pos + 1) == '\'') {
            ++m_pos;
            return readQuoted(begin, '\'', TokenKind::Text, true);
        }
        if (startsName(c))
            return readName(begin);
        if (c == '\'')
            return readQuoted(begin, '\'', TokenKind::Text, false);
        if (c == '"')
            return readQuoted(begin, '"', TokenKind::QuotedName, false);
        if (isDigit(c) || (c == '.' && isDigit(at(m_pos + 1))))
            return readNumber(begin);
        if (c == '?' || ((c == ':' || c == '@' || c == '$') && continuesName(at(m_pos + 1))))
            return readBindParameter(begin);
        if (isControl(c))
            invalidCharacter(c, m_pos);
        readOperator(begin);
    }

    void readName(std::size_t begin) {
        while (continuesName(at(m_pos)))
            ++m_pos;
        push(TokenKind::Name, std::string(m_sql.substr(begin, m_pos - begin)), begin);
    }

    // A run between `quote` characters; a doubled quote stands for one.
    void readQuoted(std::size_t begin, char quote, TokenKind kind, bool national) {
        std::string text;
        ++m_pos;
        while (true) {
            if (!more())
                unterminated(kind, begin);
            const char c = m_sql[m_pos];
            if (c == quote) {
                if (at(m_pos + 1) != static_cast<unsigned char>(quote))
                    break;
                ++m_pos;
            }
            text += c;
            ++m_pos;
        }
        ++m_pos;
        if (kind == TokenKind::QuotedName && text.empty())
            fail(ora::kZeroLengthIdentifier, "illegal zero-length identifier");
        push(kind, std::move(text), begin);
        m_tokens.back().national = national;
    }

    [[noreturn]] static void unterminated(TokenKind kind, std::size_t begin) {
        const std::string where = " (it starts at byte " + std::to_string(begin) + ")";
        if (kind == TokenKind::QuotedName)
            fail(ora::kMissingDoubleQuote, "missing double quote in identifier" + where);
        fail(ora::kQuotedStringOpen, "quoted string not properly terminated" + where);
    }

    // q'[...]': the closing partner of the opening delimiter, then a quote.
    void readAlternativeQuote(std::size_t begin, bool national) {
        m_pos += 2;
        const char open = static_cast<char>(at(m_pos));
        if (!more() || isBlank(static_cast<unsigned char>(open)))
            unterminated(TokenKind::Text, begin);
        char close = open;
        if (open == '[')
            close = ']';
        else if (open == '(')
            close = ')';
        else if (open == '{')
            close = '}';
        else if (open == '<')
            close = '>';
        const std::size_t first = ++m_pos;
        while (!(at(m_pos) == static_cast<unsigned char>(close) && at(m_pos + 1) == '\'')) {
            if (!more())
                unterminated(TokenKind::Text, begin);
            ++m_pos;
        }
        std::string text(m_sql.substr(first, m_pos - first));
        m_pos += 2;
        push(TokenKind::Text, std::move(text), begin);
        m_tokens.back().national = national;
    }

    void readNumber(std::size_t begin) {
        while (isDigit(at(m_pos)))
            ++m_pos;
        // "1..2" is not a number followed by ".2": the dot belongs to neither.
        if (at(m_pos) == '.' && at(m_pos + 1) != '.') {
            ++m_pos;
            while (isDigit(at(m_pos)))
                ++m_pos;
        }
        if (at(m_pos) == 'e' || at(m_pos) == 'E') {
            std::size_t j = m_pos + 1;
            if (at(j) == '+' || at(j) == '-')
                ++j;
            if (isDigit(at(j))) {
                m_pos = j;
                while (isDigit(at(m_pos)))
                    ++m_pos;
            }
        }
        std::string text(m_sql.substr(begin, m_pos - begin));
        const unsigned char suffix = at(m_pos);
        if ((suffix == 'f' || suffix == 'F' || suffix == 'd' || suffix == 'D') &&
            !continuesName(at(m_pos + 1)))
            ++m_pos;  // BINARY_FLOAT / BINARY_DOUBLE literal: the value is the same
        push(TokenKind::Number, std::move(text), begin);
    }

    void readBindParameter(std::size_t begin) {
        ++m_pos;
        while (continuesName(at(m_pos)))
            ++m_pos;
        push(TokenKind::BindParameter, std::string(m_sql.substr(begin, m_pos - begin)), begin);
    }

    void readOperator(std::size_t begin) {
        static constexpr std::string_view kTwoCharacter[] = {
            "||", "<>", "!=", "^=", "~=", "<=", ">=", "==", "<<", ">>", "=>", ":="};
        for (std::string_view op : kTwoCharacter) {
            if (at(m_pos) == static_cast<unsigned char>(op[0]) &&
                at(m_pos + 1) == static_cast<unsigned char>(op[1])) {
                m_pos += 2;
                push(TokenKind::Operator, std::string(op), begin);
                return;
            }
        }
        ++m_pos;
        push(TokenKind::Operator, std::string(1, m_sql[begin]), begin);
    }

    std::string_view m_sql;
    std::size_t m_pos = 0;
    std::vector<Token> m_tokens;
};

}  // namespace

bool Token::is(std::string_view word) const {
    if (kind != TokenKind::Name || text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i])
            return false;
    }
    return true;
}

std::string Token::oracleName() const {
    return kind == TokenKind::Name ? upperAscii(text) : text;
}

std::vector<Token> tokenize(std::string_view sql) {
    if (sql.size() >= std::numeric_limits<std::uint32_t>::max())
        fail(0, "statement too long: more than 4 GB of text");
    // A NUL is refused wherever it stands, in a literal or a comment too.
    if (const void* nul = std::memchr(sql.data(), '\0', sql.size()))
        invalidCharacter(0, static_cast<std::size_t>(static_cast<const char*>(nul) - sql.data()));
    return Lexer(sql).run();
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string quoteText(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '\'';
    for (char c : s) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

std::string quoteName(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

}  // namespace localengine::dialect
