#pragma once
// The names the engine makes up for its rewrites, all in one list. Each
// begins with two underscores, which Oracle's unquoted names cannot, so
// none collides with a user's name; none may show in a result or a plan.

#include <cstddef>
#include <string>

namespace localengine::dialect::working {

// Hierarchical queries (HierarchicalQuery.h)
constexpr const char* kHierarchy = "__H";  // the recursive WITH query holding the hierarchy's rows
constexpr const char* kChild = "__C";      // the source's row being added (the child)
constexpr const char* kParent = "__P";     // the hierarchy's row it hangs under (the parent)
constexpr const char* kLeafProbe = "__L";  // a source row tested as a child, for CONNECT_BY_ISLEAF
constexpr const char* kUnnamedSource = "__Q";  // the name of a subquery source without an alias
constexpr const char* kLevel = "__LVL";        // column: LEVEL
constexpr const char* kRowId = "__SEQ";  // column: the source row's id (sibling order, join-back)
constexpr const char* kPath = "__PATH";  // column: the keys of the row's ancestors, for loops
constexpr const char* kCycle =
    "__CYC";  // column: 1 when the row closes a loop, 2 past the depth limit

// column: the row's value of the n-th PRIOR operand, carried for its children
inline std::string keyColumn(std::size_t n) {
    return "__K" + std::to_string(n);
}
// column: CONNECT_BY_ROOT of the n-th operand, carried from the root down
inline std::string rootColumn(std::size_t n) {
    return "__R" + std::to_string(n);
}
// column: the n-th SYS_CONNECT_BY_PATH, grown by one element per level
inline std::string pathColumn(std::size_t n) {
    return "__B" + std::to_string(n);
}

}  // namespace localengine::dialect::working
