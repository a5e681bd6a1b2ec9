#include "app/ActivityLog.h"

#include <QtTest>

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
};

QTEST_GUILESS_MAIN(ActivityLogTest)
#include "tst_activitylog.moc"
