#include "app/BusyState.h"
#include "app/CheckContext.h"
#include "app/CheckTarget.h"
#include "app/QuotaSpent.h"
#include "app/VeltranoError.h"
#include "support/ServiceTestFixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

using namespace veltrano;
using namespace veltrano::testing;

namespace {

// Pending events stand for user clicks arriving while a check runs.
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
    void setCheckRunning(bool r) override { running = r; }
    int rows;
    bool running = false;
};

// The shape of every check loop: one step per row, events and the cancel
// flag after each, "Check cancelled..." when asked to stop, the flag for a
// complete run at the end.
void walkRows(CheckContext &ctx, int rows)
{
    ctx.forEachRow(rows, [](int) { return CheckContext::RowStep::Next; });
}

struct Fixture : RunTestFixture<ScriptedEvents> {
    static constexpr int TabCount = 5;
    FakeTable tables[TabCount] = {FakeTable(4), FakeTable(3), FakeTable(5), FakeTable(0), FakeTable(2)};
    QSignalSpy charts{&run, &RunControl::chartRefreshRequested};

    Fixture()
    {
        for (int tab = 0; tab < TabCount; ++tab) {
            run.setTable(tab, &tables[tab]);
            if (tab != 2)
                run.registerCheck(tab, QStringLiteral("check %1").arg(tab),
                                  [this, tab](CheckContext &ctx) { walkRows(ctx, tables[tab].rows); });
        }
        run.registerCheck(
            2, QStringLiteral("Check GSC"), [this](CheckContext &ctx) { walkRows(ctx, tables[2].rows); },
            ChartRule::matching(1, "Yes"));
        run.registerCheck(
            2, QStringLiteral("URL Inspection API"), [this](CheckContext &ctx) { walkRows(ctx, tables[2].rows); },
            ChartRule::matching(8, "INDEXING_ALLOWED"));
    }
};

} // namespace

class RunControlTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refreshButtons_data();
    void refreshButtons();
    void withoutConnectionOnlyLogs();
    void completeRunWritesItsFrameAndRedrawsTheChart();
    void duringARunTheTableIsLockedAndCheckUrlIsOff();
    void cancelledRunStopsAfterTheCurrentRow();
    void searchConsoleAsksWhichCheck();
    void errorInACheckIsShownAndTheNextRunStarts();
    void rowStepCanEndTheCheck();
    void abandonedRequestEndsTheRunAsCancelled();
    void rowStatesFollowTheRunAndItContinues();
    void continuingAfterTheTargetChangedChecksAll_data();
    void continuingAfterTheTargetChangedChecksAll();
    void spentQuotaStopsTheRunWithOneMessage();
};

namespace {

// A check over named rows "u0".."u<n-1>" that records the rows it takes and
// fails the rows in `failing`.
struct NamedRowsCheck {
    int rows = 6;
    QList<int> failing;
    QList<int> taken;
    void operator()(CheckContext &ctx)
    {
        std::vector<int> all(static_cast<size_t>(rows));
        for (int row = 0; row < rows; ++row)
            all[size_t(row)] = row;
        const std::vector<int> chosen = ctx.rowsToCheck(all, [](int row) { return QStringLiteral("u%1").arg(row); });
        ctx.forEachRow(int(chosen.size()), [&](int index) {
            const int row = chosen[size_t(index)];
            taken << row;
            if (failing.contains(row))
                ctx.markRowFailed();
            return CheckContext::RowStep::Next;
        });
    }
};

} // namespace

// A run cancelled after its third row: the rows it answered are answered,
// the one without a usable answer failed, the rest not reached. The next
// "Check URL" asks once, and "Continue" takes exactly the rows left; after
// that nothing is left and no question is asked.
void RunControlTest::rowStatesFollowTheRunAndItContinues()
{
    Fixture f;
    NamedRowsCheck check;
    check.failing = {1};
    f.run.clearChecks(0);
    f.run.registerCheck(0, QStringLiteral("named"), [&](CheckContext &ctx) { check(ctx); });
    QList<int> asked;
    std::optional<CheckContext::RowScope> answer = CheckContext::RowScope::RowsLeft;
    f.run.setRowScopeQuestion([&](int, int rowsLeft) {
        asked << rowsLeft;
        return answer;
    });
    f.run.setTargetText([](int) { return QStringLiteral("Checks site https://example.com/ with account token_1"); });
    f.events.onProcess = [&](int processed) {
        if (processed == 3)
            f.run.cancelClicked();
    };
    f.run.markApiConnected();
    f.run.checkUrl(0);

    const RowRunStates &states = f.run.rowStates(0);
    using State = RowRunStates::State;
    QCOMPARE(check.taken, (QList<int>{0, 1, 2}));
    const QList<State> expected{State::Answered,   State::Failed,     State::Answered,
                                State::NotReached, State::NotReached, State::NotReached};
    for (int row = 0; row < 6; ++row)
        QCOMPARE(states.state(QStringLiteral("u%1").arg(row)), expected[row]);
    QCOMPARE(states.rowsLeft(), 4);
    QVERIFY(asked.isEmpty());

    // "Cancel" in the question runs nothing.
    answer = std::nullopt;
    check.taken.clear();
    f.events.onProcess = {};
    f.run.checkUrl(0);
    QCOMPARE(asked, QList<int>{4});
    QVERIFY(check.taken.isEmpty());
    QVERIFY(!f.run.isRunning());

    answer = CheckContext::RowScope::RowsLeft;
    check.failing.clear();
    f.run.checkUrl(0);
    QCOMPARE(check.taken, (QList<int>{1, 3, 4, 5}));
    QCOMPARE(states.rowsLeft(), 0);
    QVERIFY(f.log.messagesInOrder().contains(QStringLiteral("Continuing with the 4 rows the last run did not answer")));

    check.taken.clear();
    f.run.checkUrl(0);
    QCOMPARE(asked.size(), 2); // nothing left: no question
    QCOMPARE(check.taken.size(), 6);

    // Another check of the same report does not continue this one's rows.
    check.failing = {0};
    f.run.checkUrl(0);
    QCOMPARE(states.rowsLeft(), 1);
    f.run.registerCheck(0, QStringLiteral("other"), [](CheckContext &) {});
    f.run.runCheck(0, 1);
    QCOMPARE(asked.size(), 2);
}

void RunControlTest::continuingAfterTheTargetChangedChecksAll_data()
{
    QTest::addColumn<QString>("targetThen");
    QTest::addColumn<bool>("continued");
    QTest::newRow("same site, account and period") << "Checks site A with account token_1" << true;
    QTest::newRow("another site") << "Checks site B with account token_1" << false;
}

void RunControlTest::continuingAfterTheTargetChangedChecksAll()
{
    QFETCH(QString, targetThen);
    QFETCH(bool, continued);
    Fixture f;
    NamedRowsCheck check;
    check.failing = {2, 4};
    f.run.clearChecks(0);
    f.run.registerCheck(0, QStringLiteral("named"), [&](CheckContext &ctx) { check(ctx); });
    f.run.setRowScopeQuestion([](int, int) { return CheckContext::RowScope::RowsLeft; });
    QString target = QStringLiteral("Checks site A with account token_1");
    f.run.setTargetText([&](int) { return target; });
    f.run.markApiConnected();
    f.run.checkUrl(0);
    QCOMPARE(f.run.rowStates(0).rowsLeft(), 2);

    target = targetThen;
    check.taken.clear();
    f.run.checkUrl(0);
    QCOMPARE(check.taken, continued ? (QList<int>{2, 4}) : (QList<int>{0, 1, 2, 3, 4, 5}));
    QCOMPARE(f.log.messagesInOrder().contains(QStringLiteral(
                 "The site, account or period has changed since the last run, so every row is checked again")),
             !continued);
}

// A row whose answer says the rest would fail alike (a refused token) ends
// the loop there: the bar shows the rows done, the report is not ready,
// and the run still ends with "Check finished".
void RunControlTest::rowStepCanEndTheCheck()
{
    Fixture f;
    QList<int> seen;
    f.run.clearChecks(0);
    f.run.registerCheck(0, QStringLiteral("ends"), [&](CheckContext &ctx) {
        const auto end = ctx.forEachRow(4, [&](int row) {
            seen << row;
            return row == 1 ? CheckContext::RowStep::EndCheck : CheckContext::RowStep::Next;
        });
        QCOMPARE(end, CheckContext::RowLoopEnd::Ended);
    });
    f.run.markApiConnected();
    f.run.checkUrl(0);
    QCOMPARE(seen, (QList<int>{0, 1}));
    QCOMPARE(f.progress.position, 2);
    QVERIFY(!f.run.flags().reportDataReady);
    QCOMPARE(f.log.messagesInOrder(), (QStringList{"Check started", "Check finished"}));
    QCOMPARE(f.events.processed, 1);
}

// "Cancel" while a request is in flight: the request is abandoned, the
// check writes its own cancel line, and the run ends like a cancelled
// one. The program is busy for the whole run, and the abort is lifted
// after it.
void RunControlTest::abandonedRequestEndsTheRunAsCancelled()
{
    Fixture f;
    BusyState busy;
    f.run.setBusyState(&busy);
    bool busyDuringRun = false;
    bool abortRaised = false;
    f.run.clearChecks(1);
    f.run.registerCheck(1, QStringLiteral("requests"), [&](CheckContext &ctx) {
        ctx.setCancelLine(QStringLiteral("Metrika check cancelled..."));
        busyDuringRun = busy.isBusy();
        ctx.forEachRow(3, [&](int row) -> CheckContext::RowStep {
            if (row == 1) {
                f.run.cancelClicked(); // the click the pump lets through
                abortRaised = busy.abortFlag()->load();
                throw RequestAborted();
            }
            return CheckContext::RowStep::Next;
        });
    });
    f.run.markApiConnected();
    f.run.checkUrl(1);
    QVERIFY(busyDuringRun);
    QVERIFY(abortRaised);
    QVERIFY(!busy.isBusy());
    QVERIFY(!busy.abortFlag()->load());
    QVERIFY(f.prompt.texts.isEmpty());
    QCOMPARE(f.log.messagesInOrder(),
             (QStringList{"Check started", "Cancel check...", "Metrika check cancelled...", "Check finished"}));
    QVERIFY(!f.run.flags().reportDataReady);
    QCOMPARE(f.charts.count(), 1);
}

void RunControlTest::refreshButtons_data()
{
    QTest::addColumn<bool>("api");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("imports");
    QTest::addColumn<bool>("checkUrl");
    QTest::addColumn<bool>("exportCsv");
    // From a state with the imports off, "Check URL" and "Cancel" on: with
    // no flag nothing changes.
    QTest::newRow("no flag") << false << false << false << true << false;
    QTest::newRow("connected") << true << false << true << true << false;
    QTest::newRow("report ready") << false << true << true << true << true;
    QTest::newRow("both") << true << true << true << true << true;
}

void RunControlTest::refreshButtons()
{
    QFETCH(bool, api);
    QFETCH(bool, ready);
    QFETCH(bool, imports);
    QFETCH(bool, checkUrl);
    QFETCH(bool, exportCsv);
    RunFlags flags;
    flags.apiConnected = api;
    flags.reportDataReady = ready;
    const ButtonStates before{false, false, false, true, true, false};
    const ButtonStates after = RunControl::refreshedButtons(flags, before);
    QCOMPARE(after.pasteFromClipboard, imports);
    QCOMPARE(after.importTxt, imports);
    QCOMPARE(after.importXml, imports);
    QCOMPARE(after.checkUrl, checkUrl);
    QCOMPARE(after.cancel, !api && !ready);
    QCOMPARE(after.exportCsv, exportCsv);
    QVERIFY(ButtonStates{} == (ButtonStates{true, true, true, false, false, false})); // the start states
}

void RunControlTest::withoutConnectionOnlyLogs()
{
    Fixture f;
    f.run.markReportDataReady();
    f.run.refreshButtons();
    QVERIFY(f.run.buttons().checkUrl); // enabled through a finished report
    f.run.checkUrl(0);
    QCOMPARE(f.log.messages(), QStringList{"API connections not found"});
    QCOMPARE(f.events.processed, 0);
    QCOMPARE(f.progress.maximum, -1);
    QCOMPARE(f.charts.count(), 0);
}

void RunControlTest::completeRunWritesItsFrameAndRedrawsTheChart()
{
    Fixture f;
    f.run.markApiConnected();
    QCOMPARE(f.run.buttons(), (ButtonStates{true, true, true, true, false, false}));
    f.run.checkUrl(0);
    QCOMPARE(f.log.messagesInOrder(), (QStringList{"Check started", "Check finished"}));
    QCOMPARE(f.progress.maximum, 4);
    QCOMPARE(f.progress.position, 4); // not reset at the end
    QCOMPARE(f.charts.count(), 1);
    QCOMPARE(f.charts[0][0].toInt(), 0);
    QVERIFY(f.run.flags().reportDataReady);
    QVERIFY(!f.run.isRunning());
    QCOMPARE(f.run.buttons(), (ButtonStates{true, true, true, true, false, true}));
}

void RunControlTest::duringARunTheTableIsLockedAndCheckUrlIsOff()
{
    Fixture f;
    f.run.markApiConnected();
    int walked = 0;
    f.events.onProcess = [&](int step) {
        if (step != 1)
            return;
        QVERIFY(f.tables[1].running);
        QVERIFY(!f.tables[0].running);
        const ButtonStates s = f.run.buttonsFor(1);
        QVERIFY(!s.checkUrl);
        QVERIFY(s.cancel);
        QVERIFY(!s.pasteFromClipboard && !s.importTxt && !s.importXml);
        // Another tab's imports stay available.
        QVERIFY(f.run.buttonsFor(0).importTxt);
        // A second "Check URL" (Enter, the default button) does nothing.
        f.run.checkUrl(0);
        f.run.runCheck(2, 0);
        ++walked;
    };
    f.run.checkUrl(1);
    QCOMPARE(walked, 1);
    QCOMPARE(f.log.messagesInOrder(), (QStringList{"Check started", "Check finished"}));
    QVERIFY(!f.tables[1].running);
    QVERIFY(f.run.buttonsFor(1).importTxt);
}

void RunControlTest::cancelledRunStopsAfterTheCurrentRow()
{
    Fixture f;
    f.run.markApiConnected();
    f.events.onProcess = [&](int step) {
        if (step == 2)
            f.run.cancelClicked();
    };
    f.run.checkUrl(4);
    QCOMPARE(f.log.messagesInOrder(),
             (QStringList{"Check started", "Cancel check...", "Check cancelled...", "Check finished"}));
    QCOMPARE(f.events.processed, 2);
    QCOMPARE(f.charts.count(), 1); // the partly filled table is drawn
    QVERIFY(!f.run.flags().reportDataReady);
    QVERIFY(!f.run.flags().cancelRequested);
    QVERIFY(!f.run.buttons().exportCsv);
    QVERIFY(!f.run.buttons().cancel);

    // Only a complete earlier run enables the export.
    f.events.onProcess = nullptr;
    f.run.checkUrl(4);
    f.events.onProcess = [&](int) { f.run.cancelClicked(); };
    f.run.checkUrl(4);
    QVERIFY(f.run.buttons().exportCsv);
}

void RunControlTest::searchConsoleAsksWhichCheck()
{
    Fixture f;
    f.run.markApiConnected();
    QStringList offered;
    int askedTab = -1;
    int maximumWhenAsked = -1;
    int answer = -1;
    f.run.setCheckChooser([&](int tab, const QStringList &names) {
        offered = names;
        askedTab = tab;
        maximumWhenAsked = f.progress.maximum;
        return answer;
    });

    f.run.checkUrl(2); // dismissed
    QCOMPARE(offered, (QStringList{"Check GSC", "URL Inspection API"}));
    QCOMPARE(askedTab, 2);
    QCOMPARE(maximumWhenAsked, 5); // the bar is set up before the question
    QVERIFY(f.log.messages().isEmpty());
    QVERIFY(!f.run.buttons().cancel);
    QCOMPARE(f.charts.count(), 0);

    answer = 0;
    f.run.checkUrl(2);
    QVERIFY(f.run.lastChartRule(2) == ChartRule::matching(1, "Yes"));
    answer = 1;
    f.run.checkUrl(2);
    QVERIFY(f.run.lastChartRule(2) == ChartRule::matching(8, "INDEXING_ALLOWED"));
    QCOMPARE(f.log.messagesInOrder(),
             (QStringList{"Check started", "Check finished", "Check started", "Check finished"}));
    QCOMPARE(f.charts.count(), 2);
    QCOMPARE(f.charts[1][0].toInt(), 2);
}

void RunControlTest::errorInACheckIsShownAndTheNextRunStarts()
{
    Fixture f;
    f.run.markApiConnected();
    bool fail = true;
    f.run.registerCheck(3, QStringLiteral("second check on a tab that has one"), [](CheckContext &) {});
    f.run.setCheckChooser([](int, const QStringList &) { return 0; });
    f.events.onProcess = [&](int) {
        if (fail)
            throw valueNotFound(QStringLiteral("samples"));
    };
    // A tab with two checks: the chooser picks the first.
    f.tables[3].rows = 3;
    f.run.checkUrl(3);
    QCOMPARE(f.prompt.texts, QStringList{"Value 'samples' not found"});
    QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Error});
    QCOMPARE(f.log.messagesInOrder(), QStringList{"Check started"});
    QCOMPARE(f.charts.count(), 0);
    QVERIFY(!f.run.flags().reportDataReady);
    // The run is over: the table is released and "Check URL" is back.
    QVERIFY(!f.tables[3].running);
    QVERIFY(!f.run.isRunning());
    QVERIFY(f.run.buttons().checkUrl);
    QVERIFY(!f.run.buttons().cancel);

    fail = false;
    f.run.checkUrl(3);
    QCOMPARE(f.log.messages().first(), QStringLiteral("Check finished"));
    QVERIFY(f.run.flags().reportDataReady);
}

// A quota spent at the third row: one message names it, the rows done and
// left and when it returns; the rows not reached stay so for a continue.
void RunControlTest::spentQuotaStopsTheRunWithOneMessage()
{
    Fixture f;
    const QuotaSpent spent(QStringLiteral("\"Queries per day\" of searchconsole.googleapis.com"),
                           QDateTime(QDate(2026, 3, 6), QTime(8, 0), Qt::UTC), QStringLiteral("midnight Pacific time"));
    f.run.clearChecks(0);
    f.run.registerCheck(0, QStringLiteral("named"), [&](CheckContext &ctx) {
        std::vector<int> all{0, 1, 2, 3, 4};
        const std::vector<int> rows = ctx.rowsToCheck(all, [](int row) { return QStringLiteral("u%1").arg(row); });
        ctx.forEachRow(int(rows.size()), [&](int index) {
            if (index == 2)
                throw spent;
            return CheckContext::RowStep::Next;
        });
    });
    f.run.markApiConnected();
    f.run.checkUrl(0);
    QCOMPARE(f.prompt.texts.size(), 1);
    const QString message = f.prompt.texts.first();
    QCOMPARE(message, spent.runMessage(2, 3));
    QVERIFY2(message.startsWith(QStringLiteral("The quota \"Queries per day\" of searchconsole.googleapis.com is "
                                               "spent: 2 rows were checked, 3 remain. It returns at midnight Pacific "
                                               "time (")),
             qPrintable(message));
    QCOMPARE(f.log.messagesInOrder().last(), message);
    QCOMPARE(f.run.rowStates(0).rowsLeft(), 3);
    QCOMPARE(f.run.rowStates(0).state(QStringLiteral("u2")), RowRunStates::State::NotReached);
    QVERIFY(!f.run.isRunning());
}

QTEST_GUILESS_MAIN(RunControlTest)
#include "tst_runcontrol.moc"
