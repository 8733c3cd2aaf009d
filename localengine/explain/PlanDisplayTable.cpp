// DBMS_XPLAN.DISPLAY as SQL calls it: the rows of one plan read from a plan
// table, and the table function ORA_DBMS_XPLAN_DISPLAY (an eponymous
// virtual table) that returns the display one line per row.

#include <sqlite3.h>

#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "explain/PlanDisplay.h"
#include "sqlite/SqliteText.h"
#include "sqlite/Statement.h"

namespace localengine::explain {

namespace {

using sqlite::quoteName;
using sqlite::sameName;
using sqlite::upperName;

// The plan table as SQLite must be told: an owner prefix is dropped (the
// engine has one schema, whatever the user's name), the name quoted.
std::string tableReference(const std::string& written) {
    std::string name = written.empty() ? std::string("PLAN_TABLE") : written;
    if (name.front() == '"')
        return name;
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        const std::string schema = name.substr(0, dot);
        if (sameName(schema, "main") || sameName(schema, "temp"))
            return schema + "." + quoteName(name.substr(dot + 1));
        name = name.substr(dot + 1);
    }
    return quoteName(name);
}

// The plan table's columns among those the display reads.
struct Columns {
    std::map<std::string, bool> present;  // upper-case name
    bool has(const char* name) const { return present.count(name) > 0; }
};

Columns readColumns(sqlite3* db, const std::string& table) {
    Columns c;
    sqlite::Statement probe(db, "SELECT * FROM " + table + " LIMIT 0");
    for (int i = 0; i < probe.columnCount(); ++i)
        c.present[upperName(probe.columnName(i))] = true;
    return c;
}

std::optional<long long> optionalInteger(sqlite::Statement& s, int column) {
    if (s.isNull(column))
        return std::nullopt;
    return static_cast<long long>(s.real(column) + (s.real(column) < 0 ? -0.5 : 0.5));
}

// The rows of one plan: the last plan explained under the statement id
// (any when none is given). With PLAN_ID that is the largest one; without
// it, the rows written from the last root row (ID 0) on, in the order they
// were written, as long as their ids follow on from it.
struct Plan {
    std::vector<DisplayRow> rows;
    bool sampled = false;  // the estimates came from sampling the tables
};

Plan readPlan(sqlite3* db, const std::string& table,
              const std::optional<std::string>& statementId) {
    const Columns columns = readColumns(db, table);
    auto column = [&](const char* name) {
        return columns.has(name) ? std::string(name) : std::string("NULL");
    };
    const std::string idTest = statementId ? " AND statement_id = ?1" : std::string();
    std::string where;
    if (columns.has("PLAN_ID")) {
        where = " WHERE plan_id = (SELECT max(plan_id) FROM " + table + " WHERE 1 = 1" + idTest +
                ")" + idTest;
    } else {
        where = " WHERE rowid >= (SELECT max(rowid) FROM " + table + " WHERE id = 0" + idTest +
                ")" + idTest;
    }
    sqlite::Statement s(db, "SELECT id, " + column("DEPTH") +
                                ", operation, options, object_name, " + column("OBJECT_ALIAS") +
                                ", " + column("QBLOCK_NAME") + ", " + column("ACCESS_PREDICATES") +
                                ", " + column("FILTER_PREDICATES") + ", " + column("CARDINALITY") +
                                ", " + column("BYTES") + ", " + column("COST") + ", " +
                                column("IO_COST") + ", " + column("TIME") + ", parent_id, " +
                                column("OTHER_XML") + " FROM " + table + where + " ORDER BY rowid");
    if (statementId)
        s.bind(1, *statementId);
    Plan plan;
    std::map<long long, int> depthOf;
    long long expected = 0;
    while (s.step()) {
        const long long id = s.integer(0);
        if (id != expected)
            break;  // another plan written after this one under the same id
        ++expected;
        DisplayRow r;
        r.id = static_cast<int>(id);
        if (!s.isNull(1)) {
            r.depth = static_cast<int>(s.integer(1));
        } else if (!s.isNull(14)) {
            auto parent = depthOf.find(s.integer(14));
            r.depth = parent == depthOf.end() ? 1 : parent->second + 1;
        }
        depthOf[id] = r.depth;
        r.operation = s.text(2);
        r.options = s.text(3);
        r.objectName = s.text(4);
        r.objectAlias = s.text(5);
        r.queryBlock = s.text(6);
        r.accessPredicates = s.text(7);
        r.filterPredicates = s.text(8);
        r.cardinality = optionalInteger(s, 9);
        r.bytes = optionalInteger(s, 10);
        r.cost = optionalInteger(s, 11);
        r.ioCost = optionalInteger(s, 12);
        r.time = optionalInteger(s, 13);
        if (s.text(15).find("\"dynamic_sampling\"") != std::string::npos)
            plan.sampled = true;
        plan.rows.push_back(std::move(r));
    }
    return plan;
}

}  // namespace

std::vector<std::string> displayPlan(sqlite3* db, const std::string& table,
                                     const std::optional<std::string>& statementId,
                                     const std::string& format) {
    const std::optional<DisplayFormat> f = parseDisplayFormat(format);
    if (!f)
        return {"Error: format '" + format + "' not valid for DBMS_XPLAN.DISPLAY()"};
    const std::string reference = tableReference(table);
    Plan plan;
    try {
        plan = readPlan(db, reference, statementId);
    } catch (const EngineError& e) {
        if (std::string(e.what()).rfind("no such table", 0) == 0)
            throw EngineError("ORA-00942: table or view does not exist", SQLITE_ERROR);
        throw;
    }
    if (plan.rows.empty()) {
        const std::string name = upperName(table.empty() ? std::string("PLAN_TABLE") : table);
        if (statementId)
            return {"Error: cannot fetch plan for statement_id '" + *statementId + "'"};
        return {"Error: cannot fetch last explain plan from " + name};
    }
    std::vector<std::string> notes;
    if (plan.sampled)
        notes.push_back("dynamic statistics used: dynamic sampling (level=2)");
    return formatPlan(plan.rows, *f, notes);
}

// --------------------------------------------------------- table function --

namespace {

enum Argument { kOutput = 0, kTableName = 1, kStatementId = 2, kFormat = 3, kFilter = 4 };

struct DisplayTable {
    sqlite3_vtab base{};
    sqlite3* db = nullptr;
};

struct DisplayCursor {
    sqlite3_vtab_cursor base{};
    std::vector<std::string> lines;
    std::size_t at = 0;
};

int displayConnect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out,
                   char**) noexcept {
    const int rc = sqlite3_declare_vtab(
        db,
        "CREATE TABLE x(PLAN_TABLE_OUTPUT TEXT, table_name HIDDEN, statement_id HIDDEN,"
        " format HIDDEN, filter_preds HIDDEN)");
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new (std::nothrow) DisplayTable;
    if (!table)
        return SQLITE_NOMEM;
    table->db = db;
    *out = &table->base;
    sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
    return SQLITE_OK;
}

int displayDisconnect(sqlite3_vtab* vtab) noexcept {
    delete reinterpret_cast<DisplayTable*>(vtab);
    return SQLITE_OK;
}

// The arguments come as equality constraints on the hidden columns; each
// one given is passed to xFilter, its bit in idxNum saying which.
int displayBestIndex(sqlite3_vtab*, sqlite3_index_info* info) noexcept {
    int mask = 0;
    int argv = 0;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn < kTableName || c.iColumn > kFilter)
            continue;
        if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ)
            return SQLITE_CONSTRAINT;
        const int bit = 1 << c.iColumn;
        if (mask & bit)
            continue;
        mask |= bit;
        info->aConstraintUsage[i].argvIndex = ++argv;
        info->aConstraintUsage[i].omit = 1;
    }
    // xFilter reads its arguments in column order: give them in that order.
    argv = 0;
    for (int column = kTableName; column <= kFilter; ++column)
        for (int i = 0; i < info->nConstraint; ++i)
            if (info->aConstraintUsage[i].argvIndex > 0 && info->aConstraint[i].iColumn == column) {
                info->aConstraintUsage[i].argvIndex = ++argv;
                break;
            }
    info->idxNum = mask;
    info->estimatedCost = 10;
    info->estimatedRows = 20;
    return SQLITE_OK;
}

int displayOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) noexcept {
    auto* cursor = new (std::nothrow) DisplayCursor;
    if (!cursor)
        return SQLITE_NOMEM;
    *out = &cursor->base;
    return SQLITE_OK;
}

int displayClose(sqlite3_vtab_cursor* cur) noexcept {
    delete reinterpret_cast<DisplayCursor*>(cur);
    return SQLITE_OK;
}

std::optional<std::string> textArgument(sqlite3_value* v) {
    if (!v || sqlite3_value_type(v) == SQLITE_NULL)
        return std::nullopt;
    const auto* text = sqlite3_value_text(v);
    return std::string(text ? reinterpret_cast<const char*>(text) : "",
                       static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

void setError(sqlite3_vtab* vtab, const char* text) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", text);
}

int displayFilter(sqlite3_vtab_cursor* cur, int idxNum, const char*, int argc,
                  sqlite3_value** argv) noexcept {
    auto* cursor = reinterpret_cast<DisplayCursor*>(cur);
    auto* table = reinterpret_cast<DisplayTable*>(cur->pVtab);
    try {
        std::map<int, sqlite3_value*> given;
        int k = 0;
        for (int column = kTableName; column <= kFilter && k < argc; ++column)
            if (idxNum & (1 << column))
                given[column] = argv[k++];
        auto argument = [&](int column) {
            auto it = given.find(column);
            return it == given.end() ? std::nullopt : textArgument(it->second);
        };
        const std::string name = argument(kTableName).value_or("PLAN_TABLE");
        const std::string format = argument(kFormat).value_or("TYPICAL");
        if (argument(kFilter)) {
            setError(cur->pVtab,
                     "DBMS_XPLAN.DISPLAY: the local engine does not take FILTER_PREDS; name the "
                     "plan by its statement id");
            return SQLITE_ERROR;
        }
        cursor->lines = displayPlan(table->db, name, argument(kStatementId), format);
        cursor->at = 0;
        return SQLITE_OK;
    } catch (const EngineError& e) {
        setError(cur->pVtab, e.what());
        return SQLITE_ERROR;
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    } catch (const std::exception& e) {
        setError(cur->pVtab, e.what());
        return SQLITE_ERROR;
    }
}

int displayNext(sqlite3_vtab_cursor* cur) noexcept {
    ++reinterpret_cast<DisplayCursor*>(cur)->at;
    return SQLITE_OK;
}

int displayEof(sqlite3_vtab_cursor* cur) noexcept {
    auto* cursor = reinterpret_cast<DisplayCursor*>(cur);
    return cursor->at >= cursor->lines.size();
}

int displayColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int column) noexcept {
    auto* cursor = reinterpret_cast<DisplayCursor*>(cur);
    if (column == kOutput) {
        const std::string& line = cursor->lines[cursor->at];
        if (line.empty())
            sqlite3_result_null(ctx);  // Oracle's empty line is a null
        else
            sqlite3_result_text(ctx, line.data(), static_cast<int>(line.size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_result_null(ctx);
    }
    return SQLITE_OK;
}

int displayRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* rowid) noexcept {
    *rowid = static_cast<sqlite3_int64>(reinterpret_cast<DisplayCursor*>(cur)->at + 1);
    return SQLITE_OK;
}

sqlite3_module makeModule() {
    sqlite3_module m{};
    m.iVersion = 0;
    m.xCreate = nullptr;  // eponymous only: no CREATE VIRTUAL TABLE of it
    m.xConnect = displayConnect;
    m.xBestIndex = displayBestIndex;
    m.xDisconnect = displayDisconnect;
    m.xDestroy = displayDisconnect;
    m.xOpen = displayOpen;
    m.xClose = displayClose;
    m.xFilter = displayFilter;
    m.xNext = displayNext;
    m.xEof = displayEof;
    m.xColumn = displayColumn;
    m.xRowid = displayRowid;
    return m;
}

const sqlite3_module kDisplayModule = makeModule();

}  // namespace

bool registerPlanDisplay(sqlite3* db) {
    return sqlite3_create_module_v2(db, "ORA_DBMS_XPLAN_DISPLAY", &kDisplayModule, nullptr,
                                    nullptr) == SQLITE_OK;
}

}  // namespace localengine::explain
