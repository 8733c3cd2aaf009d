// The binder's queries: WITH names, query blocks, FROM items and their
// columns, select lists and * expansion.

#include "Binder.h"
#include "PlanDisplayCall.h"

#include "AstWalk.h"
#include "Error.h"
#include "GroupRules.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace localengine::dialect {

void Binder::query(Query& q, const Context& context) {
    WithNames names{context.with, {}};
    if (!q.with.empty())
        withClause(q, names, context);
    const WithNames* with = q.with.empty() ? context.with : &names;
    term(*q.body, q, context, with);
    if (!q.singleBlock()) {
        Scope outputOnly{context.outer, {}, nullptr};
        for (OrderItem& o : q.orderBy)
            expr(o.expr, outputOnly, with);
        for (ExprPtr* e : {&q.limit.offset, &q.limit.fetch})
            if (*e)
                expr(*e, outputOnly, with);
    }
    // The names of the result: those of the first block of a set operation.
    QueryTerm* first = q.body.get();
    while (first->kind == QueryTermKind::SetOperation)
        first = first->left.get();
    if (first->kind == QueryTermKind::Select) {
        outputColumns(*first->select, q);
    } else {
        q.columns = first->nested->columns;
        q.columnTypes = first->nested->columnTypes;
        q.columnsKnown = first->nested->columnsKnown;
    }
}

void Binder::withClause(Query& q, WithNames& names, const Context& context) {
    for (CommonTable& c : q.with) {
        Context inner = context;
        inner.with = &names;
        inner.role = QueryBlockFacts::Role::WithQuery;
        inner.name = c.name.name;
        query(*c.query, inner);
        names.tables.push_back(&c);
        m_withQueries.push_back(c.name.name);
    }
}

void Binder::term(QueryTerm& t, Query& owner, const Context& context, const WithNames* with) {
    switch (t.kind) {
        case QueryTermKind::Select:
            selectBlock(*t.select, owner.singleBlock() == t.select.get() ? &owner : nullptr,
                        context, with);
            break;
        case QueryTermKind::SetOperation:
            term(*t.left, owner, context, with);
            term(*t.right, owner, context, with);
            checkSetOperationTypes(termTypes(*t.left), termTypes(*t.right));
            break;
        case QueryTermKind::Nested: {
            Context inner = context;
            inner.with = with;
            query(*t.nested, inner);
            break;
        }
    }
}

void Binder::selectBlock(SelectBlock& b, Query* owner, const Context& context,
                         const WithNames* with) {
    m_blockIndex[&b] = m_blocks.size();
    BlockInfo registered;
    registered.block = &b;
    registered.parent = context.parentBlock;
    registered.role = context.role;
    registered.name = context.name;
    m_blocks.push_back(std::move(registered));
    Scope scope{context.outer, {}, &b};
    Context inner = context;
    inner.with = with;
    for (TableRefPtr& item : b.from)
        source(*item, scope, inner, with);
    selectItems(b, scope);
    if (b.where) {
        expr(b.where, scope, with);
        noteSubqueryJoins(m_blocks[m_blockIndex[&b]].subqueryJoins, b.where.get());
    }
    if (b.hierarchy) {
        if (b.hierarchy->startWith)
            expr(b.hierarchy->startWith, scope, with);
        expr(b.hierarchy->connectBy, scope, with);
    }
    auto grouping = [&](const auto& self, std::vector<GroupingElement>& list) -> void {
        for (GroupingElement& g : list) {
            if (g.expr)
                expr(g.expr, scope, with);
            self(self, g.children);
        }
    };
    grouping(grouping, b.groupBy);
    if (b.having) {
        expr(b.having, scope, with);
        noteSubqueryJoins(m_blocks[m_blockIndex[&b]].subqueryJoins, b.having.get());
    }
    checkGrouping(b);
    if (!owner)
        return;
    BlockInfo& info = m_blocks[m_blockIndex[&b]];
    info.owner = owner;
    info.orderBy = !owner->orderBy.empty();
    const Expr* fetch = owner->limit.fetch.get();
    if (fetch && fetch->kind == ExprKind::Literal && !owner->limit.percent &&
        fetch->as<Literal>().form == Literal::Form::Number)
        info.fetchFirst = std::strtoll(fetch->as<Literal>().text.c_str(), nullptr, 10);
    for (OrderItem& o : owner->orderBy)
        expr(o.expr, scope, with);
    if (owner->singleBlock() == &b)
        checkGroupedOrderBy(b, owner->orderBy);
    for (ExprPtr* e : {&owner->limit.offset, &owner->limit.fetch})
        if (*e)
            expr(*e, scope, with);
}

// The leaves of FROM (tables, inline views, collections) in the order
// written, each with its columns where they are known.
void Binder::source(TableRef& ref, Scope& scope, const Context& context, const WithNames* with) {
    switch (ref.kind) {
        case TableRefKind::Named: {
            auto& table = ref.as<NamedTable>();
            stripOwner(table.name, 1);
            namedSource(table, with);
            break;
        }
        case TableRefKind::Derived: {
            auto& derived = ref.as<DerivedTable>();
            Context inner = context;
            inner.outer = derived.lateral ? &scope : scope.outer;
            inner.parentBlock = scope.block;
            inner.role = QueryBlockFacts::Role::InlineView;
            inner.name = derived.alias ? derived.alias->name : std::string();
            query(*derived.query, inner);
            derived.columns = derived.query->columns;
            derived.columnTypes = derived.query->columnTypes;
            derived.columnsKnown = derived.query->columnsKnown;
            break;
        }
        case TableRefKind::Collection: {
            auto& collection = ref.as<CollectionTable>();
            if (!isPlanDisplay(*collection.collection)) {
                expr(collection.collection, scope, with);
                break;
            }
            planDisplayArguments(*collection.collection);  // refuses too many
            if (collection.collection->kind == ExprKind::FunctionCall)
                for (ExprPtr& a : collection.collection->as<FunctionCall>().args)
                    expr(a, scope, with);
            ref.columns = {Identifier{kPlanDisplayColumn, false}};
            ref.columnTypes = {OracleType::Varchar2};
            ref.columnsKnown = true;
            break;
        }
        case TableRefKind::Join: {
            auto& join = ref.as<Join>();
            source(*join.left, scope, context, with);
            source(*join.right, scope, context, with);
            if (join.on)
                expr(join.on, scope, with);
            return;  // its leaves are in scope already
        }
    }
    if (ref.pivot)
        pivot(ref, scope, with);
    if (ref.unpivot)
        unpivot(ref, scope, with);
    scope.sources.push_back(&ref);
}

// The pivot's aggregates, FOR column and values are read against the source
// alone; the source then shows the grouping columns (those the clause does
// not name) and one column per value and aggregate.
void Binder::pivot(TableRef& ref, Scope& scope, const WithNames* with) {
    PivotClause& p = *ref.pivot;
    if (!ref.columnsKnown)
        unsupported("PIVOT over a source whose columns are not known");
    Scope inner{scope.outer, {&ref}, nullptr};
    std::optional<Identifier> ownAlias = std::move(ref.alias);
    ref.alias = p.sourceAlias;  // inside the clause, the source goes by its own alias
    std::vector<bool> named(ref.columns.size(), false);
    std::function<void(const Expr&)> mark = [&](const Expr& e) {
        if (e.kind == ExprKind::ColumnRef) {
            const ColumnBinding& b = e.as<ColumnRef>().binding;
            if (b.source == &ref && b.column >= 0)
                named[static_cast<std::size_t>(b.column)] = true;
            return;
        }
        forEachChild(e, mark);
    };
    for (PivotClause::Aggregate& a : p.aggregates) {
        expr(a.call, inner, with);
        if (a.call->kind != ExprKind::FunctionCall || a.call->as<FunctionCall>().over ||
            a.call->as<FunctionCall>().name.size() != 1 ||
            !isAggregateFunction(a.call->as<FunctionCall>().functionName()))
            fail(56902, "expect aggregate function inside pivot operation");
        mark(*a.call);
    }
    expr(p.forColumn, inner, with);
    if (p.forColumn->kind != ExprKind::ColumnRef)
        unsupported("PIVOT FOR other than a column");
    mark(*p.forColumn);
    for (PivotClause::Value& v : p.values)
        expr(v.value, inner, with);
    if (p.aggregates.size() > 1)
        for (const PivotClause::Aggregate& a : p.aggregates)
            if (!a.alias)
                fail(918, "column ambiguously defined");
    ref.alias = std::move(ownAlias);

    std::vector<Identifier> columns;
    std::vector<OracleType> types;
    for (std::size_t i = 0; i < ref.columns.size(); ++i) {
        if (named[i])
            continue;
        p.groupColumns.push_back(ref.columns[i]);
        columns.push_back(ref.columns[i]);
        types.push_back(ref.columnTypes[i]);
    }
    for (const PivotClause::Value& v : p.values) {
        std::string valueName;
        if (v.alias) {
            valueName = v.alias->name;
        } else {
            for (std::uint32_t t = v.value->firstToken;
                 t <= v.value->lastToken && t < m_tokens.size(); ++t)
                valueName += m_tokens[t].kind == TokenKind::Text ? quoteText(m_tokens[t].text)
                                                                 : upperAscii(m_tokens[t].text);
        }
        for (const PivotClause::Aggregate& a : p.aggregates) {
            const std::string name = a.alias ? valueName + "_" + a.alias->name : valueName;
            p.valueColumns.push_back(name);
            columns.push_back(Identifier{name, true});
            types.push_back(a.call->type);
        }
    }
    ref.columns = std::move(columns);
    ref.columnTypes = std::move(types);
}

// The IN items' columns and labels are read against the source alone; the
// source then shows the columns no item names, the name columns and the
// value columns. An item's columns of another type family than the
// earlier items' are ORA-01790, as in a UNION.
void Binder::unpivot(TableRef& ref, Scope& scope, const WithNames* with) {
    UnpivotClause& u = *ref.unpivot;
    if (!ref.columnsKnown)
        unsupported("UNPIVOT over a source whose columns are not known");
    Scope inner{scope.outer, {&ref}, nullptr};
    std::optional<Identifier> ownAlias = std::move(ref.alias);
    ref.alias = u.sourceAlias;  // inside the clause, the source goes by its own alias
    std::vector<bool> named(ref.columns.size(), false);
    std::vector<OracleType> valueTypes(u.valueColumns.size(), OracleType::Unknown);
    std::vector<OracleType> labelTypes(u.nameColumns.size(), OracleType::Unknown);
    auto merge = [](std::vector<OracleType>& types, std::size_t i, OracleType t) {
        checkSetOperationTypes({types[i]}, {t});
        if (types[i] == OracleType::Unknown)
            types[i] = t;
    };
    auto count = [](std::size_t given, std::size_t wanted) {
        if (given > wanted)
            fail(913, "too many values");
        if (given < wanted)
            fail(947, "not enough values");
    };
    for (UnpivotClause::Item& item : u.items) {
        count(item.columns.size(), u.valueColumns.size());
        if (!item.labels.empty())
            count(item.labels.size(), u.nameColumns.size());
        for (std::size_t i = 0; i < item.columns.size(); ++i) {
            expr(item.columns[i], inner, with);
            const ColumnBinding& b = item.columns[i]->as<ColumnRef>().binding;
            if (b.source == &ref && b.column >= 0)
                named[static_cast<std::size_t>(b.column)] = true;
            merge(valueTypes, i, item.columns[i]->type);
        }
        for (std::size_t i = 0; i < u.nameColumns.size(); ++i) {
            if (item.labels.empty()) {
                merge(labelTypes, i, OracleType::Varchar2);
                continue;
            }
            expr(item.labels[i], inner, with);
            merge(labelTypes, i, item.labels[i]->type);
        }
    }
    ref.alias = std::move(ownAlias);

    std::vector<Identifier> columns;
    std::vector<OracleType> types;
    for (std::size_t i = 0; i < ref.columns.size(); ++i) {
        if (named[i])
            continue;
        u.keptColumns.push_back(ref.columns[i]);
        columns.push_back(ref.columns[i]);
        types.push_back(ref.columnTypes[i]);
    }
    for (std::size_t i = 0; i < u.nameColumns.size(); ++i) {
        columns.push_back(u.nameColumns[i]);
        types.push_back(labelTypes[i]);
    }
    for (std::size_t i = 0; i < u.valueColumns.size(); ++i) {
        columns.push_back(u.valueColumns[i]);
        types.push_back(valueTypes[i]);
    }
    ref.columns = std::move(columns);
    ref.columnTypes = std::move(types);
}

void Binder::namedSource(NamedTable& table, const WithNames* with) {
    if (table.name.size() == 1) {
        for (const WithNames* w = with; w; w = w->outer) {
            for (const CommonTable* c : w->tables) {
                if (!(c->name == table.name.front()))
                    continue;
                table.commonTable = true;
                table.columnsKnown = c->query->columnsKnown || !c->columns.empty();
                table.columns = c->columns.empty() ? c->query->columns : c->columns;
                table.columnTypes = c->query->columnTypes;
                table.columnTypes.resize(table.columns.size(), OracleType::Unknown);
                return;
            }
        }
    }
    if (!m_catalog || table.name.size() != 1 || !table.dbLink.empty())
        return;
    table.table = m_catalog->findTable(table.name.front().name);
    if (!table.table)
        return;
    table.columnsKnown = true;
    for (const ColumnInfo& c : table.table->columns) {
        table.columns.push_back(Identifier{c.name, false});
        table.columnTypes.push_back(c.type);
    }
}

void Binder::selectItems(SelectBlock& b, Scope& scope) {
    for (SelectItem& item : b.items) {
        if (item.expr->kind == ExprKind::Star) {
            expandStar(item.expr->as<Star>(), scope);
            continue;
        }
        if (item.expr->kind == ExprKind::PseudoColumn &&
            item.expr->as<PseudoColumn>().which == Pseudo::Rownum)
            m_blocks[m_blockIndex[&b]].rownumInSelectList = true;
        expr(item.expr, scope, nullptr);
        item.heading = heading(item);
    }
}

void Binder::expandStar(Star& star, const Scope& scope) {
    stripOwner(star.qualifier, 1);
    for (TableRef* s : scope.sources) {
        if (!star.qualifier.empty()) {
            const Identifier* exposed = s->alias ? &*s->alias : nullptr;
            if (!exposed && s->kind == TableRefKind::Named)
                exposed = &s->as<NamedTable>().exposedName();
            if (!exposed || !equalsIgnoringCase(exposed->name, star.qualifier.back().name))
                continue;
        }
        if (!s->columnsKnown)
            return;  // not every column is known: SQLite expands it
        for (std::size_t i = 0; i < s->columns.size(); ++i)
            star.expansion.push_back({s, static_cast<int>(i)});
    }
    star.expanded = !star.expansion.empty();
}

// The result's columns as a source in FROM shows them.
void Binder::outputColumns(SelectBlock& b, Query& owner) {
    owner.columns.clear();
    owner.columnTypes.clear();
    owner.columnsKnown = true;
    for (const SelectItem& item : b.items) {
        if (item.expr->kind != ExprKind::Star) {
            owner.columns.push_back(Identifier{item.heading, true});
            owner.columnTypes.push_back(item.expr->type);
            continue;
        }
        const Star& star = item.expr->as<Star>();
        if (!star.expanded) {
            owner.columnsKnown = false;
            continue;
        }
        for (const Star::Column& c : star.expansion) {
            owner.columns.push_back(c.source->columns[static_cast<std::size_t>(c.column)]);
            owner.columnTypes.push_back(c.source->columnTypes[static_cast<std::size_t>(c.column)]);
        }
    }
}

// The types of a set operation member's columns; empty when not all are known.
std::vector<OracleType> Binder::termTypes(const QueryTerm& t) const {
    switch (t.kind) {
        case QueryTermKind::SetOperation:
            return termTypes(*t.left);
        case QueryTermKind::Nested:
            return t.nested->columnsKnown ? t.nested->columnTypes : std::vector<OracleType>{};
        case QueryTermKind::Select:
            break;
    }
    std::vector<OracleType> types;
    for (const SelectItem& item : t.select->items) {
        if (item.expr->kind != ExprKind::Star) {
            types.push_back(item.expr->type);
            continue;
        }
        const Star& star = item.expr->as<Star>();
        if (!star.expanded)
            return {};
        for (const Star::Column& c : star.expansion)
            types.push_back(c.source->columnTypes[static_cast<std::size_t>(c.column)]);
    }
    return types;
}

SelectBlock* Binder::firstBlock(Query& q) const {
    QueryTerm* t = q.body.get();
    while (t) {
        if (t->kind == QueryTermKind::Select)
            return t->select.get();
        t = t->kind == QueryTermKind::Nested ? t->nested->body.get() : t->left.get();
    }
    return nullptr;
}

// EXISTS, NOT EXISTS, IN and NOT IN subqueries among the conditions joined
// by AND: Oracle runs them as semi- and anti-joins.
void Binder::noteSubqueryJoins(std::vector<BlockInfo::Join>& joins, Expr* condition) {
    std::vector<Expr*> pending{condition};
    while (!pending.empty()) {
        Expr* e = pending.back();
        pending.pop_back();
        if (e->kind == ExprKind::Binary && e->as<Binary>().op == BinaryOp::And) {
            pending.push_back(e->as<Binary>().right.get());
            pending.push_back(e->as<Binary>().left.get());
            continue;
        }
        bool negated = false;
        if (e->kind == ExprKind::Unary && e->as<Unary>().op == UnaryOp::Not) {
            negated = true;
            e = e->as<Unary>().operand.get();
        }
        using Kind = QueryBlockFacts::SubqueryJoin::Kind;
        if (e->kind == ExprKind::Exists) {
            joins.push_back(
                {negated ? Kind::Anti : Kind::Semi, true, firstBlock(*e->as<Exists>().query)});
        } else if (e->kind == ExprKind::InSubquery && !negated) {
            const auto& in = e->as<InSubquery>();
            joins.push_back({in.negated ? Kind::Anti : Kind::Semi, false, firstBlock(*in.query)});
        }
    }
}

}  // namespace localengine::dialect
