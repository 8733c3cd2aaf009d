// The front end's first two stages: Oracle text to tokens, tokens to a
// syntax tree. Oracle's grammar is accepted (also where a later stage
// refuses to translate it) and errors carry Oracle's numbers.

#include "dialect/Error.h"
#include "dialect/Lexer.h"
#include "dialect/Parser.h"

#include <QtTest>

#include <string>

using namespace localengine::dialect;

namespace {

const char* kindName(TokenKind k) {
    switch (k) {
        case TokenKind::Name:
            return "name";
        case TokenKind::QuotedName:
            return "quoted";
        case TokenKind::Text:
            return "text";
        case TokenKind::Number:
            return "number";
        case TokenKind::BindParameter:
            return "bind";
        case TokenKind::Operator:
            return "op";
        case TokenKind::End:
            break;
    }
    return "end";
}

// The tokens as "kind:text", End left out.
QStringList render(const std::string& sql) {
    QStringList out;
    for (const Token& t : tokenize(sql))
        if (t.kind != TokenKind::End)
            out << QString("%1:%2").arg(kindName(t.kind), QString::fromStdString(t.text));
    return out;
}

// The Oracle error number a statement is refused with; -1 when it parses.
int parseError(const std::string& sql, QString* message = nullptr) {
    try {
        const std::vector<Token> tokens = tokenize(sql);
        parseStatement(tokens, sql);
        return -1;
    } catch (const DialectError& e) {
        if (message)
            *message = e.what();
        return e.oraCode();
    }
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

}  // namespace

class TestDialectParser : public QObject {
    Q_OBJECT

private slots:
    void tokens_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("tokens");
        QTest::newRow("names upper and quoted")
            << "select Emp_1, \"Mixed\"\"Q\" from x$tab#"
            << QStringList{"name:select",     "name:Emp_1", "op:,",
                           "quoted:Mixed\"Q", "name:from",  "name:x$tab#"};
        QTest::newRow("text with doubled quote, national text")
            << "'it''s' N'n'" << QStringList{"text:it's", "text:n"};
        QTest::newRow("alternative quoting with pairs and with any character")
            << "q'[it's]' Q'<a>b>' q'!x'y!' nq'{z}'"
            << QStringList{"text:it's", "text:a>b", "text:x'y", "text:z"};
        QTest::newRow("numbers") << "1 1.5 .5 7. 1e3 2.5E-2 3f 4D 1..2"
                                 << QStringList{"number:1",  "number:1.5", "number:.5",
                                                "number:7.", "number:1e3", "number:2.5E-2",
                                                "number:3",  "number:4",   "number:1",
                                                "op:.",      "number:.2"};
        QTest::newRow("bind parameters")
            << ":name :1 ? ?2" << QStringList{"bind::name", "bind::1", "bind:?", "bind:?2"};
        QTest::newRow("two-character operators")
            << "a||b<>c!=d^=e<=f>=g=>h"
            << QStringList{"name:a", "op:||",  "name:b", "op:<>",  "name:c",
                           "op:!=",  "name:d", "op:^=",  "name:e", "op:<=",
                           "name:f", "op:>=",  "name:g", "op:=>",  "name:h"};
        QTest::newRow("comments and hints are blanks")
            << "select /*+ index(t) */ 1 -- one\n+ /* ; */ 2"
            << QStringList{"name:select", "number:1", "op:+", "number:2"};
        QTest::newRow("control characters inside literals and comments are kept")
            << "'a\x01' /* \x02 */ -- \x03\n1" << QStringList{"text:a\x01", "number:1"};
    }
    void tokens() {
        QFETCH(QString, sql);
        QFETCH(QStringList, tokens);
        QCOMPARE(render(sql.toStdString()), tokens);
    }

    void tokenOffsets() {
        const std::vector<Token> t = tokenize("  q'[x]' ||  \"A\"");
        QCOMPARE(int(t.size()), 4);
        QCOMPARE(t[0].begin, 2u);
        QCOMPARE(t[0].end, 8u);
        QCOMPARE(t[2].begin, 13u);
        QCOMPARE(t[2].end, 16u);
        QCOMPARE(t[3].kind, TokenKind::End);
    }

    void lexicalErrors_data() {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<int>("code");
        QTest::newRow("open text") << QByteArray("select 'abc from dual") << 1756;
        QTest::newRow("open alternative quote") << QByteArray("select q'[abc' from dual") << 1756;
        QTest::newRow("open quoted name") << QByteArray("select \"abc from dual") << 1740;
        QTest::newRow("empty quoted name") << QByteArray("select \"\" from dual") << 1741;
        QTest::newRow("open comment") << QByteArray("select 1 /* from dual") << 1742;
        QTest::newRow("NUL between tokens") << QByteArray("select 1 \0 from dual", 20) << 911;
        QTest::newRow("NUL in text") << QByteArray("select 'a\0' from dual", 21) << 911;
        QTest::newRow("NUL in a comment") << QByteArray("select 1 --\0\n from dual", 23) << 911;
        QTest::newRow("control character between tokens")
            << QByteArray("select 1 \x1b from dual") << 911;
        QTest::newRow("form feed") << QByteArray("select 1\f from dual") << 911;
    }
    void lexicalErrors() {
        QFETCH(QByteArray, sql);
        QFETCH(int, code);
        try {
            tokenize(std::string(sql.constData(), static_cast<std::size_t>(sql.size())));
            QFAIL("expected a refusal");
        } catch (const DialectError& e) {
            QCOMPARE(e.oraCode(), code);
            QVERIFY2(QString(e.what()).startsWith(QString("ORA-%1").arg(code, 5, 10, QChar('0'))),
                     e.what());
        }
    }

    // Oracle's grammar, also where the emitter refuses to translate it yet:
    // each of these parses.
    void accepted_data() {
        QTest::addColumn<QString>("sql");
        const char* const statements[] = {
            "select distinct a, b c, d as \"E\", t.*, s.t.* from s.t, u where a = 1",
            "select unique a from t",
            "select a from t where a in (1, 2) and b not in (select x from u) and not exists "
            "(select 1 from v) and c between 1 and 2 and d not like 'x%' escape '\\' and e is "
            "not null",
            "select case a when 1 then 'x' when 2 then 'y' else 'z' end, case when a > 1 then 1 "
            "end from t",
            "select count(*), count(distinct a), sum(all b), rank() over (partition by c order "
            "by d desc nulls last rows between unbounded preceding and current row) from t",
            "select listagg(a, ',') within group (order by b), max(c) keep (dense_rank first "
            "order by d) from t group by rollup (e, f), cube (g), grouping sets ((h), ())",
            "select a from t start with p is null connect by nocycle prior id = p order siblings "
            "by a",
            "select a from t connect by level <= 3 start with a = 1",
            "select a from t where x = any (select y from u) and z > all (1, 2) and w = some (3)",
            "select cast(a as varchar2(10)), extract(year from d), trim(both 'x' from s), "
            "trim(leading from s), s.nextval, t.c(+) from t",
            "select date '2020-01-01', timestamp '2020-01-01 10:00:00', interval '1-6' year to "
            "month, interval '5' day(3) from dual",
            "select * from a join b on a.x = b.x left outer join c using (y) cross join d "
            "natural join e full join f on 1 = 1 right join g on 1 = 1",
            "select * from (select 1 x from dual) v, table(f(1)) w, lateral (select 2 from "
            "dual) z",
            "with q (a) as (select 1 from dual), r as (select a from q) select * from r union "
            "all (select 2 from dual) minus select 3 from dual intersect select 4 from dual "
            "order by 1 offset 1 rows fetch next 2 rows only",
            "select a from t order by a fetch first 10 percent rows with ties",
            "select a from t for update of a nowait",
            "select ((select 1 from dual)) + 1, (1, 2) from dual",
            "insert into s.t (a, b) values (1, default)",
            "insert into t values (1, 2), (3, 4)",
            "insert into t select * from u",
            "update t x set x.a = 1, (b, c) = (select 1, 2 from dual) where x.d = 3",
            "delete t where a = 1",
            "delete from t x",
            "merge into t using u on (t.a = u.a) when matched then update set t.b = u.b where "
            "u.c = 1 delete where u.d = 2 when not matched then insert (a, b) values (u.a, u.b)",
            "explain plan set statement_id = 'x' into s.plan_table for select 1 from dual",
            "explain plan for delete from t",
            "commit work",
            "rollback to savepoint s1",
            "savepoint s1",
            "create table t (a number(8,2) default 0 constraint a_nn not null, b varchar2(30 "
            "char) unique, c date default sysdate check (c > date '2000-01-01'), d number "
            "references u (x) on delete cascade, e timestamp(6) with local time zone, f long "
            "raw, constraint t_pk primary key (a, b) using index tablespace users enable, "
            "foreign key (d) references u on delete set null, check (a > 0)) tablespace users "
            "pctfree 10 storage (initial 64k next 1m) nologging",
            "create global temporary table g (a number) on commit preserve rows",
            "create table c as select * from t",
            "create table d (x, y) as select 1, 2 from dual",
            "create unique index i on t (a desc, lower(b)) tablespace x compute statistics",
            "create or replace force view v (a, b) as select 1, 2 from dual with read only",
            "drop table t cascade constraints purge",
            "drop index s.i",
            "PRAGMA table_info(t)",
            "create trigger tr after insert on t begin update u set a = 1; end",
            "alter table t add c number",
            "select 1 from dual;",
        };
        for (const char* s : statements)
            QTest::newRow(s) << s;
    }
    void accepted() {
        QFETCH(QString, sql);
        QString message;
        QCOMPARE(parseError(sql.toStdString(), &message), -1);
    }

    void refused_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("code");
        QTest::newRow("missing right parenthesis") << "select (1 from dual" << 907;
        QTest::newRow("missing left parenthesis") << "select a from t where a in 1" << 906;
        QTest::newRow("missing expression") << "select from t" << 936;
        QTest::newRow("missing expression at the end") << "select a from t where" << 936;
        QTest::newRow("empty item") << "select a,, b from t" << 936;
        QTest::newRow("FROM not found") << "select a b c from t" << 923;
        QTest::newRow("comparisons do not chain") << "select 1 from t where a = 1 = 2" << 933;
        QTest::newRow("two aliases") << "select a from t x y" << 933;
        QTest::newRow("unmatched right parenthesis") << "select a from t)" << 933;
        QTest::newRow("not Oracle's operator") << "select a % 2 from t" << 911;
        QTest::newRow("missing SELECT") << "insert into t (a) valuez (1)" << 928;
        QTest::newRow("missing keyword FOR") << "explain plan into p select 1 from dual" << 905;
        QTest::newRow("STATEMENT_ID takes text")
            << "explain plan set statement_id = 1 for select 1 from dual" << 936;
        QTest::newRow("nothing to explain") << "explain plan for" << 900;
        QTest::newRow("START WITH without CONNECT BY") << "select a from t start with a = 1" << 905;
        QTest::newRow("unknown statement") << "frobnicate the table" << 900;
        QTest::newRow("missing table name") << "delete from where a = 1" << 903;
        QTest::newRow("CASE without WHEN") << "select case end from dual" << 905;
        QTest::newRow("PL/SQL block") << "begin null; end;" << 3001;
        QTest::newRow("statement not modelled") << "lock table t in exclusive mode" << 3001;
        QTest::newRow("meaningless on one user's file") << "grant select on t to public" << 3001;
        // The sizes the SQL Language Reference's "Data Types" allows.
        QTest::newRow("NUMBER precision past 38") << "create table t (a number(50))" << 1727;
        QTest::newRow("NUMBER precision 0") << "create table t (a number(0, 0))" << 1727;
        QTest::newRow("NUMBER scale past 127") << "create table t (a number(5, 128))" << 1728;
        QTest::newRow("NUMBER scale below -84") << "create table t (a number(5, -85))" << 1728;
        QTest::newRow("FLOAT precision past 126") << "create table t (a float(127))" << 1724;
        QTest::newRow("zero-length VARCHAR2") << "create table t (a varchar2(0))" << 1723;
        QTest::newRow("CAST to NUMBER(39)") << "select cast(1 as number(39)) from dual" << 1727;
        QTest::newRow("JSON_TABLE")
            << "select jt.a from t, json_table(t.doc, '$' columns (a number path '$.a')) jt"
            << 3001;
    }
    void refused() {
        QFETCH(QString, sql);
        QFETCH(int, code);
        QString message;
        QCOMPARE(parseError(sql.toStdString(), &message), code);
        QVERIFY(message.startsWith("ORA-"));
    }

    // Nesting within SQLite's own limits parses; far beyond them the parser
    // refuses in bounded time and stack, whatever the shape.
    void nesting_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("parentheses as deep as SQLite takes")
            << QString::fromStdString("select " + repeated("(", 95) + "1" + repeated(")", 95) +
                                      " from dual")
            << true;
        QTest::newRow("subqueries as deep as SQLite takes")
            << QString::fromStdString(repeated("select * from (", 45) + "select 1 from dual" +
                                      repeated(")", 45))
            << true;
        QTest::newRow("a chain of 999 operators")
            << QString::fromStdString("select 1" + repeated("+1", 999) + " from dual") << true;
        QTest::newRow("100000 parentheses")
            << QString::fromStdString("select " + repeated("(", 100000) + "1" +
                                      repeated(")", 100000) + " from dual")
            << false;
        QTest::newRow("10000 nested subqueries")
            << QString::fromStdString(repeated("select * from (", 10000) + "select 1 from dual" +
                                      repeated(")", 10000))
            << false;
        QTest::newRow("a chain of 100000 operators")
            << QString::fromStdString("select 1" + repeated("||1", 100000) + " from dual") << false;
        QTest::newRow("100000 signs")
            << QString::fromStdString("select " + repeated("- ", 100000) + "1") << false;
        QTest::newRow("100000 NOTs") << QString::fromStdString("select 1 from dual where " +
                                                               repeated("not ", 100000) + "1 = 1")
                                     << false;
        QTest::newRow("chains inside parentheses inside chains")
            << QString::fromStdString("select " + repeated("(", 50) + "1" +
                                      repeated(repeated("+1", 300) + ")", 50) + " from dual")
            << false;
    }
    void nesting() {
        QFETCH(QString, sql);
        QFETCH(bool, accepted);
        QString message;
        const int code = parseError(sql.toStdString(), &message);
        if (accepted) {
            QCOMPARE(code, -1);
        } else {
            QCOMPARE(code, 3095);
            QVERIFY2(message.contains("too deep"), qPrintable(message));
        }
    }

    void explainKeepsTheExplainedText() {
        const std::string sql = "EXPLAIN PLAN FOR  select 1 from dual ;";
        const std::vector<Token> tokens = tokenize(sql);
        const StatementPtr s = parseStatement(tokens, sql);
        QCOMPARE(s->kind, StatementKind::ExplainPlan);
        const auto& e = s->as<ExplainPlanStatement>();
        QCOMPARE(sql.substr(e.explainedBegin, e.explainedEnd - e.explainedBegin),
                 std::string("select 1 from dual"));
        QCOMPARE(e.explained->kind, StatementKind::Select);
    }

    // || binds as + and -, below * and /: the tree says so.
    void precedence() {
        const std::string sql = "select 1 || 2 * 3 - 4, a or b and not c = d from t";
        const std::vector<Token> tokens = tokenize(sql);
        const StatementPtr s = parseStatement(tokens, sql);
        const SelectBlock& b = *s->as<SelectStatement>().query->singleBlock();
        const auto& minus = b.items[0].expr->as<Binary>();
        QCOMPARE(minus.op, BinaryOp::Subtract);
        QCOMPARE(minus.left->as<Binary>().op, BinaryOp::Concatenate);
        QCOMPARE(minus.left->as<Binary>().right->as<Binary>().op, BinaryOp::Multiply);
        const auto& orNode = b.items[1].expr->as<Binary>();
        QCOMPARE(orNode.op, BinaryOp::Or);
        const auto& andNode = orNode.right->as<Binary>();
        QCOMPARE(andNode.op, BinaryOp::And);
        QCOMPARE(andNode.right->as<Unary>().op, UnaryOp::Not);
        QCOMPARE(andNode.right->as<Unary>().operand->kind, ExprKind::Comparison);
    }
};

QTEST_GUILESS_MAIN(TestDialectParser)
#include "tst_dialectparser.moc"
