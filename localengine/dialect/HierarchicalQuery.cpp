#include "HierarchicalQuery.h"

#include "AstWalk.h"
#include "Catalog.h"
#include "Emitter.h"
#include "Error.h"
#include "RownumLimit.h"
#include "WorkingNames.h"

#include <functional>

namespace localengine::dialect {

namespace {

// LEVEL of the row being added: its parent's plus one.
const std::string kChildLevel =
    std::string("(") + working::kParent + "." + working::kLevel + " + 1)";

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

void HierarchicalQuery::write(Placement placement) {
    const bool wrap = placement == Placement::InsideSelectStar;
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
    if (m_block.from[0]->pivot || m_block.from[0]->unpivot)
        unsupported("CONNECT BY over PIVOT or UNPIVOT (pivot in an inline view)");
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
    const auto visit = [this](const Expr& e) { collectExtraColumns(e); };
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

// CONNECT BY with the child's columns on __C and PRIOR x as the parent's
// key value; the PRIOR operands, evaluated on each row, make its key.
void HierarchicalQuery::keyAndConditions() {
    m_nextKey = 0;
    m_connect = qualified(*m_block.hierarchy->connectBy, working::kChild, kChildLevel,
                          PriorAs::Collected, working::kParent);
    if (m_block.hierarchy->startWith)
        m_start = qualified(*m_block.hierarchy->startWith, working::kChild, "1", PriorAs::Refused);
}

// ORA_HIER_KEY(parent key, parent level, the PRIOR operands on __C).
std::string HierarchicalQuery::key(const std::string& parentKey, const std::string& parentLevel,
                                   const std::string& level) {
    std::string text = "ORA_HIER_KEY(" + parentKey + ", " + parentLevel;
    for (const Expr* operand : m_priorOperands)
        text += ", " + qualified(*operand, working::kChild, level, PriorAs::Refused);
    return text + ")";
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
        out += sortDirection(o);
    }
    return out;
}

// A table with row ids keeps its siblings in stored order, and is joined
// back by row id after the recursion, which then carries only the row id
// and the parent's PRIOR values: SQLite builds an automatic index for every
// step of the recursion, and one over every column costs far more.
void HierarchicalQuery::joinBack() {
    if (m_source->kind == TableRefKind::Named) {
        const auto& table = m_source->as<NamedTable>();
        m_rowIds = table.table && table.table->kind == TableInfo::Kind::Table &&
                   table.table->hasRowid && !table.commonTable;
    }
    m_joinBack = m_rowIds && !(m_owner && m_owner->orderSiblings);
    m_hierarchyRow = m_joinBack ? working::kHierarchy : m_alias;
}

std::string HierarchicalQuery::recursion() {
    using namespace working;
    const std::string columns = m_joinBack ? std::string() : std::string(", ") + kChild + ".*";
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
    const std::string parentKey = std::string(kParent) + "." + kKey;
    const std::string rowId = m_rowIds ? std::string(kChild) + ".ROWID" : "NULL";
    const std::string startMark = m_emitter.blockMark(m_block.number, "START WITH");
    const std::string connectMark = m_emitter.blockMark(m_block.number, "CONNECT BY");
    std::string text = std::string("WITH RECURSIVE ") + kHierarchy + " AS (SELECT" + startMark +
                       " 1 AS " + kLevel + ", " + rowId + " AS " + kRowId + ", " +
                       key("NULL", "0", "1") + " AS " + kKey + anchorExtras + columns + " FROM " +
                       m_sourceText + " AS " + kChild;
    if (!m_start.empty())
        text += " WHERE (" + m_start + ")";
    m_emitter.checkLength(text.size());
    // A row that closes a loop, or lies deeper than the engine goes, is not
    // expanded.
    text += std::string(" UNION ALL SELECT") + connectMark + " " + kParent + "." + kLevel +
            " + 1, " + rowId + ", " +
            key(parentKey, std::string(kParent) + "." + kLevel, kChildLevel) + stepExtras +
            columns + " FROM " + kHierarchy + " AS " + kParent + " JOIN " + m_sourceText + " AS " +
            kChild + " ON (" + m_connect + ") WHERE ORA_HIER_FLAG(" + parentKey +
            ") = 0 ORDER BY 1 DESC" + siblingOrder() + ", 2) ";
    m_emitter.checkLength(text.size());
    return text;
}

// The final query reads the hierarchy under the source's own alias.
void HierarchicalQuery::output() {
    using namespace working;
    m_mode = Mode::Output;
    HierarchicalQuery* saved = m_emitter.hierarchy();
    m_emitter.setHierarchy(this);
    m_emitter.text("SELECT" + m_emitter.blockMark(m_block.number) +
                   (m_block.distinct ? " DISTINCT " : " "));
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
        m_emitter.text(" FROM (SELECT" + m_emitter.blockMark(m_block.number, "HIERARCHY") +
                       " * FROM " + kHierarchy + " LIMIT -1) AS " + kHierarchy + " CROSS JOIN " +
                       m_sourceText + " AS " + m_alias + " ON " + m_alias +
                       ".ROWID = " + kHierarchy + "." + kRowId);
    else
        m_emitter.text(std::string(" FROM ") + kHierarchy + " AS " + m_alias);
    m_emitter.text(" WHERE ORA_HIERARCHY_CHECK(" + m_hierarchyRow + "." + kKey + ", " +
                   (m_block.hierarchy->noCycle ? "1" : "0") + ")");
    // ROWNUM numbers the rows of the hierarchy, in its order, that WHERE keeps.
    const RownumLimit rownum = findRownumLimit(m_block);
    if (rownum.found() && ((m_owner && ((!m_owner->orderSiblings && !m_owner->orderBy.empty()) ||
                                        m_owner->limit.fetch || m_owner->limit.offset)) ||
                           !m_block.groupBy.empty() || m_block.distinct || m_block.aggregates ||
                           m_block.analytics || m_block.having))
        unsupported(
            "ROWNUM limit in a hierarchical query with ORDER BY, FETCH FIRST, GROUP BY, "
            "DISTINCT, aggregate or analytic functions");
    if (!rownum.rest.empty()) {
        const ConditionScope condition(m_emitter, true);
        m_emitter.text(" AND ");
        m_emitter.conjunction(rownum.rest);
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
    if (rownum.found())
        m_emitter.text(" LIMIT " + m_emitter.rownumLimitText(rownum));
    if (m_owner)
        m_emitter.rowLimit(m_owner->limit);
    m_emitter.setHierarchy(saved);
}

std::string HierarchicalQuery::qualified(const Expr& e, const std::string& qualifier,
                                         const std::string& level, PriorAs prior,
                                         const std::string& priorRow) {
    const Mode savedMode = m_mode;
    const std::string savedQualifier = m_qualifier, savedLevel = m_level, savedPrior = m_priorRow;
    const PriorAs savedPriorAs = m_prior;
    m_mode = Mode::Qualified;
    m_qualifier = qualifier;
    m_level = level;
    m_prior = prior;
    m_priorRow = priorRow;
    HierarchicalQuery* savedHierarchy = m_emitter.hierarchy();
    m_emitter.setHierarchy(this);
    std::string text = m_emitter.capture([&] { m_emitter.expr(e); });
    m_emitter.setHierarchy(savedHierarchy);
    m_mode = savedMode;
    m_qualifier = savedQualifier;
    m_level = savedLevel;
    m_priorRow = savedPrior;
    m_prior = savedPriorAs;
    return text;
}

// The CONNECT_BY_ROOT and SYS_CONNECT_BY_PATH operands within `e`.
void HierarchicalQuery::collectExtraColumns(const Expr& e) {
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
    forEachChild(e, [this](const Expr& child) { collectExtraColumns(child); });
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
    if (m_prior == PriorAs::Refused)
        unsupported("PRIOR outside CONNECT BY");
    if (m_prior == PriorAs::Collected)
        m_priorOperands.push_back(e.as<Unary>().operand.get());
    m_emitter.text("ORA_HIER_PRIOR(" + m_priorRow + "." + working::kKey + ", " +
                   std::to_string(m_nextKey++) + ")");
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
        unsupported("PRIOR outside CONNECT BY");
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
    if (!m_leafTest.empty())
        return m_leafTest;
    m_nextKey = 0;
    m_leafTest =
        "(CASE WHEN EXISTS (SELECT 1 FROM " + m_sourceText + " AS " + working::kLeafProbe +
        " WHERE (" +
        qualified(*m_block.hierarchy->connectBy, working::kLeafProbe,
                  std::string("(") + working::kLevel + " + 1)", PriorAs::KeyValue, m_hierarchyRow) +
        ")) THEN 0 ELSE 1 END)";
    return m_leafTest;
}

}  // namespace localengine::dialect
