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
};

struct PlanFacts {
    std::vector<QueryBlockFacts> blocks;   // by number: blocks[i].number == i + 1
    std::vector<std::string> withQueries;  // names of the WITH queries, as Oracle names them
    bool setOperation = false;             // the statement's query is a UNION, INTERSECT or MINUS

    const QueryBlockFacts* block(int number) const {
        return number >= 1 && number <= static_cast<int>(blocks.size()) ? &blocks[number - 1]
                                                                        : nullptr;
    }
};

}  // namespace localengine::dialect
