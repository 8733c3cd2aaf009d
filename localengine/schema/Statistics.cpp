#include "schema/Statistics.h"

#include <sqlite3.h>

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

namespace {

constexpr char kFieldEnd = '\x1f';
constexpr char kLineEnd = '\x1e';

}  // namespace

std::string Statistics::readSource(sqlite3* db, sqlite::StatementCache* cache) {
    std::string source;
    const char* const read = "SELECT tbl, idx, stat FROM main.sqlite_stat1";
    sqlite::Statement lines;
    if (cache) {
        // Asked first, so that a database never analysed costs no failed
        // prepare each time. The handle's own copy of the schema answers:
        // a connection with a cache has it brought up to date whenever the
        // schema changed (StatementCache::schemaChanged).
        if (sqlite3_table_column_metadata(db, "main", "sqlite_stat1", nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr) != SQLITE_OK)
            return source;
        lines = cache->statement(read);
    } else {
        try {
            lines = sqlite::Statement(db, read);
        } catch (const EngineError&) {
            return source;  // never analysed
        }
    }
    while (lines.step()) {
        for (int i = 0; i < 3; ++i) {
            source.append(lines.textView(i));
            source += i < 2 ? kFieldEnd : kLineEnd;
        }
    }
    return source;
}

Statistics Statistics::parse(std::string_view source) {
    Statistics stats;
    while (!source.empty()) {
        const std::size_t end = source.find(kLineEnd);
        std::string_view line = source.substr(0, end);
        const std::size_t t = line.find(kFieldEnd);
        const std::size_t i = line.find(kFieldEnd, t + 1);
        if (t != std::string_view::npos && i != std::string_view::npos)
            stats.add(line.substr(0, t), line.substr(t + 1, i - t - 1), line.substr(i + 1));
        source = end == std::string_view::npos ? std::string_view() : source.substr(end + 1);
    }
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
