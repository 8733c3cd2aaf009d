#include "SqlConsole.h"

#include "Describe.h"
#include "Feedback.h"
#include "OraObjects.h"
#include "SqlPlusCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <array>
#include <cmath>

namespace console {

namespace {

// SQL*Plus refuses to nest scripts deeper than this.
constexpr int kMaxScriptDepth = 20;

enum class SetHandling {
    Define,
    Scan,
    Concat,
    Escape,
    SqlTerminator,
    BlockTerminator,
    Feedback,
    ServerOutput,
    Autotrace,
    Ignored,
    Reported
};

struct SetOption {
    const char* name;
    int shortest;
    SetHandling handling;
};

// SQL*Plus's system variables. Those that only shape SQL*Plus's own report
// layout or terminal are accepted and have no effect here.
constexpr std::array kSetOptions{
    SetOption{"DEFINE", 3, SetHandling::Define},
    SetOption{"SCAN", 3, SetHandling::Scan},
    SetOption{"CONCAT", 3, SetHandling::Concat},
    SetOption{"ESCAPE", 3, SetHandling::Escape},
    SetOption{"SQLTERMINATOR", 4, SetHandling::SqlTerminator},
    SetOption{"BLOCKTERMINATOR", 3, SetHandling::BlockTerminator},
    SetOption{"FEEDBACK", 4, SetHandling::Feedback},
    SetOption{"SQLBLANKLINES", 5, SetHandling::Ignored},
    SetOption{"APPINFO", 4, SetHandling::Ignored},
    SetOption{"ARRAYSIZE", 5, SetHandling::Ignored},
    SetOption{"AUTOCOMMIT", 4, SetHandling::Ignored},
    SetOption{"AUTOPRINT", 5, SetHandling::Ignored},
    SetOption{"AUTORECOVERY", 12, SetHandling::Ignored},
    SetOption{"AUTOTRACE", 5, SetHandling::Autotrace},
    SetOption{"CMDSEP", 4, SetHandling::Reported},
    SetOption{"COLINVISIBLE", 6, SetHandling::Ignored},
    SetOption{"COLSEP", 6, SetHandling::Ignored},
    SetOption{"COMPATIBILITY", 3, SetHandling::Ignored},
    SetOption{"COPYCOMMIT", 5, SetHandling::Ignored},
    SetOption{"COPYTYPECHECK", 5, SetHandling::Ignored},
    SetOption{"DESCRIBE", 8, SetHandling::Ignored},
    SetOption{"DOCUMENT", 3, SetHandling::Ignored},
    SetOption{"ECHO", 4, SetHandling::Ignored},
    SetOption{"EDITFILE", 5, SetHandling::Ignored},
    SetOption{"EMBEDDED", 3, SetHandling::Ignored},
    SetOption{"ERRORLOGGING", 12, SetHandling::Ignored},
    SetOption{"EXITCOMMIT", 10, SetHandling::Ignored},
    SetOption{"FLAGGER", 7, SetHandling::Ignored},
    SetOption{"FLUSH", 3, SetHandling::Ignored},
    SetOption{"HEADING", 3, SetHandling::Ignored},
    SetOption{"HEADSEP", 5, SetHandling::Ignored},
    SetOption{"HISTORY", 4, SetHandling::Ignored},
    SetOption{"INSTANCE", 8, SetHandling::Ignored},
    SetOption{"LINESIZE", 3, SetHandling::Ignored},
    SetOption{"LOBOFFSET", 5, SetHandling::Ignored},
    SetOption{"LOBPREFETCH", 11, SetHandling::Ignored},
    SetOption{"LOGSOURCE", 9, SetHandling::Ignored},
    SetOption{"LONG", 4, SetHandling::Ignored},
    SetOption{"LONGCHUNKSIZE", 5, SetHandling::Ignored},
    SetOption{"MARKUP", 4, SetHandling::Ignored},
    SetOption{"NEWPAGE", 4, SetHandling::Ignored},
    SetOption{"NULL", 4, SetHandling::Ignored},
    SetOption{"NUMFORMAT", 4, SetHandling::Ignored},
    SetOption{"NUMWIDTH", 3, SetHandling::Ignored},
    SetOption{"PAGESIZE", 5, SetHandling::Ignored},
    SetOption{"PAUSE", 3, SetHandling::Ignored},
    SetOption{"RECSEP", 6, SetHandling::Ignored},
    SetOption{"RECSEPCHAR", 10, SetHandling::Ignored},
    SetOption{"ROWPREFETCH", 11, SetHandling::Ignored},
    SetOption{"SECUREDCOL", 10, SetHandling::Ignored},
    SetOption{"SERVEROUTPUT", 9, SetHandling::ServerOutput},
    SetOption{"SHIFTINOUT", 5, SetHandling::Ignored},
    SetOption{"SHOWMODE", 4, SetHandling::Ignored},
    SetOption{"SQLCASE", 4, SetHandling::Reported},
    SetOption{"SQLCONTINUE", 5, SetHandling::Ignored},
    SetOption{"SQLNUMBER", 4, SetHandling::Ignored},
    SetOption{"SQLPLUSCOMPATIBILITY", 13, SetHandling::Ignored},
    SetOption{"SQLPREFIX", 6, SetHandling::Ignored},
    SetOption{"SQLPROMPT", 4, SetHandling::Ignored},
    SetOption{"STATEMENTCACHE", 10, SetHandling::Ignored},
    SetOption{"SUFFIX", 3, SetHandling::Ignored},
    SetOption{"TAB", 3, SetHandling::Ignored},
    SetOption{"TERMOUT", 4, SetHandling::Ignored},
    SetOption{"TIME", 2, SetHandling::Ignored},
    SetOption{"TIMING", 4, SetHandling::Ignored},
    SetOption{"TRIMOUT", 4, SetHandling::Ignored},
    SetOption{"TRIMSPOOL", 5, SetHandling::Ignored},
    SetOption{"UNDERLINE", 3, SetHandling::Ignored},
    SetOption{"VERIFY", 3, SetHandling::Ignored},
    SetOption{"WRAP", 3, SetHandling::Ignored},
    SetOption{"XMLOPTIMIZATIONCHECK", 4, SetHandling::Ignored},
    SetOption{"XQUERY", 6, SetHandling::Ignored},
};

const SetOption* setOptionNamed(const QString& word) {
    for (const SetOption& option : kSetOptions) {
        if (abbreviates(word, option.name, option.shortest))
            return &option;
    }
    return nullptr;
}

// ON, OFF or one non-alphanumeric character, as SQLTERMINATOR and
// BLOCKTERMINATOR take them. Nothing for anything else.
std::optional<QChar> terminatorValue(const QString& value, QChar byDefault) {
    const QString upper = value.toUpper();
    if (upper == QLatin1String("ON"))
        return byDefault;
    if (upper == QLatin1String("OFF"))
        return QChar();
    if (value.size() == 1 && !value.front().isLetterOrNumber() && !value.front().isSpace())
        return value.front();
    return std::nullopt;
}

// A value as SQL*Plus shows it: RAW and BLOB bytes as hexadecimal digits,
// a whole number as its digits (the 15 a double holds, then zeros) up to 40
// characters rather than 1.8e+19.
QString cellText(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(value.toByteArray().toHex().toUpper());
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e39) {
            // d.dddddddddddddde+XX: 15 significant digits and the exponent.
            const QString e = QString::number(std::fabs(d), 'e', 14);
            const int at = int(e.indexOf(QLatin1Char('e')));
            QString digits = e.left(at).remove(QLatin1Char('.'));
            const int length = e.mid(at + 1).toInt() + 1;
            if (length >= digits.size()) {
                digits = digits.leftJustified(length, QLatin1Char('0'));
                return d < 0 ? QLatin1Char('-') + digits : digits;
            }
        }
    }
    return value.toString();
}

void printRows(oraobj::OraDatabase& db, const QString& sql, QTextStream& out) {
    const std::unique_ptr<oraobj::OraDynaset> rows = db.DbCreateDynaset(sql, 12);
    const short columns = rows->FieldsCount();
    while (!rows->EOF_()) {
        QStringList cells;
        for (short i = 0; i < columns; ++i)
            cells.append(cellText(rows->Fields(i).Value()));
        out << cells.join(QLatin1Char('\t')) << '\n';
        rows->DbMoveNext();
    }
}

// The text after the first word of `line`, leading blanks removed.
QString restOfLine(const QString& line) {
    const QString trimmed = line.trimmed();
    qsizetype i = 0;
    while (i < trimmed.size() && !trimmed.at(i).isSpace())
        ++i;
    return trimmed.mid(i).trimmed();
}

}  // namespace

ScriptRunner::ScriptRunner(oraobj::OraDatabase& db, QTextStream& out, QTextStream& err)
    : m_db(db), m_out(out), m_err(err) {}

int ScriptRunner::exitStatus() const {
    if (m_exitStatus)
        return *m_exitStatus;
    return m_statusFailed ? 1 : 0;
}

QString ScriptRunner::summary() const {
    return QStringLiteral("%1 %2 run, %3 failed.")
        .arg(m_run)
        .arg(m_run == 1 ? QStringLiteral("statement") : QStringLiteral("statements"))
        .arg(m_failed);
}

QString ScriptRunner::where(int line) const {
    if (m_frame.source.name.isEmpty())
        return QStringLiteral("line %1").arg(line);
    return QStringLiteral("line %1 of %2").arg(line).arg(m_frame.source.name);
}

void ScriptRunner::note(const QString& message, int line) {
    m_out.flush();
    m_err << "quorvel-sql: " << where(line) << ": " << message << '\n';
    m_err.flush();
}

void ScriptRunner::commandFailed(const QString& message, int line) {
    // A command that failed counts as a statement that failed.
    ++m_run;
    ++m_failed;
    m_statusFailed = true;
    m_out.flush();
    m_err << "ERROR at " << where(line) << ": " << message << '\n';
    m_err.flush();
}

void ScriptRunner::sqlFailed(const QString& message, int line) {
    ++m_failed;
    m_out.flush();
    m_err << "ERROR at " << where(line) << ": " << message << '\n';
    m_err.flush();
    if (m_onSqlError.exit) {
        settle(m_onSqlError.settlement.isEmpty() ? QStringLiteral("COMMIT")
                                                 : m_onSqlError.settlement);
        m_exitStatus = statusOf(m_onSqlError.status.isEmpty() ? QStringLiteral("FAILURE")
                                                              : m_onSqlError.status);
        return;
    }
    settle(m_onSqlError.settlement);
    if (!m_onSqlError.explicitContinue)
        m_statusFailed = true;
}

void ScriptRunner::settle(const QString& settlement) {
    if (settlement != QLatin1String("COMMIT") && settlement != QLatin1String("ROLLBACK"))
        return;
    try {
        m_db.DbExecuteSQL(settlement);
    } catch (const oraobj::OraError& error) {
        m_err << "quorvel-sql: " << settlement << ": " << error.description() << '\n';
    }
}

int ScriptRunner::statusOf(const QString& word) const {
    const QString upper = word.toUpper();
    if (upper == QLatin1String("SUCCESS"))
        return 0;
    if (upper == QLatin1String("FAILURE"))
        return 1;
    if (upper == QLatin1String("WARNING"))
        return 2;
    if (upper == QLatin1String("SQL.SQLCODE"))
        return m_lastErrorCode & 0xFF;
    bool isNumber = false;
    int value = word.toInt(&isNumber);
    if (!isNumber) {
        // A substitution variable holding the status.
        const std::optional<QString> defined = m_substitution.value(word);
        value = defined ? defined->trimmed().toInt(&isNumber) : 0;
    }
    // SQL*Plus exits with FAILURE for a status it cannot read.
    return isNumber ? (value & 0xFF) : 1;
}

void ScriptRunner::run(QTextStream& in, const ScriptSource& source, const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i)
        m_substitution.define(QString::number(i + 1), arguments.at(i));
    const Frame outer = m_frame;
    ScriptReader* const outerReader = m_reader;
    m_frame.source = source;
    ScriptReader reader;
    m_reader = &reader;
    while (!exited() && !in.atEnd()) {
        if (const std::optional<ScriptItem> item = reader.addLine(in.readLine()))
            runItem(*item);
    }
    if (!exited()) {
        if (const std::optional<ScriptItem> item = reader.finish())
            runItem(*item);
    }
    m_reader = outerReader;
    m_frame.source = outer.source;
    m_out.flush();
}

bool ScriptRunner::runFile(const QString& path, const QStringList& arguments) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        commandFailed(QStringLiteral("SP2-0310: unable to open file \"%1\"").arg(path), 0);
        return false;
    }
    QTextStream in(&file);
    run(in, {path, QFileInfo(path).absolutePath()}, arguments);
    return true;
}

void ScriptRunner::runItem(const ScriptItem& item) {
    switch (item.kind) {
        case ScriptItem::Kind::Command:
            runCommand(item.text, item.line);
            return;
        case ScriptItem::Kind::Sql:
        case ScriptItem::Kind::Block:
            runStatement(item.text, item.kind, item.line);
            return;
        case ScriptItem::Kind::Buffered:
            m_last = {item.text, ScriptItem::Kind::Sql, true};
            return;
        case ScriptItem::Kind::RunAgain:
            if (m_last.valid)
                runStatement(m_last.text, m_last.kind, item.line);
            return;
    }
}

void ScriptRunner::runStatement(const QString& text, ScriptItem::Kind kind, int line) {
    m_last = {text, kind, true};
    ++m_run;
    const Substitution::Result sql = m_substitution.substitute(text, true, m_ask);
    if (!sql.undefined.isEmpty()) {
        sqlFailed(QStringLiteral("substitution variable &%1 is not defined; nothing was run "
                                 "(DEFINE it first, or SET DEFINE OFF to keep \"&\" as text)")
                      .arg(sql.undefined.join(QStringLiteral(", &"))),
                  line);
        return;
    }
    try {
        const bool traced =
            m_autotrace.explain && kind == ScriptItem::Kind::Sql && isTraceable(sql.text);
        if (kind == ScriptItem::Kind::Sql && isQuery(sql.text)) {
            if (!(traced && m_autotrace.traceOnly))
                printRows(m_db, sql.text, m_out);
        } else {
            const qint32 rows = m_db.DbExecuteSQL(sql.text);
            printServerOutput();
            if (!m_feedback) {
            } else if (kind == ScriptItem::Kind::Block) {
                m_out << "PL/SQL procedure successfully completed.\n";
            } else {
                m_out << feedbackFor(sql.text, rows) << '\n';
            }
        }
        if (traced) {
            try {
                printAutotracePlan(sql.text);
            } catch (const oraobj::OraError& error) {
                note(QStringLiteral("no execution plan: %1").arg(error.description()), line);
            }
        }
        m_out.flush();
    } catch (const oraobj::OraError& error) {
        m_lastErrorCode = error.code();
        sqlFailed(error.description(), line);
    }
}

// SET AUTOT[RACE] {OFF | ON | TRACE[ONLY]} [EXP[LAIN]] [STAT[ISTICS]]. The
// plan is shown; the statistics (the session's counters of reads, redo
// and round trips) have no counterpart here, so a setting that asks only
// for them shows nothing and says so.
bool ScriptRunner::setAutotrace(const QStringList& values, int line) {
    if (values.isEmpty())
        return false;
    const QString mode = values.front().toUpper();
    Autotrace wanted;
    if (mode == QLatin1String("OFF")) {
        m_autotrace = {};
        return true;
    }
    if (mode == QLatin1String("ON"))
        wanted.traceOnly = false;
    else if (abbreviates(mode, "TRACEONLY", 5))
        wanted.traceOnly = true;
    else
        return false;
    bool explain = false;
    bool statistics = false;
    for (qsizetype i = 1; i < values.size(); ++i) {
        const QString word = values.at(i).toUpper();
        if (abbreviates(word, "EXPLAIN", 3))
            explain = true;
        else if (abbreviates(word, "STATISTICS", 4))
            statistics = true;
        else
            return false;
    }
    if (!explain && !statistics)
        explain = statistics = true;
    if (statistics)
        note(QStringLiteral("SET AUTOTRACE STATISTICS is not supported by quorvel-sql: the "
                            "execution plan only"),
             line);
    wanted.explain = explain;
    m_autotrace = wanted;
    return true;
}

// The plan of a statement just run (or, for a query under TRACEONLY, not
// run), as SQL*Plus shows it: explained under an id of its own, printed
// by DBMS_XPLAN.DISPLAY and its rows deleted again.
void ScriptRunner::printAutotracePlan(const QString& sql) {
    const QString id = QStringLiteral("QUORVEL_AUTOTRACE");
    m_db.DbExecuteSQL(QStringLiteral("EXPLAIN PLAN SET STATEMENT_ID = '%1' FOR %2").arg(id, sql));
    QStringList lines;
    try {
        const std::unique_ptr<oraobj::OraDynaset> plan = m_db.DbCreateDynaset(
            QStringLiteral("SELECT plan_table_output FROM TABLE(DBMS_XPLAN.DISPLAY("
                           "'PLAN_TABLE', '%1', 'TYPICAL'))")
                .arg(id),
            12);
        for (; !plan->EOF_(); plan->DbMoveNext())
            lines.append(plan->Fields(0).Value().toString());
    } catch (const oraobj::OraError&) {
        m_db.DbExecuteSQL(
            QStringLiteral("DELETE FROM PLAN_TABLE WHERE statement_id = '%1'").arg(id));
        throw;
    }
    m_db.DbExecuteSQL(QStringLiteral("DELETE FROM PLAN_TABLE WHERE statement_id = '%1'").arg(id));
    m_out << "\nExecution Plan\n" << QString(58, QLatin1Char('-')) << '\n';
    for (const QString& l : lines)
        m_out << l << '\n';
    m_out << '\n';
}

// SET SERVEROUTPUT ON|OFF [SIZE n|UNLIMITED] [FORMAT ...]: enables or
// disables DBMS_OUTPUT as SQL*Plus does, by a call of DBMS_OUTPUT.ENABLE
// or DISABLE. The size and format words are taken and have no effect.
bool ScriptRunner::setServerOutput(const QStringList& values) {
    const QString word = values.isEmpty() ? QString() : values.front().toUpper();
    if (word != QLatin1String("ON") && word != QLatin1String("OFF"))
        return false;
    const bool on = word == QLatin1String("ON");
    try {
        m_db.ExecuteSQL(on ? QStringLiteral("BEGIN DBMS_OUTPUT.ENABLE(NULL); END;")
                           : QStringLiteral("BEGIN DBMS_OUTPUT.DISABLE; END;"));
    } catch (const oraobj::OraError& error) {
        m_err << error.description() << '\n';
        m_err.flush();
        return true;
    }
    m_serverOutput = on;
    return true;
}

// The lines DBMS_OUTPUT holds after a call, as SQL*Plus prints them.
void ScriptRunner::printServerOutput() {
    if (!m_serverOutput)
        return;
    for (const QString& line : m_db.TakeServerOutput())
        m_out << line << '\n';
}

void ScriptRunner::runCommand(const QString& rawLine, int line) {
    const std::optional<Command> command = commandOf(rawLine);
    if (!command || *command == Command::Remark)
        return;
    QString text = rawLine;
    const Substitution::Result substituted = m_substitution.substitute(rawLine, false, m_ask);
    if (!substituted.undefined.isEmpty()) {
        commandFailed(QStringLiteral("substitution variable &%1 is not defined")
                          .arg(substituted.undefined.join(QStringLiteral(", &"))),
                      line);
        return;
    }
    text = substituted.text;
    const QStringList words = commandWords(commandArgument(text));
    const QString name = text.section(QLatin1Char(' '), 0, 0).toUpper();
    switch (*command) {
        case Command::Remark:
        case Command::Formatting:
            return;
        case Command::Prompt:
            m_out << restOfLine(text) << '\n';
            m_out.flush();
            return;
        case Command::Set:
            runSet(words, line);
            return;
        case Command::Show:
            runShow(words, line);
            return;
        case Command::Spool:
            if (words.isEmpty() || words.front().toUpper() == QLatin1String("OFF") ||
                words.front().toUpper() == QLatin1String("OUT"))
                return;
            note(
                QStringLiteral("SPOOL to a file is not supported; output stays on standard output"),
                line);
            return;
        case Command::Define:
            runDefine(commandArgument(text), line);
            return;
        case Command::Undefine:
            for (const QString& variable : words)
                m_substitution.undefine(variable);
            return;
        case Command::Whenever:
            runWhenever(words, line);
            return;
        case Command::Exit:
            runExit(words);
            return;
        case Command::Connect:
        case Command::Disconnect:
            note(QStringLiteral("%1 is not supported: the script stays connected to the database "
                                "quorvel-sql was started on")
                     .arg(name),
                 line);
            return;
        case Command::Start:
            runStart(text, line);
            return;
        case Command::Run:
            if (m_last.valid)
                runStatement(m_last.text, m_last.kind, line);
            return;
        case Command::Execute:
            runStatement(
                QStringLiteral("BEGIN ") + commandArgument(rawLine) + QStringLiteral("; END;"),
                ScriptItem::Kind::Block, line);
            return;
        case Command::Accept:
            runAccept(words, line);
            return;
        case Command::Describe:
            runDescribe(commandArgument(text), line);
            return;
        case Command::Other:
            note(QStringLiteral("the SQL*Plus command %1 is not supported by quorvel-sql; skipped")
                     .arg(name),
                 line);
            return;
    }
}

void ScriptRunner::runSet(const QStringList& words, int line) {
    // SET takes several options at once: SET ECHO OFF FEEDBACK OFF.
    qsizetype i = 0;
    while (i < words.size()) {
        const QString option = words.at(i++);
        QStringList values;
        while (i < words.size() && (values.isEmpty() || !setOptionNamed(words.at(i))))
            values.append(words.at(i++));
        if (!setOption(option, values, line))
            return;
    }
}

bool ScriptRunner::setOption(const QString& name, const QStringList& values, int line) {
    const SetOption* option = setOptionNamed(name);
    if (!option) {
        note(QStringLiteral("SP2-0735: unknown SET option beginning \"%1\"").arg(name), line);
        return false;
    }
    const QString value = values.isEmpty() ? QString() : values.front();
    bool understood = true;
    switch (option->handling) {
        case SetHandling::Define:
            understood = m_substitution.setDefine(value);
            break;
        case SetHandling::Scan:
            understood = (value.toUpper() == QLatin1String("ON") ||
                          value.toUpper() == QLatin1String("OFF")) &&
                         m_substitution.setDefine(value);
            break;
        case SetHandling::Concat:
            understood = m_substitution.setConcat(value);
            break;
        case SetHandling::Escape:
            understood = m_substitution.setEscape(value);
            break;
        case SetHandling::SqlTerminator:
        case SetHandling::BlockTerminator: {
            const bool sql = option->handling == SetHandling::SqlTerminator;
            const std::optional<QChar> terminator =
                terminatorValue(value, QLatin1Char(sql ? ';' : '.'));
            understood = terminator.has_value() && m_reader;
            if (understood && sql)
                m_reader->setSqlTerminator(*terminator);
            else if (understood)
                m_reader->setBlockTerminator(*terminator);
            break;
        }
        case SetHandling::Feedback: {
            const QString upper = value.toUpper();
            bool isNumber = false;
            const int count = value.toInt(&isNumber);
            if (upper == QLatin1String("ON") || (isNumber && count > 0))
                m_feedback = true;
            else if (upper == QLatin1String("OFF") || (isNumber && count == 0))
                m_feedback = false;
            else
                understood = false;
            break;
        }
        case SetHandling::ServerOutput:
            understood = setServerOutput(values);
            break;
        case SetHandling::Autotrace:
            understood = setAutotrace(values, line);
            break;
        case SetHandling::Ignored:
            break;
        case SetHandling::Reported:
            if (value.toUpper() != QLatin1String("OFF"))
                note(QStringLiteral("SET %1 is not supported by quorvel-sql; ignored")
                         .arg(QString::fromLatin1(option->name)),
                     line);
            break;
    }
    if (!understood)
        note(QStringLiteral("SET %1 does not take \"%2\"; ignored")
                 .arg(QString::fromLatin1(option->name), values.join(QLatin1Char(' '))),
             line);
    return understood;
}

void ScriptRunner::runShow(const QStringList& words, int line) {
    const QString what = words.isEmpty() ? QString() : words.front().toUpper();
    if (what == QLatin1String("USER")) {
        m_out << "USER is \"" << m_user.toUpper() << "\"\n";
        return;
    }
    if (abbreviates(what, "ERRORS", 3))
        return;  // no stored program is compiled here, so there are none
    note(QStringLiteral("SHOW %1 is not supported by quorvel-sql").arg(what), line);
}

void ScriptRunner::runDescribe(const QString& object, int line) {
    if (object.isEmpty()) {
        commandFailed(QStringLiteral("SP2-0565: Illegal identifier."), line);
        return;
    }
    ++m_run;
    try {
        const std::unique_ptr<oraobj::OraDynaset> rows =
            m_db.DbCreateDynaset(describeQuery(object), 12);
        QList<DescribedColumn> columns;
        for (; !rows->EOF_(); rows->DbMoveNext())
            columns.append(
                {rows->Fields(0).Value().toString(),
                 rows->Fields(1).Value().toString() == QLatin1String("N"),
                 describedType(rows->Fields(2).Value().toString(), rows->Fields(3).Value(),
                               rows->Fields(4).Value(), rows->Fields(5).Value())});
        if (columns.isEmpty()) {
            sqlFailed(QStringLiteral("ORA-04043: object %1 does not exist").arg(object), line);
            return;
        }
        m_out << describeLayout(columns);
        m_out.flush();
    } catch (const oraobj::OraError& error) {
        m_lastErrorCode = error.code();
        sqlFailed(error.description(), line);
    }
}

void ScriptRunner::runDefine(const QString& argument, int line) {
    if (argument.isEmpty()) {
        const QMap<QString, QString>& all = m_substitution.variables();
        for (auto it = all.constBegin(); it != all.constEnd(); ++it)
            m_out << "DEFINE " << it.key() << " = \"" << it.value() << "\" (CHAR)\n";
        return;
    }
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (equals < 0) {
        const QString name = argument.trimmed();
        if (const std::optional<QString> value = m_substitution.value(name))
            m_out << "DEFINE " << name.toUpper() << " = \"" << *value << "\" (CHAR)\n";
        else
            note(QStringLiteral("SP2-0135: symbol %1 is UNDEFINED").arg(name.toLower()), line);
        return;
    }
    const QString name = argument.left(equals).trimmed();
    const QStringList value = commandWords(argument.mid(equals + 1));
    if (name.isEmpty() || name.contains(QLatin1Char(' '))) {
        commandFailed(QStringLiteral("DEFINE needs one variable name before \"=\""), line);
        return;
    }
    // The value is one word, or the quoted text with its blanks.
    m_substitution.define(name, value.isEmpty() ? QString() : value.front());
}

void ScriptRunner::runWhenever(const QStringList& words, int line) {
    const QString kind = words.isEmpty() ? QString() : words.front().toUpper();
    if (kind != QLatin1String("SQLERROR") && kind != QLatin1String("OSERROR")) {
        commandFailed(QStringLiteral("WHENEVER takes SQLERROR or OSERROR"), line);
        return;
    }
    Action action;
    const QString verb = words.size() > 1 ? words.at(1).toUpper() : QString();
    if (verb == QLatin1String("EXIT")) {
        action.exit = true;
        for (qsizetype i = 2; i < words.size(); ++i) {
            const QString word = words.at(i).toUpper();
            if (word == QLatin1String("COMMIT") || word == QLatin1String("ROLLBACK"))
                action.settlement = word;
            else
                action.status = words.at(i);
        }
    } else if (verb == QLatin1String("CONTINUE")) {
        action.explicitContinue = true;
        if (words.size() > 2)
            action.settlement = words.at(2).toUpper();
    } else {
        commandFailed(QStringLiteral("WHENEVER %1 takes EXIT or CONTINUE").arg(kind), line);
        return;
    }
    (kind == QLatin1String("SQLERROR") ? m_onSqlError : m_onOsError) = action;
}

void ScriptRunner::runExit(const QStringList& words) {
    QString status = QStringLiteral("SUCCESS");
    QString settlement = QStringLiteral("COMMIT");
    for (const QString& word : words) {
        const QString upper = word.toUpper();
        if (upper == QLatin1String("COMMIT") || upper == QLatin1String("ROLLBACK"))
            settlement = upper;
        else
            status = word;
    }
    settle(settlement);
    // A bare EXIT after failed statements still reports them.
    m_exitStatus = words.isEmpty() && m_statusFailed ? 1 : statusOf(status);
}

void ScriptRunner::runAccept(const QStringList& words, int line) {
    if (words.isEmpty()) {
        commandFailed(QStringLiteral("ACCEPT needs a variable name"), line);
        return;
    }
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if (abbreviates(words.at(i), "DEFAULT", 3)) {
            m_substitution.define(words.front(), words.at(i + 1));
            return;
        }
    }
    if (m_ask) {
        if (const std::optional<QString> value = m_ask(words.front())) {
            m_substitution.define(words.front(), *value);
            return;
        }
    }
    note(QStringLiteral("ACCEPT %1: no value to read (the script is the input) and no DEFAULT; "
                        "the variable stays undefined")
             .arg(words.front()),
         line);
}

void ScriptRunner::runStart(const QString& text, int line) {
    const QString trimmed = text.trimmed();
    const bool nested = trimmed.startsWith(QLatin1String("@@"));
    QStringList words = commandWords(commandArgument(trimmed));
    if (words.isEmpty()) {
        commandFailed(QStringLiteral("SP2-1506: START, @ or @@ needs a file name"), line);
        return;
    }
    QString file = words.takeFirst();
    if (QFileInfo(file).suffix().isEmpty() && !file.endsWith(QLatin1Char('.')))
        file += QStringLiteral(".sql");
    // "@@" looks beside the calling script; "@" and START in the working
    // folder, then beside the calling script as well.
    const QString folder = m_frame.source.folder;
    QString path = file;
    if (QFileInfo(file).isRelative()) {
        const QString beside = folder.isEmpty() ? file : QDir(folder).filePath(file);
        if (nested || !QFileInfo::exists(file))
            path = beside;
    }
    runScript(path, file, words, line);
}

void ScriptRunner::runScript(const QString& path, const QString& shownName,
                             const QStringList& arguments, int line) {
    if (m_frame.depth + 1 >= kMaxScriptDepth) {
        commandFailed(
            QStringLiteral("SP2-0309: SQL*Plus command procedures may only be nested to a depth "
                           "of %1")
                .arg(kMaxScriptDepth),
            line);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        commandFailed(QStringLiteral("SP2-0310: unable to open file \"%1\"").arg(shownName), line);
        if (m_onOsError.exit) {
            settle(m_onOsError.settlement);
            m_exitStatus = statusOf(m_onOsError.status.isEmpty() ? QStringLiteral("FAILURE")
                                                                 : m_onOsError.status);
        }
        return;
    }
    QTextStream in(&file);
    ++m_frame.depth;
    run(in, {shownName, QFileInfo(path).absolutePath()}, arguments);
    --m_frame.depth;
}

int runConsole(const Invocation& invocation, QTextStream& in, QTextStream& out, QTextStream& err) {
    std::shared_ptr<oraobj::OraDatabase> db;
    const Logon& logon = invocation.logon;
    try {
        const QString connect = logon.user + QLatin1Char('/') + logon.password;
        db = oraobj::CreateObject(QStringLiteral("OracleInProcServer.XOraSession"))
                 ->DbOpenDatabase(logon.host, connect, 3);
    } catch (const oraobj::OraError& error) {
        err << "quorvel-sql: cannot log on: " << error.description() << '\n';
        err.flush();
        return 1;
    }

    ScriptRunner runner(*db, out, err);
    runner.setUser(logon.user);
    // Standard input that is a terminal and not the script answers for
    // undefined variables, as SQL*Plus asks "Enter value for ...".
    if (!invocation.script.isEmpty() && ::isatty(STDIN_FILENO)) {
        runner.setAsk([&in, &out](const QString& name) -> std::optional<QString> {
            out << "Enter value for " << name.toLower() << ": ";
            out.flush();
            if (in.atEnd())
                return std::nullopt;
            return in.readLine();
        });
    }
    if (invocation.script.isEmpty())
        runner.run(in, {}, invocation.scriptArguments);
    else
        runner.runFile(invocation.script, invocation.scriptArguments);
    int status = runner.exitStatus();
    try {
        db->Close();
    } catch (const oraobj::OraError& error) {
        err << "quorvel-sql: " << error.description() << '\n';
        status = status == 0 ? 1 : status;
    }
    err << "quorvel-sql: " << runner.summary() << '\n';
    err.flush();
    return status;
}

}  // namespace console
