#include "reports/UrlImporter.h"

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/ReportTable.h"
#include "reports/TextFileDecoder.h"
#include "reports/WebAddress.h"
#include "reports/Windows1251Decoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <utility>

namespace veltrano {

namespace {

const QString kLimitMessage = QStringLiteral("Limitation: no more 50 000 URLs");
const QString kFileNotFound = QStringLiteral("File with inport data not found!");

bool isElementNamed(const pugi::xml_node &node, const char *name)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

// The text of a "loc" element: its text and CDATA pieces joined. False when
// it holds anything else (an element, a comment), so the entry is skipped.
bool locText(const pugi::xml_node &loc, QString &text)
{
    // Nearly always one piece of text: it is decoded straight from the
    // document, without joining it in a buffer first.
    const pugi::xml_node first = loc.first_child();
    if (first && !first.next_sibling() && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata)) {
        text = QString::fromUtf8(first.value());
        return true;
    }
    QByteArray utf8;
    for (const pugi::xml_node &child : loc.children()) {
        if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata)
            return false;
        utf8 += child.value();
    }
    text = QString::fromUtf8(utf8);
    return true;
}

// A reader's complaint about the byte at offset, with its line and column.
QString errorAt(const QString &description, qsizetype offset, const QByteArray &bytes)
{
    offset = std::clamp<qsizetype>(offset, 0, bytes.size());
    const QByteArrayView before(bytes.constData(), offset);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype lastBreak = before.lastIndexOf('\n');
    const qsizetype column = offset - lastBreak;
    return QStringLiteral("%1 (line %2, column %3)").arg(description).arg(line).arg(column);
}

QString parseErrorText(const pugi::xml_parse_result &result, const QByteArray &bytes)
{
    return errorAt(QString::fromUtf8(result.description()), qsizetype(result.offset), bytes);
}

bool isXmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoding named by the XML declaration at the very start of a file
// (<?xml version="1.0" encoding="windows-1251"?>) and where the name
// stands; an empty name when there is no such declaration or it names none.
struct DeclaredEncoding {
    QByteArray name;
    qsizetype offset = 0;
};

DeclaredEncoding declaredEncoding(const QByteArray &bytes)
{
    if (!bytes.startsWith("<?xml") || bytes.size() < 6 || !isXmlBlank(bytes[5]))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return {};
    const QByteArrayView declaration(bytes.constData(), end);
    qsizetype i = declaration.indexOf(QByteArrayView("encoding"));
    if (i < 0 || !isXmlBlank(declaration[i - 1]))
        return {};
    i += 8;
    while (i < end && isXmlBlank(declaration[i]))
        ++i;
    if (i == end || declaration[i] != '=')
        return {};
    ++i;
    while (i < end && isXmlBlank(declaration[i]))
        ++i;
    if (i == end || (declaration[i] != '"' && declaration[i] != '\''))
        return {};
    const char quote = declaration[i++];
    const qsizetype close = declaration.indexOf(quote, i);
    if (close < 0)
        return {};
    return {declaration.sliced(i, close - i).toByteArray(), i};
}

// Encodings the XML reader reads by itself: it tells UTF-8, UTF-16 and
// UTF-32 apart by the byte-order mark or the first characters of the file.
bool readByTheXmlReader(const QByteArray &name)
{
    static const char *const names[] = {"utf-8",  "utf8",     "utf-16",   "utf-16le", "utf-16be", "utf16",
                                        "utf-32", "utf-32le", "utf-32be", "us-ascii", "ascii"};
    const QByteArray lower = name.toLower();
    return std::any_of(std::begin(names), std::end(names), [&](const char *n) { return lower == n; });
}

bool isWindows1251(const QByteArray &name)
{
    const QByteArray lower = name.toLower();
    return lower == "windows-1251" || lower == "cp1251" || lower == "x-cp1251";
}

bool startsWithByteOrderMark(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
           bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4));
}

// The XML reader reads UTF-8, UTF-16 and UTF-32 and takes any other file
// for UTF-8, so a sitemap saved in Windows-1251 would show its Cyrillic
// addresses as U+FFFD. A file whose declaration names another encoding is
// turned into UTF-8 here, by that encoding (Windows-1251 by the program's
// own table, others as Qt knows them), and *asUtf8 is set. False, with the
// reader's kind of complaint in *error, for an encoding that cannot be read
// or bytes that are not text in it.
bool decodeDeclaredEncoding(QByteArray &bytes, bool *asUtf8, QString *error)
{
    *asUtf8 = false;
    if (startsWithByteOrderMark(bytes))
        return true; // the mark decides, whatever the declaration says
    const DeclaredEncoding declared = declaredEncoding(bytes);
    if (declared.name.isEmpty() || readByTheXmlReader(declared.name))
        return true;

    const QString name = QString::fromLatin1(declared.name);
    QString text;
    bool valid = true;
    if (isWindows1251(declared.name)) {
        text = Windows1251Decoder::decode(bytes);
        valid = !text.contains(QChar::ReplacementCharacter); // the one byte the code page leaves undefined
    } else {
        QStringDecoder decoder(declared.name.constData(), QStringDecoder::Flag::Stateless);
        if (!decoder.isValid()) {
            *error = errorAt(QStringLiteral("unknown encoding \"%1\"").arg(name), declared.offset, bytes);
            return false;
        }
        text = decoder.decode(bytes);
        valid = !decoder.hasError();
    }
    if (!valid) {
        *error = errorAt(QStringLiteral("the file is not %1 text").arg(name), declared.offset, bytes);
        return false;
    }
    bytes = text.toUtf8();
    *asUtf8 = true;
    return true;
}

} // namespace

UrlImporter::UrlImporter(ActivityLog &log, MessagePrompt &prompt) : m_log(log), m_prompt(prompt) {}

QStringView UrlImporter::trimControlsAndBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

bool UrlImporter::isSkippedExtension(QStringView url)
{
    const qsizetype dot = url.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QStringView ext = url.sliced(dot);
    if (ext.contains(u'\\') || ext.contains(u':'))
        return false;
    if (ext.size() > 5)
        return false;
    static constexpr QLatin1StringView skipped[] = {
        QLatin1StringView(".PNG"), QLatin1StringView(".JPG"), QLatin1StringView(".GIF"), QLatin1StringView(".JPEG"),
        QLatin1StringView(".ICO"), QLatin1StringView(".JS"),  QLatin1StringView(".CSS"),
    };
    // Only ASCII letters are folded, so "ı" or "ſ" never match.
    const auto matches = [ext](QLatin1StringView name) {
        if (name.size() != ext.size())
            return false;
        for (qsizetype i = 0; i < ext.size(); ++i) {
            char16_t c = ext[i].unicode();
            if (c >= u'a' && c <= u'z')
                c = char16_t(c - (u'a' - u'A'));
            if (c != char16_t(uchar(name[i].toLatin1())))
                return false;
        }
        return true;
    };
    return std::any_of(std::begin(skipped), std::end(skipped), matches);
}

UrlImporter::Acceptance UrlImporter::accept(ReportTable &table, QString candidate)
{
    if (candidate.isEmpty())
        return Acceptance::Skipped;
    switch (WebAddress::classify(candidate)) {
    case WebAddress::Kind::Address:
        break;
    case WebAddress::Kind::HostWithoutScheme:
        if (m_tally.firstWithoutScheme.isEmpty())
            m_tally.firstWithoutScheme = candidate;
        ++m_tally.schemeAdded;
        candidate = WebAddress::withScheme(candidate);
        break;
    case WebAddress::Kind::NotWebAddress:
        ++m_tally.notWebAddresses;
        return Acceptance::Skipped;
    }
    if (isSkippedExtension(candidate))
        return Acceptance::Skipped;
    if (table.rowCountWithStaged() >= ReportTable::RowLimit) {
        if (table.containsUrl(candidate))
            return Acceptance::Skipped;
        m_prompt.show(MessagePrompt::Icon::Information, QStringLiteral("Information"), kLimitMessage);
        return Acceptance::LimitReached;
    }
    // One look-up in the URL index: staging refuses a URL already there.
    if (!table.stageRow(candidate))
        return Acceptance::Skipped;
    ++m_tally.added;
    return Acceptance::Added;
}

void UrlImporter::finish(ReportTable &table, const QString &logLine)
{
    table.commitStagedRows();
    if (m_tableChanged)
        m_tableChanged(table);
    m_log.addToLog(logLine);
    const Tally tally = std::exchange(m_tally, Tally{});
    if (tally.schemeAdded > 0) {
        m_log.addToLog(QStringLiteral("%1 %2 without http:// or https:// taken as https:// (the first: %3)")
                           .arg(tally.schemeAdded)
                           .arg(tally.schemeAdded == 1 ? QStringLiteral("address") : QStringLiteral("addresses"),
                                tally.firstWithoutScheme));
    }
    if (tally.notWebAddresses > 0) {
        const QString text = QStringLiteral("Imported %1 %2, skipped %3 %4")
                                 .arg(tally.added)
                                 .arg(tally.added == 1 ? QStringLiteral("address") : QStringLiteral("addresses"))
                                 .arg(tally.notWebAddresses)
                                 .arg(tally.notWebAddresses == 1 ? QStringLiteral("line that is not a web address")
                                                                 : QStringLiteral("lines that are not web addresses"));
        m_log.addToLog(text);
        m_prompt.show(MessagePrompt::Icon::Information, QStringLiteral("Information"), text + QLatin1Char('.'));
    }
}

UrlImporter::Result UrlImporter::importLines(ReportTable &table, QStringView text, bool noClear, const QString &logLine)
{
    if (!noClear)
        table.clear();
    m_tally = {};
    Result result = Result::Imported;
    TextFileDecoder::forEachLine(text, [&](QStringView line) {
        if (accept(table, trimControlsAndBlanks(line).toString()) == Acceptance::LimitReached) {
            result = Result::StoppedAtLimit;
            return false;
        }
        return true;
    });
    finish(table, logLine);
    return result;
}

UrlImporter::Result UrlImporter::pasteText(ReportTable &table, const QString &text, bool noClear)
{
    if (table.isLocked())
        return Result::NotImported;
    return importLines(table, text, noClear, QStringLiteral("Data pasted from Clipboard"));
}

bool UrlImporter::readImportFile(const QString &path, QByteArray &bytes)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        m_prompt.show(MessagePrompt::Icon::Warning, QStringLiteral("Warning"), kFileNotFound);
        return false;
    }
    if (info.size() > MaxFileSize) {
        m_prompt.show(MessagePrompt::Icon::Warning, QStringLiteral("Warning"),
                      QStringLiteral("The file \"%1\" is too large to import (more than %2 MB).")
                          .arg(QDir::toNativeSeparators(path))
                          .arg(MaxFileSize / (1024 * 1024)));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_prompt.show(
            MessagePrompt::Icon::Error, applicationErrorTitle(),
            QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    // A buffer of the file's size, not of the largest size allowed: the
    // whole allowance would be taken from the system and faulted in page by
    // page. A file that grew since is read on up to the allowance.
    bytes = file.read(std::min<qint64>(info.size(), MaxFileSize) + 1);
    if (bytes.size() > info.size() && file.error() == QFileDevice::NoError)
        bytes += file.read(MaxFileSize + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError || bytes.size() > MaxFileSize) {
        m_prompt.show(
            MessagePrompt::Icon::Error, applicationErrorTitle(),
            QStringLiteral("Cannot read file \"%1\". %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

UrlImporter::Result UrlImporter::importTextFile(ReportTable &table, const QString &path, bool noClear)
{
    if (table.isLocked())
        return Result::NotImported;
    QByteArray bytes;
    if (!readImportFile(path, bytes))
        return Result::NotImported;
    return importTextData(table, std::move(bytes), noClear);
}

UrlImporter::Result UrlImporter::importTextData(ReportTable &table, QByteArray bytes, bool noClear)
{
    if (table.isLocked())
        return Result::NotImported;
    const QString text = TextFileDecoder::decode(bytes);
    bytes = {};
    return importLines(table, text, noClear, QStringLiteral("Data imported from file"));
}

UrlImporter::Result UrlImporter::importSitemap(ReportTable &table, const QString &path, bool noClear,
                                               ProgressReporter &progress)
{
    if (table.isLocked())
        return Result::NotImported;
    QByteArray bytes;
    if (!readImportFile(path, bytes))
        return Result::NotImported;
    // The file is read once more only to place a complaint about it.
    return importSitemapInPlace(table, std::move(bytes), noClear, progress, [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(MaxFileSize + 1) : QByteArray();
    });
}

UrlImporter::Result UrlImporter::importSitemapData(ReportTable &table, QByteArray bytes, bool noClear,
                                                   ProgressReporter &progress)
{
    if (table.isLocked())
        return Result::NotImported;
    // The caller's bytes stay as they are: the reader works on a copy.
    const QByteArray original = bytes;
    return importSitemapInPlace(table, std::move(bytes), noClear, progress, [&original] { return original; });
}

UrlImporter::Result UrlImporter::importSitemapInPlace(ReportTable &table, QByteArray bytes, bool noClear,
                                                      ProgressReporter &progress,
                                                      const std::function<QByteArray()> &original)
{
    if (table.isLocked())
        return Result::NotImported;
    bool asUtf8 = false;
    QString encodingError;
    if (!decodeDeclaredEncoding(bytes, &asUtf8, &encodingError)) {
        m_prompt.show(MessagePrompt::Icon::Warning, QStringLiteral("Warning"),
                      QStringLiteral("Error when parsing the file: ") + encodingError);
        return Result::NotImported;
    }

    // Comments and processing instructions are nodes of "urlset" like the
    // entries; text that is only white space between elements is not.
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(
        bytes.data(), size_t(bytes.size()), pugi::parse_default | pugi::parse_comments | pugi::parse_pi,
        asUtf8 ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (!parsed) {
        // The reader's offset is into the bytes it was given, before it
        // rewrote them: the same bytes are made again from the original.
        QByteArray given = original();
        bool unused = false;
        QString ignored;
        decodeDeclaredEncoding(given, &unused, &ignored);
        m_prompt.show(MessagePrompt::Icon::Warning, QStringLiteral("Warning"),
                      QStringLiteral("Error when parsing the file: ") + parseErrorText(parsed, given));
        return Result::NotImported;
    }

    pugi::xml_node urlset;
    for (const pugi::xml_node &node : doc.children()) {
        if (isElementNamed(node, "urlset")) {
            urlset = node;
            break;
        }
    }
    if (!urlset) {
        m_prompt.show(MessagePrompt::Icon::Warning, QStringLiteral("Warning"),
                      QStringLiteral("The data file has an unacceptable format (no tag URLSET)"));
        return Result::NotImported;
    }

    if (!noClear)
        table.clear();

    m_tally = {};
    int nodes = 0;
    for (auto it = urlset.begin(); it != urlset.end(); ++it)
        ++nodes;
    int position = 0;
    progress.setMaximum(nodes);
    progress.setPosition(position);

    Result result = Result::Imported;
    for (const pugi::xml_node &entry : urlset.children()) {
        if (!isElementNamed(entry, "url"))
            continue;
        pugi::xml_node loc;
        for (const pugi::xml_node &child : entry.children()) {
            if (isElementNamed(child, "loc")) {
                loc = child;
                break;
            }
        }
        QString candidate;
        if (!loc || !locText(loc, candidate))
            continue;
        if (accept(table, candidate) == Acceptance::LimitReached) {
            result = Result::StoppedAtLimit;
            break;
        }
        progress.setPosition(++position);
    }
    finish(table, QStringLiteral("XML data loaded"));
    return result;
}

bool UrlImporter::deleteSelectedRow(ReportTable &table, const QList<int> &selectedRows)
{
    if (selectedRows.isEmpty())
        return false;
    const int row = *std::min_element(selectedRows.begin(), selectedRows.end());
    if (!table.deleteRow(row))
        return false;
    if (m_tableChanged)
        m_tableChanged(table);
    m_log.addToLog(QStringLiteral("URL deleted"));
    return true;
}

} // namespace veltrano
