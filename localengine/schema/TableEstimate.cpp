#include "schema/TableEstimate.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine::schema {

namespace {

using sqlite::quoteName;
using sqlite::sameName;
using sqlite::upperName;

// How a declared type stores its values in Oracle, where that is fixed.
enum class Storage { ByValue, Date, Timestamp };

Storage storageOf(const std::string& declaredType) {
    const std::string t = upperName(declaredType);
    if (t == "DATE")
        return Storage::Date;
    if (t.rfind("TIMESTAMP", 0) == 0)
        return Storage::Timestamp;
    return Storage::ByValue;
}

// What the sample keeps of one value: its Oracle size and a key that equal
// values share (1 and 1.0 alike).
struct Value {
    int bytes = 1;
    bool null = true;
    bool numeric = false;
    double number = 0;
    std::string key;
};

void appendKey(std::string& key, char tag, const void* data, std::size_t size) {
    key += tag;
    const auto n = static_cast<std::uint32_t>(size);
    key.append(reinterpret_cast<const char*>(&n), sizeof n);
    key.append(static_cast<const char*>(data), size);
}

Value readValue(sqlite3_stmt* s, int column, Storage storage) {
    Value v;
    switch (sqlite3_column_type(s, column)) {
        case SQLITE_NULL:
            v.key = "N";
            return v;
        case SQLITE_INTEGER: {
            const long long i = sqlite3_column_int64(s, column);
            v.bytes = 1 + oracleNumberBytes(i);
            v.numeric = true;
            v.number = static_cast<double>(i);
            appendKey(v.key, 'I', &i, sizeof i);
            break;
        }
        case SQLITE_FLOAT: {
            const double d = sqlite3_column_double(s, column);
            v.bytes = 1 + oracleNumberBytes(d);
            v.numeric = true;
            v.number = d;
            if (std::nearbyint(d) == d && std::fabs(d) < 9.2e18) {
                const auto i = static_cast<long long>(d);
                appendKey(v.key, 'I', &i, sizeof i);
            } else {
                appendKey(v.key, 'R', &d, sizeof d);
            }
            break;
        }
        case SQLITE_TEXT: {
            const auto* text = sqlite3_column_text(s, column);
            const int n = sqlite3_column_bytes(s, column);
            v.bytes = 1 + n;
            appendKey(v.key, 'T', text, static_cast<std::size_t>(n));
            break;
        }
        default: {
            const void* blob = sqlite3_column_blob(s, column);
            const int n = sqlite3_column_bytes(s, column);
            v.bytes = 1 + n;
            appendKey(v.key, 'B', blob, static_cast<std::size_t>(n));
            break;
        }
    }
    v.null = false;
    if (storage == Storage::Date)
        v.bytes = 1 + 7;
    else if (storage == Storage::Timestamp)
        v.bytes = 1 + 11;
    return v;
}

// One sampled row: its values and where it sits among the table's rows
// (an estimate of its ordinal in storage order).
struct SampledRow {
    double ordinal = 0;
    std::vector<Value> values;
};

struct Sample {
    std::vector<SampledRow> rows;
    double tableRows = 0;
    bool counted = false;
    bool everything = false;  // every row of the table is in the sample
};

// The name under which the rowid can be selected: one of its three names
// that no column takes. Empty when all three are taken.
std::string rowidName(const std::vector<ColumnDef>& columns) {
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        bool taken = false;
        for (const ColumnDef& c : columns)
            taken = taken || sameName(c.name, name);
        if (!taken)
            return name;
    }
    return {};
}

std::string selectList(const std::vector<ColumnDef>& columns) {
    std::string list;
    for (const ColumnDef& c : columns)
        list += ", " + quoteName(c.name);
    return list;
}

class Reader {
public:
    Reader(sqlite3* db, const std::string& table, const std::vector<ColumnDef>& columns)
        : m_db(db), m_table("main." + quoteName(table)), m_columns(columns) {
        for (const ColumnDef& c : columns)
            m_storage.push_back(storageOf(c.declaredType));
    }

    // Rows in storage order from `from` on (rowid tables), at most `limit`
    // (negative: all); the rowid of each in `rowids`.
    void readRun(sqlite::Statement& s, std::vector<SampledRow>& out, std::vector<long long>* rowids,
                 int firstValue) {
        while (s.step()) {
            SampledRow r;
            r.values.reserve(m_columns.size());
            for (std::size_t c = 0; c < m_columns.size(); ++c)
                r.values.push_back(
                    readValue(s.get(), firstValue + static_cast<int>(c), m_storage[c]));
            if (rowids)
                rowids->push_back(s.integer(0));
            out.push_back(std::move(r));
        }
    }

    long long scalar(const std::string& sql) {
        sqlite::Statement s(m_db, sql);
        return s.step() ? s.integer(0) : 0;
    }

    bool rowidEnd(const std::string& rowid, bool last, long long& value) {
        sqlite::Statement s(m_db, "SELECT " + rowid + " FROM " + m_table + " ORDER BY " + rowid +
                                      (last ? " DESC" : "") + " LIMIT 1");
        if (!s.step())
            return false;
        value = s.integer(0);
        return true;
    }

    Sample rowidSample(const std::string& rowid) {
        Sample sample;
        long long lo = 0, hi = 0;
        if (!rowidEnd(rowid, false, lo) || !rowidEnd(rowid, true, hi)) {
            sample.counted = sample.everything = true;
            return sample;
        }
        const double span = static_cast<double>(hi) - static_cast<double>(lo) + 1;
        const std::string select = "SELECT " + rowid + selectList(m_columns) + " FROM " + m_table +
                                   " WHERE " + rowid + " >= ?1 ORDER BY " + rowid;
        if (span <= kReadWholeRowids) {
            sqlite::Statement all(m_db, select);
            all.bind(1, static_cast<std::int64_t>(lo));
            readRun(all, sample.rows, nullptr, 1);
            for (std::size_t i = 0; i < sample.rows.size(); ++i)
                sample.rows[i].ordinal = static_cast<double>(i);
            sample.tableRows = static_cast<double>(sample.rows.size());
            sample.counted = sample.everything = true;
            return sample;
        }
        // Runs of consecutive rows from evenly spaced rowids: the density
        // of each run (rows per rowid) estimates the table's.
        sqlite::Statement run(m_db, select + " LIMIT " + std::to_string(kSampleRunRows));
        std::vector<std::pair<long long, std::size_t>> starts;  // rowid, first sampled row
        std::vector<long long> rowids;
        double density = 0;
        for (int i = 0; i < kSampleRuns; ++i) {
            const auto start = lo + static_cast<long long>(std::floor(
                                        static_cast<long double>(span) * i / kSampleRuns));
            const std::size_t first = sample.rows.size();
            run.bind(1, static_cast<std::int64_t>(start));
            readRun(run, sample.rows, &rowids, 1);
            run.reset();
            const std::size_t read = sample.rows.size() - first;
            const long long last = read ? rowids.back() : hi;
            const double covered = read == static_cast<std::size_t>(kSampleRunRows)
                                       ? static_cast<double>(last) - static_cast<double>(start) + 1
                                       : static_cast<double>(hi) - static_cast<double>(start) + 1;
            density += covered > 0 ? static_cast<double>(read) / covered : 0;
            starts.emplace_back(start, first);
        }
        density /= kSampleRuns;
        // Runs that overlapped (a sparse table) keep each row once.
        std::unordered_set<long long> seen;
        std::vector<SampledRow> unique;
        for (std::size_t i = 0; i < sample.rows.size(); ++i) {
            if (!seen.insert(rowids[i]).second)
                continue;
            sample.rows[i].ordinal =
                (static_cast<double>(rowids[i]) - static_cast<double>(lo)) * density;
            unique.push_back(std::move(sample.rows[i]));
        }
        sample.rows = std::move(unique);
        sample.tableRows = std::max(static_cast<double>(sample.rows.size()), span * density);
        if (sample.tableRows < kCountExactlyBelow) {
            sample.tableRows = static_cast<double>(scalar("SELECT count(*) FROM " + m_table));
            sample.counted = true;
            sample.everything = sample.tableRows <= static_cast<double>(sample.rows.size());
        }
        return sample;
    }

    // A table without rowids is read in key order from its start: the
    // first rows alone for the columns, a count that stops at a bound.
    Sample keyOrderSample() {
        Sample sample;
        const auto whole = static_cast<long long>(kReadWholeRowids);
        sqlite::Statement first(m_db, "SELECT 0" + selectList(m_columns) + " FROM " + m_table +
                                          " LIMIT " + std::to_string(whole + 1));
        readRun(first, sample.rows, nullptr, 1);
        for (std::size_t i = 0; i < sample.rows.size(); ++i)
            sample.rows[i].ordinal = static_cast<double>(i);
        if (sample.rows.size() <= static_cast<std::size_t>(whole)) {
            sample.tableRows = static_cast<double>(sample.rows.size());
            sample.counted = sample.everything = true;
            return sample;
        }
        const auto bound = static_cast<long long>(kCountExactlyBelow) * 4;
        const long long n = scalar("SELECT count(*) FROM (SELECT 1 FROM " + m_table + " LIMIT " +
                                   std::to_string(bound + 1) + ")");
        sample.tableRows = static_cast<double>(n);
        sample.counted = n <= bound;
        return sample;
    }

private:
    sqlite3* m_db;
    std::string m_table;
    const std::vector<ColumnDef>& m_columns;
    std::vector<Storage> m_storage;
};

// Distinct keys of a list: how many, and how many occur once.
template <typename KeyOf>
std::pair<double, double> countDistinct(std::size_t n, KeyOf keyOf) {
    std::unordered_map<std::string, int> counts;
    counts.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string* key = keyOf(i);
        if (key)
            ++counts[*key];
    }
    double once = 0;
    for (const auto& [key, count] : counts)
        once += count == 1 ? 1 : 0;
    return {static_cast<double>(counts.size()), once};
}

void estimateColumns(const Sample& sample, const std::vector<ColumnDef>& columns,
                     TableEstimate& out) {
    const double n = static_cast<double>(sample.rows.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        ColumnEstimate e;
        e.name = columns[c].name;
        double bytes = 0, nulls = 0;
        bool numeric = true;
        for (const SampledRow& r : sample.rows) {
            const Value& v = r.values[c];
            bytes += v.bytes;
            if (v.null) {
                ++nulls;
                continue;
            }
            numeric = numeric && v.numeric;
            if (v.numeric) {
                e.low = std::min(e.low.value_or(v.number), v.number);
                e.high = std::max(e.high.value_or(v.number), v.number);
            }
        }
        if (n > 0) {
            e.averageLength = bytes / n;
            e.nullFraction = nulls / n;
        }
        e.numeric = numeric && n > nulls;
        if (!e.numeric)
            e.low = e.high = std::nullopt;
        const auto [distinct, once] = countDistinct(sample.rows.size(), [&](std::size_t i) {
            const Value& v = sample.rows[i].values[c];
            return v.null ? nullptr : &v.key;
        });
        const double nonNullRows = out.rows * (1 - e.nullFraction);
        e.distinct =
            sample.everything ? distinct : estimateDistinct(n - nulls, distinct, once, nonNullRows);
        e.distinct = std::max(e.distinct, nonNullRows > 0 ? 1.0 : 0.0);
        out.columns.push_back(std::move(e));
    }
}

// The order of two values in an index: as SQLite orders them (nulls
// first, then numbers by value, then text and blobs by their bytes). The
// keys that tell equal values apart do not sort that way (their lengths
// and numbers are stored in machine order).
int compareValues(const Value& a, const Value& b) {
    if (a.null || b.null)
        return a.null == b.null ? 0 : (a.null ? -1 : 1);
    if (a.numeric || b.numeric) {
        if (a.numeric != b.numeric)
            return a.numeric ? -1 : 1;
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    }
    if (a.key[0] != b.key[0])
        return a.key[0] == 'T' ? -1 : 1;  // text before blobs
    constexpr std::size_t kHeader = 1 + sizeof(std::uint32_t);
    const int k = a.key.compare(kHeader, std::string::npos, b.key, kHeader, std::string::npos);
    return k < 0 ? -1 : (k > 0 ? 1 : 0);
}

void estimateIndexes(const Sample& sample, const std::vector<ColumnDef>& columns,
                     const std::vector<IndexDef>& indexes, TableEstimate& out) {
    const std::size_t n = sample.rows.size();
    const double rowsPerBlock =
        std::max(1.0, kBlockUsableBytes / std::max(1.0, out.averageRowLength()));
    for (const IndexDef& index : indexes) {
        std::vector<std::size_t> keyColumns;
        for (const IndexColumn& k : index.columns) {
            if (k.expression)
                break;
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (sameName(columns[c].name, k.name))
                    keyColumns.push_back(c);
        }
        if (keyColumns.empty() || n == 0)
            continue;
        IndexEstimate e;
        std::vector<std::string> keys(n);
        for (std::size_t k = 0; k < keyColumns.size(); ++k) {
            for (std::size_t i = 0; i < n; ++i)
                keys[i] += sample.rows[i].values[keyColumns[k]].key;
            const auto [distinct, once] = countDistinct(n, [&](std::size_t i) { return &keys[i]; });
            double d = sample.everything
                           ? distinct
                           : estimateDistinct(static_cast<double>(n), distinct, once, out.rows);
            if (index.unique && k + 1 == index.columns.size())
                d = out.rows;
            e.rowsPerKey.push_back(std::max(1.0, out.rows / std::max(1.0, d)));
        }
        // Blocks visited in key order: count the changes of block between
        // neighbours in key order, scaled from the sample to the table.
        std::vector<std::size_t> order(n);
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            for (std::size_t c : keyColumns) {
                const int k = compareValues(sample.rows[a].values[c], sample.rows[b].values[c]);
                if (k != 0)
                    return k < 0;
            }
            return false;  // equal keys stay in storage (rowid) order, as in the index
        });
        double changes = 0;
        double lastBlock = -1;
        for (std::size_t i : order) {
            const double block = std::floor(sample.rows[i].ordinal / rowsPerBlock);
            if (block != lastBlock)
                ++changes;
            lastBlock = block;
        }
        e.clusteringFactor = std::clamp(changes / static_cast<double>(n) * out.rows,
                                        std::min(out.blocks(), out.rows), std::max(1.0, out.rows));
        out.indexes[upperName(index.name)] = std::move(e);
    }
}

int digitsBytes(int significantDigits, bool negative) {
    return 1 + (significantDigits + 1) / 2 + (negative ? 1 : 0);
}

}  // namespace

double TableEstimate::averageRowLength() const {
    double length = kRowHeaderBytes;
    for (const ColumnEstimate& c : columns)
        length += c.averageLength;
    return length;
}

double TableEstimate::blocks() const {
    return std::max(1.0, std::ceil(rows * averageRowLength() / kBlockUsableBytes));
}

const ColumnEstimate* TableEstimate::column(std::string_view name) const {
    for (const ColumnEstimate& c : columns)
        if (sameName(c.name, name))
            return &c;
    return nullptr;
}

const IndexEstimate* TableEstimate::index(std::string_view name) const {
    auto it = indexes.find(upperName(name));
    return it == indexes.end() ? nullptr : &it->second;
}

int oracleNumberBytes(long long value) {
    if (value == 0)
        return 1;
    const bool negative = value < 0;
    unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value)
                                    : static_cast<unsigned long long>(value);
    // Trailing zero pairs are carried by the exponent, not stored.
    while (v % 100 == 0)
        v /= 100;
    int digits = 0;
    for (unsigned long long rest = v; rest; rest /= 10)
        ++digits;
    return digitsBytes(digits, negative);
}

int oracleNumberBytes(double value) {
    if (value == 0 || !std::isfinite(value))
        return 1;
    char text[32];
    std::snprintf(text, sizeof text, "%.15e", std::fabs(value));
    // The significant digits of the mantissa, trailing zeros dropped.
    int digits = 0;
    int lastNonZero = 0;
    for (const char* p = text; *p && *p != 'e'; ++p) {
        if (*p < '0' || *p > '9')
            continue;
        ++digits;
        if (*p != '0')
            lastNonZero = digits;
    }
    return digitsBytes(std::max(1, lastNonZero), value < 0);
}

double estimateDistinct(double sampled, double distinctSeen, double seenOnce, double total) {
    if (sampled <= 0 || distinctSeen <= 0)
        return 0;
    if (total <= sampled)
        return distinctSeen;
    const double d = sampled * distinctSeen / (sampled - seenOnce + seenOnce * sampled / total);
    return std::clamp(d, distinctSeen, total);
}

std::optional<TableEstimate> estimateTable(sqlite3* db, const std::string& table,
                                           const std::vector<ColumnDef>& columns,
                                           const std::vector<IndexDef>& indexes,
                                           bool withoutRowid) {
    if (columns.empty())
        return std::nullopt;
    try {
        Reader reader(db, table, columns);
        const std::string rowid = withoutRowid ? std::string() : rowidName(columns);
        const Sample sample = rowid.empty() ? reader.keyOrderSample() : reader.rowidSample(rowid);
        TableEstimate out;
        out.rows = sample.tableRows;
        out.counted = sample.counted;
        out.sampled = !sample.everything;
        estimateColumns(sample, columns, out);
        estimateIndexes(sample, columns, indexes, out);
        return out;
    } catch (const EngineError&) {
        return std::nullopt;  // unreadable (a missing collation, a damaged page)
    }
}

}  // namespace localengine::schema
