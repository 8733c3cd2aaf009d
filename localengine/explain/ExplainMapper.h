#pragma once
// Maps SQLite's query plan (the rows of EXPLAIN QUERY PLAN) to the steps of
// an Oracle execution plan, as PLAN_TABLE holds them.
//
// Pure: the mapper knows the database only through SchemaLookup, so it can
// be fed made-up plan lines and a hand-made schema.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialect/PlanFacts.h"
#include "explain/CostModel.h"
#include "explain/ExplainDetail.h"
#include "explain/ExplainSql.h"
#include "schema/Statistics.h"
#include "schema/TableEstimate.h"

namespace localengine::explain {

// One row of EXPLAIN QUERY PLAN: its id, the id of its parent (0 at the
// top) and the detail text.
struct EqpRow {
    int id = 0;
    int parent = 0;
    std::string detail;
};

struct IndexInfo {
    std::string name;  // as spelled in the schema
    std::string table;
    bool unique = false;
    bool primaryKey = false;           // the primary key's own index
    std::vector<std::string> columns;  // key columns in order
    // The name the user knows it by when it differs: a constraint's index is
    // shown under the constraint's name, as the dictionary views show it.
    std::string shownName;
    bool rowidKey = false;  // stands for an INTEGER PRIMARY KEY: the rowid itself
    // Every row has an entry: a key column is NOT NULL (Oracle's B-tree
    // index keeps no entry whose key columns are all null, so an index of
    // nullable columns cannot return every row).
    bool holdsEveryRow = true;

    const std::string& displayName() const { return shownName.empty() ? name : shownName; }
};

struct TableInfo {
    enum class Kind { Table, View, Virtual };
    std::string name;  // as spelled in the schema
    Kind kind = Kind::Table;
    bool withoutRowid = false;
    std::string module;      // virtual table module (fts5, rtree, ...)
    std::string sql;         // CREATE statement (views: to read their aliases)
    std::string rowidAlias;  // INTEGER PRIMARY KEY column, empty when none (may be
                             // left empty by a SchemaLookup that answers rowidAlias())
};

// What the mapper asks of the database. Names are matched without regard
// to ASCII case.
class SchemaLookup {
public:
    virtual ~SchemaLookup() = default;
    virtual std::optional<TableInfo> table(const std::string& name) const = 0;
    virtual std::optional<IndexInfo> index(const std::string& name) const = 0;
    // The INTEGER PRIMARY KEY column of a table (empty when none).
    virtual std::string rowidAlias(const std::string& table) const {
        auto t = this->table(table);
        return t ? t->rowidAlias : std::string();
    }
    // The primary key index of a WITHOUT ROWID table.
    virtual std::optional<IndexInfo> primaryKeyIndex(const std::string& table) const = 0;
    // The unique index Oracle would have for a table's INTEGER PRIMARY KEY
    // (SQLite keeps no index: the key is the rowid), named as the
    // dictionary views name it: the constraint's name. Nothing when the
    // table has no such key.
    virtual std::optional<IndexInfo> rowidKeyIndex(const std::string& table) const;
    // The name of a table's primary key constraint (its own, or the one
    // Oracle would generate).
    virtual std::string primaryKeyName(const std::string& table,
                                       const std::vector<std::string>& columns) const;
    // True when any statistics (sqlite_stat1) exist at all.
    virtual bool hasStatistics() const = 0;
    // Row count of a table from the statistics.
    virtual std::optional<double> tableRows(const std::string& table) const = 0;
    // Average rows per distinct value of the first `columns` key columns of
    // an index, from the statistics.
    virtual std::optional<double> rowsPerKey(const std::string& index, int columns) const = 0;
    // What the engine estimated of a table from its rows (sizes, distinct
    // values, and the row count where the statistics have none); null
    // when nothing is known.
    virtual const schema::TableEstimate* estimate(const std::string& table) const {
        (void)table;
        return nullptr;
    }
};

// A schema held in memory (filled by hand or by a loader).
class StaticSchema : public SchemaLookup {
public:
    void addTable(TableInfo t);
    void addIndex(IndexInfo i);
    // "N a b c" as sqlite_stat1 stores it; idx empty for the table's own row.
    void addStat(const std::string& table, const std::string& index, const std::string& stat);
    void addEstimate(const std::string& table, schema::TableEstimate estimate);

    std::optional<TableInfo> table(const std::string& name) const override;
    std::optional<IndexInfo> index(const std::string& name) const override;
    std::optional<IndexInfo> primaryKeyIndex(const std::string& table) const override;
    bool hasStatistics() const override { return !m_statistics.empty(); }
    std::optional<double> tableRows(const std::string& table) const override {
        return m_statistics.tableRows(table);
    }
    std::optional<double> rowsPerKey(const std::string& index, int columns) const override {
        return m_statistics.rowsPerKey(index, columns);
    }
    const schema::TableEstimate* estimate(const std::string& table) const override;

private:
    std::map<std::string, TableInfo> m_tables;  // keys upper case
    std::map<std::string, IndexInfo> m_indexes;
    std::map<std::string, schema::TableEstimate> m_estimates;
    schema::Statistics m_statistics;
};

// One step of the Oracle plan, with its subtree.
struct PlanStep {
    std::string operation;
    std::string options;
    std::string objectName;  // upper case
    std::string objectType;  // TABLE, INDEX, INDEX (UNIQUE), VIEW
    bool owned = false;      // a schema object: OBJECT_OWNER is the user
    std::string owner;       // OBJECT_OWNER of an object that is not the user's (SYS)
    std::optional<int> objectInstance;
    std::optional<int> searchColumns;
    std::string optimizer;
    std::string other;       // the SQLite line(s) this step comes from, notes
    std::string alias;       // OBJECT_ALIAS: the table's alias "@" its query block
    std::string queryBlock;  // QBLOCK_NAME: SEL$1, ...
    std::string accessPredicates;
    std::string filterPredicates;
    // Estimates: the whole subtree's cost, the rows the step returns and
    // the average bytes of one of them.
    costs::Cost cost;
    double rows = 1;
    double width = 0;
    std::vector<PlanStep> children;
};

// One PLAN_TABLE row.
struct PlanRow {
    int id = 0;
    std::optional<int> parentId;
    int depth = 0;
    std::optional<long long> position;
    std::string operation, options, objectName, objectType, objectOwner, optimizer, other;
    std::string objectAlias, queryBlock, accessPredicates, filterPredicates;
    std::string otherXml;  // the statement's row: how the estimates were made
    std::optional<int> objectInstance;
    std::optional<int> searchColumns;
    long long cost = 0;
    long long ioCost = 0;
    long long cpuCost = 0;
    long long cardinality = 1;
    long long bytes = 0;
    long long time = 1;  // seconds
};

class PlanMapper {
public:
    // `sql` is the statement as SQLite received it; `owner` the user;
    // `facts` what the front end knew of the Oracle statement (may be
    // null: the plan is then SQLite's, in Oracle's names).
    PlanMapper(const SchemaLookup& schema, std::string sql, std::string owner,
               const dialect::PlanFacts* facts = nullptr);

    // The whole plan, the statement row at the top.
    PlanStep map(const std::vector<EqpRow>& rows);

    // The rows for PLAN_TABLE: ids depth first from 0, parent ids,
    // positions (the root's is the cost), owner filled in.
    // The steps' texts are moved into the rows.
    std::vector<PlanRow> flatten(PlanStep root) const;

    // map + flatten.
    std::vector<PlanRow> rows(const std::vector<EqpRow>& rows) { return flatten(map(rows)); }

    const StatementShape& shape() const { return m_shape; }

private:
    struct Node {
        Detail detail;
        int id = 0;
        std::vector<const Node*> children;
    };
    struct Loop;
    struct Scope;
    struct GroupLines;

    using ViewMap = std::map<std::string, PlanStep>;

    // One group of sibling lines: classified, then assembled into one step
    // (ExplainGroup.cpp).
    // `matched`, when given, receives the block of the SQLite text the
    // group was matched with (-1 for none).
    PlanStep mapGroup(const std::vector<const Node*>& nodes, const Scope& scope,
                      int* matched = nullptr);
    GroupLines classifyLines(const std::vector<const Node*>& nodes, const Scope& scope);
    bool checksForeignKey(const Detail& d, const std::vector<const Node*>& loops, bool top) const;
    void addView(const Node& node, GroupLines& lines);
    std::vector<Loop> mapLoops(GroupLines& lines, const Scope& scope, int block);
    PlanStep mapMultiIndexOr(const Node& node, const Scope& scope, int block, ViewMap& views,
                             Loop& loop);
    void markRightJoins(GroupLines& lines, std::vector<Loop>& loops) const;
    void readInKeyOrder(const GroupLines& lines, std::vector<Loop>& loops, int block);
    void readNullableIndexWhole(GroupLines& lines, std::vector<Loop>& loops, int block);
    // An uncorrelated scalar subquery of a WHERE condition: it runs once,
    // below the step that applies its condition.
    struct PushedSubquery {
        const dialect::QueryBlockFacts::Predicate* condition = nullptr;
        PlanStep step;
    };
    // The subqueries of HAVING: under the FILTER of the groups.
    struct HavingSubqueries {
        std::vector<PlanStep> subqueries;
        bool correlated = false;
    };
    std::vector<PlanStep> placeSubqueries(const GroupLines& lines, std::vector<Loop>& loops,
                                          const Scope& scope, int block, bool& correlated,
                                          std::vector<PushedSubquery>& pushed,
                                          HavingSubqueries& having);
    PlanStep mapSubquery(const Node& node, int block, PlanStep& driver);
    void nameInSubquery(PlanStep& probe, int block, const std::vector<PlanStep>& named) const;
    PlanStep rowSource(std::vector<Loop>& loops, std::vector<PlanStep>& filters,
                       GroupLines& lines) const;
    PlanStep applySorts(PlanStep j, const GroupLines& lines, int block, const Scope& scope,
                        const std::vector<Loop>& loops, HavingSubqueries having) const;

    // One SCAN or SEARCH line: the access path's steps (ExplainAccess.cpp).
    PlanStep mapAccess(const Node& node, const Scope& scope, int block, ViewMap& views, Loop& loop);
    PlanStep mapViewAccess(const Detail& d, const Scope& scope, int block, ViewMap& views,
                           Loop& loop);
    bool readsView(const Detail& d, int block, const ViewMap& views) const;
    PlanStep withoutRowidScan(const Detail& d, const std::string& table, int instance, int block);
    PlanStep indexRowidAccess(const Detail& d, const std::string& table, int instance, int block,
                              const std::optional<IndexInfo>& index);
    PlanStep rowidAccess(const Detail& d, const std::string& table, int instance, int block,
                         Loop& loop);
    PlanStep virtualTableAccess(const Detail& d, const std::string& table, int instance,
                                const std::optional<TableInfo>& info);
    // The INDEX step of an access through `index` (when not given: the
    // line's own index); `covering` when the table is not read after it.
    PlanStep mapIndexAccess(const Detail& d, const std::string& table, int instance, int block,
                            const std::optional<IndexInfo>& index, bool covering);
    IndexInfo assumedPrimaryKey(const std::string& table) const;
    PlanStep tableFull(const std::string& table, int instance, const std::string& other);

    // Compound queries, recursive WITH, unknown lines (ExplainCompound.cpp).
    PlanStep mapCompound(const Node& node, const Scope& scope);
    PlanStep mapMerge(const Node& node);
    PlanStep mapRecursive(const std::vector<const Node*>& nodes, const Scope& scope);
    PlanStep mapUnknown(const Node& node, const Scope& scope);

    // The statement's own row and the DML step over the query's plan.
    PlanStep statementStep(PlanStep body);
    PlanStep dmlStep(std::string operation, PlanStep child) const;

    // `claimed`, when given, is set when this call took the block for the
    // first time.
    int matchBlock(const std::vector<const Node*>& nodes, const Scope& scope,
                   bool* claimed = nullptr);
    int windowReaderBlock(const GroupLines& lines, int block, bool claimed);
    const SelectBlock* blockAt(int block) const {
        return block >= 0 ? &m_shape.blocks[static_cast<std::size_t>(block)] : nullptr;
    }
    std::string resolveTable(const std::string& printed, int block, int* instance) const;
    std::string resolveFromViews(const std::string& printed, int depth) const;
    // What the statistics and estimates say of a table and of an index.
    struct TableFigures {
        double rows = costs::kDefaultTableRows;
        double blocks = 1;
        double rowBytes = 0;  // the columns of an average row
        const schema::TableEstimate* estimate = nullptr;
    };
    TableFigures tableFigures(const std::string& table) const;
    costs::IndexShape indexShape(const IndexInfo& index, const TableFigures& table) const;
    double keyBytes(const IndexInfo& index, const TableFigures& table) const;
    // Rows per distinct value of the first `columns` key columns.
    double rowsPerKey(const IndexInfo& index, const TableFigures& table, int columns) const;
    double columnBytes(const TableFigures& table, const std::string& column) const;

    // The Oracle query block a block of the SQLite text carries (null when
    // the front end said nothing), and its name SEL$n.
    using BlockFacts = dialect::QueryBlockFacts;
    using Predicate = dialect::QueryBlockFacts::Predicate;
    const BlockFacts* factsOf(int block) const;
    std::string queryBlockName(int block) const;
    // The table of the block that SQLite prints as `printed`: its index in
    // the block's facts, -1 when none.
    int tableFactOf(int block, const std::string& printed) const;

    // Predicates and names (BlockFacts.cpp).
    void nameSteps(PlanStep& s, const std::string& queryBlock) const;
    void describeLoops(std::vector<Loop>& loops, int block);
    // Puts the block's conditions of `clause` on the loops' steps; returns
    // the conditions with subqueries, which stay for the FILTER step.
    std::vector<const Predicate*> attachPredicates(std::vector<Loop>& loops, int block);
    void readNullsWhole(Loop& loop, const BlockFacts& f,
                        dialect::QueryBlockFacts::Predicate::Clause clause);
    void placePredicate(const Predicate& p, Loop& loop, int factBlock,
                        const std::vector<std::string>& keys) const;
    void scaleIndexJoin(const Predicate& p, Loop& loop, int factBlock, const PlanStep& index) const;
    std::vector<const Predicate*> subqueryConditions(
        int block, dialect::QueryBlockFacts::Predicate::Clause clause);
    // The WHERE condition of a block that holds the subquery of block
    // `queryBlock` (SEL$n); null when none.
    // (of `clause`; by default the block's WHERE)
    const Predicate* conditionHolding(
        int block, const std::string& queryBlock,
        std::optional<dialect::QueryBlockFacts::Predicate::Clause> clause = std::nullopt) const;
    // Puts each pushed subquery below the step of the block's one table
    // that applies its condition (the index step when the condition is its
    // key); when the block reads more than that, the subqueries join
    // `filters` and their conditions stay in `conditions`.
    void pushSubqueries(std::vector<PushedSubquery>& pushed, std::vector<Loop>& loops,
                        std::vector<PlanStep>& filters,
                        std::vector<const Predicate*>& conditions) const;
    // The conditions of a block's WHERE not put on any step yet.
    std::vector<const Predicate*> unattached(int block);

    // Oracle's shapes for what SQLite writes otherwise (OracleShapes.cpp).
    int blockOfLines(const std::vector<const Node*>& nodes) const;
    bool hierarchyParts(const Node& view, const Node*& setup, const Node*& recursive) const;
    PlanStep mapHierarchy(const Node& setup, const Node& recursive);
    const Node* hierarchySourceLine(const Node& recursive) const;
    PlanStep readByRowid(PlanStep s, const BlockFacts& facts) const;
    PlanStep connectByStep(PlanStep start, PlanStep child, const std::string& connect,
                           const std::string& startWith) const;
    PlanStep windowStep(PlanStep body, int block) const;
    std::string pushedRank(const BlockFacts* f) const;
    PlanStep fetchStep(PlanStep j, int block) const;
    PlanStep wrapFlattened(PlanStep j, int block);
    PlanStep subqueryJoins(PlanStep filter, const std::vector<const Predicate*>& conditions,
                           int block) const;
    PlanStep viewStep(const Detail& d, PlanStep body, int bodyBlock);
    PlanStep temporaryTables(PlanStep body);
    int withQueryReads(const std::string& name) const;
    bool materialised(const std::string& name) const;
    // A materialised WITH query's temporary table: loaded once (LOAD AS
    // SELECT, kept for TEMP TABLE TRANSFORMATION), read as a VIEW over a
    // full scan of it at every place that reads the query.
    struct TemporaryTable {
        std::string object;  // SYS_TEMP_...
        std::string queryBlock;
        double rows = 1;
        double width = 0;
        bool loaded = false;
    };
    TemporaryTable& temporaryTable(const std::string& name);
    void loadTemporary(const std::string& name, PlanStep body);
    PlanStep temporaryRead(const std::string& name);
    double selectivity(const Predicate& p, int block) const;
    double columnDistinct(int block, int table, const std::string& column) const;

    const SchemaLookup& m_schema;
    const dialect::PlanFacts* m_facts;
    StatementShape m_shape;
    std::string m_owner;
    std::vector<Node> m_nodes;
    std::vector<bool> m_blockUsed;
    std::map<std::string, std::string> m_viewNames;  // upper name -> name of CO-ROUTINE/MATERIALIZE
    std::map<std::string, std::pair<double, double>> m_viewFigures;  // upper name -> rows, width
    std::map<std::string, int>
        m_windowViews;                // upper name -> block whose analytic functions it computes
    std::vector<PlanStep> m_leading;  // uncorrelated scalar subqueries of the top level
    mutable std::map<std::string, StatementShape> m_viewShapes;
    int m_bloomFilters = 0;
    int m_subqueryNumber = 0;        // SQLite's number of the subquery whose lines are mapped next
    mutable bool m_sampled = false;  // a table's rows were estimated by sampling it
    std::set<const Predicate*> m_attached;  // conditions already put on a step
    std::vector<PlanStep> m_loads;          // WITH queries written once, read several times
    std::map<std::string, TemporaryTable> m_temporary;  // upper WITH query name -> its table
};

}  // namespace localengine::explain
