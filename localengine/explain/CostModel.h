#pragma once
// The estimates behind COST, IO_COST, CPU_COST, CARDINALITY, BYTES and TIME:
// Oracle's cost model in its simplest documented form, fed with the
// statistics (sqlite_stat1) where they exist and with the engine's own
// sampled estimates (schema/TableEstimate.h) where they do not.
//
// A cost is counted in single-block reads, as Oracle counts it: the I/O
// part in blocks read (multiblock reads of a full scan weighted by their
// longer read time), the CPU part in cycles turned into the time of one
// block read. Every rule is documented in docs/cost-model.md; the constants
// are Oracle's defaults for a system without workload statistics.

#include <algorithm>
#include <cmath>

namespace localengine::explain::costs {

// ---------------------------------------------------------- the system --

// Blocks one multiblock read fetches (db_file_multiblock_read_count).
inline constexpr double kMultiblockReadCount = 8;
// Milliseconds of a single-block read (sreadtim: a 10 ms seek plus 8 KB at
// 4 KB/ms) and of a multiblock read of 8 blocks (mreadtim).
inline constexpr double kSingleBlockReadMs = 12;
inline constexpr double kMultiblockReadMs = 26;
// CPU cycles per millisecond (a 1000 MHz CPU).
inline constexpr double kCyclesPerMs = 1e6;
// One unit of cost: the time of one single-block read, in cycles.
inline constexpr double kCyclesPerCostUnit = kSingleBlockReadMs * kCyclesPerMs;

// ------------------------------------------------------ CPU per work --

inline constexpr double kCyclesPerBlock = 7000;      // a block visited by a scan
inline constexpr double kCyclesPerRow = 150;         // a row taken from a block
inline constexpr double kCyclesPerIndexEntry = 100;  // an index entry read
inline constexpr double kCyclesPerProbe = 8000;      // one descent from root to leaf
inline constexpr double kCyclesPerComparison = 150;  // one comparison of a sort
inline constexpr double kCyclesPerHashedRow = 250;   // a row put into or probed in a hash table
inline constexpr double kCyclesPerRowPassed = 50;    // a row passed on by a step that keeps it

// ------------------------------------------------------------ defaults --

// Rows of a table nothing is known of (an unreadable table, a made-up
// schema without figures).
inline constexpr double kDefaultTableRows = 1000;
// Bytes per column of such a table.
inline constexpr double kDefaultColumnBytes = 10;
// Bytes of a rowid, and the overhead of an index entry beside its key.
inline constexpr double kRowidBytes = 10;
inline constexpr double kIndexEntryOverheadBytes = 8;
// Share of rows a range keeps when its bounds are not known (bind values):
// Oracle's 5 % for one bound and 5 % of 5 % for two.
inline constexpr double kOpenRangeSelectivity = 0.05;
inline constexpr double kClosedRangeSelectivity = 0.0025;
// Without statistics for a key column, each further equality keeps this
// share of the rows.
inline constexpr double kKeyColumnSelectivity = 0.1;
// Groups of a GROUP BY when the grouping columns are not known: this share
// of its input rows.
inline constexpr double kGroupShare = 0.1;
// A recursive WITH is taken to produce ten times its anchor's rows.
inline constexpr double kRecursionGrowth = 10;
// A virtual table that gives no estimate of its own.
inline constexpr double kDefaultVirtualRows = 100;
// No estimate grows past this: joins of many large tables would overflow.
inline constexpr double kMaxEstimate = 1e15;

// ---------------------------------------------------------------- cost --

struct Cost {
    double io = 0;   // blocks (single-block reads)
    double cpu = 0;  // cycles

    double total() const { return io + cpu / kCyclesPerCostUnit; }
    Cost& operator+=(const Cost& o) {
        io = std::min(io + o.io, kMaxEstimate);
        cpu = std::min(cpu + o.cpu, kMaxEstimate * kCyclesPerCostUnit);
        return *this;
    }
};

inline Cost operator+(Cost a, const Cost& b) {
    return a += b;
}
// The cost of running a step `times` times.
inline Cost operator*(double times, const Cost& c) {
    return Cost{std::min(times * c.io, kMaxEstimate),
                std::min(times * c.cpu, kMaxEstimate * kCyclesPerCostUnit)};
}
inline Cost cpuOnly(double cycles) {
    return Cost{0, cycles};
}

// ------------------------------------------------------------ accesses --

// A full scan of `blocks` blocks holding `rows` rows: multiblock reads,
// each weighted by its read time against a single block's, plus one block
// for the segment header.
inline Cost fullScan(double rows, double blocks) {
    const double io =
        std::ceil(blocks * kMultiblockReadMs / (kMultiblockReadCount * kSingleBlockReadMs)) + 1;
    return Cost{io, blocks * kCyclesPerBlock + rows * kCyclesPerRow};
}

// The shape of a B-tree index over `entries` entries of `entryBytes` each.
struct IndexShape {
    double entries = 1;
    double leafBlocks = 1;
    double blevel = 0;  // branch levels above the leaves
    double clusteringFactor = 1;
};

inline IndexShape indexShape(double entries, double entryBytes, double usableBlockBytes,
                             double clusteringFactor) {
    IndexShape s;
    s.entries = std::max(1.0, entries);
    const double perBlock = std::max(2.0, usableBlockBytes / std::max(1.0, entryBytes));
    s.leafBlocks = std::max(1.0, std::ceil(s.entries / perBlock));
    s.blevel = s.leafBlocks <= 1 ? 0 : std::ceil(std::log(s.leafBlocks) / std::log(perBlock));
    s.clusteringFactor = std::max(1.0, clusteringFactor);
    return s;
}

// One key looked up in a unique index: the branch levels (the leaf comes
// with the table block it points to).
inline Cost uniqueProbe(const IndexShape& ix) {
    return Cost{ix.blevel, kCyclesPerProbe};
}

// A range of `entries` entries: the descent, then the leaf blocks holding
// that share of the entries.
inline Cost rangeScan(const IndexShape& ix, double entries) {
    const double share = std::min(1.0, entries / ix.entries);
    return Cost{ix.blevel + std::ceil(ix.leafBlocks * share),
                kCyclesPerProbe + entries * kCyclesPerIndexEntry};
}

// Every leaf block in key order, one block at a time.
inline Cost fullIndexScan(const IndexShape& ix) {
    return Cost{ix.blevel + ix.leafBlocks,
                ix.leafBlocks * kCyclesPerBlock + ix.entries * kCyclesPerIndexEntry};
}

// Every leaf block in no order, with multiblock reads as a full scan.
inline Cost fastFullScan(const IndexShape& ix) {
    Cost c = fullScan(0, ix.leafBlocks);
    c.cpu += ix.entries * kCyclesPerIndexEntry;
    return c;
}

// The table rows behind `rows` index entries: the clustering factor's
// share of table blocks (one block per row at worst).
inline Cost rowidFetch(const IndexShape& ix, double rows) {
    const double share = std::min(1.0, rows / ix.entries);
    return Cost{std::ceil(ix.clusteringFactor * share), rows * kCyclesPerRow};
}

// DUAL's row made up in memory (FAST DUAL): Oracle charges it two block
// reads all the same, whatever the rows.
inline Cost fastDual(double rows) {
    return Cost{2, rows * kCyclesPerRowPassed};
}

// One row fetched by its rowid.
inline Cost rowidProbe() {
    return Cost{1, kCyclesPerRow};
}

// ---------------------------------------------------------- operations --

// An in-memory sort of `rows` rows: n log n comparisons.
inline Cost sort(double rows) {
    if (rows < 2)
        return cpuOnly(rows * kCyclesPerRowPassed);
    return cpuOnly(rows * std::log2(rows) * kCyclesPerComparison + rows * kCyclesPerRow);
}

// A hash join: every row of both inputs hashed or probed once.
inline Cost hashJoin(double buildRows, double probeRows) {
    return cpuOnly((buildRows + probeRows) * kCyclesPerHashedRow);
}

// Grouping (or removing duplicates) through a hash table: every row hashed
// once.
inline Cost hashAggregate(double rows) {
    return cpuOnly(rows * kCyclesPerHashedRow);
}

// A step that only passes rows on (VIEW, COUNT, FILTER, an aggregate).
inline Cost pass(double rows) {
    return cpuOnly(rows * kCyclesPerRowPassed);
}

// Seconds the step is expected to take: its cost in block reads times the
// read time, at least a second (as Oracle shows it).
inline double timeSeconds(double cost) {
    return std::max(1.0, std::ceil(cost * kSingleBlockReadMs / 1000));
}

// A share of rows, never below one row of `rows` (Oracle shows at least
// one row on every step).
inline double atLeastOneRow(double rows) {
    return std::clamp(rows, 1.0, kMaxEstimate);
}

}  // namespace localengine::explain::costs
