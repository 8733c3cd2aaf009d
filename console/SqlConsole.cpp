#include "SqlConsole.h"

#include <QRegularExpression>

#include "OraObjects.h"

namespace console {

namespace {

bool startsBlock(const QString& firstLine) {
    static const QRegularExpression block(
        QStringLiteral("^\\s*(BEGIN|DECLARE|CREATE\\s+(OR\\s+REPLACE\\s+)?"
                       "(PROCEDURE|FUNCTION|PACKAGE|TRIGGER|TYPE))\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return block.match(firstLine).hasMatch();
}

}  // namespace

std::optional<QString> StatementSplitter::addLine(const QString& line) {
    ++m_lineNumber;
    const QString trimmed = line.trimmed();
    if (m_lines.isEmpty()) {
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--"))) {
            return std::nullopt;
        }
        m_startLine = m_lineNumber;
        m_block = startsBlock(line);
    }
    if (trimmed == QLatin1String("/")) {
        return take();
    }
    if (!m_block && trimmed.endsWith(QLatin1Char(';'))) {
        QString body = line;
        body.truncate(body.lastIndexOf(QLatin1Char(';')));
        m_lines.append(body);
        return take();
    }
    m_lines.append(line);
    return std::nullopt;
}

std::optional<QString> StatementSplitter::finish() {
    return take();
}

std::optional<QString> StatementSplitter::take() {
    const QString statement = m_lines.join(QLatin1Char('\n')).trimmed();
    m_lines.clear();
    if (statement.isEmpty()) {
        return std::nullopt;
    }
    return statement;
}

namespace {

QString firstWord(const QString& statement) {
    static const QRegularExpression word(QStringLiteral("^[\\s(]*([A-Za-z]+)"));
    return word.match(statement).captured(1).toUpper();
}

bool changesRows(const QString& statement) {
    const QString word = firstWord(statement);
    return word == QLatin1String("INSERT") || word == QLatin1String("UPDATE") ||
           word == QLatin1String("DELETE") || word == QLatin1String("MERGE");
}

void runQuery(oraobj::OraDatabase& db, const QString& sql, QTextStream& out) {
    const std::unique_ptr<oraobj::OraDynaset> rows = db.DbCreateDynaset(sql, 12);
    const short columns = rows->FieldsCount();
    while (!rows->EOF_()) {
        QStringList cells;
        for (short i = 0; i < columns; ++i) {
            cells.append(rows->Fields(i).Value().toString());
        }
        out << cells.join(QLatin1Char('\t')) << '\n';
        rows->DbMoveNext();
    }
}

void runStatement(oraobj::OraDatabase& db, const QString& sql, QTextStream& out) {
    if (isQuery(sql)) {
        runQuery(db, sql, out);
        return;
    }
    const qint32 rows = db.DbExecuteSQL(sql);
    if (changesRows(sql)) {
        out << rows << (rows == 1 ? " row processed." : " rows processed.") << '\n';
    } else {
        out << "Statement processed." << '\n';
    }
}

}  // namespace

bool isQuery(const QString& statement) {
    const QString word = firstWord(statement);
    return word == QLatin1String("SELECT") || word == QLatin1String("WITH");
}

int runConsole(const Logon& logon, QTextStream& in, QTextStream& out, QTextStream& err) {
    std::shared_ptr<oraobj::OraDatabase> db;
    try {
        const QString connect = logon.user + QLatin1Char('/') + logon.password;
        db = oraobj::CreateObject(QStringLiteral("OracleInProcServer.XOraSession"))
                 ->DbOpenDatabase(logon.host, connect, 3);
    } catch (const oraobj::OraError& error) {
        err << "quorvel-sql: cannot log on: " << error.description() << '\n';
        err.flush();
        return 1;
    }

    bool failed = false;
    StatementSplitter splitter;
    auto run = [&](const QString& sql) {
        try {
            runStatement(*db, sql, out);
        } catch (const oraobj::OraError& error) {
            failed = true;
            out.flush();
            err << "ERROR at line " << splitter.statementLine() << ": " << error.description()
                << '\n';
            err.flush();
        }
        out.flush();
    };
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (const std::optional<QString> statement = splitter.addLine(line)) {
            run(*statement);
        }
    }
    // A last statement without its terminator is run too, so that
    // `echo "select ... from dual" | quorvel-sql ...` does what it says.
    if (const std::optional<QString> statement = splitter.finish()) {
        run(*statement);
    }
    try {
        db->Close();
    } catch (const oraobj::OraError& error) {
        err << "quorvel-sql: " << error.description() << '\n';
        failed = true;
    }
    return failed ? 1 : 0;
}

}  // namespace console
