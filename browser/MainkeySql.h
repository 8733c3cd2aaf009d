#pragma once
// The schema browser's SQL texts, result lines and its primary key lookup,
// as plain functions.
//
// The table name typed by the user goes into a string literal of both
// queries; every single quote in it is doubled, so that a name with a
// quote is looked up like any other and cannot change the query.

#include "OraObjects.h"

#include <QString>
#include <optional>

namespace MainkeySql {

inline const QString kNoTable = QStringLiteral("ﾃｰﾌﾞﾙが存在しません");
inline const QString kNoKey = QStringLiteral("主ｷｰが設定されてません");

// The name as the body of an SQL string literal: each ' becomes ''.
QString literalBody(const QString& name);

// SELECT count(table_name) tbl FROM user_tables t WHERE t.table_name = '<name>'
// (the name compared exactly as typed).
QString tableExistsSql(const QString& tableName);

// The primary key columns of the table, named in upper case, in the order
// the server returns them.
QString primaryKeySql(const QString& tableName);

// Every table of the user, in the order the server returns them.
QString allTablesSql();

// "ﾃｰﾌﾞﾙ総数 : <n>件".
QString tableCountText(qint32 count);

// What the key search shows, or the failure that stopped it.
struct KeyLookup {
    QString text;
    std::optional<QString> failure;  // as the "SQLｴﾗｰ" box shows it
};

// The key search: kNoTable when the user has no table of the name (compared
// exactly as typed), else the key columns each followed by CR LF, in the
// order the server returns them, or kNoKey when there are none.
KeyLookup lookUpPrimaryKey(oraobj::OraDatabase& db, const QString& tableName);

}  // namespace MainkeySql
