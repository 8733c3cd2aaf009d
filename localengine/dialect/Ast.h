#pragma once
// The syntax tree of one Oracle statement, as the parser builds it and the
// binder annotates it.
//
// How to read it:
//  - Three families of nodes, each a base class with a `kind` tag and one
//    derived struct per kind: expressions (Expr), sources in FROM (TableRef)
//    and statements (Statement). Queries (Query, QueryTerm, SelectBlock)
//    sit between them. Use `as<T>()` after checking `kind`.
//  - A parent owns its children through unique_ptr: subtrees are moved,
//    never copied, so a tree costs memory linear in the text.
//  - Names are Identifier: upper case unless written in double quotes.
//  - `firstToken`/`lastToken` index the statement's tokens, for headings
//    (Oracle names an unnamed select-list column after its text) and for
//    messages.
//  - `height` is the node's distance to its deepest leaf; the parser refuses
//    trees taller than kMaxTreeHeight, so that every walk over the tree
//    (binder, emitter, destructors) is bounded in stack depth.
//  - Fields under "binder:" are empty after parsing and filled by the
//    Binder; the emitter reads them.

#include "Types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace localengine::dialect {

constexpr std::uint32_t kMaxTreeHeight = 1200;

struct Identifier {
    std::string name;  // as Oracle compares it
    bool quoted = false;

    bool operator==(const Identifier& other) const { return name == other.name; }
};

// A possibly qualified name: owner.table, table.column, package.function.
using QualifiedName = std::vector<Identifier>;

struct TableInfo;
struct Query;
struct TableRef;
using QueryPtr = std::unique_ptr<Query>;
using TableRefPtr = std::unique_ptr<TableRef>;

struct Node {
    std::uint32_t firstToken = 0;
    std::uint32_t lastToken = 0;
    std::uint32_t height = 1;
};

// ---------------------------------------------------------------- expressions

enum class ExprKind {
    Literal,
    ColumnRef,
    Star,
    BindParameter,
    PseudoColumn,
    Unary,
    Binary,
    Comparison,
    QuantifiedComparison,
    IsNull,
    Like,
    Between,
    InList,
    InSubquery,
    Exists,
    ScalarSubquery,
    Case,
    FunctionCall,
    Cast,
    Extract,
    Trim,
    SequenceValue,
    Tuple
};

struct Expr : Node {
    explicit Expr(ExprKind k) : kind(k) {}
    virtual ~Expr() = default;
    Expr(const Expr&) = delete;
    Expr& operator=(const Expr&) = delete;

    const ExprKind kind;
    OracleType type = OracleType::Unknown;  // binder: the value's type where known

    template <typename T>
    T& as() {
        return static_cast<T&>(*this);
    }
    template <typename T>
    const T& as() const {
        return static_cast<const T&>(*this);
    }
};
using ExprPtr = std::unique_ptr<Expr>;

struct Literal : Expr {
    enum class Form { Number, Text, Null, Boolean, Date, Timestamp, Interval };
    Literal() : Expr(ExprKind::Literal) {}
    Form form = Form::Null;
    std::string text;               // the number as written, the text's value, TRUE/FALSE
    bool national = false;          // N'...'
    std::string intervalQualifier;  // INTERVAL '1' DAY TO SECOND: "DAY TO SECOND"
};

// What a column reference stands for, as the binder found it.
struct ColumnBinding {
    TableRef* source = nullptr;  // the FROM item that provides it; null: not resolved
    int column = -1;             // index in the source's columns; -1 for ROWID
    int outerLevels = 0;         // 0: the own query block; 1: the enclosing one (correlated) ...
};

struct ColumnRef : Expr {
    ColumnRef() : Expr(ExprKind::ColumnRef) {}
    QualifiedName parts;         // column, table.column or owner.table.column
    bool outerJoinMark = false;  // written with (+)
    ColumnBinding binding;       // binder
    const Identifier& column() const { return parts.back(); }
};

// `*` or `t.*` in a select list.
struct Star : Expr {
    Star() : Expr(ExprKind::Star) {}
    QualifiedName qualifier;  // empty for a bare *
    // binder: the columns it stands for, when every source is known.
    struct Column {
        TableRef* source;
        int column;
    };
    std::vector<Column> expansion;
    bool expanded = false;
};

struct BindParameter : Expr {
    BindParameter() : Expr(ExprKind::BindParameter) {}
    std::string text;  // :name, :1, ? as written
};

enum class Pseudo {
    Rownum,
    Level,
    Rowid,
    Sysdate,
    Systimestamp,
    CurrentDate,
    CurrentTimestamp,
    LocalTimestamp,
    User,
    Uid,
    ConnectByIsLeaf,
    ConnectByIsCycle
};

struct PseudoColumn : Expr {
    PseudoColumn() : Expr(ExprKind::PseudoColumn) {}
    Pseudo which = Pseudo::Rownum;
};

enum class UnaryOp { Negate, Plus, Not, Prior, ConnectByRoot };

struct Unary : Expr {
    Unary() : Expr(ExprKind::Unary) {}
    UnaryOp op = UnaryOp::Negate;
    ExprPtr operand;
};

enum class BinaryOp { Add, Subtract, Multiply, Divide, Concatenate, And, Or };

struct Binary : Expr {
    Binary() : Expr(ExprKind::Binary) {}
    BinaryOp op = BinaryOp::Add;
    ExprPtr left, right;
};

enum class CompareOp { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

struct Comparison : Expr {
    Comparison() : Expr(ExprKind::Comparison) {}
    CompareOp op = CompareOp::Equal;
    ExprPtr left, right;
};

// x op ANY|SOME|ALL (list or subquery)
struct QuantifiedComparison : Expr {
    QuantifiedComparison() : Expr(ExprKind::QuantifiedComparison) {}
    CompareOp op = CompareOp::Equal;
    bool all = false;  // ALL; otherwise ANY or SOME
    ExprPtr left;
    std::vector<ExprPtr> list;  // when no subquery
    QueryPtr subquery;
};

struct IsNull : Expr {
    IsNull() : Expr(ExprKind::IsNull) {}
    ExprPtr operand;
    bool negated = false;
};

struct Like : Expr {
    Like() : Expr(ExprKind::Like) {}
    ExprPtr operand, pattern, escape;  // escape may be null
    bool negated = false;
    std::string variant = "LIKE";  // LIKE, LIKEC, LIKE2, LIKE4
};

struct Between : Expr {
    Between() : Expr(ExprKind::Between) {}
    ExprPtr operand, low, high;
    bool negated = false;
};

struct InList : Expr {
    InList() : Expr(ExprKind::InList) {}
    ExprPtr operand;  // a Tuple for (a, b) IN ((1, 2), (3, 4))
    std::vector<ExprPtr> items;
    bool negated = false;
};

struct InSubquery : Expr {
    InSubquery() : Expr(ExprKind::InSubquery) {}
    ExprPtr operand;
    QueryPtr query;
    bool negated = false;
};

struct Exists : Expr {
    Exists() : Expr(ExprKind::Exists) {}
    QueryPtr query;
};

struct ScalarSubquery : Expr {
    ScalarSubquery() : Expr(ExprKind::ScalarSubquery) {}
    QueryPtr query;
};

struct WhenClause {
    ExprPtr condition;  // the compared value in a simple CASE
    ExprPtr result;
};

struct Case : Expr {
    Case() : Expr(ExprKind::Case) {}
    ExprPtr operand;  // simple CASE: CASE operand WHEN value ...; null for a searched CASE
    std::vector<WhenClause> whens;
    ExprPtr otherwise;  // ELSE; may be null
};

enum class NullsOrder { Default, First, Last };

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
    NullsOrder nulls = NullsOrder::Default;
};

struct FrameBound {
    enum class Kind { UnboundedPreceding, Preceding, CurrentRow, Following, UnboundedFollowing };
    Kind kind = Kind::CurrentRow;
    ExprPtr offset;  // Preceding / Following
};

struct WindowFrame {
    bool range = false;  // RANGE; otherwise ROWS
    FrameBound start;
    std::optional<FrameBound> end;  // BETWEEN start AND end
};

// OVER (PARTITION BY ... ORDER BY ... frame)
struct WindowSpec {
    std::vector<ExprPtr> partitionBy;
    std::vector<OrderItem> orderBy;
    std::optional<WindowFrame> frame;
};

// KEEP (DENSE_RANK FIRST|LAST ORDER BY ...)
struct KeepClause {
    bool last = false;
    std::vector<OrderItem> orderBy;
};

struct FunctionCall : Expr {
    FunctionCall() : Expr(ExprKind::FunctionCall) {}
    QualifiedName name;  // upper case unless quoted; package.function has two parts
    bool distinct = false;
    bool star = false;  // COUNT(*)
    std::vector<ExprPtr> args;
    std::vector<OrderItem> withinGroup;  // WITHIN GROUP (ORDER BY ...); empty when absent
    bool hasWithinGroup = false;
    std::unique_ptr<KeepClause> keep;
    std::unique_ptr<WindowSpec> over;  // analytic function
    // LISTAGG's ON OVERFLOW clause; absent: ON OVERFLOW ERROR.
    struct Overflow {
        bool truncate = false;
        std::optional<std::string> indicator;  // TRUNCATE 'indicator'; absent: '...'
        bool withCount = true;
    };
    std::optional<Overflow> overflow;

    // The function's own name (the last part), upper case unless quoted.
    const std::string& functionName() const { return name.back().name; }
};

// A data type as written: NUMBER(8,2), VARCHAR2(30 CHAR), TIMESTAMP(6) WITH TIME ZONE.
struct TypeName {
    std::vector<std::string> words;      // upper case: {"TIMESTAMP", "WITH", "TIME", "ZONE"}
    std::vector<std::string> arguments;  // as written: {"8", "2"}, {"*", "2"}
    // For each argument, the index of the word it follows: DAY(3) TO
    // SECOND(2) gives {1, 3}, DAY TO SECOND(2) {3}.
    std::vector<std::size_t> argumentWords;
    std::string lengthSemantics;  // CHAR or BYTE after the length; else empty

    std::string spelled() const;  // words joined by blanks, upper case
};

struct Cast : Expr {
    Cast() : Expr(ExprKind::Cast) {}
    ExprPtr operand;
    TypeName target;
    // Oracle's interval expression (a - b) DAY [(p)] TO SECOND [(f)] or
    // YEAR [(p)] TO MONTH, read as a CAST of the difference (`target` is
    // the interval type; `operand` the subtraction).
    bool intervalExpression = false;
};

struct Extract : Expr {
    Extract() : Expr(ExprKind::Extract) {}
    std::string field;  // YEAR, MONTH, DAY, HOUR, MINUTE, SECOND, TIMEZONE_...
    ExprPtr source;
};

struct Trim : Expr {
    enum class Side { Both, Leading, Trailing };
    Trim() : Expr(ExprKind::Trim) {}
    Side side = Side::Both;
    bool sideWritten = false;
    ExprPtr character;  // may be null (a blank)
    ExprPtr source;
};

// sequence.NEXTVAL or sequence.CURRVAL
struct SequenceValue : Expr {
    SequenceValue() : Expr(ExprKind::SequenceValue) {}
    QualifiedName sequence;
    bool next = true;
};

// (a, b): the left side of a multi-column IN, or one row of its list.
struct Tuple : Expr {
    Tuple() : Expr(ExprKind::Tuple) {}
    std::vector<ExprPtr> items;
};

// ------------------------------------------------------------------- queries

struct SelectItem {
    ExprPtr expr;
    std::optional<Identifier> alias;
    std::uint32_t firstToken = 0, lastToken = 0;  // the expression without its alias
    std::string heading;                          // binder: the column's name in the result
};

enum class TableRefKind { Named, Derived, Collection, Join };

// PIVOT (agg(x) [AS a], ... FOR column IN (value [AS name], ...)) after a
// table or inline view: one row per group of the columns the clause does
// not name, one column per value (and aggregate).
struct PivotClause {
    struct Aggregate {
        ExprPtr call;  // an aggregate function call
        std::optional<Identifier> alias;
    };
    struct Value {
        ExprPtr value;
        std::optional<Identifier> alias;
    };
    std::vector<Aggregate> aggregates;
    ExprPtr forColumn;
    std::vector<Value> values;
    std::optional<Identifier> sourceAlias;  // the alias written before PIVOT
    // binder: the source's columns that group the rows, and the names of
    // the value columns in order (value by value, aggregate by aggregate).
    std::vector<Identifier> groupColumns;
    std::vector<std::string> valueColumns;
};

// UNPIVOT [INCLUDE | EXCLUDE NULLS] (values FOR names IN (columns [AS
// labels], ...)) after a table or inline view: each source row becomes one
// row per IN item, holding the columns the clause does not name, the item's
// labels and its columns' values (EXCLUDE NULLS, the default: not when all
// of these are null).
struct UnpivotClause {
    struct Item {
        std::vector<ExprPtr> columns;  // one per value column
        std::vector<ExprPtr> labels;   // one per name column; empty: the columns' names
    };
    bool includeNulls = false;
    std::vector<Identifier> valueColumns;
    std::vector<Identifier> nameColumns;
    std::vector<Item> items;
    std::optional<Identifier> sourceAlias;  // the alias written before UNPIVOT
    // binder: the source's columns the clause does not name, in order
    std::vector<Identifier> keptColumns;
};

struct TableRef : Node {
    explicit TableRef(TableRefKind k) : kind(k) {}
    virtual ~TableRef() = default;
    TableRef(const TableRef&) = delete;
    TableRef& operator=(const TableRef&) = delete;

    const TableRefKind kind;
    std::optional<Identifier> alias;

    // binder: the columns this source provides (names as Oracle shows them)
    // and their types; empty when unknown (a table the catalog lacks).
    std::vector<Identifier> columns;
    std::vector<OracleType> columnTypes;
    bool columnsKnown = false;

    std::unique_ptr<PivotClause> pivot;      // the source pivoted; `alias` is then the result's
    std::unique_ptr<UnpivotClause> unpivot;  // the same for UNPIVOT

    template <typename T>
    T& as() {
        return static_cast<T&>(*this);
    }
    template <typename T>
    const T& as() const {
        return static_cast<const T&>(*this);
    }
};

// A table or view by name: [owner.]name[@dblink]
struct NamedTable : TableRef {
    NamedTable() : TableRef(TableRefKind::Named) {}
    QualifiedName name;
    std::string dbLink;
    std::shared_ptr<const TableInfo> table;  // binder: what the catalog says; may be null
    bool commonTable = false;                // binder: names a WITH query

    // The name this source is known by in its query block: the alias, else
    // the table's own name.
    const Identifier& exposedName() const { return alias ? *alias : name.back(); }
};

// (subquery) [alias]
struct DerivedTable : TableRef {
    DerivedTable() : TableRef(TableRefKind::Derived) {}
    QueryPtr query;
    bool lateral = false;
};

// TABLE(collection expression) [alias]
struct CollectionTable : TableRef {
    CollectionTable() : TableRef(TableRefKind::Collection) {}
    ExprPtr collection;
};

enum class JoinKind { Inner, Left, Right, Full, Cross };

struct Join : TableRef {
    Join() : TableRef(TableRefKind::Join) {}
    JoinKind join = JoinKind::Inner;
    bool natural = false;
    TableRefPtr left, right;
    ExprPtr on;
    std::vector<Identifier> usingColumns;
};

struct GroupingElement {
    enum class Kind { Expression, Rollup, Cube, GroupingSets, Empty };
    Kind kind = Kind::Expression;
    ExprPtr expr;                           // Expression
    std::vector<GroupingElement> children;  // Rollup, Cube, GroupingSets
};

struct Hierarchy {
    ExprPtr startWith;  // may be null: every row is a root
    ExprPtr connectBy;
    bool noCycle = false;
};

struct SelectBlock {
    bool distinct = false;  // DISTINCT or UNIQUE
    std::vector<SelectItem> items;
    std::vector<TableRefPtr> from;  // comma-separated items; joins nest inside
    ExprPtr where;
    std::optional<Hierarchy> hierarchy;
    std::vector<GroupingElement> groupBy;
    ExprPtr having;
    std::uint32_t firstToken = 0;

    int number = 0;           // binder: 1 for the first SELECT of the statement, as Oracle's SEL$1
    bool aggregates = false;  // binder: an aggregate function outside OVER
    bool analytics = false;   // binder: an analytic function (OVER)
};

enum class SetOp { Union, Intersect, Minus };

enum class QueryTermKind { Select, SetOperation, Nested };

struct QueryTerm : Node {
    explicit QueryTerm(QueryTermKind k) : kind(k) {}
    const QueryTermKind kind;

    std::unique_ptr<SelectBlock> select;  // Select
    SetOp op = SetOp::Union;              // SetOperation
    bool all = false;
    std::unique_ptr<QueryTerm> left, right;
    QueryPtr nested;  // Nested: ( query )
};
using QueryTermPtr = std::unique_ptr<QueryTerm>;

struct CommonTable {
    Identifier name;
    std::vector<Identifier> columns;
    QueryPtr query;
};

// OFFSET n ROWS FETCH FIRST m ROWS ONLY
struct RowLimit {
    ExprPtr offset;
    ExprPtr fetch;
    bool percent = false;
    bool withTies = false;
};

struct Query : Node {
    std::vector<CommonTable> with;
    QueryTermPtr body;
    std::vector<OrderItem> orderBy;
    bool orderSiblings = false;  // ORDER SIBLINGS BY
    RowLimit limit;
    bool forUpdate = false;  // FOR UPDATE [OF ...] [NOWAIT | WAIT n | SKIP LOCKED]

    // binder: the result's columns (names and types), as a source would show them.
    std::vector<Identifier> columns;
    std::vector<OracleType> columnTypes;
    bool columnsKnown = false;

    // The single SELECT block of a query that is nothing else; null otherwise.
    SelectBlock* singleBlock() const {
        return body && body->kind == QueryTermKind::Select ? body->select.get() : nullptr;
    }
};

// ---------------------------------------------------------------- statements

enum class StatementKind {
    Select,
    Insert,
    Update,
    Delete,
    Merge,
    ExplainPlan,
    Transaction,
    CreateTable,
    CreateIndex,
    CreateView,
    Drop,
    PassThrough,
    AlterTable,
    Sequence,
    Comment,
    Truncate,
    AlterSession,
    Synonym
};

struct Statement {
    explicit Statement(StatementKind k) : kind(k) {}
    virtual ~Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    const StatementKind kind;

    template <typename T>
    T& as() {
        return static_cast<T&>(*this);
    }
    template <typename T>
    const T& as() const {
        return static_cast<const T&>(*this);
    }
};
using StatementPtr = std::unique_ptr<Statement>;

struct SelectStatement : Statement {
    SelectStatement() : Statement(StatementKind::Select) {}
    QueryPtr query;
};

// The table a DML statement changes, with its optional alias.
struct DmlTarget {
    std::unique_ptr<NamedTable> table;
};

// One INTO clause of INSERT ALL | FIRST.
struct InsertInto {
    static constexpr int kAlways = -1;  // INSERT ALL without WHEN
    static constexpr int kElse = -2;    // ELSE INTO
    DmlTarget target;
    std::vector<Identifier> columns;
    bool hasValues = false;       // false: the subquery's columns in order
    std::vector<ExprPtr> values;  // a null entry is DEFAULT
    int condition = kAlways;      // index of its WHEN in MultitableInsert::conditions
};

// INSERT ALL | FIRST: each row of `source` is written by the INTO clauses
// whose WHEN condition holds (FIRST: those of the first WHEN that holds),
// by the ELSE ones when none holds, or by every one when there is no WHEN.
struct MultitableInsert {
    bool first = false;
    std::vector<ExprPtr> conditions;
    std::vector<InsertInto> intos;
    std::unique_ptr<DerivedTable> source;  // the subquery, without an alias
};

struct InsertStatement : Statement {
    InsertStatement() : Statement(StatementKind::Insert) {}
    DmlTarget target;
    std::vector<Identifier> columns;
    // VALUES (...): one row, or several (a list of rows); a null entry is DEFAULT.
    std::vector<std::vector<ExprPtr>> rows;
    QueryPtr query;  // INSERT ... SELECT
    // INSERT ALL | FIRST: the statement is this alone (`target` has no table).
    std::unique_ptr<MultitableInsert> multitable;
};

struct Assignment {
    std::vector<std::unique_ptr<ColumnRef>> columns;  // one, or (a, b) = (subquery)
    ExprPtr value;                                    // an expression or a ScalarSubquery
    bool toDefault = false;                           // SET c = DEFAULT
};

struct UpdateStatement : Statement {
    UpdateStatement() : Statement(StatementKind::Update) {}
    DmlTarget target;
    std::vector<Assignment> assignments;
    ExprPtr where;
};

struct DeleteStatement : Statement {
    DeleteStatement() : Statement(StatementKind::Delete) {}
    DmlTarget target;
    ExprPtr where;
};

struct MergeStatement : Statement {
    MergeStatement() : Statement(StatementKind::Merge) {}
    DmlTarget target;
    TableRefPtr source;
    ExprPtr on;
    std::vector<Assignment> updates;  // WHEN MATCHED THEN UPDATE SET
    ExprPtr updateWhere, deleteWhere;
    bool hasInsert = false;  // WHEN NOT MATCHED THEN INSERT
    std::vector<Identifier> insertColumns;
    std::vector<ExprPtr> insertValues;  // a null entry is DEFAULT
    ExprPtr insertWhere;
};

struct ExplainPlanStatement : Statement {
    ExplainPlanStatement() : Statement(StatementKind::ExplainPlan) {}
    std::optional<std::string> statementId;
    QualifiedName into;  // empty: PLAN_TABLE
    StatementPtr explained;
    std::uint32_t explainedBegin = 0, explainedEnd = 0;  // byte offsets of its text
};

struct TransactionStatement : Statement {
    enum class Action { Commit, Rollback, Savepoint, RollbackToSavepoint };
    TransactionStatement() : Statement(StatementKind::Transaction) {}
    Action action = Action::Commit;
    Identifier savepoint;
};

struct ConstraintDefinition {
    enum class Kind { NotNull, Null, PrimaryKey, Unique, ForeignKey, Check };
    enum class OnDelete { NoAction, Cascade, SetNull };
    std::optional<Identifier> name;
    Kind kind = Kind::NotNull;
    std::vector<Identifier> columns;  // out-of-line constraints
    QualifiedName referencedTable;
    std::vector<Identifier> referencedColumns;
    OnDelete onDelete = OnDelete::NoAction;
    ExprPtr check;
    bool disabled = false;  // DISABLE
    bool deferrable = false;
};

// A sequence's options, as CREATE SEQUENCE, ALTER SEQUENCE and an identity
// column write them; each is absent unless written.
struct SequenceOptions {
    std::optional<std::string> startWith, incrementBy, minValue, maxValue, cache;
    bool noMinValue = false, noMaxValue = false, noCache = false;
    std::optional<bool> cycle, order;
    bool restart = false;
};

struct ColumnDefinition {
    Identifier name;
    std::optional<TypeName> type;  // SQLite allows a column without one
    ExprPtr defaultValue;
    bool defaultOnNull = false;  // DEFAULT ON NULL
    std::vector<ConstraintDefinition> constraints;
    // GENERATED ALWAYS | BY DEFAULT [ON NULL] AS IDENTITY [(options)]
    enum class Identity { None, Always, ByDefault, ByDefaultOnNull };
    Identity identity = Identity::None;
    SequenceOptions identityOptions;
    bool dropIdentity = false;  // MODIFY column DROP IDENTITY
};

struct CreateTableStatement : Statement {
    CreateTableStatement() : Statement(StatementKind::CreateTable) {}
    QualifiedName name;
    bool globalTemporary = false;
    std::vector<ColumnDefinition> columns;
    std::vector<ConstraintDefinition> constraints;  // out-of-line
    QueryPtr asQuery;                               // CREATE TABLE ... AS SELECT
    bool withoutRowid = false;                      // SQLite's table options, kept
    bool strict = false;
    bool ifNotExists = false;
    std::vector<std::string> unsupportedClauses;  // e.g. ORGANIZATION INDEX
};

struct CreateIndexStatement : Statement {
    CreateIndexStatement() : Statement(StatementKind::CreateIndex) {}
    bool unique = false;
    bool bitmap = false;
    QualifiedName name;
    QualifiedName table;
    std::vector<OrderItem> keys;
    bool ifNotExists = false;
};

struct CreateViewStatement : Statement {
    CreateViewStatement() : Statement(StatementKind::CreateView) {}
    enum class Option { None, ReadOnly, CheckOption };
    Option option = Option::None;
    bool orReplace = false;
    bool ifNotExists = false;
    QualifiedName name;
    std::vector<Identifier> columns;
    QueryPtr query;
};

struct DropStatement : Statement {
    enum class Object { Table, View, Index, Sequence, Synonym, Trigger };
    DropStatement() : Statement(StatementKind::Drop) {}
    Object object = Object::Table;
    QualifiedName name;
    bool cascadeConstraints = false;
    bool purge = false;
    bool ifExists = false;
};

// One change of ALTER TABLE.
struct TableAlteration {
    enum class Kind {
        AddConstraint,      // ADD [CONSTRAINT n] PRIMARY KEY | UNIQUE | FOREIGN KEY | CHECK
        AddColumn,          // ADD (column ...)
        ModifyColumn,       // MODIFY (column [type] [DEFAULT] [NOT NULL | NULL] ...)
        DropConstraint,     // DROP CONSTRAINT n [CASCADE]
        DropPrimaryKey,     // DROP PRIMARY KEY [CASCADE]
        DropUnique,         // DROP UNIQUE (columns)
        DropColumn,         // DROP COLUMN c | DROP (c, ...)
        EnableConstraint,   // ENABLE [VALIDATE | NOVALIDATE] CONSTRAINT n
        DisableConstraint,  // DISABLE [VALIDATE | NOVALIDATE] CONSTRAINT n [CASCADE]
        RenameColumn,       // RENAME COLUMN a TO b
        RenameConstraint,   // RENAME CONSTRAINT a TO b
        RenameTable         // RENAME TO b
    };
    Kind kind = Kind::AddConstraint;
    ConstraintDefinition constraint;  // AddConstraint
    ColumnDefinition column;          // AddColumn, ModifyColumn
    Identifier name;                  // the constraint or column changed
    Identifier newName;               // Rename*
    std::vector<Identifier> columns;  // DropUnique, DropColumn
    bool cascade = false;
    bool validate = true;  // ENABLE NOVALIDATE: false
};

struct AlterTableStatement : Statement {
    AlterTableStatement() : Statement(StatementKind::AlterTable) {}
    QualifiedName table;
    std::vector<TableAlteration> alterations;
};

// CREATE SEQUENCE and ALTER SEQUENCE (DROP SEQUENCE is a DropStatement).
struct SequenceStatement : Statement {
    SequenceStatement() : Statement(StatementKind::Sequence) {}
    bool create = true;
    QualifiedName name;
    SequenceOptions options;
};

// COMMENT ON TABLE t | COLUMN t.c | MATERIALIZED VIEW ... IS 'text'
struct CommentStatement : Statement {
    CommentStatement() : Statement(StatementKind::Comment) {}
    QualifiedName table;
    std::optional<Identifier> column;
    std::string text;
};

struct TruncateStatement : Statement {
    TruncateStatement() : Statement(StatementKind::Truncate) {}
    QualifiedName table;
};

// ALTER SESSION SET name = value ...
struct AlterSessionStatement : Statement {
    AlterSessionStatement() : Statement(StatementKind::AlterSession) {}
    std::vector<std::pair<std::string, std::string>> settings;  // upper-case name, value text
};

// CREATE [OR REPLACE] [PUBLIC] SYNONYM name FOR object
struct SynonymStatement : Statement {
    SynonymStatement() : Statement(StatementKind::Synonym) {}
    bool orReplace = false;
    QualifiedName name;
    QualifiedName target;
};

// A statement the parser does not model: SQLite's own statements that
// have no Oracle meaning (PRAGMA, ANALYZE, CREATE TRIGGER ...). Its text
// is handed to SQLite token by token.
struct PassThroughStatement : Statement {
    PassThroughStatement() : Statement(StatementKind::PassThrough) {}
    std::string verb;                            // "PRAGMA", "CREATE TRIGGER" ...
    std::uint32_t firstToken = 0, endToken = 0;  // [first, end) of the statement's tokens
    std::string text;  // SQLite's statement when not the tokens as written (Oracle's ANALYZE)
};

}  // namespace localengine::dialect
