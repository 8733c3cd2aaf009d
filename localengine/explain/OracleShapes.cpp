// Oracle's shapes for what the engine has SQLite run another way. The
// front end's facts say what the Oracle statement was; SQLite's plan says
// how each table is read. Here the two meet:
//  - a hierarchical query (a recursive WITH in SQLite) is CONNECT BY WITH
//    FILTERING over the start rows and a nested loop of CONNECT BY PUMP and
//    the children's access; when the children are found by a full scan,
//    Oracle reads the table once: CONNECT BY NO FILTERING WITH START-WITH;
//  - analytic functions (a co-routine in SQLite) are a WINDOW step: SORT
//    when their rows must be sorted, BUFFER when they come in order, SORT
//    PUSHED RANK when the enclosing query keeps the first ranks only;
//  - FETCH FIRST n ROWS (a LIMIT) is a VIEW over WINDOW SORT PUSHED RANK
//    (or WINDOW NOSORT STOPKEY when the rows come in order), as in 12c;
//  - an inline view under ROWNUM that SQLite merged is a VIEW again, under
//    COUNT STOPKEY, with its sort a SORT ORDER BY STOPKEY;
//  - EXISTS, IN, NOT EXISTS and NOT IN subqueries that SQLite runs per row
//    are Oracle's semi- and anti-joins;
//  - a WITH query read more than once is loaded once (TEMP TABLE
//    TRANSFORMATION, LOAD AS SELECT) and read as a VIEW; read once, it is
//    a VIEW over its query.
// None of the engine's working names (__H, __C, __P, (subquery-n)) reaches
// a row.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "dialect/WorkingNames.h"
#include "explain/PlanBuilding.h"

namespace localengine::explain {

namespace {

using Predicate = dialect::QueryBlockFacts::Predicate;

// The first step in a chain of single children with `operation`.
PlanStep* findDown(PlanStep& s, const char* operation) {
    for (PlanStep* at = &s;; at = &at->children.front()) {
        if (at->operation == operation)
            return at;
        if (at->children.size() != 1)
            return nullptr;
    }
}

bool readsThroughIndex(const PlanStep& s) {
    if (s.operation == ora::Index)
        return true;
    if (s.operation == ora::TableAccess)
        return s.options == ora::ByIndexRowid || s.options == ora::ByUserRowid;
    if (s.operation == ora::InlistIterator || s.operation == ora::JoinFilter)
        return !s.children.empty() && readsThroughIndex(s.children.front());
    return false;
}

// The INDEX step a row source looks its rows up with, if any.
PlanStep* lookupIndex(PlanStep& s) {
    if (s.operation == ora::Index)
        return &s;
    if (s.children.empty())
        return nullptr;
    if (s.operation == ora::TableAccess || s.operation == ora::InlistIterator ||
        s.operation == ora::JoinFilter)
        return lookupIndex(s.children.front());
    return nullptr;
}

// Takes a condition out of the predicate lists of a subtree (conditions
// joined by AND): a subquery's correlation becomes the join's condition
// and is not applied inside the subquery any more.
void dropCondition(PlanStep& s, const std::string& text) {
    for (std::string* list : {&s.accessPredicates, &s.filterPredicates}) {
        std::string kept;
        std::size_t from = 0;
        for (;;) {
            const std::size_t at = list->find(" AND ", from);
            const std::string part =
                list->substr(from, at == std::string::npos ? std::string::npos : at - from);
            if (part != text)
                appendPredicateText(kept, part);
            if (at == std::string::npos)
                break;
            from = at + 5;
        }
        *list = std::move(kept);
    }
    for (PlanStep& c : s.children)
        dropCondition(c, text);
}

PlanStep* tableAccessOf(PlanStep& s) {
    for (PlanStep* at = &s;; at = &at->children.front()) {
        if (at->operation == ora::TableAccess || at->operation == ora::Index)
            return at;
        if (at->children.empty())
            return nullptr;
    }
}

}  // namespace

// The block of the SQLite text that the tables of some lines belong to,
// without taking it for a group (as matchBlock does).
int PlanMapper::blockOfLines(const std::vector<const Node*>& nodes) const {
    std::function<int(const Node&)> find = [&](const Node& n) -> int {
        if (n.detail.kind == DetailKind::TableAccess)
            if (const FromItem* item = m_shape.findItem(n.detail.name))
                return item->block;
        for (const Node* c : n.children)
            if (int b = find(*c); b >= 0)
                return b;
        return -1;
    };
    for (const Node* n : nodes)
        if (int b = find(*n); b >= 0)
            return b;
    return -1;
}

// A recursive WITH the front end wrote for CONNECT BY: its start and its
// recursion, found below the view's line.
bool PlanMapper::hierarchyParts(const Node& view, const Node*& setup,
                                const Node*& recursive) const {
    setup = recursive = nullptr;
    for (const Node* c : view.children) {
        if (c->detail.kind == DetailKind::Setup)
            setup = c;
        else if (c->detail.kind == DetailKind::RecursiveStep)
            recursive = c;
    }
    if (!setup || !recursive)
        return false;
    const SelectBlock* b = blockAt(blockOfLines(setup->children));
    return b && b->part == "START WITH";
}

PlanStep PlanMapper::mapHierarchy(const Node& setup, const Node& recursive) {
    int startBlock = -1;
    PlanStep start = mapGroup(setup.children, Scope{}, &startBlock);
    // The children's access: the step's line that reads the source, not
    // the one that reads the rows found so far (the WITH query itself).
    const Node* childLine = hierarchySourceLine(recursive);
    // The children's block: the CONNECT BY part of the start's query
    // block (both parts read the source under the same working name, so
    // the line alone does not tell).
    int stepBlock = -1;
    if (const SelectBlock* start = blockAt(startBlock))
        for (std::size_t b = 0; b < m_shape.blocks.size(); ++b)
            if (m_shape.blocks[b].part == "CONNECT BY" &&
                m_shape.blocks[b].queryBlock == start->queryBlock)
                stepBlock = static_cast<int>(b);
    if (stepBlock < 0 && childLine)
        stepBlock = blockOfLines({childLine});
    const std::string name = queryBlockName(stepBlock >= 0 ? stepBlock : startBlock);

    PlanStep child;
    if (childLine) {
        std::vector<Loop> loops(1);
        loops[0].node = childLine;
        ViewMap none;
        loops[0].step = mapAccess(*childLine, Scope{}, stepBlock, none, loops[0]);
        describeLoops(loops, stepBlock);
        attachPredicates(loops, stepBlock);
        child = std::move(loops[0].step);
    }
    // The engine keeps only rowids while it recurses and reads the rows
    // afterwards; Oracle reads each row where it finds it, so an index step
    // alone is the table's access by the rowids it finds.
    const SelectBlock* startPart = blockAt(startBlock);
    const BlockFacts* facts = factsOf(startBlock);
    const bool readBack =
        startPart && facts && facts->tables.size() == 1 &&
        std::any_of(m_shape.blocks.begin(), m_shape.blocks.end(), [&](const SelectBlock& b) {
            return b.part == "HIERARCHY" && b.queryBlock == startPart->queryBlock;
        });
    auto withTable = [&](PlanStep s) {
        if (!readBack || s.operation != ora::Index)
            return s;
        return readByRowid(std::move(s), *facts);
    };
    start = withTable(std::move(start));
    child = withTable(std::move(child));
    std::string connect, startWith;
    if (const BlockFacts* f = factsOf(stepBlock)) {
        for (const Predicate& p : f->predicates) {
            if (p.clause == Predicate::Clause::ConnectBy)
                appendPredicateText(connect, p.text);
            else if (p.clause == Predicate::Clause::StartWith)
                appendPredicateText(startWith, p.text);
        }
    }
    PlanStep cb = connectByStep(std::move(start), std::move(child), connect, startWith);
    nameSteps(cb, name);
    return cb;
}

// The children's access: the first line of the recursive step that reads
// the source, not the one that reads the rows found so far (the WITH query
// itself).
const PlanMapper::Node* PlanMapper::hierarchySourceLine(const Node& recursive) const {
    const Node* childLine = nullptr;
    std::function<void(const Node&)> find = [&](const Node& n) {
        if (childLine)
            return;
        if (n.detail.kind == DetailKind::TableAccess) {
            const FromItem* item = m_shape.findItem(n.detail.name);
            if (!(item && m_shape.isCte(item->name)) && !m_shape.isCte(n.detail.name)) {
                childLine = &n;
                return;
            }
        }
        for (const Node* c : n.children)
            find(*c);
    };
    for (const Node* c : recursive.children)
        find(*c);
    return childLine;
}

// An index step of a hierarchy read back by rowid: the table's access by
// the rowids the index finds, over it.
PlanStep PlanMapper::readByRowid(PlanStep s, const BlockFacts& facts) const {
    const auto info = m_schema.table(facts.tables.front().name);
    const std::string table = info ? info->name : facts.tables.front().name;
    const TableFigures f = tableFigures(table);
    PlanStep t = step(ora::TableAccess, ora::ByIndexRowid);
    t.objectName = upperName(table);
    t.objectType = ora::TableType;
    t.owned = true;
    t.objectInstance = s.objectInstance;
    t.alias = s.alias;
    t.queryBlock = s.queryBlock;
    t.rows = s.rows;
    t.width = f.rowBytes;
    // one table block per row at most, never more than the table has
    t.cost =
        s.cost + costs::Cost{std::ceil(std::min(s.rows, f.blocks)), s.rows * costs::kCyclesPerRow};
    t.children.push_back(std::move(s));
    return t;
}

// CONNECT BY over the start rows and the children's access.
PlanStep PlanMapper::connectByStep(PlanStep start, PlanStep child, const std::string& connect,
                                   const std::string& startWith) const {
    PlanStep cb;
    if (!child.operation.empty() && readsThroughIndex(child)) {
        // Each level's rows probe the children's index: the start rows,
        // then a loop of the rows found so far over the children's access.
        cb = step(ora::ConnectBy, ora::WithFiltering);
        cb.accessPredicates = connect;
        PlanStep pump = step(ora::ConnectByPump);
        pump.rows = start.rows;
        pump.width = start.width;
        pump.cost = costs::pass(pump.rows);
        PlanStep loop = step(ora::NestedLoops);
        loop.rows = costs::atLeastOneRow(pump.rows * child.rows);
        loop.width = child.width;
        loop.cost = pump.cost + pump.rows * child.cost;
        loop.children.push_back(std::move(pump));
        loop.children.push_back(std::move(child));
        cb.rows = costs::atLeastOneRow(start.rows * costs::kRecursionGrowth);
        cb.width = loop.children.back().width;
        cb.cost = start.cost + costs::kRecursionGrowth * loop.cost + costs::sort(cb.rows);
        cb.children.push_back(std::move(start));
        cb.children.push_back(std::move(loop));
    } else {
        // One full scan: the hierarchy is built in memory from all rows.
        cb = step(ora::ConnectBy, ora::NoFilteringWithStartWith);
        cb.accessPredicates = connect;
        cb.filterPredicates = startWith;
        PlanStep scan = child.operation.empty() ? std::move(start) : std::move(child);
        if (PlanStep* t = tableAccessOf(scan))
            t->filterPredicates.clear();
        scan.rows = tableFigures(scan.objectName).rows;
        for (PlanStep* at = &scan; !at->children.empty(); at = &at->children.front())
            at->children.front().rows = scan.rows;
        cb.rows = scan.rows;
        cb.width = scan.width;
        cb.cost = scan.cost + costs::sort(scan.rows);
        cb.children.push_back(std::move(scan));
    }
    return cb;
}

// SQLite computes analytic functions (and ROWNUM in the select list) in a
// co-routine over the block's rows: Oracle's WINDOW step (COUNT for
// ROWNUM), sorting for the functions' PARTITION BY and ORDER BY when the
// rows do not come in that order.
PlanStep PlanMapper::windowStep(PlanStep body, int block) const {
    const BlockFacts* f = factsOf(block);
    PlanStep w;
    if (f && f->analyticFunctions.empty()) {
        w = over(std::move(body), ora::Count);  // ROWNUM alone
    } else {
        const bool sorted =
            body.operation == ora::Sort && body.options == ora::OrderBy && !body.children.empty();
        PlanStep rows = sorted ? std::move(body.children.front()) : std::move(body);
        std::string options = sorted ? ora::WindowSort : ora::WindowBuffer;
        // A condition of the enclosing query on a rank column of this one
        // (an inline view): Oracle sorts only as far as it needs to.
        const std::string pushed = pushedRank(f);
        if (!pushed.empty())
            options = ora::SortPushedRank;
        w = step(ora::Window, options);
        w.rows = rows.rows;
        w.width = rows.width;
        w.cost = rows.cost +
                 (options == ora::WindowBuffer ? costs::pass(rows.rows) : costs::sort(rows.rows));
        w.filterPredicates = pushed;
        w.children.push_back(std::move(rows));
        if (f && f->rownumInSelectList) {
            // ROWNUM numbers the rows before the functions see them
            PlanStep count = over(std::move(w.children.front()), ora::Count);
            w.children.front() = std::move(count);
        }
    }
    nameSteps(w, queryBlockName(block));
    return w;
}

// The condition of the enclosing query that keeps the first ranks of an
// inline view's RANK, DENSE_RANK or ROW_NUMBER column (r <= n, r < n,
// r = 1), as the window sort applies it: the analytic function compared
// with the bound ("= n" keeps no rank past n either). The enclosing
// query's VIEW step keeps its own condition. Empty when there is none.
std::string PlanMapper::pushedRank(const BlockFacts* f) const {
    if (!f || f->role != BlockFacts::Role::InlineView || f->rankColumns.empty())
        return {};
    const BlockFacts* parent = m_facts->block(f->parent);
    if (!parent)
        return {};
    for (const Predicate& p : parent->predicates) {
        if (p.clause != Predicate::Clause::Where || p.table < 0 || p.otherTable >= 0 ||
            p.numbers.size() != 1)
            continue;
        const bool equal = p.form == Predicate::Form::Equal;
        if (!equal && !(p.form == Predicate::Form::Range && p.upperBound))
            continue;
        for (const auto& r : f->rankColumns)
            if (sameName(r.column, p.column))
                return r.expression +
                       (equal || p.text.find("<=") != std::string::npos ? "<=" : "<") +
                       formatNumber(p.numbers.front());
    }
    return {};
}

// FETCH FIRST n ROWS ONLY, which SQLite runs as LIMIT n: Oracle numbers
// the rows in the query's order and keeps the first n, in a view.
PlanStep PlanMapper::fetchStep(PlanStep j, int block) const {
    const BlockFacts* f = factsOf(block);
    std::string condition, kept;
    if (f)
        for (const Predicate& p : f->predicates) {
            if (p.clause == Predicate::Clause::Fetch)
                condition = p.text;
            else if (p.clause == Predicate::Clause::FetchView)
                kept = p.text;
        }
    const bool sorted = j.operation == ora::Sort &&
                        (j.options == ora::OrderBy || j.options == ora::OrderByStopKey) &&
                        !j.children.empty();
    PlanStep rows = sorted ? std::move(j.children.front()) : std::move(j);
    PlanStep w = step(ora::Window, sorted ? ora::SortPushedRank : ora::NoSortStopKey);
    w.filterPredicates = condition;
    w.rows = rows.rows;
    w.width = rows.width;
    w.cost = rows.cost + (sorted ? costs::sort(rows.rows) : costs::pass(rows.rows));
    w.children.push_back(std::move(rows));
    // the window numbers every row; the view keeps the first n
    PlanStep v = over(std::move(w), ora::View);
    v.filterPredicates = kept;
    if (f && f->fetchFirst)
        v.rows = std::min(v.rows, static_cast<double>(std::max<std::int64_t>(1, *f->fetchFirst)));
    return v;
}

// A view SQLite merged into the query that encloses it, where Oracle keeps
// it: under ROWNUM (Oracle never merges a view the enclosing query numbers
// the rows of). The enclosing block has no lines of its own then.
PlanStep PlanMapper::wrapFlattened(PlanStep j, int block) {
    const BlockFacts* f = factsOf(block);
    while (f && f->role == BlockFacts::Role::InlineView && f->parent > 0) {
        const BlockFacts* parent = m_facts->block(f->parent);
        if (!parent || parent->tables.size() != 1 ||
            !(parent->rownumLimit || parent->rownumLimitParameter))
            break;
        // merged only when no group of the plan took the enclosing block
        bool ownLines = false;
        for (std::size_t b = 0; b < m_shape.blocks.size(); ++b)
            if (m_shape.blocks[b].queryBlock == parent->number && m_blockUsed[b])
                ownLines = true;
        if (ownLines)
            break;
        std::string rownum;
        for (const Predicate& p : parent->predicates)
            if (p.clause == Predicate::Clause::Rownum)
                appendPredicateText(rownum, p.text);
        if (j.operation == ora::Sort && j.options == ora::OrderBy) {
            // the sort keeps only the first rows: the same condition stops it
            j.options = ora::OrderByStopKey;
            appendPredicateText(j.filterPredicates, rownum);
        }
        PlanStep v = over(std::move(j), ora::View);
        v.alias = inlineViewAlias(*parent, 0);
        PlanStep count = over(std::move(v), ora::Count, ora::StopKey);
        count.queryBlock.clear();
        count.filterPredicates = rownum;
        if (parent->rownumLimit)
            count.rows = std::min(
                count.rows, static_cast<double>(std::max<std::int64_t>(1, *parent->rownumLimit)));
        nameSteps(count, "SEL$" + std::to_string(parent->number));
        j = std::move(count);
        f = parent;
    }
    return j;
}

// A FILTER whose subqueries Oracle unnests: each EXISTS or IN (NOT EXISTS,
// NOT IN) subquery becomes a semi- (anti-) join of the rows so far with
// the subquery's rows: a nested loop when the subquery finds its rows
// through an index, a hash join otherwise (null-aware for NOT IN, which
// must see a null in the subquery).
PlanStep PlanMapper::subqueryJoins(PlanStep filter, const std::vector<const Predicate*>& conditions,
                                   int block) const {
    const BlockFacts* f = factsOf(block);
    if (!f || f->subqueryJoins.empty() || filter.operation != ora::Filter ||
        filter.children.size() < 2)
        return filter;
    PlanStep rows = std::move(filter.children.front());
    std::vector<PlanStep> kept;
    std::string keptConditions;
    for (std::size_t i = 1; i < filter.children.size(); ++i) {
        PlanStep& sub = filter.children[i];
        const BlockFacts::SubqueryJoin* join = nullptr;
        for (const auto& j : f->subqueryJoins)
            if ("SEL$" + std::to_string(j.block) == sub.queryBlock)
                join = &j;
        const Predicate* condition = nullptr;
        for (const Predicate* p : conditions)
            if (join && p->subqueryBlock == join->block)
                condition = p;
        if (!join || !condition) {
            if (condition)
                appendPredicateText(keptConditions, condition->text);
            kept.push_back(std::move(sub));
            continue;
        }
        const bool anti = join->kind == BlockFacts::SubqueryJoin::Kind::Anti;
        const bool nested = readsThroughIndex(sub);
        dropCondition(sub, condition->joinText);
        // the subquery's conditions on the row it runs for are the join's now
        if (const BlockFacts* inner = m_facts ? m_facts->block(join->block) : nullptr)
            for (const Predicate& p : inner->predicates)
                if (p.correlated)
                    dropCondition(sub, p.text);
        PlanStep j = step(nested ? ora::NestedLoops : ora::HashJoin, !anti ? ora::Semi
                                                                     : nested || join->exists
                                                                         ? ora::Anti
                                                                         : ora::AntiNullAware);
        if (nested) {
            if (PlanStep* ix = lookupIndex(sub))
                appendPredicateText(ix->accessPredicates, condition->joinText);
            j.cost = rows.cost + rows.rows * sub.cost;
        } else {
            j.accessPredicates = condition->joinText;
            j.cost = rows.cost + sub.cost + costs::hashJoin(sub.rows, rows.rows);
        }
        // a semi-join keeps the rows that find a match, an anti-join the
        // others: Oracle's share for a condition it cannot measure
        j.rows = anti ? costs::atLeastOneRow(rows.rows * costs::kOpenRangeSelectivity) : rows.rows;
        j.width = rows.width;
        j.queryBlock = rows.queryBlock;
        j.children.push_back(std::move(rows));
        j.children.push_back(std::move(sub));
        rows = std::move(j);
    }
    if (kept.empty())
        return rows;
    PlanStep rest = step(ora::Filter);
    rest.filterPredicates = keptConditions;
    rest.rows = rows.rows;
    rest.width = rows.width;
    rest.cost = filter.cost;
    rest.children.push_back(std::move(rows));
    for (auto& k : kept)
        rest.children.push_back(std::move(k));
    return rest;
}

int PlanMapper::withQueryReads(const std::string& name) const {
    if (!m_facts)
        return 0;
    int reads = 0;
    for (const BlockFacts& b : m_facts->blocks)
        for (const auto& t : b.tables)
            if (t.withQuery && sameName(t.name, name))
                ++reads;
    return reads;
}

// The VIEW step for a subquery SQLite runs apart (a co-routine or a
// materialised view): a stored view by its name, an inline view or a WITH
// query without one (the alias says which it is).
PlanStep PlanMapper::viewStep(const Detail& d, PlanStep body, int bodyBlock) {
    const SelectBlock* b = blockAt(bodyBlock);
    const BlockFacts* f = factsOf(bodyBlock);
    if (b && (b->part == "ROWNUM" || b->part == "HIERARCHY"))
        return body;  // the engine's own wrapper around the block's rows
    namespace working = dialect::working;
    for (const char* name :
         {working::kStoredRows, working::kConverted, working::kScalar, working::kComparedRows})
        if (d.name == name)
            return body;  // rows the engine passes through a query of its own
    // the subquery SQLite computes the functions over (once per block: a
    // view that reads it is the block's own, an inline view)
    const bool windowed = std::any_of(m_windowViews.begin(), m_windowViews.end(),
                                      [&](const auto& w) { return w.second == bodyBlock; });
    if (f && b && b->part.empty() && (!f->analyticFunctions.empty() || f->rownumInSelectList) &&
        isUnnamedSubquery(d.name) && !windowed) {
        m_windowViews[upperName(d.name)] = bodyBlock;
        return windowStep(std::move(body), bodyBlock);
    }
    if (f && f->role == BlockFacts::Role::InlineView && f->parent > 0)
        if (const BlockFacts* parent = m_facts->block(f->parent))
            if (parent->rownumLimit || parent->rownumLimitParameter)
                if (PlanStep* sort = findDown(body, ora::Sort))
                    if (sort->options == ora::OrderBy) {
                        sort->options = ora::OrderByStopKey;
                        for (const Predicate& p : parent->predicates)
                            if (p.clause == Predicate::Clause::Rownum)
                                appendPredicateText(sort->filterPredicates, p.text);
                    }
    if (materialised(d.name)) {
        // written once into a temporary table, read through a view
        loadTemporary(d.name, std::move(body));
        return temporaryRead(d.name);
    }
    PlanStep v = body.operation.empty() ? step(ora::View) : over(std::move(body), ora::View);
    auto info = m_schema.table(d.name);
    if (info && info->kind == TableInfo::Kind::View) {
        v.objectName = upperName(info->name);
        v.objectType = ora::ViewType;
        v.owned = true;
    } else if (!m_facts && !isUnnamedSubquery(d.name)) {
        v.objectName = upperName(d.name);  // without facts: SQLite's name, as before
        v.objectType = ora::ViewType;
    }
    return v;
}

// Oracle materialises a WITH query that the statement reads more than
// once; one read once is merged into the query that reads it, or is a VIEW
// over its own plan.
bool PlanMapper::materialised(const std::string& name) const {
    return m_facts &&
           std::any_of(m_facts->withQueries.begin(), m_facts->withQueries.end(),
                       [&](const std::string& w) { return sameName(w, name); }) &&
           withQueryReads(name) > 1;
}

namespace {

// Oracle's name for the n-th cursor-duration temporary table, as it names
// them: SYS_TEMP_, the object number (0FD9D66.. and up), and a number of
// the instance; here one that stays the same for the same user, so that
// the plan (and its hash value) does not change between EXPLAINs.
std::string temporaryTableName(std::size_t n, const std::string& owner) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : owner) {
        hash ^= c;
        hash *= 16777619u;
    }
    char text[48];
    std::snprintf(text, sizeof text, "SYS_TEMP_%09llX_%X",
                  0x0FD9D6600ULL + static_cast<unsigned long long>(n) + 1,
                  static_cast<unsigned>((hash & 0xFFFFFFu) | 0x100000u));
    return text;
}

// The blocks a temporary table of `rows` rows of `width` bytes fills.
double temporaryBlocks(double rows, double width) {
    return std::max(
        1.0, std::ceil(rows * (width + schema::kRowHeaderBytes) / schema::kBlockUsableBytes));
}

}  // namespace

PlanMapper::TemporaryTable& PlanMapper::temporaryTable(const std::string& name) {
    const std::string key = upperName(name);
    auto it = m_temporary.find(key);
    if (it == m_temporary.end()) {
        TemporaryTable t;
        t.object = temporaryTableName(m_temporary.size(), m_owner);
        if (m_facts)
            for (const BlockFacts& b : m_facts->blocks)
                if (b.role == BlockFacts::Role::WithQuery && sameName(b.name, name))
                    t.queryBlock = "SEL$" + std::to_string(b.number);
        it = m_temporary.emplace(key, std::move(t)).first;
    }
    return it->second;
}

// The query's rows written once into its temporary table (SQLite may code
// the query at each place that reads it: only the first is kept).
void PlanMapper::loadTemporary(const std::string& name, PlanStep body) {
    TemporaryTable& t = temporaryTable(name);
    if (t.loaded)
        return;
    t.loaded = true;
    t.rows = body.rows;
    t.width = body.width;
    PlanStep load = step(ora::LoadAsSelect, ora::CursorDurationMemory);
    load.objectName = t.object;
    load.objectType = ora::TemporaryTableType;
    load.owner = ora::SystemOwner;
    load.queryBlock = body.queryBlock.empty() ? t.queryBlock : body.queryBlock;
    load.rows = body.rows;
    load.width = body.width;
    // each block written once, each row passed on
    load.cost =
        body.cost + costs::Cost{temporaryBlocks(body.rows, body.width), costs::pass(body.rows).cpu};
    if (!body.operation.empty())
        load.children.push_back(std::move(body));
    m_loads.push_back(std::move(load));
}

PlanStep PlanMapper::temporaryRead(const std::string& name) {
    const TemporaryTable& t = temporaryTable(name);
    PlanStep scan = step(ora::TableAccess, ora::Full);
    scan.objectName = t.object;
    scan.objectType = ora::TemporaryTableType;
    scan.owner = ora::SystemOwner;
    scan.queryBlock = t.queryBlock;
    scan.rows = t.rows;
    scan.width = t.width;
    scan.cost = costs::fullScan(t.rows, temporaryBlocks(t.rows, t.width));
    PlanStep v = over(std::move(scan), ora::View);
    v.queryBlock.clear();  // the block that reads it names it
    return v;
}

// WITH queries loaded once for several reads come first, as Oracle runs
// them before the query that reads them.
PlanStep PlanMapper::temporaryTables(PlanStep body) {
    if (m_loads.empty())
        return body;
    PlanStep t = step(ora::TempTableTransformation);
    for (auto& load : m_loads) {
        t.cost += load.cost;
        t.children.push_back(std::move(load));
    }
    m_loads.clear();
    t.cost += body.cost;
    t.rows = body.rows;
    t.width = body.width;
    t.children.push_back(std::move(body));
    return t;
}

}  // namespace localengine::explain
