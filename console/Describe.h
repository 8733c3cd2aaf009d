#pragma once
// DESCRIBE as SQL*Plus prints it: one line a column with its name, NOT NULL
// when it takes no nulls, and its type as declared ("NUMBER(8,2)",
// "VARCHAR2(30)"), read from the dictionary view USER_TAB_COLUMNS.

#include <QList>
#include <QString>
#include <QVariant>

namespace console {

// The dictionary query for the object `written` names as the user typed it
// (an owner prefix is dropped; unquoted names are upper case).
QString describeQuery(const QString& written);

// The type as DESCRIBE shows it, from USER_TAB_COLUMNS's DATA_TYPE,
// DATA_LENGTH, DATA_PRECISION and DATA_SCALE (null values invalid QVariants).
QString describedType(const QString& dataType, const QVariant& length, const QVariant& precision,
                      const QVariant& scale);

struct DescribedColumn {
    QString name;
    bool notNull = false;
    QString type;
};

// The heading and one line per column, each ending in a newline.
QString describeLayout(const QList<DescribedColumn>& columns);

}  // namespace console
