#include "MainkeySql.h"

#include "FailureText.h"

namespace MainkeySql {

QString literalBody(const QString& name) {
    QString body = name;
    body.replace(QLatin1Char('\''), QLatin1String("''"));
    return body;
}

QString tableExistsSql(const QString& tableName) {
    return QStringLiteral("SELECT count(table_name) tbl") + QStringLiteral(" FROM user_tables t") +
           QStringLiteral(" WHERE t.table_name = '") + literalBody(tableName) + QStringLiteral("'");
}

QString primaryKeySql(const QString& tableName) {
    return QStringLiteral("SELECT c.column_name P_KEY") +
           QStringLiteral(" FROM user_cons_columns c, user_constraints t") +
           QStringLiteral(" Where c.table_name = upper('") + literalBody(tableName) +
           QStringLiteral("')") + QStringLiteral(" AND t.constraint_type = 'P'") +
           QStringLiteral(" AND c.table_name = t.table_name") +
           QStringLiteral(" AND c.constraint_name = t.constraint_name");
}

QString allTablesSql() {
    return QStringLiteral("SELECT table_name tbl") + QStringLiteral(" FROM user_tables t");
}

QString tableCountText(qint32 count) {
    return QStringLiteral("ﾃｰﾌﾞﾙ総数 : ") + QString::number(count) + QStringLiteral("件");
}

KeyLookup lookUpPrimaryKey(oraobj::OraDatabase& db, const QString& tableName) {
    KeyLookup lookup;
    try {
        std::unique_ptr<oraobj::OraDynaset> rs = db.DbCreateDynaset(tableExistsSql(tableName), 12);
        if (rs->Fields(0).Value().toInt() < 1) {
            lookup.text = kNoTable;
            return lookup;
        }
        rs = db.DbCreateDynaset(primaryKeySql(tableName), 12);
        QString keys;
        while (!rs->EOF_()) {
            keys += rs->Fields(0).Value().toString() + QStringLiteral("\r\n");
            rs->DbMoveNext();
        }
        lookup.text = keys.isEmpty() ? kNoKey : keys;
    } catch (...) {
        lookup.failure = oraobj::failureText(std::current_exception());
    }
    return lookup;
}

}  // namespace MainkeySql
