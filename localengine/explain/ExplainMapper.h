#pragma once
// Maps SQLite's query plan (the rows of EXPLAIN QUERY PLAN) to the steps of
// an Oracle execution plan, as PLAN_TABLE holds them.
//
// Pure: the mapper knows the database only through SchemaLookup, so it can
// be fed made-up plan lines and a hand-made schema.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "explain/ExplainDetail.h"
#include "explain/ExplainSql.h"
#include "schema/Statistics.h"

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
    // True when any statistics (sqlite_stat1) exist at all.
    virtual bool hasStatistics() const = 0;
    // Row count of a table from the statistics.
    virtual std::optional<double> tableRows(const std::string& table) const = 0;
    // Average rows per distinct value of the first `columns` key columns of
    // an index, from the statistics.
    virtual std::optional<double> rowsPerKey(const std::string& index, int columns) const = 0;
};

// A schema held in memory (filled by hand or by a loader).
class StaticSchema : public SchemaLookup {
public:
    void addTable(TableInfo t);
    void addIndex(IndexInfo i);
    // "N a b c" as sqlite_stat1 stores it; idx empty for the table's own row.
    void addStat(const std::string& table, const std::string& index, const std::string& stat);

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

private:
    std::map<std::string, TableInfo> m_tables;  // keys upper case
    std::map<std::string, IndexInfo> m_indexes;
    schema::Statistics m_statistics;
};

// One step of the Oracle plan, with its subtree.
struct PlanStep {
    std::string operation;
    std::string options;
    std::string objectName;  // upper case
    std::string objectType;  // TABLE, INDEX, INDEX (UNIQUE), VIEW
    bool owned = false;      // a schema object: OBJECT_OWNER is the user
    std::optional<int> objectInstance;
    std::optional<int> searchColumns;
    std::string optimizer;
    std::string other;  // the SQLite line(s) this step comes from, notes
    // Estimates; turned into COST and CARDINALITY when statistics exist.
    double cost = 0;
    double rows = 1;
    bool rowsKnown = true;
    std::vector<PlanStep> children;
};

// One PLAN_TABLE row.
struct PlanRow {
    int id = 0;
    std::optional<int> parentId;
    std::optional<long long> position;
    std::string operation, options, objectName, objectType, objectOwner, optimizer, other;
    std::optional<int> objectInstance;
    std::optional<int> searchColumns;
    std::optional<long long> cost;
    std::optional<long long> cardinality;
};

class PlanMapper {
public:
    // `sql` is the statement as SQLite received it; `owner` the user.
    PlanMapper(const SchemaLookup& schema, std::string sql, std::string owner);

    // The whole plan, the statement row at the top.
    PlanStep map(const std::vector<EqpRow>& rows);

    // The rows for PLAN_TABLE: ids depth first from 0, parent ids,
    // positions (the root's is the cost), owner filled in.
    std::vector<PlanRow> flatten(const PlanStep& root) const;

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
    PlanStep mapGroup(const std::vector<const Node*>& nodes, const Scope& scope);
    GroupLines classifyLines(const std::vector<const Node*>& nodes, const Scope& scope);
    void addView(const Node& node, GroupLines& lines);
    std::vector<Loop> mapLoops(GroupLines& lines, const Scope& scope, int block);
    PlanStep mapMultiIndexOr(const Node& node, const Scope& scope, int block, ViewMap& views,
                             Loop& loop);
    void markRightJoins(GroupLines& lines, std::vector<Loop>& loops) const;
    std::vector<PlanStep> placeSubqueries(const GroupLines& lines, std::vector<Loop>& loops,
                                          const Scope& scope, int block, bool& correlated);
    PlanStep mapSubquery(const Node& node, int block, PlanStep& driver);
    PlanStep rowSource(std::vector<Loop>& loops, std::vector<PlanStep>& filters,
                       GroupLines& lines) const;
    PlanStep applySorts(PlanStep j, const GroupLines& lines, int block, const Scope& scope,
                        const std::vector<Loop>& loops) const;

    // One SCAN or SEARCH line: the access path's steps (ExplainAccess.cpp).
    PlanStep mapAccess(const Node& node, const Scope& scope, int block, ViewMap& views, Loop& loop);
    PlanStep mapViewAccess(const Detail& d, const Scope& scope, int block, ViewMap& views,
                           Loop& loop);
    bool readsView(const Detail& d, int block, const ViewMap& views) const;
    PlanStep withoutRowidScan(const Detail& d, const std::string& table, int instance, int block);
    PlanStep indexRowidAccess(const Detail& d, const std::string& table, int instance, int block);
    PlanStep rowidAccess(const Detail& d, const std::string& table, int instance, int block,
                         Loop& loop);
    PlanStep virtualTableAccess(const Detail& d, const std::string& table, int instance,
                                const std::optional<TableInfo>& info);
    PlanStep mapIndexAccess(const Detail& d, const std::string& table, int instance, int block);
    PlanStep tableFull(const std::string& table, int instance, const std::string& other);

    // Compound queries, recursive WITH, unknown lines (ExplainCompound.cpp).
    PlanStep mapCompound(const Node& node, const Scope& scope);
    PlanStep mapMerge(const Node& node);
    PlanStep mapRecursive(const std::vector<const Node*>& nodes, const Scope& scope);
    PlanStep mapUnknown(const Node& node, const Scope& scope);

    // The statement's own row and the DML step over the query's plan.
    PlanStep statementStep(PlanStep body);
    PlanStep dmlStep(std::string operation, PlanStep child) const;

    int matchBlock(const std::vector<const Node*>& nodes, const Scope& scope);
    const SelectBlock* blockAt(int block) const {
        return block >= 0 ? &m_shape.blocks[static_cast<std::size_t>(block)] : nullptr;
    }
    std::string resolveTable(const std::string& printed, int block, int* instance) const;
    std::string resolveFromViews(const std::string& printed, int depth) const;
    double tableRowsOf(const std::string& table, bool* known) const;

    const SchemaLookup& m_schema;
    StatementShape m_shape;
    std::string m_owner;
    std::vector<Node> m_nodes;
    std::vector<bool> m_blockUsed;
    std::map<std::string, std::string> m_viewNames;  // upper name -> name of CO-ROUTINE/MATERIALIZE
    std::vector<PlanStep> m_leading;  // uncorrelated scalar subqueries of the top level
    mutable std::map<std::string, StatementShape> m_viewShapes;
    int m_bloomFilters = 0;
};

}  // namespace localengine::explain
