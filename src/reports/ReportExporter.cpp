#include "reports/ReportExporter.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"
#include "reports/ReportTable.h"

namespace veltrano {

ReportExporter::ReportExporter(ActivityLog &log, MessagePrompt &prompt) : m_log(log), m_prompt(prompt) {}

QString ReportExporter::proposedFileName(ServiceId kind)
{
    return ServiceTable::of(kind).exportName;
}

QStringList ReportExporter::headerFields(ServiceId kind)
{
    switch (kind) {
    case ServiceId::YandexWebmaster:
        return {QStringLiteral("URL"), QStringLiteral("Indexed"), QStringLiteral("Title")};
    case ServiceId::YandexMetrika:
        return {QStringLiteral("URL"),         QStringLiteral("Visits"),    QStringLiteral("Users"),
                QStringLiteral("Bounce Rate"), QStringLiteral("Deep View"), QStringLiteral("Time on Page")};
    case ServiceId::SearchConsole:
        return {QStringLiteral("URL"),
                QStringLiteral("Indexed"),
                QStringLiteral("Clicks"),
                QStringLiteral("Impressions"),
                QStringLiteral("CTR"),
                QStringLiteral("Avg Position"),
                QStringLiteral("Coverage State"),
                QStringLiteral("RobotsTxt State"),
                QStringLiteral("Indexing State"),
                QStringLiteral("Last Crawl")};
    case ServiceId::Analytics:
        return {QStringLiteral("URL"),
                QStringLiteral("GA: Users"),
                QStringLiteral("GA PageViews"),
                QStringLiteral("GA: Sessions"),
                QStringLiteral("GA: Avg Session Duration"),
                QStringLiteral("GA: Page Views Per Session"),
                QStringLiteral("GA: Bounce Rate")};
    case ServiceId::Ahrefs: {
        QStringList fields;
        for (const ReportColumn &c : ReportLayout::of(kind).columns())
            fields << c.caption;
        fields << QString(); // each caption is followed by ";"
        return fields;
    }
    }
    return {};
}

void ReportExporter::writeLines(const ReportTable &table, CsvWriter &csv)
{
    csv.writeRow(headerFields(table.service()));
    const int rows = table.rowCount();
    for (int r = 0; r < rows && csv.ok(); ++r)
        csv.writeRow(table.rowTexts(r));
}

bool ReportExporter::write(const ReportTable &table, QIODevice &device)
{
    CsvWriter csv(device);
    writeLines(table, csv);
    return csv.ok();
}

void ReportExporter::exportToFile(const ReportTable &table, const QString &path)
{
    AtomicCsvFile::write(path, [&table](CsvWriter &csv) { writeLines(table, csv); });
}

bool ReportExporter::exportClicked(const ReportTable &table, const QString &chosenPath)
{
    if (!chosenPath.isEmpty()) {
        try {
            exportToFile(table, chosenPath);
        } catch (const VeltranoError &e) {
            m_prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), e.message());
            return false;
        }
    }
    m_log.addToLog(QStringLiteral("Export to CSV finished"));
    return true;
}

} // namespace veltrano
