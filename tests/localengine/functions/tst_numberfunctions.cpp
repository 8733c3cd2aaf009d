// Oracle's numeric functions and number format model. Expected values are
// the examples of Oracle's SQL Language Reference (ROUND, TRUNC, MOD,
// REMAINDER, the format model tables) or follow from the definitions there.

#include "Number.h"
#include "NumberFormat.h"
#include "OraError.h"

#include <QtTest>

#include <limits>

using namespace localengine::functions;

namespace {

Number num(double v) {
    return Number::of(v);
}
Number num(long long v) {
    return Number::of(static_cast<std::int64_t>(v));
}
QString show(const Number& n) {
    return QString::fromStdString(numberText(n));
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

class TestNumberFunctions : public QObject {
    Q_OBJECT
private slots:
    void roundAndTrunc_data();
    void roundAndTrunc();
    void arithmetic();
    void extremeIntegers();
    void longNumbers_data();
    void longNumbers();
    void toChar_data();
    void toChar();
    void toNumber_data();
    void toNumber();
    void invalidModels_data();
    void invalidModels();
};

void TestNumberFunctions::roundAndTrunc_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("places");
    QTest::addColumn<QString>("rounded");
    QTest::addColumn<QString>("truncated");
    QTest::newRow("one place") << 15.193 << 1 << "15.2"
                               << "15.1";
    QTest::newRow("tens") << 15.193 << -1 << "20"
                          << "10";
    QTest::newRow("trunc 15.79") << 15.79 << 1 << "15.8"
                                 << "15.7";
    QTest::newRow("trunc 15.79 tens") << 15.79 << -1 << "20"
                                      << "10";
    QTest::newRow("half away from zero") << -2.5 << 0 << "-3"
                                         << "-2";
    QTest::newRow("decimal half") << 2.675 << 2 << "2.68"
                                  << "2.67";
    QTest::newRow("below one") << 0.05 << 1 << ".1"
                               << "0";
    QTest::newRow("hundreds to zero") << 49.0 << -2 << "0"
                                      << "0";
    QTest::newRow("carry") << 999.96 << 1 << "1000"
                           << "999.9";
}

void TestNumberFunctions::roundAndTrunc() {
    QFETCH(double, value);
    QFETCH(int, places);
    QFETCH(QString, rounded);
    QFETCH(QString, truncated);
    QCOMPARE(show(roundNumber(num(value), places)), rounded);
    QCOMPARE(show(truncNumber(num(value), places)), truncated);
}

void TestNumberFunctions::arithmetic() {
    QCOMPARE(show(divide(num(7LL), num(2LL))), QString("3.5"));
    QCOMPARE(show(divide(num(6LL), num(3LL))), QString("2"));
    QCOMPARE(oraCode([] { divide(num(1LL), num(0LL)); }), 1476);
    QCOMPARE(oraCode([] { divide(num(1.5), num(0.0)); }), 1476);
    // MOD keeps the sign of m and gives m for n = 0.
    QCOMPARE(show(mod(num(11LL), num(4LL))), QString("3"));
    QCOMPARE(show(mod(num(11LL), num(-4LL))), QString("3"));
    QCOMPARE(show(mod(num(-11LL), num(4LL))), QString("-3"));
    QCOMPARE(show(mod(num(11LL), num(0LL))), QString("11"));
    QCOMPARE(show(mod(num(11.6), num(2.1))), QString("1.1"));
    // REMAINDER rounds the quotient to the nearest integer, ties to even.
    QCOMPARE(show(remainder(num(11LL), num(4LL))), QString("-1"));
    QCOMPARE(show(remainder(num(10LL), num(4LL))), QString("2"));
    QCOMPARE(show(remainder(num(-10LL), num(4LL))), QString("-2"));
    QCOMPARE(oraCode([] { remainder(num(1LL), num(0LL)); }), 1476);
    QCOMPARE(show(ceilNumber(num(15.7))), QString("16"));
    QCOMPARE(show(floorNumber(num(15.7))), QString("15"));
    QCOMPARE(show(floorNumber(num(-15.7))), QString("-16"));
    QCOMPARE(show(power(num(3LL), num(2LL))), QString("9"));
    QCOMPARE(show(power(num(2LL), num(-1LL))), QString(".5"));
    QCOMPARE(oraCode([] { power(num(-8LL), num(1.0 / 3)); }), 1428);
    QCOMPARE(show(squareRoot(num(26LL))), QString("5.09901951359278"));
    QCOMPARE(oraCode([] { squareRoot(num(-1LL)); }), 1428);
    try {
        squareRoot(num(-1LL));
    } catch (const OraError& e) {
        QCOMPARE(QString(e.what()), QString("ORA-01428: argument '-1' is out of range"));
    }
    QCOMPARE(show(sign(num(-15LL))), QString("-1"));
    QCOMPARE(show(absolute(num(-15LL))), QString("15"));
    QCOMPARE(show(bitAnd(num(6LL), num(3LL))), QString("2"));
    QCOMPARE(show(parseNumber(" -1.5e2 ")), QString("-150"));
    QCOMPARE(oraCode([] { parseNumber("1,234"); }), 1722);
    QCOMPARE(oraCode([] { parseNumber("abc"); }), 1722);
}

void TestNumberFunctions::extremeIntegers() {
    constexpr long long smallest = std::numeric_limits<long long>::min();
    constexpr long long largest = std::numeric_limits<long long>::max();
    QCOMPARE(show(mod(num(smallest), num(-1LL))), QString("0"));
    QCOMPARE(show(remainder(num(smallest), num(-1LL))), QString("0"));
    // 9223372036854775808 and 18446744073709551616 are exact in Oracle's
    // NUMBER (38 digits); a double would round them: refused.
    QCOMPARE(oraCode([] { absolute(num(smallest)); }), 3001);
    QCOMPARE(oraCode([] { negate(num(smallest)); }), 3001);
    QCOMPARE(oraCode([] { divide(num(smallest), num(-1LL)); }), 3001);
    QCOMPARE(oraCode([] { power(num(2LL), num(64LL)); }), 3001);
    QCOMPARE(power(num(2LL), num(62LL)).i, 4611686018427387904LL);
    QCOMPARE(show(roundNumber(num(largest), -18)), QString("9000000000000000000"));
    QCOMPARE(oraCode([] { power(num(10.0), num(400.0)); }), 1426);
}

// Values of more than 15 significant digits. Oracle's NUMBER keeps 38
// (SQL Language Reference, "NUMBER Data Type"), so each exact result below
// is the arithmetic's own; the engine keeps 64-bit integers and doubles of
// 15 digits, and refuses the others (ORA-03001) rather than round them. A
// quotient that does not terminate keeps 15 digits.
void TestNumberFunctions::longNumbers_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("expected");
    QTest::newRow("64-bit sum past 64 bits, 2 digits") << "+"
                                                       << "9000000000000000000"
                                                       << "9000000000000000000"
                                                       << "18000000000000000000";
    QTest::newRow("sum just past 64 bits")  // 9223372036854775808
        << "+"
        << "9223372036854775807"
        << "1"
        << "ORA-03001";
    QTest::newRow("product of 20 digits")  // 99999999980000000001
        << "*"
        << "9999999999"
        << "9999999999"
        << "ORA-03001";
    QTest::newRow("product past 64 bits, 1 digit") << "*"
                                                   << "10000000000"
                                                   << "10000000000"
                                                   << "100000000000000000000";
    QTest::newRow("a decimal added to 10^15")  // 1000000000000000.1
        << "+"
        << "1000000000000000"
        << ".1"
        << "ORA-03001";
    QTest::newRow("15 digits plus a half")  // 123456789012345.5
        << "+"
        << "123456789012345"
        << ".5"
        << "ORA-03001";
    QTest::newRow("decimals meet exactly") << "+"
                                           << ".1"
                                           << ".2"
                                           << ".3";
    QTest::newRow("decimals multiply exactly") << "*"
                                               << "19.99"
                                               << ".0725"
                                               << "1.449275";
    QTest::newRow("a 64-bit integer and a decimal")  // 617283945061728394.5
        << "*"
        << "1234567890123456789"
        << ".5"
        << "ORA-03001";
    QTest::newRow("a terminating quotient") << "/"
                                            << "1"
                                            << "1024"
                                            << ".0009765625";
    QTest::newRow("a terminating quotient of 16 digits")  // 1205.632705078125
        << "/"
        << "1234567.89"
        << "1024"
        << "ORA-03001";
    QTest::newRow("a quotient that does not terminate") << "/"
                                                        << "1"
                                                        << "3"
                                                        << ".333333333333333";
    QTest::newRow("a whole quotient past 64 bits") << "/"
                                                   << "1e30"
                                                   << "1e10"
                                                   << "100000000000000000000";
    QTest::newRow("POWER past 64 bits, 1 digit") << "^"
                                                 << "10"
                                                 << "20"
                                                 << "100000000000000000000";
    QTest::newRow("POWER of 20 digits")  // 12157665459056928801
        << "^"
        << "3"
        << "40"
        << "ORA-03001";
    // Text read as a number (TO_NUMBER, implicit conversion).
    QTest::newRow("text of 20 digits") << "text"
                                       << "12345678901234567890"
                                       << ""
                                       << "ORA-03001";
    QTest::newRow("text of 19 decimals") << "text"
                                         << "0.1234567890123456789"
                                         << ""
                                         << "ORA-03001";
    QTest::newRow("text of a 64-bit integer") << "text"
                                              << "12345678901234567"
                                              << ""
                                              << "12345678901234567";
    QTest::newRow("text of a whole number with a point and exponent")
        << "text"
        << "1.000000000000000000000e18"
        << ""
        << "1000000000000000000";
}

void TestNumberFunctions::longNumbers() {
    QFETCH(QString, operation);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, expected);
    QString got;
    try {
        const Number a = parseNumber(left.toStdString());
        const Number b = operation == "text" ? a : parseNumber(right.toStdString());
        const char op = operation.at(0).toLatin1();
        got = show(op == 't'   ? a
                   : op == '+' ? add(a, b)
                   : op == '*' ? multiply(a, b)
                   : op == '/' ? divide(a, b)
                               : power(a, b));
    } catch (const OraError& e) {
        got = QString(e.what()).left(9);
        QCOMPARE(QString(e.what()),
                 "ORA-03001: unimplemented feature: NUMBER values of more than 15 significant "
                 "digits");
    }
    QCOMPARE(got, expected);
}

void TestNumberFunctions::toChar_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dollars") << 300.0 << "$9,990.99"
                             << "   $300.00";
    QTest::newRow("dollars, thousands") << 1400.0 << "$9,990.99"
                                        << " $1,400.00";
    QTest::newRow("dollars, zero") << 0.0 << "$9,990.99"
                                   << "     $0.00";
    QTest::newRow("FM keeps 0 places") << 24000.0 << "FM99,999.00"
                                       << "24,000.00";
    QTest::newRow("FM drops 9 places") << 1.5 << "FM999.99"
                                       << "1.5";
    QTest::newRow("FM whole value") << 1.0 << "FM999.99"
                                    << "1.";
    QTest::newRow("groups") << 24000.0 << "99,999,999"
                            << "     24,000";
    QTest::newRow("negative groups") << -1234.567 << "9,999.99"
                                     << "-1,234.57";
    QTest::newRow("too wide") << 12345.0 << "9999"
                              << "#####";
    QTest::newRow("scientific") << 121.976 << "99.99EEEE"
                                << "  1.22E+02";
    QTest::newRow("brackets, positive") << 87.0 << "999PR"
                                        << "  87 ";
    QTest::newRow("brackets, negative") << -87.0 << "999PR"
                                        << " <87>";
    QTest::newRow("trailing minus") << -485.0 << "999MI"
                                    << "485-";
    QTest::newRow("trailing minus, positive") << 485.0 << "999MI"
                                              << "485 ";
    QTest::newRow("trailing S") << -485.0 << "999S"
                                << "485-";
    QTest::newRow("leading S") << 3040.0 << "S999999"
                               << "  +3040";
    QTest::newRow("V") << 3040.0 << "99999V99"
                       << "  304000";
    QTest::newRow("leading zeros") << 12.0 << "0999"
                                   << " 0012";
    QTest::newRow("fraction") << -0.1 << "99.99"
                              << "  -.10";
    QTest::newRow("zero value") << 0.0 << "9999"
                                << "    0";
    QTest::newRow("B blanks zero") << 0.0 << "B9999"
                                   << "     ";
    QTest::newRow("hex") << 255.0 << "XX"
                         << " FF";
    QTest::newRow("hex zeros") << 10.0 << "0XXX"
                               << "000A";
    QTest::newRow("hex too wide") << 256.0 << "XX"
                                  << "###";
    QTest::newRow("roman") << 1485.0 << "RN"
                           << "       MCDLXXXV";
    QTest::newRow("roman FM lower") << 485.0 << "FMrn"
                                    << "cdlxxxv";
    QTest::newRow("text minimum") << 1234567.891 << "TM9"
                                  << "1234567.891";
    QTest::newRow("G and D") << 1234.5 << "9G999D99"
                             << " 1,234.50";
}

void TestNumberFunctions::toChar() {
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(formatNumber(num(value), format.toStdString())), expected);
}

void TestNumberFunctions::toNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");  // a number, or "ORA-nnnnn"
    QTest::newRow("groups") << "1,234.50"
                            << "9,999.99"
                            << "1234.5";
    QTest::newRow("dollars") << "$1,234.56"
                             << "$9,999.99"
                             << "1234.56";
    QTest::newRow("brackets") << "<5>"
                              << "999PR"
                              << "-5";
    QTest::newRow("trailing minus") << "5-"
                                    << "999MI"
                                    << "-5";
    QTest::newRow("hex") << "ff"
                         << "XX"
                         << "255";
    QTest::newRow("scientific") << "1.2E+03"
                                << "9.9EEEE"
                                << "1200";
    QTest::newRow("too many digits") << "12345"
                                     << "9,999.99"
                                     << "ORA-01722";
    QTest::newRow("separator out of place") << "12,34.5"
                                            << "9,999.99"
                                            << "ORA-01722";
    QTest::newRow("too many decimals") << "1.234"
                                       << "9.99"
                                       << "ORA-01722";
    QTest::newRow("letters") << "12a"
                             << "999"
                             << "ORA-01722";
}

void TestNumberFunctions::toNumber() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QString got;
    try {
        got = show(parseNumberFormatted(text.toStdString(), format.toStdString()));
    } catch (const OraError& e) {
        got = QString("ORA-%1").arg(e.code(), 5, 10, QChar('0'));
    }
    QCOMPARE(got, expected);
}

void TestNumberFunctions::invalidModels_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("comma first") << ",999";
    QTest::newRow("two points") << "9.9.9";
    QTest::newRow("comma after point") << "99.9,9";
    QTest::newRow("MI not last") << "MI999";
    QTest::newRow("unknown letter") << "99Q";
    QTest::newRow("no digits") << "FM";
}

void TestNumberFunctions::invalidModels() {
    QFETCH(QString, format);
    QCOMPARE(oraCode([&] { formatNumber(num(1LL), format.toStdString()); }), 1481);
}

QTEST_APPLESS_MAIN(TestNumberFunctions)
#include "tst_numberfunctions.moc"
