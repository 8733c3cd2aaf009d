#include "PlsqlParser.h"

#include "dialect/Catalog.h"
#include "dialect/Error.h"
#include "dialect/Lexer.h"
#include "dialect/Types.h"
#include "sqlite/EngineError.h"

#include <algorithm>
#include <initializer_list>

namespace localengine::plsql {

namespace {

using dialect::Token;
using dialect::TokenKind;

constexpr int kSqliteError = 1;

std::vector<Token> blockTokens(const std::string& sql) {
    try {
        std::vector<Token> tokens = dialect::tokenize(sql);
        tokens.pop_back();
        return tokens;
    } catch (const dialect::DialectError& e) {
        throw EngineError(e.what(), kSqliteError);
    }
}

// The words that end an expression besides its terminator, at depth 0.
bool isOneOf(const Token& t, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return t.is(w); });
}

class Parser {
public:
    Parser(const std::string& sql, const dialect::Catalog* catalog)
        : m_sql(sql), m_toks(blockTokens(sql)), m_catalog(catalog) {}

    Program read() {
        m_names = std::make_shared<Names>();
        readBlock(m_program.main);
        if (!atEnd())
            refuse("text after the block's END (" + at().text + ")");
        return std::move(m_program);
    }

private:
    // ---- tokens ----
    const Token& at(std::size_t ahead = 0) const {
        static const Token end;
        return m_i + ahead < m_toks.size() ? m_toks[m_i + ahead] : end;
    }
    bool atEnd() const { return m_i >= m_toks.size(); }
    bool accept(const char* word) {
        if (!at().is(word))
            return false;
        ++m_i;
        return true;
    }
    bool acceptOp(const char* op) {
        if (!at().isOperator(op))
            return false;
        ++m_i;
        return true;
    }
    void expect(const char* word) {
        if (!accept(word))
            syntax(std::string("expected ") + word);
    }
    void expectOp(const char* op) {
        if (!acceptOp(op))
            syntax(std::string("expected \"") + op + "\"");
    }
    [[noreturn]] void syntax(const std::string& what) const {
        throw EngineError("ORA-06550: line " + std::to_string(lineOf(m_i)) +
                              ": PLS-00103: Encountered the symbol \"" +
                              (atEnd() ? std::string("end-of-file") : at().text) + "\" (" + what +
                              ")",
                          kSqliteError);
    }
    int lineOf(std::size_t k) const {
        const std::size_t offset = k < m_toks.size() ? m_toks[k].begin : m_sql.size();
        return 1 + static_cast<int>(std::count(
                       m_sql.begin(), m_sql.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    }
    std::string name() {
        if (!at().isName())
            syntax("expected a name");
        return m_toks[m_i++].oracleName();
    }

    // ---- code spans ----
    Code code(std::size_t from, std::size_t to) const {  // tokens [from, to)
        Code c;
        c.line = lineOf(from);
        c.names = m_names;
        if (to > from)
            c.text = m_sql.substr(m_toks[from].begin, m_toks[to - 1].end - m_toks[from].begin);
        return c;
    }

    // An expression up to (not including) a stop word or operator at depth 0.
    Code expression(std::initializer_list<const char*> stopWords,
                    std::initializer_list<const char*> stopOps) {
        const std::size_t from = m_i;
        int depth = 0;
        int cases = 0;
        for (; !atEnd(); ++m_i) {
            const Token& t = at();
            if (t.isOperator("("))
                ++depth;
            else if (t.isOperator(")") && depth > 0)
                --depth;
            else if (depth == 0 && t.is("CASE"))
                ++cases;
            else if (depth == 0 && cases > 0 && t.is("END"))
                --cases;
            else if (depth == 0 && cases == 0 &&
                     (isOneOf(t, stopWords) ||
                      std::any_of(stopOps.begin(), stopOps.end(),
                                  [&](const char* op) { return t.isOperator(op); }) ||
                      t.isOperator(";")))
                break;
        }
        if (m_i == from)
            syntax("expected an expression");
        return code(from, m_i);
    }

    // ---- declarations ----
    int declare(const std::string& variable, VarSpec var) {
        const int slot = static_cast<int>(m_program.slots.size());
        m_program.slots.push_back(var);
        m_program.names.push_back(variable);
        auto names = std::make_shared<Names>(*m_names);
        (*names)[variable] = slot;
        m_names = std::move(names);
        return slot;
    }

    static VarSpec specOfColumn(const std::string& declared, const std::string& what) {
        VarSpec var;
        const dialect::ColumnStorage storage = dialect::storageOfDeclared(declared);
        switch (dialect::typeOfDeclared(declared)) {
            case dialect::OracleType::Number:
                var.type = VarSpec::Type::Number;
                if (storage.kind == dialect::ColumnStorage::Kind::FixedNumber) {
                    var.precision = storage.precision;
                    var.scale = storage.scale;
                }
                return var;
            case dialect::OracleType::Varchar2:
                var.type = VarSpec::Type::Varchar2;
                var.length = storage.length > 0 ? storage.length : 32767;
                return var;
            case dialect::OracleType::Date:
                var.type = VarSpec::Type::Date;
                return var;
            default:
                refuse("variables of type " + declared + " (" + what + ")");
        }
    }

    VarSpec typeSpec() {
        const std::size_t from = m_i;
        const std::string first = name();
        if (acceptOp(".")) {
            const std::string column = name();
            if (!acceptOp("%") || !accept("TYPE"))
                refuse("the type " + first + "." + column);
            const auto table = m_catalog ? m_catalog->findTable(first) : nullptr;
            const int c = table ? table->findColumn(column) : -1;
            if (c < 0)
                throw EngineError("ORA-06550: line " + std::to_string(lineOf(from)) +
                                      ": PLS-00201: identifier '" + first + "." + column +
                                      "' must be declared",
                                  kSqliteError);
            return specOfColumn(table->columns[static_cast<std::size_t>(c)].declaredType,
                                first + "." + column + "%TYPE");
        }
        if (acceptOp("%") && accept("ROWTYPE"))
            return rowType(first, from);
        if (m_toks[m_i - 1].isOperator("%")) {
            if (!accept("TYPE"))
                refuse(first + "%" + at().text);
            const auto found = m_names->find(first);
            if (found == m_names->end())
                syntax("PLS-00201: identifier '" + first + "' must be declared");
            VarSpec var = m_program.slots[static_cast<std::size_t>(found->second)];
            var.constant = var.notNull = false;
            return var;
        }
        return builtinType(first, from);
    }

    // cursor%ROWTYPE (fields come with the rows) or table%ROWTYPE.
    VarSpec rowType(const std::string& of, std::size_t from) {
        VarSpec var;
        var.type = VarSpec::Type::Record;
        const auto found = m_names->find(of);
        if (found != m_names->end() &&
            m_program.slots[static_cast<std::size_t>(found->second)].type == VarSpec::Type::Cursor)
            return var;
        const auto table = m_catalog ? m_catalog->findTable(of) : nullptr;
        if (!table)
            throw EngineError("ORA-06550: line " + std::to_string(lineOf(from)) +
                                  ": PLS-00201: identifier '" + of + "' must be declared",
                              kSqliteError);
        for (const auto& c : table->columns) {
            var.fields.push_back(dialect::upperAscii(c.name));
            var.dates.push_back(c.type == dialect::OracleType::Date);
        }
        return var;
    }

    // CURSOR name [(parameter type [:= default], ...)] IS query;
    void readCursor(Block& block) {
        ++m_i;
        const std::string cursor = name();
        const auto outerNames = m_names;
        CursorDecl decl;
        if (acceptOp("(")) {
            do {
                const std::string parameter = name();
                accept("IN");
                VarSpec var = typeSpec();
                if (var.type == VarSpec::Type::Varchar2 && var.length == 0)
                    var.length = 32767;
                decl.parameters.push_back(declare(parameter, var));
                decl.defaults.push_back(
                    acceptOp(":=") || accept("DEFAULT") ? expression({}, {",", ")"}) : Code{});
            } while (acceptOp(","));
            expectOp(")");
        }
        if (at().is("RETURN"))
            refuse("a cursor with a RETURN type");
        expect("IS");
        if (!at().is("SELECT") && !at().is("WITH"))
            syntax("expected SELECT");
        decl.query = expression({}, {});
        expectOp(";");
        m_names = outerNames;
        VarSpec var;
        var.type = VarSpec::Type::Cursor;
        var.cursor = static_cast<int>(m_program.cursors.size());
        m_program.cursors.push_back(std::move(decl));
        block.cursors.push_back(declare(cursor, var));
    }

    // The cursor a name stands for (OPEN, FETCH, CLOSE, FOR ... IN).
    int cursorNamed() {
        const std::size_t at0 = m_i;
        const std::string cursor = name();
        const auto found = m_names->find(cursor);
        if (found == m_names->end() ||
            m_program.slots[static_cast<std::size_t>(found->second)].type != VarSpec::Type::Cursor)
            throw EngineError("ORA-06550: line " + std::to_string(lineOf(at0)) +
                                  ": PLS-00201: identifier '" + cursor + "' must be declared",
                              kSqliteError);
        return found->second;
    }

    std::vector<Code> cursorArguments() {
        std::vector<Code> arguments;
        if (acceptOp("(")) {
            do
                arguments.push_back(expression({}, {",", ")"}));
            while (acceptOp(","));
            expectOp(")");
        }
        return arguments;
    }

    VarSpec builtinType(const std::string& type, std::size_t from) {
        VarSpec var;
        if (type == "PLS_INTEGER" || type == "BINARY_INTEGER") {
            var.type = VarSpec::Type::PlsInteger;
        } else if (type == "BOOLEAN") {
            var.type = VarSpec::Type::Boolean;
        } else if (type == "DATE") {
            var.type = VarSpec::Type::Date;
        } else if (type == "NUMBER" || type == "INTEGER" || type == "INT" || type == "VARCHAR2" ||
                   type == "VARCHAR" || type == "NUMERIC" || type == "DECIMAL") {
            if (at().isOperator("(")) {
                while (!atEnd() && !at().isOperator(")"))
                    ++m_i;
                expectOp(")");
            }
            const std::string declared =
                m_sql.substr(m_toks[from].begin, m_toks[m_i - 1].end - m_toks[from].begin);
            var = specOfColumn(declared, type);
            if ((type == "VARCHAR2" || type == "VARCHAR") && !m_cursorParameters) {
                if (!m_toks[m_i - 1].isOperator(")"))
                    throw EngineError("ORA-06550: line " + std::to_string(lineOf(from)) +
                                          ": PLS-00215: String length constraints must be in "
                                          "range (1 .. 32767)",
                                      kSqliteError);
            }
        } else if (type == "TYPE") {
            refuse("user-defined types (collections, records)");
        } else if (type == "PROCEDURE" || type == "FUNCTION") {
            refuse("named " + dialect::upperAscii(type) + "s");
        } else {
            refuse("variables of type " + type);
        }
        return var;
    }

    void readDeclaration(Block& block) {
        const int line = lineOf(m_i);
        if (at().is("CURSOR")) {
            const bool outer = m_cursorParameters;
            m_cursorParameters = true;
            readCursor(block);
            m_cursorParameters = outer;
            return;
        }
        if (accept("PRAGMA")) {
            readPragma();
            return;
        }
        if (at().is("TYPE") || at().is("PROCEDURE") || at().is("FUNCTION"))
            builtinType(at().oracleName(), m_i);
        const std::string variable = name();
        if (accept("EXCEPTION")) {
            expectOp(";");
            VarSpec var;
            var.type = VarSpec::Type::Exception;
            declare(variable, var);
            return;
        }
        VarSpec var;
        const bool constant = accept("CONSTANT");
        var = typeSpec();
        var.constant = constant;
        if (accept("NOT")) {
            expect("NULL");
            var.notNull = true;
        }
        Code value;
        if (acceptOp(":=") || accept("DEFAULT"))
            value = expression({}, {});
        else if (var.constant || var.notNull)
            syntax(
                "PLS-00322: declaration of a constant or NOT NULL variable must have an "
                "initialization assignment");
        expectOp(";");
        block.declarations.push_back({declare(variable, var), std::move(value), line});
    }

    // PRAGMA EXCEPTION_INIT(exception, -code);
    void readPragma() {
        const std::string pragma = name();
        if (pragma != "EXCEPTION_INIT")
            refuse("PRAGMA " + pragma);
        expectOp("(");
        const int slot = exceptionNamed();
        expectOp(",");
        const bool negative = acceptOp("-");
        if (at().kind != TokenKind::Number || at().text.size() > 7)
            syntax("expected an error number");
        const int number = std::stoi(m_toks[m_i++].text);
        expectOp(")");
        expectOp(";");
        if ((!negative && number != 100) || (negative && (number == 0 || number > 1000000)))
            throw EngineError("ORA-06550: PLS-00701: illegal ORACLE error number " +
                                  std::string(negative ? "-" : "") + std::to_string(number) +
                                  " for PRAGMA EXCEPTION_INIT",
                              kSqliteError);
        m_program.slots[static_cast<std::size_t>(slot)].errorCode = number == 100 ? 1403 : number;
    }

    // A declared exception's slot, or -1 when the name is not one.
    int userException(const std::string& exception) const {
        const auto found = m_names->find(exception);
        if (found == m_names->end() ||
            m_program.slots[static_cast<std::size_t>(found->second)].type !=
                VarSpec::Type::Exception)
            return -1;
        return found->second;
    }
    int exceptionNamed() {
        const std::string exception = name();
        const int slot = userException(exception);
        if (slot < 0)
            throw EngineError("ORA-06550: line " + std::to_string(lineOf(m_i - 1)) +
                                  ": PLS-00201: identifier '" + exception + "' must be declared",
                              kSqliteError);
        return slot;
    }

    // ---- blocks ----
    struct Nest {
        explicit Nest(Parser& p) : m_p(p) {
            if (++m_p.m_depth > kMaxNesting)
                refuse("blocks, loops and IF statements nested more than " +
                       std::to_string(kMaxNesting) + " deep");
        }
        ~Nest() { --m_p.m_depth; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;
        Parser& m_p;
    };

    void readBlock(Block& block) {
        const Nest nest(*this);
        const auto outerNames = m_names;
        if (accept("DECLARE")) {
            while (!atEnd() && !at().is("BEGIN"))
                readDeclaration(block);
        }
        expect("BEGIN");
        block.body = statements({"EXCEPTION", "END"});
        if (accept("EXCEPTION")) {
            while (accept("WHEN"))
                block.handlers.push_back(handler());
            if (block.handlers.empty())
                syntax("expected WHEN");
        }
        expect("END");
        if (at().kind == TokenKind::Name && !at().is("LOOP") && !at().is("IF"))
            ++m_i;  // END label
        expectOp(";");
        m_names = outerNames;
    }

    Handler handler() {
        Handler h;
        do {
            const std::string exception = name();
            if (const int slot = userException(exception); slot >= 0) {
                h.userExceptions.push_back(slot);
                continue;
            }
            static const char* const known[] = {
                "NO_DATA_FOUND",  "TOO_MANY_ROWS", "DUP_VAL_ON_INDEX", "ZERO_DIVIDE", "VALUE_ERROR",
                "INVALID_NUMBER", "OTHERS"};
            if (std::none_of(std::begin(known), std::end(known),
                             [&](const char* k) { return exception == k; }))
                refuse("the exception " + exception + " in a handler");
            h.exceptions.push_back(exception);
        } while (accept("OR"));
        expect("THEN");
        h.body = statements({"WHEN", "END"});
        return h;
    }

    StmtList statements(std::initializer_list<const char*> until) {
        StmtList list;
        while (!atEnd() && !isOneOf(at(), until))
            list.push_back(statement());
        if (list.empty())
            syntax("a statement list needs one statement at least (NULL;)");
        return list;
    }

    std::unique_ptr<Stmt> make(Stmt::Kind kind) {
        auto s = std::make_unique<Stmt>();
        s->kind = kind;
        s->line = lineOf(m_i);
        return s;
    }

    std::unique_ptr<Stmt> statement();
    std::unique_ptr<Stmt> namedStatement(std::unique_ptr<Stmt> s);
    std::unique_ptr<Stmt> ifStatement(std::unique_ptr<Stmt> s);
    std::unique_ptr<Stmt> loopStatement(std::unique_ptr<Stmt> s, const std::string& label);
    std::unique_ptr<Stmt> forStatement(std::unique_ptr<Stmt> s, const std::string& label);
    std::unique_ptr<Stmt> sqlStatement(std::unique_ptr<Stmt> s);
    std::unique_ptr<Stmt> selectInto(std::unique_ptr<Stmt> s);
    std::unique_ptr<Stmt> executeImmediate(std::unique_ptr<Stmt> s);
    std::unique_ptr<Stmt> callStatement(std::unique_ptr<Stmt> s);
    void statsCall(Stmt& s, const std::string& callee, std::vector<Code>& arguments,
                   const std::vector<std::string>& parameters);
    std::unique_ptr<Stmt> cursorStatement(std::unique_ptr<Stmt> s);
    std::unique_ptr<Stmt> caseStatement(std::unique_ptr<Stmt> s);
    std::vector<int> targets(std::initializer_list<const char*> until, bool record = false);
    int target();
    void endLoop(const std::string& label);

    const std::string& m_sql;
    std::vector<Token> m_toks;
    const dialect::Catalog* m_catalog;
    std::size_t m_i = 0;
    int m_depth = 0;
    bool m_cursorParameters = false;   // VARCHAR2 without a length is a parameter's
    std::vector<std::string> m_loops;  // the labels of the loops around ("" for none)
    std::shared_ptr<const Names> m_names;
    Program m_program;
};

std::unique_ptr<Stmt> Parser::statement() {
    std::string label;
    if (acceptOp("<<")) {
        label = name();
        expectOp(">>");
    }
    auto s = make(Stmt::Kind::Null);
    if (at().is("DECLARE") || at().is("BEGIN")) {
        s->kind = Stmt::Kind::Block;
        s->block = std::make_unique<Block>();
        readBlock(*s->block);
        return s;
    }
    if (at().is("LOOP") || at().is("WHILE") || at().is("FOR"))
        return loopStatement(std::move(s), label);
    if (!label.empty())
        refuse("labels other than a loop's (<<" + label + ">>)");
    if (accept("NULL")) {
        expectOp(";");
        return s;
    }
    if (accept("IF"))
        return ifStatement(std::move(s));
    if (at().is("EXIT") || at().is("CONTINUE")) {
        s->kind = accept("EXIT") ? Stmt::Kind::Exit : (++m_i, Stmt::Kind::Continue);
        if (at().kind == TokenKind::Name && !at().is("WHEN"))
            s->label = name();
        if (m_loops.empty() || (!s->label.empty() && std::find(m_loops.begin(), m_loops.end(),
                                                               s->label) == m_loops.end()))
            throw EngineError("ORA-06550: line " + std::to_string(s->line) +
                                  ": PLS-00376: illegal EXIT/CONTINUE statement; it must appear "
                                  "inside a loop" +
                                  (s->label.empty() ? std::string() : " labelled " + s->label),
                              kSqliteError);
        if (accept("WHEN"))
            s->exprs.push_back(expression({}, {}));
        expectOp(";");
        return s;
    }
    if (at().is("COMMIT") || at().is("ROLLBACK")) {
        s->kind = accept("COMMIT") ? Stmt::Kind::Commit : (++m_i, Stmt::Kind::Rollback);
        accept("WORK");
        if (s->kind == Stmt::Kind::Rollback && at().is("TO"))
            refuse("ROLLBACK TO SAVEPOINT");
        expectOp(";");
        return s;
    }
    if (accept("RAISE")) {
        s->kind = Stmt::Kind::Raise;
        if (!at().isOperator(";"))
            s->name = name();
        static const char* const raised[] = {"NO_DATA_FOUND", "TOO_MANY_ROWS", "DUP_VAL_ON_INDEX",
                                             "ZERO_DIVIDE",   "VALUE_ERROR",   "INVALID_NUMBER"};
        if (const int slot = userException(s->name); !s->name.empty() && slot >= 0) {
            s->slots.push_back(slot);
            s->name.clear();
        } else if (!s->name.empty() && std::none_of(std::begin(raised), std::end(raised),
                                                    [&](const char* r) { return s->name == r; })) {
            refuse("RAISE of the exception " + s->name);
        }
        expectOp(";");
        return s;
    }
    return namedStatement(std::move(s));
}

std::unique_ptr<Stmt> Parser::namedStatement(std::unique_ptr<Stmt> s) {
    const Token& first = at();
    if (first.is("INSERT") || first.is("UPDATE") || first.is("DELETE") || first.is("MERGE"))
        return sqlStatement(std::move(s));
    if (first.is("SELECT") || first.is("WITH"))
        return selectInto(std::move(s));
    if (first.is("EXECUTE") && at(1).is("IMMEDIATE"))
        return executeImmediate(std::move(s));
    if (first.is("OPEN") || first.is("FETCH") || first.is("CLOSE"))
        return cursorStatement(std::move(s));
    if (first.is("CASE"))
        return caseStatement(std::move(s));
    static const char* const refused[] = {"GOTO",   "PIPE", "FORALL",  "SAVEPOINT",
                                          "RETURN", "LOCK", "SET",     "CREATE",
                                          "ALTER",  "DROP", "TRUNCATE"};
    for (const char* word : refused) {
        if (first.is(word))
            refuse(std::string(word) + " statements");
    }
    if (first.isName() &&
        (at(1).isOperator(":=") || (at(1).isOperator(".") && at(3).isOperator(":=")))) {
        if (at(1).isOperator("."))
            refuse("assignment to a record field (" + first.oracleName() + "." +
                   at(2).oracleName() + ")");
        s->kind = Stmt::Kind::Assign;
        s->slots.push_back(target());
        expectOp(":=");
        s->exprs.push_back(expression({}, {}));
        expectOp(";");
        return s;
    }
    if (first.isName())
        return callStatement(std::move(s));
    syntax("expected a statement");
}

std::unique_ptr<Stmt> Parser::ifStatement(std::unique_ptr<Stmt> s) {
    const Nest nest(*this);
    s->kind = Stmt::Kind::If;
    do {
        s->exprs.push_back(expression({"THEN"}, {}));
        expect("THEN");
        s->bodies.push_back(statements({"ELSIF", "ELSE", "END"}));
    } while (accept("ELSIF"));
    if (accept("ELSE"))
        s->bodies.push_back(statements({"END"}));
    expect("END");
    expect("IF");
    expectOp(";");
    return s;
}

void Parser::endLoop(const std::string& label) {
    expect("END");
    expect("LOOP");
    if (at().kind == TokenKind::Name) {
        const std::string closing = name();
        if (closing != label)
            syntax("the label after END LOOP is not the loop's");
    }
    expectOp(";");
}

std::unique_ptr<Stmt> Parser::loopStatement(std::unique_ptr<Stmt> s, const std::string& label) {
    const Nest nest(*this);
    s->label = label;
    if (at().is("FOR"))
        return forStatement(std::move(s), label);
    if (accept("WHILE")) {
        s->kind = Stmt::Kind::While;
        s->exprs.push_back(expression({"LOOP"}, {}));
    } else {
        s->kind = Stmt::Kind::Loop;
    }
    expect("LOOP");
    m_loops.push_back(label);
    s->bodies.push_back(statements({"END"}));
    m_loops.pop_back();
    endLoop(label);
    return s;
}

std::unique_ptr<Stmt> Parser::forStatement(std::unique_ptr<Stmt> s, const std::string& label) {
    expect("FOR");
    const std::string index = name();
    expect("IN");
    const auto outerNames = m_names;
    if (at().isOperator("(")) {
        s->kind = Stmt::Kind::ForCursor;
        ++m_i;
        if (!at().is("SELECT") && !at().is("WITH"))
            refuse("a cursor FOR loop over anything but a SELECT in parentheses");
        s->exprs.push_back(expression({}, {")"}));
        expectOp(")");
        VarSpec record;
        record.type = VarSpec::Type::Record;
        s->slots.push_back(declare(index, record));
    } else if (at().isName() && (at(1).is("LOOP") || at(1).isOperator("(")) &&
               m_names->count(at().oracleName())) {
        s->kind = Stmt::Kind::ForCursor;
        const int cursor = cursorNamed();
        s->exprs = cursorArguments();
        VarSpec record;
        record.type = VarSpec::Type::Record;
        s->slots.push_back(declare(index, record));
        s->slots.push_back(cursor);
    } else {
        s->kind = Stmt::Kind::ForRange;
        s->reverse = accept("REVERSE");
        // "1 .. n": two "." tokens, or "." and a number read as ".n".
        s->exprs.push_back(expression({}, {"."}));
        if (!at().isOperator(".") || at(1).kind == TokenKind::End)
            syntax("expected \"..\"");
        ++m_i;
        if (at().isOperator(".")) {
            ++m_i;
            s->exprs.push_back(expression({"LOOP"}, {}));
        } else if (at().kind == TokenKind::Number && at().text[0] == '.') {
            s->exprs.push_back(expression({"LOOP"}, {}));
            s->exprs.back().text.erase(0, 1);  // the number's leading dot is the range's
        } else {
            syntax("expected \"..\"");
        }
        VarSpec integer;
        integer.type = VarSpec::Type::PlsInteger;
        integer.constant = true;
        s->slots.push_back(declare(index, integer));
    }
    expect("LOOP");
    m_loops.push_back(label);
    s->bodies.push_back(statements({"END"}));
    m_loops.pop_back();
    endLoop(label);
    m_names = outerNames;
    return s;
}

std::unique_ptr<Stmt> Parser::sqlStatement(std::unique_ptr<Stmt> s) {
    s->kind = Stmt::Kind::Sql;
    s->exprs.push_back(expression({}, {}));
    expectOp(";");
    const std::string upper = dialect::upperAscii(s->exprs[0].text);
    if (upper.find("RETURNING") != std::string::npos || upper.find("RETURN ") != std::string::npos)
        refuse("RETURNING ... INTO");
    return s;
}

int Parser::target() {
    const std::string variable = name();
    if (at().isOperator("."))
        refuse("a record field as a target (" + variable + "." + at(1).oracleName() + ")");
    const auto found = m_names->find(variable);
    if (found == m_names->end())
        throw EngineError("ORA-06550: line " + std::to_string(lineOf(m_i - 1)) +
                              ": PLS-00201: identifier '" + variable + "' must be declared",
                          kSqliteError);
    const VarSpec& var = m_program.slots[static_cast<std::size_t>(found->second)];
    if (var.constant || var.type == VarSpec::Type::Record)
        throw EngineError("ORA-06550: line " + std::to_string(lineOf(m_i - 1)) +
                              ": PLS-00363: expression '" + variable +
                              "' cannot be used as an assignment target",
                          kSqliteError);
    return found->second;
}

std::vector<int> Parser::targets(std::initializer_list<const char*> until, bool record) {
    std::vector<int> slots;
    const auto found = at().isName() ? m_names->find(at().oracleName()) : m_names->end();
    if (record && found != m_names->end() && !at(1).isOperator(",") &&
        m_program.slots[static_cast<std::size_t>(found->second)].type == VarSpec::Type::Record) {
        ++m_i;
        return {found->second};  // a record takes the row whole
    }
    do {
        slots.push_back(target());
    } while (acceptOp(","));
    if (!atEnd() && !isOneOf(at(), until) && !at().isOperator(";"))
        syntax("expected a variable");
    return slots;
}

// SELECT list INTO targets FROM ...: the query without its INTO clause.
std::unique_ptr<Stmt> Parser::selectInto(std::unique_ptr<Stmt> s) {
    s->kind = Stmt::Kind::SelectInto;
    const std::size_t from = m_i;
    int depth = 0;
    std::size_t into = 0;
    for (std::size_t k = m_i; k < m_toks.size() && !(depth == 0 && m_toks[k].isOperator(";"));
         ++k) {
        if (m_toks[k].isOperator("("))
            ++depth;
        else if (m_toks[k].isOperator(")"))
            --depth;
        else if (depth == 0 && m_toks[k].is("INTO") && into == 0)
            into = k;
    }
    if (into == 0)
        syntax("PLS-00428: an INTO clause is expected in this SELECT statement");
    if (m_toks[into + 1].is("BULK") || (into > 0 && m_toks[into - 1].is("COLLECT")))
        refuse("BULK COLLECT");
    if (into > 0 && m_toks[into - 1].is("COLLECT"))
        refuse("BULK COLLECT");
    Code head = code(from, into);
    m_i = into + 1;
    s->slots = targets({"FROM"}, true);
    const std::size_t rest = m_i;
    expression({}, {});
    Code tail = code(rest, m_i);
    expectOp(";");
    s->exprs.push_back(head);
    s->exprs[0].text += " " + tail.text;
    return s;
}

std::unique_ptr<Stmt> Parser::executeImmediate(std::unique_ptr<Stmt> s) {
    s->kind = Stmt::Kind::Execute;
    m_i += 2;
    s->exprs.push_back(expression({"INTO", "USING", "BULK", "RETURNING", "RETURN"}, {}));
    if (at().is("BULK") || at().is("RETURNING") || at().is("RETURN"))
        refuse("EXECUTE IMMEDIATE ... " + at().oracleName());
    if (accept("INTO"))
        s->slots = targets({"USING"});
    if (accept("USING")) {
        do {
            if (at().is("IN") && !at(1).isOperator(","))
                ++m_i;
            if (at().is("OUT"))
                refuse("OUT bind arguments of EXECUTE IMMEDIATE");
            s->exprs.push_back(expression({}, {","}));
        } while (acceptOp(","));
    }
    expectOp(";");
    return s;
}

// CASE [selector] WHEN x THEN ... [ELSE ...] END CASE: an IF chain whose
// conditions are "(selector) = (x)" for a simple CASE.
std::unique_ptr<Stmt> Parser::caseStatement(std::unique_ptr<Stmt> s) {
    const Nest nest(*this);
    expect("CASE");
    s->kind = Stmt::Kind::If;
    s->caseStatement = true;
    Code selector;
    if (!at().is("WHEN"))
        selector = expression({"WHEN"}, {});
    while (accept("WHEN")) {
        Code condition = expression({"THEN"}, {});
        if (!selector.empty())
            condition.text = "(" + selector.text + ") = (" + condition.text + ")";
        s->exprs.push_back(std::move(condition));
        expect("THEN");
        s->bodies.push_back(statements({"WHEN", "ELSE", "END"}));
    }
    if (s->exprs.empty())
        syntax("expected WHEN");
    if (accept("ELSE"))
        s->bodies.push_back(statements({"END"}));
    expect("END");
    expect("CASE");
    if (at().kind == TokenKind::Name)
        ++m_i;  // END CASE label
    expectOp(";");
    return s;
}

// OPEN c [(arguments)]; FETCH c INTO targets; CLOSE c;
std::unique_ptr<Stmt> Parser::cursorStatement(std::unique_ptr<Stmt> s) {
    const std::string word = name();
    if (word == "OPEN" && at().isName() && at(1).is("FOR"))
        refuse("OPEN ... FOR (cursor variables)");
    s->slots.push_back(cursorNamed());
    if (word == "OPEN") {
        s->kind = Stmt::Kind::Open;
        s->exprs = cursorArguments();
    } else if (word == "FETCH") {
        s->kind = Stmt::Kind::Fetch;
        if (at().is("BULK"))
            refuse("BULK COLLECT");
        expect("INTO");
        for (int slot : targets({}, true))
            s->slots.push_back(slot);
    } else {
        s->kind = Stmt::Kind::Close;
    }
    expectOp(";");
    return s;
}

// DBMS_OUTPUT.PUT_LINE / PUT / NEW_LINE, RAISE_APPLICATION_ERROR,
// DBMS_STATS.GATHER_TABLE_STATS / GATHER_INDEX_STATS / GATHER_SCHEMA_STATS,
// DBMS_RANDOM.SEED / INITIALIZE / TERMINATE.
std::unique_ptr<Stmt> Parser::callStatement(std::unique_ptr<Stmt> s) {
    std::string callee = name();
    while (acceptOp("."))
        callee += "." + name();
    const bool stats = callee.rfind("DBMS_STATS.", 0) == 0;
    std::vector<Code> arguments;
    std::vector<std::string> parameters;  // the name each argument was given by, or ""
    if (acceptOp("(")) {
        if (!at().isOperator(")")) {
            do {
                std::string parameter;
                if (at().isName() && at(1).isOperator("=>")) {
                    if (!stats)
                        refuse("named notation in the call of " + callee);
                    parameter = name();
                    expectOp("=>");
                }
                parameters.push_back(parameter);
                arguments.push_back(expression({}, {",", ")"}));
            } while (acceptOp(","));
        }
        expectOp(")");
    }
    expectOp(";");
    std::size_t wanted = 1;
    if (stats) {
        statsCall(*s, callee, arguments, parameters);
        return s;
    }
    if (callee == "DBMS_OUTPUT.PUT_LINE") {
        s->kind = Stmt::Kind::PutLine;
    } else if (callee == "DBMS_OUTPUT.PUT") {
        s->kind = Stmt::Kind::Put;
    } else if (callee == "DBMS_OUTPUT.NEW_LINE") {
        s->kind = Stmt::Kind::NewLine;
        wanted = 0;
    } else if (callee == "RAISE_APPLICATION_ERROR") {
        s->kind = Stmt::Kind::RaiseError;
        wanted = 2;
        if (arguments.size() == 3)
            arguments.pop_back();  // keep-errors flag: the stack is one error deep anyway
    } else if (callee == "DBMS_OUTPUT.ENABLE") {
        // The buffer size is not kept: the buffer takes what it is given.
        s->kind = Stmt::Kind::Enable;
        wanted = arguments.size() <= 1 ? arguments.size() : 1;
    } else if (callee == "DBMS_OUTPUT.DISABLE") {
        s->kind = Stmt::Kind::Disable;
        wanted = 0;
    } else if (callee == "DBMS_RANDOM.SEED" || callee == "DBMS_RANDOM.INITIALIZE") {
        s->kind = Stmt::Kind::Seed;
    } else if (callee == "DBMS_RANDOM.TERMINATE") {
        s->kind = Stmt::Kind::Null;  // nothing to release
        wanted = 0;
    } else {
        refuse("the call of " + callee);
    }
    if (arguments.size() != wanted)
        throw EngineError("ORA-06550: line " + std::to_string(s->line) +
                              ": PLS-00306: wrong number or types of arguments in call to '" +
                              callee.substr(callee.find('.') + 1) + "'",
                          kSqliteError);
    s->exprs = std::move(arguments);
    return s;
}

// The statistics DBMS_STATS gathers are the ones ANALYZE gathers: the owner
// and the table (or index) are taken by position or by name; the other
// parameters choose how Oracle samples, and SQLite's ANALYZE reads every
// row whatever they say.
void Parser::statsCall(Stmt& s, const std::string& callee, std::vector<Code>& arguments,
                       const std::vector<std::string>& parameters) {
    s.name = callee.substr(callee.find('.') + 1);
    const bool schema = s.name == "GATHER_SCHEMA_STATS";
    if (!schema && s.name != "GATHER_TABLE_STATS" && s.name != "GATHER_INDEX_STATS")
        refuse("the call of " + callee);
    s.kind = Stmt::Kind::GatherStats;
    const std::string object = s.name == "GATHER_INDEX_STATS" ? "INDNAME" : "TABNAME";
    std::vector<Code> picked(schema ? 1 : 2);
    std::vector<bool> given(picked.size(), false);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::size_t position = i;
        if (parameters[i] == "OWNNAME")
            position = 0;
        else if (parameters[i] == object && !schema)
            position = 1;
        else if (!parameters[i].empty())
            continue;
        if (position < picked.size()) {
            picked[position] = std::move(arguments[i]);
            given[position] = true;
        }
    }
    if (std::find(given.begin(), given.end(), false) != given.end())
        throw EngineError("ORA-06550: line " + std::to_string(s.line) +
                              ": PLS-00306: wrong number or types of arguments in call to '" +
                              s.name + "'",
                          kSqliteError);
    s.exprs = std::move(picked);
}

}  // namespace

void refuse(const std::string& what) {
    throw EngineError("ORA-03001: unimplemented feature: " + what +
                          " in a PL/SQL block (the local engine does not run it); nothing was run",
                      kSqliteError);
}

Program parseBlock(const std::string& sql, const dialect::Catalog* catalog) {
    return Parser(sql, catalog).read();
}

}  // namespace localengine::plsql
