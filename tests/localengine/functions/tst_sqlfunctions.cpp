// The functions called through SQL on an in-memory SQLite handle: NULL in
// every argument position, Oracle's errors as "ORA-nnnnn: text", the
// session's formats, and which SQLite built-ins are replaced.

#include "EngineFunctions.h"

#include <sqlite3.h>

#include <QtTest>

using namespace localengine::functions;

class TestSqlFunctions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void nullArguments_data();
    void nullArguments();
    void values_data();
    void values();
    void oracleErrors_data();
    void oracleErrors();
    void sessionFormats();
    void deterministicInIndexes();
    void resultsWithinSqliteLimit();
    void regularExpressions_data();
    void regularExpressions();
    void aggregates_data();
    void aggregates();
    void documentsAndLobs_data();
    void documentsAndLobs();

private:
    // The first column of "SELECT <expression>", "<null>" for NULL, or
    // the error text.
    QString eval(const QString& expression);
    sqlite3* m_db = nullptr;
    std::shared_ptr<SessionSettings> m_settings;
};

void TestSqlFunctions::initTestCase() {
    QCOMPARE(sqlite3_open(":memory:", &m_db), SQLITE_OK);
    m_settings = std::make_shared<SessionSettings>();
    m_settings->now = [] {
        DateTime d;
        d.year = 2026;
        d.month = 12;
        d.day = 7;
        return d;
    };
    QVERIFY(registerEngineFunctions(m_db, m_settings));
}

void TestSqlFunctions::cleanupTestCase() {
    QCOMPARE(sqlite3_close(m_db), SQLITE_OK);
}

QString TestSqlFunctions::eval(const QString& expression) {
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = ("SELECT " + expression).toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    QString out;
    if (sqlite3_step(st) == SQLITE_ROW) {
        out = sqlite3_column_type(st, 0) == SQLITE_NULL
                  ? QStringLiteral("<null>")
                  : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    } else {
        out = QString::fromUtf8(sqlite3_errmsg(m_db));
    }
    sqlite3_finalize(st);
    return out;
}

void TestSqlFunctions::nullArguments_data() {
    QTest::addColumn<QString>("expression");
    const char* const nullCalls[] = {"SUBSTR(NULL, 1)",
                                     "SUBSTR('abc', NULL)",
                                     "SUBSTR('abc', 1, NULL)",
                                     "INSTR(NULL, 'a')",
                                     "INSTR('abc', NULL)",
                                     "INSTR('abc', 'a', NULL)",
                                     "INSTR('abc', 'a', 1, NULL)",
                                     "LENGTH(NULL)",
                                     "LENGTH('')",
                                     "LENGTHB(NULL)",
                                     "ORA_TRIM(NULL)",
                                     "ORA_TRIM('x', 'BOTH', NULL)",
                                     "LTRIM(NULL)",
                                     "LTRIM('abc', NULL)",
                                     "RTRIM('abc', NULL)",
                                     "TRANSLATE(NULL, 'a', 'b')",
                                     "TRANSLATE('abc', NULL, 'b')",
                                     "TRANSLATE('abc', 'a', NULL)",
                                     "REPLACE(NULL, 'a', 'b')",
                                     "CONCAT(NULL, NULL)",
                                     "CONCAT('', '')",
                                     "INITCAP(NULL)",
                                     "ASCII(NULL)",
                                     "CHR(NULL)",
                                     "SOUNDEX(NULL)",
                                     "TO_CHAR(NULL)",
                                     "TO_CHAR(NULL, 'YYYY')",
                                     "TO_CHAR('2000-01-01', NULL)",
                                     "TO_CHAR(1, NULL)",
                                     "TO_DATE(NULL, 'YYYY')",
                                     "TO_DATE('2000', NULL)",
                                     "TO_NUMBER(NULL)",
                                     "TO_NUMBER('1', NULL)",
                                     "ADD_MONTHS(NULL, 1)",
                                     "ADD_MONTHS('2000-01-01', NULL)",
                                     "LAST_DAY(NULL)",
                                     "MONTHS_BETWEEN(NULL, '2000-01-01')",
                                     "MONTHS_BETWEEN('2000-01-01', NULL)",
                                     "NEXT_DAY(NULL, 'MON')",
                                     "NEXT_DAY('2000-01-01', NULL)",
                                     "TRUNC(NULL)",
                                     "TRUNC('2000-01-01', NULL)",
                                     "ROUND(NULL, 1)",
                                     "ROUND(1.5, NULL)",
                                     "ORA_EXTRACT('YEAR', NULL)",
                                     "ORA_DATE_ADD(NULL, 1)",
                                     "ORA_DATE_ADD('2000-01-01', NULL)",
                                     "ORA_DATE_DIFF(NULL, '2000-01-01')",
                                     "ORA_TIMESTAMP_DIFF('2000-01-01', NULL)",
                                     "NUMTODSINTERVAL(NULL, 'DAY')",
                                     "NUMTOYMINTERVAL(1, NULL)",
                                     "ORA_DIV(NULL, 0)",
                                     "ORA_DIV(1, NULL)",
                                     "MOD(NULL, 1)",
                                     "MOD(1, NULL)",
                                     "REMAINDER(1, NULL)",
                                     "POWER(NULL, 2)",
                                     "POWER(2, NULL)",
                                     "SQRT(NULL)",
                                     "SIGN(NULL)",
                                     "ABS(NULL)",
                                     "CEIL(NULL)",
                                     "FLOOR(NULL)",
                                     "BITAND(NULL, 1)",
                                     "GREATEST(1, NULL, 3)",
                                     "LEAST(NULL, 'a')"};
    for (const char* call : nullCalls)
        QTest::newRow(call) << QString(call);
}

void TestSqlFunctions::nullArguments() {
    QFETCH(QString, expression);
    QCOMPARE(eval(expression), QStringLiteral("<null>"));
}

void TestSqlFunctions::values_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ROUND negative places") << "ROUND(15.193, -1)"
                                           << "20";
    QTest::newRow("ROUND of a date") << "ROUND(TO_DATE('27-OCT-00'), 'YEAR')"
                                     << "2001-01-01 00:00:00";
    QTest::newRow("TRUNC of a date") << "TRUNC('2013-02-17 14:05:09', 'MM')"
                                     << "2013-02-01 00:00:00";
    QTest::newRow("TRUNC of a number") << "TRUNC(15.79, 1)"
                                       << "15.7";
    QTest::newRow("SUBSTR from 0") << "SUBSTR('ABCDEFG', 0, 2)"
                                   << "AB";
    QTest::newRow("SUBSTR empty is NULL") << "COALESCE(SUBSTR('ABC', 3, 0), 'null')"
                                          << "null";
    QTest::newRow("REPLACE without replacement") << "REPLACE('abc', 'b', NULL)"
                                                 << "ac";
    QTest::newRow("REPLACE of NULL search") << "REPLACE('abc', NULL)"
                                            << "abc";
    QTest::newRow("CONCAT with NULL") << "CONCAT('a', NULL)"
                                      << "a";
    QTest::newRow("ADD_MONTHS last day") << "ADD_MONTHS(ORA_DATE('2009-02-28'), 1)"
                                         << "2009-03-31 00:00:00";
    QTest::newRow("date plus days") << "ORA_DATE_ADD('2013-02-17 14:05:09', 30)"
                                    << "2013-03-19 14:05:09";
    QTest::newRow("date minus date") << "ORA_DATE_DIFF('2013-02-17 12:00:00', '2013-02-16')"
                                     << "1.5";
    QTest::newRow("timestamp minus timestamp")
        << "ORA_TIMESTAMP_DIFF(ORA_TIMESTAMP('2013-02-17 12:00:00'), '2013-02-17 11:59:30.25')"
        << "+000000000 00:00:29.750000000";
    QTest::newRow("date plus interval") << "ORA_DATE_ADD_INTERVAL('2013-02-17', "
                                           "NUMTODSINTERVAL(36, 'HOUR'))"
                                        << "2013-02-18 12:00:00";
    QTest::newRow("EXTRACT of an interval") << "ORA_EXTRACT('DAY', NUMTODSINTERVAL(36, 'HOUR'))"
                                            << "1";
    QTest::newRow("TO_CHAR date") << "TO_CHAR(ORA_DATE('2013-02-17'), 'fmMonth DD, YYYY')"
                                  << "February 17, 2013";
    QTest::newRow("TO_CHAR number") << "TO_CHAR(24000, 'FM99,999.00')"
                                    << "24,000.00";
    QTest::newRow("TO_NUMBER with format") << "TO_NUMBER('1,234.50', '9,999.99')"
                                           << "1234.5";
    QTest::newRow("GREATEST numeric by the first") << "GREATEST(1, '3.925', '2.4')"
                                                   << "3.925";
    QTest::newRow("GREATEST text by the first") << "GREATEST('2', 10)"
                                                << "2";
    QTest::newRow("LEAST of names") << "LEAST('HARRY', 'HARRIOT', 'HAROLD')"
                                    << "HAROLD";
    QTest::newRow("division") << "ORA_DIV(7, 2)"
                              << "3.5";
    QTest::newRow("MOD of the smallest integer") << "MOD(-9223372036854775808, -1)"
                                                 << "0";
    QTest::newRow("LENGTH of a number") << "LENGTH(123.5)"
                                        << "5";
    QTest::newRow("English names asked for")
        << "TO_CHAR(ORA_DATE('2013-02-17'), 'Day', 'NLS_DATE_LANGUAGE = American')"
        << "Sunday   ";
    QTest::newRow("another language refused")
        << "TO_CHAR(ORA_DATE('2013-02-17'), 'Day', 'NLS_DATE_LANGUAGE = German')"
        << "the NLS parameter 'NLS_DATE_LANGUAGE = German' is not supported by the local engine";
}

void TestSqlFunctions::values() {
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    QCOMPARE(eval(expression), expected);
}

void TestSqlFunctions::oracleErrors_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("error");
    QTest::newRow("division by zero") << "ORA_DIV(1, 0)"
                                      << "ORA-01476: divisor is equal to zero";
    QTest::newRow("square root") << "SQRT(-1)"
                                 << "ORA-01428: argument '-1' is out of range";
    QTest::newRow("30 February") << "TO_DATE('2009-02-30', 'YYYY-MM-DD')"
                                 << "ORA-01839: date not valid for month specified";
    QTest::newRow("not a number") << "TO_NUMBER('abc')"
                                  << "ORA-01722: invalid number";
    QTest::newRow("text in arithmetic") << "MOD('x', 2)"
                                        << "ORA-01722: invalid number";
    QTest::newRow("LEAST converts to number") << "LEAST(1, 'x')"
                                              << "ORA-01722: invalid number";
    QTest::newRow("number model") << "TO_CHAR(1, '9.9.9')"
                                  << "ORA-01481: invalid number format model";
    QTest::newRow("date model") << "TO_CHAR(ORA_DATE('2013-02-17'), 'YYYY-XX')"
                                << "ORA-01821: date format not recognized";
    QTest::newRow("number as a date")
        << "ADD_MONTHS(5, 1)"
        << "ORA-00932: inconsistent datatypes: expected DATE got NUMBER";
    QTest::newRow("date not in NLS format") << "LAST_DAY('2013/02/17')"
                                            << "ORA-01843: not a valid month";
    QTest::newRow("year past 9999") << "ORA_DATE_ADD('9999-12-31', 1)"
                                    << "ORA-01841: (full) year must be between -4713 and +9999, "
                                       "and not be 0";
    QTest::newRow("EXTRACT HOUR of a DATE")
        << "ORA_EXTRACT_DATE('HOUR', '2013-02-17 10:00:00')"
        << "ORA-30076: invalid extract field for extract source";
    QTest::newRow("trim set") << "ORA_TRIM('abc', 'BOTH', 'ab')"
                              << "ORA-30001: trim set should have only one character";
}

void TestSqlFunctions::oracleErrors() {
    QFETCH(QString, expression);
    QFETCH(QString, error);
    QCOMPARE(eval(expression), error);
}

void TestSqlFunctions::sessionFormats() {
    QCOMPARE(eval("TO_CHAR(ORA_DATE('2013-02-17'))"), QString("17-FEB-13"));
    QCOMPARE(eval("TO_DATE('17-FEB-13')"), QString("2013-02-17 00:00:00"));
    m_settings->dateFormat = "YYYY/MM/DD";
    QCOMPARE(eval("TO_CHAR(ORA_DATE('2013-02-17'))"), QString("2013/02/17"));
    QCOMPARE(eval("LAST_DAY('2013/02/17')"), QString("2013-02-28 00:00:00"));
    m_settings->dateFormat = "DD-MON-RR";
}

void TestSqlFunctions::deterministicInIndexes() {
    // SQLite accepts only deterministic functions in an index expression.
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db,
                                "CREATE TABLE t(d TEXT);"
                                "CREATE INDEX t_year ON t(TO_CHAR(d, 'YYYY'));"
                                "INSERT INTO t VALUES ('2013-02-17 00:00:00');",
                                nullptr, nullptr, &error);
    QCOMPARE(QString(error ? error : ""), QString());
    sqlite3_free(error);
    QCOMPARE(rc, SQLITE_OK);
    QCOMPARE(eval("COUNT(*) FROM t WHERE TO_CHAR(d, 'YYYY') = '2013'"), QString("1"));
    // Without a format the result follows NLS_DATE_FORMAT: not deterministic.
    QVERIFY(sqlite3_exec(m_db, "CREATE INDEX t_nls ON t(TO_CHAR(d))", nullptr, nullptr, nullptr) !=
            SQLITE_OK);
}

void TestSqlFunctions::resultsWithinSqliteLimit() {
    // Results that multiply their input stop at SQLite's length limit
    // before they are built.
    const int before = sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, 500);
    const QString wide = "'" + QString(100, 'x') + "'";
    QCOMPARE(eval("REPLACE('aaaaaaaaaa', 'a', " + wide + ")"), QString("string or blob too big"));
    QCOMPARE(eval("REGEXP_REPLACE('aaaaaaaaaa', 'a', " + wide + ")"),
             QString("string or blob too big"));
    QCOMPARE(eval("LENGTH(REPLACE('aaaa', 'a', " + wide + "))"), QString("400"));
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, before);
}

// Oracle's REGEXP_ examples, and what the engine refuses.
void TestSqlFunctions::regularExpressions_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected");
    const QString address = "'500 Oracle Parkway, Redwood Shores, CA'";
    QTest::newRow("like") << "REGEXP_LIKE('Steven', '^Ste(v|ph)en$')"
                          << "1";
    QTest::newRow("like, case") << "REGEXP_LIKE('steven', '^Ste(v|ph)en$')"
                                << "0";
    QTest::newRow("like, i") << "REGEXP_LIKE('steven', '^Ste(v|ph)en$', 'i')"
                             << "1";
    QTest::newRow("substr") << "REGEXP_SUBSTR(" + address + ", ',[^,]+,')"
                            << ", Redwood Shores,";
    QTest::newRow("substr, class and interval")
        << "REGEXP_SUBSTR('http://www.example.com/products', "
           "'http://([[:alnum:]]+\\.?){3,4}/?')"
        << "http://www.example.com/";
    QTest::newRow("substr, subexpression")
        << "REGEXP_SUBSTR('1234567890', '(123)(4(56)(78))', 1, 1, 'i', 4)"
        << "78";
    QTest::newRow("substr, no match") << "REGEXP_SUBSTR('abc', 'x')"
                                      << "<null>";
    QTest::newRow("instr") << "REGEXP_INSTR(" + address + ", '[^ ]+', 1, 6)"
                           << "37";
    QTest::newRow("instr, after the match")
        << "REGEXP_INSTR(" + address + ", '[s|r|p][[:alpha:]]{6}', 3, 2, 1, 'i')"
        << "28";
    QTest::newRow("instr, subexpression")
        << "REGEXP_INSTR('1234567890', '(123)(4(56)(78))', 1, 1, 0, 'i', 2)"
        << "4";
    QTest::newRow("replace, spaces") << "REGEXP_REPLACE('500   Oracle     Parkway', '( ){2,}', ' ')"
                                     << "500 Oracle Parkway";
    QTest::newRow("replace, back references")
        << "REGEXP_REPLACE('555.123.4567', "
           "'([[:digit:]]{3})\\.([[:digit:]]{3})\\.([[:digit:]]{4})', '(\\1) \\2-\\3')"
        << "(555) 123-4567";
    QTest::newRow("replace, second occurrence")
        << "REGEXP_REPLACE('TechOnTheNet', 'a|e|i|o|u', 'Z', 1, 2, 'i')"
        << "TechZnTheNet";
    QTest::newRow("replace, NULL replacement") << "REGEXP_REPLACE('abc', 'b', NULL)"
                                               << "ac";
    QTest::newRow("replace, NULL pattern") << "REGEXP_REPLACE('abc', NULL, 'x')"
                                           << "abc";
    QTest::newRow("count") << "REGEXP_COUNT('123123123123', '123', 3, 'i')"
                           << "3";
    QTest::newRow("backslash in brackets is literal") << "REGEXP_LIKE('a\\b', '^a[\\]b$')"
                                                      << "1";
    QTest::newRow("escaped letter is the letter") << "REGEXP_LIKE('ab', '^a\\b$')"
                                                  << "1";
    QTest::newRow("unmatched parenthesis")
        << "REGEXP_LIKE('a', '(a')"
        << "ORA-12725: unmatched parentheses in regular expression";
    QTest::newRow("unmatched bracket") << "REGEXP_LIKE('a', '[a')"
                                       << "ORA-12726: unmatched bracket in regular expression";
    QTest::newRow("bad match parameter") << "REGEXP_LIKE('a', 'a', 'q')"
                                         << "ORA-01760: illegal argument for function";
    QTest::newRow("position 0") << "REGEXP_SUBSTR('abc', 'b', 0)"
                                << "ORA-01428: argument '0' is out of range";
    QTest::newRow("PCRE2-only group refused")
        << "REGEXP_LIKE('a', '(?i)A')"
        << "\"(?\" groups in regular expressions are not supported by the local engine";
    QTest::newRow("equivalence class refused")
        << "REGEXP_LIKE('a', '[[=a=]]')"
        << "equivalence classes ([= =]) in regular expressions are not supported by the local "
           "engine";
}

void TestSqlFunctions::regularExpressions() {
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    QCOMPARE(eval(expression), expected);
}

void TestSqlFunctions::aggregates_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");
    const QString rows =
        " FROM (SELECT 1 AS k, 10 AS v, 'a' AS t UNION ALL SELECT 2, 20, 'b' "
        "UNION ALL SELECT 3, 20, NULL UNION ALL SELECT 4, NULL, 'd')";
    QTest::newRow("listagg skips NULL") << "ORA_LISTAGG(t, ', ')" + rows << "a, b, d";
    QTest::newRow("median, even count") << "MEDIAN(k)" + rows << "2.5";
    QTest::newRow("median skips NULL") << "MEDIAN(v)" + rows << "20";
    QTest::newRow("stats_mode") << "STATS_MODE(v)" + rows << "20";
    QTest::newRow("variance of one row") << "VARIANCE(v) FROM (SELECT 5 AS v)"
                                         << "0.0";
    QTest::newRow("stddev of one row") << "STDDEV(v) FROM (SELECT 5 AS v)"
                                       << "0.0";
    QTest::newRow("var_samp of one row") << "VAR_SAMP(v) FROM (SELECT 5 AS v)"
                                         << "<null>";
    QTest::newRow("variance") << "VARIANCE(k)" + rows << "1.66666666666667";
    QTest::newRow("var_pop") << "VAR_POP(k)" + rows << "1.25";
    QTest::newRow("no rows") << "VARIANCE(k) FROM (SELECT 1 AS k) WHERE k = 0"
                             << "<null>";
    QTest::newRow("keep first") << "ORA_KEEP('MIN', 'FIRST', 'DESC', k, v)" + rows << "4";
    QTest::newRow("keep first, nulls last")
        << "ORA_KEEP('MAX', 'FIRST', 'DESC NULLS LAST', k, v)" + rows << "3";
    QTest::newRow("keep last") << "ORA_KEEP('SUM', 'LAST', 'ASC', k, v)" + rows << "4";
    QTest::newRow("keep count") << "ORA_KEEP('COUNT', 'FIRST', 'ASC', t, v)" + rows << "1";
    QTest::newRow("window listagg")
        << "group_concat(x, '|') FROM (SELECT ORA_LISTAGG(t, ',') OVER (ORDER BY k ROWS "
           "BETWEEN 1 PRECEDING AND CURRENT ROW) AS x" +
               rows + ")"
        << "a|a,b|b|d";
}

void TestSqlFunctions::aggregates() {
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(eval(query), expected);
}

void TestSqlFunctions::documentsAndLobs_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected");
    const QString doc = "'{\"a\":{\"b\":[1,2,{\"c\":\"x\"}]},\"t\":true,\"n\":\"12.5\"}'";
    QTest::newRow("is json") << "ORA_IS_JSON(" + doc + ")"
                             << "1";
    QTest::newRow("scalar is not json") << "ORA_IS_JSON('1')"
                                        << "0";
    QTest::newRow("json_value") << "ORA_JSON_VALUE(" + doc + ", '$.a.b[2].c')"
                                << "x";
    QTest::newRow("json_value of a boolean") << "ORA_JSON_VALUE(" + doc + ", '$.t')"
                                             << "true";
    QTest::newRow("json_value of an array") << "ORA_JSON_VALUE(" + doc + ", '$.a.b')"
                                            << "<null>";
    QTest::newRow("json_value error on error")
        << "ORA_JSON_VALUE(" + doc + ", '$.a.b', 'VARCHAR2', 'ERROR')"
        << "ORA-40456: JSON_VALUE evaluated to non-scalar value";
    QTest::newRow("json_value returning number") << "ORA_JSON_VALUE(" + doc + ", '$.n', 'NUMBER')"
                                                 << "12.5";
    QTest::newRow("json_value default on error")
        << "ORA_JSON_VALUE(" + doc + ", '$.a.b[2].c', 'NUMBER', 'DEFAULT', -1)"
        << "-1";
    QTest::newRow("malformed json") << "ORA_JSON_VALUE('{', '$.a', 'VARCHAR2', 'ERROR')"
                                    << "ORA-40441: JSON syntax error";
    QTest::newRow("cast_to_raw") << "RAWTOHEX(ORA_UTL_RAW_CAST_TO_RAW('abc'))"
                                 << "616263";
    QTest::newRow("cast_to_varchar2") << "ORA_UTL_RAW_CAST_TO_VARCHAR2('616263')"
                                      << "abc";
    QTest::newRow("lob length") << "ORA_DBMS_LOB_GETLENGTH('h\u00e9llo')"
                                << "5";
    QTest::newRow("lob substr") << "ORA_DBMS_LOB_SUBSTR('hello world', 5, 7)"
                                << "world";
    QTest::newRow("lob substr, bad amount") << "ORA_DBMS_LOB_SUBSTR('hello', 0, 1)"
                                            << "<null>";
    QTest::newRow("lob instr") << "ORA_DBMS_LOB_INSTR('hello world', 'o', 1, 2)"
                               << "8";
}

void TestSqlFunctions::documentsAndLobs() {
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    QCOMPARE(eval(expression), expected);
}

QTEST_APPLESS_MAIN(TestSqlFunctions)
#include "tst_sqlfunctions.moc"
