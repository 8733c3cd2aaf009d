#pragma once
// quorvel-sql: runs SQL*Plus scripts through the session component. The
// ScriptReader splits a script into commands and statements; the
// ScriptRunner carries out the commands, substitutes variables, runs the
// statements, prints query rows, rows processed and errors, and keeps the
// counts for the summary and the exit status.

#include "ConsoleArgs.h"
#include "ScriptReader.h"
#include "Substitution.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace oraobj {
class OraDatabase;
}

namespace console {

// Where the lines of a script come from.
struct ScriptSource {
    QString name;    // as the user wrote it; empty for standard input
    QString folder;  // where "@@" looks; empty: the working folder
};

class ScriptRunner {
public:
    ScriptRunner(oraobj::OraDatabase& db, QTextStream& out, QTextStream& err);

    // How an undefined substitution variable gets a value; without it an
    // undefined variable is an error for its statement.
    void setAsk(Substitution::Ask ask) { m_ask = std::move(ask); }
    // The user SHOW USER names.
    void setUser(const QString& user) { m_user = user; }

    // Runs the script read from `in`. `arguments` become &1, &2, ...
    void run(QTextStream& in, const ScriptSource& source, const QStringList& arguments = {});
    // Runs the script file at `path` as `@path` would; false (after a
    // message) when it cannot be read.
    bool runFile(const QString& path, const QStringList& arguments = {});

    // True once EXIT or WHENEVER ... EXIT has ended the run.
    bool exited() const { return m_exitStatus.has_value(); }
    // 0 when every statement succeeded, 1 after a failure that no
    // WHENEVER SQLERROR CONTINUE covered, or the status EXIT asked for.
    int exitStatus() const;
    int statementsRun() const { return m_run; }
    int statementsFailed() const { return m_failed; }
    // "N statements run, M failed."
    QString summary() const;

private:
    struct Frame {
        ScriptSource source;
        int depth = 0;
    };
    struct Action {  // what WHENEVER asks for after an error
        bool exit = false;
        bool explicitContinue = false;
        QString status;      // EXIT's status word or number
        QString settlement;  // COMMIT, ROLLBACK or NONE
    };
    struct Remembered {
        QString text;
        ScriptItem::Kind kind = ScriptItem::Kind::Sql;
        bool valid = false;
    };

    void runItem(const ScriptItem& item);
    void runStatement(const QString& text, ScriptItem::Kind kind, int line);
    void runCommand(const QString& line, int lineNumber);
    void runSet(const QStringList& words, int line);
    bool setOption(const QString& option, const QStringList& values, int line);
    bool setServerOutput(const QStringList& values);
    void printServerOutput();
    void runDefine(const QString& argument, int line);
    void runWhenever(const QStringList& words, int line);
    void runExit(const QStringList& words);
    void runStart(const QString& line, int lineNumber);
    void runAccept(const QStringList& words, int line);
    void runShow(const QStringList& words, int line);
    void runDescribe(const QString& object, int line);
    bool setAutotrace(const QStringList& values, int line);
    void printAutotracePlan(const QString& sql);
    void runScript(const QString& path, const QString& shownName, const QStringList& arguments,
                   int line);

    void sqlFailed(const QString& message, int line);
    void commandFailed(const QString& message, int line);
    void note(const QString& message, int line);
    QString where(int line) const;
    int statusOf(const QString& word) const;
    void settle(const QString& settlement);

    oraobj::OraDatabase& m_db;
    QTextStream& m_out;
    QTextStream& m_err;
    Substitution m_substitution;
    Substitution::Ask m_ask;
    QString m_user;
    ScriptReader* m_reader = nullptr;  // the script being read
    Frame m_frame;
    Remembered m_last;
    bool m_feedback = true;
    bool m_serverOutput = false;  // SET SERVEROUTPUT ON: DBMS_OUTPUT's lines are printed
    // SET AUTOTRACE: the plan after each SELECT, INSERT, UPDATE, DELETE or
    // MERGE; TRACEONLY leaves a query's rows unprinted (and the query unrun).
    struct Autotrace {
        bool explain = false;
        bool traceOnly = false;
    } m_autotrace;
    Action m_onSqlError;
    Action m_onOsError;
    std::optional<int> m_exitStatus;
    bool m_statusFailed = false;
    int m_run = 0;
    int m_failed = 0;
    int m_lastErrorCode = 0;
};

// Opens the database named by `invocation.logon` and runs the script (the
// file named on the command line, else standard input). Prints the summary
// and returns the exit status.
int runConsole(const Invocation& invocation, QTextStream& in, QTextStream& out, QTextStream& err);

}  // namespace console
