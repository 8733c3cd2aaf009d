#include "explain/ExplainDetail.h"

#include <cctype>
#include <cstdlib>

namespace localengine::explain {

namespace {

bool startsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

bool endsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

long long toNumber(std::string_view s) {
    return allDigits(s) ? std::strtoll(std::string(s).c_str(), nullptr, 10) : 0;
}

// Splits "x (...)" at the parenthesised group that ends the text. Returns
// false when the text does not end with a balanced group preceded by a blank.
bool splitTrailingGroup(std::string_view s, std::string_view& head, std::string_view& inner) {
    if (!endsWith(s, ")"))
        return false;
    int depth = 0;
    for (std::size_t i = s.size(); i-- > 0;) {
        if (s[i] == ')')
            ++depth;
        else if (s[i] == '(' && --depth == 0) {
            if (i == 0 || s[i - 1] != ' ')
                return false;
            head = s.substr(0, i - 1);
            inner = s.substr(i + 1, s.size() - i - 2);
            return true;
        }
    }
    return false;
}

// Splits a subquery name printed by older releases as a bare number into
// the "(subquery-n)" spelling of the current one, so consumers match.
std::string normaliseSubqueryName(std::string_view name) {
    if (allDigits(name))
        return "(subquery-" + std::string(name) + ")";
    if (startsWith(name, "SUBQUERY ") && allDigits(name.substr(9)))
        return "(subquery-" + std::string(name.substr(9)) + ")";
    return std::string(name);
}

// The "USING ..." or "VIRTUAL TABLE INDEX ..." tail of a SCAN/SEARCH line.
bool parseAccessTail(std::string_view tail, Detail& d) {
    auto keyed = [&](std::string_view rest) {
        if (rest.empty())
            return true;
        std::string_view head, inner;
        if (!startsWith(rest, " (") || !splitTrailingGroup(rest, head, inner) || !head.empty())
            return false;
        d.keys = parseKeyTerms(inner);
        return true;
    };
    static const std::pair<std::string_view, AccessPath> fixed[] = {
        {"INTEGER PRIMARY KEY", AccessPath::IntegerPrimaryKey},
        {"PRIMARY KEY", AccessPath::PrimaryKey},
        {"AUTOMATIC PARTIAL COVERING INDEX", AccessPath::AutoPartialIndex},
        {"AUTOMATIC COVERING INDEX", AccessPath::AutoIndex},
        {"AUTOMATIC INDEX", AccessPath::AutoIndex},
    };
    for (const auto& [word, path] : fixed) {
        if (startsWith(tail, word)) {
            std::string_view rest = tail.substr(word.size());
            if (!rest.empty() && rest[0] != ' ')
                continue;
            d.access = path;
            return keyed(rest);
        }
    }
    for (std::string_view word :
         {std::string_view("COVERING INDEX "), std::string_view("INDEX ")}) {
        if (!startsWith(tail, word))
            continue;
        d.access = word[0] == 'C' ? AccessPath::CoveringIndex : AccessPath::Index;
        std::string_view rest = tail.substr(word.size());
        std::string_view head, inner;
        if (splitTrailingGroup(rest, head, inner) && !head.empty()) {
            d.index = std::string(head);
            d.keys = parseKeyTerms(inner);
        } else {
            d.index = std::string(rest);
        }
        return !d.index.empty();
    }
    return false;
}

void parseTableAccess(std::string_view rest, Detail& d) {
    d.kind = DetailKind::TableAccess;
    bool oldForm = false;
    if (startsWith(rest, "TABLE ")) {
        rest.remove_prefix(6);
        oldForm = true;
    }
    // The access tail starts at the first " USING " (or " VIRTUAL TABLE
    // INDEX ") that is followed by a form SQLite really prints; a name
    // containing those words is thereby kept whole.
    std::string_view name = rest;
    for (std::size_t pos = 0; pos < rest.size(); ++pos) {
        std::string_view at = rest.substr(pos);
        if (startsWith(at, " USING ")) {
            Detail probe;
            if (parseAccessTail(at.substr(7), probe)) {
                name = rest.substr(0, pos);
                d.access = probe.access;
                d.index = probe.index;
                d.keys = probe.keys;
                break;
            }
        } else if (startsWith(at, " VIRTUAL TABLE INDEX ")) {
            name = rest.substr(0, pos);
            d.access = AccessPath::VirtualTable;
            d.virtualIndex = std::string(at.substr(21));
            break;
        }
    }
    if (oldForm) {
        std::size_t as = name.find(" AS ");
        if (as != std::string_view::npos) {
            d.declaredTable = std::string(name.substr(0, as));
            name = name.substr(as + 4);
        } else {
            d.declaredTable = std::string(name);
        }
    }
    d.name = normaliseSubqueryName(name);
}

}  // namespace

KeyTerms parseKeyTerms(std::string_view inner) {
    KeyTerms k;
    k.present = true;
    std::vector<std::string_view> terms;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        char c = inner[i];
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if (depth == 0 && inner.substr(i, 5) == " AND ") {
            terms.push_back(inner.substr(start, i - start));
            start = i + 5;
            i += 4;
        }
    }
    if (start < inner.size())
        terms.push_back(inner.substr(start));
    for (std::string_view t : terms) {
        if (startsWith(t, "ANY(") && endsWith(t, ")")) {
            k.skipped.emplace_back(t.substr(4, t.size() - 5));
        } else if (endsWith(t, "=?") && !startsWith(t, "(")) {
            k.equal.emplace_back(t.substr(0, t.size() - 2));
        } else if (endsWith(t, ">?") || endsWith(t, "<?") || endsWith(t, "?)")) {
            bool lower;
            std::string_view col;
            if (startsWith(t, "(")) {  // row value: (a,b)>(?,?)
                std::size_t close = t.find(')');
                lower =
                    close != std::string_view::npos && close + 1 < t.size() && t[close + 1] == '>';
                col = close == std::string_view::npos ? t : t.substr(1, close - 1);
            } else {
                lower = t[t.size() - 2] == '>';
                col = t.substr(0, t.size() - 2);
            }
            (lower ? k.lower : k.upper) = true;
            std::string c(col);
            bool seen = false;
            for (const auto& r : k.ranged)
                seen = seen || r == c;
            if (!seen)
                k.ranged.push_back(c);
        } else if (endsWith(t, "=?)") || t.find("=(") != std::string_view::npos) {
            k.equal.emplace_back(t);
        }
    }
    return k;
}

namespace {

// Row estimates were printed by early releases after the whole line
// ("... (~N rows)"): taken off the text, kept in the detail.
std::string_view takeEstimate(std::string_view s, Detail& d) {
    if (!endsWith(s, " rows)") && !endsWith(s, " row)"))
        return s;
    const std::size_t p = s.rfind(" (~");
    if (p == std::string_view::npos)
        return s;
    std::string_view n = s.substr(p + 3);
    n = n.substr(0, n.find(' '));
    if (allDigits(n))
        d.estimatedRows = static_cast<double>(toNumber(n));
    return s.substr(0, p);
}

// Lines SQLite prints as they are, with nothing variable in them.
bool parseFixedLine(std::string_view s, Detail& d) {
    static const std::pair<std::string_view, DetailKind> lines[] = {
        {"SCAN CONSTANT ROW", DetailKind::ConstantRow},
        {"MULTI-INDEX OR", DetailKind::MultiIndexOr},
        {"SETUP", DetailKind::Setup},
        {"RECURSIVE STEP", DetailKind::RecursiveStep},
        {"COMPOUND QUERY", DetailKind::CompoundQuery},
        {"LEFT-MOST SUBQUERY", DetailKind::LeftMostSubquery},
        {"LEFT", DetailKind::MergeLeft},
        {"RIGHT", DetailKind::MergeRight},
    };
    for (const auto& [line, kind] : lines) {
        if (s == line) {
            d.kind = kind;
            return true;
        }
    }
    return false;
}

// "SCAN n CONSTANT ROWS", "SCAN n-ROW VALUES CLAUSE", then SCAN or SEARCH
// of a table, index, view or subquery.
bool parseScanLine(std::string_view s, Detail& d) {
    if (startsWith(s, "SCAN ")) {
        std::string_view rest = s.substr(5);
        std::size_t sp = rest.find(' ');
        std::string_view first = rest.substr(0, sp);
        if (sp != std::string_view::npos && allDigits(first) &&
            (rest.substr(sp) == " CONSTANT ROWS" || rest.substr(sp) == " CONSTANT ROW")) {
            d.kind = DetailKind::ConstantRows;
            d.number = toNumber(first);
            return true;
        }
        std::size_t dash = rest.find("-ROW VALUES CLAUSE");
        if (dash != std::string_view::npos && allDigits(rest.substr(0, dash)) &&
            dash + 18 == rest.size()) {
            d.kind = DetailKind::ConstantRows;
            d.number = toNumber(rest.substr(0, dash));
            return true;
        }
    }
    if (!startsWith(s, "SCAN ") && !startsWith(s, "SEARCH "))
        return false;
    d.search = s[1] == 'E';
    std::string_view rest = s.substr(d.search ? 7 : 5);
    if (endsWith(rest, " LEFT-JOIN")) {
        d.leftJoin = true;
        rest.remove_suffix(10);
    }
    if (rest.empty())
        return false;
    parseTableAccess(rest, d);
    return true;
}

TempPurpose tempPurpose(std::string_view what) {
    if (what == "ORDER BY")
        return TempPurpose::OrderBy;
    if (what == "RIGHT PART OF ORDER BY" || startsWith(what, "LAST "))
        return TempPurpose::PartialOrderBy;
    if (what == "GROUP BY")
        return TempPurpose::GroupBy;
    if (what == "DISTINCT")
        return TempPurpose::Distinct;
    if (endsWith(what, "(DISTINCT)"))
        return TempPurpose::AggregateDistinct;
    if (endsWith(what, "(ORDER BY)"))
        return TempPurpose::AggregateOrderBy;
    return TempPurpose::Other;
}

// Joins, Bloom filters, sorts, compound queries and views: lines that
// start with a fixed word and name something after it.
bool parseNamingLine(std::string_view s, Detail& d) {
    if (startsWith(s, "INDEX ") && allDigits(s.substr(6))) {
        d.kind = DetailKind::OrTerm;
        d.number = toNumber(s.substr(6));
    } else if (startsWith(s, "RIGHT-JOIN ")) {
        d.kind = DetailKind::RightJoin;
        d.name = std::string(s.substr(11));
    } else if (startsWith(s, "BLOOM FILTER ON ")) {
        d.kind = DetailKind::BloomFilter;
        std::string_view rest = s.substr(16), head, inner;
        if (splitTrailingGroup(rest, head, inner)) {
            d.name = std::string(head);
            d.keys = parseKeyTerms(inner);
        } else {
            d.name = std::string(rest);
        }
    } else if (startsWith(s, "USE TEMP B-TREE FOR ")) {
        d.kind = DetailKind::TempBTree;
        d.op = std::string(s.substr(20));
        d.purpose = tempPurpose(s.substr(20));
    } else if (startsWith(s, "CO-ROUTINE ")) {
        d.kind = DetailKind::CoRoutine;
        d.name = normaliseSubqueryName(s.substr(11));
    } else if (startsWith(s, "MATERIALIZE ")) {
        d.kind = DetailKind::Materialize;
        d.name = normaliseSubqueryName(s.substr(12));
    } else {
        return false;
    }
    return true;
}

// The arms and merges of compound queries.
bool parseCompoundLine(std::string_view s, Detail& d) {
    if (s == "UNION ALL") {
        d.kind = DetailKind::CompoundArm;
        d.op = "UNION ALL";
        return true;
    }
    for (std::string_view op : {"UNION", "EXCEPT", "INTERSECT", "UNION ALL"}) {
        if (s == std::string(op) + " USING TEMP B-TREE") {
            d.kind = DetailKind::CompoundArm;
            d.op = std::string(op);
            return true;
        }
    }
    if (startsWith(s, "MERGE (") && endsWith(s, ")")) {
        d.kind = DetailKind::Merge;
        d.op = std::string(s.substr(7, s.size() - 8));
        return true;
    }
    if (startsWith(s, "COMPOUND SUBQUERIES ")) {
        d.kind = DetailKind::CompoundSubqueries;
        std::size_t open = s.rfind('(');
        if (open != std::string_view::npos && endsWith(s, ")"))
            d.op = std::string(s.substr(open + 1, s.size() - open - 2));
        return true;
    }
    return false;
}

// Expression subqueries and the IN operators SQLite evaluates with a
// table or index of its own.
bool parseSubqueryLine(std::string_view s, Detail& d) {
    std::string_view rest = s;
    if (startsWith(rest, "EXECUTE "))
        rest.remove_prefix(8);
    const bool correlated = startsWith(rest, "CORRELATED ");
    if (correlated)
        rest.remove_prefix(11);
    for (auto [word, kind] :
         {std::pair{std::string_view("SCALAR SUBQUERY "), DetailKind::ScalarSubquery},
          std::pair{std::string_view("LIST SUBQUERY "), DetailKind::ListSubquery}}) {
        if (startsWith(rest, word) && allDigits(rest.substr(word.size()))) {
            d.kind = kind;
            d.correlated = correlated;
            d.number = toNumber(rest.substr(word.size()));
            return true;
        }
    }
    for (std::string_view word : {"REUSE SUBQUERY ", "REUSE LIST SUBQUERY "}) {
        if (startsWith(s, word) && allDigits(s.substr(word.size()))) {
            d.kind = DetailKind::ReuseSubquery;
            d.number = toNumber(s.substr(word.size()));
            return true;
        }
    }
    if (startsWith(s, "USING ROWID SEARCH ON TABLE ") && endsWith(s, " FOR IN-OPERATOR")) {
        d.kind = DetailKind::RowidInOperator;
        d.name = std::string(s.substr(28, s.size() - 28 - 16));
        return true;
    }
    if (startsWith(s, "USING INDEX ") && endsWith(s, " FOR IN-OPERATOR")) {
        d.kind = DetailKind::IndexInOperator;
        d.index = std::string(s.substr(12, s.size() - 12 - 16));
        return true;
    }
    return false;
}

}  // namespace

Detail parseDetail(std::string_view text) {
    Detail d;
    d.text = std::string(text);
    const std::string_view s = takeEstimate(text, d);
    if (parseFixedLine(s, d) || parseScanLine(s, d) || parseNamingLine(s, d) ||
        parseCompoundLine(s, d) || parseSubqueryLine(s, d))
        return d;
    return d;
}

}  // namespace localengine::explain
