// veltrano-cli against the in-process simulator over real sockets: every
// command, the report written as the window's exporter writes it (CSV) or as
// JSON that reads back, every exit code, Ctrl+C leaving a report of what was
// answered, and --resume going on where a stopped run left.

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/RefreshTokenStore.h"
#include "auth/SettingsFile.h"
#include "cli/CliInterrupt.h"
#include "cli/CliProgram.h"
#include "net/HttpClient.h"
#include "net/RequestTrace.h"
#include "reports/ReportExporter.h"
#include "reports/ReportTable.h"
#include "reports/UrlImporter.h"
#include "services/ServiceTable.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "services/shared/CheckExchange.h"
#include "services/yandex_webmaster/YandexIndexingCheck.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"
#include "support/LoopbackTestSupport.h"
#include "support/RecordingPorts.h"

#include "SimServer.h"
#include "services/DemoAccounts.h"
#include "services/ServiceCatalog.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

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

struct CliResult {
    int code = -1;
    QByteArray out;
    QString err;
};

// The events of a reference run: nothing to do between steps.
struct NoEvents final : EventPump {
    void processPendingEvents() override {}
    void keepPainting() override {}
};

} // namespace

class TestCli final : public QObject {
    Q_OBJECT

    sim::SimServer m_sim;
    Endpoints m_endpoints;
    QTemporaryDir m_dir;

    QString folder() const { return m_dir.path() + QLatin1Char('/'); }
    QString path(const QString &name) const { return folder() + name; }
    SettingsFile settings() const { return SettingsFile(SettingsFile::pathIn(folder())); }

    void writeUrls(const QString &name, const QStringList &urls) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(urls.join(QLatin1Char('\n')).toUtf8());
    }

    CliResult run(const QStringList &args, const QByteArray &input = {}) const
    {
        QByteArray outBytes;
        QByteArray errBytes;
        QByteArray inBytes = input;
        QBuffer out(&outBytes);
        QBuffer err(&errBytes);
        QBuffer in(&inBytes);
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        in.open(QIODevice::ReadOnly);
        cli::Streams streams{out, err, in, false};
        cli::ProgramOptions options;
        options.appFolder = folder();
        cli::clearInterrupt();
        CliResult result;
        result.code = cli::runCli(args, m_endpoints, streams, options);
        result.out = outBytes;
        result.err = QString::fromUtf8(errBytes);
        return result;
    }

    // A POST to the simulator's control interface.
    void control(const QString &target, const QByteArray &body)
    {
        HttpClient client;
        const HttpResponse answer = client.send({"POST",
                                                 QString::fromStdString(m_sim.baseUrl()) + target,
                                                 {QStringLiteral("Content-Type: application/json")},
                                                 body});
        QCOMPARE(answer.status, 200);
    }

    static QByteArray readFile(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        sim::installAllServices(m_sim);
        QVERIFY(m_sim.start());
        m_endpoints = simulatorEndpoints(QString::fromStdString(m_sim.baseUrl()), freePort());
        m_endpoints.retryFirstDelay = std::chrono::milliseconds(0);
        QVERIFY(m_dir.isValid());
        // The accounts as the window keeps them after the sign-ins.
        SettingsFile file = settings();
        for (const ServiceId id : {ServiceId::YandexWebmaster, ServiceId::YandexMetrika}) {
            file.writeString(QString(ServiceTable::of(id).tokenSection), QStringLiteral("main"),
                             QString::fromLatin1(sim::demo::kYandexToken));
        }
        for (const ServiceId id : {ServiceId::SearchConsole, ServiceId::Analytics}) {
            file.writeString(QString(ServiceTable::of(id).tokenSection), QStringLiteral("main"),
                             QString::fromLatin1(sim::demo::kGoogleToken));
        }
        file.writeString(settings::IndexingApiTokenSection, settings::IndexingApiTokenKey,
                         QString::fromLatin1(sim::demo::kGoogleToken));
        file.writeString(settings::AhrefsTokenSection, settings::AhrefsTokenKey,
                         QString::fromLatin1(sim::demo::kAhrefsToken));
        writeUrls(QStringLiteral("urls.txt"), PageUrls);
    }

    void init()
    {
        m_sim.clearScenario();
        m_sim.clearRequests();
    }

    void accountsListsAliasesNeverTokens()
    {
        const CliResult result = run({QStringLiteral("accounts")});
        QCOMPARE(result.code, 0);
        const QString out = QString::fromUtf8(result.out);
        QVERIFY2(out.contains(QStringLiteral("ywm\tmain\n")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("ga\tmain\n")));
        QVERIFY(out.contains(QStringLiteral("ahrefs\tAPI key\n")));
        QVERIFY(!out.contains(QString::fromLatin1(sim::demo::kGoogleToken)));
        QVERIFY(!out.contains(QString::fromLatin1(sim::demo::kAhrefsToken)));
    }

    void sitesOfEachService_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ywm") << "ywm"
                             << "example.com";
        QTest::newRow("metrika") << "metrika"
                                 << "example.com";
        QTest::newRow("gsc") << "gsc"
                             << "https://example.com/";
        QTest::newRow("ga4") << "ga"
                             << "example.com (GA4)\tproperties/";
    }
    void sitesOfEachService()
    {
        QFETCH(QString, service);
        QFETCH(QString, expected);
        const CliResult result =
            run({QStringLiteral("sites"), service, QStringLiteral("--account"), QStringLiteral("main")});
        QCOMPARE(result.code, 0);
        QVERIFY2(QString::fromUtf8(result.out).contains(expected), result.out.constData());
    }

    // Every check of the window from the command line: the CSV under the
    // service's header with one line per row, and the same rows as JSON.
    void everyCheckWritesCsvAndJson_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("service");
        const QStringList site{QStringLiteral("--account"), QStringLiteral("main"), QStringLiteral("--site")};
        QTest::newRow("ywm") << (QStringList{"ywm"} + site + QStringList{"https://example.com/"})
                             << int(ServiceId::YandexWebmaster);
        QTest::newRow("metrika") << (QStringList{"metrika"} + site +
                                     QStringList{"example.com", "--period", "last-90-days"})
                                 << int(ServiceId::YandexMetrika);
        QTest::newRow("gsc") << (QStringList{"gsc"} + site + QStringList{"https://example.com/", "--parallel", "4"})
                             << int(ServiceId::SearchConsole);
        QTest::newRow("gsc whole site") << (QStringList{"gsc"} + site +
                                            QStringList{"https://example.com/", "--whole-site"})
                                        << int(ServiceId::SearchConsole);
        QTest::newRow("inspection") << (QStringList{"inspection"} + site + QStringList{"https://example.com/"})
                                    << int(ServiceId::SearchConsole);
        QTest::newRow("ga4") << (QStringList{"ga"} + site + QStringList{"example.com (GA4)"})
                             << int(ServiceId::Analytics);
        QTest::newRow("ga4 whole site") << (QStringList{"ga"} + site + QStringList{"example.com (GA4)", "--whole-site"})
                                        << int(ServiceId::Analytics);
        QTest::newRow("ahrefs") << QStringList{"ahrefs"} << int(ServiceId::Ahrefs);
    }
    void everyCheckWritesCsvAndJson()
    {
        QFETCH(QStringList, args);
        QFETCH(int, service);
        const QStringList common =
            QStringList{QStringLiteral("check")} + args +
            QStringList{QStringLiteral("--urls"), path(QStringLiteral("urls.txt")), QStringLiteral("--quiet")};
        const QString csvPath = path(QStringLiteral("out.csv"));
        QFile::remove(csvPath);
        const CliResult csv = run(common + QStringList{QStringLiteral("--out"), csvPath});
        QVERIFY2(csv.code == 0, qPrintable(csv.err));
        const QByteArray bytes = readFile(csvPath);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> lines = bytes.mid(3).split('\n');
        QCOMPARE(lines.size(), PageUrls.size() + 2); // header, rows, and the end of the last line
        QVERIFY(lines[1].startsWith("https://example.com/;"));

        // Standard output carries the same bytes.
        const CliResult toStdout = run(common);
        QCOMPARE(toStdout.code, 0);
        QCOMPARE(toStdout.out, bytes);

        const CliResult json = run(common + QStringList{QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(json.code, 0);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.out, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        const QJsonArray rows = doc.array();
        QCOMPARE(rows.size(), PageUrls.size());
        // Each row's values are the CSV line's fields, under the header's names.
        const QString header = QString::fromUtf8(lines[0]).trimmed();
        const QStringList names = header.split(QLatin1Char(';'));
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows[i].toObject();
            QCOMPARE(row.value(names[0]).toString(), PageUrls[i]);
        }
        Q_UNUSED(service);
    }

    // The CSV of the command line is the window's export of the same run:
    // the same check on the same rows, exported by the window's exporter.
    void csvIsTheWindowsExport()
    {
        const QString csvPath = path(QStringLiteral("cli.csv"));
        const CliResult result =
            run({QStringLiteral("check"), QStringLiteral("ywm"), QStringLiteral("--account"), QStringLiteral("main"),
                 QStringLiteral("--site"), QStringLiteral("https://example.com/"), QStringLiteral("--urls"),
                 path(QStringLiteral("urls.txt")), QStringLiteral("--out"), csvPath, QStringLiteral("-q")});
        QCOMPARE(result.code, 0);

        ActivityLog log;
        RecordingPrompt prompt;
        NoEvents events;
        RecordingProgress progress;
        RunControl run(log, events, prompt, progress);
        BusyState busy;
        RequestTrace trace;
        ServiceExchange exchange = makeCheckExchange({log, trace, events, busy, nullptr, &progress, m_endpoints});
        YandexWebmasterClient client(exchange, m_endpoints.yandexWebmasterApi);
        YandexIndexingCheck check(client);
        ReportTable table(ServiceId::YandexWebmaster);
        UrlImporter(log, prompt).importTextFile(table, path(QStringLiteral("urls.txt")), false);
        const QString token = QString::fromLatin1(sim::demo::kYandexToken);
        run.setTable(0, &table);
        run.registerCheck(0, YandexIndexingCheck::checkName(), [&](CheckContext &context) {
            check.run(context, table, QStringLiteral("https:example.com:443"), &token, QStringLiteral("example.com"));
        });
        run.runCheck(0, 0);
        const QString windowPath = path(QStringLiteral("window.csv"));
        ReportExporter::exportToFile(table, windowPath);
        QCOMPARE(readFile(csvPath), readFile(windowPath));
    }

    // Bad input: one line naming the problem, exit code 2 (3 for a missing
    // sign-in), and no report file at all.
    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        const QString urls = QStringLiteral("URLS");
        const QStringList ywm{"check", "ywm", "--account", "main", "--site", "https://example.com/", "--urls", urls};
        QTest::newRow("unknown command") << QStringList{"chek"} << 2 << "unknown command \"chek\"";
        QTest::newRow("unknown option") << (ywm + QStringList{"--fast"}) << 2 << "unknown option \"--fast\"";
        QTest::newRow("parallel 0") << (ywm + QStringList{"--parallel", "0"}) << 2 << "--parallel takes 1 to 8";
        QTest::newRow("parallel 1000") << (ywm + QStringList{"--parallel", "1000"}) << 2 << "--parallel takes 1 to 8";
        QTest::newRow("date form") << QStringList{"check",      "gsc",    "--account",
                                                  "main",       "--site", "https://example.com/",
                                                  "--urls",     urls,     "--from",
                                                  "01.02.2026", "--to",   "2026-02-10"}
                                   << 2 << "is not a date of the form YYYY-MM-DD";
        QTest::newRow("reversed period") << QStringList{"check",      "gsc",    "--account",
                                                        "main",       "--site", "https://example.com/",
                                                        "--urls",     urls,     "--from",
                                                        "2026-02-10", "--to",   "2026-02-01"}
                                         << 2 << "the period is reversed";
        QTest::newRow("period after today")
            << QStringList{"check",  "gsc", "--account", "main",       "--site", "https://example.com/",
                           "--urls", urls,  "--from",    "2026-02-10", "--to",   "2099-02-01"}
            << 2 << "";
        QTest::newRow("missing url file")
            << QStringList{"check", "ywm", "--account", "main", "--site", "https://example.com/", "--urls", "NOFILE"}
            << 2 << "cannot read URL file";
        QTest::newRow("out folder missing") << (ywm + QStringList{"--out", "NODIR/out.csv"}) << 2 << "does not exist";
        QTest::newRow("unknown account") << QStringList{"check",  "ywm",    "--account",
                                                        "other",  "--site", "https://example.com/",
                                                        "--urls", urls}
                                         << 2 << "no Yandex Webmaster account 'other'; connected: main";
        QTest::newRow("site not of the account")
            << QStringList{"check", "ywm", "--account", "main", "--site", "https://example.net/", "--urls", urls} << 2
            << "has no site \"https://example.net/\"";
        QTest::newRow("whole site of ywm") << (ywm + QStringList{"--whole-site"}) << 2 << "--whole-site";
        QTest::newRow("settings missing") << (ywm + QStringList{"--settings", "NOFILE"}) << 2 << "not found";
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, said);
        for (QString &arg : args) {
            arg.replace(QStringLiteral("URLS"), path(QStringLiteral("urls.txt")));
            if (arg == QLatin1String("NOFILE"))
                arg = path(QStringLiteral("no-such-file"));
            if (arg.startsWith(QLatin1String("NODIR")))
                arg.replace(QStringLiteral("NODIR"), path(QStringLiteral("no-such-folder")));
        }
        const CliResult result = run(args + QStringList{QStringLiteral("-q")});
        QCOMPARE(result.code, code);
        QVERIFY2(result.err.contains(said), qPrintable(result.err));
        QVERIFY2(result.err.count(QLatin1Char('\n')) == 1, qPrintable(result.err));
        QVERIFY2(result.out.isEmpty(), result.out.constData());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("no-such-folder"))));
    }

    void signInNeeded()
    {
        // A settings file without any Yandex account.
        QTemporaryDir other;
        const QString empty = other.path() + QStringLiteral("/Veltrano.ini");
        SettingsFile(empty).writeString(QStringLiteral("Settings"), QStringLiteral("parallel-requests"),
                                        QStringLiteral("1"));
        const CliResult none = run({QStringLiteral("sites"), QStringLiteral("ywm"), QStringLiteral("--account"),
                                    QStringLiteral("main"), QStringLiteral("--settings"), empty});
        QCOMPARE(none.code, 3);
        QVERIFY2(none.err.contains(QStringLiteral("no Yandex Webmaster account is connected")), qPrintable(none.err));

        // An account whose expired access the service no longer renews.
        const QString revoked = other.path() + QStringLiteral("/revoked.ini");
        SettingsFile file(revoked);
        const QString section = QString(ServiceTable::of(ServiceId::YandexWebmaster).tokenSection);
        file.apply(RefreshTokenStore(file, section)
                       .changes(QStringLiteral("old"), QStringLiteral("y0_expired_token"),
                                QStringLiteral("1:revoked-refresh-token"),
                                QDateTime::currentDateTimeUtc().addSecs(-3600)));
        const CliResult refused =
            run({QStringLiteral("check"), QStringLiteral("ywm"), QStringLiteral("--account"), QStringLiteral("old"),
                 QStringLiteral("--site"), QStringLiteral("https://example.com/"), QStringLiteral("--urls"),
                 path(QStringLiteral("urls.txt")), QStringLiteral("--settings"), revoked});
        QCOMPARE(refused.code, 3);
        QVERIFY2(refused.err.contains(QStringLiteral("Sign in again")), qPrintable(refused.err));
    }

    void failedRowsGiveOne()
    {
        // Google refuses the first page's figures; the others are answered.
        m_sim.queueResponse("POST", "/googleapis/webmasters/v3/sites/*",
                            sim::Response::json(R"({"error":{"code":403,"message":"No access to this page"}})", 403));
        const CliResult result =
            run({QStringLiteral("check"), QStringLiteral("gsc"), QStringLiteral("--account"), QStringLiteral("main"),
                 QStringLiteral("--site"), QStringLiteral("https://example.com/"), QStringLiteral("--urls"),
                 path(QStringLiteral("urls.txt"))});
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QStringLiteral("1 failed")), qPrintable(result.err));
        QCOMPARE(result.out.count("\r\n"), PageUrls.size() + 1);
    }

    // A spent daily quota stops the run with rows left (4); the next day
    // --resume takes exactly those rows.
    void spentQuotaThenResume()
    {
        // A new day (the earlier tests asked too), then two pages a day.
        control(QStringLiteral("/__sim/ration/searchconsole"), R"({"advanceDay":true})");
        control(QStringLiteral("/__sim/ration/searchconsole"), R"({"perMinute":600,"perDay":2})");
        const QString state = path(QStringLiteral("inspection.state"));
        QFile::remove(state);
        const QStringList args{QStringLiteral("check"),     QStringLiteral("inspection"),
                               QStringLiteral("--account"), QStringLiteral("main"),
                               QStringLiteral("--site"),    QStringLiteral("https://example.com/"),
                               QStringLiteral("--resume"),  state};
        const CliResult spent = run(args + QStringList{QStringLiteral("--urls"), path(QStringLiteral("urls.txt"))});
        QCOMPARE(spent.code, 4);
        QVERIFY2(spent.err.contains(QStringLiteral("is spent: 2 rows were checked, 4 remain")), qPrintable(spent.err));
        QVERIFY(QFileInfo::exists(state));

        control(QStringLiteral("/__sim/ration/searchconsole"), R"({"advanceDay":true})");
        m_sim.clearRequests();
        const CliResult resumed = run(args);
        QCOMPARE(resumed.code, 4); // two more a day
        QCOMPARE(m_sim.requestsTo("/searchconsole/v1/urlInspection/index:inspect").size(), size_t(3));
        control(QStringLiteral("/__sim/ration/searchconsole"), R"({"perDay":0,"perMinute":0})");
        const CliResult done = run(args);
        QVERIFY2(done.code == 0, qPrintable(done.err));
        QVERIFY2(done.err.contains(QStringLiteral("6 rows answered, 0 failed, 0 not reached")), qPrintable(done.err));
    }

    // Ctrl+C stops the run as "Cancel" does: the report holds every row, the
    // answered ones filled, and --resume goes on with the rest.
    void interruptWritesWhatWasAnswered()
    {
        m_sim.setLatency("/yandex-metrika/stat", 50);
        const QString state = path(QStringLiteral("metrika.state"));
        QFile::remove(state);
        const QString csvPath = path(QStringLiteral("partial.csv"));
        const QStringList args{QStringLiteral("check"),     QStringLiteral("metrika"),
                               QStringLiteral("--account"), QStringLiteral("main"),
                               QStringLiteral("--site"),    QStringLiteral("example.com"),
                               QStringLiteral("--out"),     csvPath,
                               QStringLiteral("--resume"),  state};
        std::atomic<bool> stop{false};
        std::thread presser([&] {
            // Ctrl+C once the third page has been asked for.
            while (!stop && m_sim.requestsTo("/yandex-metrika/stat/v1/data/bytime").size() < 3)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            cli::requestInterrupt();
        });
        const CliResult stopped = run(args + QStringList{QStringLiteral("--urls"), path(QStringLiteral("urls.txt"))});
        stop = true;
        presser.join();
        m_sim.setLatency("/yandex-metrika/stat", 0);
        QCOMPARE(stopped.code, 130);
        const QByteArray partial = readFile(csvPath);
        QCOMPARE(partial.count("\r\n"), PageUrls.size() + 1);
        QVERIFY2(stopped.err.contains(QStringLiteral("not reached")), qPrintable(stopped.err));

        m_sim.clearRequests();
        const CliResult resumed = run(args);
        QVERIFY2(resumed.code == 0, qPrintable(resumed.err));
        QVERIFY(m_sim.requestsTo("/yandex-metrika/stat/v1/data/bytime").size() < size_t(PageUrls.size()));
        QCOMPARE(readFile(csvPath).count("\r\n"), PageUrls.size() + 1);
        QVERIFY2(resumed.err.contains(QStringLiteral("6 rows answered")), qPrintable(resumed.err));
    }

    void urlsFromStandardInput()
    {
        const CliResult result = run({QStringLiteral("check"), QStringLiteral("ahrefs"), QStringLiteral("--urls"),
                                      QStringLiteral("-"), QStringLiteral("-q")},
                                     PageUrls.mid(0, 2).join(QLatin1Char('\n')).toUtf8());
        QCOMPARE(result.code, 0);
        QCOMPARE(result.out.count("\r\n"), 3);
    }

    // The query lists as the keywords windows export them.
    void queriesOfEachService_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("site");
        QTest::newRow("ywm") << QStringList{"ywm"} << "https://example.com/";
        QTest::newRow("metrika") << QStringList{"metrika", "--period", "last-90-days"} << "example.com";
        QTest::newRow("gsc") << QStringList{"gsc", "--period", "last-30-days"} << "https://example.com/";
    }
    void queriesOfEachService()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, site);
        const CliResult result =
            run(QStringList{QStringLiteral("queries")} + args +
                QStringList{QStringLiteral("--account"), QStringLiteral("main"), QStringLiteral("--site"), site, "-q"});
        QVERIFY2(result.code == 0, qPrintable(result.err));
        QVERIFY(result.out.startsWith("\xEF\xBB\xBFQuery;"));
        QVERIFY2(result.out.count("\r\n") > 10, result.out.left(300).constData());
    }

    void submitTellsTheIndexingApi()
    {
        // Google accepts the page (the demo account holds no Indexing API
        // scope, so its answer is given here).
        m_sim.queueResponse("POST", "/indexing/v3/urlNotifications:publish",
                            sim::Response::json(R"({"urlNotificationMetadata":{"url":"https://example.com/sale/",)"
                                                R"("latestUpdate":{"url":"https://example.com/sale/",)"
                                                R"("type":"URL_UPDATED","notifyTime":"2026-12-11T10:20:30.5Z"}}})"));
        const CliResult result = run({QStringLiteral("submit"), QStringLiteral("--urls"), QStringLiteral("-")},
                                     QByteArrayLiteral("https://example.com/sale/\n"));
        QVERIFY2(result.code == 0, qPrintable(result.err));
        QCOMPARE(result.out, QByteArray("https://example.com/sale/\tURL_UPDATED\t2026-12-11 10:20:30\n"));
    }

    void helpForEveryCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("overview") << QStringList{"--help"};
        QTest::newRow("accounts") << QStringList{"accounts", "--help"};
        QTest::newRow("sites") << QStringList{"sites", "-h"};
        QTest::newRow("check") << QStringList{"check", "--help"};
        QTest::newRow("queries") << QStringList{"queries", "--help"};
        QTest::newRow("submit") << QStringList{"submit", "-h"};
    }
    void helpForEveryCommand()
    {
        QFETCH(QStringList, args);
        const CliResult result = run(args);
        QCOMPARE(result.code, 0);
        QVERIFY(result.out.startsWith("usage: veltrano-cli"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
