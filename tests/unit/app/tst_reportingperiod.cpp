// The period presets: the days each preset gives on a given day, with the
// calendar's edges (month ends, leap years, 1 January), "Custom", and the
// clock the days are counted from.

#include "app/ReportingPeriod.h"

#include <QSignalSpy>
#include <QtTest>

using namespace veltrano;
using P = ReportingPeriod;

Q_DECLARE_METATYPE(QDate)

class ReportingPeriodTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void presetDays_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("preset");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");

        const QDate day(2026, 12, 10);
        QTest::newRow("this month") << day << int(P::ThisMonth) << QDate(2026, 12, 1) << day;
        QTest::newRow("this year") << day << int(P::ThisYear) << QDate(2026, 1, 1) << day;
        QTest::newRow("last 7 days: eight days") << day << int(P::Last7Days) << QDate(2026, 12, 3) << day;
        QTest::newRow("last 30 days") << day << int(P::Last30Days) << QDate(2026, 11, 10) << day;
        QTest::newRow("last 90 days") << day << int(P::Last90Days) << QDate(2026, 9, 11) << day;
        QTest::newRow("last 180 days") << day << int(P::Last180Days) << QDate(2026, 6, 13) << day;
        QTest::newRow("last 365 days") << day << int(P::Last365Days) << QDate(2025, 12, 10) << day;
        QTest::newRow("previous week: 14 to 7 days back")
            << day << int(P::PreviousWeek) << QDate(2026, 11, 26) << QDate(2026, 12, 3);
        QTest::newRow("previous month: 60 to 30 days back")
            << day << int(P::PreviousMonth) << QDate(2026, 10, 11) << QDate(2026, 11, 10);

        // The calendar's edges.
        QTest::newRow("1 January, this year")
            << QDate(2027, 1, 1) << int(P::ThisYear) << QDate(2027, 1, 1) << QDate(2027, 1, 1);
        QTest::newRow("first of a month, this month")
            << QDate(2026, 3, 1) << int(P::ThisMonth) << QDate(2026, 3, 1) << QDate(2026, 3, 1);
        QTest::newRow("31 March, this month")
            << QDate(2023, 3, 31) << int(P::ThisMonth) << QDate(2023, 3, 1) << QDate(2023, 3, 31);
        QTest::newRow("31 March, previous month, common year")
            << QDate(2023, 3, 31) << int(P::PreviousMonth) << QDate(2023, 1, 30) << QDate(2023, 3, 1);
        QTest::newRow("31 March, previous month, leap year")
            << QDate(2024, 3, 31) << int(P::PreviousMonth) << QDate(2024, 1, 31) << QDate(2024, 3, 1);
        QTest::newRow("31 December of a leap year, last 365 days")
            << QDate(2024, 12, 31) << int(P::Last365Days) << QDate(2024, 1, 1) << QDate(2024, 12, 31);
        QTest::newRow("1 January, last 7 days across the year")
            << QDate(2027, 1, 1) << int(P::Last7Days) << QDate(2026, 12, 25) << QDate(2027, 1, 1);
    }

    void presetDays()
    {
        QFETCH(QDate, today);
        QFETCH(int, preset);
        QFETCH(QDate, from);
        QFETCH(QDate, to);

        // Late in the evening: only the date counts.
        ReportingPeriod period([today] { return QDateTime(today, QTime(23, 59, 30)); });
        QSignalSpy changed(&period, &ReportingPeriod::changed);
        period.choosePreset(preset);
        QCOMPARE(period.from(), from);
        QCOMPARE(period.to(), to);
        QCOMPARE(period.fromText(), from.toString(QStringLiteral("yyyy-MM-dd")));
        QVERIFY(!period.editable());
        QCOMPARE(changed.count(), 1);
    }

    void startsWithTheLast30DaysAndTheListsNames()
    {
        ReportingPeriod period([] { return QDateTime(QDate(2024, 3, 31), QTime(9, 0)); });
        QCOMPARE(period.preset(), int(P::Last30Days));
        QCOMPARE(period.fromText(), QStringLiteral("2024-03-01"));
        QCOMPARE(period.toText(), QStringLiteral("2024-03-31"));
        QVERIFY(!period.editable());
        QCOMPARE(ReportingPeriod::presetNames(),
                 (QStringList{"This month", "This year", "Last 7 days", "Last 30 days", "Last 90 days", "Last 180 days",
                              "Last 365 days", "Previous week", "Previous month", "Custom"}));
    }

    // "Custom" keeps the days of the preset before it and lets the user edit
    // them freely, even backwards; any other preset then overwrites them.
    void customKeepsTheDaysAndTakesEdits()
    {
        QDate today(2026, 12, 10);
        ReportingPeriod period([&today] { return QDateTime(today, QTime(12, 0)); });
        period.choosePreset(P::PreviousWeek);
        period.choosePreset(P::Custom);
        QVERIFY(period.editable());
        QCOMPARE(period.from(), QDate(2026, 11, 26));
        QCOMPARE(period.to(), QDate(2026, 12, 3));

        period.setFrom(QDate(2027, 5, 1));
        period.setTo(QDate(2024, 3, 31));
        QCOMPARE(period.fromText(), QStringLiteral("2027-05-01"));
        QCOMPARE(period.toText(), QStringLiteral("2024-03-31"));

        // The clock moves past midnight: a preset counts from the new day.
        today = today.addDays(1);
        period.choosePreset(P::Last7Days);
        QVERIFY(!period.editable());
        QCOMPARE(period.from(), QDate(2026, 12, 4));
        QCOMPARE(period.to(), QDate(2026, 12, 11));
    }

    void outOfRangePresetChangesNothing()
    {
        ReportingPeriod period([] { return QDateTime(QDate(2026, 12, 10), QTime(12, 0)); });
        QSignalSpy changed(&period, &ReportingPeriod::changed);
        period.choosePreset(10);
        period.choosePreset(-1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(period.preset(), int(P::Last30Days));
    }

    // The days a check may send: a period turned round never, a last day
    // after today only where the service takes it. A refusal names both
    // days and the tab where the period is chosen.
    void refusal_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<bool>("futureRefused");
        QTest::addColumn<QString>("text");

        const QString again = QStringLiteral(" Choose the period again on the Google Analytics tab.");
        const QString reversed = QStringLiteral("The period's first day (2026-12-20) is after its last day "
                                                "(2026-12-01).") +
                                 again;
        const QString future = QStringLiteral("The period's last day (2026-12-12) is after today (2026-12-11): "
                                              "the service has no data for it yet.") +
                               again;
        QTest::newRow("in order, past") << QDate(2026, 11, 1) << QDate(2026, 11, 30) << true << QString();
        QTest::newRow("one day") << QDate(2026, 12, 1) << QDate(2026, 12, 1) << true << QString();
        QTest::newRow("up to today") << QDate(2026, 12, 1) << QDate(2026, 12, 11) << true << QString();
        QTest::newRow("turned round") << QDate(2026, 12, 20) << QDate(2026, 12, 1) << false << reversed;
        QTest::newRow("turned round, both in the future")
            << QDate(2026, 12, 20) << QDate(2026, 12, 1) << true << reversed;
        QTest::newRow("tomorrow refused") << QDate(2026, 12, 1) << QDate(2026, 12, 12) << true << future;
        QTest::newRow("tomorrow allowed") << QDate(2026, 12, 1) << QDate(2026, 12, 12) << false << QString();
        QTest::newRow("a year apart, turned round")
            << QDate(2026, 1, 2) << QDate(2025, 1, 2) << false
            << QStringLiteral("The period's first day (2026-01-02) is after its last day (2025-01-02).") + again;
    }
    void refusal()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(bool, futureRefused);
        QFETCH(QString, text);

        // Through a period with a fixed clock, as the checks ask it.
        P period([] { return QDateTime(QDate(2026, 12, 11), QTime(23, 59)); });
        period.choosePreset(P::Custom);
        period.setFrom(from);
        period.setTo(to);
        QCOMPARE(period.refusal(futureRefused ? P::FutureDays::Refused : P::FutureDays::Allowed,
                                QStringLiteral("Google Analytics")),
                 text);
    }
};

QTEST_GUILESS_MAIN(ReportingPeriodTest)
#include "tst_reportingperiod.moc"
