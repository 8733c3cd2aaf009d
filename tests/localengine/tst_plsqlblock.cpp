// Anonymous blocks of SQL statements: what is taken from them, what is
// refused before anything runs, and how they run (all or nothing).

#include "EngineTestUtil.h"
#include "LocalEngine.h"
#include "PlsqlBlock.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;
using enginetest::firstColumn;

class TestPlsqlBlock : public QObject {
    Q_OBJECT

private slots:
    void init();
    void statementsOfABlock_data();
    void statementsOfABlock();
    void refusals_data();
    void refusals();
    void allOrNothing();
    void errorsIgnoredByTheHandler();
    void executeImmediateRunsDdl();
    void commitWaitsForTheEnd();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;
};

void TestPlsqlBlock::init() {
    m_db.reset();
    const QString path = m_dir.filePath("blocks.db");
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_db = Connection::open(path.toStdString(), "scott");
    m_db->execute("CREATE TABLE regions (region_id NUMBER PRIMARY KEY, region_name VARCHAR2(25))");
}

void TestPlsqlBlock::statementsOfABlock_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<QStringList>("statements");  // "line: sql"
    QTest::addColumn<bool>("commits");
    QTest::addColumn<bool>("ignoresErrors");

    QTest::newRow("inserts and a commit")
        << "BEGIN\n  INSERT INTO regions VALUES (1, 'Europe; West');\n  INSERT INTO regions\n"
           "    VALUES (2, 'Americas');\n  COMMIT;\nEND;"
        << QStringList{"2: INSERT INTO regions VALUES (1, 'Europe; West')",
                       "3: INSERT INTO regions\n    VALUES (2, 'Americas')"}
        << true << false;
    QTest::newRow("empty DECLARE, NULL, nested block, label after END")
        << "DECLARE\nBEGIN\n NULL;\n BEGIN\n  DELETE FROM regions;\n END;\n "
           "UPDATE regions SET region_name = (SELECT 'x' FROM dual);\nEND main;"
        << QStringList{"5: DELETE FROM regions",
                       "7: UPDATE regions SET region_name = (SELECT 'x' FROM dual)"}
        << false << false;
    QTest::newRow("EXECUTE IMMEDIATE of a literal, errors ignored")
        << "BEGIN\n  EXECUTE IMMEDIATE 'DROP TABLE old_regions';\nEXCEPTION\n  WHEN OTHERS THEN "
           "NULL;\nEND;"
        << QStringList{"2: DROP TABLE old_regions"} << false << true;
}

void TestPlsqlBlock::statementsOfABlock() {
    QFETCH(QString, block);
    QVERIFY(isAnonymousBlock(block.toStdString()));
    const PlsqlBlock read = readPlsqlBlock(block.toStdString());
    QStringList statements;
    for (const BlockStatement& s : read.statements)
        statements << QString::number(s.line) + ": " + QString::fromStdString(s.sql);
    QTEST(statements, "statements");
    QTEST(read.commits, "commits");
    QTEST(read.ignoresErrors, "ignoresErrors");
}

void TestPlsqlBlock::refusals_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("named");
    const QString insert = "INSERT INTO regions VALUES (1, 'Europe');\n";
    QTest::newRow("variables") << "DECLARE\n  n NUMBER;\nBEGIN\n" + insert + "END;"
                               << "declarations (N)";
    QTest::newRow("assignment") << "BEGIN\n" + insert + "  x := 1;\nEND;"
                                << "assignment to X";
    QTest::newRow("loop") << "BEGIN\n" + insert + "  FOR i IN 1..3 LOOP NULL; END LOOP;\nEND;"
                          << "FOR statements";
    QTest::newRow("procedure call") << "BEGIN\n" + insert + "  dbms_output.put_line('done');\nEND;"
                                    << "the call of DBMS_OUTPUT.PUT_LINE";
    QTest::newRow("SELECT INTO") << "BEGIN\n  SELECT 1 INTO x FROM dual;\n" + insert + "END;"
                                 << "SELECT ... INTO";
    QTest::newRow("other handlers")
        << "BEGIN\n" + insert + "EXCEPTION WHEN DUP_VAL_ON_INDEX THEN NULL;\nEND;"
        << "EXCEPTION handler";
    QTest::newRow("dynamic text") << "BEGIN\n" + insert + "  EXECUTE IMMEDIATE 'DROP ' || t;\nEND;"
                                  << "EXECUTE IMMEDIATE of anything but one literal";
    QTest::newRow("ROLLBACK") << "BEGIN\n" + insert + "  ROLLBACK;\nEND;"
                              << "ROLLBACK statements";
    QTest::newRow("missing END") << "BEGIN\n" + insert << "without its END";
}

void TestPlsqlBlock::refusals() {
    QFETCH(QString, block);
    QFETCH(QString, named);
    try {
        m_db->execute(block.toStdString());
        QFAIL("the block ran");
    } catch (const EngineError& error) {
        const QString message = QString::fromUtf8(error.what());
        QVERIFY2(message.startsWith("ORA-03001: unimplemented feature: "), qPrintable(message));
        QVERIFY2(message.contains(named), qPrintable(message));
    }
    // The insert before the refused part did not run.
    QCOMPARE(firstColumn(*m_db, "SELECT COUNT(*) FROM regions"), QStringList{"0"});
}

void TestPlsqlBlock::allOrNothing() {
    QCOMPARE(m_db->execute("BEGIN\n INSERT INTO regions VALUES (1, 'Europe');\n"
                           " INSERT INTO regions VALUES (2, 'Americas');\nEND;"),
             std::int64_t{2});
    try {
        m_db->execute(
            "BEGIN\n INSERT INTO regions VALUES (3, 'Asia');\n"
            " UPDATE regions SET region_name = 'X';\n"
            " INSERT INTO regions VALUES (1, 'Again');\nEND;");
        QFAIL("a duplicate key went through");
    } catch (const EngineError& error) {
        QVERIFY2(QString(error.what()).endsWith("\nORA-06512: at line 4"), error.what());
    }
    QCOMPARE(firstColumn(*m_db, "SELECT region_name FROM regions ORDER BY region_id"),
             (QStringList{"Europe", "Americas"}));
}

void TestPlsqlBlock::errorsIgnoredByTheHandler() {
    // What ran before the failure stays; the block succeeds.
    m_db->execute(
        "BEGIN\n INSERT INTO regions VALUES (1, 'Europe');\n"
        " INSERT INTO regions VALUES (1, 'Again');\n INSERT INTO regions VALUES (2, 'x');\n"
        "EXCEPTION WHEN OTHERS THEN NULL;\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT region_name FROM regions"), QStringList{"Europe"});
    // The usual "drop it if it is there".
    m_db->execute(
        "BEGIN EXECUTE IMMEDIATE 'DROP TABLE no_such_table'; "
        "EXCEPTION WHEN OTHERS THEN NULL; END;");
}

void TestPlsqlBlock::executeImmediateRunsDdl() {
    m_db->execute(
        "BEGIN\n EXECUTE IMMEDIATE 'CREATE TABLE countries (id NUMBER)';\n"
        " INSERT INTO countries VALUES (7);\nEND;");
    QCOMPARE(firstColumn(*m_db, "SELECT id FROM countries"), QStringList{"7"});
    // A failure takes the table back out as well.
    QVERIFY_THROWS_EXCEPTION(
        EngineError, m_db->execute("BEGIN\n EXECUTE IMMEDIATE 'CREATE TABLE more (id NUMBER)';"
                                   "\n INSERT INTO more VALUES ('x', 'y');\nEND;"));
    QVERIFY_THROWS_EXCEPTION(EngineError, m_db->query("SELECT id FROM more"));
}

void TestPlsqlBlock::commitWaitsForTheEnd() {
    // A failure after a COMMIT in the block still leaves nothing behind.
    QVERIFY_THROWS_EXCEPTION(
        EngineError, m_db->execute("BEGIN\n INSERT INTO regions VALUES (1, 'Europe');\n"
                                   " COMMIT;\n INSERT INTO regions VALUES (1, 'Dup');\nEND;"));
    QCOMPARE(firstColumn(*m_db, "SELECT COUNT(*) FROM regions"), QStringList{"0"});
}

QTEST_GUILESS_MAIN(TestPlsqlBlock)
#include "tst_plsqlblock.moc"
