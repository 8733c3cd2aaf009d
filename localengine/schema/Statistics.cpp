#include "schema/Statistics.h"

#include <algorithm>
#include <charconv>

#include "sqlite/SqliteText.h"
#include "sqlite/StatementCache.h"

namespace localengine::schema {

namespace {

// The leading numbers of a stat text, up to the first word that is not one
// ("unordered", "sz=..." and the like).
std::vector<double> leadingNumbers(std::string_view stat) {
    std::vector<double> numbers;
    const char* p = stat.data();
    const char* end = p + stat.size();
    for (;;) {
        while (p < end && *p == ' ')
            ++p;
        double v = 0;
        const auto [next, ec] = std::from_chars(p, end, v);
        if (ec != std::errc() || next == p)
            break;
        numbers.push_back(v);
        p = next;
    }
    return numbers;
}

}  // namespace

Statistics Statistics::read(sqlite3* db, sqlite::StatementCache* cache) {
    Statistics stats;
    // Asked first, so that a database never analysed costs no failed prepare.
    sqlite::Statement exists = sqlite::statementFor(
        db, cache,
        "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND name = 'sqlite_stat1'");
    if (!exists.step())
        return stats;
    sqlite::Statement lines =
        sqlite::statementFor(db, cache, "SELECT tbl, idx, stat FROM main.sqlite_stat1");
    while (lines.step())
        stats.add(lines.textView(0), lines.textView(1), lines.textView(2));
    return stats;
}

void Statistics::add(std::string_view table, std::string_view index, std::string_view stat) {
    std::vector<double> numbers = leadingNumbers(stat);
    if (numbers.empty())
        return;
    double& rows = m_tableRows.try_emplace(sqlite::upperName(table), numbers[0]).first->second;
    rows = std::max(rows, numbers[0]);
    if (!index.empty())
        m_indexStats[sqlite::upperName(index)] = std::move(numbers);
}

std::optional<double> Statistics::tableRows(std::string_view table) const {
    auto it = m_tableRows.find(sqlite::upperName(table));
    if (it == m_tableRows.end())
        return std::nullopt;
    return it->second;
}

const std::vector<double>* Statistics::indexNumbers(std::string_view index) const {
    auto it = m_indexStats.find(sqlite::upperName(index));
    return it == m_indexStats.end() ? nullptr : &it->second;
}

std::optional<double> Statistics::rowsPerKey(std::string_view index, int columns) const {
    const std::vector<double>* numbers = indexNumbers(index);
    if (!numbers || columns < 0 || static_cast<std::size_t>(columns) >= numbers->size())
        return std::nullopt;
    return (*numbers)[static_cast<std::size_t>(columns)];
}

}  // namespace localengine::schema
