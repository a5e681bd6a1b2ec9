#include "reports/SavedStateFile.h"

#include "app/VeltranoError.h"
#include "reports/ReportLayout.h"
#include "reports/ReportTable.h"
#include "services/ServiceTable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringEncoder>
#include <QStringView>
#include <QtEndian>

#include <zlib.h>

#include <cstring>
#include <future>
#include <vector>

namespace veltrano {

namespace {

constexpr char kMagic[8] = {'V', 'E', 'L', 'T', 'S', 'T', 'A', 'T'};

quint32 checksum(QByteArrayView bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto *data = reinterpret_cast<const Bytef *>(bytes.data());
    qsizetype left = bytes.size();
    while (left > 0) {
        const auto step = uInt(std::min<qsizetype>(left, qsizetype(1) << 30));
        crc = crc32(crc, data, step);
        data += step;
        left -= step;
    }
    return quint32(crc);
}

quint8 stateByte(RowRunStates::State state)
{
    switch (state) {
    case RowRunStates::State::None:
        return 0;
    case RowRunStates::State::Answered:
        return 1;
    case RowRunStates::State::Failed:
        return 2;
    case RowRunStates::State::NotReached:
        return 3;
    }
    return 0;
}

std::optional<RowRunStates::State> stateOfByte(quint8 byte)
{
    switch (byte) {
    case 0:
        return RowRunStates::State::None;
    case 1:
        return RowRunStates::State::Answered;
    case 2:
        return RowRunStates::State::Failed;
    case 3:
        return RowRunStates::State::NotReached;
    default:
        return std::nullopt;
    }
}

// Writes into a buffer sized beforehand for the most the content can take
// (UTF-8 needs at most three bytes for a UTF-16 unit), through a plain
// pointer: no size check or growth per value. take() cuts the buffer to
// what was written.
class Writer {
public:
    explicit Writer(qsizetype capacity) : m_bytes(capacity, Qt::Uninitialized), m_at(m_bytes.data()) {}
    static qsizetype roomFor(const QString &text) { return 4 + text.size() * 3; }

    void u8(quint8 value) { *m_at++ = char(value); }
    void u32(quint32 value)
    {
        qToLittleEndian(value, m_at);
        m_at += 4;
    }
    void u64(quint64 value)
    {
        qToLittleEndian(value, m_at);
        m_at += 8;
    }
    // The length, then the text as UTF-8; plain ASCII, by far the most
    // common in addresses and figures, is copied without the encoder.
    void text(const QString &text)
    {
        char *start = m_at + 4;
        const char16_t *from = reinterpret_cast<const char16_t *>(text.constData());
        const qsizetype size = text.size();
        qsizetype i = 0;
        for (; i < size && from[i] < 0x80; ++i)
            start[i] = char(from[i]);
        char *end = i == size ? start + size : m_encoder.appendToBuffer(start + i, QStringView(text).sliced(i));
        qToLittleEndian(quint32(end - start), m_at);
        m_at = end;
    }
    void skip(qsizetype count) { m_at += count; }
    QByteArray take()
    {
        m_bytes.truncate(m_at - m_bytes.constData());
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    char *m_at;
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

// One report's part of the body.
QByteArray encodeReport(const SavedReport &report)
{
    const size_t textColumns = size_t(report.columns - 1);
    qsizetype room = Writer::roomFor(report.name) + Writer::roomFor(report.check) + Writer::roomFor(report.target) + 12;
    for (size_t i = 1; i < report.texts.size(); ++i)
        room += Writer::roomFor(report.texts[i]);
    for (const QString &url : report.urls)
        room += Writer::roomFor(url) + 1 + 4 * qsizetype(textColumns);
    Writer out(room + 4);
    out.text(report.name);
    out.u32(quint32(report.columns));
    out.u32(quint32(report.rowCount()));
    out.text(report.check);
    out.text(report.target);
    out.u32(quint32(std::max<size_t>(report.texts.size(), 1)));
    for (size_t i = 1; i < report.texts.size(); ++i)
        out.text(report.texts[i]);
    const quint32 *cell = report.cells.data();
    for (const QString &url : report.urls) {
        out.text(url);
        out.u8(stateByte(report.states.value(url, RowRunStates::State::None)));
        for (size_t c = 0; c < textColumns; ++c)
            out.u32(*cell++);
    }
    return out.take();
}

// Reads the body front to back; every count is tested against the bytes
// left before anything is made for it, so no number in the file can make
// the reader allocate more than the file's own size.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_pos(bytes.data()), m_end(bytes.data() + bytes.size()) {}
    qsizetype left() const { return m_end - m_pos; }
    bool u8(quint8 &value)
    {
        if (left() < 1)
            return false;
        value = quint8(*m_pos++);
        return true;
    }
    bool u32(quint32 &value)
    {
        if (left() < 4)
            return false;
        value = qFromLittleEndian<quint32>(m_pos);
        m_pos += 4;
        return true;
    }
    bool text(QString &text)
    {
        quint32 size = 0;
        if (!u32(size) || qsizetype(size) > left())
            return false;
        text = QString::fromUtf8(m_pos, qsizetype(size));
        m_pos += size;
        return true;
    }

private:
    const char *m_pos;
    const char *m_end;
};

// A refusal with its reason.
std::optional<SavedState> refused(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return std::nullopt;
}

const ReportLayout *layoutNamed(const QString &name)
{
    for (int tab = 0; tab < ServiceTable::count(); ++tab) {
        const ReportLayout *layout = ReportLayout::ofTab(tab);
        if (layout && layout->name() == name)
            return layout;
    }
    return nullptr;
}

} // namespace

QString SavedStateFile::pathIn(const QString &folder)
{
    return folder + QStringLiteral("Veltrano.state");
}

QByteArray SavedStateFile::headerFor(QByteArrayView body, quint32 version)
{
    Writer header(HeaderSize);
    header.u64(0); // the magic's room
    header.u32(version);
    header.u32(checksum(body));
    header.u64(quint64(body.size()));
    QByteArray bytes = header.take();
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    return bytes;
}

QByteArray SavedStateFile::encode(const SavedState &state)
{
    // The reports are encoded side by side, each on a thread of its own:
    // the largest part of a save, and the parts are independent.
    std::vector<std::future<QByteArray>> parts;
    parts.reserve(state.reports.size());
    for (const SavedReport &report : state.reports)
        parts.push_back(std::async(std::launch::async, [&report] { return encodeReport(report); }));
    std::vector<QByteArray> encoded;
    encoded.reserve(parts.size());
    qsizetype size = HeaderSize + 4;
    for (std::future<QByteArray> &part : parts) {
        encoded.push_back(part.get());
        size += encoded.back().size();
    }
    QByteArray bytes(size, Qt::Uninitialized);
    char *at = bytes.data() + HeaderSize;
    qToLittleEndian(quint32(state.reports.size()), at);
    at += 4;
    for (const QByteArray &part : encoded) {
        std::memcpy(at, part.constData(), size_t(part.size()));
        at += part.size();
    }
    const QByteArray header = headerFor(QByteArrayView(bytes).sliced(HeaderSize));
    std::memcpy(bytes.data(), header.constData(), size_t(HeaderSize));
    return bytes;
}

std::optional<SavedState> SavedStateFile::decode(QByteArrayView bytes, QString *why)
{
    if (bytes.size() < HeaderSize)
        return refused(why, QStringLiteral("the file is cut short"));
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return refused(why, QStringLiteral("it is not a Veltrano state file"));
    const quint32 version = qFromLittleEndian<quint32>(bytes.data() + 8);
    const quint32 crc = qFromLittleEndian<quint32>(bytes.data() + 12);
    const quint64 size = qFromLittleEndian<quint64>(bytes.data() + 16);
    if (version > Version)
        return refused(why, QStringLiteral("it was written by a newer Veltrano (version %1)").arg(version));
    if (version != Version)
        return refused(why, QStringLiteral("its version %1 is unknown").arg(version));
    const QByteArrayView body = bytes.sliced(HeaderSize);
    if (size != quint64(body.size()))
        return refused(why, quint64(body.size()) < size ? QStringLiteral("the file is cut short")
                                                        : QStringLiteral("the file has bytes after its end"));
    if (checksum(body) != crc)
        return refused(why, QStringLiteral("its checksum does not match: the file is damaged"));
    return decodeBody(body, why);
}

std::optional<SavedState> SavedStateFile::decodeBody(QByteArrayView body, QString *why)
{
    const QString damaged = QStringLiteral("the file is damaged");
    Reader in(body);
    quint32 reportCount = 0;
    if (!in.u32(reportCount))
        return refused(why, damaged);
    if (reportCount > quint32(ServiceTable::count()))
        return refused(why, QStringLiteral("it holds more reports than there are report tables"));
    SavedState state;
    state.reports.reserve(reportCount);
    QSet<QString> names;
    for (quint32 r = 0; r < reportCount; ++r) {
        SavedReport report;
        quint32 columns = 0;
        quint32 rows = 0;
        if (!in.text(report.name) || !in.u32(columns) || !in.u32(rows))
            return refused(why, damaged);
        const ReportLayout *layout = layoutNamed(report.name);
        if (!layout)
            return refused(why, QStringLiteral("it holds a report \"%1\" that this Veltrano has not").arg(report.name));
        if (names.contains(report.name))
            return refused(why, QStringLiteral("it holds the report \"%1\" twice").arg(report.name));
        names.insert(report.name);
        if (columns != quint32(layout->columnCount()))
            return refused(why, QStringLiteral("its report \"%1\" has %2 columns, the table has %3")
                                    .arg(report.name)
                                    .arg(columns)
                                    .arg(layout->columnCount()));
        if (rows > quint32(ReportTable::RowLimit))
            return refused(why, QStringLiteral("its report \"%1\" has more than %2 rows")
                                    .arg(report.name)
                                    .arg(ReportTable::RowLimit));
        report.columns = int(columns);
        const size_t textColumns = size_t(columns - 1);
        // A row takes at least its URL's byte count, its state and its cells.
        if (qsizetype(rows) * qsizetype(4 + 1 + 4 * textColumns) > in.left())
            return refused(why, damaged);
        quint32 textCount = 0;
        if (!in.text(report.check) || !in.text(report.target) || !in.u32(textCount) || textCount == 0 ||
            qsizetype(textCount - 1) * 4 > in.left())
            return refused(why, damaged);
        report.texts.resize(textCount);
        for (quint32 i = 1; i < textCount; ++i) {
            if (!in.text(report.texts[i]))
                return refused(why, damaged);
        }
        report.urls.resize(rows);
        report.cells.resize(size_t(rows) * textColumns);
        QSet<QStringView> seen;
        seen.reserve(qsizetype(rows));
        quint32 *cell = report.cells.data();
        for (quint32 row = 0; row < rows; ++row) {
            QString &url = report.urls[row];
            quint8 stateCode = 0;
            if (!in.text(url) || !in.u8(stateCode))
                return refused(why, damaged);
            const std::optional<RowRunStates::State> rowState = stateOfByte(stateCode);
            if (url.isEmpty() || !rowState)
                return refused(why, damaged);
            // The table holds each URL once; two rows of one URL would
            // leave one of them out.
            const qsizetype before = seen.size();
            seen.insert(QStringView(url));
            if (seen.size() == before)
                return refused(why, QStringLiteral("its report \"%1\" holds a URL twice").arg(report.name));
            if (*rowState != RowRunStates::State::None)
                report.states.insert(url, *rowState);
            for (size_t c = 0; c < textColumns; ++c, ++cell) {
                if (!in.u32(*cell) || *cell >= textCount)
                    return refused(why, damaged);
            }
        }
        state.reports.push_back(std::move(report));
    }
    if (in.left() != 0)
        return refused(why, damaged);
    return state;
}

SavedStateFile::ReadResult SavedStateFile::read(const QString &path, SavedState &state, QString *why)
{
    QFile file(path);
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return ReadResult::Refused;
    }
    if (file.size() > MaxFileSize) {
        if (why)
            *why = QStringLiteral("it is larger than %1 MB").arg(MaxFileSize / (1024 * 1024));
        return ReadResult::Refused;
    }
    const QByteArray bytes = file.readAll();
    std::optional<SavedState> read = decode(bytes, why);
    if (!read)
        return ReadResult::Refused;
    state = std::move(*read);
    return ReadResult::Read;
}

void SavedStateFile::write(const QString &path, const SavedState &state)
{
    writeBytes(path, encode(state));
}

void SavedStateFile::writeBytes(const QString &path, const QByteArray &bytes)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (bytes.size() > MaxFileSize)
        throw VeltranoError(QStringLiteral("Cannot write file \"%1\". The reports take more than %2 MB")
                                .arg(shown)
                                .arg(MaxFileSize / (1024 * 1024)));
    // Until commit() the bytes live in a temporary file beside the target;
    // the target is replaced only once all of them are on the disk.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw VeltranoError(QStringLiteral("Cannot create file \"%1\". %2").arg(shown, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw VeltranoError(QStringLiteral("Cannot write file \"%1\". %2").arg(shown, file.errorString()));
}

QString SavedStateFile::setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) && n < 100; ++n)
        aside = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (QFile::rename(path, aside))
        return aside;
    QFile::remove(path);
    return {};
}

} // namespace veltrano
