#include "auth/SettingsFile.h"

#include "app/VeltranoError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <climits>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace veltrano {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// One line of the file as it stands, so that a rewrite gives back every line
// it does not change byte for byte, whatever its encoding or line ending.
struct Line {
    QByteArray text; // without the line ending
    QByteArray eol;  // "\r\n", "\n", "\r", or empty for a last line without one
};

struct Document {
    bool bom = false;
    QList<Line> lines;

    // The line ending new lines get: the one the file already uses.
    QByteArray newline() const
    {
        for (const Line &line : lines) {
            if (!line.eol.isEmpty())
                return line.eol;
        }
#ifdef Q_OS_WIN
        return QByteArrayLiteral("\r\n");
#else
        return QByteArrayLiteral("\n");
#endif
    }

    QByteArray serialize() const
    {
        QByteArray out;
        if (bom)
            out += Utf8Bom;
        for (const Line &line : lines) {
            out += line.text;
            out += line.eol;
        }
        return out;
    }

    // Inserts a line after the given index (-1: at the top), giving the line
    // before it an ending when it had none.
    void insertAfter(qsizetype index, const QByteArray &text)
    {
        const QByteArray eol = newline();
        if (index >= 0 && lines[index].eol.isEmpty())
            lines[index].eol = eol;
        lines.insert(index + 1, Line{text, eol});
    }
};

enum class LineKind { Other, Section, Entry };

struct LineInfo {
    LineKind kind = LineKind::Other;
    QString name;  // section name or key, without surrounding blanks
    QString value; // entry value, without surrounding blanks
};

LineInfo classify(const QByteArray &raw)
{
    LineInfo info;
    const QString text = QString::fromUtf8(raw).trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char(';')))
        return info;
    if (text.startsWith(QLatin1Char('['))) {
        // "[name]"; a header whose bracket is not closed names the rest of the line.
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        info.kind = LineKind::Section;
        info.name = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
        return info;
    }
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return info; // no "=", or no key before it: not an entry
    info.name = text.left(eq).trimmed();
    if (info.name.isEmpty())
        return info;
    info.kind = LineKind::Entry;
    info.value = text.mid(eq + 1).trimmed();
    return info;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

Document parse(QByteArray bytes)
{
    Document doc;
    if (bytes.startsWith(Utf8Bom)) {
        doc.bom = true;
        bytes.remove(0, Utf8Bom.size());
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        // A file saved as UTF-16 by an editor: read it, and let the next write
        // store it as UTF-8 (keeping a byte-order mark to say so).
        const bool littleEndian = bytes.startsWith("\xFF\xFE");
        QStringDecoder decoder(littleEndian ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString text = decoder.decode(bytes.mid(2));
        bytes = text.toUtf8();
        doc.bom = true;
    }
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = bytes.at(i);
        if (c != '\n' && c != '\r')
            continue;
        Line line{bytes.mid(start, i - start), {}};
        if (c == '\r' && i + 1 < size && bytes.at(i + 1) == '\n') {
            line.eol = QByteArrayLiteral("\r\n");
            ++i;
        } else {
            line.eol = QByteArray(1, c);
        }
        doc.lines.append(line);
        start = i + 1;
    }
    if (start < size)
        doc.lines.append(Line{bytes.mid(start), {}});
    return doc;
}

enum class LoadResult { Missing, Unreadable, Loaded };

LoadResult load(const QString &path, Document &doc)
{
    const QFileInfo info(path);
    if (!info.exists())
        return LoadResult::Missing;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    doc = parse(file.readAll());
    return file.error() == QFileDevice::NoError ? LoadResult::Loaded : LoadResult::Unreadable;
}

// The lines of the first section with this name: [header, end).
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
    bool found() const { return header >= 0; }
};

SectionRange findSection(const Document &doc, const QString &section)
{
    SectionRange range;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const LineInfo info = classify(doc.lines[i].text);
        if (info.kind != LineKind::Section)
            continue;
        if (range.found()) {
            range.end = i;
            return range;
        }
        if (sameName(info.name, section))
            range.header = i;
    }
    if (range.found())
        range.end = doc.lines.size();
    return range;
}

// Index of the first entry of the section with this key, or -1.
qsizetype findKey(const Document &doc, SectionRange range, const QString &key, LineInfo *found = nullptr)
{
    if (!range.found())
        return -1;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        LineInfo info = classify(doc.lines[i].text);
        if (info.kind == LineKind::Entry && sameName(info.name, key)) {
            if (found)
                *found = std::move(info);
            return i;
        }
    }
    return -1;
}

// Removes every entry of the key in the section (a file edited by hand may
// repeat one), so that no later duplicate comes back in its place; returns
// the value of the first.
std::optional<QString> removeAll(Document &doc, const QString &section, const QString &key)
{
    std::optional<QString> first;
    for (;;) {
        LineInfo entry;
        const qsizetype at = findKey(doc, findSection(doc, section), key, &entry);
        if (at < 0)
            return first;
        if (!first)
            first = entry.value;
        doc.lines.removeAt(at);
    }
}

QByteArray entryLine(const QString &key, const QString &value)
{
    return (key + QLatin1Char('=') + value).toUtf8();
}

// Puts a new entry after the last entry of the section (the header when it
// holds none), so blank lines and comments that close it stay where they are;
// a missing section is added at the end of the file.
void appendEntry(Document &doc, const QString &section, const QString &key, const QString &value)
{
    const SectionRange range = findSection(doc, section);
    if (!range.found()) {
        doc.insertAfter(doc.lines.size() - 1, (QLatin1Char('[') + section + QLatin1Char(']')).toUtf8());
        doc.insertAfter(doc.lines.size() - 1, entryLine(key, value));
        return;
    }
    qsizetype last = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (classify(doc.lines[i].text).kind == LineKind::Entry)
            last = i;
    }
    doc.insertAfter(last, entryLine(key, value));
}

bool hasLineBreakOrNul(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0));
}

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

VeltranoError unableToWrite(const QString &path)
{
    return VeltranoError(QStringLiteral("Unable to write to %1").arg(displayPath(path)));
}

void checkNames(const QString &section, const QString &key)
{
    if (section.isEmpty() || section != section.trimmed() || section.contains(QLatin1Char(']')) ||
        hasLineBreakOrNul(section))
        throw VeltranoError(
            QStringLiteral("The settings file cannot hold the section name \"%1\"").arg(section));
    if (!SettingsFile::canHoldKey(key))
        throw VeltranoError(QStringLiteral("The settings file cannot hold the key name \"%1\"").arg(key));
}

// Reads the file, lets edit change it and, when it did, writes the whole file
// anew through a temporary file that replaces the old one only once it is
// complete. A file that exists but cannot be read is never overwritten: its
// entries would be lost. QSaveFile also refuses a file that is read-only.
// The order of the program's writes to its settings files. A write takes its
// turn when it is asked for, on the thread that asks, even when a worker
// thread carries it out later; it waits until every write asked for before it
// is done. A read waits for the writes asked for before it. So the file
// always reads and changes as if each write had happened when asked for, and
// two writes never run at once (each reads the whole file and puts it back:
// together they would drop what the other changed).
class WriteOrder final {
public:
    static WriteOrder &instance()
    {
        static WriteOrder order;
        return order;
    }
    quint64 take()
    {
        const std::lock_guard lock(m_mutex);
        return m_next++;
    }
    void waitForTurn(quint64 ticket)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_serving == ticket; });
    }
    void finish()
    {
        {
            const std::lock_guard lock(m_mutex);
            ++m_serving;
        }
        m_changed.notify_all();
    }
    // Waits until every write asked for so far is done.
    void settle()
    {
        std::unique_lock lock(m_mutex);
        const quint64 asked = m_next;
        m_changed.wait(lock, [&] { return m_serving >= asked; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    quint64 m_next = 0;
    quint64 m_serving = 0;
};

// A write's turn, from its start until it is done, whatever way it ends.
class WriteTurn final {
public:
    explicit WriteTurn(quint64 ticket) { WriteOrder::instance().waitForTurn(ticket); }
    ~WriteTurn() { WriteOrder::instance().finish(); }
    WriteTurn(const WriteTurn &) = delete;
    WriteTurn &operator=(const WriteTurn &) = delete;
};

// Reads the file and, once every write asked for before is done, lets edit
// change it; see rewrite() below. `ticket` is the write's place in the order.
void rewriteInTurn(quint64 ticket, const QString &path, const std::function<bool(Document &)> &edit)
{
    const WriteTurn turn(ticket);
    Document doc;
    const LoadResult loaded = load(path, doc);
    if (loaded == LoadResult::Unreadable)
        throw unableToWrite(path);
    if (!edit(doc))
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw unableToWrite(path);
    const QByteArray bytes = doc.serialize();
    // write() only buffers a small file; the buffer reaches the disk in
    // flush(), whose short write (a full disk, a file size limit) commit()
    // would not report: the file would be replaced by its first bytes.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size() || !file.commit())
        throw unableToWrite(path); // QSaveFile drops its temporary file; the old file stays
}

void rewrite(const QString &path, const std::function<bool(Document &)> &edit)
{
    rewriteInTurn(WriteOrder::instance().take(), path, edit);
}

// Loads the file for a read, after the writes asked for before it.
LoadResult loadSettled(const QString &path, Document &doc)
{
    WriteOrder::instance().settle();
    return load(path, doc);
}

} // namespace

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

QString SettingsFile::pathIn(const QString &appFolder)
{
    if (appFolder.isEmpty() || appFolder.endsWith(QLatin1Char('/')) || appFolder.endsWith(QLatin1Char('\\')))
        return appFolder + settings::FileName;
    return appFolder + QLatin1Char('/') + settings::FileName;
}

bool SettingsFile::exists() const
{
    return QFileInfo(m_path).isFile();
}

QString SettingsFile::readString(const QString &section, const QString &key,
                                 const QString &defaultValue) const
{
    Document doc;
    if (loadSettled(m_path, doc) != LoadResult::Loaded)
        return defaultValue;
    LineInfo entry;
    if (findKey(doc, findSection(doc, section), key, &entry) < 0)
        return defaultValue;
    return entry.value;
}

int SettingsFile::readInt(const QString &section, const QString &key, int defaultValue) const
{
    return parseWholeNumber(readString(section, key)).value_or(defaultValue);
}

bool SettingsFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    const std::optional<int> number = parseWholeNumber(readString(section, key));
    return number ? *number != 0 : defaultValue;
}

QStringList SettingsFile::keys(const QString &section) const
{
    QStringList names;
    Document doc;
    if (loadSettled(m_path, doc) != LoadResult::Loaded)
        return names;
    const SectionRange range = findSection(doc, section);
    if (!range.found())
        return names;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const LineInfo info = classify(doc.lines[i].text);
        // A repeated key is the same key: only its first entry counts.
        if (info.kind == LineKind::Entry && !names.contains(info.name, Qt::CaseInsensitive))
            names.append(info.name);
    }
    return names;
}

namespace {

// Every key of a section with its value, in file order; a repeated key
// counts with its first entry only.
QList<std::pair<QString, QString>> sectionEntries(const Document &doc, const QString &section)
{
    QList<std::pair<QString, QString>> list;
    const SectionRange range = findSection(doc, section);
    if (!range.found())
        return list;
    QStringList seen;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        LineInfo info = classify(doc.lines[i].text);
        if (info.kind == LineKind::Entry && !seen.contains(info.name, Qt::CaseInsensitive)) {
            seen.append(info.name);
            list.append({std::move(info.name), std::move(info.value)});
        }
    }
    return list;
}

} // namespace

QList<std::pair<QString, QString>> SettingsFile::entries(const QString &section) const
{
    Document doc;
    if (loadSettled(m_path, doc) != LoadResult::Loaded)
        return {};
    return sectionEntries(doc, section);
}

QList<QList<std::pair<QString, QString>>> SettingsFile::entriesOf(const QStringList &sections) const
{
    QList<QList<std::pair<QString, QString>>> all(sections.size());
    Document doc;
    if (loadSettled(m_path, doc) != LoadResult::Loaded)
        return all;
    for (qsizetype i = 0; i < sections.size(); ++i)
        all[i] = sectionEntries(doc, sections[i]);
    return all;
}

bool SettingsFile::hasKey(const QString &section, const QString &key) const
{
    Document doc;
    if (loadSettled(m_path, doc) != LoadResult::Loaded)
        return false;
    return findKey(doc, findSection(doc, section), key) >= 0;
}

void SettingsFile::writeString(const QString &section, const QString &key, const QString &value)
{
    checkNames(section, key);
    if (hasLineBreakOrNul(value))
        throw VeltranoError(
            QStringLiteral("The settings file cannot hold a line break in the value of \"%1\"").arg(key));
    rewrite(m_path, [&](Document &doc) {
        const SectionRange range = findSection(doc, section);
        LineInfo entry;
        const qsizetype at = findKey(doc, range, key, &entry);
        if (at >= 0) {
            // Replaced where it stands, under the spelling the file already has.
            const QByteArray line = entryLine(entry.name, value);
            if (line == doc.lines[at].text)
                return false;
            doc.lines[at].text = line;
        } else {
            appendEntry(doc, section, key, value);
        }
        return true;
    });
}

void SettingsFile::writeInt(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void SettingsFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsFile::deleteKey(const QString &section, const QString &key)
{
    rewrite(m_path, [&](Document &doc) {
        const qsizetype at = findKey(doc, findSection(doc, section), key);
        if (at < 0)
            return false;
        doc.lines.removeAt(at);
        return true;
    });
}

void SettingsFile::renameKey(const QString &section, const QString &oldKey, const QString &newKey)
{
    checkNames(section, newKey);
    rewrite(m_path, [&](Document &doc) {
        const SectionRange range = findSection(doc, section);
        LineInfo oldEntry;
        const qsizetype oldAt = findKey(doc, range, oldKey, &oldEntry);
        const qsizetype newAt = findKey(doc, range, newKey);
        if (newAt >= 0 && newAt != oldAt)
            throw VeltranoError(
                QStringLiteral("The section \"%1\" already holds the key \"%2\"").arg(section, newKey));
        if (oldAt >= 0)
            doc.lines.removeAt(oldAt);
        appendEntry(doc, section, newKey, oldEntry.value);
        return true;
    });
}

void SettingsFile::checkChanges(const QList<Change> &changes)
{
    for (const Change &change : changes) {
        checkNames(change.section, change.key);
        if (change.value && hasLineBreakOrNul(*change.value))
            throw VeltranoError(QStringLiteral("The settings file cannot hold a line break in the value of \"%1\"")
                                    .arg(change.key));
    }
}

namespace {

// Puts the changes into the document; false when none of them changes it.
bool applyChanges(Document &doc, const QList<SettingsFile::Change> &changes)
{
    bool changed = false;
    for (const SettingsFile::Change &change : changes) {
        LineInfo entry;
        const qsizetype at = findKey(doc, findSection(doc, change.section), change.key, &entry);
        if (!change.value) {
            if (at >= 0) {
                removeAll(doc, change.section, change.key);
                changed = true;
            }
            continue;
        }
        if (at >= 0) {
            const QByteArray line = entryLine(entry.name, *change.value);
            if (line == doc.lines[at].text)
                continue;
            doc.lines[at].text = line;
        } else {
            appendEntry(doc, change.section, change.key, *change.value);
        }
        changed = true;
    }
    return changed;
}

} // namespace

void SettingsFile::apply(const QList<Change> &changes)
{
    checkChanges(changes);
    rewrite(m_path, [&](Document &doc) { return applyChanges(doc, changes); });
}

std::future<void> SettingsFile::applyInBackground(const QList<Change> &changes) const
{
    checkChanges(changes);
    const quint64 ticket = WriteOrder::instance().take();
    return std::async(std::launch::async, [ticket, path = m_path, changes] {
        rewriteInTurn(ticket, path, [&](Document &doc) { return applyChanges(doc, changes); });
    });
}

void SettingsFile::renameKeyWith(const QString &section, const QStringList &companions, const QString &oldKey,
                                 const QString &newKey)
{
    checkNames(section, newKey);
    for (const QString &companion : companions)
        checkNames(companion, newKey);
    rewrite(m_path, [&](Document &doc) {
        const SectionRange range = findSection(doc, section);
        LineInfo oldEntry;
        const qsizetype oldAt = findKey(doc, range, oldKey, &oldEntry);
        const qsizetype newAt = findKey(doc, range, newKey);
        if (newAt >= 0 && newAt != oldAt)
            throw VeltranoError(
                QStringLiteral("The section \"%1\" already holds the key \"%2\"").arg(section, newKey));
        if (oldAt >= 0)
            doc.lines.removeAt(oldAt);
        appendEntry(doc, section, newKey, oldEntry.value);
        for (const QString &companion : companions) {
            const std::optional<QString> moved = removeAll(doc, companion, oldKey);
            // Whatever stands under the new name is no account's: drop it.
            removeAll(doc, companion, newKey);
            if (moved)
                appendEntry(doc, companion, newKey, *moved);
        }
        return true;
    });
}

bool SettingsFile::canHoldKey(const QString &key)
{
    return !key.isEmpty() && key == key.trimmed() && !key.contains(QLatin1Char('=')) &&
           !hasLineBreakOrNul(key) && !key.startsWith(QLatin1Char('[')) && !key.startsWith(QLatin1Char(';'));
}

std::optional<int> SettingsFile::parseWholeNumber(const QString &text)
{
    QStringView digits = QStringView(text).trimmed();
    bool negative = false;
    if (!digits.isEmpty() && (digits.front() == QLatin1Char('+') || digits.front() == QLatin1Char('-'))) {
        negative = digits.front() == QLatin1Char('-');
        digits = digits.mid(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == QLatin1Char('0') &&
        (digits[1] == QLatin1Char('x') || digits[1] == QLatin1Char('X'))) {
        base = 16;
        digits = digits.mid(2);
    }
    if (digits.isEmpty())
        return std::nullopt;
    // Accumulate up to one past INT_MAX, so INT_MIN still fits; further digits saturate.
    constexpr qint64 limit = qint64(INT_MAX) + 1;
    qint64 magnitude = 0;
    for (const QChar ch : digits) {
        const char16_t c = ch.unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = std::min(limit, magnitude * base + digit);
    }
    if (negative)
        return magnitude >= limit ? INT_MIN : -int(magnitude);
    return int(std::min<qint64>(magnitude, INT_MAX));
}

} // namespace veltrano
