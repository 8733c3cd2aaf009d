#include "HierarchicalQuery.h"

#include "AstWalk.h"
#include "Catalog.h"
#include "Emitter.h"
#include "Error.h"
#include "WorkingNames.h"

#include <functional>

namespace localengine::dialect {

namespace {

const char* const kChildLevel = "(__P.__LVL + 1)";

bool isPathCall(const Expr& e) {
    if (e.kind != ExprKind::FunctionCall)
        return false;
    const auto& f = e.as<FunctionCall>();
    return f.name.size() == 1 && !f.name.front().quoted &&
           f.functionName() == "SYS_CONNECT_BY_PATH";
}

}  // namespace

HierarchicalQuery::HierarchicalQuery(Emitter& emitter, const SelectBlock& block, const Query* owner)
    : m_emitter(emitter), m_block(block), m_owner(owner) {}

void HierarchicalQuery::write(bool wrap) {
    sourceAndAlias();
    extraColumns();
    keyAndConditions();
    joinBack();
    const std::string cte = recursion();
    if (wrap)
        m_emitter.text("SELECT * FROM (");
    m_emitter.text(cte);
    output();
    if (wrap)
        m_emitter.text(")");
}

// One table, view or subquery, read under its alias (or its own name).
void HierarchicalQuery::sourceAndAlias() {
    if (m_block.from.size() != 1 || m_block.from[0]->kind == TableRefKind::Join ||
        m_block.from[0]->kind == TableRefKind::Collection)
        unsupported("CONNECT BY over a join (select from one table, view or subquery)");
    m_source = m_block.from[0].get();
    if (m_source->kind == TableRefKind::Named) {
        const auto& table = m_source->as<NamedTable>();
        m_tableName = table.name.back().name;
        m_sourceText = m_emitter.capture([&] { m_emitter.qualifiedName(table.name); });
    } else {
        m_sourceText =
            m_emitter.capture([&] { m_emitter.subquery(*m_source->as<DerivedTable>().query); });
    }
    if (m_source->alias)
        m_alias = m_emitter.capture([&] { m_emitter.name(*m_source->alias); });
    else if (!m_tableName.empty())
        m_alias = quoteName(m_tableName);
    else
        m_alias = working::kUnnamedSource;
}

// CONNECT_BY_ROOT x and SYS_CONNECT_BY_PATH(x, s) outside the hierarchy's
// own clauses become columns carried along the recursion.
void HierarchicalQuery::extraColumns() {
    std::function<void(const Expr&)> visit = [&](const Expr& e) {
        if (e.kind == ExprKind::Unary && e.as<Unary>().op == UnaryOp::ConnectByRoot) {
            m_roots.emplace(&e, static_cast<int>(m_rootOperands.size()));
            m_rootOperands.push_back(e.as<Unary>().operand.get());
            return;
        }
        if (isPathCall(e)) {
            const auto& call = e.as<FunctionCall>();
            if (call.args.size() != 2)
                fail(909, "invalid number of arguments: SYS_CONNECT_BY_PATH takes two");
            m_paths.emplace(&e, static_cast<int>(m_pathCalls.size()));
            m_pathCalls.push_back(&call);
            return;
        }
        forEachChild(e, visit);
    };
    for (const SelectItem& item : m_block.items)
        visit(*item.expr);
    for (const Expr* e : {m_block.where.get(), m_block.having.get()})
        if (e)
            visit(*e);
    for (const GroupingElement& g : m_block.groupBy)
        if (g.expr)
            visit(*g.expr);
    if (m_owner)
        for (const OrderItem& o : m_owner->orderBy)
            visit(*o.expr);
}

// CONNECT BY with the child's columns on __C and PRIOR's on the parent
// __P; a row's key is the values of the PRIOR operands on it.
void HierarchicalQuery::keyAndConditions() {
    m_connect = qualified(*m_block.hierarchy->connectBy, working::kChild, kChildLevel,
                          PriorAs::Collected, working::kParent);
    if (m_block.hierarchy->startWith)
        m_start = qualified(*m_block.hierarchy->startWith, working::kChild, "1", PriorAs::Refused);
    if (m_priorOperands.empty())
        return;
    m_key = "ORA_ROWKEY(";
    for (std::size_t i = 0; i < m_priorOperands.size(); ++i) {
        if (i)
            m_key += ", ";
        m_key += qualified(*m_priorOperands[i], working::kChild, kChildLevel, PriorAs::Refused);
    }
    m_key += ')';
}

// ORDER SIBLINGS BY: columns of the rows in the queue, after the level.
std::string HierarchicalQuery::siblingOrder() {
    std::string out;
    if (!m_owner || !m_owner->orderSiblings)
        return out;
    for (const OrderItem& o : m_owner->orderBy) {
        if (o.expr->kind != ExprKind::ColumnRef || o.expr->as<ColumnRef>().parts.size() > 2)
            unsupported("ORDER SIBLINGS BY other than by column names");
        out += ", ";
        out += m_emitter.capture([&] { m_emitter.name(o.expr->as<ColumnRef>().column()); });
        if (o.descending)
            out += " DESC";
        if (o.nulls != NullsOrder::Default)
            out += o.nulls == NullsOrder::First ? " NULLS FIRST" : " NULLS LAST";
    }
    return out;
}

// A table with row ids keeps its siblings in stored order, and is joined
// back by row id after the recursion, which then carries only the row id
// and the parent's PRIOR values: SQLite builds an automatic index for every
// step of the recursion, and one over every column costs far more.
void HierarchicalQuery::joinBack() {
    if (m_source->kind != TableRefKind::Named)
        return;
    const auto& table = m_source->as<NamedTable>();
    m_rowIds = table.table && table.table->kind == TableInfo::Kind::Table &&
               table.table->hasRowid && !table.commonTable;
    m_joinBack = m_rowIds && !(m_owner && m_owner->orderSiblings);
}

std::string HierarchicalQuery::recursion() {
    using namespace working;
    std::string anchorColumns = std::string(", ") + kChild + ".*";
    std::string stepColumns = anchorColumns;
    std::string stepCondition = m_connect;
    if (m_joinBack) {
        anchorColumns.clear();
        stepColumns.clear();
        for (std::size_t n = 0; n < m_priorOperands.size(); ++n) {
            const Expr& operand = *m_priorOperands[n];
            anchorColumns +=
                ", " + qualified(operand, kChild, "1", PriorAs::Refused) + " AS " + keyColumn(n);
            stepColumns += ", " + qualified(operand, kChild, kChildLevel, PriorAs::Refused);
        }
        m_nextKey = 0;
        stepCondition = qualified(*m_block.hierarchy->connectBy, kChild, kChildLevel,
                                  PriorAs::KeyColumn, kParent);
    }
    std::string anchorExtras, stepExtras;
    for (std::size_t n = 0; n < m_rootOperands.size(); ++n) {
        anchorExtras += ", " + qualified(*m_rootOperands[n], kChild, "1", PriorAs::Refused) +
                        " AS " + rootColumn(n);
        stepExtras += std::string(", ") + kParent + "." + rootColumn(n);
    }
    for (std::size_t n = 0; n < m_pathCalls.size(); ++n) {
        const FunctionCall& call = *m_pathCalls[n];
        const std::string separator = m_emitter.capture([&] { m_emitter.expr(*call.args[1]); });
        anchorExtras += ", ORA_CONCAT(" + separator + ", " +
                        qualified(*call.args[0], kChild, "1", PriorAs::Refused) + ") AS " +
                        pathColumn(n);
        stepExtras += std::string(", ORA_CONCAT(") + kParent + "." + pathColumn(n) + ", " +
                      separator + ", " +
                      qualified(*call.args[0], kChild, kChildLevel, PriorAs::Refused) + ")";
    }
    const std::string rowId = m_rowIds ? std::string(kChild) + ".ROWID" : "NULL";
    std::string text = std::string("WITH RECURSIVE ") + kHierarchy + " AS (SELECT 1 AS " + kLevel +
                       ", " + rowId + " AS " + kRowId + ", " + (m_key.empty() ? "NULL" : m_key) +
                       " AS " + kPath + ", 0 AS " + kCycle + anchorExtras + anchorColumns +
                       " FROM " + m_sourceText + " AS " + kChild;
    if (!m_start.empty())
        text += " WHERE (" + m_start + ")";
    text += std::string(" UNION ALL SELECT ") + kParent + "." + kLevel + " + 1, " + rowId + ", ";
    if (!m_key.empty()) {
        text += "ORA_CONCAT(__P.__PATH, " + m_key + "), INSTR(__P.__PATH, " + m_key + ") > 0";
    } else {
        // Without PRIOR nothing can repeat; a depth limit stands in for the
        // memory that Oracle would run out of.
        text += "NULL, CASE WHEN __P.__LVL + 1 > 100000 THEN 2 ELSE 0 END";
    }
    text += stepExtras + stepColumns + " FROM " + kHierarchy + " AS " + kParent + " JOIN " +
            m_sourceText + " AS " + kChild + " ON (" + stepCondition + ") WHERE " + kParent + "." +
            kCycle + " = 0 ORDER BY 1 DESC" + siblingOrder() + ", 2) ";
    return text;
}

// The final query reads the hierarchy under the source's own alias.
void HierarchicalQuery::output() {
    using namespace working;
    m_mode = Mode::Output;
    HierarchicalQuery* saved = m_emitter.hierarchy();
    m_emitter.setHierarchy(this);
    m_emitter.text(m_block.distinct ? "SELECT DISTINCT " : "SELECT ");
    const bool star = m_block.items.size() == 1 && m_block.items[0].expr->kind == ExprKind::Star;
    if (star && m_source->columnsKnown) {
        // The source's columns only, not the recursion's working columns.
        for (std::size_t i = 0; i < m_source->columns.size(); ++i) {
            if (i)
                m_emitter.text(", ");
            m_emitter.text(m_alias + "." + quoteName(m_source->columns[i].name));
        }
    } else {
        m_emitter.selectItems(m_block);
    }
    if (m_joinBack)
        m_emitter.text(std::string(" FROM (SELECT * FROM ") + kHierarchy + " LIMIT -1) AS " +
                       kHierarchy + " CROSS JOIN " + m_sourceText + " AS " + m_alias + " ON " +
                       m_alias + ".ROWID = " + kHierarchy + "." + kRowId);
    else
        m_emitter.text(std::string(" FROM ") + kHierarchy + " AS " + m_alias);
    m_emitter.text(std::string(" WHERE ORA_HIERARCHY_CHECK(") + kCycle + ", " +
                   (m_block.hierarchy->noCycle ? "1" : "0") + ")");
    if (m_block.where) {
        const ConditionScope condition(m_emitter, true);
        m_emitter.text(" AND (");
        m_emitter.expr(*m_block.where);
        m_emitter.text(")");
    }
    m_emitter.groupBy(m_block);
    if (m_block.having) {
        const ConditionScope condition(m_emitter, true);
        m_emitter.text(" HAVING ");
        m_emitter.expr(*m_block.having);
    }
    if (m_owner && !m_owner->orderSiblings && !m_owner->orderBy.empty()) {
        m_emitter.text(" ");
        m_emitter.orderBy(m_owner->orderBy);
    }
    if (m_owner)
        m_emitter.rowLimit(m_owner->limit);
    m_emitter.setHierarchy(saved);
}

std::string HierarchicalQuery::qualified(const Expr& e, const std::string& qualifier,
                                         const std::string& level, PriorAs prior,
                                         const std::string& priorQualifier) {
    const Mode savedMode = m_mode;
    const std::string savedQualifier = m_qualifier, savedLevel = m_level,
                      savedPrior = m_priorQualifier;
    const PriorAs savedPriorAs = m_prior;
    m_mode = Mode::Qualified;
    m_qualifier = qualifier;
    m_level = level;
    m_prior = prior;
    m_priorQualifier = priorQualifier;
    HierarchicalQuery* savedHierarchy = m_emitter.hierarchy();
    m_emitter.setHierarchy(this);
    std::string text = m_emitter.capture([&] { m_emitter.expr(e); });
    m_emitter.setHierarchy(savedHierarchy);
    m_mode = savedMode;
    m_qualifier = savedQualifier;
    m_level = savedLevel;
    m_priorQualifier = savedPrior;
    m_prior = savedPriorAs;
    return text;
}

bool HierarchicalQuery::refersToSource(const ColumnRef& c) const {
    if (c.binding.source)
        return c.binding.source == m_source && c.binding.outerLevels == 0;
    if (c.parts.size() == 1)
        return true;
    if (c.parts.size() != 2)
        return false;
    const std::string& q = c.parts.front().name;
    return (m_source->alias && equalsIgnoringCase(m_source->alias->name, q)) ||
           (!m_tableName.empty() && equalsIgnoringCase(m_tableName, q));
}

bool HierarchicalQuery::writes(const Expr& e) {
    return m_mode == Mode::Qualified ? writeQualified(e) : writeOutput(e);
}

bool HierarchicalQuery::writeQualified(const Expr& e) {
    if (e.kind == ExprKind::ColumnRef && refersToSource(e.as<ColumnRef>())) {
        m_emitter.text(m_qualifier + ".");
        m_emitter.name(e.as<ColumnRef>().column());
        return true;
    }
    if (e.kind == ExprKind::PseudoColumn && e.as<PseudoColumn>().which == Pseudo::Level) {
        m_emitter.text(m_level);
        return true;
    }
    if (e.kind == ExprKind::PseudoColumn && e.as<PseudoColumn>().which >= Pseudo::ConnectByIsLeaf)
        unsupported("CONNECT_BY_ISLEAF or CONNECT_BY_ISCYCLE in START WITH or CONNECT BY");
    if ((e.kind == ExprKind::Unary && e.as<Unary>().op == UnaryOp::ConnectByRoot) || isPathCall(e))
        unsupported("CONNECT_BY_ROOT or SYS_CONNECT_BY_PATH in START WITH or CONNECT BY");
    if (e.kind != ExprKind::Unary || e.as<Unary>().op != UnaryOp::Prior)
        return false;
    const Expr& operand = *e.as<Unary>().operand;
    switch (m_prior) {
        case PriorAs::Refused:
            fail(0, "PRIOR is only supported in CONNECT BY");
        case PriorAs::KeyColumn:
            m_emitter.text("(" + m_priorQualifier + "." +
                           working::keyColumn(static_cast<std::size_t>(m_nextKey++)) + ")");
            return true;
        case PriorAs::Collected:
            m_priorOperands.push_back(&operand);
            break;
        case PriorAs::Qualified:
            break;
    }
    m_emitter.text("(" + qualified(operand, m_priorQualifier, m_level, PriorAs::Refused) + ")");
    return true;
}

bool HierarchicalQuery::writeOutput(const Expr& e) {
    if (e.kind == ExprKind::PseudoColumn) {
        const Pseudo which = e.as<PseudoColumn>().which;
        if (which == Pseudo::Level) {
            m_emitter.text(working::kLevel);
            return true;
        }
        if (which == Pseudo::ConnectByIsLeaf) {
            m_emitter.text(leafTest());
            return true;
        }
        if (which == Pseudo::ConnectByIsCycle)
            unsupported("CONNECT_BY_ISCYCLE");
        return false;
    }
    if (e.kind == ExprKind::Unary && e.as<Unary>().op == UnaryOp::Prior)
        fail(0, "PRIOR is only supported in CONNECT BY");
    auto root = m_roots.find(&e);
    if (root != m_roots.end()) {
        m_emitter.text(working::rootColumn(static_cast<std::size_t>(root->second)));
        return true;
    }
    auto path = m_paths.find(&e);
    if (path != m_paths.end()) {
        m_emitter.text(working::pathColumn(static_cast<std::size_t>(path->second)));
        return true;
    }
    return false;
}

// CONNECT_BY_ISLEAF: whether a row of the source would be this row's child.
std::string HierarchicalQuery::leafTest() {
    if (m_leafTest.empty())
        m_leafTest =
            "(CASE WHEN EXISTS (SELECT 1 FROM " + m_sourceText + " AS " + working::kLeafProbe +
            " WHERE (" +
            qualified(*m_block.hierarchy->connectBy, working::kLeafProbe,
                      std::string("(") + working::kLevel + " + 1)", PriorAs::Qualified, m_alias) +
            ")) THEN 0 ELSE 1 END)";
    return m_leafTest;
}

}  // namespace localengine::dialect
