#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/CheckContext.h"
#include "app/CheckTarget.h"
#include "app/QuotaSpent.h"
#include "app/RequestPacer.h"
#include "app/RowEngine.h"
#include "app/RowRunStates.h"
#include "app/WorkerRow.h"
#include "support/ServiceTestFixture.h"

#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <numeric>
#include <thread>

using namespace veltrano;
using namespace veltrano::testing;

namespace {

// The window's events: a test acts on the n-th call.
class ScriptedEvents final : public EventPump {
public:
    void processPendingEvents() override
    {
        ++processed;
        if (onProcess)
            onProcess(processed);
    }
    void keepPainting() override {}
    std::function<void(int)> onProcess;
    int processed = 0;
};

class FakeTable final : public CheckTarget {
public:
    explicit FakeTable(int rows) : rows(rows) {}
    int checkRowCount() const override { return rows; }
    void setCheckRunning(bool) override {}
    int rows;
};

QString urlOf(int row)
{
    return QStringLiteral("https://example.com/p%1").arg(row);
}

// Sleeps in short steps; ends early when the row's run stops, as a
// request in flight does.
bool sleepUnlessStopped(std::chrono::milliseconds duration)
{
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const WorkerRow *row = WorkerRow::current(); row && row->stopped())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Fixture : RunTestFixture<ScriptedEvents> {
    static constexpr int kTab = 0;
    FakeTable table;
    BusyState busy;
    std::vector<int> applied; // rows, in the order they were applied
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    bool appliedOffGuiThread = false;

    explicit Fixture(int rows, int parallel) : table(rows)
    {
        run.setTable(kTab, &table);
        run.setBusyState(&busy);
        run.markApiConnected();
        run.setParallelRequests(parallel);
    }

    // A check of `rows` rows: row i's exchange lasts exchangeTime(i), writes
    // two log lines, and may raise; its apply writes one line.
    void runCheck(const RequestLimits &limits, const std::function<std::chrono::milliseconds(int)> &exchangeTime,
                  const std::function<void(int)> &raise = {})
    {
        run.clearChecks(kTab);
        run.registerCheck(kTab, QStringLiteral("check"), [&](CheckContext &context) {
            std::vector<int> all(size_t(table.rows));
            std::iota(all.begin(), all.end(), 0);
            const std::vector<int> rows = context.rowsToCheck(all, urlOf);
            context.forEachRow(int(rows.size()), limits, [&, rows](int index) {
                const int row = rows[size_t(index)];
                return RowWork::of(
                    [&, row] {
                        const int now = ++inFlight;
                        int most = mostInFlight;
                        while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
                        }
                        log.addToLog(QStringLiteral("row %1 sent").arg(row));
                        const bool whole = sleepUnlessStopped(exchangeTime(row));
                        --inFlight;
                        if (!whole)
                            throw RequestAborted();
                        if (raise)
                            raise(row);
                        log.addToLog(QStringLiteral("row %1 answered").arg(row));
                        return row;
                    },
                    [&, row](int answered) {
                        appliedOffGuiThread |= QThread::currentThread() != qApp->thread();
                        applied.push_back(answered);
                        log.addToLog(QStringLiteral("row %1 applied").arg(row));
                        return CheckContext::RowStep::Next;
                    });
            });
        });
        run.runCheck(kTab, 0);
    }

    QStringList logFromStart() const
    {
        const QStringList all = log.messagesInOrder();
        return all.mid(all.indexOf(QStringLiteral("Check started")));
    }
};

// The log of rows first..last run one after another.
QStringList rowLines(int first, int last)
{
    QStringList lines;
    for (int row = first; row <= last; ++row)
        lines << QStringLiteral("row %1 sent").arg(row) << QStringLiteral("row %1 answered").arg(row)
              << QStringLiteral("row %1 applied").arg(row);
    return lines;
}

} // namespace

class RowEngineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Answers that come back in any order are applied in row order, on the
    // GUI thread, each row's lines whole and in order: the log reads as a
    // sequential run's.
    void answersApplyInRowOrder_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::newRow("one at a time") << 1;
        QTest::newRow("4 at once") << 4;
        QTest::newRow("8 at once") << 8;
    }
    void answersApplyInRowOrder()
    {
        QFETCH(int, parallel);
        constexpr int kRows = 12;
        Fixture f(kRows, parallel);
        // Later rows answer first.
        f.runCheck(RequestLimits{}, [](int row) { return std::chrono::milliseconds(2 * ((kRows - row) % 5)); });

        std::vector<int> inOrder(kRows);
        std::iota(inOrder.begin(), inOrder.end(), 0);
        QCOMPARE(f.applied, inOrder);
        QVERIFY(!f.appliedOffGuiThread);
        QCOMPARE(f.logFromStart(),
                 QStringList{"Check started"} + rowLines(0, kRows - 1) + QStringList{"Check finished"});
        QCOMPARE(f.progress.position, kRows);
        QVERIFY(f.run.flags().reportDataReady);
        QCOMPARE(f.run.rowStates(Fixture::kTab).rowsLeft(), 0);
        QVERIFY(f.mostInFlight <= parallel);
    }

    // Never more exchanges at once than the setting, nor than the service
    // takes (3, as Yandex Metrika).
    void inFlightStaysWithinLimits_data()
    {
        QTest::addColumn<int>("parallel");
        QTest::addColumn<int>("serviceLimit");
        QTest::addColumn<int>("most");
        QTest::newRow("setting 4") << 4 << 8 << 4;
        QTest::newRow("setting 8, service 3") << 8 << 3 << 3;
        QTest::newRow("setting 1") << 1 << 8 << 1;
    }
    void inFlightStaysWithinLimits()
    {
        QFETCH(int, parallel);
        QFETCH(int, serviceLimit);
        QFETCH(int, most);
        Fixture f(16, parallel);
        f.runCheck(RequestLimits{serviceLimit, 0}, [](int) { return std::chrono::milliseconds(20); });
        QCOMPARE(f.mostInFlight.load(), most);
        QCOMPARE(int(f.applied.size()), 16);
    }

    // "Cancel" while several rows are in flight: their exchanges end, no
    // further row is applied, the rows not applied stay not reached, and
    // the run ends as a cancelled one.
    void cancelWithRequestsInFlight()
    {
        Fixture f(20, 4);
        f.events.onProcess = [&](int) {
            if (f.applied.size() == 2 && f.inFlight > 0)
                f.run.cancelClicked();
        };
        // Rows from the third on would take far longer than any test.
        f.runCheck(RequestLimits{}, [](int row) { return std::chrono::milliseconds(row < 2 ? 1 : 600000); });

        QCOMPARE(f.applied, (std::vector<int>{0, 1}));
        QCOMPARE(f.inFlight.load(), 0); // every exchange has ended when the run returns
        const QStringList log = f.logFromStart();
        QCOMPARE(log.mid(log.size() - 3), (QStringList{"Cancel check...", "Check cancelled...", "Check finished"}));
        QVERIFY(!log.contains(QStringLiteral("row 2 sent")));
        const RowRunStates &states = f.run.rowStates(Fixture::kTab);
        QCOMPARE(states.state(urlOf(1)), RowRunStates::State::Answered);
        QCOMPARE(states.state(urlOf(2)), RowRunStates::State::NotReached);
        QCOMPARE(states.rowsLeft(), 18);
    }

    // A quota spent at row 5 while later rows are already answered: rows
    // before it are applied, it and every later row stay not reached, and a
    // continued run takes exactly those.
    void spentQuotaStopsAtItsRow()
    {
        Fixture f(12, 4);
        const auto raise = [](int row) {
            if (row == 5)
                throw QuotaSpent(QStringLiteral("Queries per day"), QDateTime::currentDateTimeUtc().addDays(1),
                                 QStringLiteral("midnight Pacific time"));
        };
        f.runCheck(
            RequestLimits{}, [](int row) { return std::chrono::milliseconds(row == 5 ? 30 : 1); }, raise);

        QCOMPARE(f.applied, (std::vector<int>{0, 1, 2, 3, 4}));
        const QStringList log = f.logFromStart();
        QCOMPARE(log.mid(1, 15), rowLines(0, 4));
        // The row's own lines come before the stop; no later row's line is written.
        QCOMPARE(log.at(16), QStringLiteral("row 5 sent"));
        QVERIFY(
            log.last().startsWith(QStringLiteral("The quota Queries per day is spent: 5 rows were checked, 7 remain")));
        QVERIFY(!log.contains(QStringLiteral("row 6 sent")));
        QCOMPARE(f.prompt.texts.size(), 1);
        QCOMPARE(f.run.rowStates(Fixture::kTab).rowsLeft(), 7);

        // The continued run asks the rows left, in order.
        f.applied.clear();
        f.run.setRowScopeQuestion([](int, int) { return CheckContext::RowScope::RowsLeft; });
        f.runCheck(RequestLimits{}, [](int) { return std::chrono::milliseconds(1); });
        QCOMPARE(f.applied, (std::vector<int>{5, 6, 7, 8, 9, 10, 11}));
        QCOMPARE(f.run.rowStates(Fixture::kTab).rowsLeft(), 0);
    }

    // The pacer gives each request a turn one interval after the last, the
    // interval a little longer than minute / perMinute (so that a request
    // arriving a little early still falls into the next minute); without a
    // limit it never waits; a raised stop flag ends a wait.
    void pacerSpacesTurns()
    {
        RequestPacer none(RequestLimits{8, 0});
        QCOMPARE(none.interval(), RequestPacer::Clock::duration::zero());

        RequestPacer paced(RequestLimits{8, 600});
        const auto interval = std::chrono::duration_cast<std::chrono::microseconds>(paced.interval());
        QVERIFY(interval > std::chrono::milliseconds(100));
        QVERIFY(interval < std::chrono::milliseconds(105));

        std::atomic<bool> stop{true};
        RequestPacer slow(RequestLimits{8, 1});
        QVERIFY(!slow.waitTurn(&stop));
    }
};

QTEST_GUILESS_MAIN(RowEngineTest)
#include "tst_rowengine.moc"
