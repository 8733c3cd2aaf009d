// Compound queries (UNION ALL, UNION, MINUS, INTERSECT, in their two forms
// of SQLite's plan), recursive WITH, and lines the mapping does not know.

#include "explain/PlanBuilding.h"

namespace localengine::explain {

PlanStep PlanMapper::mapCompound(const Node& node, const Scope& scope) {
    const Detail& d = node.detail;
    (void)scope;
    if (d.kind == DetailKind::CompoundSubqueries) {
        // flat output of old releases: the arms are listed elsewhere
        std::string op = d.op;
        if (op.rfind("USING TEMP B-TREE ", 0) == 0)
            op = op.substr(18);
        PlanStep s = step(op == "UNION ALL"   ? ora::UnionAll
                          : op == "EXCEPT"    ? ora::Minus
                          : op == "INTERSECT" ? ora::Intersection
                          : op == "UNION"     ? ora::Sort
                                              : upperName(d.text),
                          op == "UNION" ? ora::Unique : "");
        appendOther(s, d.text);
        return s;
    }
    Scope armScope;
    if (d.kind == DetailKind::CompoundQuery) {
        PlanStep result;
        std::string resultOp;
        bool first = true;
        for (const Node* arm : node.children) {
            PlanStep armPlan = mapGroup(arm->children, armScope);
            if (armPlan.operation.empty())
                armPlan = mapUnknown(*arm, armScope);
            if (first) {
                result = std::move(armPlan);
                first = false;
                continue;
            }
            std::string op =
                arm->detail.kind == DetailKind::CompoundArm ? arm->detail.op : "UNION ALL";
            result = setOperation(std::move(result), std::move(armPlan), op, resultOp);
        }
        appendOther(result, d.text);
        return result;
    }
    return mapMerge(node);
}

// MERGE (op): two sorted inputs merged; arms nest left-deep.
PlanStep PlanMapper::mapMerge(const Node& node) {
    const Detail& d = node.detail;
    Scope armScope;
    PlanStep left, right;
    std::string leftOp;
    for (const Node* arm : node.children) {
        PlanStep armPlan = mapGroup(arm->children, armScope);
        if (armPlan.operation.empty())
            armPlan = mapUnknown(*arm, armScope);
        if (arm->detail.kind == DetailKind::MergeLeft && left.operation.empty()) {
            left = std::move(armPlan);
            // a nested MERGE of the same operator was already mapped to it
            if (!arm->children.empty() && arm->children.front()->detail.kind == DetailKind::Merge &&
                arm->children.front()->detail.op == d.op)
                leftOp = d.op;
        } else {
            right = right.operation.empty()
                        ? std::move(armPlan)
                        : setOperation(std::move(right), std::move(armPlan), d.op, leftOp);
        }
    }
    PlanStep result;
    if (left.operation.empty())
        result = std::move(right);
    else if (right.operation.empty())
        result = std::move(left);
    else
        result = setOperation(std::move(left), std::move(right), d.op, leftOp);
    // the merge delivers rows in ORDER BY order; SORT UNIQUE already sorts
    if (d.op != "UNION")
        result = sortOver(std::move(result), ora::OrderBy);
    appendOther(result, d.text);
    return result;
}

PlanStep PlanMapper::mapRecursive(const std::vector<const Node*>& nodes, const Scope& scope) {
    PlanStep s = step(ora::RecursiveUnion, ora::BreadthFirst);
    std::vector<const Node*> rest;
    for (const Node* n : nodes) {
        if (n->detail.kind == DetailKind::Setup || n->detail.kind == DetailKind::RecursiveStep) {
            Scope inner;
            if (n->detail.kind == DetailKind::RecursiveStep)
                inner.recursiveName = scope.recursiveName;
            PlanStep part = mapGroup(n->children, inner);
            if (part.operation.empty())
                part = mapUnknown(*n, inner);
            s.cost += part.cost;
            s.width = std::max(s.width, part.width);
            s.children.push_back(std::move(part));
        } else {
            rest.push_back(n);
        }
    }
    s.rows = s.children.empty() ? 1 : s.children.front().rows * costs::kRecursionGrowth;
    if (s.children.size() > 1) {
        // the step runs once per row produced
        s.cost = s.children.front().cost + s.rows * s.children[1].cost;
    }
    if (!rest.empty()) {
        PlanStep more = mapGroup(rest, Scope{});
        if (!more.operation.empty())
            s.children.push_back(std::move(more));
    }
    return s;
}

PlanStep PlanMapper::mapUnknown(const Node& node, const Scope& scope) {
    // A line this mapper does not know (another SQLite release): it still
    // becomes a step, named by its own text, with its subtree below it.
    PlanStep s = step(upperName(node.detail.text));
    s.other = node.detail.text;
    if (!node.children.empty()) {
        PlanStep child = mapGroup(node.children, Scope{false, scope.recursiveName});
        if (!child.operation.empty()) {
            s.cost = child.cost;
            s.rows = child.rows;
            s.width = child.width;
            s.children.push_back(std::move(child));
        }
    }
    return s;
}

}  // namespace localengine::explain
