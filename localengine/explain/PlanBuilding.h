#pragma once
// What the parts of the plan mapping share (not for use outside explain/):
// building plan steps with their estimates, and the mapper's working types.

#include <map>
#include <string>
#include <vector>

#include "explain/CostModel.h"
#include "explain/ExplainMapper.h"
#include "explain/OracleOperations.h"

namespace localengine::explain {

PlanStep step(std::string operation, std::string options = {});
// A step over one child that passes the child's estimates on.
PlanStep over(PlanStep child, std::string operation, std::string options = {});
// A SORT over one child: the child's rows, plus the cost of sorting them.
PlanStep sortOver(PlanStep child, std::string options);
// A step whose children run one after the other (UNION-ALL): their costs,
// rows and bytes added up.
void sumChildren(PlanStep& s);
// Adds a condition to a step's ACCESS_ or FILTER_PREDICATES (joined by AND).
void appendPredicateText(std::string& list, const std::string& text);
// Appends a line to the step's OTHER text.
void appendOther(PlanStep& s, const std::string& text);

// A number as a condition shows it: whole numbers without a fraction.
std::string formatNumber(double value);

// An index the schema does not describe, known only by its name.
IndexInfo unknownIndex(const std::string& name, const std::string& table);

// A name SQLite gives a subquery it prints no name for.
bool isUnnamedSubquery(const std::string& name);
// "main.t" -> "t".
std::string stripSchema(const std::string& name);
// Lines that are a row source of their block, joined in order.
bool isLoopKind(DetailKind k);

// OBJECT_ALIAS of the VIEW step of an inline view: its alias, or the name
// Oracle makes up for one without (from$_subquery$_001 for the first item
// of the FROM clause), with the query block it is read in.
std::string inlineViewAlias(const dialect::QueryBlockFacts& reader, std::size_t table);

// Joins two set-operation inputs (`op` as SQLite prints it: UNION ALL,
// UNION, EXCEPT, INTERSECT), flattening a left input that already is the
// same operation (`leftOp`), since Oracle shows one UNION-ALL with n
// branches.
PlanStep setOperation(PlanStep left, PlanStep right, const std::string& op, std::string& leftOp);

// The sorts SQLite's USE TEMP B-TREE lines announce for one block.
struct GroupSorts {
    bool order = false;         // ... FOR ORDER BY
    bool partialOrder = false;  // ... FOR LAST n TERMS OF ORDER BY
    bool group = false;         // ... FOR GROUP BY
    bool distinct = false;      // ... FOR DISTINCT
    bool aggregate = false;     // ... FOR count(DISTINCT) / an ordered aggregate
    std::string notes;          // the lines, for OTHER
};

struct PlanMapper::Scope {
    bool root = false;
    std::string recursiveName;  // the CTE whose recursive step is being mapped
};

// The conditions a block of the SQLite text applies: a block written in
// parts (a hierarchy's start and children) has its own.
dialect::QueryBlockFacts::Predicate::Clause clauseOf(const SelectBlock* block);

// One row source of a block, in join order.
struct PlanMapper::Loop {
    const Node* node = nullptr;
    PlanStep step;
    std::string printed;  // name as SQLite printed it
    std::string table;    // real table name
    bool leftJoin = false;
    bool hash = false;    // built from an automatic index: a hash join
    double perProbe = 1;  // rows one probe of the automatic index finds
    bool compound = false;
    std::string rightOuter;                 // "RIGHT OUTER" / "FULL OUTER"
    std::vector<std::string> equalColumns;  // lower case
    int factBlock = -1;                     // the block whose facts name its table
    int tableFact = -1;                     // the table it reads (index in those facts)
    std::string joinAccess;                 // predicates of the hash join it makes
    std::string joinFilter;
};

// The lines of one group, sorted by what becomes of each: row sources,
// expression subqueries, views coded for later reading, sorts, and steps
// that only show below the block's top step.
struct PlanMapper::GroupLines {
    struct Subquery {
        const Node* node;
        int afterLoop;  // index of the row source listed before it, -1 for none
    };
    std::vector<const Node*> loops;
    std::vector<Subquery> subqueries;
    std::vector<PlanStep> extras;
    std::vector<std::string> rightJoins;  // tables of RIGHT-JOIN lines
    std::map<std::string, int> blooms;    // upper table name -> Bloom filter number
    ViewMap views;                        // upper name -> VIEW step
    std::vector<std::string> viewOrder;   // keys of `views` in plan order
    GroupSorts sorts;
};

}  // namespace localengine::explain
