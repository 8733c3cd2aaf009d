// Statements: the dispatch on the first words, DML, EXPLAIN PLAN,
// transaction control and the pass-through of SQLite's own statements;
// and the token helpers the other parser files share.

#include "Parser.h"

#include "Error.h"
#include "Keywords.h"
#include "NestingGuard.h"

#include <algorithm>

namespace localengine::dialect {

NestingGuard::NestingGuard(Parser& parser) : m_parser(parser) {
    if (++m_parser.m_nesting > kMaxNesting) {
        --m_parser.m_nesting;
        fail(ora::kTooDeep,
             "expression level is too deep, maximum " + std::to_string(kMaxNesting) +
                 " levels of parentheses, subqueries, CASE or signs; nothing was run");
    }
}

std::uint32_t heightOf(const Expr* e) {
    return e ? e->height : 0;
}
std::uint32_t heightOf(const ExprPtr& e) {
    return heightOf(e.get());
}
std::uint32_t heightOf(const QueryPtr& q) {
    return q ? q->height : 0;
}
std::uint32_t heightOf(const TableRefPtr& t) {
    return t ? t->height : 0;
}

StatementPtr parseStatement(const std::vector<Token>& tokens, std::string_view sql) {
    return Parser(tokens, sql).statement();
}

// ---------------------------------------------------------------- tokens

const Token& Parser::peek(std::size_t ahead) const {
    const std::size_t i = std::min(m_pos + ahead, m_tokens.size() - 1);
    return m_tokens[i];
}

const Token& Parser::advance() {
    const Token& t = m_tokens[m_pos];
    if (m_pos + 1 < m_tokens.size())
        ++m_pos;
    return t;
}

bool Parser::accept(std::string_view word) {
    if (!at(word))
        return false;
    advance();
    return true;
}

bool Parser::acceptOperator(std::string_view op) {
    if (!atOperator(op))
        return false;
    advance();
    return true;
}

void Parser::expect(std::string_view word) {
    if (!accept(word))
        fail(ora::kMissingKeyword, "missing keyword " + std::string(word) + near());
}

void Parser::expectOperator(std::string_view op) {
    if (acceptOperator(op))
        return;
    if (op == ")")
        fail(ora::kMissingRightParen, "missing right parenthesis" + near());
    if (op == "(")
        fail(ora::kMissingLeftParen, "missing left parenthesis" + near());
    if (op == ",")
        fail(ora::kMissingComma, "missing comma" + near());
    fail(ora::kMissingExpression, "missing expression" + near());
}

bool Parser::atIdentifier() const {
    return peek().isName();
}

Identifier Parser::identifier(const char* what) {
    const Token& t = peek();
    if (!t.isName())
        fail(ora::kInvalidIdentifier,
             std::string("invalid identifier: ") + what + " is expected" + near());
    advance();
    return Identifier{t.oracleName(), t.kind == TokenKind::QuotedName};
}

QualifiedName Parser::qualifiedName(const char* what) {
    QualifiedName name;
    name.reserve(2);  // most names have a qualifier at most: one allocation
    name.push_back(identifier(what));
    while (atOperator(".") && peek(1).isName()) {
        advance();
        name.push_back(identifier(what));
    }
    return name;
}

// A table's name; a keyword where the name should be is ORA-00903.
QualifiedName Parser::tableName() {
    if (peek().kind == TokenKind::End || cannotStartExpression(peek()))
        fail(ora::kInvalidTableName, "invalid table name" + near());
    return qualifiedName("a table name");
}

std::vector<Identifier> Parser::identifierList() {
    std::vector<Identifier> list;
    do
        list.push_back(identifier("a column name"));
    while (acceptOperator(","));
    return list;
}

std::string Parser::near() const {
    const Token& t = peek();
    if (t.kind == TokenKind::End)
        return " (at the end of the statement)";
    return " (at \"" +
           std::string(m_sql.substr(t.begin, std::min<std::size_t>(t.end - t.begin, 30))) +
           "\", byte " + std::to_string(t.begin) + ")";
}

// A token where the statement should have ended or gone on differently.
void Parser::unexpected() const {
    const Token& t = peek();
    static constexpr std::string_view kOracleOperators[] = {
        "(", ")",  ",",  ";",  ".",  "+", "-",  "*", "/",  "||",
        "=", "<>", "!=", "^=", "~=", "<", "<=", ">", ">=", "=>"};
    const bool foreign = t.kind == TokenKind::Operator &&
                         std::find(std::begin(kOracleOperators), std::end(kOracleOperators),
                                   t.text) == std::end(kOracleOperators);
    if (foreign)
        fail(ora::kInvalidCharacter, "invalid character" + near());
    if (t.isOperator(")"))
        fail(ora::kNotProperlyEnded,
             "SQL command not properly ended: unmatched right parenthesis" + near());
    fail(ora::kNotProperlyEnded, "SQL command not properly ended" + near());
}

void Parser::checkHeight(std::uint32_t height) const {
    if (height > kMaxTreeHeight)
        fail(ora::kTooDeep, "expression level is too deep, maximum " +
                                std::to_string(kMaxTreeHeight) +
                                " operators one inside another; nothing was run");
}

template <typename T>
std::unique_ptr<T> Parser::finish(std::unique_ptr<T> node, std::uint32_t first,
                                  std::uint32_t childHeight) {
    node->firstToken = first;
    node->lastToken = position() > first ? position() - 1 : first;
    node->height = childHeight + 1;
    checkHeight(node->height);
    return node;
}

template std::unique_ptr<Literal> Parser::finish(std::unique_ptr<Literal>, std::uint32_t,
                                                 std::uint32_t);
template std::unique_ptr<ColumnRef> Parser::finish(std::unique_ptr<ColumnRef>, std::uint32_t,
                                                   std::uint32_t);
template std::unique_ptr<BindParameter> Parser::finish(std::unique_ptr<BindParameter>,
                                                       std::uint32_t, std::uint32_t);
template std::unique_ptr<PseudoColumn> Parser::finish(std::unique_ptr<PseudoColumn>, std::uint32_t,
                                                      std::uint32_t);
template std::unique_ptr<Unary> Parser::finish(std::unique_ptr<Unary>, std::uint32_t,
                                               std::uint32_t);
template std::unique_ptr<Binary> Parser::finish(std::unique_ptr<Binary>, std::uint32_t,
                                                std::uint32_t);
template std::unique_ptr<Comparison> Parser::finish(std::unique_ptr<Comparison>, std::uint32_t,
                                                    std::uint32_t);
template std::unique_ptr<QuantifiedComparison> Parser::finish(std::unique_ptr<QuantifiedComparison>,
                                                              std::uint32_t, std::uint32_t);
template std::unique_ptr<IsNull> Parser::finish(std::unique_ptr<IsNull>, std::uint32_t,
                                                std::uint32_t);
template std::unique_ptr<Like> Parser::finish(std::unique_ptr<Like>, std::uint32_t, std::uint32_t);
template std::unique_ptr<Between> Parser::finish(std::unique_ptr<Between>, std::uint32_t,
                                                 std::uint32_t);
template std::unique_ptr<InList> Parser::finish(std::unique_ptr<InList>, std::uint32_t,
                                                std::uint32_t);
template std::unique_ptr<InSubquery> Parser::finish(std::unique_ptr<InSubquery>, std::uint32_t,
                                                    std::uint32_t);
template std::unique_ptr<Exists> Parser::finish(std::unique_ptr<Exists>, std::uint32_t,
                                                std::uint32_t);
template std::unique_ptr<ScalarSubquery> Parser::finish(std::unique_ptr<ScalarSubquery>,
                                                        std::uint32_t, std::uint32_t);
template std::unique_ptr<Case> Parser::finish(std::unique_ptr<Case>, std::uint32_t, std::uint32_t);
template std::unique_ptr<FunctionCall> Parser::finish(std::unique_ptr<FunctionCall>, std::uint32_t,
                                                      std::uint32_t);
template std::unique_ptr<Cast> Parser::finish(std::unique_ptr<Cast>, std::uint32_t, std::uint32_t);
template std::unique_ptr<Extract> Parser::finish(std::unique_ptr<Extract>, std::uint32_t,
                                                 std::uint32_t);
template std::unique_ptr<Trim> Parser::finish(std::unique_ptr<Trim>, std::uint32_t, std::uint32_t);
template std::unique_ptr<SequenceValue> Parser::finish(std::unique_ptr<SequenceValue>,
                                                       std::uint32_t, std::uint32_t);
template std::unique_ptr<Tuple> Parser::finish(std::unique_ptr<Tuple>, std::uint32_t,
                                               std::uint32_t);

// ---------------------------------------------------------------- statements

StatementPtr Parser::statement() {
    StatementPtr s = statementBody();
    acceptOperator(";");
    if (peek().kind != TokenKind::End)
        unexpected();
    return s;
}

StatementPtr Parser::statementBody() {
    if (at("SELECT") || at("WITH") || atOperator("("))
        return selectStatement();
    if (at("INSERT"))
        return insertStatement();
    if (at("UPDATE"))
        return updateStatement();
    if (at("DELETE"))
        return deleteStatement();
    if (at("MERGE"))
        return mergeStatement();
    if (at("EXPLAIN"))
        return explainPlan();
    if (at("COMMIT") || at("ROLLBACK") || at("SAVEPOINT"))
        return transaction();
    if (at("CREATE"))
        return createStatement();
    if (at("DROP"))
        return dropStatement();
    if (at("ANALYZE") && (at("TABLE", 1) || at("INDEX", 1) || at("CLUSTER", 1)))
        return oracleAnalyze();
    if (at("PRAGMA") || at("ANALYZE") || at("VACUUM") || at("REINDEX"))
        return passThrough(upperAscii(peek().text));
    if (at("ALTER"))
        return alterStatement();
    if (at("COMMENT") && at("ON", 1))
        return commentStatement();
    if (at("TRUNCATE"))
        return truncateStatement();
    if (at("GRANT") || at("REVOKE") || at("AUDIT") || at("NOAUDIT"))
        meaningless(upperAscii(peek().text));
    if (at("BEGIN") || at("DECLARE"))
        unsupported("PL/SQL block");
    static constexpr std::string_view kOracleVerbs[] = {
        "ALTER",   "TRUNCATE",  "COMMENT",      "GRANT",     "REVOKE", "LOCK",
        "RENAME",  "SET",       "CALL",         "FLASHBACK", "PURGE",  "AUDIT",
        "NOAUDIT", "ASSOCIATE", "DISASSOCIATE", "EXEC",      "EXECUTE"};
    for (std::string_view verb : kOracleVerbs)
        if (at(verb))
            unsupported(std::string(verb) + (peek(1).kind == TokenKind::Name
                                                 ? " " + upperAscii(peek(1).text)
                                                 : std::string()));
    if (peek().kind == TokenKind::End)
        fail(0, "empty statement: nothing to run");
    fail(ora::kInvalidSqlStatement, "invalid SQL statement" + near());
}

StatementPtr Parser::selectStatement() {
    auto s = std::make_unique<SelectStatement>();
    s->query = query();
    return s;
}

StatementPtr Parser::passThrough(std::string verb) {
    auto s = std::make_unique<PassThroughStatement>();
    s->verb = std::move(verb);
    s->firstToken = position();
    std::size_t end = m_tokens.size() - 1;  // before End
    if (end > m_pos && m_tokens[end - 1].isOperator(";"))
        --end;
    s->endToken = static_cast<std::uint32_t>(end);
    m_pos = end;
    return s;
}

// Oracle's ANALYZE TABLE | INDEX name {COMPUTE | ESTIMATE} [SYSTEM] STATISTICS
// [FOR ...] [SAMPLE n {ROWS | PERCENT}] gathers the statistics the plans
// read: SQLite's ANALYZE of the table or index, which always reads every
// row (so ESTIMATE computes). The other forms are refused.
StatementPtr Parser::oracleAnalyze() {
    auto s = std::make_unique<PassThroughStatement>();
    s->verb = "ANALYZE";
    s->firstToken = position();
    expect("ANALYZE");
    if (at("CLUSTER"))
        unsupported("ANALYZE CLUSTER");
    const bool index = accept("INDEX");
    if (!index)
        expect("TABLE");
    const QualifiedName name = tableName();
    if (at("PARTITION") || at("SUBPARTITION"))
        unsupported("ANALYZE of a partition");
    if (!accept("COMPUTE") && !accept("ESTIMATE")) {
        if (at("DELETE") || at("VALIDATE") || at("LIST"))
            unsupported(
                "ANALYZE ... " + upperAscii(peek().text) +
                (peek(1).kind == TokenKind::Name ? " " + upperAscii(peek(1).text) : std::string()));
        unexpected();
    }
    accept("SYSTEM");
    expect("STATISTICS");
    // FOR TABLE, FOR ALL [INDEXED] COLUMNS [SIZE n], FOR ALL [LOCAL] INDEXES
    // and SAMPLE choose what Oracle reads; SQLite reads it all.
    while (peek().kind != TokenKind::End && !atOperator(";"))
        advance();
    s->text = "ANALYZE " + quoteName(name.back().name);
    s->endToken = static_cast<std::uint32_t>(position());
    return s;
}

// table [alias] of INSERT, UPDATE, DELETE and MERGE.
DmlTarget Parser::dmlTarget() {
    DmlTarget target;
    if (atOperator("("))
        unsupported("DML on a subquery");
    target.table = std::make_unique<NamedTable>();
    target.table->firstToken = position();
    target.table->name = tableName();
    if (peek().kind == TokenKind::BindParameter && peek().text[0] == '@')
        unsupported("DML over a database link");
    if (at("PARTITION") || at("SUBPARTITION"))
        unsupported("PARTITION in DML");
    target.table->alias = tableAlias();
    target.table->lastToken = position() - 1;
    return target;
}

std::vector<ExprPtr> Parser::valuesRow() {
    std::vector<ExprPtr> row;
    expectOperator("(");
    do {
        if (accept("DEFAULT"))
            row.push_back(nullptr);
        else
            row.push_back(expression());
    } while (acceptOperator(","));
    expectOperator(")");
    return row;
}

void Parser::skipReturningClause() {
    if (at("RETURNING") || at("RETURN"))
        unsupported("RETURNING clause");
    if (at("LOG") && at("ERRORS", 1))
        unsupported("LOG ERRORS clause");
}

StatementPtr Parser::insertStatement() {
    advance();
    if (at("ALL") || at("FIRST"))
        return multitableInsert();
    expect("INTO");
    auto s = std::make_unique<InsertStatement>();
    s->target = dmlTarget();
    if (atOperator("(") && !leadsToQuery()) {
        advance();
        s->columns = identifierList();
        expectOperator(")");
    }
    if (accept("VALUES")) {
        do
            s->rows.push_back(valuesRow());
        while (acceptOperator(","));
    } else if (at("SELECT") || at("WITH") || atOperator("(")) {
        s->query = query();
    } else {
        fail(ora::kMissingSelect, "missing SELECT keyword" + near());
    }
    skipReturningClause();
    return s;
}

// INSERT ALL into_clause... subquery
// INSERT ALL | FIRST WHEN condition THEN into_clause... [WHEN ...]... [ELSE into_clause...]
// subquery into_clause: INTO table [alias] [(columns)] [VALUES (expr | DEFAULT, ...)]
StatementPtr Parser::multitableInsert() {
    auto s = std::make_unique<InsertStatement>();
    s->multitable = std::make_unique<MultitableInsert>();
    MultitableInsert& m = *s->multitable;
    m.first = at("FIRST");
    advance();
    auto intoClauses = [&](int condition) {
        expect("INTO");
        do {
            InsertInto into;
            into.condition = condition;
            into.target = dmlTarget();
            if (atOperator("(") && !leadsToQuery()) {
                advance();
                into.columns = identifierList();
                expectOperator(")");
            }
            if (accept("VALUES")) {
                into.hasValues = true;
                into.values = valuesRow();
            }
            if (at("LOG"))
                unsupported("LOG ERRORS clause");
            m.intos.push_back(std::move(into));
        } while (accept("INTO"));
    };
    if (at("WHEN")) {
        while (accept("WHEN")) {
            m.conditions.push_back(expression());
            expect("THEN");
            intoClauses(static_cast<int>(m.conditions.size()) - 1);
        }
        if (accept("ELSE"))
            intoClauses(InsertInto::kElse);
    } else if (m.first) {
        expect("WHEN");
    } else {
        intoClauses(InsertInto::kAlways);
    }
    if (!(at("SELECT") || at("WITH") || atOperator("(")))
        fail(ora::kMissingSelect, "missing SELECT keyword" + near());
    m.source = std::make_unique<DerivedTable>();
    m.source->firstToken = position();
    m.source->query = query();
    m.source->lastToken = position() - 1;
    return s;
}

Assignment Parser::assignment() {
    Assignment a;
    auto column = [this] {
        auto c = std::make_unique<ColumnRef>();
        c->firstToken = position();
        c->parts = qualifiedName("a column name");
        c->lastToken = position() - 1;
        return c;
    };
    if (acceptOperator("(")) {
        do
            a.columns.push_back(column());
        while (acceptOperator(","));
        expectOperator(")");
        expectOperator("=");
        const std::uint32_t first = position();
        auto sub = std::make_unique<ScalarSubquery>();
        sub->query = queryInParentheses();
        sub->firstToken = first;
        sub->lastToken = position() - 1;
        sub->height = heightOf(sub->query) + 1;
        a.value = std::move(sub);
        return a;
    }
    if (at("ROW") && atOperator("=", 1))
        unsupported("SET ROW");
    a.columns.push_back(column());
    expectOperator("=");
    if (accept("DEFAULT"))
        a.toDefault = true;
    else
        a.value = expression();
    return a;
}

std::vector<Assignment> Parser::assignments() {
    std::vector<Assignment> list;
    do
        list.push_back(assignment());
    while (acceptOperator(","));
    return list;
}

StatementPtr Parser::updateStatement() {
    advance();
    auto s = std::make_unique<UpdateStatement>();
    s->target = dmlTarget();
    expect("SET");
    s->assignments = assignments();
    if (accept("WHERE"))
        s->where = expression();
    skipReturningClause();
    return s;
}

StatementPtr Parser::deleteStatement() {
    advance();
    accept("FROM");
    auto s = std::make_unique<DeleteStatement>();
    s->target = dmlTarget();
    if (accept("WHERE"))
        s->where = expression();
    skipReturningClause();
    return s;
}

StatementPtr Parser::mergeStatement() {
    advance();
    expect("INTO");
    auto s = std::make_unique<MergeStatement>();
    s->target = dmlTarget();
    expect("USING");
    s->source = tableReference();
    expect("ON");
    expectOperator("(");
    s->on = expression();
    expectOperator(")");
    while (accept("WHEN")) {
        const bool matched = !accept("NOT");
        expect("MATCHED");
        expect("THEN");
        if (matched) {
            expect("UPDATE");
            expect("SET");
            s->updates = assignments();
            if (accept("WHERE"))
                s->updateWhere = expression();
            if (accept("DELETE")) {
                expect("WHERE");
                s->deleteWhere = expression();
            }
        } else {
            expect("INSERT");
            s->hasInsert = true;
            if (acceptOperator("(")) {
                // Oracle takes the columns qualified by the target too:
                // INSERT (d.employee_id, d.bonus).
                do
                    s->insertColumns.push_back(qualifiedName("a column name").back());
                while (acceptOperator(","));
                expectOperator(")");
            }
            expect("VALUES");
            s->insertValues = valuesRow();
            if (accept("WHERE"))
                s->insertWhere = expression();
        }
    }
    return s;
}

// EXPLAIN PLAN [SET STATEMENT_ID = 'text'] [INTO [owner.]table] FOR statement
StatementPtr Parser::explainPlan() {
    advance();
    expect("PLAN");
    auto s = std::make_unique<ExplainPlanStatement>();
    if (accept("SET")) {
        expect("STATEMENT_ID");
        expectOperator("=");
        if (peek().kind != TokenKind::Text)
            fail(ora::kMissingExpression,
                 "missing expression: STATEMENT_ID takes a text literal" + near());
        s->statementId = advance().text;
    }
    if (accept("INTO")) {
        s->into = tableName();
        if (peek().kind == TokenKind::BindParameter && peek().text[0] == '@')
            unsupported("EXPLAIN PLAN INTO a table over a database link");
    }
    expect("FOR");
    if (peek().kind == TokenKind::End || atOperator(";"))
        fail(ora::kInvalidSqlStatement, "invalid SQL statement: nothing to explain after FOR");
    if (at("EXPLAIN") || at("COMMIT") || at("ROLLBACK") || at("SAVEPOINT"))
        fail(ora::kInvalidSqlStatement,
             "invalid SQL statement: EXPLAIN PLAN cannot explain " + upperAscii(peek().text));
    s->explainedBegin = peek().begin;
    s->explained = statementBody();
    const std::size_t last = m_pos > 0 ? m_pos - 1 : 0;
    s->explainedEnd = m_tokens[last].end;
    return s;
}

// COMMIT [WORK], ROLLBACK [WORK] [TO [SAVEPOINT] name], SAVEPOINT name
StatementPtr Parser::transaction() {
    auto s = std::make_unique<TransactionStatement>();
    if (accept("SAVEPOINT")) {
        s->action = TransactionStatement::Action::Savepoint;
        s->savepoint = identifier("a savepoint name");
        return s;
    }
    const bool commit = advance().is("COMMIT");
    s->action =
        commit ? TransactionStatement::Action::Commit : TransactionStatement::Action::Rollback;
    accept("WORK");
    if (commit && (at("COMMENT") || at("WRITE") || at("FORCE")))
        unsupported("COMMIT " + upperAscii(peek().text));
    if (!commit && accept("TO")) {
        accept("SAVEPOINT");
        s->action = TransactionStatement::Action::RollbackToSavepoint;
        s->savepoint = identifier("a savepoint name");
    } else if (!commit && at("FORCE")) {
        unsupported("ROLLBACK FORCE");
    }
    return s;
}

StatementPtr Parser::dropStatement() {
    advance();
    auto s = std::make_unique<DropStatement>();
    accept("PUBLIC");
    if (accept("TABLE"))
        s->object = DropStatement::Object::Table;
    else if (accept("VIEW"))
        s->object = DropStatement::Object::View;
    else if (accept("INDEX"))
        s->object = DropStatement::Object::Index;
    else if (accept("SEQUENCE"))
        s->object = DropStatement::Object::Sequence;
    else if (accept("SYNONYM"))
        s->object = DropStatement::Object::Synonym;
    else if (accept("TRIGGER"))
        s->object = DropStatement::Object::Trigger;
    else if (peek().kind == TokenKind::Name)
        unsupported("DROP " + upperAscii(peek().text));
    else
        fail(ora::kInvalidSqlStatement, "invalid DROP option" + near());
    if (at("IF") && at("EXISTS", 1)) {
        m_pos += 2;
        s->ifExists = true;
    }
    s->name = qualifiedName("a name");
    while (true) {
        if (s->object != DropStatement::Object::Index && accept("CASCADE")) {
            if (!accept("CONSTRAINTS"))
                expect("CONSTRAINT");
            s->cascadeConstraints = true;
        } else if (accept("PURGE")) {
            s->purge = true;
        } else if (!accept("FORCE") && !accept("ONLINE")) {
            break;
        }
    }
    return s;
}

}  // namespace localengine::dialect
