#include "explain/PlanBuilding.h"

#include <algorithm>

namespace localengine::explain {

PlanStep step(std::string operation, std::string options) {
    PlanStep s;
    s.operation = std::move(operation);
    s.options = std::move(options);
    return s;
}

PlanStep over(PlanStep child, std::string operation, std::string options) {
    PlanStep s = step(std::move(operation), std::move(options));
    s.cost = child.cost;
    s.rows = child.rows;
    s.rowsKnown = child.rowsKnown;
    s.children.push_back(std::move(child));
    return s;
}

PlanStep sortOver(PlanStep child, std::string options) {
    PlanStep s = over(std::move(child), ora::Sort, std::move(options));
    s.cost += costs::sortCost(s.rows);
    return s;
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
        all.cost = 0;
        all.rows = 0;
        all.rowsKnown = true;
        for (const auto& c : all.children) {
            all.cost += c.cost;
            all.rows += c.rows;
            all.rowsKnown = all.rowsKnown && c.rowsKnown;
        }
        if (op == "UNION") {
            result.rows = all.rows;
            result.rowsKnown = all.rowsKnown;
            result.cost = all.cost + costs::sortCost(all.rows);
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
        result.cost = 0;
        result.rowsKnown = true;
        for (const auto& c : result.children) {
            result.cost += c.cost;
            result.rowsKnown = result.rowsKnown && c.rowsKnown;
        }
        result.rows = result.children[0].rows;
        if (!minus)
            for (const auto& c : result.children)
                result.rows = std::min(result.rows, c.rows);
    }
    leftOp = op;
    return result;
}

}  // namespace localengine::explain
