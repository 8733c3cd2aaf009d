#include "explain/ExplainMapper.h"

#include <algorithm>
#include <cmath>

#include "explain/PlanBuilding.h"

namespace localengine::explain {

// ---------------------------------------------------------------- schema --

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

PlanMapper::PlanMapper(const SchemaLookup& schema, std::string sql, std::string owner)
    : m_schema(schema), m_shape(analyseStatement(sql)), m_owner(std::move(owner)) {
    m_blockUsed.assign(m_shape.blocks.size(), false);
}

double PlanMapper::tableRowsOf(const std::string& table, bool* known) const {
    if (auto n = m_schema.tableRows(table)) {
        *known = true;
        return std::max(1.0, *n);
    }
    *known = false;
    return costs::kDefaultTableRows;
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

int PlanMapper::matchBlock(const std::vector<const Node*>& nodes, const Scope& scope) {
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
                if (item.block == static_cast<int>(b) && sameName(item.printedName(), name)) {
                    ++matches;
                    break;
                }
        if (!names.empty() && matches == 0)
            continue;
        int depth = m_shape.blocks[b].depth;
        int score = matches * 100 + (m_blockUsed[b] ? 0 : 10) +
                    ((scope.root ? depth == 0 : depth > 0) ? 5 : 0);
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(b);
        }
    }
    if (best >= 0 && names.empty() && (m_blockUsed[static_cast<std::size_t>(best)] || !scope.root))
        best = -1;  // a group without tables is only tied to the statement's own block
    if (best >= 0)
        m_blockUsed[static_cast<std::size_t>(best)] = true;
    return best;
}

PlanStep PlanMapper::map(const std::vector<EqpRow>& rows) {
    m_nodes.clear();
    m_nodes.reserve(rows.size());
    m_leading.clear();
    m_viewNames.clear();
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

}  // namespace

PlanStep PlanMapper::dmlStep(std::string operation, PlanStep child) const {
    PlanStep s = step(std::move(operation));
    s.objectName = targetName(m_schema, m_shape.target);
    s.objectType = ora::TableType;
    s.owned = true;
    s.objectInstance = targetInstance(m_shape);
    if (!child.operation.empty()) {
        s.cost = child.cost;
        s.rows = child.rows;
        s.rowsKnown = child.rowsKnown;
        s.children.push_back(std::move(child));
    } else {
        s.cost = costs::kUniqueProbeCost;
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
        body = dmlStep(ora::Update, std::move(body));
    } else if (verb == "DELETE") {
        if (body.operation.empty() && !m_shape.target.empty()) {
            // a DELETE without WHERE empties the table in one pass; SQLite
            // prints no loop for it
            const std::string table = targetName(m_schema, m_shape.target);
            body = tableFull(table, targetInstance(m_shape).value_or(0), {});
            body.objectName = table;
        }
        body = dmlStep(ora::Delete, std::move(body));
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

    PlanStep root = step(verb + ora::StatementSuffix);
    root.optimizer = ora::AllRows;
    root.rows = body.operation.empty() ? 1 : body.rows;
    root.rowsKnown = body.operation.empty() || body.rowsKnown;
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

std::vector<PlanRow> PlanMapper::flatten(const PlanStep& root) const {
    std::vector<PlanRow> out;
    bool stats = m_schema.hasStatistics();
    auto emit = [&](const PlanStep& s, std::optional<int> parent, std::optional<long long> position,
                    auto& self) -> void {
        PlanRow r;
        r.id = static_cast<int>(out.size());
        r.parentId = parent;
        r.operation = s.operation;
        r.options = s.options;
        r.objectName = s.objectName;
        r.objectType = s.objectType;
        if (s.owned)
            r.objectOwner = m_owner;
        r.optimizer = s.optimizer;
        r.other = s.other;
        r.objectInstance = s.objectInstance;
        r.searchColumns = s.searchColumns;
        if (stats) {
            r.cost = std::llround(std::clamp(s.cost, 0.0, costs::kMaxEstimate));
            if (s.rowsKnown)
                r.cardinality = std::llround(std::clamp(s.rows, 1.0, costs::kMaxEstimate));
        }
        r.position = parent ? position : r.cost;
        out.push_back(std::move(r));
        int id = out.back().id;
        long long pos = 0;
        for (const auto& c : s.children)
            self(c, id, ++pos, self);
    };
    emit(root, std::nullopt, std::nullopt, emit);
    return out;
}

}  // namespace localengine::explain
