#pragma once
// The optimizer statistics of a database as ANALYZE leaves them in
// sqlite_stat1, read and parsed in one place for the dictionary views and
// for the plan's estimates.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace localengine::sqlite {
class StatementCache;
}

namespace localengine::schema {

class Statistics {
public:
    // The statistics of `db`'s main database; empty when it was never
    // analysed. `cache`, when given (the connection's, on `db`), keeps the
    // statements for the next read.
    static Statistics read(sqlite3* db, sqlite::StatementCache* cache = nullptr) {
        return parse(readSource(db, cache));
    }

    // The lines of sqlite_stat1 as one text (fields and lines separated by
    // control characters), empty when there are none: cheap to read and
    // compare, so that a caller parses only statistics it has not seen.
    static std::string readSource(sqlite3* db, sqlite::StatementCache* cache = nullptr);
    static Statistics parse(std::string_view source);

    // One line of sqlite_stat1: "N a b c [more words]", `index` empty for
    // the line of a table without indexes. Lines without a leading number
    // are ignored.
    void add(std::string_view table, std::string_view index, std::string_view stat);

    bool empty() const { return m_tableRows.empty(); }

    // The rows of a table: the largest first number of its lines (a
    // partial index counts fewer rows than its table holds).
    std::optional<double> tableRows(std::string_view table) const;

    // The numbers of an index's line: its row count, then the average rows
    // per distinct value of the first 1, 2, ... key columns. Null when the
    // index has none.
    const std::vector<double>* indexNumbers(std::string_view index) const;

    // Average rows per distinct value of the first `columns` key columns
    // (0: the index's row count).
    std::optional<double> rowsPerKey(std::string_view index, int columns) const;

    bool operator==(const Statistics& other) const = default;

private:
    std::map<std::string, double> m_tableRows;                // upper-case table name
    std::map<std::string, std::vector<double>> m_indexStats;  // upper-case index name
};

}  // namespace localengine::schema
