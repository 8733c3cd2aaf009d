#include "OuterJoin.h"

#include "AstWalk.h"
#include "Error.h"
#include "Lexer.h"

#include <functional>

namespace localengine::dialect {

namespace {

const Identifier* exposedName(const TableRef& s) {
    if (s.alias)
        return &*s.alias;
    if (s.kind == TableRefKind::Named)
        return &s.as<NamedTable>().exposedName();
    return nullptr;
}

// The FROM item a marked column belongs to.
const TableRef* markedSource(const ColumnRef& c, const SelectBlock& b) {
    if (c.binding.source) {
        if (c.binding.outerLevels > 0)
            fail(ora::kOuterJoinNotAllowed, "outer join operator (+) is not allowed here: " +
                                                c.column().name + " belongs to an enclosing query");
        return c.binding.source;
    }
    if (c.parts.size() < 2)
        fail(0, "the column " + c.column().name +
                    " marked (+) must be qualified with its table or alias");
    for (const TableRefPtr& item : b.from) {
        const Identifier* exposed = exposedName(*item);
        if (exposed && equalsIgnoringCase(exposed->name, c.parts[c.parts.size() - 2].name))
            return item.get();
    }
    fail(ora::kInvalidIdentifier, "\"" + c.parts[c.parts.size() - 2].name + "\".\"" +
                                      c.column().name + "\": invalid identifier");
}

// The one FROM item whose columns `condition` marks with (+); null when
// none. `banned` holds while the walk is under OR or IN.
const TableRef* markedBy(const Expr& condition, const SelectBlock& b) {
    const TableRef* marked = nullptr;
    std::function<void(const Expr&, bool)> walk = [&](const Expr& e, bool banned) {
        if (e.kind == ExprKind::ColumnRef && e.as<ColumnRef>().outerJoinMark) {
            if (banned)
                fail(ora::kOuterJoinWithOr,
                     "outer join operator (+) not allowed in operand of OR or IN");
            const TableRef* source = markedSource(e.as<ColumnRef>(), b);
            if (marked && marked != source)
                fail(ora::kOuterJoinTwoTables,
                     "a predicate may reference only one outer-joined table");
            marked = source;
            return;
        }
        const bool underOr = e.kind == ExprKind::Binary && e.as<Binary>().op == BinaryOp::Or;
        const bool underIn = e.kind == ExprKind::InList || e.kind == ExprKind::InSubquery;
        forEachChild(e, [&](const Expr& child) { walk(child, banned || underOr || underIn); });
    };
    walk(condition, false);
    return marked;
}

}  // namespace

std::optional<OuterJoinLayout> layoutOuterJoins(const SelectBlock& b,
                                                const std::vector<const Expr*>& conditions) {
    OuterJoinLayout layout;
    for (const TableRefPtr& item : b.from)
        layout.items.push_back({item.get(), {}});
    bool any = false;
    for (const Expr* c : conditions) {
        const TableRef* optional = markedBy(*c, b);
        if (!optional) {
            layout.where.push_back(c);
            continue;
        }
        any = true;
        for (OuterJoinLayout::Item& item : layout.items)
            if (item.source == optional)
                item.on.push_back(c);
    }
    if (!any)
        return std::nullopt;
    bool required = false;
    for (const OuterJoinLayout::Item& item : layout.items) {
        if (item.source->kind == TableRefKind::Join)
            fail(ora::kOuterJoinWithAnsi,
                 "old style outer join (+) cannot be used with ANSI joins");
        required = required || !layout.optional(item);
    }
    if (!required)
        fail(ora::kOuterJoinEachOther, "two tables cannot be outer-joined to each other");
    return layout;
}

}  // namespace localengine::dialect
