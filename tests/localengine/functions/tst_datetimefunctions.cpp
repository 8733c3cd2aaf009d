// Oracle's calendar, datetime format model and date functions. Expected
// values are the worked examples of Oracle's SQL Language Reference
// (function pages and format model tables) or calendar facts.

#include "Calendar.h"
#include "DateFormat.h"
#include "DateFunctions.h"
#include "OraError.h"

#include <QtTest>

using namespace localengine::functions;

namespace {

DateTime at(const char* stored) {
    return *parseStoredDateTime(stored);
}

// The clock the tests read: 7 December 2026.
DateTime today() {
    DateTime d;
    d.year = 2026;
    d.month = 12;
    d.day = 7;
    return d;
}

// The ORA- code an action raises, 0 when it raises none.
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

class TestDateTimeFunctions : public QObject {
    Q_OBJECT
private slots:
    void julianDays_data();
    void julianDays();
    void calendarReform();
    void yearsOutsideTheRange();
    void toChar_data();
    void toChar();
    void toDate_data();
    void toDate();
    void toDateErrors_data();
    void toDateErrors();
    void truncAndRound_data();
    void truncAndRound();
    void monthArithmetic_data();
    void monthArithmetic();
    void monthsBetween_data();
    void monthsBetween();
    void arithmeticAndIntervals();
    void extract();
};

void TestDateTimeFunctions::julianDays_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<qint64>("julian");
    // Oracle's J matches the astronomers' day number for these.
    QTest::newRow("2000-01-01") << "2000-01-01" << qint64(2451545);
    QTest::newRow("2013-01-24") << "2013-01-24" << qint64(2456317);
    QTest::newRow("1980-01-01") << "1980-01-01" << qint64(2444240);
    QTest::newRow("last Julian day") << "1582-10-04" << qint64(2299160);
    QTest::newRow("first Gregorian day") << "1582-10-15" << qint64(2299161);
    QTest::newRow("1 Oct 1582") << "1582-10-01" << qint64(2299157);
    QTest::newRow("year 1") << "0001-01-01" << qint64(1721424);
    QTest::newRow("last day") << "9999-12-31" << qint64(5373484);
}

void TestDateTimeFunctions::julianDays() {
    QFETCH(QString, date);
    QFETCH(qint64, julian);
    const DateTime d = at(date.toLatin1().constData());
    QCOMPARE(julianDay(d), julian);
    int y = 0, m = 0, day = 0;
    fromJulianDay(julian, y, m, day);
    QCOMPARE(QString::asprintf("%04d-%02d-%02d", y, m, day), date);
}

void TestDateTimeFunctions::calendarReform() {
    // Julian leap years before the reform, Gregorian after.
    QVERIFY(isLeapYear(1500));
    QVERIFY(!isLeapYear(1700));
    QVERIFY(isLeapYear(2000));
    // The day after 4 October 1582 is 15 October; the days between are
    // read as the 15th.
    QCOMPARE(dateText(addDays(at("1582-10-04"), 1)), std::string("1582-10-15 00:00:00"));
    QCOMPARE(dateText(parseDateTime("12/10/1582", "dd/mm/yyyy", today(), false)),
             std::string("1582-10-15 00:00:00"));
    QCOMPARE(dayOfWeek(at("1582-10-15")), 6);  // a Friday
    QCOMPARE(dayOfWeek(at("1582-10-04")), 5);  // a Thursday
}

void TestDateTimeFunctions::yearsOutsideTheRange() {
    QCOMPARE(oraCode([] { addDays(at("9999-12-31"), 1); }), 1841);
    QCOMPARE(oraCode([] { addMonths(at("9999-12-01"), 1); }), 1841);
    QCOMPARE(oraCode([] { parseDateTime("0000-01-01", "YYYY-MM-DD", today(), false); }), 1841);
    QCOMPARE(oraCode([] { addMonths(at("-4712-01-31"), -1); }), 1841);
    // BC years: no year 0; they are read, printed and moved by months, but
    // days before the year 1 are not counted.
    QCOMPARE(dateText(addMonths(at("2000-01-01"), -24002)), std::string("-0002-11-01 00:00:00"));
    QCOMPARE(dateText(addMonths(at("0001-01-31"), -1)), std::string("-0001-12-31 00:00:00"));
    QCOMPARE(dateText(lastDay(at("-0001-02-01"))), std::string("-0001-02-29 00:00:00"));
    QCOMPARE(dateText(parseDateTime("0044-03-15 BC", "YYYY-MM-DD BC", today(), false)),
             std::string("-0044-03-15 00:00:00"));
    QCOMPARE(formatDateTime(at("-0044-03-15"), "YYYY BC SYYYY", false),
             std::string("0044 BC -0044"));
    QVERIFY_THROWS_EXCEPTION(Unsupported, addDays(at("0001-01-01"), -1));
    QVERIFY_THROWS_EXCEPTION(Unsupported, formatDateTime(at("-0044-03-15"), "DAY", false));
}

void TestDateTimeFunctions::toChar_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fm month") << "1980-12-17"
                              << "fmMonth DD, YYYY"
                              << "December 17, 1980";
    QTest::newRow("padded month") << "1981-04-02"
                                  << "Month DD"
                                  << "April     02";
    QTest::newRow("default") << "2013-02-17 14:05:09"
                             << "DD-MON-RR"
                             << "17-FEB-13";
    QTest::newRow("upper and lower names") << "2013-02-17"
                                           << "DAY Dy day mon"
                                           << "SUNDAY    Sun sunday    feb";
    QTest::newRow("numbers") << "2013-02-17 14:05:09"
                             << "Q DDD D W WW IW J"
                             << "1 048 1 3 07 07 2456341";
    QTest::newRow("century") << "2002-06-01"
                             << "CC"
                             << "21";
    QTest::newRow("century 2000") << "2000-06-01"
                                  << "CC"
                                  << "20";
    QTest::newRow("iso year") << "2010-01-02"
                              << "IYYY-IW"
                              << "2009-53";
    QTest::newRow("hours") << "2013-02-17 14:05:09"
                           << "HH:MI:SS AM HH24 SSSSS"
                           << "02:05:09 PM 14 50709";
    QTest::newRow("meridian forms") << "2013-02-17 09:00:00"
                                    << "A.M. p.m. pm"
                                    << "A.M. a.m. am";
    QTest::newRow("midnight hour") << "2013-02-17 00:30:00"
                                   << "HH12"
                                   << "12";
    QTest::newRow("roman month") << "2013-08-01"
                                 << "RM rm fmRM"
                                 << "VIII viii VIII";
    QTest::newRow("year forms") << "2013-02-17"
                                << "Y,YYY YYY YY Y"
                                << "2,013 013 13 3";
    QTest::newRow("quoted text") << "2013-02-17"
                                 << "\"Day \"DD"
                                 << "Day 17";
    QTest::newRow("suffix TH") << "2008-04-03"
                               << "fmDDTH"
                               << "3RD";
    QTest::newRow("suffixes") << "2008-04-04"
                              << "DDTH DDSP DDSPTH"
                              << "04TH FOUR FOURTH";
    QTest::newRow("suffix case") << "2007-04-03 02:01:01"
                                 << "FMyyyyTH, mmTH, ddTH, hhTH, miTH"
                                 << "2007th, 4th, 3rd, 2nd, 1st";
    QTest::newRow("spelled") << "2000-04-03 02:01:00"
                             << "mmSP, ddSP, hh24SP, miSP, ssSP"
                             << "four, three, two, one, zero";
    QTest::newRow("spelled ordinal") << "2000-04-03 02:01:00"
                                     << "mmSPTH, ddTHSP, ssSPTH"
                                     << "fourth, third, zeroeth";
    QTest::newRow("fm toggles") << "2013-02-05"
                                << "fmDD-fmMM"
                                << "5-02";
    QTest::newRow("short date") << "2013-02-05"
                                << "DS"
                                << "02/05/2013";
    QTest::newRow("fractions") << "2013-02-17 14:05:09.123456"
                               << "SS.FF3 SSXFF"
                               << "09.123 09.123456";
}

void TestDateTimeFunctions::toChar() {
    QFETCH(QString, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    const DateTime d = at(value.toLatin1().constData());
    QCOMPARE(QString::fromStdString(formatDateTime(d, format.toStdString(), true)), expected);
}

void TestDateTimeFunctions::toDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("month name") << "January 15, 1989, 11:00 A.M."
                                << "Month dd, YYYY, HH:MI A.M."
                                << "1989-01-15 11:00:00.000000000";
    QTest::newRow("timestamp") << "10-Sep-02 14:10:10.123000"
                               << "DD-Mon-RR HH24:MI:SS.FF"
                               << "2002-09-10 14:10:10.123000000";
    // RR: two digits near the current year (2026).
    QTest::newRow("RR 98") << "27-OCT-98"
                           << "DD-MON-RR"
                           << "1998-10-27 00:00:00.000000000";
    QTest::newRow("RR 17") << "27-OCT-17"
                           << "DD-MON-RR"
                           << "2017-10-27 00:00:00.000000000";
    QTest::newRow("RR 49") << "01-JAN-49"
                           << "DD-MON-RR"
                           << "2049-01-01 00:00:00.000000000";
    QTest::newRow("RR 50") << "01-JAN-50"
                           << "DD-MON-RR"
                           << "1950-01-01 00:00:00.000000000";
    QTest::newRow("RR four digits") << "01-JAN-1949"
                                    << "DD-MON-RR"
                                    << "1949-01-01 00:00:00.000000000";
    QTest::newRow("YY current century") << "01-JAN-98"
                                        << "DD-MON-YY"
                                        << "2098-01-01 00:00:00.000000000";
    // Any punctuation stands for the format's, and it may be left out.
    QTest::newRow("no punctuation") << "0207"
                                    << "MM/YY"
                                    << "2007-02-01 00:00:00.000000000";
    QTest::newRow("other punctuation") << "02#07"
                                       << "MM/YY"
                                       << "2007-02-01 00:00:00.000000000";
    QTest::newRow("MM reads a name") << "01-JAN-2013"
                                     << "DD-MM-YYYY"
                                     << "2013-01-01 00:00:00.000000000";
    // Missing fields: the first day of the current month, midnight.
    QTest::newRow("time only") << "10:30"
                               << "HH24:MI"
                               << "2026-12-01 10:30:00.000000000";
    QTest::newRow("time left out") << "2013-01-05"
                                   << "YYYY-MM-DD HH24:MI:SS"
                                   << "2013-01-05 00:00:00.000000000";
    QTest::newRow("julian") << "2456317"
                            << "J"
                            << "2013-01-24 00:00:00.000000000";
    QTest::newRow("day of year") << "2012 366"
                                 << "YYYY DDD"
                                 << "2012-12-31 00:00:00.000000000";
    QTest::newRow("12 AM") << "2013-01-05 12:15 AM"
                           << "YYYY-MM-DD HH:MI AM"
                           << "2013-01-05 00:15:00.000000000";
    QTest::newRow("seconds of day") << "2013-01-05 3661"
                                    << "YYYY-MM-DD SSSSS"
                                    << "2013-01-05 01:01:01.000000000";
}

void TestDateTimeFunctions::toDate() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    const DateTime d = parseDateTime(text.toStdString(), format.toStdString(), today(), true);
    QCOMPARE(QString::fromStdString(timestampText(d)), expected);
}

void TestDateTimeFunctions::toDateErrors_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("code");
    QTest::newRow("30 February") << "2009-02-30"
                                 << "YYYY-MM-DD" << 1839;
    QTest::newRow("31 April") << "2009-04-31"
                              << "YYYY-MM-DD" << 1839;
    QTest::newRow("29 February 2100") << "2100-02-29"
                                      << "YYYY-MM-DD" << 1839;
    QTest::newRow("day 32") << "2013-01-32"
                            << "YYYY-MM-DD" << 1847;
    QTest::newRow("month 13") << "2013-13-01"
                              << "YYYY-MM-DD" << 1843;
    QTest::newRow("bad month name") << "01-JUX-2013"
                                    << "DD-MON-YYYY" << 1843;
    QTest::newRow("hour 24") << "2013-01-01 24"
                             << "YYYY-MM-DD HH24" << 1850;
    QTest::newRow("hour 13 of 12") << "13"
                                   << "HH" << 1849;
    QTest::newRow("minute 60") << "60"
                               << "MI" << 1851;
    QTest::newRow("second 60") << "60"
                               << "SS" << 1852;
    QTest::newRow("letters for digits") << "2013-01-AB"
                                        << "YYYY-MM-DD" << 1858;
    QTest::newRow("literal") << "2013-01-01"
                             << "YYYY\"x\"MM-DD" << 1861;
    QTest::newRow("text too short") << "2013-01"
                                    << "YYYY-MM-DD" << 1840;
    QTest::newRow("text too long") << "2013-01-01 extra"
                                   << "YYYY-MM-DD" << 1830;
    QTest::newRow("unknown element") << "2013"
                                     << "YYYY-XX" << 1821;
    QTest::newRow("HH24 with AM") << "10 AM"
                                  << "HH24 AM" << 1818;
    QTest::newRow("output-only element") << "2013 1"
                                         << "YYYY Q" << 1820;
    QTest::newRow("month twice") << "01 01"
                                 << "MM MM" << 1816;
    QTest::newRow("julian out of range") << "0"
                                         << "J" << 1854;
    QTest::newRow("not a weekday") << "Funday"
                                   << "DAY" << 1846;
}

void TestDateTimeFunctions::toDateErrors() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(int, code);
    QCOMPARE(
        oraCode([&] { parseDateTime(text.toStdString(), format.toStdString(), today(), false); }),
        code);
}

void TestDateTimeFunctions::truncAndRound_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("trunc");
    QTest::addColumn<QString>("round");
    QTest::newRow("year, before July") << "1992-10-27 00:00:00"
                                       << "YEAR"
                                       << "1992-01-01"
                                       << "1993-01-01";
    QTest::newRow("year, June") << "2000-06-30 23:59:59"
                                << "YYYY"
                                << "2000-01-01"
                                << "2000-01-01";
    QTest::newRow("month, 16th") << "2013-02-16 00:00:00"
                                 << "MM"
                                 << "2013-02-01"
                                 << "2013-03-01";
    QTest::newRow("month, 15th") << "2013-02-15 23:00:00"
                                 << "MONTH"
                                 << "2013-02-01"
                                 << "2013-02-01";
    QTest::newRow("quarter") << "2013-05-16 00:00:00"
                             << "Q"
                             << "2013-04-01"
                             << "2013-07-01";
    QTest::newRow("century") << "2013-05-16 00:00:00"
                             << "CC"
                             << "2001-01-01"
                             << "2001-01-01";
    // Weeks: from the first day of the year, of the ISO year (a Monday), of
    // the month, and the week from Sunday.
    QTest::newRow("WW") << "2013-01-10 00:00:00"
                        << "WW"
                        << "2013-01-08"
                        << "2013-01-08";
    QTest::newRow("IW") << "2013-02-17 00:00:00"
                        << "IW"
                        << "2013-02-11"
                        << "2013-02-18";
    QTest::newRow("W") << "2013-02-17 00:00:00"
                       << "W"
                       << "2013-02-15"
                       << "2013-02-15";
    QTest::newRow("DAY") << "2013-02-21 00:00:00"
                         << "DAY"
                         << "2013-02-17"
                         << "2013-02-24";
    QTest::newRow("DAY, before Wednesday noon") << "2013-02-20 11:59:59"
                                                << "DY"
                                                << "2013-02-17"
                                                << "2013-02-17";
    QTest::newRow("day at noon") << "2013-02-20 12:00:00"
                                 << "DD"
                                 << "2013-02-20"
                                 << "2013-02-21";
    QTest::newRow("hour") << "2013-02-20 12:30:00"
                          << "HH"
                          << "2013-02-20 12:00:00"
                          << "2013-02-20 13:00:00";
    QTest::newRow("minute") << "2013-02-20 12:30:29"
                            << "MI"
                            << "2013-02-20 12:30:00"
                            << "2013-02-20 12:30:00";
}

void TestDateTimeFunctions::truncAndRound() {
    QFETCH(QString, value);
    QFETCH(QString, unit);
    QFETCH(QString, trunc);
    QFETCH(QString, round);
    const DateTime d = at(value.toLatin1().constData());
    auto full = [](QString s) { return s.size() == 10 ? s + " 00:00:00" : s; };
    QCOMPARE(QString::fromStdString(dateText(truncDate(d, unit.toStdString()))), full(trunc));
    QCOMPARE(QString::fromStdString(dateText(roundDate(d, unit.toStdString()))), full(round));
}

void TestDateTimeFunctions::monthArithmetic_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("months");
    QTest::addColumn<QString>("expected");
    QTest::newRow("last day stays last") << "2009-02-28 10:00:00" << 1 << "2009-03-31 10:00:00";
    QTest::newRow("cut to a shorter month") << "2009-01-31 00:00:00" << 1 << "2009-02-28 00:00:00";
    QTest::newRow("leap February") << "2008-01-30 00:00:00" << 1 << "2008-02-29 00:00:00";
    QTest::newRow("backward over a year") << "2013-03-15 00:00:00" << -15 << "2011-12-15 00:00:00";
    QTest::newRow("plain") << "2013-03-15 00:00:00" << 0 << "2013-03-15 00:00:00";
}

void TestDateTimeFunctions::monthArithmetic() {
    QFETCH(QString, value);
    QFETCH(int, months);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(dateText(addMonths(at(value.toLatin1().constData()), months))),
             expected);
}

void TestDateTimeFunctions::monthsBetween_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<double>("expected");
    QTest::newRow("31-day fraction") << "1995-02-02"
                                     << "1995-01-01" << 1 + 1 / 31.0;
    QTest::newRow("both last days") << "1995-02-28"
                                    << "1995-01-31" << 1.0;
    QTest::newRow("same day") << "1995-03-15 10:00:00"
                              << "1995-01-15" << 2.0;
    QTest::newRow("negative") << "1995-01-01"
                              << "1995-02-02" << -(1 + 1 / 31.0);
    QTest::newRow("time counts") << "1995-01-02 12:00:00"
                                 << "1995-01-01" << 1.5 / 31;
}

void TestDateTimeFunctions::monthsBetween() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(double, expected);
    QCOMPARE(localengine::functions::monthsBetween(at(a.toLatin1().constData()),
                                                   at(b.toLatin1().constData())),
             expected);
}

void TestDateTimeFunctions::arithmeticAndIntervals() {
    // Fractions of days are hours; a third of a day is eight hours.
    QCOMPARE(dateText(addDays(at("2013-02-17 14:05:09"), 1.0 / 3)),
             std::string("2013-02-17 22:05:09"));
    QCOMPARE(dateText(addDays(at("2013-02-28"), 1)), std::string("2013-03-01 00:00:00"));
    QCOMPARE(daysBetween(at("2013-02-17 12:00:00"), at("2013-02-16")), 1.5);
    QCOMPARE(intervalText(timestampDifference(at("2013-02-17 12:00:00.5"), at("2013-02-16"))),
             std::string("+000000001 12:00:00.500000000"));
    QCOMPARE(intervalText(timestampDifference(at("2013-02-16"), at("2013-02-17 12:00:00.5"))),
             std::string("-000000001 12:00:00.500000000"));
    QCOMPARE(intervalText(numToDSInterval(100, "HOUR")),
             std::string("+000000004 04:00:00.000000000"));
    QCOMPARE(intervalText(numToYMInterval(1.5, "year")), std::string("+000000001-06"));
    QCOMPARE(oraCode([] { numToDSInterval(1, "WEEK"); }), 1867);
    // Adding months as an interval keeps the day, and a day the month lacks
    // is an error (ADD_MONTHS would cut it instead).
    QCOMPARE(dateText(addInterval(at("2023-05-15"), IntervalYM{-3})),
             std::string("2023-02-15 00:00:00"));
    QCOMPARE(oraCode([] { addInterval(at("2023-05-31"), IntervalYM{-3}); }), 1839);
    QCOMPARE(
        timestampText(addInterval(at("2013-02-17 23:59:59.75"), *parseIntervalDS("0 00:00:00.5"))),
        std::string("2013-02-18 00:00:00.250000000"));
    QCOMPARE(dateText(nextDay(at("2009-10-15"), "TUESDAY")), std::string("2009-10-20 00:00:00"));
    QCOMPARE(dateText(nextDay(at("2009-10-20"), "tue")), std::string("2009-10-27 00:00:00"));
    QCOMPARE(oraCode([] { nextDay(at("2009-10-15"), "TUESDAYS"); }), 1846);
    QCOMPARE(dateText(lastDay(at("2012-02-03 10:00:00"))), std::string("2012-02-29 10:00:00"));
}

void TestDateTimeFunctions::extract() {
    QCOMPARE(extractField(at("1998-03-07"), "YEAR", false), 1998.0);
    QCOMPARE(extractField(at("1998-03-07"), "month", false), 3.0);
    // A DATE has no HOUR for EXTRACT; a TIMESTAMP has, and its SECOND holds
    // the fraction.
    QCOMPARE(oraCode([] { extractField(at("1998-03-07 10:00:00"), "HOUR", false); }), 30076);
    QCOMPARE(extractField(at("1998-03-07 10:00:09.25"), "SECOND", true), 9.25);
    QCOMPARE(extractField(*parseIntervalDS("-3 04:05:06"), "HOUR"), -4.0);
    QCOMPARE(extractField(IntervalYM{-14}, "YEAR"), -1.0);
    QCOMPARE(extractField(IntervalYM{-14}, "MONTH"), -2.0);
}

QTEST_APPLESS_MAIN(TestDateTimeFunctions)
#include "tst_datetimefunctions.moc"
