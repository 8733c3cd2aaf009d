#include "explain/ExplainMapper.h"

#include <algorithm>
#include <cmath>

#include "explain/PlanBuilding.h"
#include "schema/Constraints.h"

namespace localengine::explain {

// ---------------------------------------------------------------- schema --

std::optional<IndexInfo> SchemaLookup::rowidKeyIndex(const std::string& table) const {
    const std::string alias = rowidAlias(table);
    if (alias.empty())
        return std::nullopt;
    IndexInfo key;
    key.table = table;
    key.unique = true;
    key.primaryKey = true;
    key.rowidKey = true;
    key.columns = {alias};
    key.name = primaryKeyName(table, key.columns);
    return key;
}

std::string SchemaLookup::primaryKeyName(const std::string& table,
                                         const std::vector<std::string>& columns) const {
    std::vector<std::string> upper;
    for (const auto& c : columns)
        upper.push_back(upperName(c));
    return schema::generatedConstraintName(upperName(table), 'P', upper, {});
}

void StaticSchema::addTable(TableInfo t) {
    std::string key = upperName(t.name);
    m_tables[key] = std::move(t);
}

void StaticSchema::addIndex(IndexInfo i) {
    std::string key = upperName(i.name);
    m_indexes[key] = std::move(i);
}

void StaticSchema::addStat(const std::string& table, const std::string& index,
                           const std::string& stat) {
    m_statistics.add(table, index, stat);
}

void StaticSchema::addEstimate(const std::string& table, schema::TableEstimate estimate) {
    m_estimates[upperName(table)] = std::move(estimate);
}

const schema::TableEstimate* StaticSchema::estimate(const std::string& table) const {
    auto it = m_estimates.find(upperName(table));
    return it == m_estimates.end() ? nullptr : &it->second;
}

std::optional<TableInfo> StaticSchema::table(const std::string& name) const {
    auto it = m_tables.find(upperName(name));
    if (it == m_tables.end())
        return std::nullopt;
    return it->second;
}

std::optional<IndexInfo> StaticSchema::index(const std::string& name) const {
    auto it = m_indexes.find(upperName(name));
    if (it == m_indexes.end())
        return std::nullopt;
    return it->second;
}

std::optional<IndexInfo> StaticSchema::primaryKeyIndex(const std::string& table) const {
    for (const auto& [key, info] : m_indexes)
        if (info.primaryKey && sameName(info.table, table))
            return info;
    return std::nullopt;
}

// --------------------------------------------------------------- mapper --

PlanMapper::PlanMapper(const SchemaLookup& schema, std::string sql, std::string owner,
                       const dialect::PlanFacts* facts)
    : m_schema(schema), m_facts(facts), m_shape(analyseStatement(sql)), m_owner(std::move(owner)) {
    m_blockUsed.assign(m_shape.blocks.size(), false);
}

PlanMapper::TableFigures PlanMapper::tableFigures(const std::string& table) const {
    TableFigures f;
    f.estimate = m_schema.estimate(table);
    if (auto n = m_schema.tableRows(table)) {
        f.rows = *n;
    } else if (f.estimate) {
        f.rows = f.estimate->rows;
        m_sampled = true;
    }
    f.rows = costs::atLeastOneRow(f.rows);
    if (f.estimate) {
        f.rowBytes = f.estimate->averageRowLength() - schema::kRowHeaderBytes;
        f.blocks = std::max(
            1.0, std::ceil(f.rows * f.estimate->averageRowLength() / schema::kBlockUsableBytes));
    } else {
        f.rowBytes = 10 * costs::kDefaultColumnBytes;
        f.blocks = std::max(1.0, std::ceil(f.rows * (f.rowBytes + schema::kRowHeaderBytes) /
                                           schema::kBlockUsableBytes));
    }
    return f;
}

double PlanMapper::columnBytes(const TableFigures& table, const std::string& column) const {
    if (table.estimate)
        if (const schema::ColumnEstimate* c = table.estimate->column(column))
            return c->averageLength;
    return costs::kDefaultColumnBytes;
}

double PlanMapper::keyBytes(const IndexInfo& index, const TableFigures& table) const {
    double bytes = 0;
    for (const auto& c : index.columns)
        bytes += columnBytes(table, c);
    return std::max(1.0, bytes);
}

costs::IndexShape PlanMapper::indexShape(const IndexInfo& index, const TableFigures& table) const {
    const schema::IndexEstimate* e = table.estimate ? table.estimate->index(index.name) : nullptr;
    // A table stored in key order (the rowid's own key) is as clustered as
    // it can be; without an estimate the factor is taken halfway between
    // the table's blocks and its rows.
    double clustering = e ? e->clusteringFactor : (table.blocks + table.rows) / 2;
    if (index.rowidKey)
        clustering = table.blocks;
    if (auto entries = m_schema.rowsPerKey(index.name, 0))
        return costs::indexShape(*entries, keyBytes(index, table) + costs::kIndexEntryOverheadBytes,
                                 schema::kBlockUsableBytes, clustering);
    return costs::indexShape(table.rows, keyBytes(index, table) + costs::kIndexEntryOverheadBytes,
                             schema::kBlockUsableBytes, clustering);
}

double PlanMapper::rowsPerKey(const IndexInfo& index, const TableFigures& table,
                              int columns) const {
    if (columns <= 0)
        return table.rows;
    if (index.unique && static_cast<std::size_t>(columns) >= index.columns.size())
        return 1;
    if (auto r = m_schema.rowsPerKey(index.name, columns))
        return std::max(1.0, *r);
    if (table.estimate)
        if (const schema::IndexEstimate* e = table.estimate->index(index.name))
            if (!e->rowsPerKey.empty())
                return e->rowsPerKey[std::min<std::size_t>(e->rowsPerKey.size(),
                                                           static_cast<std::size_t>(columns)) -
                                     1];
    // Only one column of the key known to the estimate (a rowid key):
    // each further equality keeps a share of the rows.
    if (index.columns.size() == 1 && table.estimate)
        if (const schema::ColumnEstimate* c = table.estimate->column(index.columns[0]))
            return std::max(1.0, table.rows / std::max(1.0, c->distinct));
    return std::max(1.0, table.rows * std::pow(costs::kKeyColumnSelectivity, columns));
}

std::string PlanMapper::resolveFromViews(const std::string& printed, int depth) const {
    if (depth > 3)
        return {};
    // A flattened view shows its own aliases: read them from its definition.
    for (const auto& item : m_shape.from) {
        if (item.subquery || item.function || item.name.empty())
            continue;
        auto info = m_schema.table(item.name);
        if (!info || info->kind != TableInfo::Kind::View)
            continue;
        std::string key = upperName(info->name);
        auto it = m_viewShapes.find(key);
        if (it == m_viewShapes.end()) {
            std::string sql = info->sql;
            // the definition starts "CREATE VIEW name AS": scan what follows AS
            it = m_viewShapes.emplace(key, analyseStatement(sql)).first;
        }
        if (const FromItem* inner = it->second.findItem(printed)) {
            if (!inner->subquery && !inner->name.empty())
                return inner->name;
        }
    }
    return {};
}

std::string PlanMapper::resolveTable(const std::string& printed, int block, int* instance) const {
    if (instance)
        *instance = 0;
    const FromItem* item = m_shape.findItem(printed, block);
    if (item && !item->subquery && !item->name.empty()) {
        if (instance)
            *instance = item->ordinal;
        if (auto t = m_schema.table(item->name))
            return t->name;
        return item->name;
    }
    std::string bare = stripSchema(printed);
    if (auto t = m_schema.table(bare))
        return t->name;
    std::string viaView = resolveFromViews(printed, 0);
    if (!viaView.empty()) {
        if (auto t = m_schema.table(viaView))
            return t->name;
        return viaView;
    }
    return bare;
}

int PlanMapper::matchBlock(const std::vector<const Node*>& nodes, const Scope& scope,
                           bool* claimed) {
    // a subquery's line names the block by SQLite's number of it
    const int numbered = m_subqueryNumber;
    m_subqueryNumber = 0;
    std::vector<std::string> names;
    for (const Node* n : nodes) {
        if (n->detail.kind == DetailKind::TableAccess || n->detail.kind == DetailKind::BloomFilter)
            names.push_back(n->detail.name);
        if (n->detail.kind == DetailKind::MultiIndexOr)
            for (const Node* term : n->children)
                for (const Node* c : term->children)
                    if (c->detail.kind == DetailKind::TableAccess)
                        names.push_back(c->detail.name);
    }
    int best = -1;
    int bestScore = -1;
    for (std::size_t b = 0; b < m_shape.blocks.size(); ++b) {
        int matches = 0;
        for (const auto& name : names)
            for (const auto& item : m_shape.from)
                if (item.block == static_cast<int>(b) &&
                    (item.printedAs(name) ||
                     // SQLite names a subquery without an alias itself
                     (isUnnamedSubquery(name) && item.subquery && item.alias.empty()))) {
                    ++matches;
                    break;
                }
        if (!names.empty() && matches == 0)
            continue;
        int depth = m_shape.blocks[b].depth;
        int score = matches * 100 + (m_blockUsed[b] ? 0 : 10) +
                    ((scope.root ? depth == 0 : depth > 0) ? 5 : 0) +
                    (numbered > 0 && m_shape.blocks[b].sqliteNumber == numbered ? 10000 : 0);
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(b);
        }
    }
    if (best >= 0 && names.empty() && (m_blockUsed[static_cast<std::size_t>(best)] || !scope.root))
        best = -1;  // a group without tables is only tied to the statement's own block
    if (claimed)
        *claimed = best >= 0 && !m_blockUsed[static_cast<std::size_t>(best)];
    if (best >= 0)
        m_blockUsed[static_cast<std::size_t>(best)] = true;
    return best;
}

PlanStep PlanMapper::map(const std::vector<EqpRow>& rows) {
    m_nodes.clear();
    m_nodes.reserve(rows.size());
    m_leading.clear();
    m_viewNames.clear();
    m_windowViews.clear();
    m_temporary.clear();
    m_loads.clear();
    m_bloomFilters = 0;
    std::fill(m_blockUsed.begin(), m_blockUsed.end(), false);
    std::map<int, std::size_t> byId;
    for (const auto& r : rows) {
        Node n;
        n.detail = parseDetail(r.detail);
        n.id = r.id;
        m_nodes.push_back(std::move(n));
        byId[r.id] = m_nodes.size() - 1;
    }
    std::vector<const Node*> top;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto parent = byId.find(rows[i].parent);
        // a row whose parent is unknown (or itself) is kept at the top
        if (rows[i].parent == 0 || parent == byId.end() || parent->second >= i)
            top.push_back(&m_nodes[i]);
        else
            m_nodes[parent->second].children.push_back(&m_nodes[i]);
    }

    Scope rootScope;
    rootScope.root = true;
    PlanStep body;
    if (!top.empty())
        body = mapGroup(top, rootScope);

    return statementStep(std::move(body));
}

namespace {

// The table a DML or CREATE statement writes, as the schema spells it.
std::string targetName(const SchemaLookup& schema, const std::string& name) {
    if (auto t = schema.table(name))
        return upperName(t->name);
    return upperName(name);
}

std::optional<int> targetInstance(const StatementShape& shape) {
    for (const auto& item : shape.from)
        if (item.block != -2 && sameName(item.name, shape.target))
            return item.ordinal;
    return std::nullopt;
}

// An UPDATE or DELETE finds its rows through an index and then changes
// each row by its rowid: Oracle's plan shows the index step right under
// the statement's step, without a TABLE ACCESS BY INDEX ROWID, unless a
// condition is checked on the row (a filter of the table step). The row's
// visits are the statement step's cost (returned).
costs::Cost rowsByIndex(PlanStep& body) {
    PlanStep* at = &body;
    while (at->operation == ora::InlistIterator && at->children.size() == 1)
        at = &at->children.front();
    if (at->operation != ora::TableAccess || at->options != ora::ByIndexRowid ||
        !at->filterPredicates.empty() || at->children.size() != 1 ||
        at->children.front().operation != ora::Index)
        return {};
    PlanStep index = std::move(at->children.front());
    const costs::Cost visits{std::max(0.0, at->cost.io - index.cost.io),
                             std::max(0.0, at->cost.cpu - index.cost.cpu)};
    *at = std::move(index);
    return visits;
}

}  // namespace

PlanStep PlanMapper::dmlStep(std::string operation, PlanStep child) const {
    PlanStep s = step(std::move(operation));
    s.objectName = targetName(m_schema, m_shape.target);
    s.objectType = ora::TableType;
    s.owned = true;
    s.objectInstance = targetInstance(m_shape);
    if (m_facts && m_facts->dml)
        s.queryBlock = m_facts->dml->blockName();
    const TableFigures target = tableFigures(m_shape.target);
    s.width = target.rowBytes;
    if (!child.operation.empty()) {
        s.cost = child.cost + costs::pass(child.rows);
        s.rows = child.rows;
        s.children.push_back(std::move(child));
    } else {
        s.cost = costs::rowidProbe();  // one row written into one block
    }
    return s;
}

// The statement's own row at the top, with what the statement does to the
// rows of its query below it (the query's plan alone for a SELECT).
PlanStep PlanMapper::statementStep(PlanStep body) {
    const std::string& verb = m_shape.verb.empty() ? std::string("SELECT") : m_shape.verb;
    if (verb == "INSERT") {
        body = dmlStep(ora::LoadTableConventional, std::move(body));
    } else if (verb == "UPDATE") {
        const costs::Cost visits = rowsByIndex(body);
        body = dmlStep(ora::Update, std::move(body));
        body.cost += visits;
        // the subqueries of SET give each row its values: Oracle runs them
        // under the UPDATE, after the rows are found
        for (auto& s : m_leading) {
            body.cost += s.cost;
            body.children.push_back(std::move(s));
        }
        m_leading.clear();
    } else if (verb == "DELETE") {
        if (body.operation.empty() && !m_shape.target.empty()) {
            // a DELETE without WHERE empties the table in one pass; SQLite
            // prints no loop for it
            const std::string table = targetName(m_schema, m_shape.target);
            body = tableFull(table, targetInstance(m_shape).value_or(0), {});
            body.objectName = table;
            if (m_facts && m_facts->dml && !m_facts->dml->tables.empty()) {
                const dialect::QueryBlockFacts& f = *m_facts->dml;
                body.queryBlock = f.blockName();
                body.alias = f.tables.front().alias + "@" + body.queryBlock;
            }
        }
        const costs::Cost visits = rowsByIndex(body);
        body = dmlStep(ora::Delete, std::move(body));
        body.cost += visits;
    } else if (verb == "CREATE TABLE" && m_shape.asSelect) {
        body = dmlStep(ora::LoadAsSelect, std::move(body));
    } else if (verb == "CREATE INDEX" && !m_shape.indexTable.empty()) {
        // SQLite prints no plan for an index build; it reads the whole
        // table and sorts the keys, which is what Oracle shows too
        if (body.operation.empty())
            body = tableFull(targetName(m_schema, m_shape.indexTable), 0, {});
        PlanStep sorted = sortOver(std::move(body), ora::CreateIndex);
        PlanStep build = over(std::move(sorted), ora::IndexBuild,
                              m_shape.uniqueIndex ? ora::Unique : ora::NonUnique);
        build.objectName = upperName(m_shape.target);
        build.objectType = m_shape.uniqueIndex ? ora::UniqueIndexType : ora::IndexType;
        build.owned = true;
        body = std::move(build);
    }

    if (!m_loads.empty()) {
        // the subqueries that run ahead of the query read what is loaded
        // before them: they run under the transformation too
        for (auto& s : m_leading)
            m_loads.push_back(std::move(s));
        m_leading.clear();
    }
    body = temporaryTables(std::move(body));
    PlanStep root = step(verb + ora::StatementSuffix);
    root.optimizer = ora::AllRows;
    root.rows = body.operation.empty() ? 1 : body.rows;
    root.width = body.width;
    for (auto& s : m_leading) {
        root.cost += s.cost;
        root.children.push_back(std::move(s));
    }
    m_leading.clear();
    if (!body.operation.empty()) {
        root.cost += body.cost;
        root.children.push_back(std::move(body));
    }
    return root;
}

std::vector<PlanRow> PlanMapper::flatten(PlanStep root) const {
    std::vector<PlanRow> out;
    auto count = [](const PlanStep& s, auto& self) -> std::size_t {
        std::size_t n = 1;
        for (const auto& c : s.children)
            n += self(c, self);
        return n;
    };
    out.reserve(count(root, count));
    auto emit = [&](PlanStep& s, std::optional<int> parent, int depth,
                    std::optional<long long> position, auto& self) -> void {
        PlanRow r;
        r.id = static_cast<int>(out.size());
        r.parentId = parent;
        r.depth = depth;
        r.operation = std::move(s.operation);
        r.options = std::move(s.options);
        r.objectName = std::move(s.objectName);
        r.objectType = std::move(s.objectType);
        if (!s.owner.empty())
            r.objectOwner = std::move(s.owner);
        else if (s.owned)
            r.objectOwner = m_owner;
        r.optimizer = std::move(s.optimizer);
        r.other = std::move(s.other);
        r.objectAlias = std::move(s.alias);
        r.queryBlock = std::move(s.queryBlock);
        r.accessPredicates = std::move(s.accessPredicates);
        r.filterPredicates = std::move(s.filterPredicates);
        r.objectInstance = s.objectInstance;
        r.searchColumns = s.searchColumns;
        // Rounded as Oracle shows them: the whole cost and its I/O part to
        // blocks, the CPU part to cycles.
        const double total = std::clamp(s.cost.total(), 0.0, costs::kMaxEstimate);
        r.cost = std::llround(total);
        r.ioCost = std::llround(std::clamp(s.cost.io, 0.0, costs::kMaxEstimate));
        r.cpuCost = std::llround(std::clamp(s.cost.cpu, 0.0, costs::kMaxEstimate));
        r.cardinality = std::llround(costs::atLeastOneRow(s.rows));
        r.bytes = std::llround(
            std::clamp(static_cast<double>(r.cardinality) * s.width, 0.0, costs::kMaxEstimate));
        r.time = static_cast<long long>(costs::timeSeconds(total));
        r.position = parent ? position : std::optional<long long>(r.cost);
        out.push_back(std::move(r));
        const int id = out.back().id;
        long long pos = 0;
        for (auto& c : s.children)
            self(c, id, depth + 1, ++pos, self);
    };
    emit(root, std::nullopt, 0, std::nullopt, emit);
    // Oracle notes in OTHER_XML that it sampled tables without statistics;
    // DBMS_XPLAN shows it as a note.
    if (m_sampled && !out.empty())
        out.front().otherXml =
            "<other_xml><info type=\"dynamic_sampling\" note=\"y\">2</info></other_xml>";
    return out;
}

}  // namespace localengine::explain
