#pragma once

#include "services/ServiceTable.h"

#include <QLatin1String>
#include <QString>
#include <QList>
#include <QStringList>
#include <array>
#include <future>
#include <optional>

namespace veltrano {

// Every section and key of Veltrano.ini the program reads or writes.
namespace settings {
inline constexpr QLatin1String FileName("Veltrano.ini");

// The general settings of the Settings page.
inline constexpr QLatin1String GeneralSection("Settings");
inline constexpr QLatin1String RequestDelayKey("req-predelay");
inline constexpr QLatin1String ImportNoClearKey("import-no-clear");
inline constexpr QLatin1String ParallelRequestsKey("parallel-requests");

// Where the main window was when it closed, and the folder of the last CSV
// export (the save dialog's start folder).
inline constexpr QLatin1String WindowSection("Window");
inline constexpr QLatin1String WindowLeftKey("left");
inline constexpr QLatin1String WindowTopKey("top");
inline constexpr QLatin1String WindowWidthKey("width");
inline constexpr QLatin1String WindowHeightKey("height");
inline constexpr QLatin1String WindowMaximizedKey("maximized");
inline constexpr QLatin1String ExportFolderKey("ExportFolder");

// Each service's own sections (its token list, single tokens) are named by
// its descriptor.
} // namespace settings

// Veltrano.ini beside the executable: the general settings and the access
// tokens of the connected accounts. Every operation opens the file, reads or
// writes what it needs and closes it again; nothing is cached, so a change
// made by hand is seen by the next operation.
//
// INI rules: section and key names match without regard to letter case; the
// first of duplicate sections or keys counts; keys list in file order; a new
// key goes to the end of its section, a new section to the end of the file,
// and a missing file is created. The file is UTF-8 (a byte-order mark is
// accepted). Each write replaces the file atomically, so a crash or a full
// disk never leaves it half-written. Writes take turns in the order they are
// asked for, from any thread, so none of them loses what another one wrote.
class SettingsFile final {
public:
    explicit SettingsFile(QString path);

    // appFolder + "Veltrano.ini"; appFolder ends with a separator.
    static QString pathIn(const QString &appFolder);

    const QString &path() const { return m_path; }
    bool exists() const;

    // Value without leading and trailing blanks, or the default when the key
    // (or section, or file) is missing.
    QString readString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // Decimal or "0x" hexadecimal whole number; anything else gives the default.
    int readInt(const QString &section, const QString &key, int defaultValue) const;
    // A whole number other than 0 is true; text that is no number gives the default.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    // Key names of a section in file order; a missing section lists as empty.
    QStringList keys(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    // Every key of a section with its value, in file order, from one read.
    QList<std::pair<QString, QString>> entries(const QString &section) const;
    // The entries of each of several sections, in the order asked, from one
    // read of the file: what reads many sections at once pays for one parse.
    QList<QList<std::pair<QString, QString>>> entriesOf(const QStringList &sections) const;

    // Writes raise VeltranoError("Unable to write to <path>") when refused, and
    // a VeltranoError naming the problem for a section or key name the file
    // cannot hold or a value with a line break (it would add lines of its
    // own). A write that would change nothing leaves the file alone.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInt(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value); // "1" or "0"
    // Removes the entry; a missing key is ignored. A refused write raises
    // VeltranoError("Unable to write to <path>") and the entry stays, so the
    // caller never shows as gone what is still in the file.
    void deleteKey(const QString &section, const QString &key);
    // Moves the value of oldKey (empty when it is missing) to newKey, which
    // becomes the last entry of the section, in one write: the value is never
    // lost between the delete and the write. Raises VeltranoError when another
    // entry of the section already has the name newKey, or when the write is
    // refused. newKey may be oldKey itself, in any letter case.
    void renameKey(const QString &section, const QString &oldKey, const QString &newKey);

    // Several entries changed in one write, so that either all of them or
    // none reach the file. A change without a value deletes its key.
    struct Change {
        QString section;
        QString key;
        std::optional<QString> value;
    };
    void apply(const QList<Change> &changes);
    // The same write carried out on a worker thread; the future raises what
    // apply() would. Names and values are checked at once (raising here). The
    // write takes its place in the order of writes now: every later read or
    // write of a settings file waits for it, so the file reads as if it had
    // been written at the call, and the caller goes on while it waits on the
    // disk.
    std::future<void> applyInBackground(const QList<Change> &changes) const;
    // Raises the VeltranoError apply() would raise for a name or value the
    // file cannot hold, without touching the file.
    static void checkChanges(const QList<Change> &changes);
    // renameKey in `section` and, in the same write, the entry oldKey of each
    // of `companions` moved to newKey there; an entry newKey a companion held
    // already is dropped (it belonged to no account), and so is one that
    // would be left without a value to move.
    void renameKeyWith(const QString &section, const QStringList &companions, const QString &oldKey,
                       const QString &newKey);

    // Whether the file can hold the name as a key: not empty, no "=" or line
    // break inside, no "[" or ";" first, no leading or trailing blanks.
    static bool canHoldKey(const QString &key);
    // A whole number in decimal or with a "0x" prefix in hexadecimal, with an
    // optional sign; numbers beyond the int range saturate at its bounds.
    static std::optional<int> parseWholeNumber(const QString &text);

private:
    QString m_path;
};

} // namespace veltrano
