#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

namespace veltrano {

class ActivityLog;
class MessagePrompt;
class ProgressReporter;
class ReportTable;

// Fills a report table with URLs from pasted text, a plain text file or an
// XML sitemap, and deletes single rows. The window supplies the text or the
// chosen path (dialogs and clipboard stay in the window).
//
// Every candidate goes through the same steps, in order: an empty one is
// skipped, then one that is no web address (WebAddress; a host without a
// scheme is taken as https), then one with a picture, script or style sheet
// extension, then
// one already in the table (rows added earlier in the same import count);
// a table at 50 000 rows stops the import with one message; anything else
// becomes a row with empty cells. An import ends, also after a stop at the
// limit, by showing the new rows at once, calling the table-changed hook
// (the window refreshes its buttons and the tab caption) and writing its
// log line. Lines that were no web addresses are counted in one more log
// line and a message; addresses given a scheme in one log line.
//
// A table locked by a running check is left alone: nothing is imported or
// deleted, nothing is logged.
class UrlImporter final {
public:
    enum class Result {
        Imported,       // the import ran to its end
        StoppedAtLimit, // the table reached 50 000 rows
        NotImported,    // file missing or unreadable, not a sitemap, table locked
    };

    UrlImporter(ActivityLog &log, MessagePrompt &prompt);

    void setTableChangedHook(std::function<void(const ReportTable &)> hook) { m_tableChanged = std::move(hook); }

    // Pasted text (the window calls this only when the clipboard holds text):
    // lines split at CR, LF or CR LF, each trimmed of characters 0-32.
    Result pasteText(ReportTable &table, const QString &text, bool noClear);
    // A plain text file; its encoding is recognised as TextFileDecoder says.
    Result importTextFile(ReportTable &table, const QString &path, bool noClear);
    // An XML sitemap: the "loc" of every "url" under the top-level "urlset".
    // The progress bar counts the child nodes of "urlset" and advances per
    // "loc" taken, added or skipped. A file without a byte-order mark whose
    // XML declaration names an encoding other than UTF-8, UTF-16 or UTF-32
    // (windows-1251, say) is read in that encoding; one the program cannot
    // read is refused like a file that is not well-formed.
    Result importSitemap(ReportTable &table, const QString &path, bool noClear, ProgressReporter &progress);

    // The same two imports on a file's bytes once they are read.
    Result importTextData(ReportTable &table, QByteArray bytes, bool noClear);
    Result importSitemapData(ReportTable &table, QByteArray bytes, bool noClear, ProgressReporter &progress);

    // Delete: removes the first of the selected rows (in table order).
    // Returns false with no selection or while the table is locked.
    bool deleteSelectedRow(ReportTable &table, const QList<int> &selectedRows);

    // True for a URL whose extension (from the last "." on, when no "\" or
    // ":" follows that dot) is, with ASCII letters upper-cased, one of .PNG
    // .JPG .GIF .JPEG .ICO .JS .CSS.
    static bool isSkippedExtension(QStringView url);
    // Removes leading and trailing characters with codes 0-32.
    static QStringView trimControlsAndBlanks(QStringView text);

    // Files larger than this are refused with a message rather than read.
    static constexpr qint64 MaxFileSize = 256LL * 1024 * 1024;

private:
    enum class Acceptance { Added, Skipped, LimitReached };
    // What one import took and left, for its closing lines.
    struct Tally {
        int added = 0;
        int notWebAddresses = 0;
        int schemeAdded = 0;
        QString firstWithoutScheme;
    };

    Acceptance accept(ReportTable &table, QString candidate);
    Result importLines(ReportTable &table, QStringView text, bool noClear, const QString &logLine);
    // Reads the sitemap in `bytes` in place: the document's texts are the
    // buffer's own bytes. The buffer is changed on the way, so a complaint
    // about the file is placed in the bytes `original` gives back.
    Result importSitemapInPlace(ReportTable &table, QByteArray bytes, bool noClear, ProgressReporter &progress,
                                const std::function<QByteArray()> &original);
    void finish(ReportTable &table, const QString &logLine);
    // Reads a whole import file; on failure shows the reason and returns false.
    bool readImportFile(const QString &path, QByteArray &bytes);

    ActivityLog &m_log;
    MessagePrompt &m_prompt;
    std::function<void(const ReportTable &)> m_tableChanged;
    Tally m_tally; // of the import under way
};

} // namespace veltrano
