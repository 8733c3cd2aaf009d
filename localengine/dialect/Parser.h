#pragma once
// The second stage: tokens to the syntax tree of Ast.h, by recursive
// descent with Oracle's precedence:
//   OR < AND < NOT < comparisons and predicates (IN, BETWEEN, LIKE, IS NULL)
//   < + - || < * / < unary + - PRIOR CONNECT_BY_ROOT < primaries.
// Comparisons do not chain (a = b = c is refused), as in Oracle.
//
// Nesting (parentheses, subqueries, CASE, unary chains) is limited to
// kMaxNesting levels and every tree to kMaxTreeHeight (Ast.h), with a clear
// error instead of exhausting the stack.

#include "Ast.h"
#include "Lexer.h"

#include <string_view>
#include <vector>

namespace localengine::dialect {

constexpr int kMaxNesting = 200;
// Oracle's bound on the arguments of one CASE expression.
constexpr std::size_t kMaxCaseArguments = 65535;

// Parses the one statement that `tokens` hold (an optional trailing ";"
// included). `sql` is the text they were read from.
StatementPtr parseStatement(const std::vector<Token>& tokens, std::string_view sql);

class Parser {
public:
    Parser(const std::vector<Token>& tokens, std::string_view sql) : m_tokens(tokens), m_sql(sql) {}

    StatementPtr statement();

private:
    friend class NestingGuard;

    // ------------------------------------------------ tokens
    const Token& peek(std::size_t ahead = 0) const;
    const Token& advance();
    std::uint32_t position() const { return static_cast<std::uint32_t>(m_pos); }
    bool at(std::string_view word, std::size_t ahead = 0) const { return peek(ahead).is(word); }
    bool atOperator(std::string_view op, std::size_t ahead = 0) const {
        return peek(ahead).isOperator(op);
    }
    bool accept(std::string_view word);
    bool acceptOperator(std::string_view op);
    void expect(std::string_view word);
    void expectOperator(std::string_view op);
    Identifier identifier(const char* what);
    bool atIdentifier() const;
    QualifiedName qualifiedName(const char* what);
    QualifiedName tableName();
    std::vector<Identifier> identifierList();
    [[noreturn]] void unexpected() const;
    std::string near() const;

    // ------------------------------------------------ statements (Parser.cpp)
    StatementPtr statementBody();
    StatementPtr selectStatement();
    StatementPtr insertStatement();
    StatementPtr multitableInsert();
    StatementPtr updateStatement();
    StatementPtr deleteStatement();
    StatementPtr mergeStatement();
    StatementPtr explainPlan();
    StatementPtr transaction();
    StatementPtr createStatement();
    StatementPtr dropStatement();
    StatementPtr passThrough(std::string verb);
    StatementPtr oracleAnalyze();
    DmlTarget dmlTarget();
    Assignment assignment();
    std::vector<Assignment> assignments();
    std::vector<ExprPtr> valuesRow();
    void skipReturningClause();

    // ------------------------------------------------ DDL (ParseDdl.cpp)
    StatementPtr createTable(bool globalTemporary);
    StatementPtr createIndex(bool unique, bool bitmap);
    StatementPtr createView(bool orReplace);
    void tableElements(CreateTableStatement& table);
    ColumnDefinition columnDefinition();
    bool atConstraintStart() const;
    ConstraintDefinition outOfLineConstraint();
    bool inlineConstraint(ColumnDefinition& column);
    void references(ConstraintDefinition& c);
    void constraintState(ConstraintDefinition& c);
    void tableProperties(CreateTableStatement& table);
    bool physicalProperty();
    void skipParenthesized();
    TypeName typeName();
    void checkTypeArguments(const TypeName& type);
    bool atIfNotExists();
    StatementPtr alterStatement();
    StatementPtr alterTable();
    TableAlteration addClause();
    void modifyClauses(AlterTableStatement& s);
    void dropClause(AlterTableStatement& s);
    StatementPtr sequenceStatement(bool create);
    SequenceOptions sequenceOptions(bool identity);
    void identityClause(ColumnDefinition& c);
    StatementPtr commentStatement();
    StatementPtr truncateStatement();
    StatementPtr alterSession();
    StatementPtr synonymStatement(bool orReplace);
    [[noreturn]] void meaningless(const std::string& what) const;

    // ------------------------------------------------ queries (ParseQuery.cpp)
    QueryPtr query();
    QueryPtr queryInParentheses();
    void withClause(Query& q);
    QueryTermPtr queryTerms();
    QueryTermPtr queryTerm();
    std::unique_ptr<SelectBlock> selectBlock();
    void selectList(SelectBlock& block);
    SelectItem selectItem();
    bool atStar() const;
    std::optional<Identifier> columnAlias();
    std::optional<Identifier> tableAlias();
    void fromClause(SelectBlock& block);
    TableRefPtr fromItem();
    TableRefPtr tableReference();
    void pivotClause(TableRef& ref);
    void unpivotClause(TableRef& ref);
    TableRefPtr joinedTable(TableRefPtr left);
    bool atJoin() const;
    bool leadsToQuery() const;
    void hierarchyClauses(SelectBlock& block);
    void groupByClause(SelectBlock& block);
    GroupingElement groupingElement();
    void orderByClause(std::vector<OrderItem>& items);
    OrderItem orderItem();
    void rowLimit(Query& q);
    void forUpdate(Query& q);

    // ------------------------------------------------ expressions (ParseExpr.cpp)
    ExprPtr expression() { return orCondition(nullptr); }
    std::vector<ExprPtr> expressionList();
    ExprPtr orCondition(ExprPtr seed);
    ExprPtr andCondition(ExprPtr seed);
    ExprPtr notCondition(ExprPtr seed);
    ExprPtr predicate(ExprPtr seed);
    ExprPtr comparison(ExprPtr left, CompareOp op);
    ExprPtr inPredicate(ExprPtr left, bool negated);
    ExprPtr likePredicate(ExprPtr left, bool negated);
    ExprPtr additive(ExprPtr seed);
    ExprPtr multiplicative(ExprPtr seed);
    ExprPtr unary(ExprPtr seed);
    ExprPtr primary();
    ExprPtr parenthesized();
    bool atIntervalQualifier() const;
    ExprPtr intervalExpression(ExprPtr difference, std::uint32_t first);
    ExprPtr nameExpression();
    ExprPtr pseudoColumn();
    ExprPtr literalWithKeyword();
    ExprPtr intervalLiteral(std::uint32_t first);
    ExprPtr caseExpression();
    void checkCaseArguments(const Case& c);
    ExprPtr functionCall(QualifiedName name, std::uint32_t first);
    void functionArguments(FunctionCall& call);
    void analyticClauses(FunctionCall& call);
    std::unique_ptr<WindowSpec> windowSpec();
    FrameBound frameBound();
    ExprPtr castExpression(std::uint32_t first);
    ExprPtr extractExpression(std::uint32_t first);
    ExprPtr trimExpression(std::uint32_t first);
    // SQL/JSON (ParseJson.cpp)
    bool atJsonFunction() const;
    ExprPtr jsonFunction(std::uint32_t first);
    void jsonObjectArguments(FunctionCall& call);
    void jsonArrayaggArguments(FunctionCall& call);
    void jsonValueClauses(FunctionCall& call);
    void jsonQueryClauses(FunctionCall& call);
    void jsonExistsClauses(FunctionCall& call);
    ExprPtr jsonCondition(ExprPtr operand, bool negated, std::uint32_t first);
    std::string jsonReturning();
    bool atComparisonOperator(CompareOp& op) const;

    // Finishes a node: its token range ends at the last token read, and its
    // height is one above its tallest child.
    template <typename T>
    std::unique_ptr<T> finish(std::unique_ptr<T> node, std::uint32_t first,
                              std::uint32_t childHeight);
    void checkHeight(std::uint32_t height) const;

    const std::vector<Token>& m_tokens;
    std::string_view m_sql;
    std::size_t m_pos = 0;
    int m_nesting = 0;
};

// The heights of children, for Parser::finish.
std::uint32_t heightOf(const Expr* e);
std::uint32_t heightOf(const ExprPtr& e);
std::uint32_t heightOf(const QueryPtr& q);
std::uint32_t heightOf(const TableRefPtr& t);

}  // namespace localengine::dialect
