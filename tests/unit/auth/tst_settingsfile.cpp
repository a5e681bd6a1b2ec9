#include "app/VeltranoError.h"
#include "auth/SettingsFile.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/analytics/AnalyticsDescriptor.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "services/yandex_metrika/YandexMetrikaDescriptor.h"
#include "services/yandex_webmaster/YandexWebmasterDescriptor.h"

#include <QtTest>

#include <climits>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using veltrano::SettingsFile;
using veltrano::VeltranoError;

namespace {

// A byte string with every byte of the literal, NUL bytes included.
template <qsizetype N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

QString expectedWriteError(const QString &path)
{
    return QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Veltrano.ini"));
        QFile::remove(m_path);
    }

    void cleanup()
    {
        // Nothing but the settings file may be left in its folder: no
        // temporary file of an atomic write survives it, finished or failed.
        QDir dir(m_dir.path());
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        const QStringList left = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty() || left == QStringList{QStringLiteral("Veltrano.ini")}, qPrintable(left.join(u' ')));
    }

    void pathIsBesideTheExecutable()
    {
        QCOMPARE(SettingsFile::pathIn(QStringLiteral("/opt/veltrano/")), QStringLiteral("/opt/veltrano/Veltrano.ini"));
        QCOMPARE(SettingsFile::pathIn(QStringLiteral("/opt/veltrano")), QStringLiteral("/opt/veltrano/Veltrano.ini"));
    }

    void readsValues_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected"); // "<default>" when the default comes back

        const QByteArray plain("[Tokens]\nalpha=one\n");
        QTest::newRow("plain") << plain << "Tokens"
                               << "alpha"
                               << "one";
        QTest::newRow("names ignore letter case") << plain << "TOKENS"
                                                  << "Alpha"
                                                  << "one";
        QTest::newRow("lower-case header typed by hand")
            << QByteArray("[yandexwm_token]\ntoken_1=abc\n") << "YandexWM_Token"
            << "Token_1"
            << "abc";
        QTest::newRow("non-ASCII alias, other case")
            << QByteArray("[T]\n\xD1\x82\xD0\xBE\xD0\xBA\xD0\xB5\xD0\xBD=v\n") << "T"
            << QString::fromUtf8("\xD0\xA2\xD0\x9E\xD0\x9A\xD0\x95\xD0\x9D") << "v";
        QTest::newRow("blanks around key and value") << QByteArray("[T]\n  key \t=  some value \t\n") << "T"
                                                     << "key"
                                                     << "some value";
        QTest::newRow("value keeps its own =") << QByteArray("[T]\nk=ya29.a0==\n") << "T"
                                               << "k"
                                               << "ya29.a0==";
        QTest::newRow("empty value is not the default") << QByteArray("[T]\nk=\n") << "T"
                                                        << "k"
                                                        << "";
        QTest::newRow("missing key") << plain << "Tokens"
                                     << "beta"
                                     << "<default>";
        QTest::newRow("missing section") << plain << "Other"
                                         << "alpha"
                                         << "<default>";
        QTest::newRow("key of another section") << QByteArray("[A]\nk=1\n[B]\nj=2\n") << "B"
                                                << "k"
                                                << "<default>";
        QTest::newRow("key before any section") << QByteArray("k=1\n[T]\n") << "T"
                                                << "k"
                                                << "<default>";
        QTest::newRow("empty file") << QByteArray() << "T"
                                    << "k"
                                    << "<default>";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[T]\nk=v\n") << "T"
                                         << "k"
                                         << "v";
        QTest::newRow("CR LF") << QByteArray("[T]\r\nk=v\r\n") << "T"
                               << "k"
                               << "v";
        QTest::newRow("mixed CR LF, LF and CR") << QByteArray("[A]\r\na=1\n[T]\rx=0\r\nk=v") << "T"
                                                << "k"
                                                << "v";
        QTest::newRow("no final line break") << QByteArray("[T]\nk=v") << "T"
                                             << "k"
                                             << "v";
        QTest::newRow("first duplicate section counts") << QByteArray("[T]\nk=first\n[T]\nk=second\nonly=2\n") << "T"
                                                        << "k"
                                                        << "first";
        QTest::newRow("keys of a later duplicate section are not read")
            << QByteArray("[T]\nk=first\n[t]\nonly=2\n") << "T"
            << "only"
            << "<default>";
        QTest::newRow("first duplicate key counts") << QByteArray("[T]\nk=first\nK=second\n") << "T"
                                                    << "k"
                                                    << "first";
        QTest::newRow("line without = is no entry") << QByteArray("[T]\nk\nk=v\n") << "T"
                                                    << "k"
                                                    << "v";
        QTest::newRow("comment is no entry") << QByteArray("[T]\n;k=c\n") << "T"
                                             << ";k"
                                             << "<default>";
        QTest::newRow("header without closing bracket") << QByteArray("[T\nk=v\n") << "T"
                                                        << "k"
                                                        << "v";
        QTest::newRow("binary garbage") << bytes("\x00\xFF\xFE\x01[\x80=\x00\n\x9F") << "T"
                                        << "k"
                                        << "<default>";
        QTest::newRow("invalid UTF-8 elsewhere") << QByteArray("[T]\nbad\xFF\xFE=x\nk=v\n") << "T"
                                                 << "k"
                                                 << "v";
        QTest::newRow("very long value is not cut") << (QByteArray("[T]\nk=") + QByteArray(100000, 'z') + "\n") << "T"
                                                    << "k" << QString(100000, u'z');
        QTest::newRow("UTF-16 with byte-order mark")
            << (QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(u"[T]\r\nk=v\r\n"), 20)) << "T"
            << "k"
            << "v";
    }

    void readsValues()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeBytes(m_path, content);
        const QString value = SettingsFile(m_path).readString(section, key, QStringLiteral("<default>"));
        QCOMPARE(value, expected);
    }

    void missingFileReadsDefaults()
    {
        const SettingsFile file(m_path);
        QVERIFY(!file.exists());
        QCOMPARE(file.readString(QStringLiteral("T"), QStringLiteral("k"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(file.readInt(QStringLiteral("T"), QStringLiteral("k"), 7), 7);
        QVERIFY(file.keys(QStringLiteral("T")).isEmpty());
        QVERIFY(!QFile::exists(m_path)); // reading never creates it
    }

    void listsKeys_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("file order") << QByteArray("[T]\nzeta=1\nalpha=2\nmid=3\n[U]\nother=4\n")
                                    << QStringList{"zeta", "alpha", "mid"};
        QTest::newRow("blanks, comments, lines without =")
            << QByteArray("[T]\n\n; note\n  one = 1\ngarbage\n=novalue\ntwo=\n") << QStringList{"one", "two"};
        QTest::newRow("duplicate key listed once, first spelling")
            << QByteArray("[T]\nKey=1\nother=2\nkey=3\n") << QStringList{"Key", "other"};
        QTest::newRow("only the first duplicate section")
            << QByteArray("[t]\na=1\n[X]\nx=1\n[T]\nb=2\n") << QStringList{"a"};
        QTest::newRow("missing section") << QByteArray("[X]\nx=1\n") << QStringList{};
        QTest::newRow("empty section") << QByteArray("[T]\n[X]\nx=1\n") << QStringList{};
    }

    void listsKeys()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        writeBytes(m_path, content);
        QCOMPARE(SettingsFile(m_path).keys(QStringLiteral("T")), expected);
    }

    void parsesWholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("expected");

        QTest::newRow("decimal") << "1300" << true << 1300;
        QTest::newRow("blanks") << " 42 " << true << 42;
        QTest::newRow("signs") << "-5" << true << -5;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("hex") << "0x1F4" << true << 500;
        QTest::newRow("hex upper") << "0XfF" << true << 255;
        QTest::newRow("too big saturates") << "99999999999999999999" << true << INT_MAX;
        QTest::newRow("too small saturates") << "-99999999999999999999" << true << INT_MIN;
        QTest::newRow("int min") << "-2147483648" << true << INT_MIN;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("trailing letters") << "12abc" << false << 0;
        QTest::newRow("fraction") << "1.5" << false << 0;
        QTest::newRow("bare prefix") << "0x" << false << 0;
        QTest::newRow("hex digits without prefix") << "1F" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("non-ASCII digits") << QString::fromUtf8("\xD9\xA1\xD9\xA2") << false << 0;
    }

    void parsesWholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, expected);
        const std::optional<int> number = SettingsFile::parseWholeNumber(text);
        QCOMPARE(number.has_value(), valid);
        if (valid)
            QCOMPARE(*number, expected);
    }

    void readsIntegersAndFlags()
    {
        writeBytes(m_path, "[S]\ndec=12\nhex=0x10\nword=yes\nzero=0\ntwo=2\n");
        const SettingsFile file(m_path);
        QCOMPARE(file.readInt(QStringLiteral("S"), QStringLiteral("dec"), -1), 12);
        QCOMPARE(file.readInt(QStringLiteral("S"), QStringLiteral("hex"), -1), 16);
        QCOMPARE(file.readInt(QStringLiteral("S"), QStringLiteral("word"), -1), -1);
        QCOMPARE(file.readBool(QStringLiteral("S"), QStringLiteral("two"), false), true);
        QCOMPARE(file.readBool(QStringLiteral("S"), QStringLiteral("zero"), true), false);
        QCOMPARE(file.readBool(QStringLiteral("S"), QStringLiteral("word"), false), false);
        QCOMPARE(file.readBool(QStringLiteral("S"), QStringLiteral("missing"), true), true);
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("replaces in place") << QByteArray("[T]\na=1\nb=2\nc=3\n") << "T"
                                           << "b"
                                           << "new" << QByteArray("[T]\na=1\nb=new\nc=3\n");
        QTest::newRow("replacement keeps the file's spelling") << QByteArray("[t]\n  Token_1 = old \n") << "T"
                                                               << "token_1"
                                                               << "x" << QByteArray("[t]\nToken_1=x\n");
        QTest::newRow("new key after the last entry, before blank lines")
            << QByteArray("[T]\na=1\n\n\n[U]\nu=1\n") << "T"
            << "b"
            << "2" << QByteArray("[T]\na=1\nb=2\n\n\n[U]\nu=1\n");
        QTest::newRow("new key after the last entry, before a closing comment")
            << QByteArray("[T]\na=1\nnot an entry\n; about U\n[U]\n") << "T"
            << "b"
            << "2" << QByteArray("[T]\na=1\nb=2\nnot an entry\n; about U\n[U]\n");
        QTest::newRow("new key in a section without entries") << QByteArray("[T]\n\n[U]\n") << "T"
                                                              << "b"
                                                              << "2" << QByteArray("[T]\nb=2\n\n[U]\n");
        QTest::newRow("new key in the last section without final line break") << QByteArray("[T]\na=1") << "T"
                                                                              << "b"
                                                                              << "2" << QByteArray("[T]\na=1\nb=2\n");
        QTest::newRow("new section at the end") << QByteArray("[T]\na=1\n") << "U"
                                                << "b"
                                                << "2" << QByteArray("[T]\na=1\n[U]\nb=2\n");
        QTest::newRow("new section after a last line without break") << QByteArray("[T]\na=1") << "U"
                                                                     << "b"
                                                                     << "2" << QByteArray("[T]\na=1\n[U]\nb=2\n");
        QTest::newRow("empty file") << QByteArray() << "S"
                                    << "k"
                                    << "v" << QByteArray("[S]\nk=v\n");
        QTest::newRow("CR LF file gets CR LF lines") << QByteArray("[T]\r\na=1\r\n") << "U"
                                                     << "b"
                                                     << "2" << QByteArray("[T]\r\na=1\r\n[U]\r\nb=2\r\n");
        QTest::newRow("mixed endings kept line by line") << QByteArray("[T]\r\na=1\nb=2\r\n[U]\rc=3\n") << "T"
                                                         << "a"
                                                         << "9" << QByteArray("[T]\r\na=9\nb=2\r\n[U]\rc=3\n");
        QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBF[T]\na=1\n") << "T"
                                              << "a"
                                              << "2" << QByteArray("\xEF\xBB\xBF[T]\na=2\n");
        QTest::newRow("first duplicate section written") << QByteArray("[T]\na=1\n[U]\n[T]\nz=0\n") << "t"
                                                         << "b"
                                                         << "2" << QByteArray("[T]\na=1\nb=2\n[U]\n[T]\nz=0\n");
        QTest::newRow("first duplicate key written") << QByteArray("[T]\na=1\nA=2\n") << "T"
                                                     << "a"
                                                     << "3" << QByteArray("[T]\na=3\nA=2\n");
        QTest::newRow("other lines kept byte for byte")
            << bytes("junk before\n[T]\n\xFF\xFE\x00raw\n;c\na=1\n\t[ U ] tail\n") << "T"
            << "a"
            << "2" << bytes("junk before\n[T]\n\xFF\xFE\x00raw\n;c\na=2\n\t[ U ] tail\n");
        QTest::newRow("UTF-8 value") << QByteArray("[T]\n") << "T" << QString::fromUtf8("\xD0\xBC\xD0\xBE\xD0\xB9")
                                     << "\xC3\xA9t\xC3\xA9"
                                     << QByteArray("[T]\n\xD0\xBC\xD0\xBE\xD0\xB9=\xC3\xA9t\xC3\xA9\n");
        QTest::newRow("UTF-16 file stored as UTF-8, entries kept")
            << (QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(u"[T]\r\na=1\r\n"), 20)) << "T"
            << "b"
            << "2" << QByteArray("\xEF\xBB\xBF[T]\r\na=1\r\nb=2\r\n");
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        writeBytes(m_path, before);
        SettingsFile(m_path).writeString(section, key, value);
        QCOMPARE(readBytes(m_path), after);
        QCOMPARE(SettingsFile(m_path).readString(section, key), value);
    }

    void createsMissingFileAndKeepsLongValues()
    {
        SettingsFile file(m_path);
        const QString token(5000, u'T');
        file.writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1"), token);
        file.writeInt(QStringLiteral("Settings"), QStringLiteral("req-predelay"), 1300);
        file.writeBool(QStringLiteral("Settings"), QStringLiteral("import-no-clear"), false);
        QCOMPARE(readBytes(m_path), QByteArray("[YandexWM_Token]\ntoken_1=") + token.toLatin1() +
                                        "\n[Settings]\nreq-predelay=1300\nimport-no-clear=0\n");
        QCOMPARE(file.readString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1")), token);
    }

    void seesHandEditsAtOnce()
    {
        SettingsFile file(m_path);
        file.writeString(QStringLiteral("T"), QStringLiteral("k"), QStringLiteral("mine"));
        writeBytes(m_path, "[T]\nk=edited\n");
        QCOMPARE(file.readString(QStringLiteral("T"), QStringLiteral("k")), QStringLiteral("edited"));
    }

    void deletes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("removes the entry")
            << QByteArray("[T]\na=1\nb=2\n[U]\nb=3\n") << "b" << QByteArray("[T]\na=1\n[U]\nb=3\n");
        QTest::newRow("any letter case") << QByteArray("[t]\nToken_1=x\n") << "TOKEN_1" << QByteArray("[t]\n");
        QTest::newRow("only the first duplicate") << QByteArray("[T]\na=1\na=2\n") << "a" << QByteArray("[T]\na=2\n");
        QTest::newRow("missing key changes nothing") << QByteArray("[T]\r\na=1") << "b" << QByteArray("[T]\r\na=1");
        QTest::newRow("key of another section stays") << QByteArray("[U]\nb=1\n") << "b" << QByteArray("[U]\nb=1\n");
    }

    void deletes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        writeBytes(m_path, before);
        SettingsFile(m_path).deleteKey(QStringLiteral("T"), key);
        QCOMPARE(readBytes(m_path), after);
    }

    void deleteFromMissingFileCreatesNothing()
    {
        SettingsFile(m_path).deleteKey(QStringLiteral("T"), QStringLiteral("k"));
        QVERIFY(!QFile::exists(m_path));
    }

    void renameMovesTheValueInOneWrite()
    {
        writeBytes(m_path, "[T]\none=1\ntwo=2\n\n[U]\n");
        SettingsFile file(m_path);
        file.renameKey(QStringLiteral("T"), QStringLiteral("one"), QStringLiteral("first"));
        QCOMPARE(readBytes(m_path), QByteArray("[T]\ntwo=2\nfirst=1\n\n[U]\n"));
        // Another entry's name is refused and nothing changes.
        QVERIFY_THROWS_EXCEPTION(VeltranoError,
                                 file.renameKey(QStringLiteral("T"), QStringLiteral("first"), QStringLiteral("TWO")));
        QCOMPARE(readBytes(m_path), QByteArray("[T]\ntwo=2\nfirst=1\n\n[U]\n"));
    }

    void refusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");

        QTest::newRow("= in key") << "T"
                                  << "a=b"
                                  << "v";
        QTest::newRow("[ first") << "T"
                                 << "[x"
                                 << "v";
        QTest::newRow("; first") << "T"
                                 << ";x"
                                 << "v";
        QTest::newRow("leading blank") << "T"
                                       << " x"
                                       << "v";
        QTest::newRow("trailing blank") << "T"
                                        << "x\t"
                                        << "v";
        QTest::newRow("empty key") << "T"
                                   << ""
                                   << "v";
        QTest::newRow("line break in key") << "T"
                                           << "a\nb"
                                           << "v";
        QTest::newRow("line break in value") << "T"
                                             << "k"
                                             << "v\r\n[Evil]\nk=1";
        QTest::newRow("bracket in section") << "T]x"
                                            << "k"
                                            << "v";
        QTest::newRow("empty section") << ""
                                       << "k"
                                       << "v";
    }

    void refusesWhatTheFileCannotHold()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before("[T]\nk=old\n");
        writeBytes(m_path, before);
        SettingsFile file(m_path);
        QVERIFY_THROWS_EXCEPTION(VeltranoError, file.writeString(section, key, value));
        QCOMPARE(readBytes(m_path), before);
    }

    void refusedWriteNamesTheFile_data()
    {
        QTest::addColumn<QString>("blocker"); // what stands where the file or its folder should be
        QTest::newRow("folder is a file") << "file";
        QTest::newRow("settings path is a folder") << "folder";
    }

    void refusedWriteNamesTheFile()
    {
        QFETCH(QString, blocker);
        QString path;
        if (blocker == QLatin1String("file")) {
            writeBytes(m_dir.filePath(QStringLiteral("plain")), "x");
            path = m_dir.filePath(QStringLiteral("plain/Veltrano.ini"));
        } else {
            QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("Veltrano.ini")));
            path = m_path;
        }
        SettingsFile file(path);
        try {
            file.writeString(QStringLiteral("Settings"), QStringLiteral("req-predelay"), QStringLiteral("1300"));
            QFAIL("the write went through");
        } catch (const VeltranoError &error) {
            QCOMPARE(error.message(), expectedWriteError(path));
        }
        QCOMPARE(file.readString(QStringLiteral("Settings"), QStringLiteral("req-predelay"), QStringLiteral("d")),
                 QStringLiteral("d"));
        // A delete where there is no file has nothing to remove; one the
        // file refuses says so, rather than looking done.
        if (blocker == QLatin1String("folder"))
            QVERIFY_THROWS_EXCEPTION(VeltranoError,
                                     file.deleteKey(QStringLiteral("Settings"), QStringLiteral("req-predelay")));
        else
            file.deleteKey(QStringLiteral("Settings"), QStringLiteral("req-predelay"));
        QFile::remove(m_dir.filePath(QStringLiteral("plain")));
        QDir(m_dir.path()).rmdir(QStringLiteral("Veltrano.ini"));
    }

    void readOnlyFolderRefusesWritesAndStillReads()
    {
        if (runningAsRoot())
            QSKIP("root writes into read-only folders");
        const QByteArray before("[YandexWM_Token]\ntoken_1=keep\n");
        writeBytes(m_path, before);
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        SettingsFile file(m_path);
        try {
            file.writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_2"), QStringLiteral("new"));
            QFAIL("the write went through");
        } catch (const VeltranoError &error) {
            QCOMPARE(error.message(), expectedWriteError(m_path));
        }
        try {
            file.deleteKey(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1"));
            QFAIL("the delete went through");
        } catch (const VeltranoError &error) {
            QCOMPARE(error.message(), expectedWriteError(m_path));
        }
        QCOMPARE(file.readString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1")), QStringLiteral("keep"));
        QCOMPARE(readBytes(m_path), before);
    }

    void readOnlyOrUnreadableFileIsNotReplaced_data()
    {
        QTest::addColumn<int>("permissions");
        QTest::newRow("read-only file") << int(QFile::ReadOwner);
        QTest::newRow("unreadable file") << int(QFile::WriteOwner);
    }

    void readOnlyOrUnreadableFileIsNotReplaced()
    {
        if (runningAsRoot())
            QSKIP("root reads and writes any file");
        QFETCH(int, permissions);
        const QByteArray before("[T]\na=1\n");
        writeBytes(m_path, before);
        QVERIFY(QFile::setPermissions(m_path, QFile::Permissions(permissions)));
        QVERIFY_THROWS_EXCEPTION(VeltranoError, SettingsFile(m_path).writeString(
                                                    QStringLiteral("T"), QStringLiteral("b"), QStringLiteral("2")));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readBytes(m_path), before);
    }

    void fullDiskLeavesTheOldFileWhole_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("valueSize");
        QTest::newRow("write larger than the buffer") << 4096 << 64 * 1024;
        // The whole file fits in the write buffer: the disk refuses it only
        // when the buffer is flushed, after the first bytes went through.
        QTest::newRow("write within the buffer") << 16 << 20;
    }

    void fullDiskLeavesTheOldFileWhole()
    {
#ifdef Q_OS_UNIX
        QFETCH(int, limit);
        QFETCH(int, valueSize);
        // A file size limit makes every write past it fail as on a full disk.
        const QByteArray before("[T]\ntoken_1=precious\n");
        writeBytes(m_path, before);
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = rlim_t(limit);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString message;
        try {
            SettingsFile(m_path).writeString(QStringLiteral("T"), QStringLiteral("token_2"), QString(valueSize, u'x'));
        } catch (const VeltranoError &error) {
            message = error.message();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(message, expectedWriteError(m_path));
        QCOMPARE(readBytes(m_path), before);
#else
        QSKIP("needs a file size limit");
#endif
    }

    // A write carried out on a worker thread reads and changes the file as if
    // it had happened when asked for: a read right after sees it, and a write
    // asked for later is never undone by it.
    void backgroundWriteKeepsTheOrderOfWrites()
    {
        writeBytes(m_path, "[T]\ntoken_1=old\ntoken_2=gone\n");
        SettingsFile file(m_path);
        std::future<void> written = file.applyInBackground(
            {{QStringLiteral("T"), QStringLiteral("token_1"), QStringLiteral("renewed")},
             {QStringLiteral("T"), QStringLiteral("token_2"), std::nullopt}});
        QCOMPARE(file.readString(QStringLiteral("T"), QStringLiteral("token_1")), QStringLiteral("renewed"));
        file.writeString(QStringLiteral("T"), QStringLiteral("token_1"), QStringLiteral("later"));
        written.get();
        QCOMPARE(readBytes(m_path), QByteArray("[T]\ntoken_1=later\n"));
    }

    // A name the file cannot hold is refused at the call; a write the file
    // refuses raises through the future, and the old file stays.
    void backgroundWriteRefusals()
    {
        SettingsFile file(m_path);
        QVERIFY_THROWS_EXCEPTION(VeltranoError, file.applyInBackground({{QStringLiteral("T"), QStringLiteral("[key"),
                                                                        QStringLiteral("v")}}));
        QVERIFY_THROWS_EXCEPTION(VeltranoError, file.applyInBackground({{QStringLiteral("T"), QStringLiteral("key"),
                                                                        QStringLiteral("two\nlines")}}));
        QVERIFY(!QFileInfo::exists(m_path));

        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("Veltrano.ini")));
        std::future<void> written =
            file.applyInBackground({{QStringLiteral("T"), QStringLiteral("key"), QStringLiteral("v")}});
        try {
            written.get();
            QFAIL("the write went through");
        } catch (const VeltranoError &error) {
            QCOMPARE(error.message(), expectedWriteError(m_path));
        }
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("Veltrano.ini")));
    }

    void handEditedFileRoundTrips()
    {
        const QString fixture = QStringLiteral(VELTRANO_FIXTURES_DIR "/settings/hand-edited.ini");
        const QByteArray original = readBytes(fixture);
        QVERIFY(!original.isEmpty());
        writeBytes(m_path, original);
        SettingsFile file(m_path);
        QCOMPARE(file.keys(veltrano::settings::YandexWebmasterTokens), (QStringList{"token_1", "main site"}));
        QCOMPARE(file.readString(veltrano::settings::YandexWebmasterTokens, QStringLiteral("Main Site")),
                 QStringLiteral("y0_AgAAAAA2"));
        QVERIFY(file.keys(veltrano::settings::YandexMetrikaTokens).isEmpty());
        QCOMPARE(file.keys(veltrano::settings::AnalyticsTokens), (QStringList{"shop", "blog"}));
        QCOMPARE(file.readString(veltrano::settings::AnalyticsTokens, QStringLiteral("shop")),
                 QStringLiteral("ya29.shop"));
        QCOMPARE(file.readString(veltrano::settings::AhrefsTokenSection, veltrano::settings::AhrefsTokenKey),
                 QStringLiteral("ahrefs-0123"));

        // Writing one value changes that line only; writing it back restores the file.
        file.writeString(veltrano::settings::IndexingApiTokenSection, veltrano::settings::IndexingApiTokenKey,
                         QStringLiteral("ya29.other"));
        QByteArray expected = original;
        expected.replace("GSC_IA=ya29.indexing", "GSC_IA=ya29.other");
        QCOMPARE(readBytes(m_path), expected);
        file.writeString(veltrano::settings::IndexingApiTokenSection, veltrano::settings::IndexingApiTokenKey,
                         QStringLiteral("ya29.indexing"));
        QCOMPARE(readBytes(m_path), original);
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
