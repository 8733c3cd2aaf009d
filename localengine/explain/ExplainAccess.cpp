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
    const TableFigures f = tableFigures(table);
    s.rows = f.rows;
    s.cost = costs::fullScan(f.rows, f.blocks);
    s.width = f.rowBytes;
    appendOther(s, other);
    return s;
}

namespace {

// The share of a key's rows that a range with these bounds keeps.
double rangeShare(bool lower, bool upper) {
    if (lower && upper)
        return costs::kClosedRangeSelectivity;
    if (lower || upper)
        return costs::kOpenRangeSelectivity;
    return 1;
}

}  // namespace

// The primary key index of a WITHOUT ROWID table that the schema does not
// list: named as Oracle would name its constraint.
IndexInfo PlanMapper::assumedPrimaryKey(const std::string& table) const {
    IndexInfo pk;
    pk.table = table;
    pk.unique = true;
    pk.primaryKey = true;
    pk.name = m_schema.primaryKeyName(table, {});
    return pk;
}

PlanStep PlanMapper::mapIndexAccess(const Detail& d, const std::string& table, int /*instance*/,
                                    int block, const std::optional<IndexInfo>& given,
                                    bool covering) {
    std::optional<IndexInfo> info = given ? given : m_schema.index(d.index);
    if (!given && d.access == AccessPath::PrimaryKey) {
        info = m_schema.primaryKeyIndex(table);
        if (!info)
            info = assumedPrimaryKey(table);
    }
    IndexInfo index = info ? *info : unknownIndex(d.index, table);
    const SelectBlock* b = blockAt(block);
    const TableFigures figures = tableFigures(table);
    const costs::IndexShape shape = indexShape(index, figures);
    PlanStep s = step(ora::Index);
    s.objectName = upperName(index.displayName());
    s.objectType = index.unique ? ora::UniqueIndexType : ora::IndexType;
    s.owned = true;
    // What the index step hands on: its key columns when it answers the
    // query alone, the rowids (with the keys) when the table is read after it.
    s.width = keyBytes(index, figures) + (covering ? 0 : costs::kRowidBytes);
    const KeyTerms& k = d.keys;
    if (!k.present) {
        if (d.search) {
            // min()/max(): one probe at one end of the index
            s.options = ora::FullScanMinMax;
            s.rows = 1;
            s.cost = costs::Cost{shape.blevel + 1, costs::kCyclesPerProbe};
        } else if (b && b->countStarOnly && !b->groupBy && d.access == AccessPath::CoveringIndex) {
            // count(*) reads every entry of the smallest index, in no order
            s.options = ora::FastFullScan;
            s.rows = shape.entries;
            s.cost = costs::fastFullScan(shape);
        } else {
            s.options = ora::FullScan;
            s.rows = shape.entries;
            s.cost = costs::fullIndexScan(shape);
        }
        return s;
    }
    const int eq = static_cast<int>(k.equal.size());
    const int skipped = static_cast<int>(k.skipped.size());
    const std::size_t keyColumns = index.columns.size();
    s.searchColumns = eq + skipped;
    const double share = rangeShare(k.lower, k.upper);
    if (skipped > 0) {
        // one probe per distinct value of the skipped leading columns
        s.options = ora::SkipScan;
        const double prefixes = std::max(1.0, figures.rows / rowsPerKey(index, figures, skipped));
        s.rows = costs::atLeastOneRow(rowsPerKey(index, figures, skipped + eq) * prefixes * share);
        s.cost = prefixes * costs::uniqueProbe(shape) + costs::rangeScan(shape, s.rows);
    } else if (index.unique && keyColumns > 0 && static_cast<std::size_t>(eq) >= keyColumns &&
               !k.lower && !k.upper) {
        s.options = ora::UniqueScan;
        s.rows = 1;
        s.cost = costs::uniqueProbe(shape);
    } else if (b && b->minMaxOnly && !b->groupBy && d.search && eq > 0 && !k.lower && !k.upper &&
               static_cast<std::size_t>(eq) < keyColumns) {
        s.options = ora::RangeScanMinMax;
        s.rows = 1;
        s.cost = costs::Cost{shape.blevel + 1, costs::kCyclesPerProbe};
    } else {
        s.options = ora::RangeScan;
        s.rows = costs::atLeastOneRow(rowsPerKey(index, figures, eq) * share);
        s.cost = costs::rangeScan(shape, s.rows);
    }
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
    } else if (!viewKey.empty()) {
        v = std::move(views[viewKey]);
        views.erase(viewKey);
    } else if (const std::string name = item && !item->name.empty() ? item->name : d.name;
               materialised(name)) {
        v = temporaryRead(name);  // the WITH query's rows, loaded once
    } else {
        // a view coded once elsewhere in the plan and read again here
        v = step(ora::View);
        if (!isUnnamedSubquery(name))
            v.objectName = upperName(name);
        v.objectType = ora::ViewType;
        auto kept = m_viewFigures.find(upperName(name));
        if (kept != m_viewFigures.end()) {
            v.rows = kept->second.first;
            v.width = kept->second.second;
        }
        v.cost = costs::pass(v.rows);  // its rows are kept: only read again
    }
    loop.table = v.objectName;
    appendOther(v, d.text);
    if (d.access == AccessPath::AutoIndex || d.access == AccessPath::AutoPartialIndex) {
        loop.hash = true;
        loop.perProbe = std::max(1.0, v.rows * std::pow(costs::kKeyColumnSelectivity,
                                                        static_cast<double>(d.keys.equal.size())));
    }
    return v;
}

// A WITHOUT ROWID table is its primary key b-tree, walked in key order.
PlanStep PlanMapper::withoutRowidScan(const Detail& d, const std::string& table, int instance,
                                      int block) {
    Detail pk = d;
    pk.access = AccessPath::PrimaryKey;
    PlanStep s = mapIndexAccess(pk, table, instance, block, std::nullopt, true);
    s.options = d.search ? ora::FullScanMinMax : ora::FullScan;
    if (!d.search) {
        const TableFigures f = tableFigures(table);
        s.rows = f.rows;
        s.width = f.rowBytes;
        s.cost = costs::fullScan(f.rows, f.blocks);
    }
    return s;
}

PlanStep PlanMapper::indexRowidAccess(const Detail& d, const std::string& table, int instance,
                                      int block, const std::optional<IndexInfo>& given) {
    PlanStep ix = mapIndexAccess(d, table, instance, block, given, false);
    std::optional<IndexInfo> info = given ? given : m_schema.index(d.index);
    const TableFigures f = tableFigures(table);
    PlanStep t = step(ora::TableAccess, ora::ByIndexRowid);
    t.objectName = upperName(table);
    t.objectType = ora::TableType;
    t.owned = true;
    if (instance > 0)
        t.objectInstance = instance;
    t.rows = ix.rows;
    t.width = f.rowBytes;
    const costs::IndexShape shape = indexShape(info ? *info : unknownIndex(d.index, table), f);
    t.cost = ix.cost + costs::rowidFetch(shape, ix.rows);
    t.children.push_back(std::move(ix));
    return t;
}

// USING INTEGER PRIMARY KEY: SQLite's lookup by rowid. Where the rowid is
// the table's INTEGER PRIMARY KEY and the statement compares that column,
// an Oracle table would have the key's unique index: its unique scan (or a
// range scan) and the table access by the rowids it finds. A comparison of
// ROWID itself is Oracle's access by user rowid (or by a rowid range).
PlanStep PlanMapper::rowidAccess(const Detail& d, const std::string& table, int instance, int block,
                                 Loop& loop) {
    const SelectBlock* b = blockAt(block);
    const std::optional<IndexInfo> key = m_schema.rowidKeyIndex(table);
    if (key && !(b && b->rowidCompared)) {
        Detail viaKey = d;
        viaKey.access = AccessPath::Index;
        viaKey.index = key->name;
        for (auto& c : viaKey.keys.equal)
            c = key->columns[0];
        for (auto& c : viaKey.keys.ranged)
            c = key->columns[0];
        loop.equalColumns.clear();
        for (const auto& c : viaKey.keys.equal)
            loop.equalColumns.push_back(lowerName(c));
        return indexRowidAccess(viaKey, table, instance, block, key);
    }
    const TableFigures f = tableFigures(table);
    PlanStep s;
    if (!d.keys.equal.empty()) {
        s = step(ora::TableAccess, ora::ByUserRowid);
        s.rows = 1;
        s.cost = costs::rowidProbe();
    } else {
        s = step(ora::TableAccess, ora::ByRowidRange);
        const double share = rangeShare(d.keys.lower, d.keys.upper);
        s.rows = costs::atLeastOneRow(f.rows * share);
        s.cost = costs::fullScan(s.rows, std::max(1.0, std::ceil(f.blocks * share)));
    }
    s.width = f.rowBytes;
    s.objectName = upperName(table);
    s.objectType = ora::TableType;
    s.owned = true;
    if (instance > 0)
        s.objectInstance = instance;
    // "rowid=?" names no column; an IN list on the rowid alias needs its name
    if (b && !d.keys.equal.empty() &&
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
    s.rows = costs::atLeastOneRow(d.estimatedRows.value_or(costs::kDefaultVirtualRows));
    s.width = 10 * costs::kDefaultColumnBytes;
    s.cost = costs::fullScan(
        s.rows, std::max(1.0, std::ceil(s.rows * s.width / schema::kBlockUsableBytes)));
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
            s = indexRowidAccess(d, table, instance, block, std::nullopt);
            break;
        case AccessPath::CoveringIndex:
        case AccessPath::PrimaryKey:
            s = mapIndexAccess(d, table, instance, block, std::nullopt, true);
            break;
        case AccessPath::AutoIndex:
        case AccessPath::AutoPartialIndex: {
            // SQLite builds a transient index on the table for this statement
            // (one full pass) and probes it once per outer row. Oracle has no
            // transient index; the equivalent is a hash join whose build
            // input is the full scan of the table (a partial index holds
            // only the rows that pass a WHERE term: the scan's filter).
            loop.hash = true;
            s = tableFull(table, instance, {});
            const TableFigures f = tableFigures(table);
            double perProbe = f.rows;
            for (const auto& c : d.keys.equal) {
                const schema::ColumnEstimate* e = f.estimate ? f.estimate->column(c) : nullptr;
                perProbe /= e ? std::max(1.0, e->distinct) : 1 / costs::kKeyColumnSelectivity;
            }
            loop.perProbe = std::max(perProbe, 1.0);
            break;
        }
        case AccessPath::IntegerPrimaryKey:
            s = rowidAccess(d, table, instance, block, loop);
            break;
        case AccessPath::VirtualTable:
            s = virtualTableAccess(d, table, instance, info);
            break;
    }
    if (d.estimatedRows)
        s.rows = costs::atLeastOneRow(*d.estimatedRows);
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
