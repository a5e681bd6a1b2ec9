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
    return ServiceTable::of(kind).csvHeader;
}

void ReportExporter::writeLines(const ReportTable &table, CsvWriter &csv)
{
    QStringList header = headerFields(table.service());
    // A column the table names differently (another API's figure) is named
    // so in the file too.
    for (int c = 0; c < header.size() && c < table.columnCount(); ++c) {
        if (const QString caption = table.caption(c); caption != table.layout().columns()[size_t(c)].caption)
            header[c] = caption;
    }
    csv.writeRow(header);
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
