// The binder's expressions: column references, pseudo-columns, functions,
// subqueries, and the type of every expression.

#include "Binder.h"

#include "AstWalk.h"

#include "Error.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace localengine::dialect {

namespace {

const Identifier* exposedName(const TableRef& s) {
    if (s.alias)
        return &*s.alias;
    if (s.kind == TableRefKind::Named)
        return &s.as<NamedTable>().exposedName();
    return nullptr;
}

}  // namespace

bool isAggregateFunction(const std::string& name) {
    static constexpr std::array<std::string_view, 32> kAggregates = {"APPROX_COUNT_DISTINCT",
                                                                     "AVG",
                                                                     "COLLECT",
                                                                     "CORR",
                                                                     "COUNT",
                                                                     "COVAR_POP",
                                                                     "COVAR_SAMP",
                                                                     "GROUPING",
                                                                     "GROUPING_ID",
                                                                     "GROUP_CONCAT",
                                                                     "JSON_ARRAYAGG",
                                                                     "JSON_OBJECTAGG",
                                                                     "LISTAGG",
                                                                     "MAX",
                                                                     "MEDIAN",
                                                                     "MIN",
                                                                     "PERCENTILE_CONT",
                                                                     "PERCENTILE_DISC",
                                                                     "REGR_AVGX",
                                                                     "REGR_AVGY",
                                                                     "REGR_COUNT",
                                                                     "REGR_SLOPE",
                                                                     "STATS_MODE",
                                                                     "STDDEV",
                                                                     "STDDEV_POP",
                                                                     "STDDEV_SAMP",
                                                                     "SUM",
                                                                     "TOTAL",
                                                                     "VARIANCE",
                                                                     "VAR_POP",
                                                                     "VAR_SAMP",
                                                                     "XMLAGG"};
    return std::binary_search(kAggregates.begin(), kAggregates.end(), std::string_view(name));
}

void Binder::expr(ExprPtr& e, Scope& scope, const WithNames* with) {
    switch (e->kind) {
        case ExprKind::ColumnRef:
            column(e->as<ColumnRef>(), scope);
            packageCallWithoutArguments(e);
            break;
        case ExprKind::PseudoColumn:
            pseudo(e, scope);
            break;
        case ExprKind::FunctionCall:
            function(e->as<FunctionCall>(), scope);
            children(*e, scope, with);
            break;
        case ExprKind::SequenceValue:
            stripOwner(e->as<SequenceValue>().sequence, 1);
            break;
        case ExprKind::Star:
            expandStar(e->as<Star>(), scope);
            break;
        default:
            children(*e, scope, with);
            break;
    }
    e->type = typeOf(*e);
}

void Binder::subquery(Query& q, Scope& scope, const WithNames* with) {
    Context inner;
    inner.outer = &scope;
    inner.with = with;
    inner.parentBlock = scope.block;
    inner.role = QueryBlockFacts::Role::Subquery;
    query(q, inner);
}

void Binder::children(Expr& e, Scope& scope, const WithNames* with) {
    forEachChildSlot(e, [&](ExprPtr& child) { expr(child, scope, with); });
    forEachSubquery(e, [&](Query& q) { subquery(q, scope, with); });
}

void Binder::column(ColumnRef& c, const Scope& scope) {
    if (!m_owner.empty() && c.parts.size() == 3 && c.parts.front().name == m_owner)
        c.parts.erase(c.parts.begin());
    // OWNER.COLUMN: the owner's name stands for no table here.
    if (!m_owner.empty() && c.parts.size() == 2 && c.parts.front().name == m_owner) {
        bool isSource = false;
        for (const Scope* s = &scope; s && !isSource; s = s->outer)
            for (const TableRef* t : s->sources)
                if (const Identifier* exposed = exposedName(*t))
                    isSource = isSource || equalsIgnoringCase(exposed->name, m_owner);
        if (!isSource)
            c.parts.erase(c.parts.begin());
    }
    int levels = 0;
    for (const Scope* s = &scope; s; s = s->outer, ++levels)
        if (resolveIn(c, *s, levels))
            return;
}

bool Binder::resolveIn(ColumnRef& c, const Scope& scope, int levels) {
    const Identifier& name = c.column();
    for (TableRef* s : scope.sources) {
        if (c.parts.size() == 2) {
            const Identifier* exposed = exposedName(*s);
            if (!exposed || !equalsIgnoringCase(exposed->name, c.parts.front().name))
                continue;
            if (name.name == "ROWID" && !name.quoted) {
                c.binding = ColumnBinding{s, -1, levels};
                return true;
            }
        } else if (c.parts.size() != 1) {
            return false;
        }
        if (!s->columnsKnown)
            continue;
        for (std::size_t i = 0; i < s->columns.size(); ++i) {
            if (equalsIgnoringCase(s->columns[i].name, name.name)) {
                // An inline view may give two columns one name; naming it
                // is then ambiguous.
                for (std::size_t j = i + 1; j < s->columns.size(); ++j)
                    if (equalsIgnoringCase(s->columns[j].name, name.name))
                        fail(ora::kColumnAmbiguous, "column ambiguously defined");
                c.binding = ColumnBinding{s, static_cast<int>(i), levels};
                return true;
            }
        }
    }
    return false;
}

// A package function without arguments may be called without parentheses
// (DBMS_RANDOM.VALUE, SYS.DBMS_RANDOM.NORMAL): a name no source resolves
// that names one is that call.
void Binder::packageCallWithoutArguments(ExprPtr& e) {
    const auto& c = e->as<ColumnRef>();
    if (c.binding.source || c.parts.size() < 2 || c.parts.size() > 3)
        return;
    if (c.parts.size() == 3 && c.parts.front().name != "SYS")
        return;
    const std::string& package = c.parts[c.parts.size() - 2].name;
    const std::string& name = c.parts.back().name;
    if (package != "DBMS_RANDOM" || (name != "VALUE" && name != "NORMAL" && name != "RANDOM"))
        return;
    auto call = std::make_unique<FunctionCall>();
    call->firstToken = e->firstToken;
    call->lastToken = e->lastToken;
    call->name = {c.parts[c.parts.size() - 2], c.parts.back()};
    e = std::move(call);
}

// LEVEL outside a hierarchical query is a column of that name if a source
// has one (SQLite files may); else Oracle's error.
void Binder::pseudo(ExprPtr& e, Scope& scope) {
    const Pseudo which = e->as<PseudoColumn>().which;
    const bool hierarchical = scope.block && scope.block->hierarchy;
    if (which != Pseudo::Level || hierarchical)
        return;
    auto column = std::make_unique<ColumnRef>();
    column->firstToken = e->firstToken;
    column->lastToken = e->lastToken;
    column->parts.push_back(Identifier{"LEVEL", false});
    if (!resolveIn(*column, scope, 0))
        fail(ora::kConnectByRequired, "CONNECT BY clause required in this query block");
    e = std::move(column);
}

void Binder::function(FunctionCall& f, Scope& scope) {
    stripOwner(f.name, 1);
    if (!scope.block)
        return;
    if (f.over) {
        scope.block->analytics = true;
        auto found = m_blockIndex.find(scope.block);
        if (found != m_blockIndex.end())
            m_blocks[found->second].analytics.push_back(f.functionName());
    } else if (f.name.size() == 1 && isAggregateFunction(f.functionName())) {
        scope.block->aggregates = true;
    }
}

}  // namespace localengine::dialect
