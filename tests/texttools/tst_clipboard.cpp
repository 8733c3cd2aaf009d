// The clipboard commands between Qt's clipboard and the two panes.
#include "ClipboardCommands.h"
#include "ColorRichSearch.h"
#include "RichTextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

class tst_clipboard : public QObject {
    Q_OBJECT

    QWidget* m_main = nullptr;
    RichTextBox* m_sql = nullptr;
    RichTextBox* m_results = nullptr;

    static QClipboard* clipboard() { return QGuiApplication::clipboard(); }

    static void putImageOnClipboard() {
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(Qt::blue);
        auto* data = new QMimeData;
        data->setImageData(img);
        clipboard()->setMimeData(data);
    }

private slots:
    void init() {
        m_main = new QWidget;
        m_main->resize(400, 300);
        m_sql = new RichTextBox(m_main);
        m_results = new RichTextBox(m_main);
        m_results->move(200, 0);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        clipboard()->clear();
    }
    void cleanup() {
        delete m_main;
        m_main = nullptr;
    }

    void copyGivesPlainTextOnly_data() {
        QTest::addColumn<bool>("planPane");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sql") << false << QStringLiteral("SELECT *\nFROM emp\nWHERE 1 = 1")
                             << QStringLiteral("SELECT *\r\nFROM emp\r\nWHERE 1 = 1");
        QTest::newRow("plan") << true
                              << QStringLiteral("SELECT STATEMENT\n  TABLE ACCESS FULL EMP\n")
                              << QStringLiteral("SELECT STATEMENT\r\n  TABLE ACCESS FULL EMP\r\n");
        QTest::newRow("empty sql") << false << QString() << QString();
        QTest::newRow("empty plan") << true << QString() << QString();
    }
    void copyGivesPlainTextOnly() {
        QFETCH(bool, planPane);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        RichTextBox& pane = planPane ? *m_results : *m_sql;
        RichTextBox& other = planPane ? *m_sql : *m_results;
        other.setText(QStringLiteral("the other pane"));
        pane.setText(text);
        // Colour the pane the way a search does; none of it may travel.
        ColorRichSearch::ColorAllMatches(pane, QStringLiteral("FULL"), QStringLiteral("255"), 0);
        ColorRichSearch::ColorAllMatches(pane, QStringLiteral("FROM"), QStringLiteral("65280"), 0);
        const QString paneBefore = pane.TextRTF();
        putImageOnClipboard();  // whatever the clipboard held is removed

        QVERIFY(ClipboardCommands::CopyPane(pane, clipboard()));

        const QMimeData* data = clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), expected);
        QVERIFY(!data->hasHtml());
        QVERIFY(!data->hasImage());
        QCOMPARE(pane.TextRTF(), paneBefore);
        QCOMPARE(other.Text(), QStringLiteral("the other pane"));
    }

    void pasteReplacesTheWholeStatement() {
        m_results->setText(QStringLiteral("TABLE ACCESS FULL EMP"));
        ColorRichSearch::ColorAllMatches(*m_results, QStringLiteral("FULL"), QStringLiteral("255"),
                                         0);
        const QString planBefore = m_results->TextRTF();
        m_sql->setText(QStringLiteral("SELECT ename FROM emp WHE"));
        m_sql->setSelStart(7);  // caret in the middle of the half-typed text
        m_results->setFocus();
        clipboard()->setText(QStringLiteral("SELECT 1\r\nFROM dual"));

        QVERIFY(ClipboardCommands::PasteIntoPane(*m_sql, clipboard()));

        QCOMPARE(m_sql->Text(), QStringLiteral("SELECT 1\nFROM dual"));
        QCOMPARE(m_sql->PlainTextCRLF(), QStringLiteral("SELECT 1\r\nFROM dual"));
        QVERIFY(m_sql->hasFocus());
        QCOMPARE(m_results->TextRTF(), planBefore);
        QCOMPARE(clipboard()->text(), QStringLiteral("SELECT 1\r\nFROM dual"));
    }

    void pasteWithoutTextEmptiesThePane_data() {
        QTest::addColumn<bool>("image");
        QTest::newRow("only a picture") << true;
        QTest::newRow("nothing at all") << false;
    }
    void pasteWithoutTextEmptiesThePane() {
        QFETCH(bool, image);
        if (image)
            putImageOnClipboard();
        else
            clipboard()->clear();
        m_sql->setText(QStringLiteral("SELECT * FROM emp"));
        QVERIFY(ClipboardCommands::PasteIntoPane(*m_sql, clipboard()));
        QCOMPARE(m_sql->Text(), QString());
        if (image)
            QVERIFY(clipboard()->mimeData()->hasImage());  // the clipboard is not changed
    }

    void pasteBringsNoFormatting() {
        auto* data = new QMimeData;
        data->setHtml(QStringLiteral("<b style=\"color:#ff0000\">FULL</b> scan"));
        data->setText(QStringLiteral("FULL scan"));
        clipboard()->setMimeData(data);
        m_sql->setText(QStringLiteral("old"));
        QVERIFY(ClipboardCommands::PasteIntoPane(*m_sql, clipboard()));
        QCOMPARE(m_sql->Text(), QStringLiteral("FULL scan"));
        const QTextCharFormat f = m_sql->document()->begin().begin().fragment().charFormat();
        QVERIFY(f.fontWeight() < QFont::Bold);
        QVERIFY(f.foreground().style() == Qt::NoBrush);
    }

    void copyThenPasteLeavesTheSqlPaneAsItWas() {
        const QString sql =
            QStringLiteral("SELECT d.dname,\n       e.ename\n  FROM dept d, emp e\n");
        m_sql->setText(sql);
        QVERIFY(ClipboardCommands::CopyPane(*m_sql, clipboard()));
        QVERIFY(ClipboardCommands::PasteIntoPane(*m_sql, clipboard()));
        QCOMPARE(m_sql->Text(), sql);
    }

    void anUnavailableClipboardChangesNothing() {
        m_sql->setText(QStringLiteral("SELECT 1 FROM dual"));
        m_results->setText(QStringLiteral("plan"));
        clipboard()->setText(QStringLiteral("kept"));
        QVERIFY(!ClipboardCommands::PasteIntoPane(*m_sql, nullptr));
        QVERIFY(!ClipboardCommands::CopyPane(*m_results, nullptr));
        QCOMPARE(m_sql->Text(), QStringLiteral("SELECT 1 FROM dual"));
        QCOMPARE(m_results->Text(), QStringLiteral("plan"));
        QCOMPARE(clipboard()->text(), QStringLiteral("kept"));
    }
};

QTEST_MAIN(tst_clipboard)
#include "tst_clipboard.moc"
