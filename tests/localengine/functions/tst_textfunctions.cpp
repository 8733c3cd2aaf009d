// Oracle's character functions. Expected values are the examples of
// Oracle's SQL Language Reference for each function, or follow from its
// definition there; empty results are NULL (nullopt) as in Oracle.

#include "OraError.h"
#include "TextFunctions.h"

#include <QtTest>

using namespace localengine::functions;

namespace {

QString show(const Text& t) {
    return t ? QString::fromStdString(*t) : QStringLiteral("<null>");
}

template <typename F>
int oraCode(F&& f) {
    try {
        f();
    } catch (const OraError& e) {
        return e.code();
    }
    return 0;
}

}  // namespace

class TestTextFunctions : public QObject {
    Q_OBJECT
private slots:
    void substrPositions_data();
    void substrPositions();
    void instrPositions_data();
    void instrPositions();
    void bytesAndCharacters();
    void trimming();
    void translateAndReplace();
    void codesAndNames();
};

void TestTextFunctions::substrPositions_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");  // -1: none given
    QTest::addColumn<QString>("expected");
    QTest::newRow("from 3") << 3 << 4 << "CDEF";
    QTest::newRow("from the end") << -5 << 4 << "CDEF";
    QTest::newRow("position 0 as 1") << 0 << 2 << "AB";
    QTest::newRow("no length") << 5 << -1 << "EFG";
    QTest::newRow("length 0") << 3 << 0 << "<null>";
    QTest::newRow("negative length") << 3 << -2 << "<null>";
    QTest::newRow("past the end") << 8 << 1 << "<null>";
    QTest::newRow("before the start") << -8 << 1 << "<null>";
    QTest::newRow("longer than left") << 6 << 10 << "FG";
}

void TestTextFunctions::substrPositions() {
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(QString, expected);
    const auto len =
        length == -1 ? std::optional<std::int64_t>() : std::optional<std::int64_t>(length);
    QCOMPARE(show(substr("ABCDEFG", position, len)), expected);
}

void TestTextFunctions::instrPositions_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("expected");
    QTest::newRow("second from 3") << 3 << 2 << 14;
    QTest::newRow("backward from -3") << -3 << 2 << 2;
    QTest::newRow("first") << 1 << 1 << 2;
    QTest::newRow("not there") << 1 << 4 << 0;
    QTest::newRow("position 0") << 0 << 1 << 0;
}

void TestTextFunctions::instrPositions() {
    QFETCH(int, position);
    QFETCH(int, occurrence);
    QFETCH(int, expected);
    QCOMPARE(instr("CORPORATE FLOOR", "OR", position, occurrence), std::int64_t(expected));
}

void TestTextFunctions::bytesAndCharacters() {
    // Positions count characters; the B forms count bytes.
    const std::string s = "caf\xC3\xA9 cr\xC3\xA8me";  // café crème
    QCOMPARE(charLength(s), std::size_t(10));
    QCOMPARE(show(substr(s, 4, 1)), QString::fromUtf8("\xC3\xA9"));
    QCOMPARE(instr(s, "cr"), std::int64_t(6));
    QCOMPARE(instrb(s, "cr"), std::int64_t(7));
    QCOMPARE(show(substrb(s, 1, 4)), QString("caf "));  // the cut é becomes a blank
    QCOMPARE(show(substrb(s, 4, 2)), QString::fromUtf8("\xC3\xA9"));
    QCOMPARE(oraCode([] { instr("ABC", "B", 1, 0); }), 1428);
}

void TestTextFunctions::trimming() {
    QCOMPARE(show(trimSet("<=====>BROWNING<=====>", TrimSide::Leading, "<>=")),
             QString("BROWNING<=====>"));
    QCOMPARE(show(trimSet("<=====>BROWNING<=====>", TrimSide::Trailing, "<>=")),
             QString("<=====>BROWNING"));
    QCOMPARE(show(trim("0009872348900", TrimSide::Leading, "0")), QString("9872348900"));
    QCOMPARE(show(trim("0009872348900", TrimSide::Both, "0")), QString("98723489"));
    QCOMPARE(show(trim("   ", TrimSide::Both)), QString("<null>"));
    QCOMPARE(oraCode([] { trim("abc", TrimSide::Both, "ab"); }), 30001);
}

void TestTextFunctions::translateAndReplace() {
    QCOMPARE(show(translate("SQL*Plus User's Guide", " */'", "___")),
             QString("SQL_Plus_Users_Guide"));
    QCOMPARE(show(translate("2KRW229", "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                            "9999999999XXXXXXXXXXXXXXXXXXXXXXXXXX")),
             QString("9XXX999"));
    QCOMPARE(show(translate("abc", "abc", "")), QString("<null>"));
    QCOMPARE(show(replace("JACK and JUE", "J", "BL")), QString("BLACK and BLUE"));
    QCOMPARE(show(replace("JACK and JUE", "J")), QString("ACK and UE"));
    QCOMPARE(show(replace("abc", "")), QString("abc"));
    QCOMPARE(show(replace("abc", "abc")), QString("<null>"));
}

void TestTextFunctions::codesAndNames() {
    QCOMPARE(show(initcap("the soap")), QString("The Soap"));
    QCOMPARE(show(initcap("o'NEIL-smith")), QString("O'Neil-Smith"));
    QCOMPARE(ascii("L"), std::int64_t(76));
    QCOMPARE(show(Text(*chr(67) + *chr(65) + *chr(84))), QString("CAT"));
    // UTF-8: the code is the character's bytes.
    QCOMPARE(ascii("\xC3\xA9"), std::int64_t(0xC3A9));
    QCOMPARE(show(chr(0xC3A9)), QString::fromUtf8("\xC3\xA9"));
    QCOMPARE(show(soundex("SMYTHE")), show(soundex("Smith")));
    QCOMPARE(show(soundex("Smith")), QString("S530"));
    QCOMPARE(show(soundex("Ashcraft")), QString("A261"));  // H between S and C
    QCOMPARE(show(soundex("Tymczak")), QString("T522"));
    QCOMPARE(show(soundex("123")), QString("<null>"));
}

QTEST_APPLESS_MAIN(TestTextFunctions)
#include "tst_textfunctions.moc"
