#pragma once
// The names the engine makes up for its rewrites, all in one list. Each
// begins with two underscores, which Oracle's unquoted names cannot, so
// none collides with a user's name; none may show in a result or a plan.

#include <cstddef>
#include <string>

namespace localengine::dialect::working {

// Hierarchical queries (HierarchicalQuery.h):

// the recursive WITH query holding the hierarchy's rows
constexpr const char* kHierarchy = "__H";
// the source's row being added (the child)
constexpr const char* kChild = "__C";
// the hierarchy's row it hangs under (the parent)
constexpr const char* kParent = "__P";
// a source row tested as a child of a hierarchy row, for CONNECT_BY_ISLEAF
constexpr const char* kLeafProbe = "__L";
// the name of a subquery source that has no alias
constexpr const char* kUnnamedSource = "__Q";
// column: LEVEL
constexpr const char* kLevel = "__LVL";
// column: the source row's id (the siblings' stored order, the join-back)
constexpr const char* kRowId = "__SEQ";
// column: the row's key (ORA_HIER_KEY): its PRIOR values, which its children
// compare with, and whether it closes a loop or lies deeper than the engine goes
constexpr const char* kKey = "__KEY";

// column: CONNECT_BY_ROOT of the n-th operand, carried from the root down
inline std::string rootColumn(std::size_t n) {
    return "__R" + std::to_string(n);
}
// column: the n-th SYS_CONNECT_BY_PATH, grown by one element per level
inline std::string pathColumn(std::size_t n) {
    return "__B" + std::to_string(n);
}

// Scalar subqueries (Emitter::scalarSubquery): the query read for its one row
constexpr const char* kScalar = "__S";
// IN (subquery) whose column is converted to the compared type: the query read
constexpr const char* kConverted = "__V";
// x op ANY|ALL (subquery): the subquery's one column, and the query holding it
constexpr const char* kCompared = "__X";
constexpr const char* kComparedRows = "__W";

// Rows an INSERT ... SELECT or SET (a, b) = (query) stores (Emitter::storedQuery)
constexpr const char* kStoredRows = "__V";
// column: the n-th value of such a row
inline std::string storedColumn(std::size_t n) {
    return "__V" + std::to_string(n);
}

// UNPIVOT (Emitter::unpivotSource): the numbers of the IN items, and its column
constexpr const char* kUnpivotItems = "__U";
constexpr const char* kUnpivotItem = "__UN";

// INSERT ALL | FIRST (EmitMultitable.cpp): the temporary table holding the
// subquery's rows, and its n-th column
constexpr const char* kMultitableRows = "__MT";
inline std::string multitableColumn(std::size_t n) {
    return "__MT" + std::to_string(n);
}

}  // namespace localengine::dialect::working
