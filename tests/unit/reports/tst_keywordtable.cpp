// The rows of the keyword windows: what the list shows of them and the
// keyword CSV file they make.

#include "reports/CsvWriter.h"
#include "reports/KeywordTable.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QSignalSpy>
#include <QtTest>

using namespace veltrano;

namespace {

constexpr auto Right = Qt::AlignRight | Qt::AlignVCenter;
constexpr auto Left = Qt::AlignLeft | Qt::AlignVCenter;

// The figures of the search-phrase list: the phrase on the left, numbers
// on the right except the visits.
std::vector<KeywordColumn> phraseColumns()
{
    return {KeywordColumn::left("Query"),       KeywordColumn::left("Visits"),
            KeywordColumn::right("Users"),      KeywordColumn::right("Bounce Rate"),
            KeywordColumn::right("Page Depth"), KeywordColumn::right("Avg Visit Duration Seconds")};
}

QByteArray csvOf(const KeywordTable &table)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CsvWriter csv(buffer);
    table.writeCsv(csv);
    return buffer.data();
}

} // namespace

class KeywordTableTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void csvFile_data();
    void csvFile();
    void rowsKeepTheirCellsUpToTheLastColumn();
    void cellsAndCaptionsLineUpByColumn();
    void newRowsReachViewsInOneReset();
};

void KeywordTableTest::csvFile_data()
{
    QTest::addColumn<std::vector<QStringList>>("rows");
    QTest::addColumn<QByteArray>("file");

    const QByteArray header = "\xEF\xBB\xBF"
                              "Query;Visits;Users;Bounce Rate;Page Depth;Avg Visit Duration Seconds;\r\n";
    QTest::newRow("an empty list writes the header alone") << std::vector<QStringList>{} << header;
    QTest::newRow("two rows, three lines")
        << std::vector<QStringList>{{"купить диван", "120", "98", "33.33", "1.50", "91"},
                                    {"sofa", "7", "7", "0.00", "1.00", "15"}}
        << header + "купить диван;120;98;33.33;1.50;91\r\n"
                    "sofa;7;7;0.00;1.00;15\r\n";
    QTest::newRow("a phrase with a separator or a quote stays one field")
        << std::vector<QStringList>{{"sofa; \"best\" price", "3", "3", "0.00", "1.00", "4"}}
        << header + "\"sofa; \"\"best\"\" price\";3;3;0.00;1.00;4\r\n";
    QTest::newRow("a row with three figures writes three")
        << std::vector<QStringList>{{"кресло", "5", "4", "25.00"}} << header + "кресло;5;4;25.00\r\n";
}

void KeywordTableTest::csvFile()
{
    QFETCH(std::vector<QStringList>, rows);
    QFETCH(QByteArray, file);
    KeywordTable table(phraseColumns());
    table.setRows(rows);
    QCOMPARE(csvOf(table), file);
}

void KeywordTableTest::rowsKeepTheirCellsUpToTheLastColumn()
{
    KeywordTable table(phraseColumns());
    table.setRows({{"a", "1", "2", "3", "4", "5", "beyond the last column"}, {"b", "1"}});

    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.rowTexts(0), (QStringList{"a", "1", "2", "3", "4", "5"}));
    QCOMPARE(table.rowTexts(1), (QStringList{"b", "1"}));
    QCOMPARE(table.index(1, 3).data().toString(), QString()); // shown empty
    QCOMPARE(table.rowTexts(2), QStringList());
    QCOMPARE(table.rowTexts(-1), QStringList());
}

void KeywordTableTest::cellsAndCaptionsLineUpByColumn()
{
    KeywordTable table(phraseColumns());
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.setRows({{"диван", "10", "8", "12.50", "1.20", "30"}});

    QCOMPARE(table.captions(),
             (QStringList{"Query", "Visits", "Users", "Bounce Rate", "Page Depth", "Avg Visit Duration Seconds"}));
    const QList<Qt::Alignment> alignments{Left, Left, Right, Right, Right, Right};
    for (int c = 0; c < table.columnCount(); ++c) {
        QCOMPARE(table.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(alignments[c]));
        QCOMPARE(table.index(0, c).data(Qt::TextAlignmentRole).toInt(), int(alignments[c]));
        QCOMPARE(table.headerData(c, Qt::Horizontal).toString(), table.captions()[c]);
    }
    QCOMPARE(table.index(0, 0).data().toString(), QStringLiteral("диван"));
    QVERIFY(!(table.flags(table.index(0, 0)) & Qt::ItemIsEditable));
}

void KeywordTableTest::newRowsReachViewsInOneReset()
{
    KeywordTable table(phraseColumns());
    QSignalSpy resets(&table, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&table, &QAbstractItemModel::rowsInserted);
    std::vector<QStringList> rows(25000, QStringList{"q", "1", "1", "0.00", "1.00", "1"});

    table.setRows(rows);
    table.setRows({});

    QCOMPARE(resets.size(), 2);
    QCOMPARE(inserts.size(), 0);
    QCOMPARE(table.rowCount(), 0);
}

QTEST_GUILESS_MAIN(KeywordTableTest)
#include "tst_keywordtable.moc"
