#pragma once
// What the engine estimates of a table by reading a small sample of it, for
// the plan's numbers when sqlite_stat1 says nothing (a file never analysed,
// a table created after the last ANALYZE) and for what sqlite_stat1 never
// says (how wide the rows are, how many distinct values a column holds).
//
// Cheap on any table: a table of a few thousand rows is read whole; a
// larger one is sampled in a fixed number of runs of consecutive rows,
// spread evenly over its rowids, and its row count derived from how densely
// the runs are packed (a small table is then counted exactly). The sample
// is the same every time for the same data, so the estimates are too.
//
// Sizes are counted as Oracle stores the values (AVG_COL_LEN: one length
// byte, numbers in Oracle's packed decimal, DATE in 7 bytes), since the
// plan's BYTES are read beside an Oracle server's.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/SchemaReader.h"

struct sqlite3;

namespace localengine::schema {

// The storage the estimates assume, Oracle's default: 8 KB blocks kept 10 %
// free for updates, so that block counts read like an Oracle server's.
inline constexpr double kBlockBytes = 8192;
inline constexpr double kBlockUsableBytes = 8192 * 0.9 - 100;  // less the block header
inline constexpr double kRowHeaderBytes = 3;

struct ColumnEstimate {
    std::string name;           // as spelled in the schema
    double averageLength = 1;   // bytes per row, Oracle's AVG_COL_LEN
    double distinct = 1;        // distinct non-null values
    double nullFraction = 0;    // share of rows where it is null
    bool numeric = false;       // the values seen are numbers
    std::optional<double> low;  // smallest and largest number seen (numeric only)
    std::optional<double> high;
};

struct IndexEstimate {
    // Rows per distinct value of the first 1, 2, ... key columns (the
    // numbers sqlite_stat1 would hold after the row count).
    std::vector<double> rowsPerKey;
    // Oracle's clustering factor: table blocks visited when reading every
    // row in index order (between the table's blocks and its rows).
    double clusteringFactor = 1;
};

struct TableEstimate {
    double rows = 0;
    bool counted = false;  // the row count is exact
    bool sampled = false;  // the column figures come from part of the rows
    std::vector<ColumnEstimate> columns;
    std::map<std::string, IndexEstimate> indexes;  // upper-case index name

    // Oracle's average row length: the row header and every column.
    double averageRowLength() const;
    // Table blocks the rows fill (at least one).
    double blocks() const;
    const ColumnEstimate* column(std::string_view name) const;
    const IndexEstimate* index(std::string_view name) const;
};

// Limits of the reading, named for the documentation of the cost model.
inline constexpr int kSampleRuns = 10;               // runs of consecutive rows sampled
inline constexpr int kSampleRunRows = 100;           // rows per run
inline constexpr double kReadWholeRowids = 4000;     // rowid span read whole
inline constexpr double kCountExactlyBelow = 50000;  // estimated rows counted exactly

// Estimates one table of the main database from its rows. `columns` and
// `indexes` are the schema reader's; `withoutRowid` for a WITHOUT ROWID
// table. Nothing when the table cannot be read. Never writes.
std::optional<TableEstimate> estimateTable(sqlite3* db, const std::string& table,
                                           const std::vector<ColumnDef>& columns,
                                           const std::vector<IndexDef>& indexes, bool withoutRowid);

// Oracle's size of a number in its packed decimal form, without the length
// byte: one exponent byte and one byte per two significant digits (a
// negative number one byte more). Zero takes one byte.
int oracleNumberBytes(double value);
int oracleNumberBytes(long long value);

// The distinct values of a column of `total` rows, from a sample of
// `sampled` values with `distinctSeen` different ones of which `seenOnce`
// occur once (Haas and Stokes' Duj1 estimator): the sample's own count when
// the sample is everything.
double estimateDistinct(double sampled, double distinctSeen, double seenOnce, double total);

}  // namespace localengine::schema
