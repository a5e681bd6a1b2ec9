// Report tables at their size limit: import, sort, export, memory.
//
// Run from a Release build:  build-bench/bin/bench_reports
// Each figure is for one whole operation on a table of 50 000 or 5 000 rows;
// compare the two sizes for the scaling ratio. The first benchmark reports
// the peak resident memory (VmHWM) after filling all five tables.
//
// Text columns sort by the collation of the user's locale, which is taken
// from the environment: run with LC_ALL=C, en_US.UTF-8 or ru_RU.UTF-8 to
// see each kind of collation.

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "reports/ReportExporter.h"
#include "reports/ReportTable.h"
#include "reports/UrlImporter.h"
#include "services/ServiceTable.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <memory>

using namespace veltrano;

namespace {

class SilentPrompt final : public MessagePrompt {
public:
    void show(Icon, const QString &, const QString &) override {}
    bool ask(const QString &, const QString &) override { return false; }
};

class NoProgress final : public ProgressReporter {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
};

QString benchUrl(int i)
{
    return QStringLiteral("https://www.example-shop.com/catalog/section-%1/item-%2.html").arg(i % 97).arg(i);
}

QStringList benchUrls(int count)
{
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out << benchUrl(i);
    return out;
}

QString pastedText(int count)
{
    return benchUrls(count).join(QStringLiteral("\r\n"));
}

// Files are written once per size and kept for the whole run.
struct BenchFiles {
    QTemporaryDir dir;
    QString textFile(int count)
    {
        const QString path = dir.filePath(QStringLiteral("urls_%1.txt").arg(count));
        if (!QFile::exists(path)) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(pastedText(count).toUtf8());
        }
        return path;
    }
    QString sitemap(int count)
    {
        const QString path = dir.filePath(QStringLiteral("sitemap_%1.xml").arg(count));
        if (!QFile::exists(path)) {
            QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
            for (int i = 0; i < count; ++i) {
                xml += "  <url>\n    <loc>" + benchUrl(i).toUtf8() +
                       "</loc>\n    <lastmod>2024-05-01</lastmod>\n    <changefreq>weekly</changefreq>\n  </url>\n";
            }
            xml += "</urlset>\n";
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(xml);
        }
        return path;
    }
};

BenchFiles &files()
{
    static BenchFiles f;
    return f;
}

// Cells as the checks write them: each a text of its own.
QStringList filledCells(ServiceId kind, int i)
{
    const QString title = QStringLiteral("Item %1 - Example Shop: buy online with delivery").arg(i);
    const QString yesNo = QString::fromLatin1(i % 3 ? "Yes" : "No");
    switch (kind) {
    case ServiceId::YandexWebmaster:
        return {yesNo, title};
    case ServiceId::YandexMetrika:
        return {QString::number(i % 1000), QString::number(i % 700), QString::number((i % 1000) / 10.0, 'f', 1),
                QString::number(1 + (i % 300) / 100.0, 'f', 2),
                QStringLiteral("00:%1:%2").arg(i % 60, 2, 10, QChar('0')).arg(i % 59, 2, 10, QChar('0'))};
    case ServiceId::SearchConsole:
        return {yesNo,
                QString::number(i % 500),
                QString::number(i % 9000),
                QString::number((i % 1000) / 100.0, 'f', 2),
                QString::number(i % 60),
                QString::fromLatin1("Submitted and indexed"),
                QString::fromLatin1("ALLOWED"),
                QString::fromLatin1("INDEXING_ALLOWED"),
                QStringLiteral("2024-%1-%2").arg(1 + i % 12, 2, 10, QChar('0')).arg(1 + i % 28, 2, 10, QChar('0'))};
    case ServiceId::Analytics:
        return {QString::number(i % 800),
                QString::number(i % 1200),
                QString::number(i % 900),
                QStringLiteral("00:0%1:%2").arg(i % 10).arg(i % 60, 2, 10, QChar('0')),
                QString::number(1 + (i % 300) / 100.0, 'f', 2),
                QString::number((i % 1000) / 10.0, 'f', 1)};
    case ServiceId::Ahrefs:
        return {yesNo,
                QString::number(100000 + i),
                QString::number(i % 7 ? 200 : 301),
                QString::number(i % 150),
                QString::number(i % 40),
                title};
    }
    return {};
}

void fillTable(ReportTable &table, int rows)
{
    table.appendRows(benchUrls(rows));
    for (int r = 0; r < rows; ++r)
        table.setRowCells(r, filledCells(table.service(), r));
}

long statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// ---- memory -----------------------------------------------------------------

void BM_PeakRssFiveFullTables(benchmark::State &state)
{
    const long before = statusKb("VmHWM:");
    std::vector<std::unique_ptr<ReportTable>> tables(size_t(ServiceTable::count()));
    for (auto _ : state) {
        for (int k = 0; k < ServiceTable::count(); ++k) {
            tables[size_t(k)] = std::make_unique<ReportTable>(ServiceId(k));
            fillTable(*tables[size_t(k)], ReportTable::RowLimit);
        }
    }
    state.counters["VmHWM_MB_before"] = double(before) / 1024.0;
    state.counters["VmHWM_MB"] = double(statusKb("VmHWM:")) / 1024.0;
    state.counters["VmRSS_MB"] = double(statusKb("VmRSS:")) / 1024.0;
}
BENCHMARK(BM_PeakRssFiveFullTables)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- import -----------------------------------------------------------------

struct ImportBench {
    ActivityLog log;
    SilentPrompt prompt;
    NoProgress progress;
    UrlImporter importer{log, prompt};
};

// Into an empty table, or into one that already holds all but one of the
// URLs (every candidate then goes through the duplicate test).
void prefill(ReportTable &table, int rows, bool nearlyFull)
{
    table.clear();
    if (nearlyFull)
        table.appendRows(benchUrls(rows - 1));
}

void BM_ImportPaste(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const bool nearlyFull = state.range(1) != 0;
    const QString text = pastedText(rows);
    ImportBench b;
    ReportTable table(ServiceId::SearchConsole);
    for (auto _ : state) {
        state.PauseTiming();
        prefill(table, rows, nearlyFull);
        state.ResumeTiming();
        b.importer.pasteText(table, text, true);
    }
    state.counters["rows"] = table.rowCount();
}

void BM_ImportTextFile(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const bool nearlyFull = state.range(1) != 0;
    const QString path = files().textFile(rows);
    ImportBench b;
    ReportTable table(ServiceId::SearchConsole);
    for (auto _ : state) {
        state.PauseTiming();
        prefill(table, rows, nearlyFull);
        state.ResumeTiming();
        b.importer.importTextFile(table, path, true);
    }
    state.counters["rows"] = table.rowCount();
}

void BM_ImportSitemap(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const bool nearlyFull = state.range(1) != 0;
    const QString path = files().sitemap(rows);
    ImportBench b;
    ReportTable table(ServiceId::SearchConsole);
    for (auto _ : state) {
        state.PauseTiming();
        prefill(table, rows, nearlyFull);
        state.ResumeTiming();
        b.importer.importSitemap(table, path, true, b.progress);
    }
    state.counters["rows"] = table.rowCount();
}

#define IMPORT_ARGS                                                                                                    \
    ArgsProduct({{5000, 50000}, {0, 1}})->ArgNames({"rows", "nearlyFull"})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ImportPaste)->IMPORT_ARGS;
BENCHMARK(BM_ImportTextFile)->IMPORT_ARGS;
BENCHMARK(BM_ImportSitemap)->IMPORT_ARGS;

// A pasted list of which every other line is no web address (words, script
// and mail links, markup, other schemes) or a host without its scheme: the
// junk is counted into one log line, never one line per skipped row.
void BM_ImportPasteHalfJunk(benchmark::State &state)
{
    const int lines = int(state.range(0));
    const QStringList junk{QStringLiteral("hello world"), QStringLiteral("javascript:alert(1)"),
                           QStringLiteral("<a href=\"https://example.com/\">x</a>"),
                           QStringLiteral("ftp://example.com/file"), QStringLiteral("mailto:a@example.com")};
    QStringList text;
    const QStringList urls = benchUrls(lines / 2);
    for (int i = 0; i < lines / 2; ++i) {
        text << (i % 10 == 0 ? urls[i].mid(urls[i].indexOf(QLatin1String("//")) + 2) : urls[i]);
        text << junk[i % junk.size()] + QString::number(i);
    }
    const QString pasted = text.join(QLatin1Char('\n'));
    ImportBench b;
    ReportTable table(ServiceId::SearchConsole);
    for (auto _ : state) {
        state.PauseTiming();
        table.clear();
        state.ResumeTiming();
        b.importer.pasteText(table, pasted, true);
    }
    state.counters["rows"] = table.rowCount();
    state.counters["logLinesPerImport"] = double(b.log.messagesInOrder().size()) / double(state.iterations());
}
BENCHMARK(BM_ImportPasteHalfJunk)->Arg(50000)->Unit(benchmark::kMillisecond);

// ---- sort -------------------------------------------------------------------

// Sorts a full Search Console table by one column, in alternating
// directions so every run reorders the rows. Rows are shuffled first.
void sortBench(benchmark::State &state, int column, bool cyrillic = false)
{
    const int rows = int(state.range(0));
    ReportTable table(ServiceId::SearchConsole);
    QStringList urls = benchUrls(rows);
    // A fixed shuffle, so URL order is not already the sorted order.
    for (int i = rows - 1; i > 0; --i)
        urls.swapItemsAt(i, int((quint64(i) * 2654435761u) % quint64(i + 1)));
    table.appendRows(urls);
    for (int r = 0; r < rows; ++r) {
        QStringList cells = filledCells(ServiceId::SearchConsole, r);
        // Distinct texts make the locale column the hard case.
        cells[5] = (cyrillic ? QStringLiteral("Состояние %1 страницы %2") : QStringLiteral("State %1 of the page %2"))
                       .arg(r * 7919 % rows)
                       .arg(r);
        table.setRowCells(r, cells);
    }
    bool ascending = true;
    for (auto _ : state) {
        table.sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        ascending = !ascending;
    }
}

void BM_SortByUrl(benchmark::State &state)
{
    sortBench(state, 0);
}
void BM_SortByWholeNumber(benchmark::State &state)
{
    sortBench(state, 3);
} // "Impressions"
void BM_SortByLocaleText(benchmark::State &state)
{
    sortBench(state, 6);
} // "Coverage State", all distinct
void BM_SortByLocaleTextCyrillic(benchmark::State &state)
{
    sortBench(state, 6, true);
} // the same in Russian
void BM_SortByRepeatedText(benchmark::State &state)
{
    sortBench(state, 1);
} // "Indexed", Yes or No
void BM_SortByCellText(benchmark::State &state)
{
    sortBench(state, 9);
} // "Last Crawl", a few hundred dates
BENCHMARK(BM_SortByUrl)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByWholeNumber)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByLocaleText)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByLocaleTextCyrillic)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByRepeatedText)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByCellText)->Arg(50000)->Unit(benchmark::kMillisecond);

// ---- export -----------------------------------------------------------------

void BM_ExportCsv(benchmark::State &state)
{
    const int rows = int(state.range(0));
    ReportTable table(ServiceId::SearchConsole);
    fillTable(table, rows);
    qint64 bytes = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ReportExporter::write(table, buffer);
        bytes = buffer.size();
    }
    state.counters["MB"] = double(bytes) / (1024.0 * 1024.0);
}

void BM_ExportCsvFile(benchmark::State &state)
{
    const int rows = int(state.range(0));
    ReportTable table(ServiceId::SearchConsole);
    fillTable(table, rows);
    const QString path = files().dir.filePath(QStringLiteral("export.csv"));
    for (auto _ : state)
        ReportExporter::exportToFile(table, path);
}
BENCHMARK(BM_ExportCsv)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsvFile)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace
