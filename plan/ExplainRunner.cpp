#include "ExplainRunner.h"

#include "FailureText.h"
#include "PlanTable.h"

namespace ExplainRunner {

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QChar(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QChar(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString explainStatement(const QString& statementId, const QString& source) {
    return QStringLiteral("EXPLAIN PLAN SET STATEMENT_ID='") + statementId +
           QStringLiteral("' INTO PLAN_TABLE FOR ") + trimSpaces(source);
}

QString readBackQuery(const QString& statementId) {
    return QStringLiteral("SELECT DECODE(id,0,'',") +
           QStringLiteral("LPAD(' ',2*(LEVEL-1))||level||'.'||position)||' '||") +
           QStringLiteral("operation||' '||options||' '||object_name||' '||") +
           QStringLiteral("object_type||' '||") +
           QStringLiteral("DECODE(id,0,'Cost='||position) QUERY_PLAN ") +
           QStringLiteral("FROM PLAN_TABLE ") +
           QStringLiteral("START WITH id=0 AND statement_id ='") + statementId +
           QStringLiteral("' ") +
           QStringLiteral("CONNECT BY PRIOR id=parent_id AND statement_id='") + statementId +
           QStringLiteral("'");
}

QString planText(oraobj::OraDynaset& rows) {
    QString text;
    while (!rows.EOF_()) {
        text += rows.Fields(0).Value().toString();  // a null gives nothing but its line break
        text += QStringLiteral("\r\n");
        rows.DbMoveNext();
    }
    return text;
}

Outcome analyse(oraobj::OraDatabase& db, const QString& statementId, const QString& source) {
    Outcome outcome;
    try {
        db.DbExecuteSQL(PlanTable::deleteRowsStatement(statementId));
        db.DbExecuteSQL(explainStatement(statementId, source));
        const std::unique_ptr<oraobj::OraDynaset> rows =
            db.DbCreateDynaset(readBackQuery(statementId), 12);
        outcome.planText = planText(*rows);
    } catch (...) {
        outcome.failure = oraobj::failureText(std::current_exception());
    }
    return outcome;
}

}  // namespace ExplainRunner
