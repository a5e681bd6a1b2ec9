#include "app/ActivityLog.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <ctime>

using veltrano::ActivityLog;

class ActivityLogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newestLineOnTopWithTwoDigitTime()
    {
        ActivityLog log;
        log.setClock([] { return QTime(7, 5, 9); });
        log.addToLog(QStringLiteral("first"));
        log.addToLog(QStringLiteral("second"));
        QCOMPARE(log.rowCount(), 2);
        QCOMPARE(log.data(log.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("second"));
        QCOMPARE(log.data(log.index(1, 1), Qt::DisplayRole).toString(), QStringLiteral("first"));
        // Two calls in the same second share the time; the later one is above.
        QCOMPARE(log.data(log.index(0, 0), Qt::DisplayRole).toString(),
                 log.data(log.index(1, 0), Qt::DisplayRole).toString());
        QCOMPARE(ActivityLog::formatTime(QTime(7, 5, 9), QLatin1Char(':')), QStringLiteral("07:05:09"));
        QCOMPARE(ActivityLog::formatTime(QTime(23, 59, 0), QLatin1Char('.')), QStringLiteral("23.59.00"));
        QCOMPARE(log.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Time"));
        QCOMPARE(log.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Event"));
    }

    // The time column shows the local time of the zone in force, in zones
    // on either side of UTC and a half-hour one.
    void timeIsLocal_data()
    {
        QTest::addColumn<QByteArray>("zone"); // POSIX TZ: the offset is west of UTC
        QTest::newRow("UTC") << QByteArray("UTC0");
        QTest::newRow("5:30 east") << QByteArray("XST-5:30");
        QTest::newRow("9 west") << QByteArray("YST9");
        QTest::newRow("13 east") << QByteArray("ZST-13");
    }
    void timeIsLocal()
    {
        QFETCH(QByteArray, zone);
        const QByteArray saved = qgetenv("TZ");
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        const auto restore = qScopeGuard([&] {
            hadZone ? qputenv("TZ", saved) : qunsetenv("TZ");
            tzset();
        });
        qputenv("TZ", zone);
        tzset();
        ActivityLog log;
        log.addToLog(QStringLiteral("line"));
        const QString shown = log.data(log.index(0, 0), Qt::DisplayRole).toString();
        // "hh<sep>mm<sep>ss", whatever the locale's separator.
        const QTime time = QTime(shown.left(2).toInt(), shown.mid(3, 2).toInt(), shown.mid(6, 2).toInt());
        QVERIFY2(time.isValid(), qPrintable(shown));
        // The line was written a moment ago: its time is the local time
        // give or take a few seconds (across midnight too), never hours off.
        const int apart = std::abs(time.secsTo(QTime::currentTime()));
        QVERIFY2(std::min(apart, 86400 - apart) <= 5, qPrintable(shown));
    }
};

QTEST_GUILESS_MAIN(ActivityLogTest)
#include "tst_activitylog.moc"
