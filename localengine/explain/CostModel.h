#pragma once
// The estimates behind COST and CARDINALITY: a deliberately simple cost
// model in the spirit of Oracle's. Cost counts block reads; a nested loop
// pays its inner cost once per outer row; a sort pays n log n. The numbers
// only need to rank plans sensibly and to grow with the data. Each rule
// the mapping applies is named here with its reason.

#include <cmath>

namespace localengine::explain::costs {

// Rows assumed for a table that has no statistics (never analysed).
inline constexpr double kDefaultTableRows = 1000;
// No estimate grows past this: joins of many large tables would overflow.
inline constexpr double kMaxEstimate = 1e15;

// Rows of a table and entries of an index that one block read returns.
inline constexpr double kTableRowsPerBlock = 50;
inline constexpr double kIndexEntriesPerBlock = 200;
// Table rows fetched through rowids from an index cost one read per this
// many rows (they cluster a little, less than a full scan's blocks).
inline constexpr double kRowsPerRowidFetch = 5;
// Comparisons of a sort that cost one unit.
inline constexpr double kSortComparisonsPerUnit = 2000;

// Without statistics: each equality on a further key column keeps a tenth
// of the rows (n / 10^columns) ...
inline constexpr double kKeyColumnSelectivity = 10;
// ... and each bound of a range (c > ?, c < ?) a quarter of them.
inline constexpr double kRangeBoundSelectivity = 4;
// A GROUP BY leaves a tenth of its input rows as groups.
inline constexpr double kRowsPerGroup = 10;
// A recursive WITH is taken to produce ten times its anchor's rows.
inline constexpr double kRecursionGrowth = 10;
// A virtual table that gives no estimate of its own.
inline constexpr double kDefaultVirtualRows = 100;

// Fixed costs: one probe of a unique key (or a rowid); one probe at each
// end of an index for min()/max(); the constant row source; the build of
// a hash join's transient index beyond the scans it reads.
inline constexpr double kUniqueProbeCost = 1;
inline constexpr double kMinMaxProbeCost = 2;
inline constexpr double kFastDualCost = 2;
inline constexpr double kHashBuildCost = 1;
// A view read again where it was coded once elsewhere in the plan.
inline constexpr double kViewReuseCost = 1;

inline double tableScanCost(double rows) {
    return 1 + std::ceil(rows / kTableRowsPerBlock);
}
inline double indexScanCost(double rows) {
    return 1 + std::ceil(rows / kIndexEntriesPerBlock);
}
inline double rowidFetchCost(double rows) {
    return std::ceil(rows / kRowsPerRowidFetch);
}
inline double sortCost(double rows) {
    return rows < 2 ? 0 : 1 + std::ceil(rows * std::log2(rows) / kSortComparisonsPerUnit);
}
// The rows a range with the given bounds keeps of `rows`.
inline double rangeRows(double rows, bool lower, bool upper) {
    if (lower)
        rows /= kRangeBoundSelectivity;
    if (upper)
        rows /= kRangeBoundSelectivity;
    return rows;
}
// Rows per distinct value of the first `columns` key columns of an index
// over `rows` rows, when statistics do not say.
inline double guessedRowsPerKey(double rows, int columns) {
    return rows / std::pow(kKeyColumnSelectivity, columns);
}

}  // namespace localengine::explain::costs
