// The settings file reader: Veltrano.ini may have been edited by hand, by
// another program or half-written by a full disk; whatever it holds must
// read without a fault, and a write must not disturb what it does not touch.
//
// The input is "<section>\n<key>\n<value>\n<file contents>". The target
// writes the contents as the settings file, reads them back every way the
// program does, then writes, renames and deletes the key and checks that:
// - a value written reads back (without its surrounding blanks);
// - the keys and values of the other sections stay as they were;
// - a renamed key carries its value, and a deleted key is gone.

#include "FuzzCheck.h"

#include "app/VeltranoError.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/RefreshTokenStore.h"
#include "auth/SettingsFile.h"
#include "auth/TokenStore.h"
#include "services/ServiceTable.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <cstdint>

using namespace veltrano;

namespace {

const QStringList kProgramSections = {
    QStringLiteral("Settings"),
    QStringLiteral("YandexWM_Token"),
    QStringLiteral("YandexMetrika_Token"),
    QStringLiteral("GoogleSC_Token"),
    QStringLiteral("GoogleAnalytics_Token"),
    QStringLiteral("GoogleSC_IndexingApi_Token"),
    QStringLiteral("Ahrefs_Token"),
    QStringLiteral("YandexWM_Token_Refresh"),
    QStringLiteral("YandexWM_Token_Expiry"),
    QStringLiteral("GoogleSC_Token_Refresh"),
    QStringLiteral("GoogleSC_Token_Expiry"),
    QStringLiteral("OAuthApplications"),
};

QString settingsPath()
{
    // In memory where the system offers it: the target writes a file per input.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/veltrano-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/veltrano-fuzz-XXXXXX"));
    return dir.filePath(QStringLiteral("Veltrano.ini"));
}

// Every key and value of a section as the program reads them; each key
// listed can be read.
QList<QPair<QString, QString>> contentsOf(const SettingsFile &file, const QString &section)
{
    // No value read from a line can hold a line break.
    static const QString missing = QStringLiteral("\nmissing");
    QList<QPair<QString, QString>> out;
    for (const QString &key : file.keys(section)) {
        const QString value = file.readString(section, key, missing);
        FUZZ_CHECK(value != missing);
        out.append({key, value});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> head;
    qsizetype pos = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype eol = input.indexOf('\n', pos);
        if (eol < 0)
            return 0;
        head.append(input.mid(pos, eol - pos));
        pos = eol + 1;
    }
    const QString section = QString::fromUtf8(head[0]);
    const QString key = QString::fromUtf8(head[1]);
    const QString value = QString::fromUtf8(head[2]);

    const QString path = settingsPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(input.mid(pos));
    }
    SettingsFile settings(path);

    // Reading: every operation the program uses.
    settings.readString(section, key, QStringLiteral("default"));
    settings.readInt(section, key, 1300);
    settings.readBool(section, key, false);
    settings.hasKey(section, key);
    QHash<QString, QList<QPair<QString, QString>>> before;
    for (const QString &other : kProgramSections)
        before.insert(other, contentsOf(settings, other));
    contentsOf(settings, section);

    const auto othersUnchanged = [&] {
        for (const QString &other : kProgramSections) {
            if (other.compare(section, Qt::CaseInsensitive) != 0)
                FUZZ_CHECK(contentsOf(settings, other) == before.value(other));
        }
    };

    try {
        settings.writeString(section, key, value);
    } catch (const VeltranoError &) {
        return 0; // a name or value the file cannot hold: refused, nothing written
    }
    FUZZ_CHECK(settings.hasKey(section, key));
    FUZZ_CHECK(settings.readString(section, key) == value.trimmed());
    othersUnchanged();

    const QString renamed = key + QStringLiteral("_renamed");
    try {
        settings.renameKey(section, key, renamed);
    } catch (const VeltranoError &) {
        return 0; // the section holds that name already
    }
    FUZZ_CHECK(settings.readString(section, renamed, QStringLiteral("\nmissing")) == value.trimmed());

    settings.deleteKey(section, renamed);
    FUZZ_CHECK(!settings.hasKey(section, renamed));
    othersUnchanged();

    // The user's OAuth applications: read at every sign-in; a pair of the
    // wrong form is refused with a message, never used.
    const Endpoints endpoints;
    for (const SignInKind *kind : ServiceTable::allSignIns()) {
        try {
            const OAuthCredentials used = OAuthApplicationSettings(settings).effective(*kind->application, endpoints);
            FUZZ_CHECK(used.isEmpty() ||
                       OAuthApplicationSettings::problem(*kind->application, used).isEmpty());
        } catch (const VeltranoError &) {
        }
    }

    // An account with its refresh token and expiry: stored in one write,
    // moved by a rename and removed by a delete together, every other
    // section untouched.
    const QStringList companions = RefreshTokenStore::companionSections(section);
    RefreshTokenStore renewal(settings, section);
    renewal.read(key);
    try {
        renewal.store(key, value, value, QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC));
    } catch (const VeltranoError &) {
        return 0;
    }
    if (!value.trimmed().isEmpty()) {
        FUZZ_CHECK(renewal.read(key).refreshToken == value.trimmed());
        FUZZ_CHECK(renewal.read(key).expiry.toSecsSinceEpoch() == 1800000000);
    }
    TokenStore accounts(settings, section);
    try {
        if (!accounts.rename(key, renamed))
            return 0;
    } catch (const VeltranoError &) {
        return 0; // an alias the list refuses: nothing moved
    }
    for (const QString &companion : companions)
        FUZZ_CHECK(!settings.hasKey(companion, key) || key.compare(renamed, Qt::CaseInsensitive) == 0);
    if (!value.trimmed().isEmpty())
        FUZZ_CHECK(renewal.read(renamed).refreshToken == value.trimmed());
    accounts.remove(renamed);
    FUZZ_CHECK(!settings.hasKey(section, renamed));
    for (const QString &companion : companions)
        FUZZ_CHECK(!settings.hasKey(companion, renamed));
    for (const QString &other : kProgramSections) {
        if (other.compare(section, Qt::CaseInsensitive) != 0 && !companions.contains(other, Qt::CaseInsensitive))
            FUZZ_CHECK(contentsOf(settings, other) == before.value(other));
    }
    return 0;
}
