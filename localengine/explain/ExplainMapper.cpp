#include "explain/ExplainMapper.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

// ------------------------------------------------------------ estimates --
//
// A deliberately simple cost model in the spirit of Oracle's: cost counts
// block reads, with 50 table rows or 200 index entries to a block; a nested
// loop pays its inner cost once per outer row; a sort pays n log n. The
// numbers only need to rank plans sensibly and to grow with the data.

namespace {

constexpr double kDefaultRows = 1000;  // a table without statistics
constexpr double kMaxEstimate = 1e15;

double tableScanCost(double rows) {
    return 1 + std::ceil(rows / 50);
}
double indexScanCost(double rows) {
    return 1 + std::ceil(rows / 200);
}
double sortCost(double rows) {
    return rows < 2 ? 0 : 1 + std::ceil(rows * std::log2(rows) / 2000);
}

PlanStep step(std::string operation, std::string options = {}) {
    PlanStep s;
    s.operation = std::move(operation);
    s.options = std::move(options);
    return s;
}

// A step over one child that passes the child's estimates on.
PlanStep over(PlanStep child, std::string operation, std::string options = {}) {
    PlanStep s = step(std::move(operation), std::move(options));
    s.cost = child.cost;
    s.rows = child.rows;
    s.rowsKnown = child.rowsKnown;
    s.children.push_back(std::move(child));
    return s;
}

PlanStep sortOver(PlanStep child, std::string options) {
    PlanStep s = over(std::move(child), "SORT", std::move(options));
    s.cost += sortCost(s.rows);
    return s;
}

bool isUnnamedSubquery(const std::string& name) {
    return name.rfind("(subquery-", 0) == 0 || name.rfind("(join-", 0) == 0 ||
           name.rfind("SUBQUERY ", 0) == 0 || name.rfind("0x", 0) == 0;
}

std::string stripSchema(const std::string& name) {
    for (const char* prefix : {"main.", "temp."})
        if (name.size() > 5 && sameName(name.substr(0, 5), prefix))
            return name.substr(5);
    return name;
}

void appendOther(PlanStep& s, const std::string& text) {
    if (text.empty())
        return;
    if (!s.other.empty())
        s.other += "\n";
    s.other += text;
}

bool isLoopKind(DetailKind k) {
    return k == DetailKind::TableAccess || k == DetailKind::MultiIndexOr ||
           k == DetailKind::ConstantRow || k == DetailKind::ConstantRows ||
           k == DetailKind::CompoundQuery || k == DetailKind::Merge ||
           k == DetailKind::CompoundSubqueries;
}

// Joins two set-operation inputs, flattening a left input that already is
// the same operation (Oracle shows one UNION-ALL with n branches).
PlanStep setOperation(PlanStep left, PlanStep right, const std::string& op, std::string& leftOp) {
    auto sorted = [](PlanStep s) {
        if (s.operation == "SORT" && s.options == "ORDER BY") {
            s.options = "UNIQUE";  // the arm's own sort also removes duplicates
            return s;
        }
        return sortOver(std::move(s), "UNIQUE");
    };
    PlanStep result;
    if (op == "UNION ALL" || op == "UNION") {
        bool same = leftOp == op;
        if (same) {
            result = std::move(left);
            PlanStep& all = op == "UNION" ? result.children[0] : result;
            all.children.push_back(std::move(right));
        } else {
            PlanStep all = step("UNION-ALL");
            all.children.push_back(std::move(left));
            all.children.push_back(std::move(right));
            result = op == "UNION" ? over(std::move(all), "SORT", "UNIQUE") : std::move(all);
        }
        PlanStep& all = op == "UNION" ? result.children[0] : result;
        all.cost = 0;
        all.rows = 0;
        all.rowsKnown = true;
        for (const auto& c : all.children) {
            all.cost += c.cost;
            all.rows += c.rows;
            all.rowsKnown = all.rowsKnown && c.rowsKnown;
        }
        if (op == "UNION") {
            result.rows = all.rows;
            result.rowsKnown = all.rowsKnown;
            result.cost = all.cost + sortCost(all.rows);
        }
    } else {
        bool minus = op == "EXCEPT";
        if (leftOp == op) {
            result = std::move(left);
            result.children.push_back(sorted(std::move(right)));
        } else {
            result = step(minus ? "MINUS" : "INTERSECTION");
            result.children.push_back(sorted(std::move(left)));
            result.children.push_back(sorted(std::move(right)));
        }
        result.cost = 0;
        result.rowsKnown = true;
        for (const auto& c : result.children) {
            result.cost += c.cost;
            result.rowsKnown = result.rowsKnown && c.rowsKnown;
        }
        result.rows = result.children[0].rows;
        if (!minus)
            for (const auto& c : result.children)
                result.rows = std::min(result.rows, c.rows);
    }
    leftOp = op;
    return result;
}

}  // namespace

// --------------------------------------------------------------- mapper --

struct PlanMapper::Scope {
    bool root = false;
    std::string recursiveName;  // the CTE whose recursive step is being mapped
};

struct PlanMapper::Loop {
    const Node* node = nullptr;
    PlanStep step;
    std::string printed;  // name as SQLite printed it
    std::string table;    // real table name
    bool leftJoin = false;
    bool hash = false;  // built from an automatic index: a hash join
    bool compound = false;
    std::string rightOuter;                 // "RIGHT OUTER" / "FULL OUTER"
    std::vector<std::string> equalColumns;  // lower case
};

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
    return kDefaultRows;
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

PlanStep PlanMapper::tableFull(const std::string& table, int instance, const std::string& other) {
    PlanStep s = step("TABLE ACCESS", "FULL");
    s.objectName = upperName(table);
    s.objectType = "TABLE";
    s.owned = true;
    if (instance > 0)
        s.objectInstance = instance;
    bool known;
    s.rows = tableRowsOf(table, &known);
    s.rowsKnown = known;
    s.cost = tableScanCost(s.rows);
    appendOther(s, other);
    return s;
}

PlanStep PlanMapper::mapIndexAccess(const Detail& d, const std::string& table, int /*instance*/,
                                    int block) {
    std::optional<IndexInfo> info = m_schema.index(d.index);
    if (d.access == AccessPath::PrimaryKey) {
        info = m_schema.primaryKeyIndex(table);
        if (!info) {
            IndexInfo pk;
            pk.name = "sqlite_autoindex_" + table + "_1";
            pk.table = table;
            pk.unique = true;
            pk.primaryKey = true;
            info = pk;
        }
    }
    const SelectBlock* b = block >= 0 ? &m_shape.blocks[static_cast<std::size_t>(block)] : nullptr;
    PlanStep s = step("INDEX");
    s.objectName = upperName(info ? info->displayName() : d.index);
    s.objectType = info && info->unique ? "INDEX (UNIQUE)" : "INDEX";
    s.owned = true;
    bool known;
    double n = tableRowsOf(table, &known);
    std::string statsIndex = info ? info->name : d.index;
    auto perKey = [&](int cols) {
        if (cols <= 0)
            return n;
        if (auto r = m_schema.rowsPerKey(statsIndex, cols))
            return std::max(1.0, *r);
        known = false;
        return std::max(1.0, n / std::pow(10.0, cols));
    };
    const KeyTerms& k = d.keys;
    int eq = static_cast<int>(k.equal.size());
    int skipped = static_cast<int>(k.skipped.size());
    std::size_t keyColumns = info ? info->columns.size() : 0;
    if (!k.present) {
        if (d.search) {
            // min()/max(): one probe at one end of the index
            s.options = "FULL SCAN (MIN/MAX)";
            s.rows = 1;
            s.cost = 2;
        } else {
            // count(*) reads every entry of the smallest index, in no order
            bool countOnly =
                b && b->countStarOnly && !b->groupBy && d.access == AccessPath::CoveringIndex;
            s.options = countOnly ? "FAST FULL SCAN" : "FULL SCAN";
            s.rows = n;
            s.cost = indexScanCost(n);
        }
        s.rowsKnown = known;
        return s;
    }
    s.searchColumns = eq + skipped;
    if (skipped > 0) {
        s.options = "SKIP SCAN";
        double distinctPrefix = n / perKey(skipped);
        s.rows = perKey(skipped + eq) * distinctPrefix;
        if (k.lower)
            s.rows /= 4;
        if (k.upper)
            s.rows /= 4;
        s.cost = indexScanCost(s.rows) + std::ceil(distinctPrefix);
    } else if (info && info->unique && keyColumns > 0 &&
               static_cast<std::size_t>(eq) >= keyColumns && !k.lower && !k.upper) {
        s.options = "UNIQUE SCAN";
        s.rows = 1;
        s.cost = 1;
        known = true;
    } else {
        bool minMax = b && b->minMaxOnly && !b->groupBy && d.search && eq > 0 && !k.lower &&
                      !k.upper && static_cast<std::size_t>(eq) < keyColumns;
        s.options = minMax ? "RANGE SCAN (MIN/MAX)" : "RANGE SCAN";
        s.rows = perKey(eq);
        if (k.lower)
            s.rows /= 4;
        if (k.upper)
            s.rows /= 4;
        if (minMax)
            s.rows = 1;
        s.cost = indexScanCost(s.rows);
    }
    s.rows = std::max(1.0, s.rows);
    s.rowsKnown = known;
    return s;
}

PlanStep PlanMapper::mapAccess(const Node& node, const Scope& scope, int block, ViewMap& views,
                               Loop& loop) {
    const Detail& d = node.detail;
    loop.printed = d.name;
    loop.leftJoin = d.leftJoin;
    for (const auto& c : d.keys.equal)
        loop.equalColumns.push_back(lowerName(c));
    bool automatic = d.access == AccessPath::AutoIndex || d.access == AccessPath::AutoPartialIndex;

    // The consumer of a FROM subquery, view or CTE: the VIEW step that holds
    // the subquery's plan takes its place.
    const FromItem* item = m_shape.findItem(d.name, block);
    std::string viewKey;
    if (views.count(upperName(d.name)))
        viewKey = upperName(d.name);
    else if (item && !item->subquery && !item->name.empty() && views.count(upperName(item->name)))
        viewKey = upperName(item->name);
    bool isView = !viewKey.empty() || isUnnamedSubquery(d.name) ||
                  m_viewNames.count(upperName(d.name)) || m_shape.isCte(d.name) ||
                  (item && item->subquery) ||
                  (item && !item->name.empty() &&
                   (m_viewNames.count(upperName(item->name)) || m_shape.isCte(item->name)));
    if (isView && d.declaredTable.empty() && d.access != AccessPath::VirtualTable) {
        PlanStep v;
        if (!scope.recursiveName.empty() && (sameName(d.name, scope.recursiveName) ||
                                             (item && sameName(item->name, scope.recursiveName)))) {
            // the recursive CTE reading its own previous rows
            v = step("RECURSIVE WITH PUMP");
            v.rowsKnown = false;
        } else if (!viewKey.empty()) {
            v = std::move(views[viewKey]);
            views.erase(viewKey);
        } else {
            // a view coded once elsewhere in the plan and read again here
            v = step("VIEW");
            std::string name = item && !item->name.empty() ? item->name : d.name;
            if (!isUnnamedSubquery(name))
                v.objectName = upperName(name);
            v.objectType = "VIEW";
            v.rowsKnown = false;
            v.cost = 1;
        }
        loop.table = v.objectName;
        appendOther(v, d.text);
        if (automatic) {
            loop.hash = true;
            if (d.access == AccessPath::AutoPartialIndex)
                v = over(std::move(v), "FILTER");
        }
        return v;
    }

    int instance = 0;
    std::string table =
        d.declaredTable.empty() ? resolveTable(d.name, block, &instance) : d.declaredTable;
    std::optional<TableInfo> info = m_schema.table(table);
    if (!info && !d.index.empty()) {
        // SCAN/SEARCH print the alias; the index knows its table.
        if (auto idx = m_schema.index(d.index)) {
            table = idx->table;
            info = m_schema.table(table);
        }
    }
    if (info)
        table = info->name;
    loop.table = table;
    const SelectBlock* b = block >= 0 ? &m_shape.blocks[static_cast<std::size_t>(block)] : nullptr;

    PlanStep s;
    bool known;
    switch (d.access) {
        case AccessPath::Table:
            if (info && info->withoutRowid) {
                Detail pk = d;
                pk.access = AccessPath::PrimaryKey;
                s = mapIndexAccess(pk, table, instance, block);
                // the whole table is its primary key b-tree, walked in key order
                s.options = d.search ? "FULL SCAN (MIN/MAX)" : "FULL SCAN";
                if (!d.search) {
                    s.rows = tableRowsOf(table, &known);
                    s.rowsKnown = known;
                    s.cost = tableScanCost(s.rows);
                }
            } else {
                // SEARCH without an index: min()/max() with nothing to probe,
                // which reads the whole table all the same
                s = tableFull(table, instance, {});
            }
            break;
        case AccessPath::Index:
        case AccessPath::CoveringIndex: {
            s = mapIndexAccess(d, table, instance, block);
            if (d.access == AccessPath::Index) {
                PlanStep t = over(std::move(s), "TABLE ACCESS", "BY INDEX ROWID");
                t.objectName = upperName(table);
                t.objectType = "TABLE";
                t.owned = true;
                if (instance > 0)
                    t.objectInstance = instance;
                t.cost += std::ceil(t.rows / 5);
                s = std::move(t);
            }
            break;
        }
        case AccessPath::PrimaryKey:
            s = mapIndexAccess(d, table, instance, block);
            break;
        case AccessPath::AutoIndex:
        case AccessPath::AutoPartialIndex:
            // SQLite builds a transient index on the table for this statement
            // (one full pass) and probes it once per outer row. Oracle has no
            // transient index; the equivalent is a hash join whose build
            // input is the full scan of the table.
            loop.hash = true;
            s = tableFull(table, instance, {});
            if (d.access == AccessPath::AutoPartialIndex)
                s = over(std::move(s), "FILTER");  // only rows passing a WHERE term are indexed
            break;
        case AccessPath::IntegerPrimaryKey: {
            if (!d.keys.equal.empty()) {
                s = step("TABLE ACCESS", "BY USER ROWID");
                s.rows = 1;
                s.cost = 1;
            } else {
                s = step("TABLE ACCESS", "BY ROWID RANGE");
                s.rows = tableRowsOf(table, &known);
                s.rowsKnown = known;
                if (d.keys.lower)
                    s.rows /= 4;
                if (d.keys.upper)
                    s.rows /= 4;
                s.rows = std::max(1.0, s.rows);
                s.cost = tableScanCost(s.rows);
            }
            s.objectName = upperName(table);
            s.objectType = "TABLE";
            s.owned = true;
            if (instance > 0)
                s.objectInstance = instance;
            // "rowid=?" names no column; an IN list on the rowid alias needs its name
            if (info && b && !d.keys.equal.empty() &&
                (!b->inListColumns.empty() || !b->inSubqueryColumns.empty())) {
                std::string alias = m_schema.rowidAlias(table);
                if (!alias.empty())
                    loop.equalColumns.push_back(lowerName(alias));
            }
            break;
        }
        case AccessPath::VirtualTable: {
            std::string module = info ? lowerName(info->module) : std::string();
            if (!info) {
                // a table-valued function (json_each, pragma_..., generate_series)
                s = step("COLLECTION ITERATOR", "PICKLER FETCH");
                s.objectName = upperName(d.name);
            } else if (module.rfind("fts", 0) == 0 || module.rfind("rtree", 0) == 0 ||
                       module == "geopoly") {
                s = step("DOMAIN INDEX");
                s.objectName = upperName(table);
                s.objectType = "INDEX";
                s.owned = true;
            } else {
                s = step("EXTERNAL TABLE ACCESS", "FULL");
                s.objectName = upperName(table);
                s.objectType = "TABLE";
                s.owned = true;
            }
            if (instance > 0 && info)
                s.objectInstance = instance;
            s.rows = d.estimatedRows.value_or(100);
            s.rowsKnown = d.estimatedRows.has_value();
            s.cost = 1 + std::ceil(s.rows / 50);
            break;
        }
    }
    if (d.estimatedRows) {
        s.rows = std::max(1.0, *d.estimatedRows);
        s.rowsKnown = true;
    }
    // IN (list) on a key column prints as "=?": Oracle iterates the list.
    if (b && !b->inListColumns.empty() && !automatic) {
        bool inList = false;
        for (const auto& c : loop.equalColumns)
            inList = inList || b->inListColumns.count(c) > 0;
        if (inList)
            s = over(std::move(s), "INLIST ITERATOR");
    }
    appendOther(s, d.text);
    return s;
}

PlanStep PlanMapper::mapCompound(const Node& node, const Scope& scope) {
    const Detail& d = node.detail;
    (void)scope;
    if (d.kind == DetailKind::CompoundSubqueries) {
        // flat output of old releases: the arms are listed elsewhere
        std::string op = d.op;
        if (op.rfind("USING TEMP B-TREE ", 0) == 0)
            op = op.substr(18);
        PlanStep s = step(op == "UNION ALL"   ? "UNION-ALL"
                          : op == "EXCEPT"    ? "MINUS"
                          : op == "INTERSECT" ? "INTERSECTION"
                          : op == "UNION"     ? "SORT"
                                              : upperName(d.text),
                          op == "UNION" ? "UNIQUE" : "");
        s.rowsKnown = false;
        appendOther(s, d.text);
        return s;
    }
    Scope armScope;
    if (d.kind == DetailKind::CompoundQuery) {
        PlanStep result;
        std::string resultOp;
        bool first = true;
        for (const Node* arm : node.children) {
            PlanStep armPlan = mapGroup(arm->children, armScope);
            if (armPlan.operation.empty())
                armPlan = mapUnknown(*arm, armScope);
            if (first) {
                result = std::move(armPlan);
                first = false;
                continue;
            }
            std::string op =
                arm->detail.kind == DetailKind::CompoundArm ? arm->detail.op : "UNION ALL";
            result = setOperation(std::move(result), std::move(armPlan), op, resultOp);
        }
        appendOther(result, d.text);
        return result;
    }
    // MERGE (op): two sorted inputs merged; arms nest left-deep.
    PlanStep left, right;
    std::string leftOp;
    for (const Node* arm : node.children) {
        PlanStep armPlan = mapGroup(arm->children, armScope);
        if (armPlan.operation.empty())
            armPlan = mapUnknown(*arm, armScope);
        if (arm->detail.kind == DetailKind::MergeLeft && left.operation.empty()) {
            left = std::move(armPlan);
            // a nested MERGE of the same operator was already mapped to it
            if (!arm->children.empty() && arm->children.front()->detail.kind == DetailKind::Merge &&
                arm->children.front()->detail.op == d.op)
                leftOp = d.op;
        } else {
            right = right.operation.empty()
                        ? std::move(armPlan)
                        : setOperation(std::move(right), std::move(armPlan), d.op, leftOp);
        }
    }
    PlanStep result;
    if (left.operation.empty())
        result = std::move(right);
    else if (right.operation.empty())
        result = std::move(left);
    else
        result = setOperation(std::move(left), std::move(right), d.op, leftOp);
    // the merge delivers rows in ORDER BY order; SORT UNIQUE already sorts
    if (d.op != "UNION")
        result = sortOver(std::move(result), "ORDER BY");
    appendOther(result, d.text);
    return result;
}

PlanStep PlanMapper::mapRecursive(const std::vector<const Node*>& nodes, const Scope& scope) {
    PlanStep s = step("UNION ALL (RECURSIVE WITH)", "BREADTH FIRST");
    std::vector<const Node*> rest;
    s.rowsKnown = false;
    for (const Node* n : nodes) {
        if (n->detail.kind == DetailKind::Setup || n->detail.kind == DetailKind::RecursiveStep) {
            Scope inner;
            if (n->detail.kind == DetailKind::RecursiveStep)
                inner.recursiveName = scope.recursiveName;
            PlanStep part = mapGroup(n->children, inner);
            if (part.operation.empty())
                part = mapUnknown(*n, inner);
            s.cost += part.cost;
            s.children.push_back(std::move(part));
        } else {
            rest.push_back(n);
        }
    }
    s.rows = s.children.empty() ? 1 : s.children.front().rows * 10;
    if (!rest.empty()) {
        PlanStep more = mapGroup(rest, Scope{});
        if (!more.operation.empty())
            s.children.push_back(std::move(more));
    }
    return s;
}

PlanStep PlanMapper::mapUnknown(const Node& node, const Scope& scope) {
    // A line this mapper does not know (another SQLite release): it still
    // becomes a step, named by its own text, with its subtree below it.
    PlanStep s = step(upperName(node.detail.text));
    s.other = node.detail.text;
    s.rowsKnown = false;
    if (!node.children.empty()) {
        PlanStep child = mapGroup(node.children, Scope{false, scope.recursiveName});
        if (!child.operation.empty()) {
            s.cost = child.cost;
            s.children.push_back(std::move(child));
        }
    }
    return s;
}

PlanStep PlanMapper::mapGroup(const std::vector<const Node*>& nodes, const Scope& scope) {
    for (const Node* n : nodes)
        if (n->detail.kind == DetailKind::Setup || n->detail.kind == DetailKind::RecursiveStep)
            return mapRecursive(nodes, scope);

    int block = matchBlock(nodes, scope);
    const SelectBlock* b = block >= 0 ? &m_shape.blocks[static_cast<std::size_t>(block)] : nullptr;

    struct Pending {
        const Node* node;
        int afterLoop;
    };
    std::vector<const Node*> loopNodes;
    std::vector<Pending> subqueries;
    std::vector<PlanStep> extras;
    std::vector<std::string> rightJoins;
    std::map<std::string, int> blooms;
    ViewMap views;
    std::vector<std::string> viewOrder;
    bool tempOrder = false, partialOrder = false, tempGroup = false, tempDistinct = false,
         aggregateSort = false;
    std::string sortNotes;

    for (const Node* n : nodes) {
        const Detail& d = n->detail;
        switch (d.kind) {
            case DetailKind::CoRoutine:
            case DetailKind::Materialize: {
                std::string key = upperName(d.name);
                m_viewNames[key] = d.name;
                Scope inner;
                for (const Node* c : n->children)
                    if (c->detail.kind == DetailKind::RecursiveStep)
                        inner.recursiveName = d.name;  // its step reads the CTE itself
                PlanStep body = mapGroup(n->children, inner);
                PlanStep v = body.operation.empty() ? step("VIEW") : over(std::move(body), "VIEW");
                if (!isUnnamedSubquery(d.name))
                    v.objectName = upperName(d.name);
                v.objectType = "VIEW";
                auto info = m_schema.table(d.name);
                if (info && info->kind == TableInfo::Kind::View) {
                    v.objectName = upperName(info->name);
                    v.owned = true;
                }
                appendOther(v, d.text);
                if (!views.count(key))
                    viewOrder.push_back(key);
                views[key] = std::move(v);
                break;
            }
            case DetailKind::TempBTree:
                switch (d.purpose) {
                    case TempPurpose::OrderBy:
                        tempOrder = true;
                        break;
                    case TempPurpose::PartialOrderBy:
                        partialOrder = true;
                        break;
                    case TempPurpose::GroupBy:
                        tempGroup = true;
                        break;
                    case TempPurpose::Distinct:
                        tempDistinct = true;
                        break;
                    case TempPurpose::AggregateDistinct:
                    case TempPurpose::AggregateOrderBy:
                        aggregateSort = true;
                        break;
                    case TempPurpose::Other:
                        extras.push_back(mapUnknown(*n, scope));
                        break;
                }
                if (d.purpose != TempPurpose::Other)
                    sortNotes += (sortNotes.empty() ? "" : "\n") + d.text;
                break;
            case DetailKind::BloomFilter:
                blooms[upperName(d.name)] = m_bloomFilters++;
                break;
            case DetailKind::RightJoin:
                rightJoins.push_back(d.name);
                break;
            case DetailKind::ScalarSubquery:
            case DetailKind::ListSubquery:
            case DetailKind::RowidInOperator:
            case DetailKind::IndexInOperator:
                subqueries.push_back({n, static_cast<int>(loopNodes.size()) - 1});
                break;
            case DetailKind::ReuseSubquery:
                // runs a subquery already shown in the plan once more: Oracle
                // has no step for that, and the subquery's own steps are there
                break;
            default:
                if (isLoopKind(d.kind))
                    loopNodes.push_back(n);
                else
                    extras.push_back(mapUnknown(*n, scope));
                break;
        }
    }

    // Each loop's row source.
    std::vector<Loop> loops;
    for (const Node* n : loopNodes) {
        Loop loop;
        loop.node = n;
        const Detail& d = n->detail;
        switch (d.kind) {
            case DetailKind::TableAccess:
                loop.step = mapAccess(*n, scope, block, views, loop);
                break;
            case DetailKind::MultiIndexOr: {
                // one index lookup per OR term, rowids merged: Oracle's OR expansion
                PlanStep c = step("CONCATENATION");
                c.rows = 0;
                for (const Node* term : n->children) {
                    for (const Node* access : term->children) {
                        PlanStep branch;
                        if (access->detail.kind == DetailKind::TableAccess) {
                            Loop inner;
                            branch = mapAccess(*access, scope, block, views, inner);
                            if (loop.table.empty()) {
                                loop.table = inner.table;
                                loop.printed = inner.printed;
                            }
                            loop.leftJoin = loop.leftJoin || inner.leftJoin;
                        } else {
                            branch = mapUnknown(*access, scope);
                        }
                        c.cost += branch.cost;
                        c.rows += branch.rows;
                        c.rowsKnown = c.rowsKnown && branch.rowsKnown;
                        c.children.push_back(std::move(branch));
                    }
                    if (term->detail.kind != DetailKind::OrTerm)
                        appendOther(c, term->detail.text);
                }
                c.rows = std::max(1.0, c.rows);
                appendOther(c, d.text);
                loop.step = std::move(c);
                break;
            }
            case DetailKind::ConstantRow:
            case DetailKind::ConstantRows:
                loop.step = step("FAST DUAL");
                loop.step.cost = 2;
                loop.step.rows = d.kind == DetailKind::ConstantRows
                                     ? static_cast<double>(std::max(1LL, d.number))
                                     : 1;
                appendOther(loop.step, d.text);
                break;
            default:
                loop.compound = true;
                loop.step = mapCompound(*n, scope);
                break;
        }
        auto bloom = blooms.find(upperName(loop.printed));
        if (bloom != blooms.end() && d.kind == DetailKind::TableAccess) {
            // rows of the outer loop are tested against a Bloom filter of
            // this table's keys before each probe
            char name[16];
            std::snprintf(name, sizeof name, ":BF%04d", bloom->second);
            PlanStep f = over(std::move(loop.step), "JOIN FILTER", "USE");
            f.objectName = name;
            loop.step = std::move(f);
            blooms.erase(bloom);
        }
        loops.push_back(std::move(loop));
    }
    for (const auto& [name, number] : blooms) {
        // a Bloom filter whose table line was not found: still shown
        char id[16];
        std::snprintf(id, sizeof id, ":BF%04d", number);
        PlanStep f = step("JOIN FILTER", "USE");
        f.objectName = id;
        f.other = "BLOOM FILTER ON " + name;
        extras.push_back(std::move(f));
    }

    // RIGHT and FULL joins: the join that adds the right table becomes a
    // hash join that also returns the unmatched rows of that table.
    for (const auto& name : rightJoins) {
        std::size_t k = 0;
        while (k < loops.size() && !sameName(loops[k].table, name))
            ++k;
        if (k == loops.size()) {
            PlanStep r = step("HASH JOIN", "RIGHT OUTER");
            r.other = "RIGHT-JOIN " + name;
            r.rowsKnown = false;
            extras.push_back(std::move(r));
            continue;
        }
        std::size_t target = k == 0 && loops.size() > 1 ? 1 : k;
        loops[target].rightOuter = loops[k].leftJoin ? "FULL OUTER" : "RIGHT OUTER";
    }

    // Expression subqueries: an IN list that drives the index probe of the
    // loop before it joins that loop (Oracle's unnested IN); the others
    // filter the rows of the block.
    std::vector<PlanStep> filters;
    bool correlated = false;
    for (const Pending& p : subqueries) {
        const Detail& d = p.node->detail;
        PlanStep sub;
        PlanStep driver;
        if (d.kind == DetailKind::ScalarSubquery || d.kind == DetailKind::ListSubquery) {
            sub = mapGroup(p.node->children, Scope{});
            if (sub.operation.empty())
                sub = mapUnknown(*p.node, Scope{});
            else
                appendOther(sub, d.text);
            if (d.kind == DetailKind::ListSubquery)
                driver = sortOver(sub, "UNIQUE");
        } else if (d.kind == DetailKind::RowidInOperator) {
            int instance = 0;
            std::string table = resolveTable(d.name, block, &instance);
            sub = step("TABLE ACCESS", "BY USER ROWID");
            sub.objectName = upperName(table);
            sub.objectType = "TABLE";
            sub.owned = true;
            sub.cost = 1;
            appendOther(sub, d.text);
            driver = tableFull(table, 0, d.text);
        } else {
            auto info = m_schema.index(d.index);
            sub = step("INDEX", info && info->unique && info->columns.size() == 1 ? "UNIQUE SCAN"
                                                                                  : "RANGE SCAN");
            sub.objectName = upperName(info ? info->displayName() : d.index);
            sub.objectType = info && info->unique ? "INDEX (UNIQUE)" : "INDEX";
            sub.owned = true;
            sub.cost = 1;
            appendOther(sub, d.text);
            driver = sub;
            driver.options = "FULL SCAN";
            bool known;
            driver.rows = info ? tableRowsOf(info->table, &known) : kDefaultRows;
            driver.rowsKnown = info && known;
            driver.cost = indexScanCost(driver.rows);
        }
        bool drives = false;
        if (!d.correlated && d.kind != DetailKind::ScalarSubquery && p.afterLoop >= 0 && b) {
            const Loop& l = loops[static_cast<std::size_t>(p.afterLoop)];
            if (l.node->detail.kind == DetailKind::TableAccess && l.node->detail.search)
                for (const auto& c : l.equalColumns)
                    drives = drives || b->inSubqueryColumns.count(c) > 0;
        }
        if (drives) {
            Loop& l = loops[static_cast<std::size_t>(p.afterLoop)];
            PlanStep nl = step("NESTED LOOPS");
            nl.cost = driver.cost + driver.rows * l.step.cost;
            nl.rows = driver.rows * l.step.rows;
            nl.rowsKnown = driver.rowsKnown && l.step.rowsKnown;
            nl.children.push_back(std::move(driver));
            nl.children.push_back(std::move(l.step));
            l.step = std::move(nl);
        } else if (scope.root && !d.correlated && d.kind == DetailKind::ScalarSubquery) {
            // run once; Oracle lists such a subquery ahead of the main row source
            m_leading.push_back(std::move(sub));
        } else {
            correlated = correlated || d.correlated;
            filters.push_back(std::move(sub));
        }
    }

    // Loops of one block nest left-deep, outermost first.
    PlanStep j;
    for (std::size_t k = 0; k < loops.size(); ++k) {
        Loop& l = loops[k];
        if (k == 0) {
            j = std::move(l.step);
            continue;
        }
        PlanStep join = step(l.hash || !l.rightOuter.empty() ? "HASH JOIN" : "NESTED LOOPS",
                             !l.rightOuter.empty() ? l.rightOuter
                             : l.leftJoin          ? "OUTER"
                                                   : "");
        if (join.operation == "HASH JOIN") {
            // the transient index is probed once per outer row: about one
            // match per probe unless statistics say otherwise
            join.cost = j.cost + l.step.cost + 1;
            join.rows = j.rows;
            join.rowsKnown = j.rowsKnown;
        } else {
            join.cost = j.cost + j.rows * l.step.cost;
            join.rows = j.rows * l.step.rows;
            join.rowsKnown = j.rowsKnown && l.step.rowsKnown;
        }
        if (l.leftJoin)
            join.rows = std::max(join.rows, j.rows);
        join.cost = std::min(join.cost, kMaxEstimate);
        join.rows = std::min(join.rows, kMaxEstimate);
        join.children.push_back(std::move(j));
        join.children.push_back(std::move(l.step));
        j = std::move(join);
    }
    if (j.operation.empty()) {
        // no loop of its own: a subquery, a view or another step is the row source
        if (!filters.empty()) {
            j = std::move(filters.front());
            filters.erase(filters.begin());
        } else if (!viewOrder.empty() && views.count(viewOrder.front())) {
            j = std::move(views[viewOrder.front()]);
            views.erase(viewOrder.front());
        } else if (!extras.empty()) {
            j = std::move(extras.front());
            extras.erase(extras.begin());
        }
    }
    if (!filters.empty() && !j.operation.empty()) {
        PlanStep f = over(std::move(j), "FILTER");
        double subCost = 0;
        for (auto& s : filters) {
            subCost += s.cost;
            f.children.push_back(std::move(s));
        }
        f.cost += (correlated ? f.rows : 1) * subCost;
        f.cost = std::min(f.cost, kMaxEstimate);
        j = std::move(f);
    }

    // Aggregation, DISTINCT, ORDER BY and LIMIT, in the order they apply.
    if (!j.operation.empty()) {
        bool singleRow = false;
        if (tempGroup) {
            j = sortOver(std::move(j), "GROUP BY");
            j.rows = std::max(1.0, j.rows / 10);
        } else if (b && b->groupBy && b->aggregate) {
            j = over(std::move(j), "SORT", "GROUP BY NOSORT");  // rows come in group order
            j.rows = std::max(1.0, j.rows / 10);
        } else if (aggregateSort) {
            j = sortOver(std::move(j), "GROUP BY");
            j.rows = 1;
            singleRow = true;
        } else if (b && b->aggregate && !b->groupBy) {
            j = over(std::move(j), "SORT", "AGGREGATE");
            j.rows = 1;
            j.rowsKnown = true;
            singleRow = true;
        }
        if (tempDistinct)
            j = sortOver(std::move(j), "UNIQUE");
        else if (b && b->distinct && !singleRow)
            j = over(std::move(j), "SORT", "UNIQUE NOSORT");  // an index delivers the rows in order
        if (tempOrder || partialOrder) {
            j = sortOver(std::move(j), b && b->limit ? "ORDER BY STOPKEY" : "ORDER BY");
            if (partialOrder)
                appendOther(j,
                            "only the trailing ORDER BY terms are sorted; the leading ones come in "
                            "index order");
        }
        if (!sortNotes.empty() && j.operation == "SORT")
            appendOther(j, sortNotes);
        bool compoundTop =
            scope.root && loops.size() == 1 && loops[0].compound && m_shape.compoundLimit;
        if ((b && b->limit) || compoundTop) {
            j = over(std::move(j), "COUNT", "STOPKEY");
            if (b && b->limitRows)
                j.rows = std::min(j.rows, static_cast<double>(std::max(1LL, *b->limitRows)));
        }
    }

    // Whatever else this block holds still shows, below its top step.
    for (const auto& key : viewOrder) {
        auto it = views.find(key);
        if (it != views.end())
            extras.push_back(std::move(it->second));
    }
    if (j.operation.empty() && !extras.empty()) {
        j = std::move(extras.front());
        extras.erase(extras.begin());
    }
    for (auto& e : extras) {
        j.cost += e.cost;
        j.children.push_back(std::move(e));
    }
    return j;
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

    const std::string& verb = m_shape.verb.empty() ? std::string("SELECT") : m_shape.verb;
    auto targetName = [&](const std::string& name) {
        if (auto t = m_schema.table(name))
            return upperName(t->name);
        return upperName(name);
    };
    auto targetInstance = [&]() -> std::optional<int> {
        for (const auto& item : m_shape.from)
            if (item.block != -2 && sameName(item.name, m_shape.target))
                return item.ordinal;
        return std::nullopt;
    };
    auto dml = [&](std::string operation, std::string options, PlanStep child) {
        PlanStep s = step(std::move(operation), std::move(options));
        s.objectName = targetName(m_shape.target);
        s.objectType = "TABLE";
        s.owned = true;
        s.objectInstance = targetInstance();
        if (!child.operation.empty()) {
            s.cost = child.cost;
            s.rows = child.rows;
            s.rowsKnown = child.rowsKnown;
            s.children.push_back(std::move(child));
        } else {
            s.cost = 1;
        }
        return s;
    };
    if (verb == "INSERT") {
        body = dml("LOAD TABLE CONVENTIONAL", "", std::move(body));
    } else if (verb == "UPDATE") {
        body = dml("UPDATE", "", std::move(body));
    } else if (verb == "DELETE") {
        if (body.operation.empty() && !m_shape.target.empty()) {
            // a DELETE without WHERE empties the table in one pass; SQLite
            // prints no loop for it
            body = tableFull(targetName(m_shape.target), targetInstance().value_or(0), {});
            body.objectName = targetName(m_shape.target);
        }
        body = dml("DELETE", "", std::move(body));
    } else if (verb == "CREATE TABLE" && m_shape.asSelect) {
        body = dml("LOAD AS SELECT", "", std::move(body));
    } else if (verb == "CREATE INDEX" && !m_shape.indexTable.empty()) {
        // SQLite prints no plan for an index build; it reads the whole
        // table and sorts the keys, which is what Oracle shows too
        if (body.operation.empty())
            body = tableFull(targetName(m_shape.indexTable), 0, {});
        PlanStep sorted = sortOver(std::move(body), "CREATE INDEX");
        PlanStep build =
            over(std::move(sorted), "INDEX BUILD", m_shape.uniqueIndex ? "UNIQUE" : "NON UNIQUE");
        build.objectName = upperName(m_shape.target);
        build.objectType = m_shape.uniqueIndex ? "INDEX (UNIQUE)" : "INDEX";
        build.owned = true;
        body = std::move(build);
    }

    PlanStep root = step(verb + " STATEMENT");
    root.optimizer = "ALL_ROWS";
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
            r.cost = std::llround(std::clamp(s.cost, 0.0, kMaxEstimate));
            if (s.rowsKnown)
                r.cardinality = std::llround(std::clamp(s.rows, 1.0, kMaxEstimate));
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
