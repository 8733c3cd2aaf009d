#include "Describe.h"

#include <QStringList>

#include <algorithm>

namespace console {

QString describeQuery(const QString& written) {
    QString name = written.trimmed();
    if (name.endsWith(QLatin1Char(';')))
        name.chop(1);
    // OWNER.OBJECT: the dictionary view holds the user's own objects, so
    // the last name is the one (a dot inside double quotes is part of it).
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (name.at(i) == QLatin1Char('.') && !quoted)
            start = i + 1;
    }
    name = name.mid(start);
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    else
        name = name.toUpper();
    name.replace(QLatin1Char('\''), QLatin1String("''"));
    return QStringLiteral(
               "SELECT column_name, nullable, data_type, data_length, data_precision, data_scale"
               " FROM user_tab_columns WHERE table_name = '%1' ORDER BY column_id")
        .arg(name);
}

QString describedType(const QString& dataType, const QVariant& length, const QVariant& precision,
                      const QVariant& scale) {
    const auto given = [](const QVariant& v) { return v.isValid() && !v.isNull(); };
    const QString type = dataType.toUpper();
    if (type == QLatin1String("NUMBER")) {
        if (given(precision)) {
            const QString p = precision.toString();
            return given(scale) && scale.toInt() != 0
                       ? QStringLiteral("NUMBER(%1,%2)").arg(p, scale.toString())
                       : QStringLiteral("NUMBER(%1)").arg(p);
        }
        // INTEGER: a scale of 0 without a precision
        return given(scale) && scale.toInt() == 0 ? QStringLiteral("NUMBER(38)")
                                                  : QStringLiteral("NUMBER");
    }
    if (type == QLatin1String("FLOAT") && given(precision))
        return QStringLiteral("FLOAT(%1)").arg(precision.toString());
    static const QStringList sized = {QStringLiteral("VARCHAR2"), QStringLiteral("NVARCHAR2"),
                                      QStringLiteral("CHAR"),     QStringLiteral("NCHAR"),
                                      QStringLiteral("RAW"),      QStringLiteral("VARCHAR")};
    if (sized.contains(type) && given(length)) {
        const QString shown = type == QLatin1String("VARCHAR") ? QStringLiteral("VARCHAR2") : type;
        return QStringLiteral("%1(%2)").arg(shown, length.toString());
    }
    return type;
}

QString describeLayout(const QList<DescribedColumn>& columns) {
    constexpr int kNameWidth = 41;
    constexpr int kNullWidth = 8;
    int typeWidth = 16;
    for (const DescribedColumn& c : columns)
        typeWidth = std::max(typeWidth, static_cast<int>(c.type.size()));
    QString out = QStringLiteral(" %1 %2 Type\n")
                      .arg(QStringLiteral("Name"), -kNameWidth)
                      .arg(QStringLiteral("Null?"), -kNullWidth);
    out += QLatin1Char(' ') + QString(kNameWidth, QLatin1Char('-')) + QLatin1Char(' ') +
           QString(kNullWidth, QLatin1Char('-')) + QLatin1Char(' ') +
           QString(typeWidth, QLatin1Char('-')) + QLatin1Char('\n');
    for (const DescribedColumn& c : columns)
        out += QStringLiteral(" %1 %2 %3\n")
                   .arg(c.name, -kNameWidth)
                   .arg(c.notNull ? QStringLiteral("NOT NULL") : QString(), -kNullWidth)
                   .arg(c.type);
    return out;
}

}  // namespace console
