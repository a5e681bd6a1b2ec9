#include "net/NumberText.h"

#include <QtTest>

#include <limits>

using veltrano::NumberText;

namespace {

const QLocale kC = QLocale::c();
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kRussian(QLocale::Russian, QLocale::Russia);

// The text for the "C" locale, with its point turned into the comma that
// German and Russian use.
QString withComma(QString text)
{
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

class NumberTextTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fixed_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected"); // under "C"; de_DE and ru_RU write a comma

        QTest::newRow("two decimals added") << 3.0 << 2 << "3.00";
        QTest::newRow("no group separators") << 1234.5 << 2 << "1234.50";
        QTest::newRow("millions, no group separators") << 1234567.891 << 2 << "1234567.89";
        QTest::newRow("exact half away from zero") << 0.125 << 2 << "0.13";
        QTest::newRow("negative half away from zero") << -0.125 << 2 << "-0.13";
        // The nearest doubles of these lie just below the half; their
        // shortest texts are the halves themselves.
        QTest::newRow("2.675 as written") << 2.675 << 2 << "2.68";
        QTest::newRow("1.005 as written") << 1.005 << 2 << "1.01";
        QTest::newRow("1.015 as written") << 1.015 << 2 << "1.02";
        QTest::newRow("just below a half") << 2.6749999 << 2 << "2.67";
        QTest::newRow("carry into a new digit") << 9.995 << 2 << "10.00";
        QTest::newRow("carry through the point") << 99.999 << 2 << "100.00";
        QTest::newRow("tiny value rounds up") << 0.005 << 2 << "0.01";
        QTest::newRow("tiny value rounds down") << 0.0049 << 2 << "0.00";
        QTest::newRow("negative rounding to zero shows no sign") << -0.001 << 2 << "0.00";
        QTest::newRow("negative zero") << -0.0 << 2 << "0.00";
        QTest::newRow("binary noise") << 0.1 + 0.2 << 2 << "0.30";
        QTest::newRow("average position") << 12.3456 << 2 << "12.35";
        QTest::newRow("no decimals, half") << 2.5 << 0 << "3";
        QTest::newRow("no decimals, negative half") << -2.5 << 0 << "-3";
        QTest::newRow("one decimal") << 0.05 << 1 << "0.1";
        QTest::newRow("more decimals than the value has") << 1.5 << 4 << "1.5000";
        QTest::newRow("large whole value") << 1e20 << 2 << "100000000000000000000.00";
        QTest::newRow("tiny exponent") << 1e-300 << 2 << "0.00";
        QTest::newRow("negative decimals count as none") << 7.5 << -3 << "8";
    }
    void fixed()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        QCOMPARE(NumberText::fixed(value, decimals, kC), expected);
        QCOMPARE(NumberText::fixed(value, decimals, kGerman), withComma(expected));
        QCOMPARE(NumberText::fixed(value, decimals, kRussian), withComma(expected));
    }

    void fixedUsesTheUserLocaleByDefault()
    {
        const QLocale saved;
        QLocale::setDefault(kRussian);
        const QString text = NumberText::fixed(1234.5, 2);
        QLocale::setDefault(saved);
        QCOMPARE(text, QStringLiteral("1234,50"));
    }

    void minutesSeconds_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << 0.0 << "00:00";
        QTest::newRow("a minute and five") << 65.0 << "01:05";
        QTest::newRow("no hours part") << 3725.0 << "62:05";
        // Whole seconds first, an exact half to the even neighbour.
        QTest::newRow("59.5 up to the even 60") << 59.5 << "01:00";
        QTest::newRow("60.5 down to the even 60") << 60.5 << "01:00";
        QTest::newRow("61.5 up to the even 62") << 61.5 << "01:02";
        QTest::newRow("just below a half") << 61.4999 << "01:01";
        QTest::newRow("fraction of a second") << 0.4 << "00:00";
        QTest::newRow("more than 99 minutes") << 6000.0 << "100:00";
        QTest::newRow("negative keeps its sign") << -65.0 << "-01:05";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "NAN";
    }
    void minutesSeconds()
    {
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        QCOMPARE(NumberText::minutesSeconds(seconds), expected);
    }

    void notFinite_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "NAN";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "INF";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-INF";
    }
    void notFinite()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(NumberText::fixed(value, 2, kC), expected);
        QCOMPARE(NumberText::general(value, kGerman), expected);
    }

    void general_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected"); // under "C"; de_DE and ru_RU write a comma

        QTest::newRow("whole value has no point") << 1234.0 << "1234";
        QTest::newRow("no group separators") << 1234567.5 << "1234567.5";
        QTest::newRow("shortest text") << 0.1 << "0.1";
        QTest::newRow("binary noise cut at 15 digits") << 0.1 + 0.2 << "0.3";
        QTest::newRow("15 significant digits kept") << 123456.789012345 << "123456.789012345";
        QTest::newRow("16th digit rounds half away from zero") << 0.1234567890123455 << "0.123456789012346";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("0.0001 is plain") << 0.0001 << "0.0001";
        QTest::newRow("below 0.0001 is scientific") << 0.000025 << "2.5E-5";
        QTest::newRow("16 digits before the point are scientific") << 1234567890123456.0 << "1.23456789012346E15";
        QTest::newRow("negative zero") << -0.0 << "0";
    }
    void general()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(NumberText::general(value, kC), expected);
        QCOMPARE(NumberText::general(value, kGerman), withComma(expected));
        QCOMPARE(NumberText::general(value, kRussian), withComma(expected));
    }
};

QTEST_GUILESS_MAIN(NumberTextTest)
#include "tst_numbertext.moc"
