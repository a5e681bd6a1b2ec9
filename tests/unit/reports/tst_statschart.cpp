#include "reports/ReportTable.h"
#include "reports/StatsChartData.h"
#include "services/search_console/SearchConsoleDescriptor.h"

#include <QtTest>

using namespace veltrano;

class StatsChartTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void slices_data();
    void slices();
    void halvesRoundToEven_data();
    void halvesRoundToEven();
    void titleByTab();
};

void StatsChartTest::slices_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("performanceRun");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("firstLabel");
    QTest::addColumn<QString>("secondLabel");

    const auto yes = [](int yesCount, int rows) {
        QStringList cells;
        for (int i = 0; i < rows; ++i)
            cells << (i < yesCount ? "Yes" : "No");
        return cells;
    };
    QTest::newRow("1 of 8 indexed") << 0 << 1 << yes(1, 8) << false << 1 << 7 << "Indexed (12%)"
                                    << "Not indexed (88%)";
    QTest::newRow("3 of 8 indexed") << 0 << 1 << yes(3, 8) << false << 3 << 5 << "Indexed (38%)"
                                    << "Not indexed (62%)";
    QTest::newRow("1 of 3 on Ahrefs") << 4 << 1 << yes(1, 3) << false << 1 << 2 << "Indexed (33%)"
                                      << "Not indexed (67%)";
    QTest::newRow("lower-case yes is not indexed")
        << 0 << 1 << QStringList{"yes", "Yes"} << false << 1 << 1 << "Indexed (50%)"
        << "Not indexed (50%)";
    QTest::newRow("empty table") << 0 << 1 << QStringList{} << false << 0 << 0 << "Indexed (0%)"
                                 << "Not indexed (0%)";
    QTest::newRow("empty traffic table") << 1 << 1 << QStringList{} << false << 0 << 0 << "Traffic pages (0%)"
                                         << "Pages without traffic (0%)";
    // A row without an answer counts on neither side, nor in the whole.
    QTest::newRow("Metrika 6, 5, empty, 0")
        << 1 << 1 << QStringList{"6", "5", "", "0"} << false << 1 << 2 << "Traffic pages (33%)"
        << "Pages without traffic (67%)";
    QTest::newRow("unanswered rows are not indexed either")
        << 0 << 1 << QStringList{"Yes", "", "No", ""} << false << 1 << 1 << "Indexed (50%)"
        << "Not indexed (50%)";
    QTest::newRow("no row answered") << 4 << 1 << QStringList{"", "", ""} << false << 0 << 0 << "Indexed (0%)"
                                     << "Not indexed (0%)";
    QTest::newRow("Analytics decimals and text")
        << 3 << 1 << QStringList{"12.5", "5.0", "-8", "n/a", "5.01"} << false << 2 << 3 << "Traffic pages (40%)"
        << "Pages without traffic (60%)";
    // Search Console: after "URL Inspection API" the "Indexing State" decides...
    QTest::newRow("inspection run counts Indexing State")
        << 2 << 8 << QStringList{"INDEXING_ALLOWED", "BLOCKED_BY_META_TAG", "indexing_allowed", "INDEXING_ALLOWED"}
        << false << 2 << 2 << "Indexed (50%)"
        << "Not indexed (50%)";
    // ...after "Check GSC" the "Indexed" cell.
    QTest::newRow("performance run counts Indexed") << 2 << 1 << yes(3, 4) << true << 3 << 1 << "Indexed (75%)"
                                                    << "Not indexed (25%)";
}

void StatsChartTest::slices()
{
    QFETCH(int, kind);
    QFETCH(int, column);
    QFETCH(QStringList, cells);
    QFETCH(bool, performanceRun);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QString, firstLabel);
    QFETCH(QString, secondLabel);

    ReportTable table{ServiceId(kind)};
    for (int r = 0; r < cells.size(); ++r) {
        table.appendRows({QStringLiteral("https://e/%1").arg(r)});
        table.setCell(r, column, cells[r]);
        // The other test column holds the opposite answer, so a wrong choice shows.
        if (kind == 2)
            table.setCell(r, column == 1 ? 8 : 1, cells[r] == "Yes" || cells[r] == "INDEXING_ALLOWED" ? "" : "Yes");
    }
    // After "Check GSC" the Search Console table is counted by that check's
    // rule; every other table, and Search Console before it, by its own.
    const StatsChartData data = kind == 2 && performanceRun
                                    ? StatsChartData::compute(table, searchConsolePerformanceChart())
                                    : StatsChartData::compute(table);
    QCOMPARE(data.values[0], first);
    QCOMPARE(data.values[1], second);
    QCOMPARE(data.labels[0], firstLabel);
    QCOMPARE(data.labels[1], secondLabel);
}

void StatsChartTest::halvesRoundToEven_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("percent");
    QTest::newRow("12.5 down") << 1 << 8 << 12;
    QTest::newRow("37.5 up") << 3 << 8 << 38;
    QTest::newRow("62.5 down") << 5 << 8 << 62;
    QTest::newRow("87.5 up") << 7 << 8 << 88;
    QTest::newRow("0.5 down") << 1 << 200 << 0;
    QTest::newRow("1.5 up") << 3 << 200 << 2;
    QTest::newRow("66.67") << 2 << 3 << 67;
    QTest::newRow("all") << 5 << 5 << 100;
    QTest::newRow("no rows") << 0 << 0 << 0;
}

void StatsChartTest::halvesRoundToEven()
{
    QFETCH(int, count);
    QFETCH(int, total);
    QFETCH(int, percent);
    QCOMPARE(StatsChartData::roundedPercent(count, total), percent);
}

void StatsChartTest::titleByTab()
{
    QCOMPARE(StatsChartData::titleFor(ServiceId::YandexWebmaster), QStringLiteral("URL Indexation Stats"));
    QCOMPARE(StatsChartData::titleFor(ServiceId::SearchConsole), QStringLiteral("URL Indexation Stats"));
    QCOMPARE(StatsChartData::titleFor(ServiceId::Ahrefs), QStringLiteral("URL Indexation Stats"));
    QCOMPARE(StatsChartData::titleFor(ServiceId::YandexMetrika), QStringLiteral("Page Visit Stats"));
    QCOMPARE(StatsChartData::titleFor(ServiceId::Analytics), QStringLiteral("Page Visit Stats"));
}

QTEST_GUILESS_MAIN(StatsChartTest)
#include "tst_statschart.moc"
