#pragma once
// Lexical analysis of Oracle-dialect SQL text.

#include <cstddef>
#include <string>
#include <vector>

namespace localengine {

struct Token {
    enum class Kind {
        Ident,        // unquoted identifier or keyword (text as written)
        QuotedIdent,  // "..." identifier (text without the quotes, "" undone)
        String,       // '...' literal (text without the quotes, '' undone)
        Number,       // numeric literal as written
        Param,        // bind parameter: ?, ?1, :name, @name, $name
        Op            // operator or punctuation: ( ) , ; . + - * / || = <> ...
    };
    Kind kind = Kind::Op;
    std::string text;
    std::size_t begin = 0;  // byte offsets into the source text
    std::size_t end = 0;

    bool isIdent() const { return kind == Kind::Ident; }
    // True for an unquoted identifier equal (ignoring case) to `word`.
    bool is(const char* word) const;
    bool isOp(const char* op) const { return kind == Kind::Op && text == op; }
    // The identifier as Oracle names it: unquoted ones upper-cased.
    std::string name() const;
};

// Splits `sql` into tokens; comments and blanks are dropped. Throws
// EngineError on an unterminated string, quoted identifier or comment.
std::vector<Token> tokenize(const std::string& sql);

std::string upperAscii(std::string s);
bool equalsNoCase(const std::string& a, const std::string& b);

// Quotes a value as an SQL string literal ('' for each ').
std::string quoteString(const std::string& s);
// Quotes a name as an SQL identifier ("" for each ").
std::string quoteIdent(const std::string& s);

}  // namespace localengine
