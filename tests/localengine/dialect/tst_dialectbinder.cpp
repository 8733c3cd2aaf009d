// The binder on a made-up schema: what each name stands for, what * lists,
// the headings, the types, and the facts the plan mapper reads.

#include "dialect/AstWalk.h"
#include "dialect/Binder.h"
#include "dialect/Error.h"
#include "dialect/Parser.h"
#include "dialect/Translator.h"

#include <QtTest>

#include <functional>

using namespace localengine::dialect;

namespace {

MemoryCatalog schema() {
    MemoryCatalog c;
    c.table("EMP", {"EMPNO INTEGER PRIMARY KEY", "ENAME VARCHAR2(10)", "JOB CHAR(9)", "MGR NUMBER",
                    "HIREDATE DATE", "SAL NUMBER(7,2)", "DEPTNO NUMBER(2)", "PHOTO BLOB"});
    c.table("dept", {"deptno NUMBER", "dname VARCHAR2(14)", "loc TEXT"});
    c.table("LEVELS", {"ID INTEGER", "LEVEL INTEGER"});
    c.table("EMP_V", {"ENAME", "DNAME"}, TableInfo::Kind::View);
    return c;
}

struct Bound {
    std::vector<Token> tokens;
    StatementPtr statement;
    PlanFacts facts;
};

Bound bindStatement(const std::string& sql, const Catalog& catalog) {
    Bound b;
    b.tokens = tokenize(sql);
    b.statement = parseStatement(b.tokens, sql);
    Binder binder(&catalog, b.tokens, "SCOTT");
    binder.bind(*b.statement);
    b.facts = binder.finish();
    return b;
}

QString joined(const QualifiedName& name) {
    QStringList parts;
    for (const Identifier& i : name)
        parts << QString::fromStdString(i.name);
    return parts.join('.');
}

QString exposed(const TableRef& s) {
    if (s.alias)
        return QString::fromStdString(s.alias->name);
    if (s.kind == TableRefKind::Named)
        return QString::fromStdString(s.as<NamedTable>().exposedName().name);
    return "?";
}

// Every column reference of the statement's query blocks in text order, as
// "written -> source.column" (with "^n" for a reference n blocks out).
QStringList references(const Query& q);

void collect(const Expr& e, QStringList& out) {
    if (e.kind == ExprKind::ColumnRef) {
        const auto& c = e.as<ColumnRef>();
        QString target = "unresolved";
        if (c.binding.source) {
            const TableRef& s = *c.binding.source;
            target = exposed(s) + "." +
                     (c.binding.column < 0
                          ? QString("ROWID")
                          : QString::fromStdString(
                                s.columns[static_cast<std::size_t>(c.binding.column)].name));
            if (c.binding.outerLevels)
                target += QString("^%1").arg(c.binding.outerLevels);
        }
        out << joined(c.parts) + " -> " + target;
        return;
    }
    if (e.kind == ExprKind::Exists)
        out << references(*e.as<Exists>().query);
    if (e.kind == ExprKind::InSubquery) {
        collect(*e.as<InSubquery>().operand, out);
        out << references(*e.as<InSubquery>().query);
        return;
    }
    if (e.kind == ExprKind::ScalarSubquery)
        out << references(*e.as<ScalarSubquery>().query);
    forEachChild(e, [&](const Expr& child) { collect(child, out); });
}

QStringList references(const Query& q) {
    QStringList out;
    std::function<void(const QueryTerm&)> term = [&](const QueryTerm& t) {
        if (t.kind == QueryTermKind::SetOperation) {
            term(*t.left);
            term(*t.right);
        } else if (t.kind == QueryTermKind::Nested) {
            out << references(*t.nested);
        } else {
            const SelectBlock& b = *t.select;
            for (const SelectItem& i : b.items)
                collect(*i.expr, out);
            std::function<void(const TableRef&)> source = [&](const TableRef& f) {
                if (f.kind == TableRefKind::Derived)
                    out << references(*f.as<DerivedTable>().query);
                if (f.kind != TableRefKind::Join)
                    return;
                source(*f.as<Join>().left);
                source(*f.as<Join>().right);
                if (f.as<Join>().on)
                    collect(*f.as<Join>().on, out);
            };
            for (const TableRefPtr& f : b.from)
                source(*f);
            if (b.where)
                collect(*b.where, out);
        }
    };
    term(*q.body);
    for (const OrderItem& o : q.orderBy)
        collect(*o.expr, out);
    return out;
}

const Query& queryOf(const Bound& b) {
    return *b.statement->as<SelectStatement>().query;
}

}  // namespace

class TestDialectBinder : public QObject {
    Q_OBJECT

    MemoryCatalog m_schema = schema();

private slots:
    void resolution_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("references");
        QTest::newRow("unqualified, by alias, by table name, any case")
            << "select ename, e.sal, dept.loc from emp e, dept where e.deptno = dept.DEPTNO"
            << QStringList{"ENAME -> E.ENAME", "E.SAL -> E.SAL", "DEPT.LOC -> DEPT.loc",
                           "E.DEPTNO -> E.DEPTNO", "DEPT.DEPTNO -> DEPT.deptno"};
        QTest::newRow("the owner's schema is the database")
            << "select scott.emp.ename, scott.ename from scott.emp"
            << QStringList{"EMP.ENAME -> EMP.ENAME", "ENAME -> EMP.ENAME"};
        QTest::newRow("correlated subquery reaches out one block")
            << "select ename from emp e where exists (select 1 from dept d where d.deptno = "
               "e.deptno and loc = ename)"
            << QStringList{"ENAME -> E.ENAME", "D.DEPTNO -> D.deptno", "E.DEPTNO -> E.DEPTNO^1",
                           "LOC -> D.loc", "ENAME -> E.ENAME^1"};
        QTest::newRow("inline view columns are its headings")
            << "select v.n, v.\"SAL*2\", total from (select ename n, sal*2, sal + 1 total from "
               "emp) v"
            << QStringList{"V.N -> V.N",         "V.SAL*2 -> V.SAL*2", "TOTAL -> V.TOTAL",
                           "ENAME -> EMP.ENAME", "SAL -> EMP.SAL",     "SAL -> EMP.SAL"};
        QTest::newRow("WITH query columns, listed or from its select list")
            << "with q (a, b) as (select empno, ename from emp), r as (select a from q) select "
               "r.a, q.b from r, q"
            << QStringList{"R.A -> R.A", "Q.B -> Q.B"};
        QTest::newRow("ANSI join sources, ROWID")
            << "select e.rowid, d.dname from emp e join dept d on d.deptno = e.deptno"
            << QStringList{"E.ROWID -> E.ROWID", "D.DNAME -> D.dname", "D.DEPTNO -> D.deptno",
                           "E.DEPTNO -> E.DEPTNO"};
        QTest::newRow("unknown names stay for SQLite to report")
            << "select nosuch, x.y from emp, nowhere x"
            << QStringList{"NOSUCH -> unresolved", "X.Y -> unresolved"};
        QTest::newRow("ORDER BY of a set operation names the result")
            << "select ename from emp union select dname from dept order by ename"
            << QStringList{"ENAME -> EMP.ENAME", "DNAME -> DEPT.dname", "ENAME -> unresolved"};
    }
    void resolution() {
        QFETCH(QString, sql);
        QFETCH(QStringList, references);
        const Bound b = bindStatement(sql.toStdString(), m_schema);
        QCOMPARE(::references(queryOf(b)), references);
    }

    void starAndHeadings_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("star lists every source's columns in FROM order")
            << "select * from dept, emp_v"
            << QStringList{"deptno", "dname", "loc", "ENAME", "DNAME"};
        QTest::newRow("alias star, column, alias, quoted alias, expression text")
            << "select d.*, ename, sal s, sal \"Pay\", sal * 12 + nvl(mgr, 0) from dept d, emp"
            << QStringList{"deptno", "dname", "loc", "ENAME", "S", "Pay", "SAL*12+NVL(MGR,0)"};
        QTest::newRow("heading keeps literals as written")
            << "select 'a''b' || x, date '2020-01-01' from emp"
            << QStringList{"'a''b'||X", "DATE'2020-01-01'"};
        QTest::newRow("a set operation is named by its first block")
            << "select ename a from emp union all select dname from dept" << QStringList{"A"};
    }
    void starAndHeadings() {
        QFETCH(QString, sql);
        QFETCH(QStringList, columns);
        const Bound b = bindStatement(sql.toStdString(), m_schema);
        const Query& q = queryOf(b);
        QVERIFY(q.columnsKnown);
        QStringList names;
        for (const Identifier& c : q.columns)
            names << QString::fromStdString(c.name);
        QCOMPARE(names, columns);
    }

    void starOfAnUnknownTableIsLeftToSqlite() {
        const Bound b = bindStatement("select * from emp, nowhere", m_schema);
        QVERIFY(!queryOf(b).columnsKnown);
        QVERIFY(!queryOf(b).singleBlock()->items[0].expr->as<Star>().expanded);
    }

    void types_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("type");
        QTest::newRow("number column") << "sal"
                                       << "NUMBER";
        QTest::newRow("rowid alias column") << "empno"
                                            << "NUMBER";
        QTest::newRow("varchar2 column") << "ename"
                                         << "VARCHAR2";
        QTest::newRow("char column") << "job"
                                     << "CHAR";
        QTest::newRow("blob column") << "photo"
                                     << "BLOB";
        QTest::newRow("text literal") << "'x'"
                                      << "CHAR";
        QTest::newRow("date plus days") << "hiredate + 30"
                                        << "DATE";
        QTest::newRow("days plus date") << "30 + hiredate"
                                        << "DATE";
        QTest::newRow("date minus days") << "hiredate - 1"
                                         << "DATE";
        QTest::newRow("date minus date") << "sysdate - hiredate"
                                         << "NUMBER";
        QTest::newRow("timestamp minus timestamp") << "systimestamp - systimestamp"
                                                   << "INTERVAL";
        QTest::newRow("timestamp plus days is a date") << "systimestamp + 1"
                                                       << "DATE";
        QTest::newRow("timestamp plus interval") << "systimestamp + interval '1' hour"
                                                 << "TIMESTAMP";
        QTest::newRow("date minus timestamp") << "hiredate - systimestamp"
                                              << "INTERVAL";
        QTest::newRow("interval from a number") << "numtodsinterval(1, 'DAY')"
                                                << "INTERVAL";
        QTest::newRow("concatenation") << "sal || 'x'"
                                       << "VARCHAR2";
        QTest::newRow("arithmetic") << "-sal * 2 / 3"
                                    << "NUMBER";
        QTest::newRow("condition") << "case when sal > 1 then hiredate end"
                                   << "DATE";
        QTest::newRow("aggregate") << "count(*)"
                                   << "NUMBER";
        QTest::newRow("first argument's type") << "nvl(hiredate, sysdate)"
                                               << "DATE";
        QTest::newRow("DECODE of text is VARCHAR2") << "decode(sal, 1, 'a', 'b')"
                                                    << "VARCHAR2";
        QTest::newRow("ROUND of a date") << "round(hiredate)"
                                         << "DATE";
        QTest::newRow("ROUND of a number") << "round(sal, 1)"
                                           << "NUMBER";
        QTest::newRow("scalar subquery") << "(select max(hiredate) from emp)"
                                         << "DATE";
        QTest::newRow("cast") << "cast(sal as varchar2(10))"
                              << "VARCHAR2";
        QTest::newRow("unknown function") << "frob(sal)"
                                          << "UNKNOWN";
        QTest::newRow("bind parameter") << ":x"
                                        << "UNKNOWN";
        QTest::newRow("LEVEL of a table that has such a column") << "level"
                                                                 << "NUMBER";
    }
    void types() {
        QFETCH(QString, expression);
        QFETCH(QString, type);
        const std::string from = expression == "level" ? " from levels" : " from emp";
        const Bound b = bindStatement("select " + expression.toStdString() + from, m_schema);
        const Expr& e = *queryOf(b).singleBlock()->items[0].expr;
        QCOMPARE(QString(typeName(e.type)), type);
    }

    void levelOutsideAHierarchy() {
        const Bound b = bindStatement("select level from levels", m_schema);
        QCOMPARE(queryOf(b).singleBlock()->items[0].expr->kind, ExprKind::ColumnRef);
        try {
            bindStatement("select level from emp", m_schema);
            QFAIL("LEVEL without CONNECT BY");
        } catch (const DialectError& e) {
            QCOMPARE(e.oraCode(), 1788);
        }
    }

    // The facts, one line per query block in Oracle's numbering.
    void facts_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("blocks");
        QTest::newRow("inline view, subquery, semi- and anti-joins")
            << "select (select 1 from dual) x from (select * from emp where rownum <= 10) v where "
               "exists (select 1 from dept) and v.deptno not in (select deptno from dept)"
            << QStringList{"1 main parent 0",     "2 subquery parent 1", "3 inline view V parent 1",
                           "4 subquery parent 1", "5 subquery parent 1", "1 semi exists 4",
                           "1 anti in 5",         "3 rownum 10"};
        QTest::newRow("hierarchy, analytics, ordering, fetch")
            << "select rownum, rank() over (order by sal), sum(sal) over () from emp start with "
               "mgr is null connect by nocycle prior empno = mgr order by 1 fetch first 5 rows "
               "only"
            << QStringList{"1 main parent 0",
                           "1 hierarchical nocycle",
                           "1 rownum in select list",
                           "1 analytics RANK SUM",
                           "1 order by",
                           "1 fetch 5"};
        QTest::newRow("WITH queries and a set operation")
            << "with a as (select 1 n from dual), b as (select n from a) select n from a union "
               "select n from b"
            << QStringList{"1 with A parent 0", "2 with B parent 0", "3 main parent 0",
                           "4 main parent 0",   "with A B",          "set operation"};
        QTest::newRow("ROWNUM bound by a bind parameter, grouping")
            << "select deptno, count(*) from emp where rownum < :n group by deptno"
            << QStringList{"1 main parent 0", "1 rownum parameter", "1 group by aggregates"};
    }
    void facts() {
        QFETCH(QString, sql);
        QFETCH(QStringList, blocks);
        MemoryCatalog catalog = schema();
        const Translation t = translateStatement(sql.toStdString(), &catalog, "SCOTT");
        QStringList lines, details;
        static const char* const roles[] = {"main", "inline view", "with", "subquery"};
        for (const QueryBlockFacts& f : t.facts.blocks) {
            const QString n = QString::number(f.number);
            QString line = n + " " + roles[static_cast<int>(f.role)];
            if (!f.name.empty())
                line += " " + QString::fromStdString(f.name);
            lines << line + " parent " + QString::number(f.parent);
            for (const auto& j : f.subqueryJoins)
                details << n +
                               (j.kind == QueryBlockFacts::SubqueryJoin::Kind::Semi ? " semi"
                                                                                    : " anti") +
                               (j.exists ? " exists " : " in ") + QString::number(j.block);
            if (f.rownumLimit)
                details << n + " rownum " + QString::number(*f.rownumLimit);
            if (f.rownumLimitParameter)
                details << n + " rownum parameter";
            if (f.hierarchical)
                details << n + " hierarchical" + (f.noCycle ? " nocycle" : "");
            if (f.rownumInSelectList)
                details << n + " rownum in select list";
            if (!f.analyticFunctions.empty()) {
                QString a = n + " analytics";
                for (const std::string& name : f.analyticFunctions)
                    a += " " + QString::fromStdString(name);
                details << a;
            }
            if (f.orderBy)
                details << n + " order by";
            if (f.fetchFirst)
                details << n + " fetch " + QString::number(*f.fetchFirst);
            if (f.groupBy)
                details << n + " group by" + (f.aggregates ? " aggregates" : "");
        }
        if (!t.facts.withQueries.empty()) {
            QString w = "with";
            for (const std::string& name : t.facts.withQueries)
                w += " " + QString::fromStdString(name);
            details << w;
        }
        if (t.facts.setOperation)
            details << "set operation";
        QCOMPARE(lines + details, blocks);
    }
};

QTEST_GUILESS_MAIN(TestDialectBinder)
#include "tst_dialectbinder.moc"
