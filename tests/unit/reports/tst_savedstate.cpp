// The reports kept across a restart: the state file's round trip, its
// refusal of anything it cannot read whole, and the keeper that saves the
// tables while they change (during a check too) and restores them at start.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "reports/ReportTable.h"
#include "reports/SavedState.h"
#include "reports/SavedStateFile.h"
#include "reports/StateKeeper.h"
#include "services/ServiceTable.h"
#include "support/ServiceTestFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <numeric>
#include <random>

using namespace veltrano;
using namespace veltrano::testing;
using State = RowRunStates::State;

namespace {

// The window's events as the event loop hands them out: the keeper's timers
// fire between the rows of a check.
struct LoopEvents final : EventPump {
    std::function<void(int call)> onCall;
    int calls = 0;
    void processPendingEvents() override
    {
        ++calls;
        if (onCall)
            onCall(calls);
        QCoreApplication::processEvents();
    }
    void keepPainting() override { QCoreApplication::processEvents(); }
};

// The five report tables of the window, with their run frame.
struct Reports : RunTestFixture<LoopEvents> {
    std::vector<std::unique_ptr<ReportTable>> owned;
    std::vector<ReportTable *> tables;
    Reports()
    {
        for (int tab = 0; tab < ServiceTable::count(); ++tab) {
            owned.push_back(std::make_unique<ReportTable>(ReportLayout::ofTab(tab)->service()));
            tables.push_back(owned.back().get());
            run.setTable(tab, tables.back());
        }
    }
    ReportTable &table(ServiceId service) { return *tables[size_t(ServiceTable::of(service).tab())]; }
    RowRunStates &states(ServiceId service) { return run.rowStates(ServiceTable::of(service).tab()); }
};

// Rows with figures, titles in Cyrillic, an empty cell, and the states a
// run that ended on a spent quota leaves.
void fill(Reports &r)
{
    ReportTable &ywm = r.table(ServiceId::YandexWebmaster);
    ywm.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://пример.рф/каталог/"),
                    QStringLiteral("https://example.com/sale/"), QStringLiteral("https://example.com/new/")});
    ywm.setRowCells(0, {QStringLiteral("Yes"), QStringLiteral("Example – home")});
    ywm.setRowCells(1, {QStringLiteral("Yes"), QStringLiteral("Мебель «Уют»")});
    ywm.setRowCells(2, {QStringLiteral("No"), QString()});
    r.states(ServiceId::YandexWebmaster)
        .restore(QStringLiteral("Get URLs YWM"), QStringLiteral("Checks site https://example.com/ with account token_1"),
                 {{ywm.url(0), State::Answered},
                  {ywm.url(1), State::Answered},
                  {ywm.url(2), State::Failed},
                  {ywm.url(3), State::NotReached}});

    ReportTable &ym = r.table(ServiceId::YandexMetrika);
    ym.appendRows({QStringLiteral("https://example.com/a"), QStringLiteral("https://example.com/b")});
    ym.setRowCells(1, {QStringLiteral("12"), QStringLiteral("10"), QStringLiteral("8.3"), QStringLiteral("1.5"),
                       QStringLiteral("00:01:10")});
    // A table whose rows were pasted and never checked has no states.
}

void compareTables(const ReportTable &a, const ReportTable &b)
{
    QCOMPARE(b.rowCount(), a.rowCount());
    for (int row = 0; row < a.rowCount(); ++row)
        QCOMPARE(b.rowTexts(row), a.rowTexts(row));
}

QByteArray bytesOf(const SavedState &state)
{
    return SavedStateFile::encode(state);
}

QByteArray withBody(const QByteArray &body)
{
    return SavedStateFile::headerFor(body) + body;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList damagedCopies(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("Veltrano.state.damaged-*")}, QDir::Files);
}

// A saved state of one Yandex Webmaster report of two rows, as a test
// shapes it to be wrong in one way.
SavedState oneReport()
{
    SavedReport report;
    report.name = ReportLayout::of(ServiceId::YandexWebmaster).name();
    report.columns = ReportLayout::of(ServiceId::YandexWebmaster).columnCount();
    report.urls = {QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/b")};
    report.texts = {QString(), QStringLiteral("Yes"), QStringLiteral("Title")};
    report.cells = {1, 2, 1, 0};
    SavedState state;
    state.reports.push_back(report);
    return state;
}

} // namespace

class SavedStateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripKeepsListsTablesStatesAndTargets();
    void truncatedAtAnyByteIsRefusedWhole();
    void refusedWhole_data();
    void refusedWhole();
    void randomBytesAreRefused();
    void damagedFileIsSetAsideAndStartIsEmpty();
    void oversizedFileIsRefusedBeforeReading();
    void clearedListSavesTheEmptiedState();
    void fileWrittenDuringACheckHoldsTheRowsAnsweredSoFar();
    void refusedWriteIsLoggedOnceAndTriedAgain();
};

void SavedStateTest::roundTripKeepsListsTablesStatesAndTargets()
{
    QTemporaryDir dir;
    const QString path = SavedStateFile::pathIn(dir.path() + QLatin1Char('/'));
    Reports before;
    fill(before);
    {
        StateKeeper keeper(path, before.tables, before.run, before.log);
        keeper.start();
        before.table(ServiceId::YandexWebmaster).setCell(3, 2, QStringLiteral("changed"));
        keeper.saveNow();
    }

    Reports after;
    StateKeeper keeper(path, after.tables, after.run, after.log);
    QVERIFY(keeper.restore());
    QVERIFY(after.log.messagesInOrder().isEmpty());
    for (int tab = 0; tab < ServiceTable::count(); ++tab) {
        compareTables(*before.tables[size_t(tab)], *after.tables[size_t(tab)]);
        const RowRunStates &was = before.run.rowStates(tab);
        const RowRunStates &is = after.run.rowStates(tab);
        QCOMPARE(is.check(), was.check());
        QCOMPARE(is.target(), was.target());
        QCOMPARE(is.rowsLeft(), was.rowsLeft());
        QCOMPARE(is.all(), was.all());
    }
    QCOMPARE(after.states(ServiceId::YandexWebmaster).rowsLeft(), 2);
    QCOMPARE(after.table(ServiceId::YandexWebmaster).cell(1, 2), QStringLiteral("Мебель «Уют»"));
    QCOMPARE(after.table(ServiceId::YandexWebmaster).cell(3, 2), QStringLiteral("changed"));
}

void SavedStateTest::truncatedAtAnyByteIsRefusedWhole()
{
    Reports r;
    fill(r);
    const QByteArray whole = bytesOf(SavedState::capture(r.tables, r.run));
    QVERIFY(SavedStateFile::decode(whole).has_value());
    for (qsizetype size = 0; size < whole.size(); ++size) {
        QString why;
        const auto read = SavedStateFile::decode(QByteArrayView(whole).first(size), &why);
        QVERIFY2(!read, qPrintable(QStringLiteral("read when cut at %1").arg(size)));
        QVERIFY(!why.isEmpty());
    }
}

void SavedStateTest::refusedWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    const QByteArray valid = bytesOf(oneReport());
    QByteArray newer = valid;
    newer[8] = 2;
    QTest::newRow("newer version") << newer << QStringLiteral("newer Veltrano");
    QByteArray foreign = valid;
    foreign.replace(0, 8, "SQLite f");
    QTest::newRow("foreign file") << foreign << QStringLiteral("not a Veltrano state file");
    QByteArray flipped = valid;
    flipped[flipped.size() - 3] = char(flipped[flipped.size() - 3] ^ 0x10);
    QTest::newRow("a flipped bit") << flipped << QStringLiteral("checksum");
    QTest::newRow("bytes after the end") << valid + "x" << QStringLiteral("after its end");

    SavedState extraColumn = oneReport();
    extraColumn.reports[0].columns += 1;
    extraColumn.reports[0].cells = {1, 2, 0, 1, 2, 0};
    QTest::newRow("a column more than the table") << bytesOf(extraColumn) << QStringLiteral("has 4 columns");
    SavedState missingColumn = oneReport();
    missingColumn.reports[0].columns -= 1;
    missingColumn.reports[0].cells = {1, 1};
    QTest::newRow("a column less than the table") << bytesOf(missingColumn) << QStringLiteral("has 2 columns");

    SavedState twice = oneReport();
    twice.reports[0].urls[1] = twice.reports[0].urls[0];
    QTest::newRow("a URL twice") << bytesOf(twice) << QStringLiteral("URL twice");
    SavedState emptyUrl = oneReport();
    emptyUrl.reports[0].urls[1].clear();
    QTest::newRow("an empty URL") << bytesOf(emptyUrl) << QStringLiteral("damaged");
    SavedState unknown = oneReport();
    unknown.reports[0].name = QStringLiteral("ListView99");
    QTest::newRow("a report of another program") << bytesOf(unknown) << QStringLiteral("ListView99");
    SavedState sameTwice = oneReport();
    sameTwice.reports.push_back(sameTwice.reports[0]);
    QTest::newRow("a report twice") << bytesOf(sameTwice) << QStringLiteral("twice");
    SavedState badText = oneReport();
    badText.reports[0].cells[3] = 3;
    QTest::newRow("a cell's text beyond the texts") << bytesOf(badText) << QStringLiteral("damaged");

    // Bodies no encoder writes, with a correct checksum over them.
    QByteArray tooManyRows;
    {
        QByteArray body = bytesOf(oneReport()).mid(SavedStateFile::HeaderSize);
        // report count, name (4 + 9 bytes), columns, then the row count
        const int rowsAt = 4 + 4 + int(ReportLayout::of(ServiceId::YandexWebmaster).name().size()) + 4;
        const quint32 rows = qToLittleEndian<quint32>(ReportTable::RowLimit + 1);
        body.replace(rowsAt, 4, reinterpret_cast<const char *>(&rows), 4);
        tooManyRows = withBody(body);
    }
    QTest::newRow("more rows than a table holds") << tooManyRows << QStringLiteral("more than 50000 rows");
    QByteArray badState = bytesOf(oneReport()).mid(SavedStateFile::HeaderSize);
    // The first row's state follows its URL "https://example.com/".
    badState[badState.indexOf("https://example.com/") + 20] = 9;
    QTest::newRow("an unknown row state") << withBody(badState) << QStringLiteral("damaged");
    const quint32 manyReports = 6;
    QTest::newRow("more reports than tables")
        << withBody(QByteArray(reinterpret_cast<const char *>(&manyReports), 4)) << QStringLiteral("more reports");
    QTest::newRow("empty body") << withBody({}) << QStringLiteral("damaged");
}

void SavedStateTest::refusedWhole()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QString why;
    QVERIFY(!SavedStateFile::decode(bytes, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
}

void SavedStateTest::randomBytesAreRefused()
{
    std::mt19937 random(22);
    Reports r;
    fill(r);
    const QByteArray valid = bytesOf(SavedState::capture(r.tables, r.run));
    for (int round = 0; round < 200; ++round) {
        QByteArray noise(qsizetype(random() % 2000), Qt::Uninitialized);
        for (char &c : noise)
            c = char(random());
        QVERIFY(!SavedStateFile::decode(noise));
        // A valid file with a few bytes changed and its checksum made right.
        QByteArray body = valid.mid(SavedStateFile::HeaderSize);
        for (int i = 0; i < 3; ++i)
            body[qsizetype(random() % quint32(body.size()))] = char(random());
        if (const auto read = SavedStateFile::decode(withBody(body))) {
            // Read whole: every report fits its table.
            Reports restored;
            read->applyTo(restored.tables, restored.run);
            for (const SavedReport &report : read->reports) {
                const ReportTable *table = nullptr;
                for (ReportTable *t : restored.tables)
                    table = t->name() == report.name ? t : table;
                QVERIFY(table);
                QCOMPARE(table->rowCount(), report.rowCount());
            }
        }
    }
}

void SavedStateTest::damagedFileIsSetAsideAndStartIsEmpty()
{
    QTemporaryDir dir;
    const QString path = SavedStateFile::pathIn(dir.path() + QLatin1Char('/'));
    Reports r;
    fill(r);
    QByteArray bytes = bytesOf(SavedState::capture(r.tables, r.run));
    bytes.chop(10); // the power went while it was written by another program
    writeFile(path, bytes);

    Reports after;
    StateKeeper keeper(path, after.tables, after.run, after.log);
    QVERIFY(!keeper.restore());
    for (const ReportTable *table : after.tables)
        QCOMPARE(table->rowCount(), 0);
    QVERIFY(!QFile::exists(path));
    const QStringList aside = damagedCopies(dir.path());
    QCOMPARE(aside.size(), 1);
    QCOMPARE(QFile(dir.filePath(aside[0])).size(), bytes.size());
    const QStringList log = after.log.messagesInOrder();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].contains(QStringLiteral("were not read (the file is cut short)")) &&
                 log[0].contains(aside[0]) && log[0].contains(QStringLiteral("starts with empty reports")),
             qPrintable(log[0]));

    // The next save writes a good file in its place.
    after.table(ServiceId::Ahrefs).appendRows({QStringLiteral("https://example.com/")});
    keeper.saveNow();
    SavedState read;
    QCOMPARE(SavedStateFile::read(path, read), SavedStateFile::ReadResult::Read);
    QCOMPARE(read.reports.size(), size_t(1));
}

void SavedStateTest::oversizedFileIsRefusedBeforeReading()
{
    QTemporaryDir dir;
    const QString path = SavedStateFile::pathIn(dir.path() + QLatin1Char('/'));
    {
        // 200 MB that take no room on the disk: only the size is read.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(200) * 1024 * 1024));
    }
    Reports after;
    StateKeeper keeper(path, after.tables, after.run, after.log);
    QVERIFY(!keeper.restore());
    QCOMPARE(damagedCopies(dir.path()).size(), 1);
    QVERIFY2(after.log.messagesInOrder().value(0).contains(QStringLiteral("larger than 160 MB")),
             qPrintable(after.log.messagesInOrder().value(0)));
}

void SavedStateTest::clearedListSavesTheEmptiedState()
{
    QTemporaryDir dir;
    const QString path = SavedStateFile::pathIn(dir.path() + QLatin1Char('/'));
    Reports r;
    fill(r);
    StateKeeper keeper(path, r.tables, r.run, r.log);
    keeper.start();
    keeper.saveNow();
    SavedState read;
    QCOMPARE(SavedStateFile::read(path, read), SavedStateFile::ReadResult::Read);
    QCOMPARE(read.reports.size(), size_t(2));

    // An import that clears the list first, then Delete of the other's last
    // rows: each is on the disk without waiting for the interval.
    QSignalSpy saved(&keeper, &StateKeeper::saveFinished);
    QVERIFY(r.table(ServiceId::YandexWebmaster).clear());
    r.states(ServiceId::YandexWebmaster).clear();
    QVERIFY(saved.wait(5000));
    keeper.waitForSave();
    QCOMPARE(SavedStateFile::read(path, read), SavedStateFile::ReadResult::Read);
    QCOMPARE(read.reports.size(), size_t(1));
    QCOMPARE(read.reports[0].name, r.table(ServiceId::YandexMetrika).name());

    QVERIFY(r.table(ServiceId::YandexMetrika).deleteRow(1));
    QVERIFY(r.table(ServiceId::YandexMetrika).deleteRow(0));
    QTRY_VERIFY(!keeper.isChanged() && !keeper.isSaving());
    QCOMPARE(SavedStateFile::read(path, read), SavedStateFile::ReadResult::Read);
    QVERIFY(read.isEmpty());
}

void SavedStateTest::fileWrittenDuringACheckHoldsTheRowsAnsweredSoFar()
{
    // What a crash in the middle of a check leaves: the file written last,
    // while the check ran, with the rows answered until then and the rest
    // not reached, so that "Continue" takes exactly those.
    QTemporaryDir dir;
    const QString path = SavedStateFile::pathIn(dir.path() + QLatin1Char('/'));
    Reports r;
    ReportTable &table = r.table(ServiceId::YandexWebmaster);
    QStringList urls;
    for (int i = 0; i < 40; ++i)
        urls << QStringLiteral("https://example.com/page-%1/").arg(i);
    table.appendRows(urls);
    StateKeeper keeper(path, r.tables, r.run, r.log);
    keeper.start();
    keeper.saveNow();
    keeper.setInterval(std::chrono::milliseconds(1));

    const int tab = ServiceTable::of(ServiceId::YandexWebmaster).tab();
    QByteArray midRun;
    int savedAtRow = -1;
    r.events.onCall = [&](int call) {
        // After the 25th row, let a save in flight end, wait for the one
        // the keeper starts next and take the file as a crash would leave it.
        if (call == 25) {
            keeper.waitForSave();
            QSignalSpy saved(&keeper, &StateKeeper::saveFinished);
            QVERIFY(saved.wait(5000));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            midRun = file.readAll();
            savedAtRow = call;
        }
    };
    r.run.registerCheck(tab, QStringLiteral("Get URLs YWM"), [&](CheckContext &context) {
        std::vector<int> all(size_t(table.rowCount()));
        std::iota(all.begin(), all.end(), 0);
        const std::vector<int> rows = context.rowsToCheck(all, [&](int row) { return table.url(row); });
        context.forEachRow(int(rows.size()), [&](int i) {
            table.setRowCells(rows[size_t(i)], {QStringLiteral("Yes"), QStringLiteral("Title %1").arg(i)});
            if (i == 30)
                context.markRowFailed();
            return CheckContext::RowStep::Next;
        });
    });
    r.run.setTargetText([](int) { return QStringLiteral("Checks site https://example.com/ with account token_1"); });
    r.run.markApiConnected();
    r.run.checkUrl(tab);
    QCOMPARE(savedAtRow, 25);

    const auto read = SavedStateFile::decode(midRun);
    QVERIFY(read.has_value());
    QCOMPARE(read->reports.size(), size_t(1));
    Reports restarted;
    read->applyTo(restarted.tables, restarted.run);
    const ReportTable &kept = restarted.table(ServiceId::YandexWebmaster);
    const RowRunStates &states = restarted.states(ServiceId::YandexWebmaster);
    QCOMPARE(kept.rowCount(), 40);
    QCOMPARE(states.check(), QStringLiteral("Get URLs YWM"));
    QCOMPARE(states.target(), QStringLiteral("Checks site https://example.com/ with account token_1"));
    int answered = 0;
    for (int row = 0; row < 40; ++row) {
        const State s = states.state(kept.url(row));
        if (s == State::Answered) {
            QCOMPARE(row, answered);
            QCOMPARE(kept.cell(row, 2), QStringLiteral("Title %1").arg(row));
            ++answered;
        } else {
            QCOMPARE(s, State::NotReached);
        }
    }
    QCOMPARE(answered, 25);
    QCOMPARE(states.rowsLeft(), 40 - answered);

    // After the run the keeper saves its end at once: one failed row left.
    QTRY_VERIFY(!keeper.isChanged() && !keeper.isSaving());
    SavedState end;
    QCOMPARE(SavedStateFile::read(path, end), SavedStateFile::ReadResult::Read);
    QCOMPARE(end.reports[0].states.value(table.url(30)), State::Failed);
    QCOMPARE(end.reports[0].states.value(table.url(39)), State::Answered);
}

void SavedStateTest::refusedWriteIsLoggedOnceAndTriedAgain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing-folder/Veltrano.state"));
    Reports r;
    fill(r);
    StateKeeper keeper(path, r.tables, r.run, r.log);
    keeper.start();
    keeper.saveNow();
    r.table(ServiceId::YandexWebmaster).setCell(0, 2, QStringLiteral("again"));
    keeper.saveNow();
    QVERIFY(keeper.isChanged());
    const QStringList log = r.log.messagesInOrder();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].startsWith(QStringLiteral("Cannot create file")), qPrintable(log[0]));

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("missing-folder")));
    keeper.saveNow();
    QVERIFY(!keeper.isChanged());
    SavedState read;
    QCOMPARE(SavedStateFile::read(path, read), SavedStateFile::ReadResult::Read);
}

QTEST_GUILESS_MAIN(SavedStateTest)
#include "tst_savedstate.moc"
