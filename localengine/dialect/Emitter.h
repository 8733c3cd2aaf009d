#pragma once
// The last stage: the bound tree to SQLite text. Oracle's constructs that
// SQLite spells differently or lacks are rewritten on the way, each in a
// named stage of its own:
//   RownumLimit        WHERE ROWNUM <= n as LIMIT (RownumLimit.h)
//   OuterJoinLayout    comma joins with (+) marks as LEFT JOIN (OuterJoin.h)
//   HierarchicalQuery  START WITH / CONNECT BY as a recursive WITH (HierarchicalQuery.h)
// and in the expression writer: || with Oracle's null rule (ORA_CONCAT),
// exact division, '' as NULL, date literals, SYSDATE, USER, CONCAT,
// MINUS as EXCEPT, FETCH FIRST as LIMIT, Oracle's column types in DDL.
// What it cannot translate it refuses with ORA-03001 naming the construct.

#include "Ast.h"
#include "Lexer.h"
#include "Translator.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace localengine::dialect {

class HierarchicalQuery;
struct OuterJoinLayout;
struct RownumLimit;

// How tightly an SQLite operator binds: a child below its parent's level
// is put in parentheses.
enum Precedence : int {
    kLowest = 0,
    kOr = 1,
    kAnd = 2,
    kNot = 3,
    kCompare = 4,
    kCompareOperand = 5,
    kAdditive = 7,
    kMultiplicative = 8,
    kUnary = 10,
    kPrimary = 11
};

class Emitter {
public:
    // `inputLength`: the Oracle text's length, which bounds the SQLite
    // text's (kLengthFactor times it, plus kLengthAllowance).
    Emitter(std::string owner, Translation& result, std::size_t inputLength = 0);

    static constexpr std::size_t kLengthFactor = 64;
    static constexpr std::size_t kLengthAllowance = std::size_t(1) << 20;

    // The SQLite text of `statement` (which the Binder has bound).
    std::string statement(const Statement& statement);

    // Pieces for the rewrite stages.
    void text(std::string_view s) {
        m_out += s;
        checkLength(m_out.size());
    }
    // Refuses a translation that grows past its bound (ORA-64621): a
    // rewrite that repeats an operand may double the text at each level
    // of nesting.
    void checkLength(std::size_t size) const;
    void name(const Identifier& id);
    void qualifiedName(const QualifiedName& name);
    void expr(const Expr& e, int minPrecedence = kLowest);
    void exprList(const std::vector<ExprPtr>& list);
    void conjunction(const std::vector<const Expr*>& conditions);
    void query(const Query& q);
    void selectItems(const SelectBlock& b);
    void tableReference(const TableRef& ref);
    // `owner`: the query whose select list positions and headings the
    // items may name (their types decide how they sort).
    void orderBy(const std::vector<OrderItem>& items, const Query* owner = nullptr);
    void groupBy(const SelectBlock& b);
    // Runs `write` with an empty output and returns what it wrote.
    std::string capture(const std::function<void()>& write);

    const std::string& owner() const { return m_owner; }
    Translation& result() { return m_result; }

    // For EXPLAIN PLAN, the mark written after a SELECT keyword that tells
    // the plan mapper which Oracle query block the SQLite block carries:
    // "/*SEL$2*/", or with the part of the block it writes ("/*SEL$2 START
    // WITH*/"). Empty for any other statement, whose text stays plain.
    std::string blockMark(int number, const char* part = nullptr) const;

    // While a hierarchical query writes its parts, it decides what column
    // references, LEVEL, PRIOR and the CONNECT_BY_ functions stand for.
    void setHierarchy(HierarchicalQuery* hierarchy) { m_hierarchy = hierarchy; }
    HierarchicalQuery* hierarchy() const { return m_hierarchy; }

    // The headings of the next select list, for CREATE TABLE t (a, b) AS SELECT.
    void overrideHeadings(std::vector<Identifier> headings) {
        m_headingOverride = std::move(headings);
    }

private:
    // Statements (Emitter.cpp)
    void insert(const InsertStatement& s);
    void update(const UpdateStatement& s);
    void remove(const DeleteStatement& s);
    void transaction(const TransactionStatement& s);
    void dmlTarget(const DmlTarget& target);
    void merge(const MergeStatement& s);  // EmitMerge.cpp
    void mergeAssignments(const MergeStatement& s);
    void mergeInsert(const MergeStatement& s);
    void multitableInsert(const MultitableInsert& m);  // EmitMultitable.cpp

    // DDL (EmitDdl.cpp)
    void createTable(const CreateTableStatement& s);
    void columnDefinition(const ColumnDefinition& c, const std::string& table);
    void storedDefault(const ColumnDefinition& c, const std::string& table);
    bool typedCreateAsSelect(const CreateTableStatement& s, std::vector<Identifier> names);
    void typeName(const TypeName& type);
    void defaultValue(const Expr& e);
    void constraint(const ConstraintDefinition& c, bool inlineConstraint);
    void createIndex(const CreateIndexStatement& s);
    void createView(const CreateViewStatement& s);
    void drop(const DropStatement& s);
    void ddlWork(const Statement& s);  // EmitDdl.cpp: statements the engine carries out
    void alterTable(const AlterTableStatement& s);
    TableChange modifyColumn(const ColumnDefinition& c);
    std::string identityColumn(const std::string& table, const ColumnDefinition& c);

    // Queries (EmitQuery.cpp)
    void withClause(const Query& q);
    void term(const QueryTerm& t, const Query* owner, bool member);
    void selectBlock(const SelectBlock& b, const Query* owner, bool member);
    void fromAndWhere(const SelectBlock& b, const Query* owner, std::string& pendingLimit);
    std::string rownumLimitText(const RownumLimit& rownum);
    // `block`: the query block number, for EXPLAIN PLAN's mark.
    void limitedSource(const TableRef& source, const std::vector<const Expr*>& conditions,
                       const std::string& limit, int block);
    void outerJoinFrom(const OuterJoinLayout& joins);
    void pivotSource(const TableRef& ref);
    void unpivotSource(const TableRef& ref);
    void rowLimit(const RowLimit& limit);
    // EmitGrouping.cpp
    struct GroupingContext {
        std::vector<const Expr*> all;  // every expression GROUP BY names
        std::vector<const Expr*> set;  // those of the grouping set being written
    };
    void groupingSetsBlock(const SelectBlock& b, const Query* owner, bool member);
    bool groupingWrites(const Expr& e);
    void orderByPositions(const std::vector<OrderItem>& items, const SelectBlock& b);
    void limitValue(const Expr& e, bool minusOne);

    // Expressions (EmitExpr.cpp)
    void literal(const Literal& l);
    void columnRef(const ColumnRef& c);
    void pseudo(const PseudoColumn& p);
    void unary(const Unary& u);
    void binary(const Binary& b);
    void concatenation(const Binary& b);
    void arithmetic(const Binary& b);
    void comparison(const Comparison& c);
    void quantified(const QuantifiedComparison& q);
    void quantifiedList(const QuantifiedComparison& q);
    void quantifiedSubquery(const QuantifiedComparison& q);
    void inSubquery(const Expr& left, bool negated, const Query& q);
    void predicate(const Expr& e);
    static std::optional<std::string> literalGlob(const Like& p);
    void caseExpression(const Case& c);
    void functionCall(const FunctionCall& f);
    // EmitAggregates.cpp
    bool specialAggregate(const FunctionCall& f);
    void orderKeys(const std::vector<OrderItem>& items);
    void listagg(const FunctionCall& f);
    void keep(const FunctionCall& f);
    void ratioToReport(const FunctionCall& f);
    void windowSpec(const WindowSpec& w);
    void frameBound(const FrameBound& b);
    void cast(const Cast& c);
    void extract(const Extract& e);
    void trim(const Trim& t);
    void subquery(const Query& q);
    void scalarSubquery(const Query& q);

    // Typed rewrites (EmitTypes.cpp)
    void datetimeLiteral(const Literal& l);
    void intervalLiteral(const Literal& l);
    void converted(const Expr& e, OracleType target, int minPrecedence = kLowest);
    void convertedValue(OracleType from, OracleType target, const std::function<void(int)>& operand,
                        int minPrecedence = kLowest);
    // A value some other writer writes (given the precedence it must keep).
    using ValueWriter = std::function<void(int minPrecedence)>;
    static OracleType comparisonType(const std::vector<OracleType>& types);
    void comparand(const Expr& e, OracleType target, bool padded);
    static bool blankPadded(std::initializer_list<const Expr*> operands);
    static bool intervalOrder(std::initializer_list<const Expr*> operands);
    void collated(const Expr& e);
    bool datetimeArithmetic(const Binary& b);
    void datetimeSum(const Binary& b);
    void datetimeDifference(const Binary& b);
    void intervalProduct(const Binary& b);
    void datetimeCall(const char* function, const Expr& first, const Expr& second,
                      OracleType secondType);
    bool typedFunction(const FunctionCall& f);
    void arguments(const FunctionCall& f);
    void assignedTo(const Expr& value, const NamedTable& table, int column);
    // `sourceType`: the declared type of the table column the value is read
    // from unchanged, when it is one (a copy that needs no storing).
    void stored(OracleType from, const ValueWriter& write, const NamedTable& table, int column,
                const std::string* sourceType = nullptr);
    void storedAs(OracleType from, const ValueWriter& write, OracleType type,
                  const std::string& targetType, const std::function<std::string()>& title);
    std::string columnTitle(const NamedTable& table, int column) const;
    // EmitStore.cpp: INSERT ... SELECT and SET (a, b) = (subquery).
    bool storedQuery(const Query& q, const NamedTable& table, const std::vector<int>& targets);
    std::vector<int> insertTargets(const NamedTable& table,
                                   const std::vector<Identifier>& columns) const;
    void refuseIdentityUpdate(const NamedTable& table, int column) const;
    bool typedCast(const Cast& c);
    bool typedChoice(const FunctionCall& f);
    bool decode(const FunctionCall& f);
    void checkCaseTypes(const Case& c);
    void intervalCast(const Cast& c);

    // SQL/JSON (EmitJson.cpp)
    bool jsonFunction(const FunctionCall& f);

    std::string m_owner;
    Translation& m_result;
    std::size_t m_lengthLimit;
    std::string m_out;
    // Subqueries written inside a hierarchy's parts, where an operand may
    // stand in several places: each is translated once.
    std::unordered_map<const Query*, std::string> m_subqueries;
    HierarchicalQuery* m_hierarchy = nullptr;
    bool m_outerJoinMarksAllowed = false;
    bool m_inCondition = false;  // writing WHERE, HAVING, ON, START WITH or CONNECT BY
    bool m_inView = false;       // writing the query a CREATE VIEW keeps in the database
    std::vector<Identifier> m_headingOverride;
    // The block of a scalar subquery whose one item is read through
    // ORA_SCALAR, which refuses a second row (ORA-01427).
    const SelectBlock* m_singleRowBlock = nullptr;
    // The grouping set of the block being written (ROLLUP, CUBE, GROUPING
    // SETS), and the context in force while its select list and HAVING are.
    const GroupingContext* m_groupingSet = nullptr;
    const GroupingContext* m_grouping = nullptr;
    std::set<std::string> m_keyColumns;  // CREATE TABLE: the out-of-line primary key's columns
    // NEXTVAL and CURRVAL references by sequence: Oracle gives every
    // reference in a row the one value NEXTVAL took.
    std::map<std::string, std::pair<int, int>> m_sequenceUses;
    // INSERT ALL | FIRST: the subquery whose columns are read by position
    // from the engine's temporary table.
    const TableRef* m_multitableSource = nullptr;

    friend class ConditionScope;
    friend class HierarchicalQuery;
};

// Marks the conditions being written, where ROWNUM as a value is refused.
class ConditionScope {
public:
    ConditionScope(Emitter& emitter, bool inCondition)
        : m_emitter(emitter), m_saved(emitter.m_inCondition) {
        emitter.m_inCondition = inCondition;
    }
    ~ConditionScope() { m_emitter.m_inCondition = m_saved; }
    ConditionScope(const ConditionScope&) = delete;
    ConditionScope& operator=(const ConditionScope&) = delete;

private:
    Emitter& m_emitter;
    bool m_saved;
};

// The operands of a chain of ANDs, in order (a AND b AND c: a, b, c).
void splitConjuncts(const Expr* condition, std::vector<const Expr*>& out);

// The grouping sets of a block's GROUP BY, as Oracle forms them from
// ROLLUP, CUBE and GROUPING SETS; one set for a plain GROUP BY.
std::vector<std::vector<const Expr*>> groupingSets(const SelectBlock& b);

// " DESC", " NULLS LAST" ...: the direction and NULL placement of a sort
// key in SQLite's words, with Oracle's default placement.
std::string sortDirection(const OrderItem& o);
// INTERVAL 'text' qualifier in the engine's stored form; ORA-01867 or
// ORA-01873 for a text the qualifier does not allow.
std::string intervalLiteralText(const Literal& l);
// A stored interval with the opposite sign.
std::string negatedIntervalText(std::string storedInterval);

// The declared type of column `column` of a table in FROM; null for
// anything else (a view's or subquery's column, a pivot, ROWID).
const std::string* declaredTypeOf(const TableRef* source, int column);

// The declared type of each column of a single block that is a table's
// column as it is (a column or a star); null for the others. Empty for any
// other query.
std::vector<const std::string*> sourceTypes(const Query& q);

// SQLite's keywords: a name equal to one of them is written quoted.
bool isSqliteKeyword(std::string_view upperName);

}  // namespace localengine::dialect
