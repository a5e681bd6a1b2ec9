// The command line's report is the window's export of the same run, byte for
// byte: the real main window, headless, checks pasted pages and exports them;
// veltrano-cli checks the same pages with the same account, site and period
// from the same settings folder, against the same simulator.

#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "cli/CliInterrupt.h"
#include "cli/CliProgram.h"
#include "services/ServiceTable.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "support/LoopbackTestSupport.h"
#include "support/MainWindowHarness.h"

#include "SimServer.h"
#include "services/DemoAccounts.h"
#include "services/ServiceCatalog.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QTest>
#include <QTreeWidget>

using namespace veltrano;
using namespace veltrano::testing;

namespace {

const QStringList PageUrls{
    QStringLiteral("https://example.com/"),
    QStringLiteral("https://example.com/delivery/"),
    QStringLiteral("https://example.com/contacts/"),
    QStringLiteral("https://example.com/sale/"),
    QStringLiteral("https://example.com/catalog/kreslo/uyut/"),
    QStringLiteral("https://example.com/no-such-page/"),
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCliWindow : public QObject {
    Q_OBJECT

    struct Fixture : MainWindowHarness {
        sim::SimServer sim;
        Endpoints endpoints;

        Fixture()
        {
            sim::installAllServices(sim);
            sim.start();
            SettingsFile settings(SettingsFile::pathIn(folder()));
            settings.writeString(QString(ServiceTable::of(ServiceId::YandexWebmaster).tokenSection),
                                 QStringLiteral("token_1"), QString::fromLatin1(sim::demo::kYandexToken));
            settings.writeString(QString(ServiceTable::of(ServiceId::YandexMetrika).tokenSection),
                                 QStringLiteral("token_1"), QString::fromLatin1(sim::demo::kYandexToken));
            settings.writeString(QString(ServiceTable::of(ServiceId::SearchConsole).tokenSection),
                                 QStringLiteral("token_1"), QString::fromLatin1(sim::demo::kGoogleToken));
            settings.writeString(QString(ServiceTable::of(ServiceId::Analytics).tokenSection),
                                 QStringLiteral("token_1"), QString::fromLatin1(sim::demo::kGoogleToken));
            settings.writeString(settings::AhrefsTokenSection, settings::AhrefsTokenKey,
                                 QString::fromLatin1(sim::demo::kAhrefsToken));
            endpoints = simulatorEndpoints(QString::fromStdString(sim.baseUrl()), freePort());
            endpoints.retryFirstDelay = std::chrono::milliseconds(0);
            open(endpoints);
            QFile urls(folder() + QStringLiteral("urls.txt"));
            if (urls.open(QIODevice::WriteOnly))
                urls.write(PageUrls.join(QLatin1Char('\n')).toUtf8());
        }

        // Connects the service's account and chooses the entry whose first
        // column is `name` in its list.
        void choose(const char *connectButton, const char *list, const QString &name) const
        {
            button(connectButton)->click();
            QTreeWidget *entries = find<QTreeWidget>(list);
            for (int i = 0; i < entries->topLevelItemCount(); ++i) {
                if (entries->topLevelItem(i)->text(0) == name)
                    entries->setCurrentItem(entries->topLevelItem(i));
            }
            QVERIFY(entries->currentItem());
        }

        QByteArray windowExport(const QString &name)
        {
            dialogs.saveAnswer = folder() + name;
            button("btExport")->click();
            return readAll(dialogs.saveAnswer);
        }

        int cli(const QStringList &args)
        {
            QByteArray outBytes, errBytes, inBytes;
            QBuffer out(&outBytes), err(&errBytes), in(&inBytes);
            out.open(QIODevice::WriteOnly);
            err.open(QIODevice::WriteOnly);
            in.open(QIODevice::ReadOnly);
            cli::Streams streams{out, err, in, false};
            cli::ProgramOptions options;
            options.appFolder = folder();
            cli::clearInterrupt();
            const int code = cli::runCli(args, endpoints, streams, options);
            if (code != 0)
                qWarning("veltrano-cli: %s", errBytes.constData());
            return code;
        }
    };

private Q_SLOTS:
    void yandexWebmaster()
    {
        Fixture f;
        f.choose("Button6", "ListView1", QStringLiteral("https://example.com/"));
        f.pasteUrls(0, PageUrls);
        f.button("btRunRequests")->click();
        const QByteArray window = f.windowExport(QStringLiteral("window.csv"));
        QVERIFY(window.contains(";Yes;"));

        QCOMPARE(f.cli({"check", "ywm", "--account", "token_1", "--site", "https://example.com/", "--urls",
                        f.folder() + "urls.txt", "--out", f.folder() + "cli.csv", "-q"}),
                 0);
        QCOMPARE(readAll(f.folder() + QStringLiteral("cli.csv")), window);
    }

    // "Check YM" over the Metrika period as the window starts.
    void yandexMetrika()
    {
        Fixture f;
        f.showSettings(1);
        f.choose("Button10", "ListView2", QStringLiteral("example.com"));
        f.pasteUrls(1, PageUrls);
        f.button("btRunRequests")->click();
        const QByteArray window = f.windowExport(QStringLiteral("window.csv"));
        QCOMPARE(window.count("\r\n"), PageUrls.size() + 1);

        QCOMPARE(f.cli({"check", "metrika", "--account", "token_1", "--site", "example.com", "--urls",
                        f.folder() + "urls.txt", "--out", f.folder() + "cli.csv", "-q"}),
                 0);
        QCOMPARE(readAll(f.folder() + QStringLiteral("cli.csv")), window);
    }

    // Ahrefs API v3 with the key of Settings > Ahrefs, its captions in the header.
    void ahrefs()
    {
        Fixture f;
        f.pasteUrls(4, PageUrls);
        f.button("btRunRequests")->click();
        const QByteArray window = f.windowExport(QStringLiteral("window.csv"));
        QVERIFY(window.contains("UR;"));

        QCOMPARE(f.cli({"check", "ahrefs", "--urls", f.folder() + "urls.txt", "--out", f.folder() + "cli.csv", "-q"}),
                 0);
        QCOMPARE(readAll(f.folder() + QStringLiteral("cli.csv")), window);
    }

    // Check GA and its whole-site form on a GA4 property.
    void analytics4_data()
    {
        QTest::addColumn<QString>("check");
        QTest::addColumn<QStringList>("form");
        QTest::newRow("pages") << "Check GA" << QStringList();
        QTest::newRow("whole site") << "Check GA (whole site)" << QStringList{"--whole-site"};
    }
    void analytics4()
    {
        QFETCH(QString, check);
        QFETCH(QStringList, form);
        Fixture f;
        f.showSettings(3);
        f.button("Button18")->click();
        // The user picks the account, then the property.
        const auto pick = [&](const char *name, const QString &text) {
            auto *box = f.find<QComboBox>(name);
            const int index = box->findText(text);
            QVERIFY2(index >= 0, qPrintable(text));
            box->setCurrentIndex(index);
            Q_EMIT box->activated(index);
        };
        pick("ComboBox1", QStringLiteral("Example Furniture"));
        pick("ComboBox2", QStringLiteral("example.com (GA4)"));
        f.pasteUrls(3, PageUrls);
        f.runCheckFromMenu(check);
        const QByteArray window = f.windowExport(QStringLiteral("window.csv"));
        QCOMPARE(window.count("\r\n"), PageUrls.size() + 1);

        QCOMPARE(f.cli(QStringList{"check", "ga", "--account", "token_1", "--site", "example.com (GA4)", "--urls",
                                   f.folder() + "urls.txt", "--out", f.folder() + "cli.csv", "-q"} +
                       form),
                 0);
        QCOMPARE(readAll(f.folder() + QStringLiteral("cli.csv")), window);
    }

    // The three checks of the Search Console report, over the Google period
    // as the window starts (the last 30 days); four pages in flight on the
    // command line, one on the window.
    void searchConsole_data()
    {
        QTest::addColumn<QString>("check");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("Check GSC") << "Check GSC" << QStringList{"gsc"};
        QTest::newRow("URL Inspection") << "URL Inspection API" << QStringList{"inspection"};
        QTest::newRow("whole site") << "Check GSC (whole site)" << QStringList{"gsc", "--whole-site"};
    }
    void searchConsole()
    {
        QFETCH(QString, check);
        QFETCH(QStringList, args);
        Fixture f;
        f.showSettings(2);
        f.choose("Button14", "ListView3", QStringLiteral("https://example.com/"));
        f.pasteUrls(2, PageUrls);
        f.runCheckFromMenu(check);
        const QByteArray window = f.windowExport(QStringLiteral("window.csv"));
        QCOMPARE(window.count("\r\n"), PageUrls.size() + 1);

        QCOMPARE(f.cli(QStringList{"check"} + args +
                       QStringList{"--account", "token_1", "--site", "https://example.com/", "--urls",
                                   f.folder() + "urls.txt", "--out", f.folder() + "cli.csv", "--parallel", "4", "-q"}),
                 0);
        QCOMPARE(readAll(f.folder() + QStringLiteral("cli.csv")), window);
    }
};

QTEST_MAIN(TestCliWindow)
#include "tst_cli_window.moc"
