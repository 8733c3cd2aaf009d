#include "PlanTable.h"

namespace PlanTable {

QString twoLines(const QString& first, const QString& second) {
    return first + QChar('\r') + second;
}

QString checkQuery() {
    return QStringLiteral("SELECT * from user_tables ") +
           QStringLiteral("WHERE  table_name = 'PLAN_TABLE'");
}

QString createStatement() {
    static const char* const pieces[] = {
        "create table PLAN_TABLE (",
        "statement_id  varchar2(30),",
        "timestamp     date,",
        "remarks       varchar2(80),",
        "operation     varchar2(30),",
        "options        varchar2(30),",
        "object_node   varchar2(128),",
        "object_owner  varchar2(30),",
        "object_name   varchar2(30),",
        "object_instance numeric,",
        "object_type     varchar2(30),",
        "optimizer       varchar2(255),",
        "search_columns  number,",
        "id  numeric,",
        "parent_id numeric,",
        "position numeric,",
        "cost  numeric,",
        "cardinality numeric,",
        "bytes  numeric,",
        "other_tag       varchar2(255),",
        "partition_start varchar2(255),",
        "partition_stop  varchar2(255),",
        "partition_id    numeric,",
        "other  long)",
    };
    QString sql;
    for (const char* piece : pieces)
        sql += QLatin1String(piece);
    return sql;
}

QString dropStatement() {
    return QStringLiteral("drop table PLAN_TABLE ");
}

QString deleteRowsStatement(const QString& statementId) {
    return QStringLiteral("DELETE PLAN_TABLE WHERE STATEMENT_ID='") + statementId +
           QStringLiteral("'");
}

qint32 check(oraobj::OraDatabase& db) {
    const std::unique_ptr<oraobj::OraDynaset> rows = db.DbCreateDynaset(checkQuery(), 12);
    return rows->RecordCount();
}

bool create(Owner& owner) {
    oraobj::OraDatabase& db = owner.database();
    try {
        if (check(db) != 0) {
            owner.tell(kAlreadyExists);
            return true;
        }
        db.ExecuteSQL(createStatement());
        if (check(db) != 0) {
            owner.setPlanTableState(CreatedHere);
            owner.setPlanTablePanel(kPanelPresent);
            return true;
        }
        owner.setPlanTableState(AbsentHere);
        owner.tell(twoLines(kCreateFailed1, kCreateFailed2));
        owner.setPlanTablePanel(kPanelAbsent);
        return false;
    } catch (const std::exception&) {
        // Refused (no privilege, for one): no message; the panel shows what
        // is there now and the state stays. A failing check here reaches
        // the caller.
        const bool present = check(db) != 0;
        owner.setPlanTablePanel(present ? kPanelPresent : kPanelAbsent);
        return present;
    }
}

void drop(Owner& owner) {
    oraobj::OraDatabase& db = owner.database();
    if (check(db) <= 0)
        return;
    if (owner.planTableState() == FoundAtConnect && !owner.ask(twoLines(kDropFound1, kDropFound2)))
        return;
    db.ExecuteSQL(dropStatement());
    owner.setPlanTableState(DroppedHere);
    owner.setPlanTablePanel(kPanelAbsent);
}

void deleteRows(Owner& owner) {
    owner.database().DbExecuteSQL(deleteRowsStatement(owner.statementId()));
}

void cleanup(Owner& owner, const QString& secondLine) {
    switch (owner.planTableState()) {
        case CreatedHere:
            if (owner.ask(twoLines(kNotDropped1, secondLine))) {
                owner.dropCommand();  // this workstation's rows go with the table
                return;
            }
            deleteRows(owner);
            return;
        case FoundAtConnect:
            deleteRows(owner);
            return;
        default:
            return;  // dropped here, or never there: nothing of ours to tidy
    }
}

}  // namespace PlanTable
