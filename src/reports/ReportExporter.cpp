#include "reports/ReportExporter.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"
#include "reports/ReportTable.h"

#include <QDir>
#include <QIODevice>
#include <QSaveFile>

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

QStringList ReportExporter::headerOf(const ReportTable &table)
{
    QStringList header = headerFields(table.service());
    // A column the table names differently (another API's figure) is named
    // so in the file too.
    for (int c = 0; c < header.size() && c < table.columnCount(); ++c) {
        if (const QString caption = table.caption(c); caption != table.layout().columns()[size_t(c)].caption)
            header[c] = caption;
    }
    return header;
}

void ReportExporter::writeLines(const ReportTable &table, CsvWriter &csv)
{
    csv.writeRow(headerOf(table));
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

namespace {

// A JSON string: quotes, backslashes and control characters escaped, the
// rest as UTF-8.
void appendJsonString(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

QByteArray ReportExporter::jsonRow(const QStringList &names, const QStringList &cells)
{
    QByteArray line;
    line += '{';
    for (qsizetype c = 0; c < names.size() && c < cells.size(); ++c) {
        if (c > 0)
            line += ',';
        appendJsonString(line, names[c]);
        line += ':';
        appendJsonString(line, cells[c]);
    }
    line += '}';
    return line;
}

bool ReportExporter::writeJson(const ReportTable &table, QIODevice &device)
{
    // The names are the CSV header's (without the empty field after the
    // Ahrefs header's last ";").
    const QStringList names = headerOf(table).mid(0, table.columnCount());
    const int rows = table.rowCount();
    if (device.write("[\n") < 0)
        return false;
    for (int r = 0; r < rows; ++r) {
        QByteArray line = jsonRow(names, table.rowTexts(r));
        line += r + 1 < rows ? ",\n" : "\n";
        if (device.write(line) != line.size())
            return false;
    }
    return device.write("]\n") == 2;
}

void ReportExporter::exportJsonToFile(const ReportTable &table, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw VeltranoError(QStringLiteral("Cannot create file \"%1\". %2").arg(shown, file.errorString()));
    if (!writeJson(table, file) || !file.commit())
        throw VeltranoError(QStringLiteral("Cannot write file \"%1\". %2").arg(shown, file.errorString()));
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
