#include "reports/ReportSorter.h"
#include "reports/ReportTable.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QtTest>

using namespace veltrano;

class ReportTableTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutOfEachTable_data();
    void layoutOfEachTable();
    void newRowsHoldAllTheirCells();
    void urlIndexStaysRightAcrossDeletesAndSorts();
    void stagedRowsCountAsDuplicatesBeforeTheyShow();
    void cellsAreWrittenButTheUrlNeverChanges();
    void lockedTableRefusesEverythingButCells();
    void selectionFollowsItsRowWhenSorted();
    void percentBarFraction_data();
    void percentBarFraction();
    void modelStaysConsistentUnderEdits();
    void matchesAPlainListUnderMixedEdits();
};

void ReportTableTest::layoutOfEachTable_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QString>("aligns");

    QTest::newRow("Yandex Webmaster") << 0 << "ListView4" << 1 << "Yandex Webmaster"
                                      << QStringList{"URL", "Indexed", "Title"} << QList<int>{400, 60, 350} << "LCL";
    QTest::newRow("Yandex Metrika") << 1 << "ListView5" << 2 << "Yandex Metrika"
                                    << QStringList{"URL", "Visits", "Users", "Bounce Rate", "Deep View", "Time on Page"}
                                    << QList<int>{400, 50, 50, 75, 70, 80} << "LRRRRC";
    QTest::newRow("Search Console")
        << 2 << "ListView6" << 3 << "Google Search Console"
        << QStringList{"URL",          "Indexed",        "Clicks",           "Impressions",    "CTR",
                       "Avg Position", "Coverage State", "Robots.txt State", "Indexing State", "Last Crawl"}
        << QList<int>{200, 60, 50, 80, 50, 80, 90, 100, 90, 70} << "LCRRRRLLLC";
    QTest::newRow("Analytics") << 3 << "ListView7" << 4 << "Google Analytics"
                               << QStringList{"URL",
                                              "GA: Users",
                                              "GA: Page Views",
                                              "GA: Sessions",
                                              "GA: Avg Session Duration",
                                              "GA: Page Views Per Session",
                                              "GA: Bounce Rate"}
                               << QList<int>{400, 60, 90, 80, 140, 150, 100} << "LRRRCRR";
    QTest::newRow("Ahrefs") << 4 << "ListView11" << 5 << "Ahrefs"
                            << QStringList{"URL",       "Indexed",        "Ahrefs Rank (AR)",
                                           "HTTP Code", "Links Internal", "Links External",
                                           "Title"}
                            << QList<int>{300, 60, 100, 70, 80, 80, 250} << "LCRCRRL";
}

void ReportTableTest::layoutOfEachTable()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(int, tag);
    QFETCH(QString, label);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, widths);
    QFETCH(QString, aligns);

    ReportTable table{ServiceId(kind)};
    QCOMPARE(table.name(), name);
    QCOMPARE(table.tag(), tag);
    QCOMPARE(table.serviceLabel(), label);
    QCOMPARE(table.layout().multiSelect(), kind == 2);
    QCOMPARE(table.columnCount(), captions.size());
    for (int c = 0; c < captions.size(); ++c) {
        QCOMPARE(table.headerData(c, Qt::Horizontal).toString(), captions[c]);
        QCOMPARE(table.headerData(c, Qt::Horizontal, ReportTable::ColumnWidthRole).toInt(), widths[c]);
        const auto align = Qt::Alignment(table.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
        const QChar expected = aligns[c];
        const Qt::Alignment horizontal = expected == u'L'   ? Qt::AlignLeft
                                         : expected == u'R' ? Qt::AlignRight
                                                            : Qt::AlignHCenter;
        QCOMPARE(align & Qt::AlignHorizontal_Mask, horizontal);
    }
    // Cells carry their column's alignment too.
    table.appendRows({QStringLiteral("https://example.com/")});
    const auto lastAlign =
        Qt::Alignment(table.data(table.index(0, captions.size() - 1), Qt::TextAlignmentRole).toInt());
    QCOMPARE(lastAlign,
             Qt::Alignment(table.headerData(captions.size() - 1, Qt::Horizontal, Qt::TextAlignmentRole).toInt()));

    QCOMPARE(table.tabCaption(), label + " (1)");
    table.deleteRow(0);
    QCOMPARE(table.tabCaption(), label);
}

void ReportTableTest::newRowsHoldAllTheirCells()
{
    ReportTable table(ServiceId::SearchConsole);
    QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
    QCOMPARE(table.appendRows({"https://a/", "https://b/", "https://a/"}), 2);
    QCOMPARE(inserted.count(), 1); // one insertion per batch
    QCOMPARE(table.rowCount(), 2);
    const QStringList row = table.rowTexts(1);
    QCOMPARE(row.size(), 10);
    QCOMPARE(row[0], QStringLiteral("https://b/"));
    for (int c = 1; c < 10; ++c)
        QVERIFY(row[c].isEmpty());
}

void ReportTableTest::urlIndexStaysRightAcrossDeletesAndSorts()
{
    ReportTable table(ServiceId::YandexMetrika);
    table.appendRows({"https://e/a", "https://e/b", "https://e/c", "https://e/d", "https://e/e"});
    table.setCell(0, 1, "5");
    table.setCell(2, 1, "1");
    table.setCell(3, 1, "9");
    table.setCell(4, 1, "3");

    auto verifyIndex = [&] {
        for (int r = 0; r < table.rowCount(); ++r)
            QCOMPARE(table.findUrlRow(table.url(r)), r);
    };

    QVERIFY(table.deleteRow(1));
    QVERIFY(!table.containsUrl("https://e/b"));
    QCOMPARE(table.findUrlRow("https://e/b"), -1);
    verifyIndex();

    table.sort(1, Qt::DescendingOrder);
    QCOMPARE(table.url(0), QStringLiteral("https://e/d"));
    QCOMPARE(table.cell(0, 1), QStringLiteral("9"));
    verifyIndex();

    QVERIFY(table.deleteRow(0));
    verifyIndex();
    // A deleted URL can come back; case matters for uniqueness.
    QCOMPARE(table.appendRows({"https://e/b", "https://E/a", "https://e/a"}), 2);
    verifyIndex();
    QCOMPARE(table.rowCount(), 5);
}

void ReportTableTest::stagedRowsCountAsDuplicatesBeforeTheyShow()
{
    ReportTable table(ServiceId::Ahrefs);
    table.appendRows({"https://x/1"});
    QVERIFY(table.stageRow("https://x/2"));
    QVERIFY(!table.stageRow("https://x/2"));
    QVERIFY(!table.stageRow("https://x/1"));
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(table.rowCountWithStaged(), 2);
    QCOMPARE(table.findUrlRow("https://x/2"), 1);
    table.commitStagedRows();
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.rowTexts(1).size(), 7);
}

void ReportTableTest::cellsAreWrittenButTheUrlNeverChanges()
{
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows({"https://u/"});
    QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
    table.setCell(0, 0, "https://other/");
    table.setCell(0, 3, "out of range");
    table.setCell(1, 1, "no such row");
    QCOMPARE(changed.count(), 0);
    QCOMPARE(table.url(0), QStringLiteral("https://u/"));

    table.setRowCells(0, {"Yes", "Title"});
    QCOMPARE(changed.count(), 1);
    QCOMPARE(table.rowTexts(0), (QStringList{"https://u/", "Yes", "Title"}));
    table.setCell(0, 2, "Other");
    QCOMPARE(table.data(table.index(0, 2)).toString(), QStringLiteral("Other"));
    QCOMPARE(table.findUrlRow("https://u/"), 0);
}

void ReportTableTest::lockedTableRefusesEverythingButCells()
{
    ReportTable table(ServiceId::YandexMetrika);
    table.appendRows({"https://b/", "https://a/"});
    QSignalSpy lockSpy(&table, &ReportTable::lockedChanged);
    table.setCheckRunning(true);
    QVERIFY(table.isLocked());
    QCOMPARE(lockSpy.count(), 1);

    QVERIFY(!table.clear());
    QVERIFY(!table.deleteRow(0));
    QVERIFY(!table.stageRow("https://c/"));
    table.sort(0, Qt::AscendingOrder);
    QCOMPARE(table.url(0), QStringLiteral("https://b/"));
    table.setCell(0, 1, "7");
    QCOMPARE(table.cell(0, 1), QStringLiteral("7"));
    QCOMPARE(table.checkRowCount(), 2);

    table.setCheckRunning(false);
    QVERIFY(table.deleteRow(0));
    QCOMPARE(table.rowCount(), 1);
}

void ReportTableTest::selectionFollowsItsRowWhenSorted()
{
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows({"https://c/", "https://a/", "https://b/"});
    QPersistentModelIndex selected(table.index(0, 2));
    table.sort(0, Qt::AscendingOrder);
    QCOMPARE(selected.row(), 2);
    QCOMPARE(selected.column(), 2);
    QCOMPARE(table.url(selected.row()), QStringLiteral("https://c/"));
}

void ReportTableTest::percentBarFraction_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<double>("fraction");
    QTest::newRow("dot") << "en_US"
                         << "42.5" << 0.425;
    QTest::newRow("locale comma") << "ru_RU"
                                  << "42,5" << 0.425;
    QTest::newRow("dot in a comma locale") << "ru_RU"
                                           << "42.5" << 0.425;
    // No fraction at all: an unanswered row or a text is no rate of 0 %.
    QTest::newRow("empty") << "en_US"
                           << "" << -1.0;
    QTest::newRow("not a number") << "en_US"
                                  << "n/a" << -1.0;
    QTest::newRow("above 100 is kept") << "en_US"
                                       << "150" << 1.5;
}

void ReportTableTest::percentBarFraction()
{
    QFETCH(QString, locale);
    QFETCH(QString, cell);
    QFETCH(double, fraction);
    QLocale::setDefault(QLocale(locale));
    ReportTable table(ServiceId::Analytics);
    table.appendRows({"https://p/"});
    table.setCell(0, 6, cell);
    QCOMPARE(table.data(table.index(0, 6), ReportTable::CellDrawingRole).toInt(), int(CellDrawing::PercentBar));
    const QVariant shown = table.data(table.index(0, 6), ReportTable::PercentFractionRole);
    if (fraction < 0)
        QVERIFY(!shown.isValid());
    else
        QCOMPARE(shown.toDouble(), fraction);
    QVERIFY(!table.data(table.index(0, 5), ReportTable::PercentFractionRole).isValid());
    QLocale::setDefault(QLocale::c());
}

void ReportTableTest::modelStaysConsistentUnderEdits()
{
    ReportTable table(ServiceId::SearchConsole);
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.appendRows({"https://3/", "https://1/", "https://2/"});
    table.setCell(1, 2, "4");
    table.sort(2, Qt::DescendingOrder);
    table.deleteRow(1);
    table.appendRows({"https://4/"});
    table.clear();
    QCOMPARE(table.rowCount(), 0);
}

// Rows are kept in slots with a separate display order; a plain list of
// rows, edited the same way, must always read the same.
void ReportTableTest::matchesAPlainListUnderMixedEdits()
{
    // Cells repeat a few texts, so they share them; rows come and go, and
    // deleted URLs come back, so the URL index is tested across its growth
    // and its removals.
    ReportTable table(ServiceId::YandexMetrika);
    QList<QStringList> expected;
    QStringList deleted;
    QRandomGenerator random(20240501);
    int nextUrl = 0;
    for (int step = 0; step < 1500; ++step) {
        const int rows = int(expected.size());
        switch (random.bounded(6)) {
        case 0: { // a batch of new URLs, with a repeat among them
            QStringList urls;
            for (int i = random.bounded(1, 6); i > 0; --i)
                urls << QStringLiteral("https://e/%1").arg(nextUrl++);
            if (!deleted.isEmpty())
                urls << deleted.takeAt(random.bounded(int(deleted.size())));
            urls << urls.first();
            QCOMPARE(table.appendRows(urls), int(urls.size()) - 1);
            for (int i = 0; i < urls.size() - 1; ++i)
                expected << QStringList{urls[i], "", "", "", "", ""};
            break;
        }
        case 1:
            if (rows > 0) {
                const int row = random.bounded(rows);
                QVERIFY(table.deleteRow(row));
                deleted << expected.takeAt(row).first();
            }
            break;
        case 2:
            if (rows > 0) {
                const int row = random.bounded(rows);
                const int column = random.bounded(1, 6);
                const int n = random.bounded(11);
                const QString text = n == 10 ? QString() : QString::number(n);
                table.setCell(row, column, text);
                expected[row][column] = text;
            }
            break;
        case 3: {
            const std::vector<int> order = ReportSorter::sortedOrder(table, random.bounded(6), random.bounded(2) == 0);
            table.applyOrder(order);
            QList<QStringList> reordered;
            for (int from : order)
                reordered << expected[from];
            expected = reordered;
            break;
        }
        case 4:
            if (rows > 0) {
                const int row = random.bounded(rows);
                table.clearRowCells(row);
                for (int c = 1; c < 6; ++c)
                    expected[row][c].clear();
            }
            break;
        case 5:
            if (rows > 0) { // a cell copied from another cell, or from itself
                const int from = random.bounded(rows);
                const int to = random.bounded(rows);
                const int column = random.bounded(1, 6);
                table.setCell(to, column, table.cell(from, column));
                expected[to][column] = expected[from][column];
            }
            break;
        }
        QCOMPARE(table.rowCount(), int(expected.size()));
        for (int r = 0; r < int(expected.size()); ++r) {
            QCOMPARE(table.rowTexts(r), expected[r]);
            QCOMPARE(table.findUrlRow(expected[r][0]), r);
        }
        for (const QString &url : std::as_const(deleted))
            QCOMPARE(table.findUrlRow(url), -1);
    }
}

QTEST_GUILESS_MAIN(ReportTableTest)
#include "tst_reporttable.moc"
