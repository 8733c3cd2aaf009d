// The layout of DBMS_XPLAN.DISPLAY, column for column as Oracle prints it:
//
//   Plan hash value: 3956160932
//
//   --------------------------------------------------------------------------
//   | Id  | Operation         | Name | Rows  | Bytes | Cost (%CPU)| Time     |
//   --------------------------------------------------------------------------
//   |   0 | SELECT STATEMENT  |      |    14 |   532 |     3   (0)| 00:00:01 |
//   |*  1 |  TABLE ACCESS FULL| EMP  |    14 |   532 |     3   (0)| 00:00:01 |
//   --------------------------------------------------------------------------
//
//   Predicate Information (identified by operation id):
//   ---------------------------------------------------
//
//      1 - filter("SAL">1000)
//
// The Id cell carries '*' when the step has predicates; the Operation cell
// is indented one blank per level and padded to the widest one (no blank
// before its closing bar); Rows, Bytes and Cost are five characters wide.

#include "explain/PlanDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sqlite/SqliteText.h"

namespace localengine::explain {

namespace {

using sqlite::upperName;

std::string rightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string leftAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The words of a FORMAT text: "ALL -BYTES +ALIAS" -> ALL, -BYTES, +ALIAS.
std::vector<std::string> formatWords(const std::string& format) {
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (!word.empty())
            words.push_back(upperName(word));
        word.clear();
    };
    for (char c : format) {
        if (c == ' ' || c == ',' || c == '\t') {
            flush();
        } else if (c == '+' || c == '-') {
            flush();
            word += c;
        } else {
            word += c;
        }
    }
    flush();
    return words;
}

bool hasPredicates(const DisplayRow& r) {
    return !r.accessPredicates.empty() || !r.filterPredicates.empty();
}

std::string operationText(const DisplayRow& r) {
    std::string text =
        " " + std::string(static_cast<std::size_t>(std::max(0, r.depth)), ' ') + r.operation;
    if (!r.options.empty())
        text += " " + r.options;
    return text;
}

std::string quantity(const std::optional<long long>& v, int base) {
    return v ? formatQuantity(*v, base) : std::string();
}

}  // namespace

std::optional<DisplayFormat> parseDisplayFormat(const std::string& format) {
    DisplayFormat f;
    std::vector<std::string> words = formatWords(format);
    std::size_t k = 0;
    if (!words.empty() && words[0][0] != '+' && words[0][0] != '-') {
        const std::string& level = words[0];
        if (level == "BASIC") {
            f.rows = f.bytes = f.cost = f.time = f.predicates = f.note = false;
        } else if (level == "ALL" || level == "ADVANCED") {
            f.alias = true;
        } else if (level != "TYPICAL" && level != "SERIAL") {
            return std::nullopt;
        }
        k = 1;
    }
    for (; k < words.size(); ++k) {
        const std::string& w = words[k];
        if (w.size() < 2 || (w[0] != '+' && w[0] != '-'))
            return std::nullopt;
        const bool on = w[0] == '+';
        const std::string part = w.substr(1);
        if (part == "ROWS")
            f.rows = on;
        else if (part == "BYTES")
            f.bytes = on;
        else if (part == "COST")
            f.cost = f.time = on;
        else if (part == "PREDICATE")
            f.predicates = on;
        else if (part == "ALIAS")
            f.alias = on;
        else if (part == "NOTE")
            f.note = on;
        else if (part != "PARALLEL" && part != "PARTITION" && part != "PROJECTION" &&
                 part != "OUTLINE" && part != "REMOTE" && part != "PEEKED_BINDS")
            return std::nullopt;  // the parts this engine never has are accepted, and empty
    }
    return f;
}

std::uint32_t planHashValue(const std::vector<DisplayRow>& rows) {
    std::uint32_t hash = 2166136261u;
    auto add = [&](const std::string& text) {
        for (unsigned char c : text) {
            hash ^= c;
            hash *= 16777619u;
        }
        hash ^= 0x1f;
        hash *= 16777619u;
    };
    for (const DisplayRow& r : rows) {
        add(std::to_string(r.id) + ":" + std::to_string(r.depth));
        add(r.operation);
        add(r.options);
        add(r.objectName);
    }
    return hash;
}

std::string formatQuantity(long long value, int base) {
    static const char kSuffix[] = "KMGTPE";
    if (value < 0)
        value = 0;
    std::string plain = std::to_string(value);
    if (plain.size() <= 5)
        return plain;
    double scaled = static_cast<double>(value);
    for (const char* s = kSuffix; *s; ++s) {
        scaled /= base;
        const long long shown = std::llround(scaled);
        std::string text = std::to_string(shown) + *s;
        if (text.size() <= 5)
            return text;
    }
    return plain;
}

std::string formatTime(long long seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

namespace {

// Which columns of the plan's table show, and how wide: a number the plan
// table does not hold is left out.
struct PlanColumns {
    bool rows = false, bytes = false, cost = false, cpu = false, time = false;
    std::size_t idWidth = 3;
    std::size_t operationWidth = std::string(" Operation").size();
    std::size_t nameWidth = std::string("Name").size();
};

PlanColumns planColumns(const std::vector<DisplayRow>& rows, const DisplayFormat& format) {
    PlanColumns c;
    bool anyIo = false, anyCost = false, anyTime = false, anyRows = false, anyBytes = false;
    int maxId = 0;
    for (const DisplayRow& r : rows) {
        anyIo = anyIo || r.ioCost.has_value();
        anyCost = anyCost || r.cost.has_value();
        anyTime = anyTime || r.time.has_value();
        anyRows = anyRows || r.cardinality.has_value();
        anyBytes = anyBytes || r.bytes.has_value();
        maxId = std::max(maxId, r.id);
        c.operationWidth = std::max(c.operationWidth, operationText(r).size());
        c.nameWidth = std::max(c.nameWidth, r.objectName.size());
    }
    c.rows = format.rows && anyRows;
    c.bytes = format.bytes && anyBytes;
    c.cost = format.cost && anyCost;
    c.cpu = c.cost && anyIo;
    c.time = format.time && anyTime;
    c.idWidth = std::max<std::size_t>(3, std::to_string(maxId).size());
    return c;
}

std::string tableHeader(const PlanColumns& c) {
    std::string header = "| " + leftAligned("Id", c.idWidth) + " |" +
                         leftAligned(" Operation", c.operationWidth) + "| " +
                         leftAligned("Name", c.nameWidth) + " |";
    if (c.rows)
        header += " Rows  |";
    if (c.bytes)
        header += " Bytes |";
    if (c.cost)
        header += c.cpu ? " Cost (%CPU)|" : " Cost  |";
    if (c.time)
        header += " Time     |";
    return header;
}

// The Cost (%CPU) cell: the share of the cost that is not I/O.
std::string costCell(const DisplayRow& r, const PlanColumns& c) {
    std::string cell = " " + rightAligned(quantity(r.cost, 1000), 5);
    if (c.cpu) {
        std::string cpu;
        if (r.cost && r.ioCost) {
            const long long cost = *r.cost;
            const long long percent =
                cost > 0 ? std::llround(100.0 * static_cast<double>(cost - *r.ioCost) /
                                        static_cast<double>(cost))
                         : 0;
            cpu = "(" + std::to_string(std::clamp(percent, 0LL, 100LL)) + ")";
        }
        cell += " " + rightAligned(cpu, 5);
    } else {
        cell += " ";
    }
    return cell + "|";
}

std::string tableLine(const DisplayRow& r, const PlanColumns& c, const DisplayFormat& format) {
    const bool marked = format.predicates && hasPredicates(r);
    std::string line = std::string("|") + (marked ? "*" : " ") +
                       rightAligned(std::to_string(r.id), c.idWidth) + " |" +
                       leftAligned(operationText(r), c.operationWidth) + "| " +
                       leftAligned(r.objectName, c.nameWidth) + " |";
    if (c.rows)
        line += " " + rightAligned(quantity(r.cardinality, 1000), 5) + " |";
    if (c.bytes)
        line += " " + rightAligned(quantity(r.bytes, 1024), 5) + " |";
    if (c.cost)
        line += costCell(r, c);
    if (c.time)
        line += " " + leftAligned(r.time ? formatTime(*r.time) : std::string(), 8) + " |";
    return line;
}

void section(std::vector<std::string>& out, const std::string& title) {
    out.emplace_back();
    out.push_back(title);
    out.push_back(std::string(title.size(), '-'));
    out.emplace_back();
}

std::string idLabel(int id) {
    return rightAligned(std::to_string(id), 4) + " - ";
}

void aliasSection(std::vector<std::string>& out, const std::vector<DisplayRow>& rows) {
    bool any = false;
    for (const DisplayRow& r : rows)
        any = any || !r.queryBlock.empty();
    if (!any)
        return;
    section(out, "Query Block Name / Object Alias (identified by operation id):");
    for (const DisplayRow& r : rows) {
        if (r.queryBlock.empty())
            continue;
        std::string line = idLabel(r.id) + r.queryBlock;
        if (!r.objectAlias.empty())
            line += " / " + r.objectAlias;
        out.push_back(std::move(line));
    }
}

void predicateSection(std::vector<std::string>& out, const std::vector<DisplayRow>& rows) {
    bool any = false;
    for (const DisplayRow& r : rows)
        any = any || hasPredicates(r);
    if (!any)
        return;
    section(out, "Predicate Information (identified by operation id):");
    for (const DisplayRow& r : rows) {
        if (!hasPredicates(r))
            continue;
        std::string label = idLabel(r.id);
        if (!r.accessPredicates.empty()) {
            out.push_back(label + "access(" + r.accessPredicates + ")");
            label = std::string(label.size(), ' ');
        }
        if (!r.filterPredicates.empty())
            out.push_back(label + "filter(" + r.filterPredicates + ")");
    }
}

}  // namespace

std::vector<std::string> formatPlan(const std::vector<DisplayRow>& rows,
                                    const DisplayFormat& format,
                                    const std::vector<std::string>& notes) {
    std::vector<std::string> out;
    char hash[48];
    std::snprintf(hash, sizeof hash, "Plan hash value: %u", planHashValue(rows));
    out.emplace_back(hash);
    out.emplace_back();

    const PlanColumns columns = planColumns(rows, format);
    const std::string header = tableHeader(columns);
    const std::string rule(header.size(), '-');
    out.push_back(rule);
    out.push_back(header);
    out.push_back(rule);
    for (const DisplayRow& r : rows)
        out.push_back(tableLine(r, columns, format));
    out.push_back(rule);

    if (format.alias)
        aliasSection(out, rows);
    if (format.predicates)
        predicateSection(out, rows);
    if (format.note && !notes.empty()) {
        out.emplace_back();
        out.emplace_back("Note");
        out.emplace_back("-----");
        for (const auto& n : notes)
            out.push_back("   - " + n);
    }
    return out;
}

}  // namespace localengine::explain
