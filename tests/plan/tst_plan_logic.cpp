// The statements of the plan table and of one analysis, and the statement
// identifier taken from the host's addresses.
#include "ExplainRunner.h"
#include "HostAddress.h"
#include "PlanTable.h"

#include <QTest>
#include <stdexcept>

using basGetIP::IPv4;
using Addresses = std::vector<IPv4>;
Q_DECLARE_METATYPE(Addresses)
Q_DECLARE_METATYPE(std::optional<Addresses>)

class tst_PlanLogic : public QObject {
    Q_OBJECT
private slots:
    void planTableStatements();
    void messages();
    void explainStatement_data();
    void explainStatement();
    void readBackQuery();
    void planTextOfRows_data();
    void planTextOfRows();

    void address_data();
    void address();
    void failingResolver();
    void systemResolver();
};

void tst_PlanLogic::planTableStatements() {
    const QString create = PlanTable::createStatement();
    QCOMPARE(
        create,
        QStringLiteral(
            "create table PLAN_TABLE (statement_id  varchar2(30),timestamp     date,"
            "remarks       varchar2(80),operation     varchar2(30),options        varchar2(30),"
            "object_node   varchar2(128),object_owner  varchar2(30),object_name   varchar2(30),"
            "object_instance numeric,object_type     varchar2(30),optimizer       varchar2(255),"
            "search_columns  number,id  numeric,parent_id numeric,position numeric,cost  numeric,"
            "cardinality numeric,bytes  numeric,other_tag       varchar2(255),"
            "partition_start varchar2(255),partition_stop  varchar2(255),partition_id    numeric,"
            "other  long)"));
    QVERIFY(!create.contains(QChar('\n')) && !create.contains(QChar('\r')));
    QCOMPARE(PlanTable::dropStatement(), QStringLiteral("drop table PLAN_TABLE "));
    QCOMPARE(PlanTable::deleteRowsStatement(QStringLiteral("10.0.0.5")),
             QStringLiteral("DELETE PLAN_TABLE WHERE STATEMENT_ID='10.0.0.5'"));
    QCOMPARE(PlanTable::checkQuery(),
             QStringLiteral("SELECT * from user_tables WHERE  table_name = 'PLAN_TABLE'"));
}

void tst_PlanLogic::messages() {
    // Second lines start with seven ideographic spaces; the join is a lone CR.
    const QString seven(7, QChar(0x3000));
    for (const QString& second : {PlanTable::kDropFound2, PlanTable::kNotDroppedAtDisconnect,
                                  PlanTable::kNotDroppedAtExit, PlanTable::kMissingAtConnect2}) {
        QVERIFY(second.startsWith(seven));
        QVERIFY(second.at(7) != QChar(0x3000));
    }
    QCOMPARE(PlanTable::twoLines(QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("a\rb"));
}

void tst_PlanLogic::explainStatement_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("tail");
    QTest::newRow("as typed") << "select * from emp"
                              << "select * from emp";
    QTest::newRow("spaces at both ends") << "   select 1 from dual  "
                                         << "select 1 from dual";
    QTest::newRow("line breaks stay") << "select *\nfrom emp\n"
                                      << "select *\nfrom emp\n";
    QTest::newRow("tabs stay") << "\tselect 1 from dual \t"
                               << "\tselect 1 from dual \t";
    QTest::newRow("ideographic space stays") << "\u3000select 1"
                                             << "\u3000select 1";
    QTest::newRow("semicolon kept") << "select 1 from dual; "
                                    << "select 1 from dual;";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("spaces only") << "    "
                                 << "";
}

void tst_PlanLogic::explainStatement() {
    QFETCH(QString, source);
    QFETCH(QString, tail);
    QCOMPARE(
        ExplainRunner::explainStatement(QStringLiteral("10.0.0.5"), source),
        QStringLiteral("EXPLAIN PLAN SET STATEMENT_ID='10.0.0.5' INTO PLAN_TABLE FOR ") + tail);
}

void tst_PlanLogic::readBackQuery() {
    QCOMPARE(
        ExplainRunner::readBackQuery(QStringLiteral("999.999.999.999")),
        QStringLiteral("SELECT DECODE(id,0,'',LPAD(' ',2*(LEVEL-1))||level||'.'||position)||' '||"
                       "operation||' '||options||' '||object_name||' '||object_type||' '||"
                       "DECODE(id,0,'Cost='||position) QUERY_PLAN FROM PLAN_TABLE "
                       "START WITH id=0 AND statement_id ='999.999.999.999' "
                       "CONNECT BY PRIOR id=parent_id AND statement_id='999.999.999.999'"));
}

namespace {

// The read-back query's rows as a result set gives them.
class Rows : public oraobj::OraDynaset {
public:
    explicit Rows(QVariantList values) : m_values(std::move(values)) {}
    bool EOF_() const override { return m_at >= m_values.size(); }
    oraobj::OraField Fields(short) const override { return oraobj::OraField(m_values.at(m_at)); }
    void DbMoveNext() override { ++m_at; }
    qint32 RecordCount() override { return qint32(m_values.size()); }

private:
    QVariantList m_values;
    qsizetype m_at = 0;
};

}  // namespace

void tst_PlanLogic::planTextOfRows_data() {
    QTest::addColumn<QVariantList>("rows");
    QTest::addColumn<QString>("text");
    QTest::newRow("no rows") << QVariantList() << "";
    QTest::newRow("each line ends with CR LF")
        << QVariantList{QStringLiteral(" SELECT STATEMENT    Cost=3"), QStringLiteral("  2.1 X ")}
        << " SELECT STATEMENT    Cost=3\r\n  2.1 X \r\n";
    QTest::newRow("a null adds only its CR LF")
        << QVariantList{QStringLiteral("a"), QVariant(), QStringLiteral("b")} << "a\r\n\r\nb\r\n";
}

void tst_PlanLogic::planTextOfRows() {
    QFETCH(QVariantList, rows);
    QFETCH(QString, text);
    Rows result(rows);
    QCOMPARE(ExplainRunner::planText(result), text);
}

void tst_PlanLogic::address_data() {
    QTest::addColumn<std::optional<Addresses>>("byName");
    QTest::addColumn<Addresses>("interfaces");
    QTest::addColumn<QString>("expected");
    const IPv4 a{10, 0, 0, 5}, b{192, 168, 1, 20}, c{172, 16, 0, 1};
    const IPv4 lo{127, 0, 0, 1}, debian{127, 0, 1, 1};
    QTest::newRow("one address") << std::optional(Addresses{a}) << Addresses{c} << "10.0.0.5";
    QTest::newRow("two addresses: the last")
        << std::optional(Addresses{a, b}) << Addresses{c} << "192.168.1.20";
    QTest::newRow("loopback left out")
        << std::optional(Addresses{a, debian}) << Addresses{c} << "10.0.0.5";
    QTest::newRow("only loopback: interfaces")
        << std::optional(Addresses{debian}) << Addresses{lo, c, b, lo} << "192.168.1.20";
    QTest::newRow("name unresolved: interfaces")
        << std::optional<Addresses>() << Addresses{c} << "172.16.0.1";
    QTest::newRow("empty list: interfaces")
        << std::optional(Addresses{}) << Addresses{a} << "10.0.0.5";
    QTest::newRow("nothing but loopback")
        << std::optional(Addresses{lo}) << Addresses{lo} << "999.999.999.999";
    QTest::newRow("no network at all")
        << std::optional<Addresses>() << Addresses{} << "999.999.999.999";
    QTest::newRow("longest dotted form")
        << std::optional(Addresses{IPv4{255, 255, 255, 254}}) << Addresses{} << "255.255.255.254";
}

void tst_PlanLogic::address() {
    QFETCH(std::optional<Addresses>, byName);
    QFETCH(Addresses, interfaces);
    QFETCH(QString, expected);
    basGetIP::Resolver r;
    r.hostName = [] { return std::optional<std::string>("ws01"); };
    r.lookup = [byName](const std::string& name) {
        return name == "ws01" ? byName : std::optional<Addresses>();
    };
    r.interfaces = [interfaces] { return interfaces; };
    QCOMPARE(basGetIP::addressFrom(r), expected);

    // Through the seam behind the main window's method.
    basGetIP::setResolver(r);
    QCOMPARE(basGetIP::getMyIPAddress(), expected);
    basGetIP::setResolver(std::nullopt);
}

void tst_PlanLogic::failingResolver() {
    basGetIP::Resolver r;
    r.hostName = [] { return std::optional<std::string>(); };
    r.lookup = [](const std::string&) -> std::optional<Addresses> {
        throw std::runtime_error("resolver down");
    };
    r.interfaces = [] { return Addresses{IPv4{10, 1, 1, 1}}; };
    QCOMPARE(basGetIP::addressFrom(r), QStringLiteral("10.1.1.1"));  // no host name: interfaces

    // A lookup that fails with an error is treated as one that finds nothing.
    r.hostName = [] { return std::optional<std::string>("ws01"); };
    QCOMPARE(basGetIP::addressFrom(r), QStringLiteral("10.1.1.1"));
    r.hostName = []() -> std::optional<std::string> { throw std::runtime_error("no name"); };
    QCOMPARE(basGetIP::addressFrom(r), QStringLiteral("10.1.1.1"));

    r.lookup = [](const std::string&) { return std::optional<Addresses>(); };
    r.interfaces = []() -> Addresses { throw std::runtime_error("no interfaces"); };
    QCOMPARE(basGetIP::addressFrom(r), QStringLiteral("999.999.999.999"));
}

void tst_PlanLogic::systemResolver() {
    // Whatever this host has: a dotted IPv4 address that is not loopback,
    // or the fallback text; never longer than 15 characters.
    const QString id = basGetIP::getMyIPAddress();
    QVERIFY(id.size() <= 15);
    QVERIFY(!id.startsWith(QLatin1String("127.")));
    const QStringList parts = id.split(QChar('.'));
    QCOMPARE(parts.size(), 4);
    if (id != basGetIP::kNoAddress) {
        for (const QString& p : parts) {
            bool ok = false;
            const int v = p.toInt(&ok);
            QVERIFY(ok && v >= 0 && v <= 255 && QString::number(v) == p);
        }
    }
}

QTEST_MAIN(tst_PlanLogic)
#include "tst_plan_logic.moc"
