#include "app/VeltranoError.h"
#include "auth/GeneralSettings.h"
#include "auth/SettingsFile.h"

#include <QtTest>

using veltrano::GeneralSettings;
using veltrano::SettingsFile;
using veltrano::VeltranoError;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class GeneralSettingsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = SettingsFile::pathIn(m_dir.path() + QLatin1Char('/'));
        QFile::remove(m_path);
    }

    void loads_data()
    {
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("noClear");

        QTest::newRow("no file: defaults") << false << QByteArray() << 1300 << false;
        QTest::newRow("empty file: defaults") << true << QByteArray() << 1300 << false;
        QTest::newRow("stored values") << true << QByteArray("[Settings]\nreq-predelay=2500\nimport-no-clear=1\n")
                                       << 2500 << true;
        QTest::newRow("below range: lower bound") << true << QByteArray("[Settings]\nreq-predelay=500\n") << 1000
                                                  << false;
        QTest::newRow("above range: upper bound") << true << QByteArray("[Settings]\nreq-predelay=20000\n")
                                                  << 10000 << false;
        QTest::newRow("negative") << true << QByteArray("[Settings]\nreq-predelay=-1\n") << 1000 << false;
        QTest::newRow("beyond int: upper bound")
            << true << QByteArray("[Settings]\nreq-predelay=99999999999\n") << 10000 << false;
        QTest::newRow("letters: default") << true << QByteArray("[Settings]\nreq-predelay=fast\n") << 1300 << false;
        QTest::newRow("hexadecimal") << true << QByteArray("[Settings]\nreq-predelay=0x7D0\n") << 2000 << false;
        QTest::newRow("any non-zero number is true") << true << QByteArray("[Settings]\nimport-no-clear=2\n")
                                                     << 1300 << true;
        QTest::newRow("zero is false") << true << QByteArray("[Settings]\nimport-no-clear=0\n") << 1300 << false;
        QTest::newRow("words are false") << true << QByteArray("[Settings]\nimport-no-clear=true\n") << 1300
                                         << false;
        QTest::newRow("section typed in lower case")
            << true << QByteArray("[settings]\r\nREQ-PREDELAY=3000\r\nImport-No-Clear=1\r\n") << 3000 << true;
    }

    void loads()
    {
        QFETCH(bool, fileExists);
        QFETCH(QByteArray, content);
        QFETCH(int, delay);
        QFETCH(bool, noClear);
        if (fileExists) {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const GeneralSettings loaded = GeneralSettings::load(SettingsFile(m_path));
        QCOMPARE(loaded.requestDelay, delay);
        QCOMPARE(loaded.importNoClear, noClear);
        QCOMPARE(QFile::exists(m_path), fileExists); // loading never creates the file
    }

    void closingCreatesTheFileWithDefaults()
    {
        SettingsFile file(m_path);
        GeneralSettings::load(file).save(file);
        QCOMPARE(readBytes(m_path), QByteArray("[Settings]\nreq-predelay=1300\nimport-no-clear=0\n"));
    }

    void savesWhatWasLoadedBackInRange()
    {
        {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[YandexWM_Token]\ntoken_1=abc\n[Settings]\nimport-no-clear=2\nreq-predelay=500\n");
        }
        SettingsFile file(m_path);
        GeneralSettings::load(file).save(file);
        QCOMPARE(readBytes(m_path),
                 QByteArray("[YandexWM_Token]\ntoken_1=abc\n[Settings]\nimport-no-clear=1\nreq-predelay=1000\n"));
    }

    // "Parallel requests": stored, read back within 1..8, anything else as 1;
    // a file that never held it is written as before.
    void parallelRequests_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("loaded");
        QTest::newRow("missing") << QByteArray() << 1;
        QTest::newRow("four") << QByteArray("parallel-requests=4\n") << 4;
        QTest::newRow("zero: lower bound") << QByteArray("parallel-requests=0\n") << 1;
        QTest::newRow("nine: upper bound") << QByteArray("parallel-requests=9\n") << 8;
        QTest::newRow("negative") << QByteArray("parallel-requests=-3\n") << 1;
        QTest::newRow("garbage: default") << QByteArray("parallel-requests=many\n") << 1;
    }
    void parallelRequests()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, loaded);
        {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Settings]\n" + stored);
        }
        SettingsFile file(m_path);
        GeneralSettings settings = GeneralSettings::load(file);
        QCOMPARE(settings.parallelRequests, loaded);
        settings.save(file);
        const QByteArray written = readBytes(m_path);
        QCOMPARE(written.contains("parallel-requests="), !stored.isEmpty());
        if (!stored.isEmpty())
            QVERIFY2(written.contains("parallel-requests=" + QByteArray::number(loaded) + "\n"), written.constData());

        // Set and set back to one: the file says one.
        settings.parallelRequests = 12;
        settings.save(file);
        QCOMPARE(GeneralSettings::load(file).parallelRequests, 8);
        settings.parallelRequests = 1;
        settings.save(file);
        QCOMPARE(GeneralSettings::load(file).parallelRequests, 1);
    }

    void delayFromFieldText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("number") << "2500" << 2500;
        QTest::newRow("blanks") << " 1300 " << 1300;
        QTest::newRow("not a number: lower bound") << "12a" << 1000;
        QTest::newRow("empty: lower bound") << "" << 1000;
        QTest::newRow("grouped digits: lower bound") << "1 300" << 1000;
        QTest::newRow("above range") << "15000" << 10000;
    }

    void delayFromFieldText()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(GeneralSettings::requestDelayFromText(text), expected);
    }

    void refusedSaveRaises()
    {
        QFile blocker(m_dir.filePath(QStringLiteral("notafolder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SettingsFile file(SettingsFile::pathIn(blocker.fileName() + QLatin1Char('/')));
        QVERIFY_THROWS_EXCEPTION(VeltranoError, GeneralSettings().save(file));
        blocker.remove();
    }
};

QTEST_GUILESS_MAIN(GeneralSettingsTest)
#include "tst_generalsettings.moc"
