#include "ReportTestSupport.h"

#include "app/ActivityLog.h"
#include "app/VeltranoError.h"
#include "reports/CsvWriter.h"
#include "reports/ReportExporter.h"
#include "reports/ReportTable.h"
#include "reports/SortState.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace veltrano;
using namespace veltrano::test;

namespace {

void addRow(ReportTable &table, const QStringList &texts)
{
    table.appendRows({texts[0]});
    table.setRowCells(table.rowCount() - 1, texts.mid(1));
}

QByteArray exported(const ReportTable &table)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportExporter::write(table, buffer);
    return buffer.data();
}

QByteArray fixtureBytes(const QString &name)
{
    QFile file(fixture(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

} // namespace

class ReportExporterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filesMatchByteForByte_data();
    void filesMatchByteForByte();
    void quoting_data();
    void quoting();
    void proposedFileNames();
    void jsonReadsBackAsTheCells_data();
    void jsonReadsBackAsTheCells();
    void exportClickWritesTheFileAndLogs();
    void unwritableFileIsReportedAndNotLogged();
    void exportFailingMidwayKeepsTheEarlierFile();
};

void ReportExporterTest::filesMatchByteForByte_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<QString>("file");

    QTest::newRow("Yandex Webmaster, quoting and Cyrillic")
        << 0
        << QList<QStringList>{{"https://example.com/a", "Yes", "Title; with semicolon"},
                              {"https://example.com/b", "No", ""},
                              {"https://example.com/c", "Yes", "Say \"hi\"\nsecond line"},
                              {QString::fromUtf8("https://example.com/д"), "Yes", QString::fromUtf8("Заголовок")}}
        << -1 << "export_ywm.csv";
    QTest::newRow("Yandex Metrika after sorting by Visits")
        << 1
        << QList<QStringList>{{"https://example.com/x", "10", "9", "42.5", "1.50", "00:01:05"},
                              {"https://example.com/y", "2", "2", "50.0", "1.00", "00:00:10"},
                              {"https://example.com/z", "100", "80", "12.3", "2.10", "00:02:00"}}
        << 1 << "export_ym_sorted_by_visits.csv";
    QTest::newRow("Search Console, all nine cells")
        << 2
        << QList<QStringList>{{"https://example.com/p", "Yes", "12", "340", "3.53", "7", "Submitted and indexed",
                               "ALLOWED", "INDEXING_ALLOWED", "2024-03-01"},
                              {"https://example.com/q", "No"}}
        << -1 << "export_gsc.csv";
    QTest::newRow("Google Analytics") << 3
                                      << QList<QStringList>{{"https://example.com/g", "5", "7", "6", "00:00:42", "1.17",
                                                             "33.3"}}
                                      << -1 << "export_ga.csv";
    QTest::newRow("empty Ahrefs table") << 4 << QList<QStringList>{} << -1 << "export_ahrefs_empty.csv";
}

void ReportExporterTest::filesMatchByteForByte()
{
    QFETCH(int, kind);
    QFETCH(QList<QStringList>, rows);
    QFETCH(int, sortColumn);
    QFETCH(QString, file);

    ReportTable table{ServiceId(kind)};
    for (const QStringList &row : rows)
        addRow(table, row);
    if (sortColumn >= 0) {
        SortState state;
        table.sortByHeaderClick(state, sortColumn);
    }
    QCOMPARE(exported(table), fixtureBytes(file));
}

void ReportExporterTest::quoting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("semicolon") << "a;b"
                               << "\"a;b\"";
    QTest::newRow("double quote") << "a\"b"
                                  << "\"a\"\"b\"";
    QTest::newRow("CR") << "a\rb"
                        << "\"a\rb\"";
    QTest::newRow("LF") << "a\nb"
                        << "\"a\nb\"";
    QTest::newRow("comma and blank stay bare") << "a, b"
                                               << "a, b";
}

void ReportExporterTest::quoting()
{
    QFETCH(QString, field);
    QFETCH(QString, written);
    QCOMPARE(CsvWriter::quoteField(field), written);
}

void ReportExporterTest::jsonReadsBackAsTheCells_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << "Sofa";
    QTest::newRow("quote and backslash") << "A \"big\" C:\\sofa";
    QTest::newRow("control characters") << QString("tab\there\nnew line\x01");
    QTest::newRow("Cyrillic and emoji") << QString::fromUtf8("Кресло «Уют» \xF0\x9F\x9B\x8B");
    QTest::newRow("CSV separator") << "a;b";
}

// The JSON export is an array of one object a row under the CSV header's
// names, and any text of a cell reads back as it was.
void ReportExporterTest::jsonReadsBackAsTheCells()
{
    QFETCH(QString, title);
    ReportTable table(ServiceId::YandexWebmaster);
    addRow(table, {"https://example.com/", "Yes", title});
    addRow(table, {"https://example.com/b", "No", ""});
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(ReportExporter::writeJson(table, buffer));
    // One row a line, between the array's brackets.
    QCOMPARE(buffer.data().count('\n'), 4);

    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(buffer.data(), &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(rows.size(), 2);
    const QStringList names = ReportExporter::headerFields(ServiceId::YandexWebmaster);
    QCOMPARE(rows[0].toObject().keys().size(), table.columnCount());
    QCOMPARE(rows[0].toObject().value(names[0]).toString(), QStringLiteral("https://example.com/"));
    QCOMPARE(rows[0].toObject().value(names[2]).toString(), title);
    QCOMPARE(rows[1].toObject().value(names[1]).toString(), QStringLiteral("No"));
}

void ReportExporterTest::proposedFileNames()
{
    QCOMPARE(ReportExporter::proposedFileName(ServiceId::YandexWebmaster), QStringLiteral("export_ywm.csv"));
    QCOMPARE(ReportExporter::proposedFileName(ServiceId::YandexMetrika), QStringLiteral("export_ym.csv"));
    QCOMPARE(ReportExporter::proposedFileName(ServiceId::SearchConsole), QStringLiteral("export_gsc.csv"));
    QCOMPARE(ReportExporter::proposedFileName(ServiceId::Analytics), QStringLiteral("export_ga.csv"));
    QCOMPARE(ReportExporter::proposedFileName(ServiceId::Ahrefs), QStringLiteral("export_ahrefs.csv"));
}

void ReportExporterTest::exportClickWritesTheFileAndLogs()
{
    ActivityLog log;
    RecordingPrompt prompt;
    ReportExporter exporter(log, prompt);
    ReportTable table(ServiceId::Analytics);
    addRow(table, {"https://example.com/g", "5", "7", "6", "00:00:42", "1.17", "33.3"});

    QTemporaryDir dir;
    const QString path = dir.filePath("report.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older, longer file that is replaced without a question\r\n\r\n\r\n\r\n\r\n");
    old.close();

    QVERIFY(exporter.exportClicked(table, path));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), fixtureBytes("export_ga.csv"));

    // A cancelled dialog writes nothing but still logs.
    QVERIFY(exporter.exportClicked(table, QString()));
    QCOMPARE(log.messages(), (QStringList{"Export to CSV finished", "Export to CSV finished"}));
    QVERIFY(prompt.shown.empty());
}

void ReportExporterTest::unwritableFileIsReportedAndNotLogged()
{
    ActivityLog log;
    RecordingPrompt prompt;
    ReportExporter exporter(log, prompt);
    ReportTable table(ServiceId::YandexWebmaster);
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-folder/report.csv");

    QVERIFY_THROWS_EXCEPTION(VeltranoError, ReportExporter::exportToFile(table, path));
    QVERIFY(!exporter.exportClicked(table, path));
    QCOMPARE(prompt.shown.size(), qsizetype(1));
    QCOMPARE(prompt.shown[0].icon, MessagePrompt::Icon::Error);
    QVERIFY2(prompt.shown[0].text.contains("report.csv"), qPrintable(prompt.shown[0].text));
    QVERIFY(log.messages().isEmpty());
    QVERIFY(!QFile::exists(path));
}

void ReportExporterTest::exportFailingMidwayKeepsTheEarlierFile()
{
    ActivityLog log;
    RecordingPrompt prompt;
    ReportExporter exporter(log, prompt);
    ReportTable table(ServiceId::YandexWebmaster);
    for (int i = 0; i < 500; ++i)
        addRow(table, {QStringLiteral("https://example.com/page-%1").arg(i), "Yes", QString(100, u'T')});
    QTemporaryDir dir;
    const QString path = dir.filePath("report.csv");
    writeFile(path, fixtureBytes("export_ga.csv"));

    bool exported = true;
    {
        const FileSizeLimit limit(8 * 1024); // the table needs about 60 KB
        exported = exporter.exportClicked(table, path);
    }

    QVERIFY(!exported);
    QCOMPARE(prompt.texts.size(), 1);
    QVERIFY2(prompt.texts[0].startsWith(QStringLiteral("Cannot write file")), qPrintable(prompt.texts[0]));
    QVERIFY(log.messages().isEmpty());
    QCOMPARE(readFile(path), fixtureBytes("export_ga.csv"));
    QCOMPARE(folderEntries(dir.path()), QStringList{"report.csv"});
}

QTEST_GUILESS_MAIN(ReportExporterTest)
#include "tst_reportexporter.moc"
