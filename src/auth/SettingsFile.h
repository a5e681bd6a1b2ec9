#pragma once

#include <QString>
#include <QStringList>

namespace veltrano {

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
// disk never leaves it half-written.
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

    // Writes raise VeltranoError("Unable to write to <path>") when refused.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInt(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value); // "1" or "0"
    // Removes the entry; a missing key, or a delete that fails, is ignored.
    void deleteKey(const QString &section, const QString &key);

private:
    QString m_path;
};

} // namespace veltrano
