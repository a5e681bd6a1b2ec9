#pragma once

#include "reports/SavedState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace veltrano {

// The file that keeps the reports across a restart, "Veltrano.state" beside
// Veltrano.ini. It is read whole or refused whole: a file that is cut
// short, damaged, of another program, of a newer Veltrano, too large, or
// whose rows do not fit the report tables of this one gives no report at
// all, never a part of one.
//
// Layout (numbers little-endian):
//   header:  "VELTSTAT", u32 version (1), u32 CRC-32 of the body, u64 body size
//   body:    u32 report count, then per report:
//            text name, u32 columns, u32 rows, text check, text target,
//            u32 text count, that many texts but the first (the empty one),
//            then per row: text URL, u8 row state, (columns - 1) x u32 text number
//   a text:  u32 byte count, UTF-8 bytes
class SavedStateFile final {
public:
    static constexpr quint32 Version = 1;
    static constexpr qsizetype HeaderSize = 24;
    // Five full reports with long titles take a few tens of megabytes; a
    // file far beyond that is not one of ours and is not read into memory.
    static constexpr qint64 MaxFileSize = qint64(160) * 1024 * 1024;

    // "Veltrano.state" in the folder (which ends with a separator).
    static QString pathIn(const QString &folder);

    // The whole file's bytes.
    static QByteArray encode(const SavedState &state);
    // The state a file's bytes hold, or nothing with the reason in `why`.
    static std::optional<SavedState> decode(QByteArrayView bytes, QString *why = nullptr);
    // The body alone, without the header and its checksum (the fuzz target
    // reaches the body's reader through it).
    static std::optional<SavedState> decodeBody(QByteArrayView body, QString *why = nullptr);
    // A header for the body: a whole file is header + body.
    static QByteArray headerFor(QByteArrayView body, quint32 version = Version);

    enum class ReadResult { Missing, Read, Refused };
    // Reads the file at path into state. A file refused whole names its
    // reason in `why`; its size is tested before it is read.
    static ReadResult read(const QString &path, SavedState &state, QString *why = nullptr);
    // Writes the state in place of the file at path, whole or not at all.
    // Raises a VeltranoError naming the file and the system's reason.
    static void write(const QString &path, const SavedState &state);
    static void writeBytes(const QString &path, const QByteArray &bytes);
    // Moves a refused file out of the way, beside it as
    // "<name>.damaged-<yyyyMMdd-hhmmss>"; returns the new path, or empty
    // when it could not be moved (then it is removed, so that the next
    // start does not meet it again).
    static QString setAside(const QString &path);
};

} // namespace veltrano
