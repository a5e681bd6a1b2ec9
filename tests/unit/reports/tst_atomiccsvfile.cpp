// The CSV file writer every export goes through: a file is replaced whole,
// and a failed export leaves the file that was there before untouched and no
// temporary file beside it.

#include "ReportTestSupport.h"

#include "app/VeltranoError.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace veltrano;
using namespace veltrano::test;

namespace {

const QByteArray EarlierFile = "an earlier export\r\nwith two lines\r\n";

enum class Failure {
    DiskRefusesMidway, // a write fails once the file has grown past a limit
    FillRaisesError,   // collecting the lines fails after a few were written
};

} // namespace

Q_DECLARE_METATYPE(Failure)

class AtomicCsvFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replacesAnExistingFileWhole();
    void failedWriteLeavesTheEarlierFile_data();
    void failedWriteLeavesTheEarlierFile();
    void missingFolderIsReported();
};

void AtomicCsvFileTest::replacesAnExistingFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keywords.csv");
    writeFile(path, "a much longer earlier export that must not leave a tail behind\r\n\r\n\r\n\r\n");

    AtomicCsvFile::write(path, [](CsvWriter &csv) {
        csv.writeRow({"Query", "Clicks", ""});
        csv.writeRow({"диван", "12"});
    });

    QCOMPARE(readFile(path), QByteArray("\xEF\xBB\xBF"
                                        "Query;Clicks;\r\n"
                                        "диван;12\r\n"));
    QCOMPARE(folderEntries(dir.path()), QStringList{"keywords.csv"});
}

void AtomicCsvFileTest::failedWriteLeavesTheEarlierFile_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("messageStart"); // "%1": the file's path

    QTest::newRow("disk refuses a write midway") << Failure::DiskRefusesMidway << "Cannot write file \"%1\". ";
    QTest::newRow("collecting the lines fails") << Failure::FillRaisesError << "Value 'queries' not found";
}

void AtomicCsvFileTest::failedWriteLeavesTheEarlierFile()
{
    QFETCH(Failure, failure);
    QFETCH(QString, messageStart);

    QTemporaryDir dir;
    const QString path = dir.filePath("export.csv");
    writeFile(path, EarlierFile);

    // Far more lines than the limit lets through, so the failure comes
    // after part of the file has been written.
    const QStringList line{"https://example.com/a-rather-long-page-address", "Yes", QString(200, u'x')};
    QString message;
    try {
        std::optional<FileSizeLimit> limit;
        if (failure == Failure::DiskRefusesMidway)
            limit.emplace(16 * 1024);
        AtomicCsvFile::write(path, [&](CsvWriter &csv) {
            for (int i = 0; i < 2000 && csv.ok(); ++i) {
                csv.writeRow(line);
                if (failure == Failure::FillRaisesError && i == 50)
                    throw valueNotFound(QStringLiteral("queries"));
            }
        });
    } catch (const VeltranoError &error) {
        message = error.message();
    }

    const QString expected = messageStart.contains(u'%') ? messageStart.arg(path) : messageStart;
    QVERIFY2(message.startsWith(expected), qPrintable(message));
    if (failure == Failure::DiskRefusesMidway)
        QVERIFY2(message.size() > expected.size(), "the system's reason follows the file name");
    QCOMPARE(readFile(path), EarlierFile);
    QCOMPARE(folderEntries(dir.path()), QStringList{"export.csv"});
}

void AtomicCsvFileTest::missingFolderIsReported()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-folder/export.csv");
    bool filled = false;
    QString message;
    try {
        AtomicCsvFile::write(path, [&](CsvWriter &) { filled = true; });
    } catch (const VeltranoError &error) {
        message = error.message();
    }
    QVERIFY2(message.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)), qPrintable(message));
    QVERIFY(!filled);
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(AtomicCsvFileTest)
#include "tst_atomiccsvfile.moc"
