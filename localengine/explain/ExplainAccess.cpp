// The access paths of SCAN and SEARCH lines: each becomes the Oracle steps
// that read a table, an index, a view or a virtual table that way.

#include <algorithm>
#include <cmath>

#include "explain/PlanBuilding.h"

namespace localengine::explain {

PlanStep PlanMapper::tableFull(const std::string& table, int instance, const std::string& other) {
    PlanStep s = step(ora::TableAccess, ora::Full);
    s.objectName = upperName(table);
    s.objectType = ora::TableType;
    s.owned = true;
    if (instance > 0)
        s.objectInstance = instance;
    bool known;
    s.rows = tableRowsOf(table, &known);
    s.rowsKnown = known;
    s.cost = costs::tableScanCost(s.rows);
    appendOther(s, other);
    return s;
}

namespace {

// The primary key index of a WITHOUT ROWID table that the schema does not
// list: named as SQLite names it.
IndexInfo assumedPrimaryKey(const std::string& table) {
    IndexInfo pk;
    pk.name = "sqlite_autoindex_" + table + "_1";
    pk.table = table;
    pk.unique = true;
    pk.primaryKey = true;
    return pk;
}

// An index read from one end to the other, or probed at one end only.
void wholeIndex(PlanStep& s, const Detail& d, const SelectBlock* b, double rows) {
    if (d.search) {
        // min()/max(): one probe at one end of the index
        s.options = ora::FullScanMinMax;
        s.rows = 1;
        s.cost = costs::kMinMaxProbeCost;
        return;
    }
    // count(*) reads every entry of the smallest index, in no order
    const bool countOnly =
        b && b->countStarOnly && !b->groupBy && d.access == AccessPath::CoveringIndex;
    s.options = countOnly ? ora::FastFullScan : ora::FullScan;
    s.rows = rows;
    s.cost = costs::indexScanCost(rows);
}

}  // namespace

PlanStep PlanMapper::mapIndexAccess(const Detail& d, const std::string& table, int /*instance*/,
                                    int block) {
    std::optional<IndexInfo> info = m_schema.index(d.index);
    if (d.access == AccessPath::PrimaryKey) {
        info = m_schema.primaryKeyIndex(table);
        if (!info)
            info = assumedPrimaryKey(table);
    }
    const SelectBlock* b = blockAt(block);
    PlanStep s = step(ora::Index);
    s.objectName = upperName(info ? info->displayName() : d.index);
    s.objectType = info && info->unique ? ora::UniqueIndexType : ora::IndexType;
    s.owned = true;
    bool known;
    const double n = tableRowsOf(table, &known);
    const std::string statsIndex = info ? info->name : d.index;
    auto perKey = [&](int cols) {
        if (cols <= 0)
            return n;
        if (auto r = m_schema.rowsPerKey(statsIndex, cols))
            return std::max(1.0, *r);
        known = false;
        return std::max(1.0, costs::guessedRowsPerKey(n, cols));
    };
    const KeyTerms& k = d.keys;
    if (!k.present) {
        wholeIndex(s, d, b, n);
        s.rowsKnown = known;
        return s;
    }
    const int eq = static_cast<int>(k.equal.size());
    const int skipped = static_cast<int>(k.skipped.size());
    const std::size_t keyColumns = info ? info->columns.size() : 0;
    s.searchColumns = eq + skipped;
    if (skipped > 0) {
        s.options = ora::SkipScan;
        const double distinctPrefix = n / perKey(skipped);
        s.rows = costs::rangeRows(perKey(skipped + eq) * distinctPrefix, k.lower, k.upper);
        s.cost = costs::indexScanCost(s.rows) + std::ceil(distinctPrefix);
    } else if (info && info->unique && keyColumns > 0 &&
               static_cast<std::size_t>(eq) >= keyColumns && !k.lower && !k.upper) {
        s.options = ora::UniqueScan;
        s.rows = 1;
        s.cost = costs::kUniqueProbeCost;
        known = true;
    } else {
        const bool minMax = b && b->minMaxOnly && !b->groupBy && d.search && eq > 0 && !k.lower &&
                            !k.upper && static_cast<std::size_t>(eq) < keyColumns;
        s.options = minMax ? ora::RangeScanMinMax : ora::RangeScan;
        s.rows = costs::rangeRows(perKey(eq), k.lower, k.upper);
        if (minMax)
            s.rows = 1;
        s.cost = costs::indexScanCost(s.rows);
    }
    s.rows = std::max(1.0, s.rows);
    s.rowsKnown = known;
    return s;
}

bool PlanMapper::readsView(const Detail& d, int block, const ViewMap& views) const {
    const FromItem* item = m_shape.findItem(d.name, block);
    const bool named = item && !item->name.empty();
    return views.count(upperName(d.name)) ||
           (named && !item->subquery && views.count(upperName(item->name))) ||
           isUnnamedSubquery(d.name) || m_viewNames.count(upperName(d.name)) ||
           m_shape.isCte(d.name) || (item && item->subquery) ||
           (named && (m_viewNames.count(upperName(item->name)) || m_shape.isCte(item->name)));
}

// The consumer of a FROM subquery, view or CTE: the VIEW step that holds
// the subquery's plan takes its place.
PlanStep PlanMapper::mapViewAccess(const Detail& d, const Scope& scope, int block, ViewMap& views,
                                   Loop& loop) {
    const FromItem* item = m_shape.findItem(d.name, block);
    std::string viewKey;
    if (views.count(upperName(d.name)))
        viewKey = upperName(d.name);
    else if (item && !item->subquery && !item->name.empty() && views.count(upperName(item->name)))
        viewKey = upperName(item->name);
    PlanStep v;
    if (!scope.recursiveName.empty() && (sameName(d.name, scope.recursiveName) ||
                                         (item && sameName(item->name, scope.recursiveName)))) {
        // the recursive CTE reading its own previous rows
        v = step(ora::RecursivePump);
        v.rowsKnown = false;
    } else if (!viewKey.empty()) {
        v = std::move(views[viewKey]);
        views.erase(viewKey);
    } else {
        // a view coded once elsewhere in the plan and read again here
        v = step(ora::View);
        std::string name = item && !item->name.empty() ? item->name : d.name;
        if (!isUnnamedSubquery(name))
            v.objectName = upperName(name);
        v.objectType = ora::ViewType;
        v.rowsKnown = false;
        v.cost = costs::kViewReuseCost;
    }
    loop.table = v.objectName;
    appendOther(v, d.text);
    if (d.access == AccessPath::AutoIndex || d.access == AccessPath::AutoPartialIndex) {
        loop.hash = true;
        if (d.access == AccessPath::AutoPartialIndex)
            v = over(std::move(v), ora::Filter);
    }
    return v;
}

// A WITHOUT ROWID table is its primary key b-tree, walked in key order.
PlanStep PlanMapper::withoutRowidScan(const Detail& d, const std::string& table, int instance,
                                      int block) {
    Detail pk = d;
    pk.access = AccessPath::PrimaryKey;
    PlanStep s = mapIndexAccess(pk, table, instance, block);
    s.options = d.search ? ora::FullScanMinMax : ora::FullScan;
    if (!d.search) {
        bool known;
        s.rows = tableRowsOf(table, &known);
        s.rowsKnown = known;
        s.cost = costs::tableScanCost(s.rows);
    }
    return s;
}

PlanStep PlanMapper::indexRowidAccess(const Detail& d, const std::string& table, int instance,
                                      int block) {
    PlanStep t =
        over(mapIndexAccess(d, table, instance, block), ora::TableAccess, ora::ByIndexRowid);
    t.objectName = upperName(table);
    t.objectType = ora::TableType;
    t.owned = true;
    if (instance > 0)
        t.objectInstance = instance;
    t.cost += costs::rowidFetchCost(t.rows);
    return t;
}

// USING INTEGER PRIMARY KEY: the rowid itself, one row or a range.
PlanStep PlanMapper::rowidAccess(const Detail& d, const std::string& table, int instance, int block,
                                 Loop& loop) {
    PlanStep s;
    if (!d.keys.equal.empty()) {
        s = step(ora::TableAccess, ora::ByUserRowid);
        s.rows = 1;
        s.cost = costs::kUniqueProbeCost;
    } else {
        s = step(ora::TableAccess, ora::ByRowidRange);
        bool known;
        s.rows = tableRowsOf(table, &known);
        s.rowsKnown = known;
        s.rows = std::max(1.0, costs::rangeRows(s.rows, d.keys.lower, d.keys.upper));
        s.cost = costs::tableScanCost(s.rows);
    }
    s.objectName = upperName(table);
    s.objectType = ora::TableType;
    s.owned = true;
    if (instance > 0)
        s.objectInstance = instance;
    // "rowid=?" names no column; an IN list on the rowid alias needs its name
    const SelectBlock* b = blockAt(block);
    if (m_schema.table(table) && b && !d.keys.equal.empty() &&
        (!b->inListColumns.empty() || !b->inSubqueryColumns.empty())) {
        std::string alias = m_schema.rowidAlias(table);
        if (!alias.empty())
            loop.equalColumns.push_back(lowerName(alias));
    }
    return s;
}

PlanStep PlanMapper::virtualTableAccess(const Detail& d, const std::string& table, int instance,
                                        const std::optional<TableInfo>& info) {
    std::string module = info ? lowerName(info->module) : std::string();
    PlanStep s;
    if (!info) {
        // a table-valued function (json_each, pragma_..., generate_series)
        s = step(ora::CollectionIterator, ora::PicklerFetch);
        s.objectName = upperName(d.name);
    } else if (module.rfind("fts", 0) == 0 || module.rfind("rtree", 0) == 0 ||
               module == "geopoly") {
        s = step(ora::DomainIndex);
        s.objectName = upperName(table);
        s.objectType = ora::IndexType;
        s.owned = true;
    } else {
        s = step(ora::ExternalTableAccess, ora::Full);
        s.objectName = upperName(table);
        s.objectType = ora::TableType;
        s.owned = true;
    }
    if (instance > 0 && info)
        s.objectInstance = instance;
    s.rows = d.estimatedRows.value_or(costs::kDefaultVirtualRows);
    s.rowsKnown = d.estimatedRows.has_value();
    s.cost = costs::tableScanCost(s.rows);
    return s;
}

PlanStep PlanMapper::mapAccess(const Node& node, const Scope& scope, int block, ViewMap& views,
                               Loop& loop) {
    const Detail& d = node.detail;
    loop.printed = d.name;
    loop.leftJoin = d.leftJoin;
    for (const auto& c : d.keys.equal)
        loop.equalColumns.push_back(lowerName(c));
    const bool automatic =
        d.access == AccessPath::AutoIndex || d.access == AccessPath::AutoPartialIndex;
    if (readsView(d, block, views) && d.declaredTable.empty() &&
        d.access != AccessPath::VirtualTable)
        return mapViewAccess(d, scope, block, views, loop);

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

    PlanStep s;
    switch (d.access) {
        case AccessPath::Table:
            // SEARCH without an index: min()/max() with nothing to probe,
            // which reads the whole table all the same
            s = info && info->withoutRowid ? withoutRowidScan(d, table, instance, block)
                                           : tableFull(table, instance, {});
            break;
        case AccessPath::Index:
            s = indexRowidAccess(d, table, instance, block);
            break;
        case AccessPath::CoveringIndex:
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
                s = over(std::move(s), ora::Filter);  // only rows passing a WHERE term are indexed
            break;
        case AccessPath::IntegerPrimaryKey:
            s = rowidAccess(d, table, instance, block, loop);
            break;
        case AccessPath::VirtualTable:
            s = virtualTableAccess(d, table, instance, info);
            break;
    }
    if (d.estimatedRows) {
        s.rows = std::max(1.0, *d.estimatedRows);
        s.rowsKnown = true;
    }
    // IN (list) on a key column prints as "=?": Oracle iterates the list.
    const SelectBlock* b = blockAt(block);
    if (b && !b->inListColumns.empty() && !automatic) {
        bool inList = false;
        for (const auto& c : loop.equalColumns)
            inList = inList || b->inListColumns.count(c) > 0;
        if (inList)
            s = over(std::move(s), ora::InlistIterator);
    }
    appendOther(s, d.text);
    return s;
}

}  // namespace localengine::explain
