// veltrano-cli against the in-process simulator on loopback.
//
// Run from a Release build:  build-bench/bin/bench_cli
//
// - BM_StartToFirstRequest: the command line started as a process
//   (cli_on_port: veltrano-cli's main with the services at this simulator),
//   "sites ywm", until its first request reaches the simulator.
// - BM_YwmCheck/window: what the window does for a Yandex Webmaster report
//   of 50 000 URLs (45 000 indexed): the URL file imported, "Check URL" (the
//   run frame around the check), "Export to CSV...".
// - BM_YwmCheck/cli: the same as "veltrano-cli check ywm --urls --out" in
//   this process (the settings and the sites list besides). cli_vs_window is
//   the window's time over the command line's: 1 or more means the command
//   line is as fast.
// - BM_YwmCheckProcess: the same command as a process of its own; peak_rss_mb
//   is the process's peak resident memory, as the system counts it.

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "cli/CliProgram.h"
#include "net/RequestTrace.h"
#include "reports/ReportExporter.h"
#include "reports/ReportTable.h"
#include "reports/UrlImporter.h"
#include "services/ServiceTable.h"
#include "services/shared/CheckExchange.h"
#include "services/yandex_webmaster/YandexIndexingCheck.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include "SimServer.h"
#include "services/TokenRegistry.h"
#include "services/YandexWebmasterModule.h"
#include "support/CheckBenchSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

using namespace veltrano;
using namespace benchsupport;
using Module = sim::YandexWebmasterModule;

namespace {

constexpr long long kUserId = 4242;
constexpr int kIndexedPages = 50000;
constexpr int kReportRows = 50000;
constexpr int kMissingRows = 5000;
const char *const kToken = "bench-token";
const QString kHostId = QStringLiteral("https:big.example:443");

struct Service {
    std::unique_ptr<sim::SimServer> server;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    Module module{tokens};
    QStringList reportUrls;
    QTemporaryDir dir;

    Service()
    {
        Module::Site site = Module::generatedSite(kHostId.toStdString(), "https://big.example/", "https://big.example/",
                                                  kIndexedPages, 0);
        for (int i = 0; i < kReportRows - kMissingRows; ++i)
            reportUrls << QString::fromStdString(site.pages[size_t((i * 7919) % kIndexedPages)].url);
        reportUrls.removeDuplicates();
        for (int i = 0; reportUrls.size() < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/not-indexed/%1/").arg(i);
        module.acceptToken(kToken, kUserId);
        module.setSites(kUserId, {std::move(site)});
        server = std::make_unique<sim::SimServer>();
        module.install(*server, module.defaultPrefix());
        if (!server->start())
            std::abort();
        SettingsFile(settingsPath())
            .writeString(QString(ServiceTable::of(ServiceId::YandexWebmaster).tokenSection), QStringLiteral("bench"),
                         QString::fromLatin1(kToken));
        QFile urls(urlsPath());
        if (!urls.open(QIODevice::WriteOnly))
            std::abort();
        urls.write(reportUrls.join(QLatin1Char('\n')).toUtf8());
    }

    QString settingsPath() const { return dir.path() + QStringLiteral("/Veltrano.ini"); }
    QString urlsPath() const { return dir.path() + QStringLiteral("/urls.txt"); }
    QString outPath() const { return dir.path() + QStringLiteral("/out.csv"); }
    Endpoints endpoints() const { return simulatorEndpoints(QString::fromStdString(server->baseUrl()), 42361); }
    QStringList checkArgs() const
    {
        return {QStringLiteral("check"),      QStringLiteral("ywm"),
                QStringLiteral("--account"),  QStringLiteral("bench"),
                QStringLiteral("--site"),     QStringLiteral("https://big.example/"),
                QStringLiteral("--urls"),     urlsPath(),
                QStringLiteral("--out"),      outPath(),
                QStringLiteral("--settings"), settingsPath(),
                QStringLiteral("--quiet")};
    }
};

Service &service()
{
    static Service instance;
    return instance;
}

double g_windowSeconds = 0;

double runWindowCheck(Service &s)
{
    ActivityLog log;
    RequestTrace trace;
    SilentPrompt prompt;
    NoEvents events;
    NoProgress progress;
    BusyState busy;
    const Endpoints endpoints = s.endpoints();
    ServiceExchange exchange = makeCheckExchange({log, trace, events, busy, nullptr, &progress, endpoints});
    YandexWebmasterClient client(exchange, endpoints.yandexWebmasterApi);
    YandexIndexingCheck check(client);
    const auto started = Clock::now();
    ReportTable table(ServiceId::YandexWebmaster);
    UrlImporter(log, prompt).importTextFile(table, s.urlsPath(), false);
    RunControl run(log, events, prompt, progress);
    run.setBusyState(&busy);
    run.setTable(0, &table);
    const QString token = QString::fromLatin1(kToken);
    run.registerCheck(0, YandexIndexingCheck::checkName(),
                      [&](CheckContext &context) { check.run(context, table, kHostId, &token); });
    run.markApiConnected();
    run.checkUrl(0);
    ReportExporter::exportToFile(table, s.outPath());
    return table.rowCount() == kReportRows ? std::chrono::duration<double>(Clock::now() - started).count() : -1;
}

double runCliCheck(Service &s)
{
    QByteArray outBytes, errBytes, inBytes;
    QBuffer out(&outBytes), err(&errBytes), in(&inBytes);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    in.open(QIODevice::ReadOnly);
    cli::Streams streams{out, err, in, false};
    cli::ProgramOptions options;
    options.appFolder = s.dir.path() + QLatin1Char('/');
    const auto started = Clock::now();
    const int code = cli::runCli(s.checkArgs(), s.endpoints(), streams, options);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return code == 0 ? seconds : -1;
}

void BM_YwmCheck(benchmark::State &state)
{
    Service &s = service();
    const bool cli = state.range(0) == 1;
    double total = 0;
    for (auto _ : state) {
        const double seconds = cli ? runCliCheck(s) : runWindowCheck(s);
        if (seconds < 0) {
            state.SkipWithError("the command did not end with 0");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double perRun = total / double(state.iterations());
    state.counters["rows_per_s"] = kReportRows / perRun;
    if (!cli)
        g_windowSeconds = perRun;
    else if (g_windowSeconds > 0)
        state.counters["cli_vs_window"] = g_windowSeconds / perRun;
    state.SetLabel(cli ? "cli" : "window");
}
BENCHMARK(BM_YwmCheck)->Arg(0)->Arg(1)->ArgName("cli")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Starts the command line with args, its output to files; returns its exit
// status and fills its peak resident memory (kB, as it reports it) and the
// time of the first request the simulator saw after the start.
int spawnCli(Service &s, const QStringList &args, long *peakKb, double *firstRequestSeconds)
{
    const QByteArray program = (QCoreApplication::applicationDirPath() + QStringLiteral("/cli_on_port")).toLocal8Bit();
    std::vector<QByteArray> bytes{program, QByteArray::number(s.server->port())};
    for (const QString &arg : args)
        bytes.push_back(arg.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray errPath = (s.dir.path() + QStringLiteral("/stderr.txt")).toLocal8Bit();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    s.server->clearRequests();
    const auto started = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.constData(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return -1;
    if (firstRequestSeconds) {
        *firstRequestSeconds = s.server->waitForRequestCount(1, 10000)
                                   ? std::chrono::duration<double>(Clock::now() - started).count()
                                   : -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (peakKb) {
        QFile err(QString::fromLocal8Bit(errPath));
        *peakKb = -1;
        if (err.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : err.readAll().split('\n')) {
                if (line.startsWith("VmHWM:"))
                    *peakKb = line.mid(6).trimmed().split(' ').value(0).toLong();
            }
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_StartToFirstRequest(benchmark::State &state)
{
    Service &s = service();
    const QStringList args{QStringLiteral("sites"), QStringLiteral("ywm"),        QStringLiteral("--account"),
                           QStringLiteral("bench"), QStringLiteral("--settings"), s.settingsPath()};
    for (auto _ : state) {
        double first = -1;
        if (spawnCli(s, args, nullptr, &first) != 0 || first < 0) {
            state.SkipWithError("cli_on_port did not run (it is built beside this benchmark)");
            return;
        }
        state.SetIterationTime(first);
    }
}
BENCHMARK(BM_StartToFirstRequest)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_YwmCheckProcess(benchmark::State &state)
{
    Service &s = service();
    long peak = 0;
    for (auto _ : state) {
        const auto started = Clock::now();
        if (spawnCli(s, s.checkArgs(), &peak, nullptr) != 0) {
            state.SkipWithError("the command did not end with 0");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
    state.counters["peak_rss_mb"] = double(peak) / 1024.0;
    state.counters["rows"] = kReportRows;
}
BENCHMARK(BM_YwmCheckProcess)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace
