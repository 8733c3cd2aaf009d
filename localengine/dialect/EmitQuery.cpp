// Queries in SQLite's words: WITH, set operators, select blocks with the
// ROWNUM and (+) stages, FROM items, ORDER BY and row limits.

#include "Emitter.h"
#include "Error.h"
#include "HierarchicalQuery.h"
#include "OuterJoin.h"
#include "PlanDisplayCall.h"
#include "RownumLimit.h"
#include "WorkingNames.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace localengine::dialect {

namespace {

QueryBlockFacts* factsOf(Translation& result, const SelectBlock& b) {
    if (b.number < 1 || b.number > static_cast<int>(result.facts.blocks.size()))
        return nullptr;
    return &result.facts.blocks[static_cast<std::size_t>(b.number - 1)];
}

// DUAL, or SYS.DUAL / PUBLIC.DUAL, as Oracle resolves the name.
bool isDual(const QualifiedName& name) {
    if (name.empty() || name.size() > 2 || name.back().name != "DUAL")
        return false;
    return name.size() == 1 || name.front().name == "SYS" || name.front().name == "PUBLIC";
}

}  // namespace

void Emitter::query(const Query& q) {
    if (q.orderSiblings && !(q.singleBlock() && q.singleBlock()->hierarchy))
        fail(30929, "ORDER SIBLINGS BY clause not allowed here");
    if (!q.with.empty())
        withClause(q);
    const SelectBlock* single = q.singleBlock();
    if (single && single->hierarchy) {
        HierarchicalQuery(*this, *single, &q)
            .write(q.with.empty() ? HierarchicalQuery::Placement::MayStartWithWith
                                  : HierarchicalQuery::Placement::InsideSelectStar);
        return;
    }
    term(*q.body, &q, false);
    if (!q.orderBy.empty()) {
        m_out += " ";
        if (single && groupingSets(*single).size() > 1)
            orderByPositions(q.orderBy, *single);
        else
            orderBy(q.orderBy, &q);
    }
    rowLimit(q.limit);
}

void Emitter::withClause(const Query& q) {
    m_out += "WITH ";
    for (std::size_t i = 0; i < q.with.size(); ++i) {
        const CommonTable& c = q.with[i];
        if (i)
            m_out += ", ";
        name(c.name);
        if (!c.columns.empty()) {
            m_out += '(';
            for (std::size_t k = 0; k < c.columns.size(); ++k) {
                if (k)
                    m_out += ", ";
                name(c.columns[k]);
            }
            m_out += ')';
        }
        m_out += " AS ";
        subquery(*c.query);
    }
    m_out += ' ';
}

// A member of a set operation (`member`) cannot start with WITH nor end
// with LIMIT in SQLite: such a member is read through SELECT * FROM (...).
void Emitter::term(const QueryTerm& t, const Query* owner, bool member) {
    switch (t.kind) {
        case QueryTermKind::Select:
            if (t.select->hierarchy)
                HierarchicalQuery(*this, *t.select, nullptr)
                    .write(HierarchicalQuery::Placement::InsideSelectStar);
            else if (!t.select->groupBy.empty() && !m_groupingSet)
                groupingSetsBlock(*t.select, owner, member);
            else
                selectBlock(*t.select, owner, member);
            break;
        case QueryTermKind::SetOperation: {
            term(*t.left, nullptr, true);
            if (t.all && t.op != SetOp::Union)
                unsupported(std::string(t.op == SetOp::Minus ? "MINUS" : "INTERSECT") + " ALL");
            m_out += t.op == SetOp::Union       ? " UNION "
                     : t.op == SetOp::Intersect ? " INTERSECT "
                                                : " EXCEPT ";
            if (t.all)
                m_out += "ALL ";
            term(*t.right, nullptr, true);
            break;
        }
        case QueryTermKind::Nested:
            m_out += "SELECT * FROM ";
            subquery(*t.nested);
            break;
    }
}

void Emitter::selectBlock(const SelectBlock& b, const Query* owner, bool member) {
    const std::size_t start = m_out.size();
    m_out += "SELECT" + blockMark(b.number) + (b.distinct ? " DISTINCT " : " ");
    m_grouping = m_groupingSet;
    selectItems(b);
    m_grouping = nullptr;
    std::string pendingLimit;
    fromAndWhere(b, owner, pendingLimit);
    groupBy(b);
    if (b.having) {
        const ConditionScope condition(*this, true);
        m_out += " HAVING ";
        m_grouping = m_groupingSet;
        expr(*b.having);
        m_grouping = nullptr;
    }
    if (pendingLimit.empty())
        return;
    // A limit that must end the block where SQLite allows none.
    const bool wrap = member || (owner && (owner->limit.fetch || owner->limit.offset));
    if (wrap)
        m_out.insert(start, "SELECT * FROM (");
    m_out += " LIMIT ";
    m_out += pendingLimit;
    if (wrap)
        m_out += ')';
}

void Emitter::selectItems(const SelectBlock& b) {
    const std::vector<Identifier> headings = std::move(m_headingOverride);
    m_headingOverride.clear();
    if (!headings.empty() && headings.size() != b.items.size())
        fail(ora::kInvalidIdentifier, "invalid number of column names for the query's columns");
    for (std::size_t i = 0; i < b.items.size(); ++i) {
        const SelectItem& item = b.items[i];
        if (i)
            m_out += ", ";
        if (item.expr->kind == ExprKind::Star) {
            if (!headings.empty())
                unsupported("column names for a query with *");
            const Star& star = item.expr->as<Star>();
            if (!star.qualifier.empty()) {
                qualifiedName(star.qualifier);
                m_out += '.';
            }
            m_out += '*';
            continue;
        }
        const bool singleRow = &b == m_singleRowBlock && i == 0;
        if (singleRow)
            m_singleRowBlock = nullptr;  // not for the blocks inside the item
        if (singleRow)
            m_out += "ORA_SCALAR(";
        expr(*item.expr);
        if (singleRow)
            m_out += ')';
        const std::string& heading = headings.empty() ? item.heading : headings[i].name;
        m_out += " AS ";
        m_out += quoteName(heading);
        m_result.namedColumns.insert(heading);
    }
}

// FROM and WHERE with the ROWNUM and (+) stages. A ROWNUM limit that cannot
// go into the source is returned in `pendingLimit` for the block's end.
void Emitter::fromAndWhere(const SelectBlock& b, const Query* owner, std::string& pendingLimit) {
    const RownumLimit rownum = findRownumLimit(b);
    if (rownum.found()) {
        if (QueryBlockFacts* facts = factsOf(m_result, b)) {
            facts->rownumLimit = rownum.rows();
            facts->rownumLimitParameter = !rownum.rows().has_value();
        }
        pendingLimit = rownumLimitText(rownum);
    }
    const std::optional<OuterJoinLayout> joins = layoutOuterJoins(b, rownum.rest);
    const bool singleSource = rownum.found() && !joins && b.from.size() == 1 &&
                              (b.from[0]->kind == TableRefKind::Named ||
                               (b.from[0]->kind == TableRefKind::Derived && b.from[0]->alias));
    if (singleSource) {
        limitedSource(*b.from[0], rownum.rest, pendingLimit, b.number);
        pendingLimit.clear();
        return;
    }
    if (rownum.found() && ((owner && !owner->orderBy.empty()) || !b.groupBy.empty() || b.distinct ||
                           b.aggregates || b.analytics || b.having))
        unsupported(
            "ROWNUM limit over a join with ORDER BY, GROUP BY, DISTINCT, aggregate or "
            "analytic functions");
    if (joins) {
        outerJoinFrom(*joins);
    } else if (!b.from.empty()) {
        m_out += " FROM ";
        for (std::size_t i = 0; i < b.from.size(); ++i) {
            if (i)
                m_out += ", ";
            tableReference(*b.from[i]);
        }
    }
    const std::vector<const Expr*>& where = joins ? joins->where : rownum.rest;
    if (!where.empty()) {
        const ConditionScope condition(*this, true);
        m_out += " WHERE ";
        conjunction(where);
    }
}

// The number of rows, or the smallest of the bounds; OFFSET 0 keeps SQLite
// from merging the limited query into the one around it.
std::string Emitter::rownumLimitText(const RownumLimit& rownum) {
    std::string text = capture([&] {
        if (rownum.rows()) {
            m_out += std::to_string(*rownum.rows());
            return;
        }
        if (rownum.bounds.size() > 1)
            m_out += "MIN(";
        for (std::size_t i = 0; i < rownum.bounds.size(); ++i) {
            if (i)
                m_out += ", ";
            if (rownum.bounds[i].value)
                limitValue(*rownum.bounds[i].value, rownum.bounds[i].lessThan);
            else
                m_out += std::to_string(rownum.bounds[i].rows);
        }
        if (rownum.bounds.size() > 1)
            m_out += ')';
    });
    return text + " OFFSET 0";
}

// The limited rows of one table or inline view become the block's source;
// grouping and sorting follow.
void Emitter::limitedSource(const TableRef& source, const std::vector<const Expr*>& conditions,
                            const std::string& limit, int block) {
    const Identifier alias = source.alias ? *source.alias : source.as<NamedTable>().exposedName();
    m_out += " FROM (SELECT" + blockMark(block, "ROWNUM") + " * FROM ";
    tableReference(source);  // with its alias: inside, the conditions use it
    if (!source.alias) {
        m_out += " AS ";
        m_out += quoteName(alias.name);
    }
    if (!conditions.empty()) {
        const ConditionScope condition(*this, true);
        m_out += " WHERE ";
        conjunction(conditions);
    }
    m_out += " LIMIT " + limit + ") " + quoteName(alias.name);
}

// The required items joined by commas, then each optional one by LEFT JOIN
// with the conditions that mark it.
void Emitter::outerJoinFrom(const OuterJoinLayout& joins) {
    m_out += " FROM ";
    bool first = true;
    for (const OuterJoinLayout::Item& item : joins.items) {
        if (joins.optional(item))
            continue;
        if (!first)
            m_out += ", ";
        tableReference(*item.source);
        first = false;
    }
    for (const OuterJoinLayout::Item& item : joins.items) {
        if (!joins.optional(item))
            continue;
        m_out += " LEFT JOIN ";
        tableReference(*item.source);
        m_out += " ON ";
        const ConditionScope condition(*this, true);
        m_outerJoinMarksAllowed = true;
        conjunction(item.on);
        m_outerJoinMarksAllowed = false;
    }
}

void Emitter::tableReference(const TableRef& ref) {
    if (ref.unpivot) {
        unpivotSource(ref);
        if (ref.alias) {
            m_out += ' ';
            name(*ref.alias);
        }
        return;
    }
    if (ref.pivot) {
        pivotSource(ref);
        if (ref.alias) {
            m_out += ' ';
            name(*ref.alias);
        }
        return;
    }
    switch (ref.kind) {
        case TableRefKind::Named: {
            const auto& table = ref.as<NamedTable>();
            if (!table.dbLink.empty())
                unsupported("database links");
            if (m_inView && isDual(table.name)) {
                // DUAL is each connection's own (a temporary view), which a
                // view kept in the database cannot name: it gets the row.
                m_out += "(SELECT 'X' AS DUMMY)";
                if (!ref.alias)
                    m_out += " AS DUAL";
                break;
            }
            qualifiedName(table.name);
            break;
        }
        case TableRefKind::Derived:
            if (ref.as<DerivedTable>().lateral)
                unsupported("LATERAL inline views");
            subquery(*ref.as<DerivedTable>().query);
            break;
        case TableRefKind::Collection: {
            const Expr& collection = *ref.as<CollectionTable>().collection;
            if (!isPlanDisplay(collection))
                unsupported("TABLE(...) in FROM");
            static const char* const kDefaults[] = {"'PLAN_TABLE'", "NULL", "'TYPICAL'"};
            const std::vector<const Expr*> args = planDisplayArguments(collection);
            m_out += std::string(kPlanDisplayFunction) + "(";
            for (std::size_t i = 0; i < std::max<std::size_t>(args.size(), 3); ++i) {
                if (i > 0)
                    m_out += ", ";
                if (i < args.size())
                    expr(*args[i]);
                else
                    m_out += kDefaults[i];
            }
            m_out += ')';
            break;
        }
        case TableRefKind::Join: {
            const auto& join = ref.as<Join>();
            tableReference(*join.left);
            static const char* const kJoins[] = {" JOIN ", " LEFT JOIN ", " RIGHT JOIN ",
                                                 " FULL JOIN ", " JOIN "};
            if (join.natural)
                m_out += " NATURAL";
            m_out += kJoins[static_cast<int>(join.join)];
            const bool nested = join.right->kind == TableRefKind::Join;
            if (nested)
                m_out += '(';
            tableReference(*join.right);
            if (nested)
                m_out += ')';
            if (join.on) {
                const ConditionScope condition(*this, true);
                m_out += " ON ";
                expr(*join.on);
            } else if (!join.usingColumns.empty()) {
                m_out += " USING (";
                for (std::size_t i = 0; i < join.usingColumns.size(); ++i) {
                    if (i)
                        m_out += ", ";
                    name(join.usingColumns[i]);
                }
                m_out += ')';
            }
            return;
        }
    }
    if (ref.alias) {
        m_out += ' ';
        name(*ref.alias);
    }
}

// PIVOT as the grouped query it stands for: the grouping columns, then per
// value and aggregate agg(CASE WHEN column = value THEN x END).
void Emitter::pivotSource(const TableRef& ref) {
    const PivotClause& p = *ref.pivot;
    const ConditionScope plain(*this, false);
    std::string groupList;
    for (const Identifier& g : p.groupColumns)
        groupList += (groupList.empty() ? "" : ", ") + quoteName(g.name);
    m_out += "(SELECT " + groupList;
    std::size_t column = 0;
    for (const PivotClause::Value& v : p.values) {
        for (const PivotClause::Aggregate& a : p.aggregates) {
            const FunctionCall& f = a.call->as<FunctionCall>();
            if (f.hasWithinGroup || f.keep || f.args.size() > 1)
                unsupported(f.functionName() + " in PIVOT");
            if (column || !groupList.empty())
                m_out += ", ";
            m_out += f.functionName() + (f.distinct ? "(DISTINCT " : "(") + "CASE WHEN ";
            expr(*p.forColumn, kCompareOperand);
            m_out += " = ";
            expr(*v.value, kCompareOperand);
            m_out += " THEN ";
            if (f.star)
                m_out += '1';
            else
                expr(*f.args[0]);
            m_out += " END) AS " + quoteName(p.valueColumns[column++]);
        }
    }
    m_out += " FROM ";
    if (ref.kind == TableRefKind::Named)
        qualifiedName(ref.as<NamedTable>().name);
    else if (ref.kind == TableRefKind::Derived)
        subquery(*ref.as<DerivedTable>().query);
    else
        unsupported("PIVOT over this source");
    if (p.sourceAlias) {
        m_out += ' ';
        name(*p.sourceAlias);
    }
    if (!groupList.empty())
        m_out += " GROUP BY " + groupList;
    m_out += ')';
}

// UNPIVOT: the source crossed with the numbers of the IN items, each row
// taking the labels and the columns of its item:
//   (SELECT * FROM (SELECT kept..., CASE "__UN" WHEN 1 THEN label1 ... END AS name, ...,
//     CASE "__UN" WHEN 1 THEN c1 ... END AS value, ... FROM source [alias]
//     CROSS JOIN (SELECT 1 AS "__UN" UNION ALL SELECT 2 ...) AS "__U")
//   WHERE NOT (value IS NULL AND ...))
// CROSS JOIN keeps the source as the outer loop: a source row's rows come
// together, in the order of the items.
void Emitter::unpivotSource(const TableRef& ref) {
    const UnpivotClause& u = *ref.unpivot;
    const ConditionScope plain(*this, false);
    m_result.unexplained = "UNPIVOT";
    const std::string item = quoteName(working::kUnpivotItem);
    m_out += u.includeNulls ? "(SELECT " : "(SELECT * FROM (SELECT ";
    bool first = true;
    auto next = [&] {
        m_out += first ? "" : ", ";
        first = false;
    };
    for (const Identifier& k : u.keptColumns) {
        next();
        m_out += quoteName(k.name);
    }
    auto choice = [&](const Identifier& column,
                      const std::function<void(const UnpivotClause::Item&)>& value) {
        next();
        m_out += "CASE " + item;
        for (std::size_t k = 0; k < u.items.size(); ++k) {
            m_out += " WHEN " + std::to_string(k + 1) + " THEN ";
            value(u.items[k]);
        }
        m_out += " END AS " + quoteName(column.name);
    };
    for (std::size_t i = 0; i < u.nameColumns.size(); ++i)
        choice(u.nameColumns[i], [&](const UnpivotClause::Item& it) {
            if (!it.labels.empty()) {
                expr(*it.labels[i]);
                return;
            }
            std::string label;
            for (const ExprPtr& c : it.columns)
                label += (label.empty() ? "" : "_") + c->as<ColumnRef>().column().name;
            m_out += quoteText(label);
        });
    for (std::size_t i = 0; i < u.valueColumns.size(); ++i)
        choice(u.valueColumns[i], [&](const UnpivotClause::Item& it) { expr(*it.columns[i]); });
    m_out += " FROM ";
    if (ref.kind == TableRefKind::Named)
        qualifiedName(ref.as<NamedTable>().name);
    else if (ref.kind == TableRefKind::Derived)
        subquery(*ref.as<DerivedTable>().query);
    else
        unsupported("UNPIVOT over this source");
    if (u.sourceAlias) {
        m_out += ' ';
        name(*u.sourceAlias);
    }
    m_out += " CROSS JOIN (";
    for (std::size_t k = 0; k < u.items.size(); ++k)
        m_out += (k ? " UNION ALL SELECT " : "SELECT ") + std::to_string(k + 1) +
                 (k ? "" : " AS " + item);
    m_out += ") AS " + quoteName(working::kUnpivotItems);
    if (!u.includeNulls) {
        m_out += ") WHERE NOT (";
        for (std::size_t i = 0; i < u.valueColumns.size(); ++i)
            m_out += (i ? " AND " : "") + quoteName(u.valueColumns[i].name) + " IS NULL";
        m_out += ')';
    }
    m_out += ')';
}

void Emitter::groupBy(const SelectBlock& b) {
    if (b.groupBy.empty())
        return;
    const ConditionScope plain(*this, false);
    if (m_groupingSet) {
        // One grouping set; none at all is one group of every row.
        const std::vector<const Expr*>& set = m_groupingSet->set;
        if (set.empty()) {
            if (!b.aggregates)
                m_out += " GROUP BY NULL";
            return;
        }
        m_out += " GROUP BY ";
        for (std::size_t i = 0; i < set.size(); ++i) {
            if (i)
                m_out += ", ";
            expr(*set[i]);
        }
        return;
    }
    m_out += " GROUP BY ";
    for (std::size_t i = 0; i < b.groupBy.size(); ++i) {
        const GroupingElement& g = b.groupBy[i];
        if (g.kind == GroupingElement::Kind::Rollup)
            unsupported("GROUP BY ROLLUP");
        if (g.kind == GroupingElement::Kind::Cube)
            unsupported("GROUP BY CUBE");
        if (g.kind == GroupingElement::Kind::GroupingSets)
            unsupported("GROUP BY GROUPING SETS");
        if (g.kind == GroupingElement::Kind::Empty)
            unsupported("GROUP BY ()");
        if (i)
            m_out += ", ";
        expr(*g.expr);
    }
}

namespace {

// The type of an ORDER BY item: its own, or that of the select-list item
// it names by position or heading.
OracleType sortKeyType(const Expr& e, const Query* owner) {
    const bool position =
        e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Number;
    if ((e.type != OracleType::Unknown && !position) || !owner || !owner->columnsKnown)
        return position ? OracleType::Unknown : e.type;
    const auto& types = owner->columnTypes;
    if (position) {
        const long long position = std::atoll(e.as<Literal>().text.c_str());
        return position >= 1 && static_cast<std::size_t>(position) <= types.size()
                   ? types[static_cast<std::size_t>(position - 1)]
                   : OracleType::Unknown;
    }
    if (e.kind == ExprKind::ColumnRef && e.as<ColumnRef>().parts.size() == 1 &&
        !e.as<ColumnRef>().binding.source) {
        const Identifier& name = e.as<ColumnRef>().column();
        for (std::size_t i = 0; i < owner->columns.size() && i < types.size(); ++i)
            if (owner->columns[i].name == name.name)
                return types[i];
    }
    return OracleType::Unknown;
}

}  // namespace

void Emitter::orderBy(const std::vector<OrderItem>& items, const Query* owner) {
    m_out += "ORDER BY ";
    const ConditionScope plain(*this, false);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const OrderItem& o = items[i];
        if (i)
            m_out += ", ";
        if (sortKeyType(*o.expr, owner) == OracleType::Interval)
            collated(*o.expr);
        else
            expr(*o.expr);
        m_out += sortDirection(o);
    }
}

// Oracle sorts NULL above every value: last ascending, first descending,
// unless NULLS FIRST|LAST says otherwise. SQLite's default is the reverse,
// so the placement is written whenever the two differ.
std::string sortDirection(const OrderItem& o) {
    const bool nullsFirst =
        o.nulls == NullsOrder::First || (o.nulls == NullsOrder::Default && o.descending);
    std::string out = o.descending ? " DESC" : "";
    if (nullsFirst != !o.descending)
        out += nullsFirst ? " NULLS FIRST" : " NULLS LAST";
    return out;
}

// OFFSET n ROWS / FETCH FIRST n ROWS ONLY as LIMIT and OFFSET. Oracle
// truncates a fraction and reads a negative count as none, where SQLite's
// LIMIT -1 would mean no limit at all.
void Emitter::rowLimit(const RowLimit& limit) {
    if (!limit.fetch && !limit.offset)
        return;
    if (limit.percent)
        unsupported("FETCH FIRST ... PERCENT");
    if (limit.withTies)
        unsupported("FETCH FIRST ... WITH TIES");
    m_out += " LIMIT ";
    if (limit.fetch)
        limitValue(*limit.fetch, false);
    else
        m_out += "-1";
    if (limit.offset) {
        m_out += " OFFSET ";
        limitValue(*limit.offset, false);
    }
}

void Emitter::limitValue(const Expr& e, bool minusOne) {
    if (e.kind == ExprKind::Literal && e.as<Literal>().form == Literal::Form::Number) {
        const double n = std::strtod(e.as<Literal>().text.c_str(), nullptr);
        double rows = minusOne ? std::ceil(n) - 1 : std::floor(n);
        if (!(rows > 0))
            rows = 0;
        m_out += std::to_string(static_cast<long long>(std::min(rows, 9.2e18)));
        return;
    }
    const ConditionScope plain(*this, false);
    m_out += "MAX(0, CAST(";
    expr(e);
    m_out += minusOne ? " AS INTEGER) - 1)" : " AS INTEGER))";
}

}  // namespace localengine::dialect
