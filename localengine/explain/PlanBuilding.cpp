#include "explain/PlanBuilding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace localengine::explain {

PlanStep step(std::string operation, std::string options) {
    PlanStep s;
    s.operation = std::move(operation);
    s.options = std::move(options);
    return s;
}

PlanStep over(PlanStep child, std::string operation, std::string options) {
    PlanStep s = step(std::move(operation), std::move(options));
    s.cost = child.cost + costs::pass(child.rows);
    s.rows = child.rows;
    s.width = child.width;
    s.queryBlock = child.queryBlock;
    s.children.push_back(std::move(child));
    return s;
}

PlanStep sortOver(PlanStep child, std::string options) {
    PlanStep s = step(ora::Sort, std::move(options));
    s.cost = child.cost + costs::sort(child.rows);
    s.rows = child.rows;
    s.width = child.width;
    s.queryBlock = child.queryBlock;
    s.children.push_back(std::move(child));
    return s;
}

void sumChildren(PlanStep& s) {
    s.cost = costs::Cost{};
    s.rows = 0;
    double bytes = 0;
    for (const auto& c : s.children) {
        s.cost += c.cost;
        s.rows += c.rows;
        bytes += c.rows * c.width;
    }
    s.width = s.rows > 0 ? bytes / s.rows : 0;
    s.rows = costs::atLeastOneRow(s.rows);
}

std::string formatNumber(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

IndexInfo unknownIndex(const std::string& name, const std::string& table) {
    IndexInfo i;
    i.name = name;
    i.table = table;
    return i;
}

bool isUnnamedSubquery(const std::string& name) {
    return name.rfind("(subquery-", 0) == 0 || name.rfind("(join-", 0) == 0 ||
           name.rfind("SUBQUERY ", 0) == 0 || name.rfind("0x", 0) == 0;
}

std::string stripSchema(const std::string& name) {
    for (const char* prefix : {"main.", "temp."})
        if (name.size() > 5 && sameName(name.substr(0, 5), prefix))
            return name.substr(5);
    return name;
}

void appendPredicateText(std::string& list, const std::string& text) {
    if (text.empty())
        return;
    if (!list.empty())
        list += " AND ";
    list += text;
}

void appendOther(PlanStep& s, const std::string& text) {
    if (text.empty())
        return;
    if (!s.other.empty())
        s.other += "\n";
    s.other += text;
}

bool isLoopKind(DetailKind k) {
    return k == DetailKind::TableAccess || k == DetailKind::MultiIndexOr ||
           k == DetailKind::ConstantRow || k == DetailKind::ConstantRows ||
           k == DetailKind::CompoundQuery || k == DetailKind::Merge ||
           k == DetailKind::CompoundSubqueries;
}

PlanStep setOperation(PlanStep left, PlanStep right, const std::string& op, std::string& leftOp) {
    auto sorted = [](PlanStep s) {
        if (s.operation == ora::Sort && s.options == ora::OrderBy) {
            s.options = ora::Unique;  // the arm's own sort also removes duplicates
            return s;
        }
        return sortOver(std::move(s), ora::Unique);
    };
    PlanStep result;
    if (op == "UNION ALL" || op == "UNION") {
        bool same = leftOp == op;
        if (same) {
            result = std::move(left);
            PlanStep& all = op == "UNION" ? result.children[0] : result;
            all.children.push_back(std::move(right));
        } else {
            PlanStep all = step(ora::UnionAll);
            all.children.push_back(std::move(left));
            all.children.push_back(std::move(right));
            result = op == "UNION" ? over(std::move(all), ora::Sort, ora::Unique) : std::move(all);
        }
        PlanStep& all = op == "UNION" ? result.children[0] : result;
        sumChildren(all);
        if (op == "UNION") {
            // the duplicates are not known: the sort keeps every row
            result.rows = all.rows;
            result.width = all.width;
            result.cost = all.cost + costs::sort(all.rows);
        }
    } else {
        bool minus = op == "EXCEPT";
        if (leftOp == op) {
            result = std::move(left);
            result.children.push_back(sorted(std::move(right)));
        } else {
            result = step(minus ? ora::Minus : ora::Intersection);
            result.children.push_back(sorted(std::move(left)));
            result.children.push_back(sorted(std::move(right)));
        }
        sumChildren(result);
        result.rows = result.children[0].rows;
        result.width = result.children[0].width;
        if (!minus)
            for (const auto& c : result.children)
                result.rows = std::min(result.rows, c.rows);
    }
    leftOp = op;
    return result;
}

std::string inlineViewAlias(const dialect::QueryBlockFacts& reader, std::size_t table) {
    const auto& t = reader.tables.at(table);
    std::string name = t.alias;
    if (name.empty() || isUnnamedSubquery(name)) {
        char made[48];
        std::snprintf(made, sizeof made, "from$_subquery$_%03zu", table + 1);
        name = made;
    }
    return name + "@" + reader.blockName();
}

}  // namespace localengine::explain
