// RAW and LOB values through the engine's face: the conversion functions,
// the DBMS_LOB and UTL_RAW functions users call on them, and character
// data written into or compared with a RAW column. Expected values follow
// Oracle's SQL Language Reference (HEXTORAW, RAWTOHEX, TO_CLOB) and its
// PL/SQL Packages and Types Reference (DBMS_LOB, UTL_RAW).

#include "EngineTestUtil.h"
#include "LocalEngine.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace localengine;

class TestLobsAndRaw : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;

    // The first column of the first row, "<null>" for NULL; a failure as
    // its message.
    QString value(const QString& sql) {
        try {
            const ResultTable t = m_db->query(sql.toStdString());
            if (t.rows.empty())
                return QStringLiteral("<no rows>");
            return enginetest::cellText(t.rows.front().front());
        } catch (const EngineError& e) {
            return QString::fromUtf8(e.what());
        }
    }

private slots:
    void initTestCase() {
        const QString path = m_dir.filePath("lobs.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_db = Connection::open(path.toStdString(), "scott");
        m_db->execute("CREATE TABLE test (raw_col RAW(10))");
        m_db->execute("INSERT INTO test VALUES (HEXTORAW('7D'))");
        m_db->execute("CREATE TABLE docs (id NUMBER PRIMARY KEY, body CLOB, bin BLOB, tag RAW(4))");
        m_db->execute(
            "INSERT INTO docs VALUES (1, 'h\xc3\xa9llo world', HEXTORAW('00FF10FF'), '0a0b')");
        m_db->execute("INSERT INTO docs VALUES (2, EMPTY_CLOB(), EMPTY_BLOB(), NULL)");
    }

    void values_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        auto add = [](const char* name, const char* sql, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(sql) << QString::fromUtf8(expected);
        };
        // HEXTORAW and RAWTOHEX
        add("raw column written with HEXTORAW", "select rawtohex(raw_col) from test", "7D");
        add("HEXTORAW read back as characters",
            "select utl_raw.cast_to_varchar2(hextoraw('4041424344')) from dual", "@ABCD");
        add("lowercase digits", "select rawtohex(hextoraw('7d')) from dual", "7D");
        add("HEXTORAW of a bad digit", "select hextoraw('7G') from dual",
            "ORA-01465: invalid hex number");
        add("HEXTORAW of NULL", "select hextoraw(null) from dual", "<null>");
        // UTL_RAW
        add("CAST_TO_RAW keeps the bytes", "select rawtohex(utl_raw.cast_to_raw('abc')) from dual",
            "616263");
        add("CAST_TO_VARCHAR2 reads characters as hex digits",
            "select utl_raw.cast_to_varchar2('616263') from dual", "abc");
        add("LENGTH in bytes", "select utl_raw.length(hextoraw('0A0B0C')) from dual", "3");
        add("CONCAT skips NULL",
            "select rawtohex(utl_raw.concat(hextoraw('0A'), null, hextoraw('0B'))) from dual",
            "0A0B");
        add("owner-qualified package", "select sys.utl_raw.length(hextoraw('0A')) from dual", "1");
        // DBMS_LOB over CLOB and BLOB
        add("GETLENGTH of a CLOB counts characters",
            "select dbms_lob.getlength(body) from docs where id = 1", "11");
        add("GETLENGTH of a BLOB counts bytes",
            "select dbms_lob.getlength(bin) from docs where id = 1", "4");
        add("GETLENGTH of an empty LOB", "select dbms_lob.getlength(body) from docs where id = 2",
            "0");
        add("an empty LOB is not NULL", "select count(*) from docs where body is null", "0");
        add("GETLENGTH of NULL", "select dbms_lob.getlength(null) from dual", "<null>");
        add("SUBSTR takes the amount before the offset",
            "select dbms_lob.substr(body, 5, 7) from docs where id = 1", "world");
        add("SUBSTR defaults", "select dbms_lob.substr(body) from docs where id = 1",
            "h\xc3\xa9llo world");
        add("SUBSTR of a BLOB gives RAW",
            "select rawtohex(dbms_lob.substr(bin, 2, 2)) from docs where id = 1", "FF10");
        add("SUBSTR amount below 1", "select dbms_lob.substr(body, 0, 1) from docs where id = 1",
            "<null>");
        add("SUBSTR amount above 32767",
            "select dbms_lob.substr(body, 32768, 1) from docs where id = 1", "<null>");
        add("SUBSTR offset below 1", "select dbms_lob.substr(body, 5, 0) from docs where id = 1",
            "<null>");
        add("INSTR nth occurrence", "select dbms_lob.instr(body, 'o', 1, 2) from docs where id = 1",
            "8");
        add("INSTR not found", "select dbms_lob.instr(body, 'z') from docs where id = 1", "0");
        add("INSTR nth below 1", "select dbms_lob.instr(body, 'o', 1, 0) from docs where id = 1",
            "<null>");
        add("INSTR in a BLOB by a RAW pattern",
            "select dbms_lob.instr(bin, hextoraw('FF'), 1, 2) from docs where id = 1", "4");
        // TO_CLOB, TO_BLOB
        add("TO_CLOB of characters", "select to_clob('abc') from dual", "abc");
        add("TO_BLOB of a RAW", "select rawtohex(to_blob(hextoraw('0102'))) from dual", "0102");
        // Character data meets a RAW column
        add("characters written into RAW become bytes",
            "select rawtohex(tag) from docs where id = 1", "0A0B");
        add("characters compared with RAW", "select id from docs where tag = '0A0B'", "1");
        add("unknown package function", "select dbms_lob.fileexists(null) from dual",
            "ORA-03001: unimplemented feature: package function DBMS_LOB.FILEEXISTS");
    }
    void values() {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(value(sql), expected);
    }
};

QTEST_GUILESS_MAIN(TestLobsAndRaw)
#include "tst_lobsandraw.moc"
