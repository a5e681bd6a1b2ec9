#include "app/SingleInstanceLock.h"

#include <QtTest>

#include <cstdio>
#include <cstring>

using veltrano::SingleInstanceLock;

// Run with "--try-lock <folder>" this program is a second instance: it exits
// with 0 when it gets the lock, 1 when not. With "--hold-lock <folder>" it
// takes the lock, says "locked" and keeps it until killed or until its input
// closes.
namespace {

const char *const TryLock = "--try-lock";
const char *const HoldLock = "--hold-lock";

int runInstance(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SingleInstanceLock lock(QStringLiteral("Veltrano"), QString::fromLocal8Bit(argv[2]));
    if (!lock.tryLock())
        return 1;
    if (std::strcmp(argv[1], HoldLock) == 0) {
        std::fputs("locked\n", stdout);
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
    }
    return 0;
}

} // namespace

class SingleInstanceLockTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    int secondInstanceExitCode() const
    {
        QProcess second;
        second.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(TryLock), m_dir.path()});
        if (!second.waitForFinished(60000))
            return -1;
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void lockFileIsNamedAfterTheLockInAPerUserFolder()
    {
        const SingleInstanceLock lock;
        QVERIFY(!SingleInstanceLock::defaultFolder().isEmpty());
        QCOMPARE(QFileInfo(lock.lockFilePath()).fileName(), QStringLiteral("Veltrano.lock"));
        QCOMPARE(QFileInfo(lock.lockFilePath()).absolutePath(),
                 QFileInfo(SingleInstanceLock::defaultFolder()).absoluteFilePath());
    }

    void secondHolderFailsUntilTheFirstReleases()
    {
        auto first = std::make_unique<SingleInstanceLock>(QStringLiteral("Veltrano"), m_dir.path());
        QVERIFY(first->tryLock());
        QVERIFY(first->isLocked());

        SingleInstanceLock second(QStringLiteral("Veltrano"), m_dir.path());
        QVERIFY(!second.tryLock());
        QCOMPARE(secondInstanceExitCode(), 1);

        // Another name is another lock.
        SingleInstanceLock other(QStringLiteral("Other"), m_dir.path());
        QVERIFY(other.tryLock());

        first.reset(); // the destructor releases the lock
        QCOMPARE(secondInstanceExitCode(), 0);
        QVERIFY(second.tryLock());
        second.unlock();
        QVERIFY(!second.isLocked());
    }

    void lockOfAKilledInstanceIsTakenOver()
    {
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(HoldLock), m_dir.path()});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(60000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

        SingleInstanceLock lock(QStringLiteral("Veltrano"), m_dir.path());
        QVERIFY(!lock.tryLock());

        holder.kill(); // no chance to remove its lock file
        QVERIFY(holder.waitForFinished(60000));
        QVERIFY(QFile::exists(lock.lockFilePath()));
        QVERIFY(lock.tryLock());
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && (std::strcmp(argv[1], TryLock) == 0 || std::strcmp(argv[1], HoldLock) == 0))
        return runInstance(argc, argv);
    QCoreApplication app(argc, argv);
    SingleInstanceLockTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstancelock.moc"
