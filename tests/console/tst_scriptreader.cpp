// How a script is cut into SQL*Plus commands, statements and blocks, how
// substitution variables are replaced, and what is said after a statement,
// without a database.

#include "Describe.h"
#include "Feedback.h"
#include "ScriptReader.h"
#include "SqlPlusCommands.h"
#include "Substitution.h"

#include <QtTest>

namespace {

QString kindName(console::ScriptItem::Kind kind) {
    using Kind = console::ScriptItem::Kind;
    switch (kind) {
        case Kind::Command:
            return QStringLiteral("cmd");
        case Kind::Sql:
            return QStringLiteral("sql");
        case Kind::Block:
            return QStringLiteral("block");
        case Kind::Buffered:
            return QStringLiteral("buffered");
        case Kind::RunAgain:
            return QStringLiteral("again");
    }
    return {};
}

// Each item as "kind@line: text", lines of the text joined with "|".
QStringList readAll(const QString& script) {
    console::ScriptReader reader;
    QStringList items;
    auto add = [&](const std::optional<console::ScriptItem>& item) {
        if (item)
            items.append(
                QStringLiteral("%1@%2: %3")
                    .arg(kindName(item->kind))
                    .arg(item->line)
                    .arg(QString(item->text).replace(QLatin1Char('\n'), QLatin1Char('|'))));
    };
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        add(reader.addLine(line));
    add(reader.finish());
    return items;
}

}  // namespace

class TestScriptReader : public QObject {
    Q_OBJECT

private slots:
    void items_data();
    void items();
    void terminatorsCanChange();
    void firstWordSkipsComments_data();
    void firstWordSkipsComments();
    void commands_data();
    void commands();
    void substitution_data();
    void substitution();
    void substitutionSettings();
    void askedValues();
    void feedback_data();
    void feedback();
    void describedTypes_data();
    void describedTypes();
    void describeLayoutAndQuery();
};

void TestScriptReader::items_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("SQL*Plus lines are never glued to the next statement")
        << "REM header\nPROMPT Creating\nSET ECHO OFF\nCREATE TABLE T (ID NUMBER);\n"
        << QStringList{"cmd@1: REM header", "cmd@2: PROMPT Creating", "cmd@3: SET ECHO OFF",
                       "sql@4: CREATE TABLE T (ID NUMBER)"};
    QTest::newRow("a SET line inside an UPDATE belongs to it")
        << "UPDATE T\nSET ID = 1\nWHERE ID = 2;\n"
        << QStringList{"sql@1: UPDATE T|SET ID = 1|WHERE ID = 2"};
    QTest::newRow("SET TRANSACTION is SQL") << "SET TRANSACTION READ ONLY;\n"
                                            << QStringList{"sql@1: SET TRANSACTION READ ONLY"};
    QTest::newRow("comments between statements are skipped")
        << "-- one;\n/* two;\n   three; */\n\nSELECT 1 FROM DUAL;\n"
        << QStringList{"sql@5: SELECT 1 FROM DUAL"};
    QTest::newRow("a comment before the first word stays with the statement")
        << "/* the query */ SELECT 1\nFROM DUAL;\n"
        << QStringList{"sql@1: /* the query */ SELECT 1|FROM DUAL"};
    QTest::newRow("a comment after the terminator does not hide it")
        << "SELECT 1 FROM DUAL; -- done\nSELECT 2 FROM DUAL; /* done */\n"
        << QStringList{"sql@1: SELECT 1 FROM DUAL", "sql@2: SELECT 2 FROM DUAL"};
    QTest::newRow("a semicolon in a comment or literal ends nothing")
        << "INSERT INTO T -- first;\nVALUES ('a;\nb;', 'it''s;');\n"
        << QStringList{"sql@1: INSERT INTO T -- first;|VALUES ('a;|b;', 'it''s;')"};
    QTest::newRow("q-quoted literal with quotes and semicolons")
        << "INSERT INTO T VALUES (q'[it's; ]' ||\nQ'{x;}');\n"
        << QStringList{"sql@1: INSERT INTO T VALUES (q'[it's; ]' |||Q'{x;}')"};
    QTest::newRow("a quoted name with a semicolon")
        << "SELECT 1 \"A;\nB\" FROM DUAL;\n"
        << QStringList{"sql@1: SELECT 1 \"A;|B\" FROM DUAL"};
    QTest::newRow("a slash line ends a statement; blank lines stay inside")
        << "SELECT 1\n\nFROM DUAL\n/\n"
        << QStringList{"sql@1: SELECT 1||FROM DUAL"};
    QTest::newRow("a block keeps its semicolons until the slash line")
        << "BEGIN\n  INSERT INTO T VALUES (1);\n\n  COMMIT;\nEND;\n/\nSELECT 1 FROM DUAL;\n"
        << QStringList{"block@1: BEGIN|  INSERT INTO T VALUES (1);||  COMMIT;|END;",
                       "sql@7: SELECT 1 FROM DUAL"};
    QTest::newRow("DECLARE and CREATE OR REPLACE PROCEDURE over lines are blocks")
        << "DECLARE\nBEGIN\n NULL;\nEND;\n/\nCREATE OR REPLACE\n  PROCEDURE P IS\nBEGIN\n "
           "NULL;\nEND;\n/\n"
        << QStringList{"block@1: DECLARE|BEGIN| NULL;|END;",
                       "block@6: CREATE OR REPLACE|  PROCEDURE P IS|BEGIN| NULL;|END;"};
    QTest::newRow("CREATE TABLE and CREATE OR REPLACE VIEW are not blocks")
        << "CREATE OR REPLACE VIEW V AS SELECT 1 X FROM DUAL;\nCREATE TABLE TYPES (ID NUMBER);\n"
        << QStringList{"sql@1: CREATE OR REPLACE VIEW V AS SELECT 1 X FROM DUAL",
                       "sql@2: CREATE TABLE TYPES (ID NUMBER)"};
    QTest::newRow("a slash with nothing collected runs the last statement again")
        << "SELECT 1 FROM DUAL;\n/\n"
        << QStringList{"sql@1: SELECT 1 FROM DUAL", "again@2: "};
    QTest::newRow("a period line ends a statement without running it")
        << "SELECT 1 FROM DUAL\n.\n"
        << QStringList{"buffered@1: SELECT 1 FROM DUAL"};
    QTest::newRow("an SQL*Plus command continues with a trailing hyphen")
        << "PROMPT one -\n  two\nSELECT 1 FROM DUAL;\n"
        << QStringList{"cmd@1: PROMPT one two", "sql@3: SELECT 1 FROM DUAL"};
    QTest::newRow("a REMARK ending in a hyphen does not swallow the next line")
        << "REM ---- -\nSELECT 1 FROM DUAL;\n"
        << QStringList{"cmd@1: REM ---- -", "sql@2: SELECT 1 FROM DUAL"};
    QTest::newRow("@, @@ and START lines are commands")
        << "@one.sql\n@@ two x y\nSTART three\nsta four;\n"
        << QStringList{"cmd@1: @one.sql", "cmd@2: @@ two x y", "cmd@3: START three",
                       "cmd@4: sta four;"};
    QTest::newRow("two statements on one line are one")
        << "SELECT 1 FROM DUAL; SELECT 2 FROM DUAL;\n"
        << QStringList{"sql@1: SELECT 1 FROM DUAL; SELECT 2 FROM DUAL"};
    QTest::newRow("the last statement runs without its terminator")
        << "PROMPT x\nSELECT 5 FROM DUAL"
        << QStringList{"cmd@1: PROMPT x", "sql@2: SELECT 5 FROM DUAL"};
    QTest::newRow("a statement starting on a comment's last line")
        << "/* a\n b */ SELECT 1 FROM DUAL;\n"
        << QStringList{"sql@2: SELECT 1 FROM DUAL"};
}

void TestScriptReader::items() {
    QFETCH(QString, script);
    QTEST(readAll(script), "items");
}

void TestScriptReader::terminatorsCanChange() {
    console::ScriptReader reader;
    reader.setSqlTerminator(QLatin1Char('!'));
    QVERIFY(!reader.addLine(QStringLiteral("SELECT ';' FROM DUAL;")));
    const std::optional<console::ScriptItem> item = reader.addLine(QStringLiteral("!"));
    QVERIFY(item);
    QCOMPARE(item->text, QStringLiteral("SELECT ';' FROM DUAL;"));

    reader.setSqlTerminator(QChar());  // OFF: only "/" ends a statement
    QVERIFY(!reader.addLine(QStringLiteral("SELECT 1 FROM DUAL;")));
    QVERIFY(reader.addLine(QStringLiteral("/")));
}

void TestScriptReader::firstWordSkipsComments_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("query");
    QTest::newRow("plain") << "select 1 from dual"
                           << "SELECT" << true;
    QTest::newRow("block comment") << "/* top ten */\nSELECT 1 FROM DUAL"
                                   << "SELECT" << true;
    QTest::newRow("line comments") << "-- a\n-- b\nWITH Q AS (SELECT 1 X FROM DUAL) SELECT * FROM Q"
                                   << "WITH" << true;
    QTest::newRow("parenthesised") << "((SELECT 1 FROM DUAL))"
                                   << "SELECT" << true;
    QTest::newRow("DML") << "/* c */ insert into t values (1)"
                         << "INSERT" << false;
}

void TestScriptReader::firstWordSkipsComments() {
    QFETCH(QString, statement);
    QTEST(console::firstWord(statement), "word");
    QTEST(console::isQuery(statement), "query");
}

void TestScriptReader::commands_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("command");  // -1: SQL
    using C = console::Command;
    QTest::newRow("REM") << "REM x" << int(C::Remark);
    QTest::newRow("REMARK") << "remark x" << int(C::Remark);
    QTest::newRow("PRO") << "pro text" << int(C::Prompt);
    QTest::newRow("PR is too short") << "PR text" << -1;
    QTest::newRow("DEF") << "DEF x = 1" << int(C::Define);
    QTest::newRow("UNDEF") << "UNDEF x" << int(C::Undefine);
    QTest::newRow("WHENEVER") << "WHENEVER SQLERROR EXIT" << int(C::Whenever);
    QTest::newRow("QUIT") << "QUIT" << int(C::Exit);
    QTest::newRow("EXEC") << "EXEC p" << int(C::Execute);
    QTest::newRow("@file") << "@x.sql" << int(C::Start);
    QTest::newRow("host shortcut") << "!ls" << int(C::Other);
    QTest::newRow("COL") << "COL NAME FORMAT A20" << int(C::Formatting);
    QTest::newRow("SET ROLE is SQL") << "SET ROLE ALL" << -1;
    QTest::newRow("DELETE is not DEL") << "DELETE FROM T" << -1;
    QTest::newRow("RENAME is not RUN") << "RENAME A TO B" << -1;
    QTest::newRow("STARTUP is not START") << "STARTUP" << int(C::Other);
    QTest::newRow("COMMIT is SQL") << "COMMIT" << -1;
    QTest::newRow("COMMENT is SQL") << "COMMENT ON TABLE T IS 'x'" << -1;
}

void TestScriptReader::commands() {
    QFETCH(QString, line);
    QFETCH(int, command);
    const std::optional<console::Command> found = console::commandOf(line);
    QCOMPARE(found ? int(*found) : -1, command);
}

void TestScriptReader::substitution_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sql");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QStringList>("undefined");
    // Defined for every row: TAB = EMP, NAME = King
    QTest::newRow("plain") << "SELECT * FROM &tab" << true << "SELECT * FROM EMP" << QStringList{};
    QTest::newRow("any case") << "SELECT * FROM &TaB" << true << "SELECT * FROM EMP"
                              << QStringList{};
    QTest::newRow("period ends the name and goes")
        << "SELECT &tab._ID FROM &tab..T" << true << "SELECT EMP_ID FROM EMP.T" << QStringList{};
    QTest::newRow("inside quotes too")
        << "WHERE N = '&name'" << true << "WHERE N = 'King'" << QStringList{};
    QTest::newRow("&& uses the value") << "&&tab" << false << "EMP" << QStringList{};
    QTest::newRow("& before a blank stays")
        << "SELECT 'A & B' FROM DUAL" << true << "SELECT 'A & B' FROM DUAL" << QStringList{};
    QTest::newRow("undefined is kept and named")
        << "VALUES ('R&D', '&x &x')" << true << "VALUES ('R&D', '&x &x')" << QStringList{"D", "X"};
    QTest::newRow("comments in a statement are left alone")
        << "SELECT 1 -- R&D\n/* &x */ FROM &tab" << true << "SELECT 1 -- R&D\n/* &x */ FROM EMP"
        << QStringList{};
    QTest::newRow("dashes in a literal are no comment")
        << "SELECT '--' || '&name' FROM DUAL" << true << "SELECT '--' || 'King' FROM DUAL"
        << QStringList{};
    QTest::newRow("a command is substituted whole")
        << "PROMPT -- &name" << false << "PROMPT -- King" << QStringList{};
}

void TestScriptReader::substitution() {
    QFETCH(QString, text);
    QFETCH(bool, sql);
    console::Substitution substitution;
    substitution.define(QStringLiteral("tab"), QStringLiteral("EMP"));
    substitution.define(QStringLiteral("NAME"), QStringLiteral("King"));
    const console::Substitution::Result result = substitution.substitute(text, sql);
    QTEST(result.text, "result");
    QTEST(result.undefined, "undefined");
}

void TestScriptReader::substitutionSettings() {
    console::Substitution substitution;
    substitution.define(QStringLiteral("x"), QStringLiteral("1"));
    QVERIFY(substitution.setDefine(QStringLiteral("OFF")));
    QCOMPARE(substitution.substitute(QStringLiteral("'&x'"), true).text, QStringLiteral("'&x'"));
    QVERIFY(substitution.setDefine(QStringLiteral("^")));
    QCOMPARE(substitution.substitute(QStringLiteral("&x ^x"), true).text, QStringLiteral("&x 1"));
    QVERIFY(substitution.setDefine(QStringLiteral("ON")));
    QVERIFY(substitution.setConcat(QStringLiteral("OFF")));
    QCOMPARE(substitution.substitute(QStringLiteral("&x."), true).text, QStringLiteral("1."));
    QVERIFY(substitution.setEscape(QStringLiteral("ON")));
    QCOMPARE(substitution.substitute(QStringLiteral("\\&x &x"), true).text, QStringLiteral("&x 1"));
    QVERIFY(!substitution.setDefine(QStringLiteral("ab")));
    QVERIFY(!substitution.setDefine(QStringLiteral("x")));
}

void TestScriptReader::askedValues() {
    console::Substitution substitution;
    QStringList asked;
    const console::Substitution::Ask ask = [&](const QString& name) -> std::optional<QString> {
        asked.append(name);
        return QStringLiteral("v") + QString::number(asked.size());
    };
    // "&" asks every time; "&&" asks once and keeps the answer.
    QCOMPARE(substitution.substitute(QStringLiteral("&a &a &&b &b &&b"), true, ask).text,
             QStringLiteral("v1 v2 v3 v3 v3"));
    QCOMPARE(asked, (QStringList{"a", "a", "b"}));
    QVERIFY(!substitution.value(QStringLiteral("a")));
}

// SQL*Plus's feedback lines, as its User's Guide shows them after each
// statement of its examples.
void TestScriptReader::feedback_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<QString>("feedback");
    auto add = [](const char* statement, qint64 rows, const char* feedback) {
        QTest::newRow(statement) << QString(statement) << rows << QString(feedback);
    };
    add("create table t (a number)", 0, "Table created.");
    add("CREATE GLOBAL TEMPORARY TABLE g (a NUMBER)", 0, "Table created.");
    add("create or replace force view v as select 1 a from dual", 0, "View created.");
    add("create unique index i on t (a)", 0, "Index created.");
    add("create sequence s", 0, "Sequence created.");
    add("create public synonym p for t", 0, "Synonym created.");
    add("/* first */ -- and\n create table t2 (a number)", 0, "Table created.");
    add("alter table t add (b number)", 0, "Table altered.");
    add("alter session set nls_date_format = 'YYYY-MM-DD'", 0, "Session altered.");
    add("drop table t purge", 0, "Table dropped.");
    add("drop index i", 0, "Index dropped.");
    add("truncate table t", 0, "Table truncated.");
    add("insert into t values (1)", 1, "1 row created.");
    add("insert into t select * from t", 0, "0 rows created.");
    add("update t set a = 2", 3, "3 rows updated.");
    add("delete from t", 1, "1 row deleted.");
    add("merge into t using s on (t.a = s.a) when matched then update set b = 1", 2,
        "2 rows merged.");
    add("commit", 0, "Commit complete.");
    add("rollback", 0, "Rollback complete.");
    add("savepoint a", 0, "Savepoint created.");
    add("explain plan for select * from t", 2, "Explained.");
    add("comment on table t is 'x'", 0, "Comment created.");
    add("analyze table t compute statistics", 0, "Table analyzed.");
    add("grant select on t to public", 0, "Grant succeeded.");
    add("create package body p as end;", 0, "Package body created.");
}
void TestScriptReader::feedback() {
    QFETCH(QString, statement);
    QFETCH(qint64, rows);
    QFETCH(QString, feedback);
    QCOMPARE(console::feedbackFor(statement, rows), feedback);
}

// DESCRIBE's types from the dictionary's columns, as the SQL*Plus User's
// Guide's examples show them (NUMBER(6), NUMBER(8,2), CHAR(2), VARCHAR2(25))
// and as the SQL Language Reference maps ANSI types (INTEGER as NUMBER(38)).
void TestScriptReader::describedTypes_data() {
    QTest::addColumn<QString>("dataType");
    QTest::addColumn<QVariant>("length");
    QTest::addColumn<QVariant>("precision");
    QTest::addColumn<QVariant>("scale");
    QTest::addColumn<QString>("shown");
    const QVariant none;
    QTest::newRow("NUMBER") << "NUMBER" << QVariant(22) << none << none << "NUMBER";
    QTest::newRow("NUMBER(6)") << "NUMBER" << QVariant(22) << QVariant(6) << QVariant(0)
                               << "NUMBER(6)";
    QTest::newRow("NUMBER(8,2)") << "NUMBER" << QVariant(22) << QVariant(8) << QVariant(2)
                                 << "NUMBER(8,2)";
    QTest::newRow("INTEGER") << "NUMBER" << QVariant(22) << none << QVariant(0) << "NUMBER(38)";
    QTest::newRow("FLOAT") << "FLOAT" << QVariant(22) << QVariant(126) << none << "FLOAT(126)";
    QTest::newRow("VARCHAR2") << "VARCHAR2" << QVariant(25) << none << none << "VARCHAR2(25)";
    QTest::newRow("CHAR") << "CHAR" << QVariant(2) << none << none << "CHAR(2)";
    QTest::newRow("RAW") << "RAW" << QVariant(16) << none << none << "RAW(16)";
    QTest::newRow("DATE") << "DATE" << QVariant(7) << none << none << "DATE";
    QTest::newRow("TIMESTAMP") << "TIMESTAMP(6)" << QVariant(11) << none << QVariant(6)
                               << "TIMESTAMP(6)";
    QTest::newRow("CLOB") << "CLOB" << none << none << none << "CLOB";
}
void TestScriptReader::describedTypes() {
    QFETCH(QString, dataType);
    QFETCH(QVariant, length);
    QFETCH(QVariant, precision);
    QFETCH(QVariant, scale);
    QFETCH(QString, shown);
    QCOMPARE(console::describedType(dataType, length, precision, scale), shown);
}

// The layout of the SQL*Plus User's Guide's DESCRIBE example, line by line.
void TestScriptReader::describeLayoutAndQuery() {
    const QString layout = console::describeLayout(
        {{"EMPLOYEE_ID", true, "NUMBER(6)"}, {"MANAGER_ID", false, "NUMBER(6)"}});
    QCOMPARE(layout.split('\n'),
             (QStringList{" Name                                      Null?    Type",
                          " ----------------------------------------- -------- ----------------",
                          " EMPLOYEE_ID                               NOT NULL NUMBER(6)",
                          " MANAGER_ID                                         NUMBER(6)", ""}));
    // the name as the dictionary keeps it, quotes doubled in the literal
    QVERIFY(console::describeQuery("emp").contains("table_name = 'EMP'"));
    QVERIFY(console::describeQuery("scott.emp;").contains("table_name = 'EMP'"));
    QVERIFY(console::describeQuery("\"Mixed.Case\"").contains("table_name = 'Mixed.Case'"));
    QVERIFY(console::describeQuery("o'x").contains("table_name = 'O''X'"));
}

QTEST_GUILESS_MAIN(TestScriptReader)
#include "tst_scriptreader.moc"
