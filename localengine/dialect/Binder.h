#pragma once
// The third stage: names to what they stand for. The binder walks the tree
// once, query block by query block, and
//  - strips the owner's schema from names (SCOTT.EMP is EMP in the user's
//    own database),
//  - finds each FROM item's table, view or WITH query and its columns
//    through the Catalog, and the columns of inline views from their
//    select lists,
//  - resolves column references to their source, in the own block or an
//    enclosing one (a correlated reference), and expands * and t.*,
//  - gives every select-list item its heading, the name Oracle shows,
//  - assigns each expression an Oracle type where it can,
//  - numbers the query blocks as Oracle does and gathers the PlanFacts.
//
// It refuses only what Oracle refuses at this stage and today's engine
// did too (LEVEL outside a hierarchical query). A name it cannot resolve is
// left as written: SQLite then reports it.

#include "Ast.h"
#include "Catalog.h"
#include "Lexer.h"
#include "PlanFacts.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace localengine::dialect {

class Binder {
public:
    // `catalog` may be null: then no table is known. `owner` (upper case)
    // is the user's schema; may be empty.
    Binder(const Catalog* catalog, const std::vector<Token>& tokens, std::string owner);

    void bind(Statement& statement);

    // Numbers the query blocks (SelectBlock::number) and returns the facts
    // gathered by bind().
    PlanFacts finish();

    // Oracle's heading of a select-list item: its alias, a column's name,
    // or the expression's text without blanks (unquoted names upper case).
    std::string heading(const SelectItem& item) const;

private:
    struct Scope {
        const Scope* outer = nullptr;
        std::vector<TableRef*> sources;  // the FROM items that provide columns
        SelectBlock* block = nullptr;
    };
    struct WithNames {
        const WithNames* outer = nullptr;
        std::vector<CommonTable*> tables;
    };
    struct BlockInfo {
        SelectBlock* block = nullptr;
        SelectBlock* parent = nullptr;
        QueryBlockFacts::Role role = QueryBlockFacts::Role::Main;
        std::string name;
        std::vector<std::string> analytics;
        struct Join {
            QueryBlockFacts::SubqueryJoin::Kind kind;
            bool exists;
            SelectBlock* block;
        };
        std::vector<Join> subqueryJoins;
        bool rownumInSelectList = false;
        const Query* owner = nullptr;  // the query it is the block of, when it is the only one
        bool orderBy = false;
        std::optional<std::int64_t> fetchFirst;
    };
    struct Context {
        const Scope* outer = nullptr;
        const WithNames* with = nullptr;
        SelectBlock* parentBlock = nullptr;
        QueryBlockFacts::Role role = QueryBlockFacts::Role::Main;
        std::string name;
    };

    // Statements (Binder.cpp)
    void dml(Statement& statement);
    void multitableInsert(MultitableInsert& m);
    void ddl(Statement& statement);
    void moreDdl(Statement& statement);
    void columnDefinition(ColumnDefinition& c);
    void constraintDefinition(ConstraintDefinition& c);
    void explain(ExplainPlanStatement& statement);
    void target(NamedTable& table, Scope& scope);
    void stripOwner(QualifiedName& name, std::size_t minimumParts) const;
    std::optional<QueryBlockFacts> dmlBlock(const std::map<const TableRef*, int>& instances,
                                            const std::map<const SelectBlock*, int>& numbers) const;

    // Queries (BindQuery.cpp)
    void query(Query& q, const Context& context);
    void withClause(Query& q, WithNames& names, const Context& context);
    void term(QueryTerm& t, Query& owner, const Context& context, const WithNames* with);
    void selectBlock(SelectBlock& b, Query* owner, const Context& context, const WithNames* with);
    void source(TableRef& ref, Scope& scope, const Context& context, const WithNames* with);
    void namedSource(NamedTable& table, const WithNames* with);
    void pivot(TableRef& ref, Scope& scope, const WithNames* with);
    void unpivot(TableRef& ref, Scope& scope, const WithNames* with);
    void selectItems(SelectBlock& b, Scope& scope);
    void expandStar(Star& star, const Scope& scope);
    void outputColumns(SelectBlock& b, Query& owner);
    void noteSubqueryJoins(std::vector<BlockInfo::Join>& joins, Expr* condition);
    SelectBlock* firstBlock(Query& q) const;
    std::vector<OracleType> termTypes(const QueryTerm& t) const;

    // Expressions (BindExpr.cpp)
    void expr(ExprPtr& e, Scope& scope, const WithNames* with);
    void children(Expr& e, Scope& scope, const WithNames* with);
    void subquery(Query& q, Scope& scope, const WithNames* with);
    void column(ColumnRef& c, const Scope& scope);
    bool resolveIn(ColumnRef& c, const Scope& scope, int levels);
    void packageCallWithoutArguments(ExprPtr& e);
    void pseudo(ExprPtr& e, Scope& scope);
    void function(FunctionCall& f, Scope& scope);
    OracleType typeOf(const Expr& e) const;

    const Catalog* m_catalog;
    const Statement* m_statement = nullptr;  // the statement bound, for finish()
    const std::vector<Token>& m_tokens;
    std::string m_owner;
    std::vector<BlockInfo> m_blocks;
    std::map<const SelectBlock*, std::size_t> m_blockIndex;
    std::vector<std::string> m_withQueries;
    bool m_setOperation = false;
    std::vector<BlockInfo::Join> m_dmlJoins;  // of an UPDATE's or DELETE's WHERE
};

// True for an aggregate function's name (upper case): COUNT, SUM, ...
bool isAggregateFunction(const std::string& name);

}  // namespace localengine::dialect
