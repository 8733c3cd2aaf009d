#include "Feedback.h"

#include <QRegularExpression>
#include <QStringList>

namespace console {

namespace {

// The statement's first words, upper case, with comments and the blanks
// between them left out (no more than needed to tell the object's kind).
QStringList leadingWords(const QString& statement) {
    QString text = statement;
    static const QRegularExpression comments(QStringLiteral(R"(--[^\n]*|/\*.*?\*/)"),
                                             QRegularExpression::DotMatchesEverythingOption);
    text.remove(comments);
    static const QRegularExpression word(QStringLiteral(R"([A-Za-z_][A-Za-z0-9_$#]*)"));
    QStringList words;
    auto it = word.globalMatch(text);
    while (it.hasNext() && words.size() < 6)
        words << it.next().captured().toUpper();
    return words;
}

QString rowsText(qint64 rows, const char* verb) {
    return QStringLiteral("%1 %2 %3.")
        .arg(rows)
        .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
        .arg(QLatin1String(verb));
}

// "TABLE" -> "Table", "PACKAGE BODY" -> "Package body".
QString capitalised(const QString& upper) {
    return upper.left(1) + upper.mid(1).toLower();
}

// The kind of object a CREATE, ALTER or DROP names, past the words that
// qualify it (OR REPLACE, GLOBAL TEMPORARY, UNIQUE, PUBLIC, FORCE ...).
QString objectKind(const QStringList& words) {
    static const QStringList qualifiers = {QStringLiteral("OR"),
                                           QStringLiteral("REPLACE"),
                                           QStringLiteral("GLOBAL"),
                                           QStringLiteral("TEMPORARY"),
                                           QStringLiteral("PRIVATE"),
                                           QStringLiteral("UNIQUE"),
                                           QStringLiteral("BITMAP"),
                                           QStringLiteral("PUBLIC"),
                                           QStringLiteral("FORCE"),
                                           QStringLiteral("NOFORCE"),
                                           QStringLiteral("NO"),
                                           QStringLiteral("EDITIONABLE"),
                                           QStringLiteral("NONEDITIONABLE")};
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (qualifiers.contains(words[i]))
            continue;
        const QString next = words.value(i + 1);
        if (words[i] == QLatin1String("MATERIALIZED") || next == QLatin1String("BODY"))
            return words[i] + QLatin1Char(' ') + next;  // "Materialized view", "Package body"
        return words[i];
    }
    return {};
}

}  // namespace

QString feedbackFor(const QString& statement, qint64 rows) {
    const QStringList words = leadingWords(statement);
    const QString first = words.value(0);
    if (first == QLatin1String("INSERT"))
        return rowsText(rows, "created");
    if (first == QLatin1String("UPDATE"))
        return rowsText(rows, "updated");
    if (first == QLatin1String("DELETE"))
        return rowsText(rows, "deleted");
    if (first == QLatin1String("MERGE"))
        return rowsText(rows, "merged");
    if (first == QLatin1String("COMMIT"))
        return QStringLiteral("Commit complete.");
    if (first == QLatin1String("ROLLBACK"))
        return QStringLiteral("Rollback complete.");
    if (first == QLatin1String("SAVEPOINT"))
        return QStringLiteral("Savepoint created.");
    if (first == QLatin1String("EXPLAIN"))
        return QStringLiteral("Explained.");
    if (first == QLatin1String("COMMENT"))
        return QStringLiteral("Comment created.");
    if (first == QLatin1String("GRANT") || first == QLatin1String("REVOKE"))
        return capitalised(first) + QStringLiteral(" succeeded.");
    const QString kind = objectKind(words);
    if (first == QLatin1String("TRUNCATE") && !kind.isEmpty())
        return capitalised(kind) + QStringLiteral(" truncated.");
    if (first == QLatin1String("ANALYZE") && !kind.isEmpty())
        return capitalised(kind) + QStringLiteral(" analyzed.");
    if (first == QLatin1String("RENAME"))
        return QStringLiteral("Table renamed.");
    if (kind.isEmpty())
        return QStringLiteral("Statement processed.");
    if (first == QLatin1String("CREATE"))
        return capitalised(kind) + QStringLiteral(" created.");
    if (first == QLatin1String("DROP"))
        return capitalised(kind) + QStringLiteral(" dropped.");
    if (first == QLatin1String("ALTER"))
        return capitalised(kind) + QStringLiteral(" altered.");
    return QStringLiteral("Statement processed.");
}

}  // namespace console
