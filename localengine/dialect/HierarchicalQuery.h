#pragma once
// Rewrite stage: START WITH / CONNECT BY as a recursive WITH query.
//
//   WITH RECURSIVE __H AS (
//     SELECT 1 AS __LVL, <row id> AS __SEQ, ORA_HIER_KEY(NULL, 0, <PRIOR values>) AS __KEY,
//            <extras>[, __C.*]
//       FROM <source> AS __C WHERE <START WITH>
//     UNION ALL
//     SELECT __P.__LVL + 1, <row id>, ORA_HIER_KEY(__P.__KEY, __P.__LVL, <PRIOR values>),
//            <extras>[, __C.*]
//       FROM __H AS __P JOIN <source> AS __C ON <CONNECT BY, PRIOR x as ORA_HIER_PRIOR(__P.__KEY,
//       i)> WHERE ORA_HIER_FLAG(__P.__KEY) = 0 ORDER BY 1 DESC, <ORDER SIBLINGS BY>, 2)
//   SELECT <list> FROM __H AS <alias> WHERE ORA_HIERARCHY_CHECK(<row>.__KEY, <NOCYCLE>) AND <WHERE>
//   ...
//
// The queue ordered by level, deepest first, visits the rows depth first:
// each row is followed by its whole subtree, siblings in the source's
// stored order (the row id) or ORDER SIBLINGS BY. A row's key holds its
// PRIOR values (the values its children compare with) and tells, from
// the walk the engine's functions keep, whether the row closes a loop or
// lies deeper than the engine goes: such a row is not expanded, and is an
// error in the final query unless NOCYCLE drops it. Over a table with row
// ids the recursion carries only the row id and the key, and the final
// query joins the table back by row id.
//
// The stages, in the order write() runs them: the source and its alias,
// the extra columns (CONNECT_BY_ROOT, SYS_CONNECT_BY_PATH), the key and the
// conditions (qualified with __C and __P), the join-back, the recursion
// with the sibling order, and the output. Every operand is written once
// per place it stands in. The working names are listed in WorkingNames.h.

#include "Ast.h"

#include <map>
#include <string>
#include <vector>

namespace localengine::dialect {

class Emitter;

class HierarchicalQuery {
public:
    // `owner` is the query whose only block `block` is (its ORDER [SIBLINGS]
    // BY and row limit belong to the hierarchy); null inside a set operation.
    HierarchicalQuery(Emitter& emitter, const SelectBlock& block, const Query* owner);

    // Where the query is written: where a statement may start with WITH, or
    // where it cannot (after the query's own WITH, as a set operation's
    // member), there as SELECT * FROM (...).
    enum class Placement { MayStartWithWith, InsideSelectStar };
    void write(Placement placement);

    // Called by the emitter for every expression while the hierarchy writes
    // its parts: writes those that mean something else here and returns true.
    bool writes(const Expr& e);

private:
    // How writes() treats column references, LEVEL and PRIOR.
    enum class Mode {
        Qualified,  // columns of the source qualified with `m_qualifier`
        Output      // the final query: LEVEL and the CONNECT_BY_ names stand for columns
    };
    enum class PriorAs {
        Refused,    // PRIOR is not allowed here
        Collected,  // the parent's i-th key value; the operand is collected into the key
        KeyValue    // the parent's i-th key value, read from `m_priorRow`'s key
    };

    void sourceAndAlias();
    void extraColumns();
    void collectExtraColumns(const Expr& e);
    void keyAndConditions();
    std::string siblingOrder();
    void joinBack();
    std::string recursion();
    void output();

    // An expression written in Qualified mode.
    std::string qualified(const Expr& e, const std::string& qualifier, const std::string& level,
                          PriorAs prior, const std::string& priorRow = {});
    std::string key(const std::string& parentKey, const std::string& parentLevel,
                    const std::string& level);
    bool refersToSource(const ColumnRef& c) const;
    bool writeQualified(const Expr& e);
    bool writeOutput(const Expr& e);
    std::string leafTest();

    Emitter& m_emitter;
    const SelectBlock& m_block;
    const Query* m_owner;

    const TableRef* m_source = nullptr;
    std::string m_sourceText;  // the table's name or the subquery
    std::string m_tableName;   // the table's own name; empty for a subquery
    std::string m_alias;       // the name the final query reads the rows under

    Mode m_mode = Mode::Output;
    std::string m_qualifier, m_level, m_priorRow;
    PriorAs m_prior = PriorAs::Refused;
    int m_nextKey = 0;

    std::vector<const Expr*> m_priorOperands;  // in CONNECT BY order
    std::map<const Expr*, int> m_roots;        // CONNECT_BY_ROOT x -> __R<n>
    std::vector<const Expr*> m_rootOperands;
    std::map<const Expr*, int> m_paths;  // SYS_CONNECT_BY_PATH(x, s) -> __B<n>
    std::vector<const FunctionCall*> m_pathCalls;
    std::string m_leafTest;

    std::string m_connect, m_start;
    std::string m_hierarchyRow;  // the name the final query reads a row's key under
    bool m_rowIds = false;       // the source has row ids: siblings keep their stored order
    bool m_joinBack = false;
};

}  // namespace localengine::dialect
