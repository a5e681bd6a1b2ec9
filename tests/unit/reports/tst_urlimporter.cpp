#include "ReportTestSupport.h"

#include "app/ActivityLog.h"
#include "reports/ReportTable.h"
#include "reports/UrlImporter.h"
#include "reports/WebAddress.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace veltrano;
using namespace veltrano::test;

namespace {

// The importer with its ports, and what the window's hook saw.
struct Fixture {
    ActivityLog log;
    RecordingPrompt prompt;
    RecordingProgress progress;
    UrlImporter importer{log, prompt};
    QStringList captions;

    Fixture()
    {
        importer.setTableChangedHook([this](const ReportTable &t) { captions << t.tabCaption(); });
    }
};

QStringList urls(const ReportTable &table)
{
    QStringList out;
    for (int r = 0; r < table.rowCount(); ++r)
        out << table.url(r);
    return out;
}

QStringList numberedUrls(int from, int count)
{
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("https://example.com/p%1").arg(from + i);
    return out;
}

} // namespace

class UrlImporterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pasteTrimsSplitsAndDropsRepeats();
    void skippedExtensions_data();
    void skippedExtensions();
    void onlyTheUrlWithAQueryAfterTheImageExtensionIsAdded();
    void noClearKeepsRowsAndAddsNothingTwice();
    void limitStopsTheImportWithOneMessage();
    void limitIsNotReachedByRepeats();
    void textFilesInEachEncoding_data();
    void textFilesInEachEncoding();
    void missingFileLeavesTheTableAlone();
    void sitemapCountsNodesAndAdvancesPerLoc();
    void sitemapOddEntriesAreSkipped();
    void sitemapInItsDeclaredEncoding_data();
    void sitemapInItsDeclaredEncoding();
    void sitemapWithoutUrlsetOrMalformedLeavesTheTable_data();
    void sitemapWithoutUrlsetOrMalformedLeavesTheTable();
    void malformedSitemapNamesTheLineAndColumn_data();
    void malformedSitemapNamesTheLineAndColumn();
    void sitemapStopAtLimitLeavesTheBar();
    void webAddresses_data();
    void webAddresses();
    void linesThatAreNoWebAddressesAreCountedOnce();
    void sitemapLocsThatAreNoWebAddressesAreCounted();
    void deleteRemovesTheFirstSelectedRow();
    void lockedTableIsLeftAlone();
};

void UrlImporterTest::pasteTrimsSplitsAndDropsRepeats()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    QCOMPARE(f.importer.pasteText(table, "https://e.com/a\r\n\r\n https://e.com/a \nhttps://e.com/A", false),
             UrlImporter::Result::Imported);
    QCOMPARE(urls(table), (QStringList{"https://e.com/a", "https://e.com/A"}));
    QCOMPARE(table.rowTexts(0).size(), 3);
    QCOMPARE(f.captions, QStringList{"Yandex Webmaster (2)"});
    QCOMPARE(f.log.messages(), QStringList{"Data pasted from Clipboard"});

    // Lines end at CR too, and control characters count as blanks.
    f.importer.pasteText(table, QString::fromLatin1("\t https://x/1\x01\rhttps://x/2\0", 27), false);
    QCOMPARE(urls(table), (QStringList{"https://x/1", "https://x/2"}));
    QVERIFY(f.prompt.shown.empty());
}

void UrlImporterTest::skippedExtensions_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("skipped");
    QTest::newRow("picture") << "https://e.com/pic/logo.png" << true;
    QTest::newRow("upper case") << "https://e.com/a.JPEG" << true;
    QTest::newRow("each of them") << "https://e.com/a.gif" << true;
    QTest::newRow("icon") << "https://e.com/favicon.ico" << true;
    QTest::newRow("style sheet") << "https://e.com/s.Css" << true;
    QTest::newRow("script") << "https://e.com/app.js" << true;
    QTest::newRow("script with query") << "https://e.com/app.js?v=2" << false;
    QTest::newRow("site root") << "https://e.com/" << false;
    QTest::newRow("port without dot after it") << "http://localhost:8080/page" << false;
    QTest::newRow("colon after the dot") << "http://e.com:8080/x.png:large" << false;
    QTest::newRow("backslash after the dot") << "C:\\x.png\\y" << false;
    QTest::newRow("page") << "https://e.com/a.html" << false;
    QTest::newRow("no dot") << "page" << false;
}

void UrlImporterTest::skippedExtensions()
{
    QFETCH(QString, url);
    QFETCH(bool, skipped);
    QCOMPARE(UrlImporter::isSkippedExtension(url), skipped);
}

void UrlImporterTest::onlyTheUrlWithAQueryAfterTheImageExtensionIsAdded()
{
    Fixture f;
    ReportTable table(ServiceId::Ahrefs);
    f.importer.pasteText(table, "https://e.com/a.PNG\nhttps://e.com/a.png?x=1", false);
    QCOMPARE(urls(table), QStringList{"https://e.com/a.png?x=1"});
}

void UrlImporterTest::noClearKeepsRowsAndAddsNothingTwice()
{
    Fixture f;
    ReportTable table(ServiceId::YandexMetrika);
    f.importer.pasteText(table, "https://old/", false);
    QVERIFY(f.importer.importTextFile(table, fixture("urls_utf8.txt"), true) == UrlImporter::Result::Imported);
    QCOMPARE(table.rowCount(), 4);
    f.importer.importTextFile(table, fixture("urls_utf8.txt"), true);
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(f.captions.last(), QStringLiteral("Yandex Metrika (4)"));

    // With the option off every import starts from an empty table.
    f.importer.importTextFile(table, fixture("urls_utf8.txt"), false);
    QCOMPARE(table.rowCount(), 3);
    QVERIFY(!table.containsUrl("https://old/"));
}

void UrlImporterTest::limitStopsTheImportWithOneMessage()
{
    Fixture f;
    ReportTable table(ServiceId::SearchConsole);
    table.appendRows(numberedUrls(0, ReportTable::RowLimit - 1));
    const QString text = numberedUrls(100000, 3).join('\n');
    QCOMPARE(f.importer.pasteText(table, text, true), UrlImporter::Result::StoppedAtLimit);
    QCOMPARE(table.rowCount(), ReportTable::RowLimit);
    QVERIFY(table.containsUrl("https://example.com/p100000"));
    QVERIFY(!table.containsUrl("https://example.com/p100001"));
    QCOMPARE(f.prompt.texts, QStringList{"Limitation: no more 50 000 URLs"});
    QCOMPARE(f.prompt.shown[0].icon, MessagePrompt::Icon::Information);
    QCOMPARE(f.log.messages(), QStringList{"Data pasted from Clipboard"});
    QCOMPARE(f.captions, QStringList{"Google Search Console (50000)"});
}

void UrlImporterTest::limitIsNotReachedByRepeats()
{
    Fixture f;
    ReportTable table(ServiceId::SearchConsole);
    table.appendRows(numberedUrls(0, ReportTable::RowLimit));
    // Empty, skipped and known candidates are dropped before the limit test.
    f.importer.pasteText(table, "\nhttps://example.com/p7\nhttps://e.com/x.png", true);
    QVERIFY(f.prompt.shown.empty());
    QCOMPARE(f.log.messages(), QStringList{"Data pasted from Clipboard"});
}

void UrlImporterTest::textFilesInEachEncoding_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("UTF-8 with BOM") << "urls_utf8_bom.txt";
    QTest::newRow("UTF-8") << "urls_utf8.txt";
    QTest::newRow("UTF-16 LE") << "urls_utf16le_bom.txt";
    QTest::newRow("UTF-16 BE") << "urls_utf16be_bom.txt";
    QTest::newRow("Windows-1251") << "urls_cp1251.txt";
}

void UrlImporterTest::textFilesInEachEncoding()
{
    QFETCH(QString, file);
    Fixture f;
    ReportTable table(ServiceId::Analytics);
    QCOMPARE(f.importer.importTextFile(table, fixture(file), false), UrlImporter::Result::Imported);
    QCOMPARE(urls(table), (QStringList{QString::fromUtf8("https://example.com/привет"), "https://example.com/b",
                                       "https://example.com/c"}));
    QCOMPARE(f.log.messages(), QStringList{"Data imported from file"});
}

void UrlImporterTest::missingFileLeavesTheTableAlone()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows({"https://keep/"});
    QTemporaryDir dir;
    QCOMPARE(f.importer.importTextFile(table, dir.filePath("missing.txt"), false), UrlImporter::Result::NotImported);
    QCOMPARE(f.importer.importSitemap(table, dir.path(), false, f.progress), UrlImporter::Result::NotImported);
    QCOMPARE(f.prompt.texts, (QStringList{"File with inport data not found!", "File with inport data not found!"}));
    QCOMPARE(f.prompt.shown[0].icon, MessagePrompt::Icon::Warning);
    QCOMPARE(urls(table), QStringList{"https://keep/"});
    QVERIFY(f.log.messages().isEmpty());
    QVERIFY(f.captions.isEmpty());
    QCOMPARE(f.progress.maximum, -1);
}

void UrlImporterTest::sitemapCountsNodesAndAdvancesPerLoc()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    QCOMPARE(f.importer.importSitemap(table, fixture("sitemap_10_urls_2_comments.xml"), false, f.progress),
             UrlImporter::Result::Imported);
    QCOMPARE(f.progress.maximum, 12);
    QCOMPARE(f.progress.position, 10);
    QCOMPARE(table.rowCount(), 10);
    QCOMPARE(table.url(9), QStringLiteral("https://example.com/page-10.html"));
    QCOMPARE(f.log.messages(), QStringList{"XML data loaded"});
    QCOMPARE(f.captions, QStringList{"Yandex Webmaster (10)"});
}

void UrlImporterTest::sitemapOddEntriesAreSkipped()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    f.importer.importSitemap(table, fixture("sitemap_odd_entries.xml"), false, f.progress);
    // Not taken: a foreign element, a url without loc, a loc holding an
    // element, an upper-case URL tag. Taken but skipped: a picture, a
    // repeat, an empty loc.
    QCOMPARE(urls(table), (QStringList{"https://example.com/first", "https://example.com/search?q=1&page=2",
                                       "https://example.com/cdata", "https://example.com/last"}));
    QCOMPARE(f.progress.maximum, 11);
    QCOMPARE(f.progress.position, 7);
    QVERIFY(f.prompt.shown.empty());
}

void UrlImporterTest::sitemapInItsDeclaredEncoding_data()
{
    QTest::addColumn<QString>("file");
    // The same three addresses, saved in the encoding the declaration names.
    QTest::newRow("windows-1251") << "sitemap_cp1251.xml";
    QTest::newRow("KOI8-R") << "sitemap_koi8r.xml";
}

void UrlImporterTest::sitemapInItsDeclaredEncoding()
{
    QFETCH(QString, file);
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    QCOMPARE(f.importer.importSitemap(table, fixture(file), false, f.progress), UrlImporter::Result::Imported);
    QCOMPARE(urls(table), (QStringList{QStringLiteral("https://пример.рф/каталог/диван/"),
                                       QStringLiteral("https://example.com/доставка?город=Москва"),
                                       QStringLiteral("https://example.com/b")}));
    QVERIFY(f.prompt.shown.empty());
    QCOMPARE(f.log.messages(), QStringList{"XML data loaded"});
}

void UrlImporterTest::sitemapWithoutUrlsetOrMalformedLeavesTheTable_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("sitemap index") << "sitemap_index.xml"
                                   << "The data file has an unacceptable format (no tag URLSET)";
    QTest::newRow("not well-formed") << "sitemap_broken.xml"
                                     << "Error when parsing the file: ";
    QTest::newRow("encoding unknown")
        << "sitemap_unknown_encoding.xml"
        << "Error when parsing the file: unknown encoding \"x-no-such-encoding\" (line 1, column 31)";
    QTest::newRow("byte the declared encoding leaves undefined")
        << "sitemap_cp1251_undefined_byte.xml"
        << "Error when parsing the file: the file is not windows-1251 text (line 1, column 31)";
}

void UrlImporterTest::sitemapWithoutUrlsetOrMalformedLeavesTheTable()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    Fixture f;
    ReportTable table(ServiceId::Ahrefs);
    table.appendRows({"https://keep/"});
    QCOMPARE(f.importer.importSitemap(table, fixture(file), false, f.progress), UrlImporter::Result::NotImported);
    QCOMPARE(urls(table), QStringList{"https://keep/"});
    QCOMPARE(f.prompt.shown.size(), qsizetype(1));
    const QString shown = f.prompt.shown[0].text;
    if (message.endsWith(' ')) // the parser's own text follows
        QVERIFY2(shown.startsWith(message) && shown.size() > message.size(), qPrintable(shown));
    else
        QCOMPARE(shown, message);
    QCOMPARE(f.prompt.shown[0].icon, MessagePrompt::Icon::Warning);
    QVERIFY(f.log.messages().isEmpty());
    QCOMPARE(f.progress.maximum, -1);
}

void UrlImporterTest::malformedSitemapNamesTheLineAndColumn_data()
{
    // Line breaks before the fault sit in texts the reader rewrites as it
    // goes (CR LF made LF, a character reference made a line break): the
    // position is still counted in the file as written.
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("message");
    QTest::newRow("CR LF in a loc")
        << QByteArray("<?xml version=\"1.0\"?>\r\n<urlset>\r\n<url><loc>https://a/\r\n\r\n</loc></url>\r\n"
                      "<url><loc>https://b/</loc></url\r\n</urlset>\r\n")
        << QStringLiteral("Error when parsing the file: Error parsing end element tag (line 7, column 1)");
    QTest::newRow("character reference for a line break")
        << QByteArray("<urlset><url><loc>https://a/&#10;&#10;&#10;&#10;&#10;x</loc></url>\n<url><loc>b</lox></url>"
                      "</urlset>")
        << QStringLiteral("Error when parsing the file: Start-end tags mismatch (line 2, column 14)");
    QTest::newRow("UTF-16 file") << QByteArray("\xFF\xFE<\0u\0r\0l\0s\0e\0t\0>\0\n\0<\0u\0r\0l\0>\0<\0/\0x\0>\0", 36)
                                 << QStringLiteral(
                                        "Error when parsing the file: Start-end tags mismatch (line 2, column 1)");
}

void UrlImporterTest::malformedSitemapNamesTheLineAndColumn()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sitemap.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(xml);
    file.close();

    // From a file and from bytes alike.
    for (const bool fromFile : {true, false}) {
        Fixture f;
        ReportTable table(ServiceId::YandexWebmaster);
        const UrlImporter::Result result = fromFile ? f.importer.importSitemap(table, path, false, f.progress)
                                                    : f.importer.importSitemapData(table, xml, false, f.progress);
        QCOMPARE(result, UrlImporter::Result::NotImported);
        QCOMPARE(f.prompt.shown.size(), qsizetype(1));
        QCOMPARE(f.prompt.shown[0].text, message);
    }
}

void UrlImporterTest::sitemapStopAtLimitLeavesTheBar()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows(numberedUrls(0, ReportTable::RowLimit - 2));
    QCOMPARE(f.importer.importSitemap(table, fixture("sitemap_10_urls_2_comments.xml"), true, f.progress),
             UrlImporter::Result::StoppedAtLimit);
    QCOMPARE(table.rowCount(), ReportTable::RowLimit);
    QCOMPARE(f.progress.position, 2);
    QCOMPARE(f.prompt.texts, QStringList{"Limitation: no more 50 000 URLs"});
    QCOMPARE(f.log.messages(), QStringList{"XML data loaded"});
}

void UrlImporterTest::webAddresses_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    const int address = int(WebAddress::Kind::Address);
    const int hostOnly = int(WebAddress::Kind::HostWithoutScheme);
    const int junk = int(WebAddress::Kind::NotWebAddress);
    QTest::newRow("https page") << "https://example.com/contacts/" << address;
    QTest::newRow("scheme in capitals") << "HTTP://Example.com" << address;
    QTest::newRow("local host with port") << "http://localhost:8080/page" << address;
    QTest::newRow("user information") << "https://user@example.com/" << address;
    QTest::newRow("Cyrillic host") << "https://пример.рф/каталог/" << address;
    QTest::newRow("quote in the path") << "https://example.com/\"best\"/" << address;
    QTest::newRow("blank in the host") << "https://exa mple.com/" << junk;
    QTest::newRow("host without scheme") << "example.com/contacts/" << hostOnly;
    QTest::newRow("bare host") << "www.example.com" << hostOnly;
    QTest::newRow("Cyrillic host without scheme") << "пример.рф/" << hostOnly;
    QTest::newRow("host and port without scheme") << "example.com:8080/x" << hostOnly;
    QTest::newRow("a sentence") << "hello world" << junk;
    QTest::newRow("script address") << "javascript:alert(1)" << junk;
    QTest::newRow("HTML tag") << "<a href=\"https://example.com/\">x</a>" << junk;
    QTest::newRow("ftp") << "ftp://example.com/file" << junk;
    QTest::newRow("mail") << "mailto:me@example.com" << junk;
    QTest::newRow("scheme without host") << "https://" << junk;
    QTest::newRow("scheme with a path only") << "https:///path" << junk;
    QTest::newRow("a word") << "page" << junk;
    QTest::newRow("a number") << "1.5" << junk;
    QTest::newRow("Windows path") << "C:\\pages\\a.html" << junk;
    QTest::newRow("label ending in a hyphen") << "example-.com/" << junk;
}

void UrlImporterTest::webAddresses()
{
    QFETCH(QString, line);
    QFETCH(int, kind);
    QCOMPARE(int(WebAddress::classify(line)), kind);
}

void UrlImporterTest::linesThatAreNoWebAddressesAreCountedOnce()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    const QString text = QStringLiteral("https://example.com/\nhello world\njavascript:alert(1)\n"
                                        "<a href=\"https://example.com/\">x</a>\nftp://example.com/f\n"
                                        "example.com/contacts/\nhttps://example.com/contacts/\nexample.com/sale/");
    QCOMPARE(f.importer.pasteText(table, text, false), UrlImporter::Result::Imported);
    // A host without a scheme is the https page; written twice, it is one row.
    QCOMPARE(urls(table), (QStringList{"https://example.com/", "https://example.com/contacts/",
                                       "https://example.com/sale/"}));
    QCOMPARE(f.log.messagesInOrder(),
             (QStringList{"Data pasted from Clipboard",
                          "2 addresses without http:// or https:// taken as https:// (the first: example.com/contacts/)",
                          "Imported 3 addresses, skipped 4 lines that are not web addresses"}));
    QCOMPARE(f.prompt.shown.size(), 1);
    QCOMPARE(f.prompt.shown[0].text, QStringLiteral("Imported 3 addresses, skipped 4 lines that are not web addresses."));

    // The next import counts afresh, and a clean one says nothing more.
    f.importer.pasteText(table, QStringLiteral("https://example.com/a"), false);
    QCOMPARE(f.log.messagesInOrder().mid(3), QStringList{"Data pasted from Clipboard"});
    QCOMPARE(f.prompt.shown.size(), 1);

    // Half of 50 000 lines junk: one log line, not one per line.
    QStringList lines;
    for (int i = 0; i < 25000; ++i)
        lines << QStringLiteral("https://example.com/p%1").arg(i) << QStringLiteral("junk line %1").arg(i);
    f.importer.pasteText(table, lines.join(QLatin1Char('\n')), false);
    QCOMPARE(table.rowCount(), 25000);
    QCOMPARE(f.log.messagesInOrder().mid(4),
             (QStringList{"Data pasted from Clipboard",
                          "Imported 25000 addresses, skipped 25000 lines that are not web addresses"}));
}

void UrlImporterTest::sitemapLocsThatAreNoWebAddressesAreCounted()
{
    Fixture f;
    ReportTable table(ServiceId::YandexWebmaster);
    const QByteArray xml = "<urlset><url><loc>https://example.com/</loc></url><url><loc>not an address</loc></url>"
                           "<url><loc>example.com/a/</loc></url></urlset>";
    QCOMPARE(f.importer.importSitemapData(table, xml, false, f.progress), UrlImporter::Result::Imported);
    QCOMPARE(urls(table), (QStringList{"https://example.com/", "https://example.com/a/"}));
    QCOMPARE(f.log.messagesInOrder().last(),
             QStringLiteral("Imported 2 addresses, skipped 1 line that is not a web address"));
}

void UrlImporterTest::deleteRemovesTheFirstSelectedRow()
{
    Fixture f;
    ReportTable table(ServiceId::SearchConsole);
    table.appendRows({"https://1/", "https://2/", "https://3/"});
    QVERIFY(!f.importer.deleteSelectedRow(table, {}));
    QVERIFY(f.log.messages().isEmpty());

    QVERIFY(f.importer.deleteSelectedRow(table, {2, 1}));
    QCOMPARE(urls(table), (QStringList{"https://1/", "https://3/"}));
    QCOMPARE(f.captions.last(), QStringLiteral("Google Search Console (2)"));
    f.importer.deleteSelectedRow(table, {0});
    f.importer.deleteSelectedRow(table, {0});
    QCOMPARE(f.captions.last(), QStringLiteral("Google Search Console"));
    QCOMPARE(f.log.messages(), (QStringList{"URL deleted", "URL deleted", "URL deleted"}));
}

void UrlImporterTest::lockedTableIsLeftAlone()
{
    Fixture f;
    ReportTable table(ServiceId::YandexMetrika);
    table.appendRows({"https://walked/"});
    table.setLocked(true);
    QCOMPARE(f.importer.pasteText(table, "https://new/", false), UrlImporter::Result::NotImported);
    QCOMPARE(f.importer.importTextFile(table, fixture("urls_utf8.txt"), false), UrlImporter::Result::NotImported);
    QCOMPARE(f.importer.importSitemap(table, fixture("sitemap_10_urls_2_comments.xml"), false, f.progress),
             UrlImporter::Result::NotImported);
    QVERIFY(!f.importer.deleteSelectedRow(table, {0}));
    QCOMPARE(urls(table), QStringList{"https://walked/"});
    QVERIFY(f.log.messages().isEmpty());
    QCOMPARE(f.progress.maximum, -1);
}

QTEST_GUILESS_MAIN(UrlImporterTest)
#include "tst_urlimporter.moc"
