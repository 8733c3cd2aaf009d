#pragma once
// What the plan mapper needs to know about the Oracle statement that the
// SQLite text no longer says: which query blocks walk a hierarchy, stop
// after a ROWNUM or FETCH FIRST limit, compute analytic functions, come
// from WITH queries or inline views, and which subqueries are semi- or
// anti-joins. Filled by the front end for every translated statement.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace localengine::dialect {

struct QueryBlockFacts {
    enum class Role {
        Main,        // the statement's own query (or one operand of its set operation)
        InlineView,  // (SELECT ...) alias in FROM
        WithQuery,   // the query of a WITH name
        Subquery     // in an expression: scalar, IN, EXISTS, ANY/ALL
    };

    int number = 0;  // Oracle's numbering of query blocks: SEL$<number>, in text order from 1
    // The kind of block, the first part of its name: SEL, or for a DML
    // statement's own block UPD, DEL, INS (numbered apart from the SELECTs).
    std::string kind = "SEL";
    int parent = 0;  // number of the block it is nested in; 0 for an outermost block
    Role role = Role::Main;
    std::string name;  // the inline view's alias or the WITH query's name; may be empty

    bool hierarchical = false;  // START WITH / CONNECT BY
    bool noCycle = false;       // CONNECT BY NOCYCLE

    // WHERE ROWNUM <= n (or < n, = 1): the block stops after `rownumLimit`
    // rows; unset when the bound is a bind parameter or there is no such
    // condition (see rownumLimitParameter).
    std::optional<std::int64_t> rownumLimit;
    bool rownumLimitParameter = false;  // the bound is a bind parameter
    bool rownumInSelectList = false;    // ROWNUM read as a value (COUNT in Oracle's plan)

    bool orderBy = false;                    // ORDER BY (of the block's own query)
    std::optional<std::int64_t> fetchFirst;  // FETCH FIRST n ROWS ONLY with a literal n
    bool distinct = false;
    bool groupBy = false;
    bool aggregates = false;
    // ORDER BY names the leading GROUP BY expressions in their order: one
    // sort serves both.
    bool orderByGroupKeys = false;

    // Analytic functions (with OVER), upper case, in text order: RANK, SUM ...
    std::vector<std::string> analyticFunctions;

    // Subqueries of this block's WHERE or HAVING that Oracle runs as joins.
    struct SubqueryJoin {
        enum class Kind { Semi, Anti };  // EXISTS / IN; NOT EXISTS / NOT IN
        Kind kind = Kind::Semi;
        bool exists = false;  // written with EXISTS; otherwise IN
        int block = 0;        // the subquery's block number
    };
    std::vector<SubqueryJoin> subqueryJoins;

    // The tables, views and WITH queries of the block's FROM (joins taken
    // apart), in text order.
    struct Table {
        int instance = 0;   // OBJECT_INSTANCE: its place among the statement's table names
        std::string name;   // the table's name (or the WITH query's), as Oracle shows it
        std::string alias;  // the name the block knows it by (the alias, else the name)
        bool withQuery = false;
        bool view = false;
        std::vector<std::string> columns;  // columns the statement reads of it, upper case
    };
    std::vector<Table> tables;

    // The conditions of WHERE and of the joins' ON, one per AND-ed term, as
    // Oracle prints them in the plan's ACCESS_PREDICATES and
    // FILTER_PREDICATES: "E"."DEPTNO"=10 (a column qualified by its
    // table's alias when the block reads more than one table).
    struct Predicate {
        // Rownum: a ROWNUM limit taken out of WHERE; Fetch: FETCH FIRST as
        // Oracle evaluates it, ROW_NUMBER() OVER (ORDER BY ...) <= n;
        // FetchView: the condition of the view over that window on the row
        // number ("from$_subquery$_002"."rowlimit_$$_rownumber"<=n).
        // Having: a condition of HAVING, on the groups.
        enum class Clause { Where, StartWith, ConnectBy, Rownum, Fetch, FetchView, Having };
        Clause clause = Clause::Where;
        std::string text;
        std::vector<int> tables;  // indexes into `tables` of the block's own tables it reads
        bool subquery = false;    // holds a subquery (EXISTS, IN (SELECT ...), a scalar one)
        // Reads a column of an enclosing block: the text shows its value as
        // a bind, :B1, :B2 ..., as in a plan that runs the subquery per row.
        bool correlated = false;
        std::vector<int> subqueryBlocks;  // the first block of each subquery it holds
        // A comparison of one column with something else (another table's
        // column, a value):
        enum class Form { Other, Equal, Range, Between, InList, Like, IsNull, IsNotNull };
        Form form = Form::Other;
        int table = -1;       // the compared column's table (index into `tables`)
        std::string column;   // upper case
        int otherTable = -1;  // Equal: a column of another of the block's tables
        std::string otherColumn;
        std::vector<double> numbers;  // the literal numbers it compares with, if any
        int listLength = 0;           // InList: the values in the list
        bool lowerBound = false;      // Range: c > x (or x < c); Between sets both
        bool upperBound = false;
        // A subquery Oracle runs as a semi- or anti-join: its block, and the
        // join's condition as Oracle prints it once the subquery is a join
        // ("E"."DEPTNO"="D"."DEPTNO").
        int subqueryBlock = 0;
        std::string joinText;
    };
    std::vector<Predicate> predicates;

    // Select-list columns computed by RANK, DENSE_RANK or ROW_NUMBER, with
    // the analytic function as Oracle prints it: a condition on such a
    // column in the enclosing block is pushed into the window sort.
    struct RankColumn {
        std::string column;      // the column's name (heading)
        std::string expression;  // RANK() OVER ( ORDER BY "SAL")
    };
    std::vector<RankColumn> rankColumns;

    // QBLOCK_NAME: SEL$2, UPD$1 ...
    std::string blockName() const { return kind + "$" + std::to_string(number); }
};

struct PlanFacts {
    std::vector<QueryBlockFacts> blocks;   // by number: blocks[i].number == i + 1
    std::vector<std::string> withQueries;  // names of the WITH queries, as Oracle names them
    bool setOperation = false;             // the statement's query is a UNION, INTERSECT or MINUS
    // An UPDATE's, DELETE's or INSERT's own query block (UPD$1, DEL$1,
    // INS$1): the target and the conditions of WHERE; its subqueries are
    // SELECT blocks among `blocks`.
    std::optional<QueryBlockFacts> dml;

    const QueryBlockFacts* block(int number) const {
        return number >= 1 && number <= static_cast<int>(blocks.size()) ? &blocks[number - 1]
                                                                        : nullptr;
    }
};

}  // namespace localengine::dialect
