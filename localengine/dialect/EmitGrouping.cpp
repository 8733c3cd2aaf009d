// GROUP BY ROLLUP, CUBE and GROUPING SETS as one grouped query per grouping
// set, joined by UNION ALL. In each, an expression grouped in another set
// but not in this one is NULL in the select list and HAVING, GROUPING(x) is
// 1 for such an expression and 0 for a grouped one, and GROUPING_ID(a, b ...)
// reads those bits as a binary number, a first. Aggregates see the rows as
// they are. The query's ORDER BY then sorts the whole by select-list
// positions. Analytic functions and ROWNUM, which would have to see the
// rows of every set together, are refused.
//
// Sets, as Oracle forms them: ROLLUP(a, b) is (a, b), (a), (); CUBE(a, b)
// is every subset; GROUPING SETS lists them; a composite (a, b) counts as
// one; several elements of GROUP BY combine every set of each with every
// set of the others.

#include "AstWalk.h"
#include "Binder.h"
#include "Emitter.h"
#include "Error.h"
#include "GroupRules.h"
#include "Lexer.h"

namespace localengine::dialect {

namespace {

using Set = std::vector<const Expr*>;

constexpr std::size_t kMaxSets = 4096;

Set unitOf(const GroupingElement& g) {
    if (g.kind != GroupingElement::Kind::Expression)
        unsupported("ROLLUP or CUBE over other than expressions");
    if (g.expr->kind != ExprKind::Tuple)
        return {g.expr.get()};
    Set unit;
    for (const ExprPtr& item : g.expr->as<Tuple>().items)
        unit.push_back(item.get());
    return unit;
}

void append(Set& to, const Set& from) {
    to.insert(to.end(), from.begin(), from.end());
}

std::vector<Set> setsOf(const GroupingElement& g) {
    switch (g.kind) {
        case GroupingElement::Kind::Expression:
            return {unitOf(g)};
        case GroupingElement::Kind::Empty:
            return {Set{}};
        case GroupingElement::Kind::Rollup: {
            std::vector<Set> out;
            for (std::size_t k = g.children.size() + 1; k-- > 0;) {
                Set s;
                for (std::size_t i = 0; i < k; ++i)
                    append(s, unitOf(g.children[i]));
                out.push_back(std::move(s));
            }
            return out;
        }
        case GroupingElement::Kind::Cube: {
            if (g.children.size() > 12)
                unsupported("CUBE of more than 12 expressions");
            std::vector<Set> out;
            const std::size_t n = g.children.size();
            for (std::size_t mask = (std::size_t(1) << n); mask-- > 0;) {
                Set s;
                for (std::size_t i = 0; i < n; ++i)
                    if (mask & (std::size_t(1) << (n - 1 - i)))
                        append(s, unitOf(g.children[i]));
                out.push_back(std::move(s));
            }
            return out;
        }
        case GroupingElement::Kind::GroupingSets: {
            std::vector<Set> out;
            for (const GroupingElement& child : g.children)
                for (Set& s : setsOf(child))
                    out.push_back(std::move(s));
            return out;
        }
    }
    return {};
}

bool isNamed(const FunctionCall& f, const char* name) {
    return f.name.size() == 1 && !f.name.front().quoted && f.functionName() == name;
}

bool contains(const Set& set, const Expr& e) {
    for (const Expr* g : set)
        if (sameExpression(*g, e))
            return true;
    return false;
}

bool readsRownum(const Expr& e) {
    if (e.kind == ExprKind::PseudoColumn && e.as<PseudoColumn>().which == Pseudo::Rownum)
        return true;
    bool found = false;
    forEachChild(e, [&](const Expr& child) { found = found || readsRownum(child); });
    return found;
}

}  // namespace

std::vector<std::vector<const Expr*>> groupingSets(const SelectBlock& b) {
    std::vector<Set> result{Set{}};
    for (const GroupingElement& g : b.groupBy) {
        const std::vector<Set> sets = setsOf(g);
        std::vector<Set> combined;
        for (const Set& left : result) {
            for (const Set& right : sets) {
                Set s = left;
                append(s, right);
                combined.push_back(std::move(s));
                if (combined.size() > kMaxSets)
                    unsupported("GROUP BY with more than 4096 grouping sets");
            }
        }
        result = std::move(combined);
    }
    return result;
}

// The block once per grouping set, joined by UNION ALL.
void Emitter::groupingSetsBlock(const SelectBlock& b, const Query* owner, bool member) {
    const std::vector<Set> sets = groupingSets(b);
    GroupingContext context;
    groupingExpressions(b.groupBy, context.all);
    if (sets.size() == 1) {
        context.set = sets.front();
        const GroupingContext* saved = m_groupingSet;
        m_groupingSet = &context;
        selectBlock(b, owner, member);
        m_groupingSet = saved;
        return;
    }
    if (b.analytics)
        unsupported("analytic functions in a query with ROLLUP, CUBE or GROUPING SETS");
    for (const SelectItem& item : b.items) {
        if (item.expr->kind == ExprKind::Star)
            unsupported("* in a query with ROLLUP, CUBE or GROUPING SETS");
        if (readsRownum(*item.expr))
            unsupported("ROWNUM in a query with ROLLUP, CUBE or GROUPING SETS");
    }
    if (b.where) {
        std::vector<const Expr*> conditions;
        splitConjuncts(b.where.get(), conditions);
        for (const Expr* c : conditions)
            if (readsRownum(*c))
                unsupported("ROWNUM in a query with ROLLUP, CUBE or GROUPING SETS");
    }
    const bool wrap =
        member || (owner && (owner->limit.fetch || owner->limit.offset) && owner->orderBy.empty());
    if (wrap)
        m_out += "SELECT * FROM (";
    const GroupingContext* saved = m_groupingSet;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (i)
            m_out += " UNION ALL ";
        context.set = sets[i];
        m_groupingSet = &context;
        selectBlock(b, nullptr, false);
        checkLength(m_out.size());
    }
    m_groupingSet = saved;
    if (wrap)
        m_out += ')';
}

// Within the select list and HAVING of a grouped block: GROUPING,
// GROUPING_ID, and the grouped expressions this set leaves out.
bool Emitter::groupingWrites(const Expr& e) {
    const GroupingContext& g = *m_grouping;
    if (e.kind == ExprKind::FunctionCall) {
        const auto& f = e.as<FunctionCall>();
        if (!f.over && (isNamed(f, "GROUPING") || isNamed(f, "GROUPING_ID"))) {
            if (f.args.empty() || (isNamed(f, "GROUPING") && f.args.size() != 1))
                fail(909, "invalid number of arguments");
            if (f.args.size() > 62)
                fail(939, "too many arguments for function");
            std::int64_t bits = 0;
            for (const ExprPtr& arg : f.args) {
                if (!contains(g.all, *arg))
                    fail(979, "not a GROUP BY expression");
                bits = bits * 2 + (contains(g.set, *arg) ? 0 : 1);
            }
            m_out += std::to_string(bits);
            return true;
        }
        if (!f.over && f.name.size() == 1 && isAggregateFunction(f.functionName())) {
            const GroupingContext* saved = m_grouping;
            m_grouping = nullptr;  // the aggregate reads the rows themselves
            expr(e);
            m_grouping = saved;
            return true;
        }
    }
    if (e.kind == ExprKind::Literal || !contains(g.all, e) || contains(g.set, e))
        return false;
    m_out += "NULL";
    return true;
}

// ORDER BY of a query with several grouping sets: by select-list position.
void Emitter::orderByPositions(const std::vector<OrderItem>& items, const SelectBlock& b) {
    m_out += "ORDER BY ";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const OrderItem& o = items[i];
        if (i)
            m_out += ", ";
        std::size_t position = 0;
        if (o.expr->kind == ExprKind::Literal &&
            o.expr->as<Literal>().form == Literal::Form::Number)
            position = static_cast<std::size_t>(std::atoll(o.expr->as<Literal>().text.c_str()));
        for (std::size_t k = 0; k < b.items.size() && !position; ++k) {
            const SelectItem& item = b.items[k];
            const bool byName = o.expr->kind == ExprKind::ColumnRef &&
                                o.expr->as<ColumnRef>().parts.size() == 1 &&
                                o.expr->as<ColumnRef>().column().name == item.heading;
            if (byName || sameExpression(*o.expr, *item.expr))
                position = k + 1;
        }
        if (position < 1 || position > b.items.size())
            unsupported(
                "ORDER BY other than a select-list item in a query with ROLLUP, CUBE or "
                "GROUPING SETS");
        m_out += std::to_string(position);
        m_out += sortDirection(o);
    }
}

}  // namespace localengine::dialect
