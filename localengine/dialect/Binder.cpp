// The binder's statements: DML targets, DDL names, EXPLAIN PLAN, the
// headings and the facts it hands to the plan mapper.

#include "Binder.h"

#include "GroupRules.h"
#include "PlanPredicates.h"

#include <algorithm>

namespace localengine::dialect {

Binder::Binder(const Catalog* catalog, const std::vector<Token>& tokens, std::string owner)
    : m_catalog(catalog), m_tokens(tokens), m_owner(std::move(owner)) {}

void Binder::bind(Statement& statement) {
    m_statement = &statement;
    switch (statement.kind) {
        case StatementKind::Select:
            query(*statement.as<SelectStatement>().query, Context{});
            if (statement.as<SelectStatement>().query->body->kind == QueryTermKind::SetOperation)
                m_setOperation = true;
            break;
        case StatementKind::Insert:
        case StatementKind::Update:
        case StatementKind::Delete:
        case StatementKind::Merge:
            dml(statement);
            break;
        case StatementKind::ExplainPlan:
            explain(statement.as<ExplainPlanStatement>());
            break;
        case StatementKind::CreateTable:
        case StatementKind::CreateIndex:
        case StatementKind::CreateView:
        case StatementKind::Drop:
            ddl(statement);
            break;
        case StatementKind::Transaction:
        case StatementKind::PassThrough:
            break;
        case StatementKind::AlterTable:
        case StatementKind::Sequence:
        case StatementKind::Comment:
        case StatementKind::Truncate:
        case StatementKind::AlterSession:
        case StatementKind::Synonym:
            moreDdl(statement);
            break;
    }
}

// The user's own schema is the main database: OWNER.NAME is NAME. Names
// with more parts than `minimumParts` lose a leading part equal to the owner.
void Binder::stripOwner(QualifiedName& name, std::size_t minimumParts) const {
    if (!m_owner.empty() && name.size() > minimumParts && name.front().name == m_owner)
        name.erase(name.begin());
}

void Binder::target(NamedTable& table, Scope& scope) {
    stripOwner(table.name, 1);
    namedSource(table, nullptr);
    scope.sources.push_back(&table);
}

void Binder::dml(Statement& statement) {
    Scope scope;
    switch (statement.kind) {
        case StatementKind::Insert: {
            auto& s = statement.as<InsertStatement>();
            if (s.multitable) {
                multitableInsert(*s.multitable);
                break;
            }
            target(*s.target.table, scope);
            Scope values;  // VALUES cannot see the table's own columns
            for (auto& row : s.rows)
                for (ExprPtr& e : row)
                    if (e)
                        expr(e, values, nullptr);
            if (s.query)
                query(*s.query, Context{});
            break;
        }
        case StatementKind::Update: {
            auto& s = statement.as<UpdateStatement>();
            target(*s.target.table, scope);
            for (Assignment& a : s.assignments) {
                for (auto& c : a.columns)
                    column(*c, scope);
                if (a.value)
                    expr(a.value, scope, nullptr);
            }
            if (s.where) {
                expr(s.where, scope, nullptr);
                noteSubqueryJoins(m_dmlJoins, s.where.get());
            }
            break;
        }
        case StatementKind::Delete: {
            auto& s = statement.as<DeleteStatement>();
            target(*s.target.table, scope);
            if (s.where) {
                expr(s.where, scope, nullptr);
                noteSubqueryJoins(m_dmlJoins, s.where.get());
            }
            break;
        }
        default: {
            auto& s = statement.as<MergeStatement>();
            target(*s.target.table, scope);
            source(*s.source, scope, Context{}, nullptr);
            for (ExprPtr* e : {&s.on, &s.updateWhere, &s.deleteWhere, &s.insertWhere})
                if (*e)
                    expr(*e, scope, nullptr);
            for (Assignment& a : s.updates)
                if (a.value)
                    expr(a.value, scope, nullptr);
            for (ExprPtr& e : s.insertValues)
                if (e)
                    expr(e, scope, nullptr);
            break;
        }
    }
}

// The WHEN conditions and the VALUES read the subquery's columns alone.
void Binder::multitableInsert(MultitableInsert& m) {
    Scope rows;
    source(*m.source, rows, Context{}, nullptr);
    for (ExprPtr& c : m.conditions)
        expr(c, rows, nullptr);
    for (InsertInto& into : m.intos) {
        Scope targets;
        target(*into.target.table, targets);
        for (ExprPtr& v : into.values)
            if (v)
                expr(v, rows, nullptr);
    }
}

void Binder::ddl(Statement& statement) {
    Scope none;
    switch (statement.kind) {
        case StatementKind::CreateTable: {
            auto& s = statement.as<CreateTableStatement>();
            stripOwner(s.name, 1);
            for (ColumnDefinition& c : s.columns)
                columnDefinition(c);
            for (ConstraintDefinition& k : s.constraints)
                constraintDefinition(k);
            if (s.asQuery)
                query(*s.asQuery, Context{});
            break;
        }
        case StatementKind::CreateIndex: {
            auto& s = statement.as<CreateIndexStatement>();
            stripOwner(s.name, 1);
            stripOwner(s.table, 1);
            for (OrderItem& k : s.keys)
                expr(k.expr, none, nullptr);
            break;
        }
        case StatementKind::CreateView: {
            auto& s = statement.as<CreateViewStatement>();
            stripOwner(s.name, 1);
            query(*s.query, Context{});
            break;
        }
        default:
            stripOwner(statement.as<DropStatement>().name, 1);
            break;
    }
}

void Binder::explain(ExplainPlanStatement& statement) {
    stripOwner(statement.into, 1);
    bind(*statement.explained);
}

std::string Binder::heading(const SelectItem& item) const {
    if (item.alias)
        return item.alias->name;
    if (item.expr->kind == ExprKind::ColumnRef)
        return item.expr->as<ColumnRef>().column().name;
    std::string out;
    for (std::uint32_t i = item.firstToken; i <= item.lastToken && i < m_tokens.size(); ++i) {
        const Token& t = m_tokens[i];
        switch (t.kind) {
            case TokenKind::Name:
                out += upperAscii(t.text);
                break;
            case TokenKind::Text:
                out += quoteText(t.text);
                break;
            case TokenKind::Operator:
                out += t.text == "^=" ? "<>" : t.text;
                break;
            default:
                out += t.text;
                break;
        }
    }
    return out;
}

namespace {

// ORDER BY of the leading GROUP BY expressions, in their order (by
// expression or by position in the select list): the sort that groups the
// rows also orders them.
bool ordersByGroupKeys(const SelectBlock& block, const Query* owner) {
    if (!owner || owner->orderBy.empty() || owner->orderBy.size() > block.groupBy.size())
        return false;
    for (std::size_t i = 0; i < owner->orderBy.size(); ++i) {
        const GroupingElement& g = block.groupBy[i];
        const Expr* e = owner->orderBy[i].expr.get();
        if (g.kind != GroupingElement::Kind::Expression || !g.expr || !e)
            return false;
        if (e->kind == ExprKind::Literal && e->as<Literal>().form == Literal::Form::Number) {
            const std::string& n = e->as<Literal>().text;
            if (n.empty() || n.size() > 4 ||
                !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            const std::size_t at = static_cast<std::size_t>(std::stoi(n));
            if (at == 0 || at > block.items.size())
                return false;
            e = block.items[at - 1].expr.get();
        }
        if (!e || !sameExpression(*e, *g.expr))
            return false;
    }
    return true;
}

}  // namespace

PlanFacts Binder::finish() {
    PlanFacts out;
    out.withQueries = m_withQueries;
    out.setOperation = m_setOperation;
    std::vector<const BlockInfo*> order;
    for (const BlockInfo& b : m_blocks)
        order.push_back(&b);
    std::stable_sort(order.begin(), order.end(), [](const BlockInfo* a, const BlockInfo* b) {
        return a->block->firstToken < b->block->firstToken;
    });
    std::map<const SelectBlock*, int> numbers;
    const TableInstances instances = m_statement ? numberTables(*m_statement) : TableInstances{};
    for (std::size_t i = 0; i < order.size(); ++i) {
        numbers[order[i]->block] = static_cast<int>(i + 1);
        order[i]->block->number = static_cast<int>(i + 1);
    }
    for (const BlockInfo* b : order) {
        QueryBlockFacts f;
        f.number = numbers[b->block];
        f.parent = b->parent ? numbers[b->parent] : 0;
        f.role = b->role;
        f.name = b->name;
        f.hierarchical = b->block->hierarchy.has_value();
        f.noCycle = f.hierarchical && b->block->hierarchy->noCycle;
        f.rownumInSelectList = b->rownumInSelectList;
        f.distinct = b->block->distinct;
        f.groupBy = !b->block->groupBy.empty();
        f.aggregates = b->block->aggregates;
        f.analyticFunctions = b->analytics;
        f.orderBy = b->orderBy;
        f.orderByGroupKeys = ordersByGroupKeys(*b->block, b->owner);
        f.fetchFirst = b->fetchFirst;
        for (const BlockInfo::Join& j : b->subqueryJoins)
            f.subqueryJoins.push_back({j.kind, j.exists, numbers[j.block]});
        describeBlock(*b->block, b->owner, instances, f);
        out.blocks.push_back(std::move(f));
    }
    out.dml = dmlBlock(instances, numbers);
    return out;
}

// The DML statement's own query block: UPD$1, DEL$1 with the target and
// WHERE, INS$1 (its rows come from a SELECT block of their own).
std::optional<QueryBlockFacts> Binder::dmlBlock(
    const TableInstances& instances, const std::map<const SelectBlock*, int>& numbers) const {
    if (!m_statement)
        return std::nullopt;
    QueryBlockFacts f;
    f.number = 1;
    auto joins = [&] {
        for (const BlockInfo::Join& j : m_dmlJoins) {
            auto n = numbers.find(j.block);
            if (n != numbers.end())
                f.subqueryJoins.push_back({j.kind, j.exists, n->second});
        }
    };
    switch (m_statement->kind) {
        case StatementKind::Update: {
            const auto& s = m_statement->as<UpdateStatement>();
            if (!s.target.table)
                return std::nullopt;
            f.kind = "UPD";
            std::vector<const Expr*> reads;
            for (const Assignment& a : s.assignments)
                if (a.value)
                    reads.push_back(a.value.get());
            describeDmlBlock(*s.target.table, s.where.get(), std::move(reads), instances, f);
            joins();
            return f;
        }
        case StatementKind::Delete: {
            const auto& s = m_statement->as<DeleteStatement>();
            if (!s.target.table)
                return std::nullopt;
            f.kind = "DEL";
            describeDmlBlock(*s.target.table, s.where.get(), {}, instances, f);
            joins();
            return f;
        }
        case StatementKind::Insert:
            if (m_statement->as<InsertStatement>().multitable)
                return std::nullopt;
            f.kind = "INS";
            return f;
        default:
            return std::nullopt;
    }
}

}  // namespace localengine::dialect
