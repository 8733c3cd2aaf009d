// What a column keeps of the values INSERT and UPDATE write into it, by its
// declared type, as Oracle stores them: NUMBER(p,s) rounds to its scale and
// refuses more integer digits than p - s (ORA-01438), FLOAT(b) keeps its
// decimal digits, VARCHAR2(n) and CHAR(n) refuse longer text (ORA-12899,
// bytes unless CHAR semantics), CHAR pads with blanks, INSERT ... SELECT
// converts each selected value as INSERT ... VALUES does, and GENERATED
// ALWAYS identity columns take no value of the user's (ORA-32795/32796).
// Expected values follow Oracle's SQL Language Reference (Data Types:
// "Storage of Scale and Precision", ANSI types converted to Oracle's,
// length semantics, blank-padded comparison; identity_clause) and the
// texts Oracle's Database Error Messages.

#include "EngineTestUtil.h"
#include "LocalEngine.h"
#include "ScriptReader.h"
#include "dialect/Types.h"

#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace localengine;

namespace {

const QString kPrecision =
    QStringLiteral("ORA-01438: value larger than specified precision allowed for this column");

const QString kLongNumber = QStringLiteral(
    "ORA-03001: unimplemented feature: NUMBER values of more than 15 significant digits");

QString tooLarge(const QString& column, int actual, int maximum) {
    return QStringLiteral("ORA-12899: value too large for column %1 (actual: %2, maximum: %3)")
        .arg(column)
        .arg(actual)
        .arg(maximum);
}

}  // namespace

class TestStoredValues : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_db;
    int m_tables = 0;

    // Every row, values joined by '|'; a failure as its message.
    QStringList rows(const QString& sql) {
        try {
            QStringList out;
            for (const auto& row : m_db->query(sql.toStdString()).rows) {
                QStringList values;
                for (const Cell& c : row)
                    values << enginetest::cellText(c);
                out << values.join('|');
            }
            return out;
        } catch (const EngineError& e) {
            return {QString::fromUtf8(e.what())};
        }
    }

    // The statement's failure, or "" when it ran.
    QString failure(const QString& sql) {
        try {
            m_db->execute(sql.toStdString());
            return {};
        } catch (const EngineError& e) {
            return QString::fromUtf8(e.what());
        }
    }

    // A new table V<n> (C <type>), its name.
    QString table(const QString& type) {
        const QString name = QStringLiteral("V%1").arg(++m_tables);
        m_db->execute(
            QStringLiteral("CREATE TABLE %1 (id NUMBER, c %2)").arg(name, type).toStdString());
        return name;
    }

    // `value` written into a column of `type` by INSERT ... VALUES, INSERT
    // ... SELECT and UPDATE; each path must keep the same, `shown` (how
    // `shown` reads C back) or fail with the same message.
    void checkEveryWrite(const QString& type, const QString& value, const QString& shown,
                         const QString& expected) {
        const QString v = table(type), s = table(type), u = table(type);
        const QString read = QStringLiteral("SELECT %1 FROM %2");
        // Messages name the table: "SCOTT"."T"."C" for each of them.
        auto kept = [&](const QString& t, const QString& write) {
            const QString failed = failure(write);
            return failed.isEmpty() ? rows(read.arg(shown, t)).value(0)
                                    : QString(failed).replace('"' + t + '"', "\"T\"");
        };
        QCOMPARE(kept(v, QStringLiteral("INSERT INTO %1 (id, c) VALUES (1, %2)").arg(v, value)),
                 expected);
        QCOMPARE(
            kept(s, QStringLiteral("INSERT INTO %1 (id, c) SELECT 1, %2 FROM dual").arg(s, value)),
            expected);
        m_db->execute(QStringLiteral("INSERT INTO %1 (id) VALUES (1)").arg(u).toStdString());
        QCOMPARE(kept(u, QStringLiteral("UPDATE %1 SET c = %2").arg(u, value)), expected);
        // The column's DEFAULT is a value written into it too, when an
        // INSERT leaves the column out.
        // A value the engine refuses may be refused as the table is made.
        const QString d = QStringLiteral("V%1").arg(++m_tables);
        const QString created = failure(
            QStringLiteral("CREATE TABLE %1 (id NUMBER, c %2 DEFAULT %3)").arg(d, type, value));
        if (!created.isEmpty()) {
            QCOMPARE(created, expected);
            return;
        }
        QCOMPARE(kept(d, QStringLiteral("INSERT INTO %1 (id) VALUES (1)").arg(d)), expected);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString path = m_dir.filePath("stored.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_db = Connection::open(path.toStdString(), "scott");
    }

    // Numbers shown with TO_CHAR, Oracle's text of a number.
    void numberColumns_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        // The reference's table, 7,456,123.89 in each type.
        QTest::newRow("NUMBER keeps the value") << "NUMBER"
                                                << "7456123.89"
                                                << "7456123.89";
        QTest::newRow("NUMBER(*,1)") << "NUMBER(*,1)"
                                     << "7456123.89"
                                     << "7456123.9";
        QTest::newRow("NUMBER(9)") << "NUMBER(9)"
                                   << "7456123.89"
                                   << "7456124";
        QTest::newRow("NUMBER(9,2)") << "NUMBER(9,2)"
                                     << "7456123.89"
                                     << "7456123.89";
        QTest::newRow("NUMBER(9,1)") << "NUMBER(9,1)"
                                     << "7456123.89"
                                     << "7456123.9";
        QTest::newRow("NUMBER(6) exceeds precision") << "NUMBER(6)"
                                                     << "7456123.89" << kPrecision;
        QTest::newRow("NUMBER(7,-2)") << "NUMBER(7,-2)"
                                      << "7456123.89"
                                      << "7456100";
        QTest::newRow("FLOAT") << "FLOAT"
                               << "7456123.89"
                               << "7456123.89";
        QTest::newRow("FLOAT(12)") << "FLOAT(12)"
                                   << "7456123.89"
                                   << "7456000";
        // Scale greater than precision: leading zeros after the point.
        QTest::newRow("NUMBER(4,5) .01234") << "NUMBER(4,5)"
                                            << ".01234"
                                            << ".01234";
        QTest::newRow("NUMBER(4,5) .00012") << "NUMBER(4,5)"
                                            << ".00012"
                                            << ".00012";
        QTest::newRow("NUMBER(4,5) .000127") << "NUMBER(4,5)"
                                             << ".000127"
                                             << ".00013";
        QTest::newRow("NUMBER(2,7) .0000012") << "NUMBER(2,7)"
                                              << ".0000012"
                                              << ".0000012";
        QTest::newRow("NUMBER(2,7) .00000123") << "NUMBER(2,7)"
                                               << ".00000123"
                                               << ".0000012";
        QTest::newRow("NUMBER(2,5) 1.2e-4") << "NUMBER(2,5)"
                                            << "1.2e-4"
                                            << ".00012";
        QTest::newRow("NUMBER(2,5) 1.2e-5") << "NUMBER(2,5)"
                                            << "1.2e-5"
                                            << ".00001";
        QTest::newRow("NUMBER(4,5) .1 exceeds") << "NUMBER(4,5)"
                                                << ".1" << kPrecision;
        QTest::newRow("NUMBER(4,5) rounds up past") << "NUMBER(4,5)"
                                                    << ".099996" << kPrecision;
        // Negative scale: rounded left of the point, p - s integer digits.
        QTest::newRow("NUMBER(5,-2) 12345.345") << "NUMBER(5,-2)"
                                                << "12345.345"
                                                << "12300";
        QTest::newRow("NUMBER(5,-2) 1234567") << "NUMBER(5,-2)"
                                              << "1234567"
                                              << "1234600";
        QTest::newRow("NUMBER(5,-2) 12345678") << "NUMBER(5,-2)"
                                               << "12345678" << kPrecision;
        QTest::newRow("NUMBER(5,-4) 123456789") << "NUMBER(5,-4)"
                                                << "123456789"
                                                << "123460000";
        QTest::newRow("NUMBER(5,-4) 1234567890") << "NUMBER(5,-4)"
                                                 << "1234567890" << kPrecision;
        // Half away from zero on the decimal value (1.005 is not exact in binary).
        QTest::newRow("NUMBER(7,2) 1.555") << "NUMBER(7,2)"
                                           << "1.555"
                                           << "1.56";
        QTest::newRow("NUMBER(7,2) 1.005") << "NUMBER(7,2)"
                                           << "1.005"
                                           << "1.01";
        QTest::newRow("NUMBER(7,2) -1.005") << "NUMBER(7,2)"
                                            << "-1.005"
                                            << "-1.01";
        QTest::newRow("NUMBER(3) 12.5") << "NUMBER(3)"
                                        << "12.5"
                                        << "13";
        QTest::newRow("NUMBER(3) 1234") << "NUMBER(3)"
                                        << "1234" << kPrecision;
        QTest::newRow("NUMBER(3) -999") << "NUMBER(3)"
                                        << "-999"
                                        << "-999";
        QTest::newRow("NUMBER(3) 999.5 rounds past") << "NUMBER(3)"
                                                     << "999.5" << kPrecision;
        QTest::newRow("NUMBER(2,2) 3") << "NUMBER(2,2)"
                                       << "3" << kPrecision;
        // ANSI names: INTEGER is NUMBER(38), DECIMAL and NUMERIC default the scale to 0.
        QTest::newRow("INTEGER 2.5") << "INTEGER"
                                     << "2.5"
                                     << "3";
        QTest::newRow("SMALLINT -2.5") << "SMALLINT"
                                       << "-2.5"
                                       << "-3";
        QTest::newRow("DECIMAL(5,2)") << "DECIMAL(5,2)"
                                      << "123.456"
                                      << "123.46";
        QTest::newRow("NUMERIC") << "NUMERIC"
                                 << "7.5"
                                 << "8";
        QTest::newRow("DECIMAL(3)") << "DECIMAL(3)"
                                    << "1000" << kPrecision;
        // Text is converted as Oracle converts it implicitly.
        QTest::newRow("text into NUMBER(5,2)") << "NUMBER(5,2)"
                                               << "'12.345'"
                                               << "12.35";
        QTest::newRow("text with blanks") << "NUMBER(5,2)"
                                          << "' 1.5 '"
                                          << "1.5";
        QTest::newRow("not a number") << "NUMBER(5,2)"
                                      << "'abc'"
                                      << "ORA-01722: invalid number";
        QTest::newRow("NULL stays NULL") << "NUMBER(5,2)"
                                         << "NULL"
                                         << "<null>";
        QTest::newRow("a computed value") << "NUMBER(6,3)"
                                          << "10 / 3"
                                          << "3.333";
        // NUMBER keeps 38 significant digits ("NUMBER Data Type"); the
        // engine keeps 64-bit integers and 15 digits otherwise, and refuses
        // what it would round.
        QTest::newRow("a 64-bit integer") << "NUMBER"
                                          << "1234567890123456789"
                                          << "1234567890123456789";
        QTest::newRow("20 digits") << "NUMBER"
                                   << "12345678901234567890" << kLongNumber;
        QTest::newRow("19 decimals") << "NUMBER"
                                     << "0.1234567890123456789" << kLongNumber;
        QTest::newRow("text of 20 digits") << "NUMBER(20)"
                                           << "'12345678901234567890'" << kLongNumber;
        QTest::newRow("a product past 64 bits") << "NUMBER"
                                                << "9000000000 * 2000000000"
                                                << "18000000000000000000";
        QTest::newRow("a product of 20 digits") << "NUMBER"
                                                << "9999999999 * 9999999999" << kLongNumber;
    }

    void numberColumns() {
        QFETCH(QString, type);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        checkEveryWrite(type, value, "TO_CHAR(c)", expected);
    }

    // Text shown between brackets, with its length in bytes.
    void textColumns_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const QString c = QStringLiteral("\"SCOTT\".\"T\".\"C\"");
        auto add = [&](const char* name, const char* type, const QString& value,
                       const QString& expected) {
            QTest::newRow(name) << type << value << expected;
        };
        add("VARCHAR2 fits", "VARCHAR2(3)", "'abc'", "[abc]|3");
        add("VARCHAR2 too long", "VARCHAR2(3)", "'abcd'", tooLarge(c, 4, 3));
        add("bytes by default", "VARCHAR2(3)", QString::fromUtf8("'äöü'"), tooLarge(c, 6, 3));
        add("bytes: two-byte letter fits", "VARCHAR2(3)", QString::fromUtf8("'äb'"),
            QString::fromUtf8("[äb]|3"));
        add("BYTE written out", "VARCHAR2(5 BYTE)", QString::fromUtf8("'Hellö'"),
            tooLarge(c, 6, 5));
        add("CHAR semantics count letters", "VARCHAR2(3 CHAR)", QString::fromUtf8("'äöü'"),
            QString::fromUtf8("[äöü]|6"));
        add("CHAR semantics too long", "VARCHAR2(3 CHAR)", QString::fromUtf8("'äöüx'"),
            tooLarge(c, 4, 3));
        add("NVARCHAR2 counts letters", "NVARCHAR2(3)", QString::fromUtf8("'äöü'"),
            QString::fromUtf8("[äöü]|6"));
        add("empty text is NULL", "VARCHAR2(3)", "''", "[]|<null>");
        add("a number as TO_CHAR writes it", "VARCHAR2(5)", "0.5", "[.5]|2");
        add("a number too long", "VARCHAR2(3)", "12345", tooLarge(c, 5, 3));
        add("CHAR pads with blanks", "CHAR(3)", "'x'", "[x  ]|3");
        add("CHAR too long", "CHAR(3)", "'abcd'", tooLarge(c, 4, 3));
        add("CHAR is CHAR(1)", "CHAR", "'ab'", tooLarge(c, 2, 1));
        add("CHAR in bytes pads bytes", "CHAR(4)", QString::fromUtf8("'ä'"),
            QString::fromUtf8("[ä  ]|4"));
        add("CHAR in characters pads letters", "CHAR(4 CHAR)", QString::fromUtf8("'ä'"),
            QString::fromUtf8("[ä   ]|5"));
        add("NCHAR pads letters", "NCHAR(2)", QString::fromUtf8("'ä'"),
            QString::fromUtf8("[ä ]|3"));
        add("CHAR of a number", "CHAR(4)", "12.5", "[12.5]|4");
    }

    void textColumns() {
        QFETCH(QString, type);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        checkEveryWrite(type, value, "'[' || c || ']' || '|' || NVL(TO_CHAR(LENGTHB(c)), '<null>')",
                        expected);
    }

    // CAST to a sized type gives what a column of that type keeps, except
    // that text longer than VARCHAR2(n) or CHAR(n) is cut to the length
    // (ANSI's rule for CAST, which Oracle follows) and CHAR(n) pads.
    void castToSizedTypes_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        // Text shown between brackets.
        QTest::newRow("VARCHAR2 cuts longer text")
            << "'[' || CAST('ROAD-1234' AS VARCHAR2(8)) || ']'"
            << "[ROAD-123]";
        QTest::newRow("VARCHAR2 keeps shorter text") << "'[' || CAST('ab' AS VARCHAR2(8)) || ']'"
                                                     << "[ab]";
        QTest::newRow("CHAR pads shorter text") << "'[' || CAST('ab' AS CHAR(4)) || ']'"
                                                << "[ab  ]";
        QTest::newRow("CHAR cuts longer text") << "'[' || CAST('abcdef' AS CHAR(4)) || ']'"
                                               << "[abcd]";
        QTest::newRow("CHAR without length is CHAR(1)") << "'[' || CAST('xyz' AS CHAR) || ']'"
                                                        << "[x]";
        QTest::newRow("bytes: a character is never split")
            << QString::fromUtf8("'[' || CAST('aäb' AS VARCHAR2(2)) || ']'") << "[a]";
        QTest::newRow("NVARCHAR2 counts characters")
            << QString::fromUtf8("'[' || CAST('äöüx' AS NVARCHAR2(3)) || ']'")
            << QString::fromUtf8("[äöü]");
        QTest::newRow("NCHAR pads characters")
            << QString::fromUtf8("'[' || CAST('ä' AS NCHAR(3)) || ']'")
            << QString::fromUtf8("[ä  ]");
        QTest::newRow("CHAR semantics")
            << QString::fromUtf8("CAST('äöüx' AS VARCHAR2(2 CHAR))") << QString::fromUtf8("äö");
        QTest::newRow("empty text is NULL") << "NVL(CAST('' AS CHAR(3)), 'null')"
                                            << "null";
        QTest::newRow("a number as text") << "'[' || CAST(12.5 AS VARCHAR2(6)) || ']'"
                                          << "[12.5]";
        QTest::newRow("a number into CHAR pads") << "'[' || CAST(7 AS CHAR(3)) || ']'"
                                                 << "[7  ]";
        QTest::newRow("a number's text is never cut") << "CAST(12345 AS VARCHAR2(3))"
                                                      << "ORA-25137: Data value out of range";
        // Numbers shown with TO_CHAR.
        QTest::newRow("NUMBER(10,2) rounds text") << "TO_CHAR(CAST('123.4567' AS NUMBER(10,2)))"
                                                  << "123.46";
        QTest::newRow("NUMBER(3) refuses 1234") << "TO_CHAR(CAST(1234 AS NUMBER(3)))" << kPrecision;
        QTest::newRow("NUMBER(9,1)") << "TO_CHAR(CAST(7456123.89 AS NUMBER(9,1)))"
                                     << "7456123.9";
        QTest::newRow("NUMBER(*,1)") << "TO_CHAR(CAST(7456123.89 AS NUMBER(*,1)))"
                                     << "7456123.9";
        QTest::newRow("NUMBER(7,-2)") << "TO_CHAR(CAST(7456123.89 AS NUMBER(7,-2)))"
                                      << "7456100";
        QTest::newRow("NUMBER(6) exceeds precision")
            << "TO_CHAR(CAST(7456123.89 AS NUMBER(6)))" << kPrecision;
        QTest::newRow("INTEGER rounds") << "TO_CHAR(CAST(2.5 AS INTEGER))"
                                        << "3";
        QTest::newRow("INT of a negative half") << "TO_CHAR(CAST(-2.5 AS INT))"
                                                << "-3";
        QTest::newRow("DECIMAL(5,2)") << "TO_CHAR(CAST(1.005 AS DECIMAL(5,2)))"
                                      << "1.01";
        QTest::newRow("NUMERIC has scale 0") << "TO_CHAR(CAST(12.5 AS NUMERIC))"
                                             << "13";
        QTest::newRow("FLOAT(12)") << "TO_CHAR(CAST(7456123.89 AS FLOAT(12)))"
                                   << "7456000";
        QTest::newRow("DOUBLE PRECISION keeps the value")
            << "TO_CHAR(CAST('7456123.89' AS DOUBLE PRECISION))"
            << "7456123.89";
        QTest::newRow("text that is no number") << "TO_CHAR(CAST('x1' AS NUMBER(5)))"
                                                << "ORA-01722: invalid number";
        QTest::newRow("NULL stays NULL") << "NVL(TO_CHAR(CAST(NULL AS NUMBER(5,2))), 'null')"
                                         << "null";
        QTest::newRow("a date is no number") << "TO_CHAR(CAST(DATE '2020-01-05' AS NUMBER(8)))"
                                             << "ORA-00932: inconsistent datatypes: expected "
                                                "NUMBER got DATE";
    }

    void castToSizedTypes() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        QCOMPARE(rows("SELECT " + expression + " FROM dual").value(0), expected);
    }

    // The dictionary names a column's type as Oracle records it (ANSI and
    // other names converted: SQL Language Reference, "ANSI, DB2, and SQL/DS
    // Data Types"; USER_TAB_COLUMNS: DATA_PRECISION in decimal digits for
    // NUMBER, binary ones for FLOAT; TIMESTAMP 7 or 11 bytes).
    void dictionaryTypes_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("shown");  // DATA_TYPE|DATA_LENGTH|DATA_PRECISION|DATA_SCALE
        QTest::newRow("INTEGER") << "INTEGER"
                                 << "NUMBER|22||0";
        QTest::newRow("INT") << "INT"
                             << "NUMBER|22||0";
        QTest::newRow("SMALLINT") << "SMALLINT"
                                  << "NUMBER|22||0";
        QTest::newRow("NUMBER") << "NUMBER"
                                << "NUMBER|22||";
        QTest::newRow("NUMBER(5)") << "NUMBER(5)"
                                   << "NUMBER|22|5|0";
        QTest::newRow("NUMBER(8,2)") << "NUMBER(8,2)"
                                     << "NUMBER|22|8|2";
        QTest::newRow("DECIMAL(7,3)") << "DECIMAL(7,3)"
                                      << "NUMBER|22|7|3";
        QTest::newRow("NUMERIC(6)") << "NUMERIC(6)"
                                    << "NUMBER|22|6|0";
        QTest::newRow("DEC") << "DEC"
                             << "NUMBER|22||0";
        QTest::newRow("FLOAT") << "FLOAT"
                               << "FLOAT|22|126|";
        QTest::newRow("FLOAT(12)") << "FLOAT(12)"
                                   << "FLOAT|22|12|";
        QTest::newRow("DOUBLE PRECISION") << "DOUBLE PRECISION"
                                          << "FLOAT|22|126|";
        QTest::newRow("REAL") << "REAL"
                              << "FLOAT|22|63|";
        QTest::newRow("CHARACTER(3)") << "CHARACTER(3)"
                                      << "CHAR|3||";
        QTest::newRow("CHAR") << "CHAR"
                              << "CHAR|1||";
        QTest::newRow("CHARACTER VARYING(9)") << "CHARACTER VARYING(9)"
                                              << "VARCHAR2|9||";
        QTest::newRow("VARCHAR(9)") << "VARCHAR(9)"
                                    << "VARCHAR2|9||";
        QTest::newRow("TIMESTAMP") << "TIMESTAMP"
                                   << "TIMESTAMP(6)|11||6";
        QTest::newRow("TIMESTAMP(0)") << "TIMESTAMP(0)"
                                      << "TIMESTAMP(0)|7||0";
        QTest::newRow("DATE") << "DATE"
                              << "DATE|7||";
    }

    void dictionaryTypes() {
        QFETCH(QString, declared);
        QFETCH(QString, shown);
        const QString t = table(declared);
        QCOMPARE(rows("SELECT data_type || '|' || data_length || '|' || data_precision || '|' || "
                      "data_scale FROM user_tab_columns WHERE table_name = '" +
                      t + "' AND column_name = 'C'"),
                 QStringList{shown});
    }

    // DATA_DEFAULT shows the DEFAULT as written, not how it is stored.
    void defaultsInTheDictionary() {
        m_db->execute(
            "CREATE TABLE dflt (id NUMBER, code CHAR(5) DEFAULT 'A', "
            "rate NUMBER(5,1) DEFAULT 1.26, note VARCHAR2(9) DEFAULT 'none')");
        QCOMPARE(rows("SELECT column_name || '=' || data_default FROM user_tab_columns "
                      "WHERE table_name = 'DFLT' AND data_default IS NOT NULL ORDER BY column_id"),
                 (QStringList{"CODE='A'", "RATE=1.26", "NOTE='none'"}));
        m_db->execute("INSERT INTO dflt (id) VALUES (1)");
        QCOMPARE(rows("SELECT '[' || code || ']', TO_CHAR(rate), note FROM dflt"),
                 QStringList{"[A    ]|1.3|none"});
        // A column added later stores its DEFAULT into the rows there are.
        m_db->execute("ALTER TABLE dflt ADD (flag CHAR(2) DEFAULT 'Y')");
        QCOMPARE(rows("SELECT '[' || flag || ']' FROM dflt"), QStringList{"[Y ]"});
        // MODIFY: a new type stores the DEFAULT kept, a new DEFAULT is stored.
        m_db->execute("ALTER TABLE dflt MODIFY (code CHAR(7), rate NUMBER(6,2))");
        m_db->execute("ALTER TABLE dflt MODIFY (note DEFAULT 'much too long')");
        QCOMPARE(failure("INSERT INTO dflt (id) VALUES (2)"),
                 tooLarge("\"SCOTT\".\"DFLT\".\"NOTE\"", 13, 9));
        m_db->execute("INSERT INTO dflt (id, note) VALUES (2, 'x')");
        QCOMPARE(rows("SELECT '[' || code || ']', TO_CHAR(rate) FROM dflt WHERE id = 2"),
                 QStringList{"[A      ]|1.26"});
        QCOMPARE(rows("SELECT column_name || '=' || data_default FROM user_tab_columns "
                      "WHERE table_name = 'DFLT' AND column_name IN ('CODE', 'NOTE') "
                      "ORDER BY column_id"),
                 (QStringList{"CODE='A'", "NOTE='much too long'"}));
    }

    // CREATE TABLE ... AS SELECT: a column copied keeps its declared type,
    // an expression gets NUMBER, DATE, CHAR(n) for a text literal,
    // VARCHAR2(n) for text as long as it can be (SQL Language Reference,
    // CREATE TABLE, AS subquery); later writes follow those types.
    void createAsSelect() {
        m_db->execute(
            "CREATE TABLE ctas_src (id NUMBER(6), amount NUMBER(8,2), "
            "name VARCHAR2(30), code CHAR(3), hired DATE)");
        m_db->execute(
            "INSERT INTO ctas_src VALUES (1, 10.5, 'Smith', 'AB', "
            "DATE '2020-01-05')");
        m_db->execute(
            "CREATE TABLE ctas_copy AS SELECT id, amount, name, code, hired, "
            "amount * 2 AS doubled, name || code AS label, 'abc' AS lit "
            "FROM ctas_src");
        const QString columns = QStringLiteral(
            "SELECT column_name || ' ' || data_type || ' ' || data_length || ' ' || "
            "data_precision || ' ' || data_scale FROM user_tab_columns "
            "WHERE table_name = '%1' ORDER BY column_id");
        QCOMPARE(rows(columns.arg("CTAS_COPY")),
                 (QStringList{"ID NUMBER 22 6 0", "AMOUNT NUMBER 22 8 2", "NAME VARCHAR2 30  ",
                              "CODE CHAR 3  ", "HIRED DATE 7  ", "DOUBLED NUMBER 22  ",
                              "LABEL VARCHAR2 33  ", "LIT CHAR 3  "}));
        QCOMPARE(rows("SELECT id, TO_CHAR(amount), name, '[' || code || ']', "
                      "TO_CHAR(hired, 'YYYY-MM-DD'), TO_CHAR(doubled), label, lit "
                      "FROM ctas_copy"),
                 QStringList{"1|10.5|Smith|[AB ]|2020-01-05|21|SmithAB |abc"});
        // The copy's columns store as their types do.
        m_db->execute("INSERT INTO ctas_copy (id, amount) VALUES (2, 1.234)");
        QCOMPARE(rows("SELECT TO_CHAR(amount) FROM ctas_copy WHERE id = 2"), QStringList{"1.23"});
        QCOMPARE(failure("INSERT INTO ctas_copy (id, code) VALUES (3, 'ABCD')"),
                 tooLarge("\"SCOTT\".\"CTAS_COPY\".\"CODE\"", 4, 3));
        // Names given to the columns, a star, and the queries Oracle refuses.
        m_db->execute("CREATE TABLE ctas_named (a, b) AS SELECT id, name FROM ctas_src");
        QCOMPARE(rows(columns.arg("CTAS_NAMED")),
                 (QStringList{"A NUMBER 22 6 0", "B VARCHAR2 30  "}));
        m_db->execute("CREATE TABLE ctas_star AS SELECT * FROM ctas_src WHERE 1 = 0");
        QCOMPARE(rows(columns.arg("CTAS_STAR")), rows(columns.arg("CTAS_SRC")));
        QCOMPARE(failure("CREATE TABLE ctas_bad AS SELECT amount * 2 FROM ctas_src"),
                 QString("ORA-00998: must name this expression with a column alias"));
        QCOMPARE(failure("CREATE TABLE ctas_bad AS SELECT NULL AS n FROM ctas_src"),
                 QString("ORA-01723: zero-length columns are not allowed"));
        QCOMPARE(rows("SELECT COUNT(*) FROM user_tables WHERE table_name = 'CTAS_BAD'"),
                 QStringList{"0"});
    }

    // The date functions read text as TO_DATE does without a format
    // (NLS_DATE_FORMAT, DD-MON-RR at first); DATE values, DATE literals
    // and SYSDATE are dates. Examples from the SQL Language Reference.
    void dateFunctionsReadText_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ADD_MONTHS of text") << "TO_CHAR(ADD_MONTHS('05-JAN-20', 1), 'YYYY-MM-DD')"
                                            << "2020-02-05";
        QTest::newRow("LAST_DAY of text") << "TO_CHAR(LAST_DAY('05-FEB-20'), 'YYYY-MM-DD')"
                                          << "2020-02-29";
        QTest::newRow("MONTHS_BETWEEN of text")
            << "TO_CHAR(ROUND(MONTHS_BETWEEN('02-FEB-95', '01-JAN-95'), 8))"
            << "1.03225806";
        QTest::newRow("NEXT_DAY of text") << "TO_CHAR(NEXT_DAY('15-OCT-2009', 'TUESDAY'), "
                                             "'YYYY-MM-DD')"
                                          << "2009-10-20";
        QTest::newRow("ADD_MONTHS of a DATE literal")
            << "TO_CHAR(ADD_MONTHS(DATE '2009-02-28', 1), 'YYYY-MM-DD')"
            << "2009-03-31";
        QTest::newRow("ADD_MONTHS of a DATE column")
            << "(SELECT TO_CHAR(ADD_MONTHS(hired, 1), 'YYYY-MM-DD') FROM dates_src)"
            << "2020-02-05";
        QTest::newRow("MONTHS_BETWEEN of a column and text")
            << "(SELECT TO_CHAR(MONTHS_BETWEEN(hired, '05-DEC-19')) FROM dates_src)"
            << "1";
        QTest::newRow("LAST_DAY of SYSDATE is a date")
            << "CASE WHEN LAST_DAY(SYSDATE) >= SYSDATE THEN 'ok' END"
            << "ok";
    }

    void dateFunctionsReadText() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        if (rows("SELECT COUNT(*) FROM user_tables WHERE table_name = 'DATES_SRC'").value(0) ==
            "0") {
            m_db->execute("CREATE TABLE dates_src (hired DATE)");
            m_db->execute("INSERT INTO dates_src VALUES (DATE '2020-01-05')");
        }
        QCOMPARE(rows("SELECT " + expression + " FROM dual").value(0), expected);
    }

    // Totals and text of values past 64 bits or 15 digits: exact where a
    // double holds them, refused otherwise. Oracle's text of a number
    // without a format has "exactly" its significant digits (TO_CHAR
    // (number)), no exponent below 40 characters.
    void longNumbers_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        const QString twice = QStringLiteral(
            "(SELECT %1 FROM (SELECT %2 n FROM dual UNION ALL SELECT %3 FROM dual))");
        QTest::newRow("SUM past 64 bits, 2 digits")
            << twice.arg("TO_CHAR(SUM(n))", "9000000000000000000", "9000000000000000000")
            << "18000000000000000000";
        QTest::newRow("SUM of decimals") << twice.arg("TO_CHAR(SUM(n))", "0.1", "0.2") << ".3";
        QTest::newRow("SUM needing 17 digits")  // 1000000000000000.1
            << twice.arg("SUM(n)", "1000000000000000", "0.1") << kLongNumber;
        QTest::newRow("AVG that terminates") << twice.arg("TO_CHAR(AVG(n))", "1", "2") << "1.5";
        QTest::newRow("AVG of 16 digits")  // 500000000000000.5
            << twice.arg("AVG(n)", "1000000000000001", "0") << kLongNumber;
        QTest::newRow("AVG that does not terminate keeps 15 digits")
            << "(SELECT TO_CHAR(AVG(n)) FROM (SELECT 1 n FROM dual UNION ALL SELECT 2 FROM dual "
               "UNION ALL SELECT 2 FROM dual))"
            << "1.66666666666667";
        QTest::newRow("TO_CHAR and || of a whole number past 64 bits")
            << "TO_CHAR(9000000000000000000 * 2) || ' ' || 9000000000000000000 * 2 || ' ' || "
               "1E30"
            << "18000000000000000000 18000000000000000000 1000000000000000000000000000000";
        QTest::newRow("a literal of 20 digits") << "12345678901234567890 + 1" << kLongNumber;
        QTest::newRow("a whole literal with a point and an exponent")
            << "TO_CHAR(1.234567890123456789E18)"
            << "1234567890123456789";
        QTest::newRow("TO_NUMBER of 20 digits")
            << "TO_NUMBER('12345678901234567890')" << kLongNumber;
        QTest::newRow("CAST of text of 20 digits")
            << "CAST('12345678901234567890' AS NUMBER)" << kLongNumber;
        QTest::newRow("2/3 + 1 keeps 15 digits") << "TO_CHAR(2 / 3 + 1)"
                                                 << "1.66666666666667";
    }

    void longNumbers() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        QCOMPARE(rows("SELECT " + expression + " FROM dual").value(0), expected);
    }

    // ISO text is no date in DD-MON-RR: refused as TO_DATE refuses it.
    void dateFunctionsRefuseOtherText_data() {
        QTest::addColumn<QString>("expression");
        QTest::newRow("ADD_MONTHS") << "ADD_MONTHS('2020-01-05', 1)";
        QTest::newRow("LAST_DAY") << "LAST_DAY('2020-01-05')";
        QTest::newRow("MONTHS_BETWEEN first") << "MONTHS_BETWEEN('2020-01-05', DATE '2020-01-01')";
        QTest::newRow("MONTHS_BETWEEN second") << "MONTHS_BETWEEN(DATE '2020-01-01', '2020-01-05')";
        QTest::newRow("NEXT_DAY") << "NEXT_DAY('2020-01-05', 'MONDAY')";
        // Text meeting a DATE elsewhere is converted the same way.
        QTest::newRow("comparison") << "CASE WHEN DATE '2020-01-01' < '2020-01-05' THEN 1 END";
        QTest::newRow("BETWEEN")
            << "CASE WHEN DATE '2020-01-03' BETWEEN '2020-01-01' AND '2020-01-05' THEN 1 END";
        QTest::newRow("CAST") << "CAST('2020-01-05' AS DATE)";
        QTest::newRow("NVL") << "NVL(CAST(NULL AS DATE), '2020-01-05')";
        QTest::newRow("GREATEST") << "GREATEST(DATE '2020-01-01', '2020-01-05')";
    }

    void dateFunctionsRefuseOtherText() {
        QFETCH(QString, expression);
        const QString refused = rows("SELECT TO_DATE('2020-01-05') FROM dual").value(0);
        QVERIFY2(refused.startsWith("ORA-018"), qPrintable(refused));
        QCOMPARE(rows("SELECT " + expression + " FROM dual").value(0), refused);
        // With the session's format set to ISO the same text is a date.
        m_db->execute("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD'");
        const QString read = rows("SELECT " + expression + " FROM dual").value(0);
        m_db->execute("ALTER SESSION SET NLS_DATE_FORMAT = 'DD-MON-RR'");
        QVERIFY2(!read.startsWith("ORA-"), qPrintable(read));
    }

    // Text written into a DATE column: read by NLS_DATE_FORMAT as TO_DATE
    // reads it, on every path that writes.
    void dateColumns_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text in DD-MON-RR") << "'05-JAN-20'"
                                           << "2020-01-05";
        QTest::newRow("ISO text") << "'2020-01-05'"
                                  << "ORA-01843: not a valid month";
        QTest::newRow("a DATE literal") << "DATE '2020-01-05'"
                                        << "2020-01-05";
    }

    void dateColumns() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        checkEveryWrite("DATE", value, "TO_CHAR(c, 'YYYY-MM-DD')", expected);
    }

    // Declared types as SQLite keeps them (the front end's spellings and a
    // user's own) read as the rule they store by.
    void declaredTypes_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("rule");
        QTest::newRow("NUMBER(7, 2)") << "NUMBER(7, 2)"
                                      << "number 7,2";
        QTest::newRow("number(5,-2)") << "number(5,-2)"
                                      << "number 5,-2";
        QTest::newRow("NUMBER") << "NUMBER"
                                << "as is";
        QTest::newRow("NUMBER(38)") << "NUMBER(38)"
                                    << "number 38,0";
        QTest::newRow("INTEGER") << "INTEGER"
                                 << "number 38,0";
        QTest::newRow("DEC(9,3)") << "DEC(9,3)"
                                  << "number 9,3";
        QTest::newRow("FLOAT(12)") << "FLOAT(12)"
                                   << "float 4";
        QTest::newRow("FLOAT(1)") << "FLOAT(1)"
                                  << "float 1";
        QTest::newRow("REAL") << "REAL"
                              << "as is";
        QTest::newRow("DOUBLE PRECISION") << "DOUBLE PRECISION"
                                          << "as is";
        QTest::newRow("VARCHAR2(30 /*CHAR*/)") << "VARCHAR2(30 /*CHAR*/)"
                                               << "text 30 chars";
        QTest::newRow("VARCHAR2(30 BYTE)") << "VARCHAR2(30 BYTE)"
                                           << "text 30 bytes";
        QTest::newRow("varchar(255)") << "varchar(255)"
                                      << "text 255 bytes";
        QTest::newRow("NATIONAL CHARACTER VARYING(5)") << "NATIONAL  CHARACTER VARYING(5)"
                                                       << "text 5 chars";
        QTest::newRow("CHARACTER(2)") << "CHARACTER(2)"
                                      << "text 2 bytes padded";
        QTest::newRow("NCHAR") << "NCHAR"
                               << "text 1 chars padded";
        QTest::newRow("TEXT") << "TEXT"
                              << "as is";
        QTest::newRow("VARCHAR2 without length") << "VARCHAR2"
                                                 << "as is";
        QTest::newRow("BIGINT") << "BIGINT"
                                << "as is";
        QTest::newRow("TIMESTAMP(6) WITH TIME ZONE") << "TIMESTAMP(6) WITH TIME ZONE"
                                                     << "as is";
        QTest::newRow("unbalanced") << "NUMBER(7"
                                    << "as is";
        QTest::newRow("words inside") << "NUMBER(7 digits)"
                                      << "as is";
    }

    void declaredTypes() {
        QFETCH(QString, declared);
        QFETCH(QString, rule);
        const dialect::ColumnStorage s = dialect::storageOfDeclared(declared.toStdString());
        QString read = "as is";
        using Kind = dialect::ColumnStorage::Kind;
        if (s.kind == Kind::FixedNumber)
            read = QStringLiteral("number %1,%2").arg(s.precision).arg(s.scale);
        else if (s.kind == Kind::FloatNumber)
            read = QStringLiteral("float %1").arg(s.precision);
        else if (s.kind == Kind::Text)
            read = QStringLiteral("text %1 %2%3")
                       .arg(s.length)
                       .arg(s.inCharacters ? "chars" : "bytes")
                       .arg(s.padded ? " padded" : "");
        QCOMPARE(read, rule);
    }

    // A padded CHAR compares with a literal blank-padded, with a VARCHAR2
    // as it is stored.
    void paddedCharCompares() {
        m_db->execute("CREATE TABLE codes (code CHAR(4), label VARCHAR2(4))");
        m_db->execute("INSERT INTO codes VALUES ('AB', 'AB')");
        QCOMPARE(rows("SELECT COUNT(*) FROM codes WHERE code = 'AB'"), QStringList{"1"});
        QCOMPARE(rows("SELECT COUNT(*) FROM codes WHERE code = label"), QStringList{"0"});
        QCOMPARE(rows("SELECT LENGTH(code) FROM codes"), QStringList{"4"});
    }

    // INSERT ... SELECT: each selected value becomes the target column's type.
    void insertSelectConverts_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text to DATE in NLS_DATE_FORMAT") << "DATE"
                                                         << "'17-DEC-80'"
                                                         << "TO_CHAR(c, 'YYYY-MM-DD HH24:MI:SS')"
                                                         << "1980-12-17 00:00:00";
        QTest::newRow("text not a date") << "DATE"
                                         << "'31-FEB-80'"
                                         << "c"
                                         << "ORA-01839: date not valid for month specified";
        QTest::newRow("DATE to text in NLS_DATE_FORMAT") << "VARCHAR2(9)"
                                                         << "DATE '1980-12-17'"
                                                         << "c"
                                                         << "17-DEC-80";
        QTest::newRow("TIMESTAMP to DATE") << "DATE"
                                           << "TIMESTAMP '1980-12-17 10:11:12.5'"
                                           << "TO_CHAR(c, 'YYYY-MM-DD HH24:MI:SS')"
                                           << "1980-12-17 10:11:12";
        QTest::newRow("DATE into TIMESTAMP(2)") << "TIMESTAMP(2)"
                                                << "DATE '1980-12-17'"
                                                << "TO_CHAR(c, 'YYYY-MM-DD HH24:MI:SS.FF2')"
                                                << "1980-12-17 00:00:00.00";
        QTest::newRow("NUMBER into DATE")
            << "DATE"
            << "1"
            << "c"
            << "ORA-00932: inconsistent datatypes: expected DATE got NUMBER";
    }

    void insertSelectConverts() {
        QFETCH(QString, type);
        QFETCH(QString, selected);
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        const QString t = table(type);
        const QString failed =
            failure(QStringLiteral("INSERT INTO %1 (c) SELECT %2 FROM dual").arg(t, selected));
        QCOMPARE(failed.isEmpty() ? rows(QStringLiteral("SELECT %1 FROM %2").arg(shown, t)).value(0)
                                  : failed,
                 expected);
    }

    // A column copied into another (INSERT ... SELECT, UPDATE SET a = b):
    // what the target keeps depends on both declared types.
    void copiesBetweenColumns_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same NUMBER(7,2)") << "NUMBER(7,2)"
                                          << "12.34"
                                          << "NUMBER(7,2)"
                                          << "12.34";
        QTest::newRow("NUMBER(4) into NUMBER(6,2)") << "NUMBER(4)"
                                                    << "9999"
                                                    << "NUMBER(6,2)"
                                                    << "9999";
        QTest::newRow("NUMBER(7,2) into NUMBER(7,1)") << "NUMBER(7,2)"
                                                      << "12.35"
                                                      << "NUMBER(7,1)"
                                                      << "12.4";
        QTest::newRow("NUMBER(7,2) into NUMBER(5,2)") << "NUMBER(7,2)"
                                                      << "12345.6"
                                                      << "NUMBER(5,2)" << kPrecision;
        QTest::newRow("NUMBER into NUMBER(3)") << "NUMBER"
                                               << "2.5"
                                               << "NUMBER(3)"
                                               << "3";
        QTest::newRow("VARCHAR2(10) into VARCHAR2(3)")
            << "VARCHAR2(10)"
            << "'abcd'"
            << "VARCHAR2(3)" << tooLarge("\"SCOTT\".\"T\".\"C\"", 4, 3);
        QTest::newRow("VARCHAR2(3 CHAR) into VARCHAR2(3)")
            << "VARCHAR2(3 CHAR)" << QString::fromUtf8("'äöü'") << "VARCHAR2(3)"
            << tooLarge("\"SCOTT\".\"T\".\"C\"", 6, 3);
        QTest::newRow("VARCHAR2(2) into CHAR(4)") << "VARCHAR2(2)"
                                                  << "'ab'"
                                                  << "CHAR(4)"
                                                  << "[ab  ]";
        QTest::newRow("CHAR(2) into VARCHAR2(4)") << "CHAR(2)"
                                                  << "'a'"
                                                  << "VARCHAR2(4)"
                                                  << "[a ]";
        QTest::newRow("CHAR(2) into CHAR(4)") << "CHAR(2)"
                                              << "'a'"
                                              << "CHAR(4)"
                                              << "[a   ]";
        QTest::newRow("text into NUMBER(5,2)") << "VARCHAR2(10)"
                                               << "'1.005'"
                                               << "NUMBER(5,2)"
                                               << "1.01";
        QTest::newRow("TIMESTAMP(6) into TIMESTAMP(1)") << "TIMESTAMP(6)"
                                                        << "TIMESTAMP '2024-01-01 10:00:00.25'"
                                                        << "TIMESTAMP(1)"
                                                        << "2024-01-01 10:00:00.3";
    }

    void copiesBetweenColumns() {
        QFETCH(QString, source);
        QFETCH(QString, value);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        const QString from = table(source), into = table(target), updated = table(target);
        m_db->execute(
            QStringLiteral("INSERT INTO %1 VALUES (1, %2)").arg(from, value).toStdString());
        m_db->execute(QStringLiteral("INSERT INTO %1 (id) VALUES (1)").arg(updated).toStdString());
        const QString shown = target.startsWith("NUMBER") ? "TO_CHAR(c)"
                              : target.startsWith("TIMESTAMP")
                                  ? "TO_CHAR(c, 'YYYY-MM-DD HH24:MI:SS.FF1')"
                                  : "'[' || c || ']'";
        auto kept = [&](const QString& t, const QString& write) {
            const QString failed = failure(write);
            return failed.isEmpty()
                       ? rows(QStringLiteral("SELECT %1 FROM %2").arg(shown, t)).value(0)
                       : QString(failed).replace('"' + t + '"', "\"T\"");
        };
        QCOMPARE(kept(into, QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(into, from)),
                 expected);
        QCOMPARE(kept(updated,
                      QStringLiteral("UPDATE %1 u SET c = (SELECT c FROM %2)").arg(updated, from)),
                 expected);
    }

    // Rows are formed (DISTINCT, UNION) before their values are stored:
    // 1.001 and 1.002 are two rows that both keep 1.
    void rowsFormedBeforeStoring() {
        m_db->execute("CREATE TABLE readings (v NUMBER)");
        m_db->execute("INSERT INTO readings VALUES (1.001)");
        m_db->execute("INSERT INTO readings VALUES (1.002)");
        m_db->execute("CREATE TABLE rounded (v NUMBER(4,2))");
        QCOMPARE(m_db->execute("INSERT INTO rounded SELECT DISTINCT v FROM readings"), 2);
        QCOMPARE(m_db->execute("INSERT INTO rounded SELECT v FROM readings UNION SELECT 1.004 "
                               "FROM dual"),
                 3);
        QCOMPARE(rows("SELECT COUNT(*), COUNT(DISTINCT v), MAX(v) FROM rounded"),
                 QStringList{"5|1|1"});
        QCOMPARE(rows("INSERT INTO rounded SELECT v * 100 FROM readings"), QStringList{kPrecision});
        QCOMPARE(rows("SELECT COUNT(*) FROM rounded"), QStringList{"5"});
    }

    // UPDATE: SET c = expression and SET (a, b) = (subquery).
    void updatesStore() {
        m_db->execute("CREATE TABLE prices (id NUMBER, price NUMBER(7,2), code CHAR(3))");
        m_db->execute("INSERT INTO prices VALUES (1, 1.56, 'A')");
        m_db->execute("UPDATE prices SET price = price / 3");
        QCOMPARE(rows("SELECT TO_CHAR(price) FROM prices"), QStringList{".52"});
        m_db->execute("CREATE TABLE quotes (id NUMBER, amount NUMBER, code VARCHAR2(5))");
        m_db->execute("INSERT INTO quotes VALUES (1, 3.14159, 'B')");
        m_db->execute(
            "UPDATE prices p SET (price, code) = (SELECT amount, code FROM quotes q "
            "WHERE q.id = p.id)");
        QCOMPARE(rows("SELECT TO_CHAR(price), '[' || code || ']' FROM prices"),
                 QStringList{"3.14|[B  ]"});
        m_db->execute("UPDATE quotes SET code = 'LONG'");
        QCOMPARE(failure("UPDATE prices p SET (price, code) = (SELECT amount, code FROM quotes q "
                         "WHERE q.id = p.id)"),
                 tooLarge("\"SCOTT\".\"PRICES\".\"CODE\"", 4, 3));
        QCOMPARE(failure("UPDATE prices SET price = 123456"), kPrecision);
        QCOMPARE(rows("SELECT TO_CHAR(price), code FROM prices"), QStringList{"3.14|B  "});
    }

    void identityColumns_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("failure");
        const QString insert =
            QStringLiteral("ORA-32795: cannot insert into a generated always identity column");
        const QString update =
            QStringLiteral("ORA-32796: cannot update a generated always identity column");
        QTest::newRow("ALWAYS: a value")
            << "INSERT INTO ids_always (id, x) VALUES (5, 1)" << insert;
        QTest::newRow("ALWAYS: NULL")
            << "INSERT INTO ids_always (id, x) VALUES (NULL, 1)" << insert;
        QTest::newRow("ALWAYS: every column") << "INSERT INTO ids_always VALUES (5, 1)" << insert;
        QTest::newRow("ALWAYS: from a query")
            << "INSERT INTO ids_always (x, id) SELECT 1, 2 FROM dual" << insert;
        QTest::newRow("ALWAYS: unnamed is ALWAYS")
            << "INSERT INTO ids_plain (id, x) VALUES (5, 1)" << insert;
        QTest::newRow("ALWAYS: update") << "UPDATE ids_always SET id = id" << update;
        QTest::newRow("ALWAYS: generated") << "INSERT INTO ids_always (x) VALUES (1)"
                                           << "";
        QTest::newRow("ALWAYS: other columns updated") << "UPDATE ids_always SET x = 2"
                                                       << "";
        QTest::newRow("BY DEFAULT: a value") << "INSERT INTO ids_default (id, x) VALUES (5, 1)"
                                             << "";
        QTest::newRow("BY DEFAULT: update") << "UPDATE ids_default SET id = 6"
                                            << "";
        QTest::newRow("BY DEFAULT: NULL")
            << "INSERT INTO ids_default (id, x) VALUES (NULL, 1)"
            << "ORA-01400: cannot insert NULL into (\"SCOTT\".\"IDS_DEFAULT\".\"ID\")";
    }

    void identityColumns() {
        QFETCH(QString, statement);
        QFETCH(QString, failure);
        if (rows("SELECT COUNT(*) FROM user_tables WHERE table_name = 'IDS_ALWAYS'") !=
            QStringList{"1"}) {
            m_db->execute(
                "CREATE TABLE ids_always (id NUMBER GENERATED ALWAYS AS IDENTITY, x NUMBER)");
            m_db->execute("CREATE TABLE ids_plain (id NUMBER GENERATED AS IDENTITY, x NUMBER)");
            m_db->execute(
                "CREATE TABLE ids_default (id NUMBER GENERATED BY DEFAULT AS IDENTITY, x NUMBER)");
        }
        QCOMPARE(this->failure(statement), failure);
    }

    // A user's own SQLite file: its declared types have the same rules
    // where they are Oracle's names; SQLite's own (TEXT, BIGINT) keep values.
    void userFileTypes() {
        const QString path = m_dir.filePath("own.db");
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw,
                              "CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(5), "
                              "price DECIMAL(6,2), note TEXT, big BIGINT)",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        auto db = Connection::open(path.toStdString(), "scott");
        db->execute("INSERT INTO items VALUES (1.5, 'pen', 2.345, 'a long note', 2.5)");
        const ResultTable t =
            db->query("SELECT id, name, TO_CHAR(price), note, TO_CHAR(big) FROM items");
        QCOMPARE(enginetest::column(t, 0), QStringList{"2"});
        QCOMPARE(enginetest::column(t, 2), QStringList{"2.35"});
        QCOMPARE(enginetest::column(t, 3), QStringList{"a long note"});
        QCOMPARE(enginetest::column(t, 4), QStringList{"2.5"});
        try {
            db->execute("INSERT INTO items (name) VALUES ('pencil')");
            QFAIL("a name longer than VARCHAR(5) was stored");
        } catch (const EngineError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), tooLarge("\"SCOTT\".\"ITEMS\".\"name\"", 6, 5));
        }
    }

    // An install script as users write them: SQL*Plus commands, out-of-line
    // constraints, a PL/SQL block of inserts, an INSERT ... SELECT.
    void installScript() {
        const QString path = m_dir.filePath("shop.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        auto db = Connection::open(path.toStdString(), "shop");
        QFile script(qEnvironmentVariable("QUORVEL_TEST_DATA") + "/stored_values.sql");
        QVERIFY(script.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream in(&script);
        console::ScriptReader reader;
        auto run = [&](const std::optional<console::ScriptItem>& item) {
            if (item && item->kind != console::ScriptItem::Kind::Command)
                db->execute(item->text.toStdString());
        };
        while (!in.atEnd())
            run(reader.addLine(in.readLine()));
        run(reader.finish());
        auto rowsOf = [&](const char* sql) {
            QStringList out;
            for (const auto& row : db->query(sql).rows) {
                QStringList values;
                for (const Cell& c : row)
                    values << enginetest::cellText(c);
                out << values.join('|');
            }
            return out;
        };
        QCOMPARE(rowsOf("SELECT '[' || code || ']', TO_CHAR(rate) FROM currencies ORDER BY code"),
                 (QStringList{"[CHF]|1.0444", "[EUR]|1", "[JP ]|.0063"}));
        QCOMPARE(rowsOf("SELECT order_id, customer, currency, TO_CHAR(amount), TO_CHAR(discount), "
                        "TO_CHAR(weight_kg), TO_CHAR(ordered, 'YYYY-MM-DD') FROM orders "
                        "ORDER BY order_id"),
                 (QStringList{QString::fromUtf8("1|Müller|EUR|1234.57|.13|1230|2024-01-03"),
                              "2|Dupont|CHF|99.99|0|20|2024-02-17",
                              "3|Tanaka|JP |17142.86|.05|0|2024-02-29"}));
        QCOMPARE(rowsOf("SELECT order_id, TO_CHAR(amount), TO_CHAR(ordered, 'YYYY-MM-DD'), note "
                        "FROM order_archive"),
                 QStringList{"1|1234.6|2024-01-03|moved 1"});
        QCOMPARE(rowsOf("SELECT COUNT(*) FROM orders o JOIN currencies c ON c.code = o.currency "
                        "WHERE o.currency = 'JP'"),
                 QStringList{"1"});
    }
};

QTEST_GUILESS_MAIN(TestStoredValues)
#include "tst_storedvalues.moc"
