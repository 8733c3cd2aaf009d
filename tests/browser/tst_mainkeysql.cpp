// The schema browser's SQL texts and count line.
#include "MainkeySql.h"

#include <QTest>

class tst_mainkeysql : public QObject {
    Q_OBJECT
private slots:
    void statements_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("exists");
        QTest::addColumn<QString>("keys");
        const QString keysHead = QStringLiteral(
            "SELECT c.column_name P_KEY FROM user_cons_columns c, user_constraints t Where "
            "c.table_name = upper('");
        const QString keysTail = QStringLiteral(
            "') AND t.constraint_type = 'P' AND c.table_name = t.table_name AND "
            "c.constraint_name = t.constraint_name");
        const QString existsHead = QStringLiteral(
            "SELECT count(table_name) tbl FROM user_tables t WHERE t.table_name = '");
        auto row = [&](const char* tag, const QString& name, const QString& literal) {
            QTest::newRow(tag) << name << existsHead + literal + QStringLiteral("'")
                               << keysHead + literal + keysTail;
        };
        // Ordinary names go in exactly as typed: no trimming, no case change.
        row("ordinary", QStringLiteral("EMP"), QStringLiteral("EMP"));
        row("lower case kept", QStringLiteral("emp"), QStringLiteral("emp"));
        row("blanks kept", QStringLiteral(" EMP "), QStringLiteral(" EMP "));
        row("empty", QString(), QString());
        row("japanese", QStringLiteral("受注明細"), QStringLiteral("受注明細"));
        // A quote is doubled, so the literal stays one literal.
        row("one quote", QStringLiteral("O'BRIEN"), QStringLiteral("O''BRIEN"));
        row("injection", QStringLiteral("X' OR '1'='1"), QStringLiteral("X'' OR ''1''=''1"));
        row("quotes only", QStringLiteral("''"), QStringLiteral("''''"));
    }
    void statements() {
        QFETCH(QString, name);
        QFETCH(QString, exists);
        QFETCH(QString, keys);
        QCOMPARE(MainkeySql::tableExistsSql(name), exists);
        QCOMPARE(MainkeySql::primaryKeySql(name), keys);
    }

    void listing() {
        QCOMPARE(MainkeySql::allTablesSql(),
                 QStringLiteral("SELECT table_name tbl FROM user_tables t"));
    }

    void countLine_data() {
        QTest::addColumn<qint32>("n");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << QStringLiteral("ﾃｰﾌﾞﾙ総数 : 0件");
        QTest::newRow("twelve") << 12 << QStringLiteral("ﾃｰﾌﾞﾙ総数 : 12件");
        QTest::newRow("largest") << std::numeric_limits<qint32>::max()
                                 << QStringLiteral("ﾃｰﾌﾞﾙ総数 : 2147483647件");
    }
    void countLine() {
        QFETCH(qint32, n);
        QFETCH(QString, text);
        QCOMPARE(MainkeySql::tableCountText(n), text);
    }
};

QTEST_MAIN(tst_mainkeysql)
#include "tst_mainkeysql.moc"
