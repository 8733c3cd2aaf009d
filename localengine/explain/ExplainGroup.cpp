// One group of sibling plan lines (a SELECT block, an arm, a subquery's
// body) becomes one Oracle step: the lines are first classified, then the
// step is assembled from them: row sources joined left-deep, expression
// subqueries as drivers or filters, then aggregation, DISTINCT, ORDER BY
// and LIMIT in the order they apply.

#include <algorithm>
#include <cstdio>

#include "explain/PlanBuilding.h"

namespace localengine::explain {

namespace {

// ":BF0000": the name Oracle gives a Bloom filter.
std::string bloomFilterName(int number) {
    char name[16];
    std::snprintf(name, sizeof name, ":BF%04d", number);
    return name;
}

// The share of groups a HAVING condition keeps: Oracle's guess for a
// condition it cannot measure.
constexpr double kHavingShare = 0.05;

// A USE TEMP B-TREE line: what it sorts for. False for one of no known purpose.
bool noteSort(const Detail& d, GroupSorts& sorts) {
    switch (d.purpose) {
        case TempPurpose::OrderBy:
            sorts.order = true;
            break;
        case TempPurpose::PartialOrderBy:
            sorts.partialOrder = true;
            break;
        case TempPurpose::GroupBy:
            sorts.group = true;
            break;
        case TempPurpose::Distinct:
            sorts.distinct = true;
            break;
        case TempPurpose::AggregateDistinct:
        case TempPurpose::AggregateOrderBy:
            sorts.aggregate = true;
            break;
        case TempPurpose::Other:
            return false;
    }
    sorts.notes += (sorts.notes.empty() ? "" : "\n") + d.text;
    return true;
}

// Loops of one block nest left-deep, outermost first. `inner` joins the
// rows so far (`outer`). A hash join stands for SQLite's automatic index:
// SQLite builds a transient index on the inner table and probes it once
// per outer row, which is a hash join whose build input is the inner
// table (listed first, as Oracle lists the build input) and whose probe
// input is the outer rows; `perProbe` is the rows one probe finds. An
// outer join that builds on the optional side is Oracle's HASH JOIN RIGHT
// OUTER.
PlanStep joinStep(PlanStep outer, PlanStep inner, bool hash, double perProbe, bool leftJoin,
                  const std::string& rightOuter, const std::string& access) {
    PlanStep join;
    if (!rightOuter.empty()) {
        join = step(ora::HashJoin, rightOuter);
        join.cost = outer.cost + inner.cost + costs::hashJoin(outer.rows, inner.rows);
        join.rows = std::max(outer.rows, inner.rows);
        join.width = outer.width + inner.width;
        join.children.push_back(std::move(outer));
        join.children.push_back(std::move(inner));
        return join;
    }
    if (hash) {
        join = step(ora::HashJoin, leftJoin ? ora::RightOuter : "");
        join.cost = inner.cost + outer.cost + costs::hashJoin(inner.rows, outer.rows);
        join.rows = outer.rows * std::max(perProbe, 0.0);
        if (leftJoin)
            join.rows = std::max(join.rows, outer.rows);
        join.rows = costs::atLeastOneRow(join.rows);
        join.width = outer.width + inner.width;
        join.accessPredicates = access;
        join.children.push_back(std::move(inner));
        join.children.push_back(std::move(outer));
        return join;
    }
    join = step(ora::NestedLoops, leftJoin ? ora::Outer : "");
    join.cost = outer.cost + outer.rows * inner.cost;
    join.rows = outer.rows * inner.rows;
    if (leftJoin)
        join.rows = std::max(join.rows, outer.rows);
    join.rows = costs::atLeastOneRow(join.rows);
    join.width = outer.width + inner.width;
    join.children.push_back(std::move(outer));
    join.children.push_back(std::move(inner));
    return join;
}

// Subqueries that filter the rows of the block: run once, or once per row
// when correlated.
PlanStep filterStep(PlanStep j, std::vector<PlanStep>& filters, bool correlated) {
    PlanStep f = over(std::move(j), ora::Filter);
    costs::Cost sub;
    for (auto& s : filters) {
        sub += s.cost;
        f.children.push_back(std::move(s));
    }
    f.cost += (correlated ? f.rows : 1) * sub;
    return f;
}

// Rows that come in the order of an index: its full or range scan reads
// them, and the steps above it keep that order.
bool readsIndexInOrder(const PlanStep& s) {
    const PlanStep* at = &s;
    while (!at->children.empty() &&
           (at->operation == ora::TableAccess || at->operation == ora::Filter ||
            at->operation == ora::NestedLoops || at->operation == ora::InlistIterator))
        at = &at->children.front();
    return at->operation == ora::Index &&
           (at->options == ora::FullScan || at->options == ora::RangeScan);
}

}  // namespace

void PlanMapper::addView(const Node& n, GroupLines& lines) {
    const Detail& d = n.detail;
    const std::string key = upperName(d.name);
    PlanStep v;
    const Node* setup = nullptr;
    const Node* recursive = nullptr;
    if (m_facts && hierarchyParts(n, setup, recursive)) {
        v = mapHierarchy(*setup, *recursive);
    } else {
        Scope inner;
        for (const Node* c : n.children)
            if (c->detail.kind == DetailKind::RecursiveStep)
                inner.recursiveName = d.name;  // its step reads the CTE itself
        int bodyBlock = -1;
        PlanStep body = mapGroup(n.children, inner, &bodyBlock);
        v = viewStep(d, std::move(body), bodyBlock);
    }
    m_viewNames[key] = d.name;
    appendOther(v, d.text);
    m_viewFigures[key] = {v.rows, v.width};
    if (!lines.views.count(key))
        lines.viewOrder.push_back(key);
    lines.views[key] = std::move(v);
}

// A DML statement's lookup in a table the statement does not name: SQLite
// checks a foreign key (the children of a deleted or changed key, the
// parent of a new one) within the statement's own plan. An UPDATE or
// DELETE reads nothing but its target at the top of its plan (its
// subqueries' lines are under theirs): there any other lookup, and a
// second one in the target (a key of the target that refers to the target
// itself, an employee's manager), is such a check.
bool PlanMapper::checksForeignKey(const Detail& d, const std::vector<const Node*>& loops,
                                  bool top) const {
    const std::string& verb = m_shape.verb;
    if ((verb != "DELETE" && verb != "UPDATE" && verb != "INSERT") ||
        d.kind != DetailKind::TableAccess || !d.declaredTable.empty() || d.name.empty() ||
        m_shape.isCte(d.name) || isUnnamedSubquery(d.name))
        return false;
    if (top && verb != "INSERT") {
        const auto isTarget = [&](const std::string& printed) {
            return std::any_of(m_shape.from.begin(), m_shape.from.end(), [&](const FromItem& i) {
                return i.block >= 0 && blockAt(i.block)->dml && i.printedAs(printed);
            });
        };
        const auto readsTarget = [&](const Node* n) {
            return n->detail.kind == DetailKind::TableAccess && isTarget(n->detail.name);
        };
        return !isTarget(d.name) || std::any_of(loops.begin(), loops.end(), readsTarget);
    }
    if (sameName(d.name, m_shape.target))
        return false;
    for (const FromItem& item : m_shape.from)
        if (sameName(item.printedName(), d.name) || sameName(item.name, d.name))
            return false;
    const std::optional<TableInfo> table = m_schema.table(d.name);
    return table && table->kind == TableInfo::Kind::Table;
}

PlanMapper::GroupLines PlanMapper::classifyLines(const std::vector<const Node*>& nodes,
                                                 const Scope& scope) {
    GroupLines lines;
    for (const Node* n : nodes) {
        const Detail& d = n->detail;
        switch (d.kind) {
            case DetailKind::CoRoutine:
            case DetailKind::Materialize:
                addView(*n, lines);
                break;
            case DetailKind::TempBTree:
                if (!noteSort(d, lines.sorts))
                    lines.extras.push_back(mapUnknown(*n, scope));
                break;
            case DetailKind::BloomFilter:
                lines.blooms[upperName(d.name)] = m_bloomFilters++;
                break;
            case DetailKind::RightJoin:
                lines.rightJoins.push_back(d.name);
                break;
            case DetailKind::ScalarSubquery:
            case DetailKind::ListSubquery:
            case DetailKind::RowidInOperator:
            case DetailKind::IndexInOperator:
                lines.subqueries.push_back({n, static_cast<int>(lines.loops.size()) - 1});
                break;
            case DetailKind::ReuseSubquery:
                // runs a subquery already shown in the plan once more: Oracle
                // has no step for that, and the subquery's own steps are there
                break;
            default:
                if (checksForeignKey(d, lines.loops, scope.root))
                    break;  // Oracle checks the key recursively, outside the plan
                if (isLoopKind(d.kind))
                    lines.loops.push_back(n);
                else
                    lines.extras.push_back(mapUnknown(*n, scope));
                break;
        }
    }
    return lines;
}

// One index lookup per OR term, rowids merged: Oracle's OR expansion.
PlanStep PlanMapper::mapMultiIndexOr(const Node& n, const Scope& scope, int block, ViewMap& views,
                                     Loop& loop) {
    PlanStep c = step(ora::Concatenation);
    for (const Node* term : n.children) {
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
            c.children.push_back(std::move(branch));
        }
        if (term->detail.kind != DetailKind::OrTerm)
            appendOther(c, term->detail.text);
    }
    sumChildren(c);
    appendOther(c, n.detail.text);
    return c;
}

// Each loop's row source, with the Bloom filter that guards it.
std::vector<PlanMapper::Loop> PlanMapper::mapLoops(GroupLines& lines, const Scope& scope,
                                                   int block) {
    std::vector<Loop> loops;
    for (const Node* n : lines.loops) {
        Loop loop;
        loop.node = n;
        const Detail& d = n->detail;
        switch (d.kind) {
            case DetailKind::TableAccess:
                loop.step = mapAccess(*n, scope, block, lines.views, loop);
                break;
            case DetailKind::MultiIndexOr:
                loop.step = mapMultiIndexOr(*n, scope, block, lines.views, loop);
                break;
            case DetailKind::ConstantRow:
            case DetailKind::ConstantRows:
                loop.step = step(ora::FastDual);
                loop.step.rows = d.kind == DetailKind::ConstantRows
                                     ? static_cast<double>(std::max(1LL, d.number))
                                     : 1;
                loop.step.cost = costs::fastDual(loop.step.rows);
                appendOther(loop.step, d.text);
                break;
            default:
                loop.compound = true;
                loop.step = mapCompound(*n, scope);
                break;
        }
        auto bloom = lines.blooms.find(upperName(loop.printed));
        if (bloom != lines.blooms.end() && d.kind == DetailKind::TableAccess) {
            // rows of the outer loop are tested against a Bloom filter of
            // this table's keys before each probe
            PlanStep f = over(std::move(loop.step), ora::JoinFilter, ora::Use);
            f.objectName = bloomFilterName(bloom->second);
            loop.step = std::move(f);
            lines.blooms.erase(bloom);
        }
        loops.push_back(std::move(loop));
    }
    // A hierarchy's rows are read back from the table by rowid: the
    // engine's join, not the query's.
    const bool hierarchy = std::any_of(loops.begin(), loops.end(), [](const Loop& l) {
        return l.step.operation == ora::ConnectBy ||
               (!l.step.children.empty() && l.step.children.front().operation == ora::ConnectBy);
    });
    if (hierarchy && factsOf(block) && factsOf(block)->hierarchical)
        loops.erase(
            std::remove_if(loops.begin(), loops.end(),
                           [](const Loop& l) {
                               return l.node && l.node->detail.kind == DetailKind::TableAccess &&
                                      l.node->detail.access == AccessPath::IntegerPrimaryKey &&
                                      l.step.operation != ora::ConnectBy;
                           }),
            loops.end());
    for (const auto& [name, number] : lines.blooms) {
        // a Bloom filter whose table line was not found: still shown
        PlanStep f = step(ora::JoinFilter, ora::Use);
        f.objectName = bloomFilterName(number);
        f.other = "BLOOM FILTER ON " + name;
        lines.extras.push_back(std::move(f));
    }
    return loops;
}

// RIGHT and FULL joins: the join that adds the right table becomes a hash
// join that also returns the unmatched rows of that table.
void PlanMapper::markRightJoins(GroupLines& lines, std::vector<Loop>& loops) const {
    for (const auto& name : lines.rightJoins) {
        std::size_t k = 0;
        while (k < loops.size() && !sameName(loops[k].table, name))
            ++k;
        if (k == loops.size()) {
            PlanStep r = step(ora::HashJoin, ora::RightOuter);
            r.other = "RIGHT-JOIN " + name;
            lines.extras.push_back(std::move(r));
            continue;
        }
        std::size_t target = k == 0 && loops.size() > 1 ? 1 : k;
        loops[target].rightOuter = loops[k].leftJoin ? ora::FullOuter : ora::RightOuter;
    }
}

// The steps of one expression subquery; `driver` receives the row source
// it becomes when it drives an index probe instead of filtering.
PlanStep PlanMapper::mapSubquery(const Node& node, int block, PlanStep& driver) {
    const Detail& d = node.detail;
    PlanStep sub;
    if (d.kind == DetailKind::ScalarSubquery || d.kind == DetailKind::ListSubquery) {
        m_subqueryNumber = static_cast<int>(d.number);
        sub = mapGroup(node.children, Scope{});
        m_subqueryNumber = 0;
        if (sub.operation.empty())
            sub = mapUnknown(node, Scope{});
        else
            appendOther(sub, d.text);
        if (d.kind == DetailKind::ListSubquery)
            driver = sortOver(sub, ora::Unique);
    } else {
        // The IN-operator probes an index for each value: the table's
        // INTEGER PRIMARY KEY (its rowid) or an index of its own.
        std::optional<IndexInfo> info;
        std::string table;
        if (d.kind == DetailKind::RowidInOperator) {
            table = resolveTable(d.name, block, nullptr);
            info = m_schema.rowidKeyIndex(table);
        } else {
            info = m_schema.index(d.index);
            if (info)
                table = info->table;
        }
        const TableFigures figures = tableFigures(table);
        if (!info && d.kind == DetailKind::RowidInOperator) {
            sub = step(ora::TableAccess, ora::ByUserRowid);
            sub.objectName = upperName(table);
            sub.objectType = ora::TableType;
            sub.owned = true;
            sub.cost = costs::rowidProbe();
            sub.width = figures.rowBytes;
            appendOther(sub, d.text);
            driver = tableFull(table, 0, d.text);
            return sub;
        }
        IndexInfo index = info ? *info : unknownIndex(d.index, table);
        const costs::IndexShape shape = indexShape(index, figures);
        const bool unique = index.unique && index.columns.size() == 1;
        sub = step(ora::Index, unique ? ora::UniqueScan : ora::RangeScan);
        sub.objectName = upperName(index.displayName());
        sub.objectType = index.unique ? ora::UniqueIndexType : ora::IndexType;
        sub.owned = true;
        sub.rows = unique ? 1 : rowsPerKey(index, figures, 1);
        sub.cost = unique ? costs::uniqueProbe(shape) : costs::rangeScan(shape, sub.rows);
        sub.width = keyBytes(index, figures);
        appendOther(sub, d.text);
        driver = sub;
        driver.options = ora::FullScan;
        driver.rows = shape.entries;
        driver.cost = costs::fullIndexScan(shape);
    }
    return sub;
}

// SQLite probes the index of an IN subquery's column without a line of
// the subquery's own: the probe is the subquery's block (the first IN
// subquery of the block not named yet), reading its table.
void PlanMapper::nameInSubquery(PlanStep& probe, int block,
                                const std::vector<PlanStep>& named) const {
    const BlockFacts* f = factsOf(block);
    if (!f)
        return;
    for (const auto& join : f->subqueryJoins) {
        const std::string name = "SEL$" + std::to_string(join.block);
        if (join.exists || std::any_of(named.begin(), named.end(),
                                       [&](const PlanStep& s) { return s.queryBlock == name; }))
            continue;
        probe.queryBlock = name;
        if (const BlockFacts* sub = m_facts->block(join.block); sub && sub->tables.size() == 1)
            probe.alias = sub->tables.front().alias + "@" + name;
        return;
    }
}

// Expression subqueries: an IN list that drives the index probe of the loop
// before it joins that loop (Oracle's unnested IN); an uncorrelated scalar
// subquery of the statement runs once, ahead of the main row source; the
// others filter the rows of the block and are returned.
std::vector<PlanStep> PlanMapper::placeSubqueries(const GroupLines& lines, std::vector<Loop>& loops,
                                                  const Scope& scope, int block, bool& correlated,
                                                  std::vector<PushedSubquery>& pushed,
                                                  HavingSubqueries& having) {
    const SelectBlock* b = blockAt(block);
    std::vector<PlanStep> filters;
    for (const GroupLines::Subquery& p : lines.subqueries) {
        const Detail& d = p.node->detail;
        PlanStep driver;
        PlanStep sub = mapSubquery(*p.node, block, driver);
        if (d.kind == DetailKind::IndexInOperator)
            nameInSubquery(sub, block, filters);
        if (conditionHolding(block, sub.queryBlock, Predicate::Clause::Having)) {
            // a subquery of HAVING filters the groups: under that FILTER
            having.correlated = having.correlated || d.correlated;
            having.subqueries.push_back(std::move(sub));
            continue;
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
            PlanStep nl = step(ora::NestedLoops);
            nl.cost = driver.cost + driver.rows * l.step.cost;
            nl.rows = costs::atLeastOneRow(driver.rows * l.step.rows);
            nl.width = l.step.width;
            nl.children.push_back(std::move(driver));
            nl.children.push_back(std::move(l.step));
            l.step = std::move(nl);
        } else if (const Predicate* condition =
                       !d.correlated && d.kind == DetailKind::ScalarSubquery
                           ? conditionHolding(block, sub.queryBlock)
                           : nullptr) {
            pushed.push_back({condition, std::move(sub)});
        } else if (scope.root && d.kind == DetailKind::ScalarSubquery &&
                   (!d.correlated || (factsOf(block) && !conditionHolding(block, sub.queryBlock) &&
                                      !sub.queryBlock.empty()))) {
            // a subquery of the select list: above the rows it is computed
            // for, also when it reads them (once per row)
            m_leading.push_back(std::move(sub));
        } else {
            correlated = correlated || d.correlated;
            filters.push_back(std::move(sub));
        }
    }
    return filters;
}

// The block's row source: its loops joined, or without a loop of its own a
// subquery, a view or another step.
PlanStep PlanMapper::rowSource(std::vector<Loop>& loops, std::vector<PlanStep>& filters,
                               GroupLines& lines) const {
    PlanStep j;
    for (std::size_t k = 0; k < loops.size(); ++k) {
        Loop& l = loops[k];
        j = k == 0 ? std::move(l.step)
                   : joinStep(std::move(j), std::move(l.step), l.hash, l.perProbe, l.leftJoin,
                              l.rightOuter, l.joinAccess);
    }
    if (!j.operation.empty())
        return j;
    if (!filters.empty()) {
        j = std::move(filters.front());
        filters.erase(filters.begin());
    } else if (!lines.viewOrder.empty() && lines.views.count(lines.viewOrder.front())) {
        j = std::move(lines.views[lines.viewOrder.front()]);
        lines.views.erase(lines.viewOrder.front());
    } else if (!lines.extras.empty()) {
        j = std::move(lines.extras.front());
        lines.extras.erase(lines.extras.begin());
    }
    return j;
}

// Aggregation, DISTINCT, ORDER BY and LIMIT, in the order they apply.
PlanStep PlanMapper::applySorts(PlanStep j, const GroupLines& lines, int block, const Scope& scope,
                                const std::vector<Loop>& loops, HavingSubqueries having) const {
    const SelectBlock* b = blockAt(block);
    GroupSorts sorts = lines.sorts;
    bool singleRow = false;
    // Grouping that sorts also orders the groups when ORDER BY names the
    // group keys; otherwise Oracle groups through a hash table (and sorts
    // the groups afterwards for an ORDER BY of anything else).
    const BlockFacts* grouped = factsOf(block);
    const bool groupOrder = grouped ? grouped->orderByGroupKeys
                                    : b && b->orderBy && !sorts.order && !sorts.partialOrder;
    if (sorts.group && !groupOrder) {
        PlanStep h = step(ora::Hash, ora::GroupBy);
        h.cost = j.cost + costs::hashAggregate(j.rows);
        h.rows = costs::atLeastOneRow(j.rows * costs::kGroupShare);
        h.width = j.width;
        h.queryBlock = j.queryBlock;
        h.children.push_back(std::move(j));
        j = std::move(h);
    } else if (sorts.group) {
        j = sortOver(std::move(j), ora::GroupBy);
        j.rows = costs::atLeastOneRow(j.rows * costs::kGroupShare);
        sorts.order = sorts.partialOrder = false;
    } else if (b && b->groupBy) {
        j = over(std::move(j), ora::Sort, ora::GroupByNoSort);  // rows come in group order
        j.rows = costs::atLeastOneRow(j.rows * costs::kGroupShare);
        if (groupOrder)
            sorts.order = sorts.partialOrder = false;
    } else if (sorts.aggregate) {
        j = sortOver(std::move(j), ora::GroupBy);
        j.rows = 1;
        singleRow = true;
    } else if (b && b->aggregate && !b->groupBy) {
        j = over(std::move(j), ora::Sort, ora::Aggregate);
        j.rows = 1;
        singleRow = true;
    }
    // HAVING filters the groups, with the subqueries of its conditions
    // (once per group when correlated)
    if (grouped && !j.operation.empty()) {
        bool filtered = false;
        for (const Predicate& p : grouped->predicates)
            if (p.clause == Predicate::Clause::Having) {
                if (!filtered)
                    j = filterStep(std::move(j), having.subqueries, having.correlated);
                filtered = true;
                appendPredicateText(j.filterPredicates, p.text);
                j.rows = costs::atLeastOneRow(j.rows * kHavingShare);
            }
    }
    // DISTINCT hashes the rows, unless ORDER BY wants them sorted (which
    // the sort that removes duplicates does as well)
    const bool ordered = grouped ? grouped->orderBy : b && b->orderBy;
    if (sorts.distinct && !ordered) {
        PlanStep h = step(ora::Hash, ora::Unique);
        h.cost = j.cost + costs::hashAggregate(j.rows);
        h.rows = j.rows;
        h.width = j.width;
        h.queryBlock = j.queryBlock;
        h.children.push_back(std::move(j));
        j = std::move(h);
    } else if (sorts.distinct) {
        j = sortOver(std::move(j), ora::Unique);
        sorts.order = sorts.partialOrder = false;
    } else if (b && b->distinct && !singleRow && readsIndexInOrder(j))
        j = over(std::move(j), ora::Sort,
                 ora::UniqueNoSort);  // an index delivers the rows in order
    // else: the rows are distinct already (a unique key of NOT NULL
    // columns is among them): Oracle drops the DISTINCT, as SQLite did
    if (sorts.order || sorts.partialOrder) {
        j = sortOver(std::move(j), b && b->limit ? ora::OrderByStopKey : ora::OrderBy);
        if (sorts.partialOrder)
            appendOther(j,
                        "only the trailing ORDER BY terms are sorted; the leading ones come in "
                        "index order");
    }
    if (!sorts.notes.empty() && (j.operation == ora::Sort || j.operation == ora::Hash))
        appendOther(j, sorts.notes);
    const bool compoundTop =
        scope.root && loops.size() == 1 && loops[0].compound && m_shape.compoundLimit;
    const BlockFacts* facts = factsOf(block);
    const bool fetch =
        facts && b && b->limit && b->part.empty() &&
        std::any_of(facts->predicates.begin(), facts->predicates.end(),
                    [](const Predicate& p) { return p.clause == Predicate::Clause::Fetch; });
    if (fetch) {
        j = fetchStep(std::move(j), block);
    } else if ((b && b->limit) || compoundTop) {
        j = over(std::move(j), ora::Count, ora::StopKey);
        if (const BlockFacts* f = factsOf(block))
            for (const Predicate& p : f->predicates)
                if (p.clause == Predicate::Clause::Rownum)
                    appendPredicateText(j.filterPredicates, p.text);
        if (b && b->limitRows)
            j.rows = std::min(j.rows, static_cast<double>(std::max(1LL, *b->limitRows)));
    }
    return j;
}

// SQLite hands a rowid table's rows on in the order of its INTEGER PRIMARY
// KEY and sorts nothing for an ORDER BY of that key; an Oracle full scan
// keeps no order: Oracle reads the rows in key order through the key's
// index (INDEX FULL SCAN, then each row by its rowid).
void PlanMapper::readInKeyOrder(const GroupLines& lines, std::vector<Loop>& loops, int block) {
    const SelectBlock* b = blockAt(block);
    if (!b || !b->orderBy || !b->part.empty() || lines.sorts.order || lines.sorts.partialOrder ||
        lines.sorts.group || lines.sorts.distinct || loops.empty())
        return;
    Loop& first = loops.front();
    if (!first.node || first.hash || first.node->detail.kind != DetailKind::TableAccess ||
        first.node->detail.search || first.node->detail.access != AccessPath::Table ||
        first.step.operation != ora::TableAccess || first.step.options != ora::Full)
        return;
    const std::optional<IndexInfo> key = m_schema.rowidKeyIndex(first.table);
    if (!key)
        return;
    Detail byKey = first.node->detail;
    byKey.access = AccessPath::Index;
    byKey.index = key->name;
    const std::string other = first.step.other;
    first.step =
        indexRowidAccess(byKey, first.table, first.step.objectInstance.value_or(0), block, key);
    appendOther(first.step, other);
}

// SQLite computes a block's analytic functions over a subquery of the
// block's own rows, which it names itself: the lines that read that
// subquery belong to the window's block, whatever other block their
// unnamed subquery could be taken for.
int PlanMapper::windowReaderBlock(const GroupLines& lines, int block, bool claimed) {
    if (lines.loops.size() != 1)
        return block;
    auto it = m_windowViews.find(upperName(lines.loops.front()->detail.name));
    if (it == m_windowViews.end() || it->second < 0 || it->second == block)
        return block;
    if (claimed && block >= 0)
        m_blockUsed[static_cast<std::size_t>(block)] = false;  // left for its own lines
    m_blockUsed[static_cast<std::size_t>(it->second)] = true;
    return it->second;
}

PlanStep PlanMapper::mapGroup(const std::vector<const Node*>& nodes, const Scope& scope,
                              int* matched) {
    if (matched)
        *matched = -1;
    for (const Node* n : nodes)
        if (n->detail.kind == DetailKind::Setup || n->detail.kind == DetailKind::RecursiveStep)
            return mapRecursive(nodes, scope);

    bool claimed = false;
    int block = matchBlock(nodes, scope, &claimed);
    GroupLines lines = classifyLines(nodes, scope);
    block = windowReaderBlock(lines, block, claimed);
    if (matched)
        *matched = block;
    std::vector<Loop> loops = mapLoops(lines, scope, block);
    readNullableIndexWhole(lines, loops, block);
    readInKeyOrder(lines, loops, block);
    markRightJoins(lines, loops);
    describeLoops(loops, block);
    std::vector<const Predicate*> conditions = attachPredicates(loops, block);
    bool correlated = false;
    std::vector<PushedSubquery> pushed;
    HavingSubqueries having;
    std::vector<PlanStep> filters =
        placeSubqueries(lines, loops, scope, block, correlated, pushed, having);
    pushSubqueries(pushed, loops, filters, conditions);

    PlanStep j = rowSource(loops, filters, lines);
    if (!filters.empty() && !j.operation.empty()) {
        j = filterStep(std::move(j), filters, correlated);
        for (const Predicate* p : conditions)
            appendPredicateText(j.filterPredicates, p->text);
        j = subqueryJoins(std::move(j), conditions, block);
    }
    const SelectBlock* part = blockAt(block);
    if (const BlockFacts* f = factsOf(block); f && f->hierarchical && !j.operation.empty() &&
                                              part && part->part != "START WITH" &&
                                              part->part != "CONNECT BY") {
        // WHERE of a hierarchical query filters the hierarchy's rows
        const std::vector<const Predicate*> after = unattached(block);
        if (!after.empty()) {
            j = over(std::move(j), ora::Filter);
            for (const Predicate* p : after) {
                appendPredicateText(j.filterPredicates, p->text);
                j.rows = costs::atLeastOneRow(j.rows * selectivity(*p, block));
            }
        }
    }
    if (!j.operation.empty())
        j = applySorts(std::move(j), lines, block, scope, loops, std::move(having));

    // Whatever else this block holds still shows, below its top step.
    for (const auto& key : lines.viewOrder) {
        auto it = lines.views.find(key);
        if (it != lines.views.end())
            lines.extras.push_back(std::move(it->second));
    }
    if (j.operation.empty() && !lines.extras.empty()) {
        j = std::move(lines.extras.front());
        lines.extras.erase(lines.extras.begin());
    }
    for (auto& e : lines.extras) {
        j.cost += e.cost;
        j.children.push_back(std::move(e));
    }
    nameSteps(j, queryBlockName(block));
    return wrapFlattened(std::move(j), block);
}

}  // namespace localengine::explain
