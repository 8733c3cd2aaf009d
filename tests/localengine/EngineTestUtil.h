#pragma once
// Small helpers for reading engine results in tests.

#include "LocalEngine.h"

#include <QString>
#include <QStringList>

namespace enginetest {

// A cell as text, a null shown as "<null>" so that it differs from "".
inline QString cellText(const localengine::Cell& c) {
    return c.isNull() ? QStringLiteral("<null>") : QString::fromStdString(c.text);
}

// One column of every row.
inline QStringList column(const localengine::ResultTable& t, std::size_t index = 0) {
    QStringList out;
    for (const auto& row : t.rows)
        out << cellText(row.at(index));
    return out;
}

inline QStringList columnNames(const localengine::ResultTable& t) {
    QStringList out;
    for (const auto& c : t.columns)
        out << QString::fromStdString(c);
    return out;
}

// The first column of a query's rows.
inline QStringList firstColumn(localengine::Connection& c, const std::string& sql) {
    return column(c.query(sql));
}

}  // namespace enginetest
