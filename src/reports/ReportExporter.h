#pragma once

#include "reports/ReportLayout.h"

#include <QString>
#include <QStringList>

class QIODevice;

namespace veltrano {

class ActivityLog;
class CsvWriter;
class MessagePrompt;
class ReportTable;

// "Export to CSV...": writes a report table, rows in display order, under
// the header line of its service. Every row is written with its URL and all
// its cells, one line per row, so the fields always match the header.
class ReportExporter final {
public:
    ReportExporter(ActivityLog &log, MessagePrompt &prompt);

    // The file name the save dialog proposes ("export_ywm.csv" ...).
    static QString proposedFileName(ServiceId kind);
    // The header line's fields. The Ahrefs header ends with ";", so its
    // field list ends with an empty field.
    static QStringList headerFields(ServiceId kind);

    // Header and rows to a device.
    static bool write(const ReportTable &table, QIODevice &device);
    // The whole file at once (AtomicCsvFile): nothing is written, and a
    // VeltranoError carries the reason, when the file cannot be created or
    // written; an existing file then stays as it was.
    static void exportToFile(const ReportTable &table, const QString &path);

    // The rows as JSON: an array of one object a row, one row a line, each
    // object the row's texts under the names of the CSV header's fields.
    static bool writeJson(const ReportTable &table, QIODevice &device);
    // The same, whole or not at all, as exportToFile.
    static void exportJsonToFile(const ReportTable &table, const QString &path);
    // One row's object: {"name":"text",...}.
    static QByteArray jsonRow(const QStringList &names, const QStringList &texts);

    // The button's work after the save dialog: an empty path means the
    // dialog was cancelled. Logs "Export to CSV finished" unless the file
    // could not be written, in which case the reason is shown instead.
    bool exportClicked(const ReportTable &table, const QString &chosenPath);

private:
    static void writeLines(const ReportTable &table, CsvWriter &csv);
    // The header's fields, with the captions the table names differently.
    static QStringList headerOf(const ReportTable &table);

    ActivityLog &m_log;
    MessagePrompt &m_prompt;
};

} // namespace veltrano
