#include "SqlTokenizer.h"

#include "LocalEngine.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace localengine {

namespace {

constexpr int kSqliteError = 1;

bool isIdentStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool isIdentPart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

// Blanks between tokens: space, tab, line feed and carriage return. Every
// other control character is refused where it is not data: SQLite would
// take a NUL for the end of the text and run only what comes before it.
bool isBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

[[noreturn]] void invalidCharacter(unsigned char c, std::size_t offset) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(c));
    throw EngineError("ORA-00911: invalid character (byte " + std::string(code) + " at offset " +
                          std::to_string(offset) + "); nothing was run",
                      kSqliteError);
}

// Reads a quoted run starting at `i` (on the opening quote); doubled quotes
// stand for one. Returns the position after the closing quote.
std::size_t readQuoted(const std::string& sql, std::size_t i, char quote, std::string& out,
                       const char* what) {
    const std::size_t start = i;
    ++i;
    while (true) {
        if (i >= sql.size())
            throw EngineError(std::string("unterminated ") + what + " starting at offset " +
                                  std::to_string(start),
                              kSqliteError);
        if (sql[i] == quote) {
            if (i + 1 < sql.size() && sql[i + 1] == quote) {
                out += quote;
                i += 2;
                continue;
            }
            return i + 1;
        }
        out += sql[i++];
    }
}

// Oracle's alternative quoting q'[...]' with the closing partner of the
// opening delimiter.
std::size_t readQQuote(const std::string& sql, std::size_t i, std::string& out) {
    const std::size_t start = i;
    char open = sql[i + 2];
    char close = open;
    if (open == '[')
        close = ']';
    else if (open == '(')
        close = ')';
    else if (open == '{')
        close = '}';
    else if (open == '<')
        close = '>';
    for (std::size_t j = i + 3; j + 1 < sql.size(); ++j) {
        if (sql[j] == close && sql[j + 1] == '\'') {
            out = sql.substr(i + 3, j - (i + 3));
            return j + 2;
        }
    }
    throw EngineError("unterminated string literal starting at offset " + std::to_string(start),
                      kSqliteError);
}

}  // namespace

bool Token::is(const char* word) const {
    if (kind != Kind::Ident)
        return false;
    // ASCII upper case inline: called for every keyword test of every name.
    const std::size_t size = text.size();
    std::size_t n = 0;
    for (; word[n]; ++n) {
        if (n >= size)
            return false;
        char c = text[n];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != word[n])
            return false;
    }
    return n == size;
}

std::string Token::name() const {
    return kind == Kind::Ident ? upperAscii(text) : text;
}

std::string upperAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    return upperAscii(a) == upperAscii(b);
}

std::string quoteString(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string quoteIdent(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::vector<Token> tokenize(const std::string& sql) {
    // A NUL is refused wherever it stands, in a literal or a comment too.
    if (const void* nul = std::memchr(sql.data(), '\0', sql.size()))
        invalidCharacter(0, static_cast<std::size_t>(static_cast<const char*>(nul) - sql.data()));
    std::vector<Token> tokens;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    auto push = [&](Token::Kind kind, std::string text, std::size_t begin, std::size_t end) {
        tokens.push_back(Token{kind, std::move(text), begin, end});
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (isControl(c))
            invalidCharacter(c, i);
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const std::size_t close = sql.find("*/", i + 2);
            if (close == std::string::npos)
                throw EngineError("unterminated comment starting at offset " + std::to_string(i),
                                  kSqliteError);
            i = close + 2;
            continue;
        }
        const std::size_t begin = i;
        if ((c == 'q' || c == 'Q') && i + 2 < n && sql[i + 1] == '\'') {
            std::string text;
            i = readQQuote(sql, i, text);
            push(Token::Kind::String, std::move(text), begin, i);
            continue;
        }
        if ((c == 'n' || c == 'N') && i + 1 < n && sql[i + 1] == '\'') {
            std::string text;
            i = readQuoted(sql, i + 1, '\'', text, "string literal");
            push(Token::Kind::String, std::move(text), begin, i);
            continue;
        }
        if (isIdentStart(c)) {
            while (i < n && isIdentPart(static_cast<unsigned char>(sql[i])))
                ++i;
            push(Token::Kind::Ident, sql.substr(begin, i - begin), begin, i);
            continue;
        }
        if (c == '\'') {
            std::string text;
            i = readQuoted(sql, i, '\'', text, "string literal");
            push(Token::Kind::String, std::move(text), begin, i);
            continue;
        }
        if (c == '"') {
            std::string text;
            i = readQuoted(sql, i, '"', text, "quoted identifier");
            push(Token::Kind::QuotedIdent, std::move(text), begin, i);
            continue;
        }
        if (std::isdigit(c) ||
            (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                ++i;
            if (i < n && sql[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                    ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (sql[j] == '+' || sql[j] == '-'))
                    ++j;
                if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                        ++i;
                }
            }
            push(Token::Kind::Number, sql.substr(begin, i - begin), begin, i);
            continue;
        }
        if (c == '?' || ((c == ':' || c == '@' || c == '$') && i + 1 < n &&
                         (isIdentPart(static_cast<unsigned char>(sql[i + 1]))))) {
            ++i;
            while (i < n && isIdentPart(static_cast<unsigned char>(sql[i])))
                ++i;
            push(Token::Kind::Param, sql.substr(begin, i - begin), begin, i);
            continue;
        }
        static const char* const twoChar[] = {
            "||", "<>", "!=", "^=", "<=", ">=", "==", "<<", ">>", "=>"};
        bool matched = false;
        if (i + 1 < n) {
            for (const char* op : twoChar) {
                if (sql[i] == op[0] && sql[i + 1] == op[1]) {
                    push(Token::Kind::Op, op, begin, i + 2);
                    i += 2;
                    matched = true;
                    break;
                }
            }
        }
        if (matched)
            continue;
        push(Token::Kind::Op, std::string(1, static_cast<char>(c)), begin, i + 1);
        ++i;
    }
    return tokens;
}

}  // namespace localengine
