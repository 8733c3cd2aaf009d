#include "GroupRules.h"

#include "AstWalk.h"
#include "Binder.h"
#include "Error.h"
#include "Lexer.h"

namespace localengine::dialect {

namespace {

bool sameOptional(const ExprPtr& a, const ExprPtr& b) {
    if (!a || !b)
        return !a && !b;
    return sameExpression(*a, *b);
}

bool sameList(const std::vector<ExprPtr>& a, const std::vector<ExprPtr>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameExpression(*a[i], *b[i]))
            return false;
    return true;
}

bool sameName(const QualifiedName& a, const QualifiedName& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!equalsIgnoringCase(a[i].name, b[i].name))
            return false;
    return true;
}

bool isAggregateCall(const Expr& e) {
    if (e.kind != ExprKind::FunctionCall)
        return false;
    const auto& f = e.as<FunctionCall>();
    return !f.over && f.name.size() == 1 && isAggregateFunction(f.functionName());
}

bool hasUnresolvedColumn(const Expr& e) {
    if (e.kind == ExprKind::ColumnRef)
        return !e.as<ColumnRef>().binding.source;
    bool found = false;
    forEachChild(e, [&](const Expr& child) { found = found || hasUnresolvedColumn(child); });
    return found;
}

// A column of the block's own sources outside every aggregate and every
// grouped expression.
bool hasLooseColumn(const Expr& e, const std::vector<const Expr*>& groups) {
    for (const Expr* g : groups)
        if (sameExpression(e, *g))
            return false;
    if (isAggregateCall(e))
        return false;
    if (e.kind == ExprKind::ColumnRef) {
        const ColumnBinding& b = e.as<ColumnRef>().binding;
        return b.source && b.outerLevels == 0;
    }
    bool found = false;
    forEachChild(e, [&](const Expr& child) { found = found || hasLooseColumn(child, groups); });
    return found;
}

// 1: numbers, 2: character data, 3: dates; 0: no family checked.
int typeFamily(OracleType t) {
    switch (t) {
        case OracleType::Number:
            return 1;
        case OracleType::Char:
        case OracleType::Varchar2:
            return 2;
        case OracleType::Date:
        case OracleType::Timestamp:
            return 3;
        default:
            return 0;
    }
}

// Two conditions of the same kind (comparison, IS NULL, LIKE, BETWEEN, IN
// list, ANY/ALL list) that test the same.
bool sameCondition(const Expr& a, const Expr& b) {
    switch (a.kind) {
        case ExprKind::Comparison: {
            const auto &x = a.as<Comparison>(), &y = b.as<Comparison>();
            return x.op == y.op && sameExpression(*x.left, *y.left) &&
                   sameExpression(*x.right, *y.right);
        }
        case ExprKind::IsNull:
            return a.as<IsNull>().negated == b.as<IsNull>().negated &&
                   sameExpression(*a.as<IsNull>().operand, *b.as<IsNull>().operand);
        case ExprKind::Like: {
            const auto &x = a.as<Like>(), &y = b.as<Like>();
            return x.negated == y.negated && x.variant == y.variant &&
                   sameExpression(*x.operand, *y.operand) &&
                   sameExpression(*x.pattern, *y.pattern) && sameOptional(x.escape, y.escape);
        }
        case ExprKind::Between: {
            const auto &x = a.as<Between>(), &y = b.as<Between>();
            return x.negated == y.negated && sameExpression(*x.operand, *y.operand) &&
                   sameExpression(*x.low, *y.low) && sameExpression(*x.high, *y.high);
        }
        case ExprKind::InList: {
            const auto &x = a.as<InList>(), &y = b.as<InList>();
            return x.negated == y.negated && sameExpression(*x.operand, *y.operand) &&
                   sameList(x.items, y.items);
        }
        case ExprKind::QuantifiedComparison: {
            const auto &x = a.as<QuantifiedComparison>(), &y = b.as<QuantifiedComparison>();
            return !x.subquery && !y.subquery && x.op == y.op && x.all == y.all &&
                   sameExpression(*x.left, *y.left) && sameList(x.list, y.list);
        }
        default:
            return false;
    }
}

bool sameCase(const Case& x, const Case& y) {
    if (x.whens.size() != y.whens.size() || !sameOptional(x.operand, y.operand) ||
        !sameOptional(x.otherwise, y.otherwise))
        return false;
    for (std::size_t i = 0; i < x.whens.size(); ++i)
        if (!sameExpression(*x.whens[i].condition, *y.whens[i].condition) ||
            !sameExpression(*x.whens[i].result, *y.whens[i].result))
            return false;
    return true;
}

}  // namespace

bool sameExpression(const Expr& a, const Expr& b) {
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
        case ExprKind::Literal: {
            const auto &x = a.as<Literal>(), &y = b.as<Literal>();
            return x.form == y.form && x.text == y.text &&
                   x.intervalQualifier == y.intervalQualifier;
        }
        case ExprKind::ColumnRef: {
            const auto &x = a.as<ColumnRef>(), &y = b.as<ColumnRef>();
            if (x.binding.source || y.binding.source)
                return x.binding.source == y.binding.source &&
                       x.binding.column == y.binding.column &&
                       x.binding.outerLevels == y.binding.outerLevels;
            return sameName(x.parts, y.parts);
        }
        case ExprKind::BindParameter:
            return a.as<BindParameter>().text == b.as<BindParameter>().text;
        case ExprKind::PseudoColumn:
            return a.as<PseudoColumn>().which == b.as<PseudoColumn>().which;
        case ExprKind::Unary:
            return a.as<Unary>().op == b.as<Unary>().op &&
                   sameExpression(*a.as<Unary>().operand, *b.as<Unary>().operand);
        case ExprKind::Binary: {
            const auto &x = a.as<Binary>(), &y = b.as<Binary>();
            return x.op == y.op && sameExpression(*x.left, *y.left) &&
                   sameExpression(*x.right, *y.right);
        }
        case ExprKind::Comparison:
        case ExprKind::IsNull:
        case ExprKind::Like:
        case ExprKind::Between:
        case ExprKind::InList:
        case ExprKind::QuantifiedComparison:
            return sameCondition(a, b);
        case ExprKind::Tuple:
            return sameList(a.as<Tuple>().items, b.as<Tuple>().items);
        case ExprKind::FunctionCall: {
            const auto &x = a.as<FunctionCall>(), &y = b.as<FunctionCall>();
            return sameName(x.name, y.name) && x.distinct == y.distinct && x.star == y.star &&
                   !x.over && !y.over && !x.keep && !y.keep && !x.hasWithinGroup &&
                   !y.hasWithinGroup && sameList(x.args, y.args);
        }
        case ExprKind::Case:
            return sameCase(a.as<Case>(), b.as<Case>());
        case ExprKind::Cast: {
            const auto &x = a.as<Cast>(), &y = b.as<Cast>();
            return x.target.words == y.target.words && x.target.arguments == y.target.arguments &&
                   sameExpression(*x.operand, *y.operand);
        }
        case ExprKind::Extract:
            return a.as<Extract>().field == b.as<Extract>().field &&
                   sameExpression(*a.as<Extract>().source, *b.as<Extract>().source);
        case ExprKind::Trim: {
            const auto &x = a.as<Trim>(), &y = b.as<Trim>();
            return x.side == y.side && sameOptional(x.character, y.character) &&
                   sameExpression(*x.source, *y.source);
        }
        default:
            return false;
    }
}

void groupingExpressions(const std::vector<GroupingElement>& groupBy,
                         std::vector<const Expr*>& out) {
    for (const GroupingElement& g : groupBy) {
        if (g.expr && g.expr->kind == ExprKind::Tuple) {
            for (const ExprPtr& item : g.expr->as<Tuple>().items)
                out.push_back(item.get());  // a composite column (a, b)
        } else if (g.expr) {
            out.push_back(g.expr.get());
        }
        groupingExpressions(g.children, out);
    }
}

void checkGrouping(const SelectBlock& b) {
    if (b.groupBy.empty() && !b.aggregates)
        return;
    std::vector<const Expr*> groups;
    groupingExpressions(b.groupBy, groups);
    for (const Expr* g : groups)
        if (hasUnresolvedColumn(*g))
            return;  // perhaps a name Oracle reads otherwise: SQLite decides
    for (const SelectItem& item : b.items) {
        if (item.expr->kind == ExprKind::Star || !hasLooseColumn(*item.expr, groups))
            continue;
        if (b.groupBy.empty())
            fail(937, "not a single-group group function");
        fail(979, "not a GROUP BY expression");
    }
    if (b.having && hasLooseColumn(*b.having, groups))
        fail(979, "not a GROUP BY expression");
}

void checkGroupedOrderBy(const SelectBlock& b, const std::vector<OrderItem>& orderBy) {
    if (b.groupBy.empty() && !b.aggregates)
        return;
    std::vector<const Expr*> groups;
    groupingExpressions(b.groupBy, groups);
    for (const Expr* g : groups)
        if (hasUnresolvedColumn(*g))
            return;
    auto namesItem = [&](const Expr& e) {
        if (e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Number)
            return true;  // a position
        for (const SelectItem& item : b.items) {
            if (sameExpression(e, *item.expr))
                return true;
            if (e.kind == ExprKind::ColumnRef && e.as<ColumnRef>().parts.size() == 1 &&
                equalsIgnoringCase(e.as<ColumnRef>().column().name, item.heading))
                return true;
        }
        return false;
    };
    for (const OrderItem& o : orderBy) {
        if (namesItem(*o.expr) || hasUnresolvedColumn(*o.expr) || !hasLooseColumn(*o.expr, groups))
            continue;
        if (b.groupBy.empty())
            fail(937, "not a single-group group function");
        fail(979, "not a GROUP BY expression");
    }
}

void checkSetOperationTypes(const std::vector<OracleType>& left,
                            const std::vector<OracleType>& right) {
    for (std::size_t i = 0; i < left.size() && i < right.size(); ++i) {
        const int a = typeFamily(left[i]), b = typeFamily(right[i]);
        if (a && b && a != b)
            fail(1790, "expression must have same datatype as corresponding expression");
    }
}

}  // namespace localengine::dialect
