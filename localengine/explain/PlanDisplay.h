#pragma once
// DBMS_XPLAN.DISPLAY: the rows of one plan in a plan table laid out as
// Oracle prints them: the plan hash value, the table of steps (Id,
// Operation, Name, Rows, Bytes, Cost (%CPU), Time), then the sections
// "Query Block Name / Object Alias", "Predicate Information" and "Note".
//
// The layout is a pure function of the rows and the format, so that it can
// be checked line by line; reading the rows from a plan table and the
// table function that SQL calls are in PlanDisplayTable.cpp.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace localengine::explain {

// One row of the plan table, as far as the display reads it. A number the
// plan table has no column for (or holds null in) is unset.
struct DisplayRow {
    int id = 0;
    int depth = 0;
    std::string operation, options, objectName, objectAlias, queryBlock;
    std::string accessPredicates, filterPredicates;
    std::optional<long long> cardinality, bytes, cost, ioCost, time;
};

// What FORMAT asks for: a level (BASIC, TYPICAL, SERIAL, ALL, ADVANCED)
// and keywords that add (+) or remove (-) a part.
struct DisplayFormat {
    bool rows = true;
    bool bytes = true;
    bool cost = true;
    bool time = true;
    bool predicates = true;
    bool alias = false;
    bool note = true;
};

// Reads a FORMAT text ("TYPICAL", "BASIC +PREDICATE", "ALL -BYTES", ...).
// Nothing when it is not one Oracle accepts.
std::optional<DisplayFormat> parseDisplayFormat(const std::string& format);

// The plan hash value: a number that is the same for the same steps on
// the same objects, whatever their estimates.
std::uint32_t planHashValue(const std::vector<DisplayRow>& rows);

// The lines of the display. `notes` are the lines of the Note section
// (without their "- ").
std::vector<std::string> formatPlan(const std::vector<DisplayRow>& rows,
                                    const DisplayFormat& format,
                                    const std::vector<std::string>& notes = {});

// A quantity in five characters as DBMS_XPLAN shows it: as is when it
// fits, else scaled by `base` (1000 for rows and cost, 1024 for bytes) with
// K, M, G, T, P or E after it.
std::string formatQuantity(long long value, int base);

// Seconds as HH:MM:SS.
std::string formatTime(long long seconds);

// The lines DBMS_XPLAN.DISPLAY returns for the plan table `table` of `db`:
// the plan of `statementId` (the most recent plan when empty), in
// `format`. A format Oracle does not accept, or a plan that is not there,
// gives Oracle's one-line error text; a table that is not there throws
// EngineError (ORA-00942).
std::vector<std::string> displayPlan(sqlite3* db, const std::string& table,
                                     const std::optional<std::string>& statementId,
                                     const std::string& format);

// Registers the table function ORA_DBMS_XPLAN_DISPLAY(table_name,
// statement_id, format) with the one column PLAN_TABLE_OUTPUT, which the
// front end calls for TABLE(DBMS_XPLAN.DISPLAY(...)). False when SQLite
// refused it.
bool registerPlanDisplay(sqlite3* db);

}  // namespace localengine::explain
