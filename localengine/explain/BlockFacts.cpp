// What the front end knew of the Oracle statement, put on the steps SQLite's
// plan gave: each step's query block (QBLOCK_NAME) and table alias
// (OBJECT_ALIAS), the columns read (BYTES), and the statement's conditions
// as ACCESS_PREDICATES and FILTER_PREDICATES with the rows they keep.
//
// A condition goes to the first row source at which every table it reads
// is there: to the index step as an access predicate when SQLite uses the
// index for that column (the "(c=?)" of its SEARCH line), to the hash join
// it is the key of, else to the table (or index) step as a filter, which
// keeps only the share of rows the condition lets through.

#include <algorithm>
#include <cmath>

#include "explain/PlanBuilding.h"

namespace localengine::explain {

using Predicate = dialect::QueryBlockFacts::Predicate;

namespace {

// Oracle's shares of rows for conditions it cannot measure.
constexpr double kEqualSelectivity = 0.01;
constexpr double kOtherSelectivity = 0.05;

// The step a loop reads its table with: the TABLE ACCESS (or the INDEX
// step of an access through an index alone), following the steps that
// only pass rows on.
PlanStep* tableStep(PlanStep& s) {
    PlanStep* at = &s;
    for (;;) {
        if (at->operation == ora::TableAccess || at->children.empty())
            return at;
        if (at->operation == ora::InlistIterator || at->operation == ora::JoinFilter ||
            at->operation == ora::Filter)
            at = &at->children.front();
        else
            return at;
    }
}

PlanStep* indexStep(PlanStep& s) {
    PlanStep* at = tableStep(s);
    if (at->operation == ora::Index)
        return at;
    if (at->operation == ora::TableAccess && at->options == ora::ByIndexRowid &&
        !at->children.empty() && at->children.front().operation == ora::Index)
        return &at->children.front();
    return nullptr;
}

// Scales the rows of the steps from `top` down to `target`.
void scaleRows(PlanStep& top, const PlanStep* target, double share) {
    PlanStep* at = &top;
    for (;;) {
        at->rows = costs::atLeastOneRow(at->rows * share);
        if (at == target || at->children.empty())
            return;
        at = &at->children.front();
    }
}

bool sameColumn(const std::string& a, const std::string& b) {
    return sameName(a, b);
}

}  // namespace

const PlanMapper::BlockFacts* PlanMapper::factsOf(int block) const {
    const SelectBlock* b = blockAt(block);
    if (!m_facts || !b)
        return nullptr;
    if (b->dml)
        return m_facts->dml ? &*m_facts->dml : nullptr;
    if (b->queryBlock <= 0)
        return nullptr;
    return m_facts->block(b->queryBlock);
}

std::string PlanMapper::queryBlockName(int block) const {
    const BlockFacts* f = factsOf(block);
    return f ? f->blockName() : std::string();
}

int PlanMapper::tableFactOf(int block, const std::string& printed) const {
    const BlockFacts* f = factsOf(block);
    if (!f)
        return -1;
    for (std::size_t i = 0; i < f->tables.size(); ++i)
        if (sameName(f->tables[i].alias, printed))
            return static_cast<int>(i);
    // an inline view without an alias, which SQLite names itself
    if (isUnnamedSubquery(printed)) {
        int found = -1, count = 0;
        for (std::size_t i = 0; i < f->tables.size(); ++i)
            if (f->tables[i].alias.empty()) {
                found = static_cast<int>(i);
                ++count;
            }
        if (count == 1)
            return found;
    }
    // a hierarchy's start and children read its one source under working
    // names (the part that reads the rows found back reads the WITH query)
    const SelectBlock* b = blockAt(block);
    if (b && (b->part == "START WITH" || b->part == "CONNECT BY") && f->tables.size() == 1)
        return 0;
    return -1;
}

void PlanMapper::nameSteps(PlanStep& s, const std::string& queryBlock) const {
    if (queryBlock.empty())
        return;
    if (s.queryBlock.empty())
        s.queryBlock = queryBlock;
    else if (s.queryBlock != queryBlock)
        return;  // a step of an inner block: named already, with its own children
    for (auto& c : s.children)
        nameSteps(c, queryBlock);
}

// Each loop's table among the block's facts (or, for a view SQLite merged
// into the block, among the merged block's): its alias, its place in the
// statement and the bytes of the columns read of it.
void PlanMapper::describeLoops(std::vector<Loop>& loops, int block) {
    if (!m_facts)
        return;
    for (Loop& loop : loops) {
        if (loop.printed.empty())
            continue;
        int factBlock = block;
        int table = tableFactOf(block, loop.printed);
        if (table < 0) {
            const FromItem* item = m_shape.findItem(loop.printed, block);
            if (item && item->block >= 0) {
                factBlock = item->block;
                table = tableFactOf(factBlock, loop.printed);
            }
        }
        if (table < 0)
            continue;
        loop.factBlock = factBlock;
        loop.tableFact = table;
        const BlockFacts& f = *factsOf(factBlock);
        const auto& t = f.tables[static_cast<std::size_t>(table)];
        const std::string alias = t.alias + "@" + f.blockName();
        PlanStep* read = tableStep(loop.step);
        if (read->operation == ora::View || read->operation == ora::Window ||
            read->operation == ora::Count) {
            if (read->operation == ora::View)
                read->alias = inlineViewAlias(f, static_cast<std::size_t>(table));
            continue;  // the view's own steps carry their names
        }
        if (read->operation == ora::TableAccess || read->operation == ora::Index) {
            read->alias = alias;
            if (t.instance > 0)
                read->objectInstance = t.instance;
            const TableFigures figures = tableFigures(loop.table);
            double bytes = 0;
            for (const auto& c : t.columns)
                bytes += columnBytes(figures, c);
            read->width = bytes;
        }
        if (PlanStep* ix = indexStep(loop.step); ix && ix != read)
            ix->alias = alias;
    }
}

double PlanMapper::columnDistinct(int block, int table, const std::string& column) const {
    const BlockFacts* f = factsOf(block);
    if (!f || table < 0 || static_cast<std::size_t>(table) >= f->tables.size())
        return 0;
    const TableFigures figures = tableFigures(f->tables[static_cast<std::size_t>(table)].name);
    if (figures.estimate)
        if (const schema::ColumnEstimate* c = figures.estimate->column(column))
            return std::max(1.0, c->distinct);
    return 0;
}

// The share of rows a condition keeps, as Oracle estimates it: one in the
// number of distinct values for an equality, the part of the column's
// range for a range of known numbers, Oracle's fixed shares otherwise.
double PlanMapper::selectivity(const Predicate& p, int block) const {
    using Form = Predicate::Form;
    const BlockFacts* f = factsOf(block);
    const double distinct = columnDistinct(block, p.table, p.column);
    const schema::ColumnEstimate* column = nullptr;
    if (f && p.table >= 0) {
        const TableFigures figures =
            tableFigures(f->tables[static_cast<std::size_t>(p.table)].name);
        if (figures.estimate)
            column = figures.estimate->column(p.column);
    }
    switch (p.form) {
        case Form::Equal: {
            double d = distinct;
            if (p.otherTable >= 0)
                d = std::max(d, columnDistinct(block, p.otherTable, p.otherColumn));
            return d > 0 ? 1 / d : kEqualSelectivity;
        }
        case Form::InList:
            return distinct > 0 ? std::min(1.0, p.listLength / distinct)
                                : std::min(1.0, p.listLength * kEqualSelectivity);
        case Form::Range:
        case Form::Between: {
            const bool closed = p.form == Form::Between;
            if (column && column->low && column->high && *column->high > *column->low &&
                p.numbers.size() == (closed ? 2u : 1u) && p.otherTable < 0) {
                const double low = *column->low, high = *column->high, span = high - low;
                double share;
                if (closed)
                    share = (std::min(high, p.numbers[1]) - std::max(low, p.numbers[0])) / span;
                else if (p.lowerBound)
                    share = (high - p.numbers[0]) / span;
                else
                    share = (p.numbers[0] - low) / span;
                return std::clamp(share, 1 / std::max(2.0, distinct), 1.0);
            }
            return closed ? costs::kClosedRangeSelectivity : costs::kOpenRangeSelectivity;
        }
        case Form::IsNull:
            return column ? std::max(column->nullFraction, 0.0) : kEqualSelectivity;
        case Form::IsNotNull:
            return column ? 1 - column->nullFraction : 1 - kEqualSelectivity;
        case Form::Like:
        case Form::Other:
            return kOtherSelectivity;
    }
    return kOtherSelectivity;
}

namespace {

// The columns SQLite looks a loop's rows up by through its index (the
// "(c=? AND d>?)" of its SEARCH line), the rowid as the table's INTEGER
// PRIMARY KEY column.
std::vector<std::string> lookupColumns(const Detail& d, const SchemaLookup& schema,
                                       const std::string& table) {
    std::vector<std::string> keys;
    for (const auto& c : d.keys.equal)
        keys.push_back(c);
    for (const auto& c : d.keys.ranged)
        keys.push_back(c);
    for (auto& k : keys)
        if (sameName(k, "rowid"))
            k = schema.rowidAlias(table);
    return keys;
}

// A condition is applied at the first loop that reads one of its tables
// once every table it reads is there.
bool appliesAt(const Predicate& p, int tableFact, const std::vector<int>& available) {
    // Most conditions read other tables: those are told apart first.
    if (std::find(p.tables.begin(), p.tables.end(), tableFact) == p.tables.end())
        return false;
    for (int t : p.tables)
        if (std::find(available.begin(), available.end(), t) == available.end())
            return false;
    return true;
}

}  // namespace

// Puts each condition of the loops' blocks on its step; returns those that
// stay for the block's FILTER step (conditions with subqueries).
std::vector<const PlanMapper::Predicate*> PlanMapper::attachPredicates(std::vector<Loop>& loops,
                                                                       int block) {
    if (!m_facts)
        return {};
    const Predicate::Clause clause = clauseOf(blockAt(block));
    std::vector<int> blocks;
    for (const Loop& l : loops)
        if (l.tableFact >= 0 &&
            std::find(blocks.begin(), blocks.end(), l.factBlock) == blocks.end())
            blocks.push_back(l.factBlock);
    for (int fb : blocks) {
        const BlockFacts& f = *factsOf(fb);
        std::vector<int> available;
        for (Loop& loop : loops) {
            if (loop.factBlock != fb || loop.tableFact < 0)
                continue;
            available.push_back(loop.tableFact);
            readNullsWhole(loop, f, clause);
            const std::vector<std::string> keys =
                loop.node ? lookupColumns(loop.node->detail, m_schema, loop.table)
                          : std::vector<std::string>{};
            for (const Predicate& p : f.predicates) {
                if (p.clause != clause || p.subquery || !appliesAt(p, loop.tableFact, available) ||
                    m_attached.count(&p))
                    continue;
                m_attached.insert(&p);
                placePredicate(p, loop, fb, keys);
            }
        }
    }
    return subqueryConditions(block, clause);
}

// An Oracle B-tree index keeps no entry whose key columns are all null:
// `c IS NULL`, which SQLite looks up through an index of c alone, is a
// full scan of the table in Oracle, the condition its filter.
void PlanMapper::readNullsWhole(Loop& loop, const BlockFacts& f, Predicate::Clause clause) {
    if (!loop.node || loop.hash || loop.node->detail.index.empty() ||
        tableStep(loop.step) != &loop.step || !indexStep(loop.step))
        return;
    const auto& looked = loop.node->detail.keys.equal;
    const auto isNull =
        std::find_if(f.predicates.begin(), f.predicates.end(), [&](const Predicate& p) {
            return p.clause == clause && p.form == Predicate::Form::IsNull &&
                   p.table == loop.tableFact &&
                   std::any_of(looked.begin(), looked.end(),
                               [&](const std::string& k) { return sameColumn(k, p.column); });
        });
    if (isNull == f.predicates.end())
        return;
    const std::optional<IndexInfo> index = m_schema.index(loop.node->detail.index);
    if (!index || index->columns.size() != 1 || !sameColumn(index->columns.front(), isNull->column))
        return;
    const PlanStep& read = loop.step;
    PlanStep full = tableFull(loop.table, read.objectInstance.value_or(0), read.other);
    full.alias = read.alias;
    full.queryBlock = read.queryBlock;
    if (read.operation == ora::TableAccess)
        full.width = read.width;
    loop.step = std::move(full);
}

// SQLite reads every row of a table through an index of nullable columns
// (for its order, or because the index holds the columns read); Oracle's
// index has no entry for a row whose key columns are all null, so unless a
// condition on a key column keeps such rows out anyway, Oracle reads the
// table, and sorts, groups or removes duplicates itself.
void PlanMapper::readNullableIndexWhole(GroupLines& lines, std::vector<Loop>& loops, int block) {
    const BlockFacts* f = factsOf(block);
    for (std::size_t k = 0; k < loops.size(); ++k) {
        Loop& loop = loops[k];
        if (!loop.node || loop.hash || loop.node->detail.kind != DetailKind::TableAccess)
            continue;
        const Detail& d = loop.node->detail;
        if (d.search || d.index.empty() ||
            (d.access != AccessPath::Index && d.access != AccessPath::CoveringIndex))
            continue;
        const PlanStep* ix = indexStep(loop.step);
        const std::optional<IndexInfo> index = m_schema.index(d.index);
        if (!ix || (ix->options != ora::FullScan && ix->options != ora::FastFullScan) || !index ||
            index->holdsEveryRow)
            continue;
        // COUNT(*) counts the entries of the index SQLite reads (its
        // indexes keep an entry for a null key too): the plan shows that
        // index, as Oracle's shows one of a NOT NULL column
        const SelectBlock* own = blockAt(block);
        if (ix->options == ora::FastFullScan && own && own->countStarOnly && own->aggregate &&
            !own->groupBy && !own->distinct)
            continue;
        const int table = tableFactOf(block, loop.printed);
        auto keyColumn = [&](const std::string& c) {
            return std::any_of(index->columns.begin(), index->columns.end(),
                               [&](const std::string& k) { return sameColumn(k, c); });
        };
        using Form = Predicate::Form;
        const bool rejectsNulls =
            f && table >= 0 &&
            std::any_of(f->predicates.begin(), f->predicates.end(), [&](const Predicate& p) {
                if (p.clause != Predicate::Clause::Where)
                    return false;
                if (p.otherTable == table && p.form == Form::Equal && keyColumn(p.otherColumn))
                    return true;
                return p.table == table && keyColumn(p.column) && p.form != Form::Other &&
                       p.form != Form::IsNull;
            });
        if (rejectsNulls)
            continue;
        const PlanStep& read = loop.step;
        PlanStep full = tableFull(loop.table, read.objectInstance.value_or(0), read.other);
        loop.step = std::move(full);
        if (k != 0)
            continue;
        // the rows no longer come in the index's order
        const SelectBlock* b = blockAt(block);
        GroupSorts& sorts = lines.sorts;
        if (b && b->orderBy && !sorts.order) {
            sorts.order = true;
            sorts.partialOrder = false;
        }
        if (b && b->groupBy)
            sorts.group = true;
        if (b && b->distinct && !b->groupBy)
            sorts.distinct = true;
    }
}

// One condition on the loop that applies it: an access predicate of its
// index when SQLite looks the compared column up through it, the key of
// the hash join it builds, else a filter of the table (or index) step
// that keeps only the condition's share of the rows.
void PlanMapper::placePredicate(const Predicate& p, Loop& loop, int factBlock,
                                const std::vector<std::string>& keys) const {
    auto isKey = [&](const std::string& column) {
        return std::any_of(keys.begin(), keys.end(),
                           [&](const std::string& k) { return sameColumn(k, column); });
    };
    // the loop's column on either side of the comparison
    const bool keyColumn = (p.table == loop.tableFact && isKey(p.column)) ||
                           (p.otherTable == loop.tableFact && isKey(p.otherColumn));
    using Form = Predicate::Form;
    const bool comparable = p.form == Form::Equal || p.form == Form::Range ||
                            p.form == Form::Between || p.form == Form::InList;
    PlanStep* ix = indexStep(loop.step);
    if (ix && keyColumn && comparable && !loop.hash) {
        appendPredicateText(ix->accessPredicates, p.text);
        if (p.form == Form::Equal && p.otherTable >= 0 && ix->options == ora::RangeScan)
            scaleIndexJoin(p, loop, factBlock, *ix);
    } else if (loop.hash && keyColumn && p.form == Form::Equal && p.otherTable >= 0) {
        appendPredicateText(loop.joinAccess, p.text);
    } else {
        PlanStep* read = tableStep(loop.step);
        appendPredicateText(read->filterPredicates, p.text);
        const double share = selectivity(p, factBlock);
        scaleRows(loop.step, read, share);
        if (loop.hash)
            loop.perProbe = std::max(1.0, loop.perProbe * share);
    }
}

// A join through an index: Oracle's join selectivity, one in the larger
// number of distinct values of the two columns (the rows one probe finds
// overstate it for keys that are not all matched, and a chain of joins
// would multiply the error out of all measure).
void PlanMapper::scaleIndexJoin(const Predicate& p, Loop& loop, int factBlock,
                                const PlanStep& index) const {
    const double mine = columnDistinct(factBlock, p.table, p.column);
    const double other = columnDistinct(factBlock, p.otherTable, p.otherColumn);
    if (mine <= 0 || other <= 0)
        return;
    const double rows = tableFigures(loop.table).rows / std::max(mine, other);
    if (rows < index.rows)
        scaleRows(loop.step, &index, rows / index.rows);
}

// The block's conditions with subqueries, not yet placed: they stay for
// its FILTER step.
std::vector<const PlanMapper::Predicate*> PlanMapper::subqueryConditions(int block,
                                                                         Predicate::Clause clause) {
    std::vector<const Predicate*> rest;
    if (const BlockFacts* f = factsOf(block))
        for (const Predicate& p : f->predicates)
            if (p.clause == clause && p.subquery && !m_attached.count(&p)) {
                m_attached.insert(&p);
                rest.push_back(&p);
            }
    return rest;
}

const PlanMapper::Predicate* PlanMapper::conditionHolding(
    int block, const std::string& queryBlock, std::optional<Predicate::Clause> clause) const {
    const BlockFacts* f = factsOf(block);
    if (!f || queryBlock.empty())
        return nullptr;
    if (!clause)
        clause = clauseOf(blockAt(block));
    for (const Predicate& p : f->predicates)
        if (p.clause == clause && p.subquery)
            for (int number : p.subqueryBlocks)
                if ("SEL$" + std::to_string(number) == queryBlock)
                    return &p;
    return nullptr;
}

namespace {

// Adds a subquery's cost to the steps from `top` down to `target`, which
// runs it.
void addCostDown(PlanStep& top, const PlanStep* target, const costs::Cost& cost) {
    PlanStep* at = &top;
    for (;;) {
        at->cost += cost;
        if (at == target || at->children.empty())
            return;
        at = &at->children.front();
    }
}

}  // namespace

void PlanMapper::pushSubqueries(std::vector<PushedSubquery>& pushed, std::vector<Loop>& loops,
                                std::vector<PlanStep>& filters,
                                std::vector<const Predicate*>& conditions) const {
    if (pushed.empty())
        return;
    Loop* loop = loops.size() == 1 ? &loops.front() : nullptr;
    PlanStep* read = loop ? tableStep(loop->step) : nullptr;
    if (!loop || !loop->node || loop->node->detail.kind != DetailKind::TableAccess || loop->hash ||
        !filters.empty() ||
        (read->operation != ora::TableAccess && read->operation != ora::Index)) {
        // over a join (or with subqueries run per row): a FILTER applies them
        for (auto& p : pushed)
            filters.push_back(std::move(p.step));
        return;
    }
    const std::vector<std::string> keys = lookupColumns(loop->node->detail, m_schema, loop->table);
    for (auto& p : pushed) {
        const Predicate& c = *p.condition;
        using Form = Predicate::Form;
        const bool key =
            c.table == loop->tableFact && c.otherTable < 0 &&
            (c.form == Form::Equal || c.form == Form::Range || c.form == Form::Between) &&
            std::any_of(keys.begin(), keys.end(),
                        [&](const std::string& k) { return sameColumn(k, c.column); });
        PlanStep* index = indexStep(loop->step);
        PlanStep* target = key && index ? index : tableStep(loop->step);
        if (target == index && key) {
            appendPredicateText(target->accessPredicates, c.text);
        } else {
            appendPredicateText(target->filterPredicates, c.text);
            scaleRows(loop->step, target, selectivity(c, loop->factBlock));
        }
        addCostDown(loop->step, target, p.step.cost);
        target->children.push_back(std::move(p.step));
        conditions.erase(std::remove(conditions.begin(), conditions.end(), &c), conditions.end());
    }
}

std::vector<const PlanMapper::Predicate*> PlanMapper::unattached(int block) {
    std::vector<const Predicate*> out;
    if (const BlockFacts* f = factsOf(block))
        for (const Predicate& p : f->predicates)
            if (p.clause == Predicate::Clause::Where && !m_attached.count(&p)) {
                m_attached.insert(&p);
                out.push_back(&p);
            }
    return out;
}

Predicate::Clause clauseOf(const SelectBlock* block) {
    if (block && block->part == "START WITH")
        return Predicate::Clause::StartWith;
    if (block && block->part == "CONNECT BY")
        return Predicate::Clause::ConnectBy;
    return Predicate::Clause::Where;
}

}  // namespace localengine::explain
