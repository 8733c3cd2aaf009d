// The rich text box and the highlighter that marks every occurrence of a
// search text in it.
#include "ColorRichSearch.h"
#include "RichTextBox.h"

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using ColorRichSearch::ColorAllMatches;

namespace {

// Positions whose character is bold and has the given colour.
QList<int> markedPositions(RichTextBox& box, const QColor& color = Qt::red) {
    QList<int> marked;
    QTextCursor c(box.document());
    for (int pos = 0; pos < box.TextLength(); ++pos) {
        c.setPosition(pos);
        c.setPosition(pos + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat f = c.charFormat();
        if (f.fontWeight() == QFont::Bold && f.foreground().color() == color)
            marked << pos;
    }
    return marked;
}

QList<int> range(int from, int count) {
    QList<int> r;
    for (int i = 0; i < count; ++i)
        r << from + i;
    return r;
}

}  // namespace

class tst_Highlight : public QObject {
    Q_OBJECT
private slots:
    void textAndPositions();
    void find_data();
    void find();
    void snapshotRestoresFormatting();
    void setTextDropsFormatting();
    void badColourIsAnError();

    void marks_data();
    void marks();
    void focusOnlyWhenScanPassesEnd_data();
    void focusOnlyWhenScanPassesEnd();
    void colours_data();
    void colours();
    void keepsEarlierMarks();
};

void tst_Highlight::textAndPositions() {
    RichTextBox box;
    box.setText(QStringLiteral("ab\r\ncd\r\n"));
    QCOMPARE(box.Text(), QStringLiteral("ab\ncd\n"));
    QCOMPARE(box.PlainTextCRLF(), QStringLiteral("ab\r\ncd\r\n"));
    QCOMPARE(box.TextLength(), 6);
    QCOMPARE(box.Find(QStringLiteral("cd"), 0), 3);
    box.setSelStart(3);
    box.setSelLength(2);
    QCOMPARE(box.SelStart(), 3);
    QCOMPARE(box.SelLength(), 2);
    QCOMPARE(box.textCursor().selectedText(), QStringLiteral("cd"));
    box.setSelStart(100);  // clamped to the end
    QCOMPARE(box.SelStart(), 6);
    QCOMPARE(box.SelLength(), 0);

    // Changes made past the box's own members are seen too.
    box.clear();
    QCOMPARE(box.Text(), QString());
    QCOMPARE(box.Find(QStringLiteral("cd"), 0), -1);
    box.QTextEdit::setPlainText(QStringLiteral("xcd"));
    QCOMPARE(box.Find(QStringLiteral("cd"), 0), 1);
}

void tst_Highlight::find_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");
    QTest::newRow("any case") << "TABLE ACCESS full EMP"
                              << "FULL" << 0 << 13;
    QTest::newRow("inside a word") << "PK_FULLNAME"
                                   << "full" << 0 << 3;
    QTest::newRow("from a later start") << "FULL FULL"
                                        << "FULL" << 1 << 5;
    QTest::newRow("start on a match") << "FULL FULL"
                                      << "FULL" << 5 << 5;
    QTest::newRow("none after start") << "FULL x"
                                      << "FULL" << 1 << -1;
    QTest::newRow("empty box") << ""
                               << "FULL" << 0 << -1;
    QTest::newRow("start past end") << "abc"
                                    << "a" << 4 << -1;
    QTest::newRow("empty search at end") << "abc"
                                         << "" << 3 << 3;
    QTest::newRow("after line break") << "x\r\nFULL"
                                      << "FULL" << 0 << 2;
}

void tst_Highlight::find() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(int, start);
    QFETCH(int, expected);
    RichTextBox box;
    box.setText(text);
    QCOMPARE(box.Find(what, start), expected);
}

void tst_Highlight::snapshotRestoresFormatting() {
    RichTextBox pane;
    RichTextBox copy;
    const QString text = QStringLiteral(
        " SELECT STATEMENT   Cost=3\r\n  2.1 TABLE ACCESS FULL  EMP  TABLE \r\n\r\n");
    pane.setText(text);
    ColorAllMatches(pane, QStringLiteral("FULL"), QStringLiteral("255"), 0);
    copy.setTextRTF(pane.TextRTF());
    QCOMPARE(copy.Text(), pane.Text());
    QCOMPARE(markedPositions(copy), markedPositions(pane));
    QCOMPARE(markedPositions(copy), range(pane.Text().indexOf("FULL"), 4));

    // The copy puts back a pane that was marked again later.
    ColorAllMatches(pane, QStringLiteral("EMP"), QStringLiteral("16711680"), 0);
    pane.setTextRTF(copy.TextRTF());
    QCOMPARE(markedPositions(pane, QColor(0, 0, 255)), QList<int>{});
    QCOMPARE(markedPositions(pane), markedPositions(copy));
    QCOMPARE(pane.Text(), copy.Text());
}

void tst_Highlight::setTextDropsFormatting() {
    RichTextBox box;
    box.setText(QStringLiteral("xx FULL"));
    ColorAllMatches(box, QStringLiteral("FULL"), QStringLiteral("255"), 0);
    QCOMPARE(markedPositions(box).size(), 4);
    box.setText(QStringLiteral("FULL yy"));  // the caret sat after a red FULL
    QCOMPARE(markedPositions(box), QList<int>{});
    QCOMPARE(box.Text(), QStringLiteral("FULL yy"));
}

void tst_Highlight::badColourIsAnError() {
    RichTextBox box;
    box.setText(QStringLiteral("a FULL b FULL"));
    QVERIFY_THROWS_EXCEPTION(
        std::exception, ColorAllMatches(box, QStringLiteral("FULL"), QStringLiteral("red"), 0));
    QCOMPARE(box.Text(), QStringLiteral("a FULL b FULL"));
}

void tst_Highlight::marks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("marked");
    QTest::newRow("every single letter") << "AAAAAA"
                                         << "A" << 0 << 6 << range(0, 6);
    QTest::newRow("adjacent occurrences") << "FULLFULL"
                                          << "FULL" << 0 << 2 << range(0, 8);
    QTest::newRow("overlapping occurrences") << "aaaa"
                                             << "aa" << 0 << 3 << range(0, 4);
    // Every occurrence, so never less than a fixed step of five would mark.
    QTest::newRow("long self-overlapping text")
        << QString(11, QLatin1Char('A')) << "AAAAAA" << 0 << 6 << range(0, 11);
    QTest::newRow("overlapping by one letter") << "xABABAx"
                                               << "aba" << 0 << 2 << range(1, 5);
    QTest::newRow("two plan lines")
        << "  2.1 TABLE ACCESS FULL EMP TABLE \r\n  2.2 INDEX FULL SCAN PK \r\n"
        << "FULL" << 0 << 2 << (range(19, 4) + range(47, 4));
    QTest::newRow("lower case in a name") << "TABLE ACCESS BY ROWID FULLNAME_full"
                                          << "FULL" << 0 << 2 << (range(22, 4) + range(31, 4));
    QTest::newRow("start skips earlier") << "FULL FULL"
                                         << "FULL" << 1 << 1 << range(5, 4);
    QTest::newRow("empty box") << ""
                               << "FULL" << 0 << 0 << QList<int>{};
    QTest::newRow("start beyond end") << "FULL"
                                      << "FULL" << 10 << 0 << QList<int>{};
    QTest::newRow("empty search text") << "abc"
                                       << "" << 0 << 4 << QList<int>{};
}

void tst_Highlight::marks() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QList<int>, marked);
    RichTextBox box;
    box.setText(text);
    QCOMPARE(ColorAllMatches(box, what, QStringLiteral("255"), start), count);
    QCOMPARE(markedPositions(box), marked);
    // The caret at the end, nothing selected.
    QCOMPARE(box.SelStart(), box.TextLength());
    QCOMPARE(box.SelLength(), 0);
    QCOMPARE(box.textCursor().position(), box.TextLength());
}

void tst_Highlight::focusOnlyWhenScanPassesEnd_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("focused");
    QTest::newRow("no further match") << "FULL x\r\nFULL y" << 0 << "FULL" << false;
    // An occurrence that ends on the text's end leaves nothing to search:
    // the scan has passed the end.
    QTest::newRow("match at the very end") << "xx FULL" << 0 << "FULL" << true;
    QTest::newRow("one-letter match at the very end") << "AAAAAA" << 0 << "A" << true;
    QTest::newRow("overlapping match at the very end") << "AAAAAAA" << 0 << "AAAAAA" << true;
    QTest::newRow("overlapping match, text goes on") << "AAAAAAA." << 0 << "AAAAAA" << false;
    QTest::newRow("start beyond end") << "FULL" << 9 << "FULL" << true;
    QTest::newRow("empty box") << "" << 0 << "FULL" << false;
    QTest::newRow("empty search text") << "abc" << 0 << "" << true;
}

void tst_Highlight::focusOnlyWhenScanPassesEnd() {
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(QString, what);
    QFETCH(bool, focused);
    QWidget window;
    auto* box = new RichTextBox(&window);
    auto* other = new RichTextBox(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    box->setText(text);
    ColorAllMatches(*box, what, QStringLiteral("255"), start);
    QCOMPARE(box->hasFocus(), focused);
    QCOMPARE(box->SelStart(), box->TextLength());
}

void tst_Highlight::colours_data() {
    QTest::addColumn<QString>("colorText");
    QTest::addColumn<QColor>("color");
    QTest::newRow("red") << "255" << QColor(255, 0, 0);
    QTest::newRow("green") << "65280" << QColor(0, 255, 0);
    QTest::newRow("blue") << "16711680" << QColor(0, 0, 255);
    QTest::newRow("mixed") << QString::number(0x123456) << QColor(0x56, 0x34, 0x12);
    QTest::newRow("black") << "0" << QColor(0, 0, 0);
}

void tst_Highlight::colours() {
    QFETCH(QString, colorText);
    QFETCH(QColor, color);
    RichTextBox box;
    box.setText(QStringLiteral("ab KEY cd key"));
    QCOMPARE(ColorAllMatches(box, QStringLiteral("key"), colorText, 0), 2);
    QCOMPARE(markedPositions(box, color), range(3, 3) + range(10, 3));
}

void tst_Highlight::keepsEarlierMarks() {
    RichTextBox box;
    box.setText(QStringLiteral("FULL EMP FULL"));
    ColorAllMatches(box, QStringLiteral("FULL"), QStringLiteral("255"), 0);
    ColorAllMatches(box, QStringLiteral("EMP"), QStringLiteral("16711680"), 0);
    QCOMPARE(markedPositions(box), range(0, 4) + range(9, 4));
    QCOMPARE(markedPositions(box, QColor(0, 0, 255)), range(5, 3));
}

QTEST_MAIN(tst_Highlight)
#include "tst_highlight.moc"
