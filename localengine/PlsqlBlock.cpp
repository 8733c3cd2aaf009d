#include "PlsqlBlock.h"

#include "dialect/Error.h"
#include "dialect/Lexer.h"
#include "sqlite/EngineError.h"

#include <algorithm>
#include <cctype>

namespace localengine {

namespace {

using dialect::Token;
using dialect::TokenKind;

constexpr int kSqliteError = 1;

// The block's tokens (the front end's, without the end mark); the front
// end's refusals (ORA-00911 ...) as the engine's errors.
std::vector<Token> blockTokens(const std::string& sql) {
    try {
        std::vector<Token> tokens = dialect::tokenize(sql);
        tokens.pop_back();
        return tokens;
    } catch (const dialect::DialectError& e) {
        throw EngineError(e.what(), kSqliteError);
    }
}

[[noreturn]] void refuse(const std::string& what) {
    throw EngineError("ORA-03001: unimplemented feature: " + what +
                          " in a PL/SQL block (the local engine runs blocks of SQL statements "
                          "only); nothing was run",
                      kSqliteError);
}

class BlockReader {
public:
    explicit BlockReader(const std::string& sql) : m_sql(sql), m_toks(blockTokens(sql)) {}

    PlsqlBlock read() {
        if (at().is("DECLARE")) {
            ++m_i;
            if (!at().is("BEGIN"))
                refuse("declarations (" + at().oracleName() + ")");
        }
        readBody();
        if (m_i < m_toks.size())
            refuse("text after the block's END (" + at().text + ")");
        return std::move(m_block);
    }

private:
    const Token& at() const {
        static const Token end;
        return m_i < m_toks.size() ? m_toks[m_i] : end;
    }
    bool atEnd() const { return m_i >= m_toks.size(); }

    void expectSemicolon(const std::string& after) {
        if (!at().isOperator(";"))
            refuse(after + " followed by " + (atEnd() ? std::string("nothing") : at().text));
        ++m_i;
    }

    int lineOf(const Token& t) const {
        return 1 + static_cast<int>(std::count(
                       m_sql.begin(), m_sql.begin() + static_cast<std::ptrdiff_t>(t.begin), '\n'));
    }

    // BEGIN statements [EXCEPTION WHEN OTHERS THEN NULL;] END [label];
    void readBody() {
        if (!at().is("BEGIN"))
            refuse("a block that does not start with BEGIN");
        ++m_i;
        while (!atEnd() && !at().is("END") && !at().is("EXCEPTION"))
            readStatement();
        if (at().is("EXCEPTION"))
            readHandler();
        if (!at().is("END"))
            refuse("a block without its END");
        ++m_i;
        if (at().kind == TokenKind::Name)
            ++m_i;  // END label
        expectSemicolon("END");
    }

    void readHandler() {
        ++m_i;
        const bool othersIgnored = m_i + 4 < m_toks.size() && m_toks[m_i].is("WHEN") &&
                                   m_toks[m_i + 1].is("OTHERS") && m_toks[m_i + 2].is("THEN") &&
                                   m_toks[m_i + 3].is("NULL") && m_toks[m_i + 4].isOperator(";");
        if (!othersIgnored || m_nested)
            refuse("an EXCEPTION handler other than WHEN OTHERS THEN NULL in the outer block");
        m_block.ignoresErrors = true;
        m_i += 5;
    }

    void readStatement() {
        const Token& first = at();
        if (first.is("BEGIN")) {
            ++m_nested;
            readBody();
            --m_nested;
        } else if (first.is("NULL")) {
            ++m_i;
            expectSemicolon("NULL");
        } else if (first.is("COMMIT")) {
            ++m_i;
            if (at().is("WORK"))
                ++m_i;
            expectSemicolon("COMMIT");
            m_block.commits = true;
        } else if (first.is("INSERT") || first.is("UPDATE") || first.is("DELETE") ||
                   first.is("MERGE")) {
            readSql();
        } else if (first.is("EXECUTE") && m_i + 1 < m_toks.size() &&
                   m_toks[m_i + 1].is("IMMEDIATE")) {
            readExecuteImmediate();
        } else if (first.is("SELECT")) {
            refuse("SELECT ... INTO");
        } else if (first.isOperator("<<")) {
            refuse("labels");
        } else if (first.kind == TokenKind::Name && isAssignment(m_i + 1)) {
            refuse("assignment to " + first.oracleName());
        } else if (first.kind == TokenKind::Name) {
            static const char* const statements[] = {
                "IF",       "LOOP",      "FOR",     "WHILE",  "CASE",   "OPEN",
                "FETCH",    "CLOSE",     "RAISE",   "RETURN", "GOTO",   "EXIT",
                "ROLLBACK", "SAVEPOINT", "DECLARE", "PIPE",   "FORALL", "CONTINUE"};
            for (const char* word : statements) {
                if (first.is(word))
                    refuse(std::string(word) + " statements");
            }
            refuse("the call of " + callee());
        } else {
            refuse("\"" + first.text + "\"");
        }
    }

    // ":=" (the tokenizer gives ":" and "=").
    bool isAssignment(std::size_t k) const {
        return k < m_toks.size() &&
               (m_toks[k].isOperator(":=") || (m_toks[k].isOperator(":") && k + 1 < m_toks.size() &&
                                               m_toks[k + 1].isOperator("=")));
    }

    // The dotted name a call statement starts with.
    std::string callee() const {
        std::string name = m_toks[m_i].oracleName();
        for (std::size_t k = m_i + 1; k + 1 < m_toks.size() && m_toks[k].isOperator(".");) {
            name += "." + m_toks[k + 1].oracleName();
            k += 2;
        }
        return name;
    }

    // An SQL statement up to its ";" outside parentheses.
    void readSql() {
        const Token& first = at();
        int depth = 0;
        std::size_t k = m_i;
        for (; k < m_toks.size(); ++k) {
            if (m_toks[k].isOperator("("))
                ++depth;
            else if (m_toks[k].isOperator(")"))
                --depth;
            else if (m_toks[k].isOperator(";") && depth <= 0)
                break;
        }
        if (k >= m_toks.size())
            refuse(first.oracleName() + " without its \";\"");
        m_block.statements.push_back(
            {m_sql.substr(first.begin, m_toks[k - 1].end - first.begin), lineOf(first)});
        m_i = k + 1;
    }

    // EXECUTE IMMEDIATE 'statement';
    void readExecuteImmediate() {
        const Token& first = at();
        m_i += 2;
        if (at().kind != TokenKind::Text || m_i + 1 >= m_toks.size() ||
            !m_toks[m_i + 1].isOperator(";"))
            refuse("EXECUTE IMMEDIATE of anything but one literal");
        std::string statement = at().text;
        while (!statement.empty() &&
               (statement.back() == ';' || statement.back() == ' ' || statement.back() == '\n'))
            statement.pop_back();
        m_block.statements.push_back({statement, lineOf(first)});
        m_i += 2;
    }

    const std::string& m_sql;
    std::vector<Token> m_toks;
    std::size_t m_i = 0;
    int m_nested = 0;
    PlsqlBlock m_block;
};

}  // namespace

bool isAnonymousBlock(const std::string& oracleSql) {
    // The first word after blanks and comments, without tokenizing the rest.
    std::size_t i = 0;
    const std::size_t n = oracleSql.size();
    while (i < n) {
        if (std::isspace(static_cast<unsigned char>(oracleSql[i]))) {
            ++i;
        } else if (oracleSql.compare(i, 2, "--") == 0) {
            const std::size_t eol = oracleSql.find('\n', i);
            i = eol == std::string::npos ? n : eol + 1;
        } else if (oracleSql.compare(i, 2, "/*") == 0) {
            const std::size_t close = oracleSql.find("*/", i + 2);
            i = close == std::string::npos ? n : close + 2;
        } else {
            break;
        }
    }
    std::size_t end = i;
    while (end < n && (std::isalnum(static_cast<unsigned char>(oracleSql[end])) ||
                       oracleSql[end] == '_' || oracleSql[end] == '$' || oracleSql[end] == '#'))
        ++end;
    const std::string word = dialect::upperAscii(oracleSql.substr(i, end - i));
    return word == "BEGIN" || word == "DECLARE";
}

PlsqlBlock readPlsqlBlock(const std::string& oracleSql) {
    return BlockReader(oracleSql).read();
}

}  // namespace localengine
