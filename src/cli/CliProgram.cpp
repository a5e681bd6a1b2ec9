#include "cli/CliProgram.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/CheckContext.h"
#include "app/QuotaSpent.h"
#include "app/RunControl.h"
#include "app/SignInRequired.h"
#include "app/VeltranoError.h"
#include "auth/AccountRenewal.h"
#include "auth/GeneralSettings.h"
#include "auth/SettingsFile.h"
#include "auth/TokenStore.h"
#include "cli/CliArguments.h"
#include "cli/CliConsole.h"
#include "cli/CliInterrupt.h"
#include "net/RequestTrace.h"
#include "net/UrlKey.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"
#include "reports/KeywordTable.h"
#include "reports/ReportExporter.h"
#include "reports/ReportTable.h"
#include "reports/StateKeeper.h"
#include "reports/UrlImporter.h"
#include "services/ServiceTable.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/ahrefs/AhrefsV3Client.h"
#include "services/ahrefs/AhrefsV3UrlCheck.h"
#include "services/analytics/AnalyticsChecks.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/Ga4Client.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/IndexingApiSubmission.h"
#include "services/search_console/SearchConsoleCheck.h"
#include "services/search_console/SearchConsoleChecks.h"
#include "services/search_console/SearchConsoleProperties.h"
#include "services/search_console/SearchConsoleQueries.h"
#include "services/shared/CheckExchange.h"
#include "services/yandex_metrika/YandexCounterList.h"
#include "services/yandex_metrika/YandexMetrikaClient.h"
#include "services/yandex_metrika/YandexSearchPhrases.h"
#include "services/yandex_metrika/YandexTrafficCheck.h"
#include "services/yandex_webmaster/YandexHostList.h"
#include "services/yandex_webmaster/YandexIndexingCheck.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <memory>
#include <vector>

namespace veltrano::cli {

namespace {

// A command that cannot go on: its exit code and the one line that says why.
struct Failure {
    int code;
    QString message;
};

// A site, property, counter or view as `sites` lists it and --site names it.
struct SiteEntry {
    QString name;
    QString id;
    QString websiteUrl; // a Universal Analytics view's site
    bool ga4 = false;
};

ServiceId serviceIdOf(const QString &key)
{
    if (key == QLatin1String("ywm"))
        return ServiceId::YandexWebmaster;
    if (key == QLatin1String("metrika"))
        return ServiceId::YandexMetrika;
    if (key == QLatin1String("gsc"))
        return ServiceId::SearchConsole;
    if (key == QLatin1String("ga"))
        return ServiceId::Analytics;
    return ServiceId::Ahrefs;
}

QString serviceKeyOf(ServiceId id)
{
    switch (id) {
    case ServiceId::YandexWebmaster:
        return QStringLiteral("ywm");
    case ServiceId::YandexMetrika:
        return QStringLiteral("metrika");
    case ServiceId::SearchConsole:
        return QStringLiteral("gsc");
    case ServiceId::Analytics:
        return QStringLiteral("ga");
    case ServiceId::Ahrefs:
        return QStringLiteral("ahrefs");
    }
    return {};
}

// Whether a text names an entry: its name or id exactly, the last parts of
// a name of several ("example.com (GA4)" for "Example Furniture /
// example.com (GA4)"), the same web address as its name (by the URL key:
// "https://Example.com" is "https://example.com/"), or for a GA4 property
// its bare number.
bool names(const SiteEntry &entry, const QString &wanted)
{
    if (entry.name == wanted || entry.id == wanted)
        return true;
    if (entry.name.endsWith(QStringLiteral(" / ") + wanted))
        return true;
    if (entry.ga4 && entry.id == QStringLiteral("properties/") + wanted)
        return true;
    if (wanted.contains(QStringLiteral("://")) && entry.name.contains(QStringLiteral("://")))
        return UrlKey::of(entry.name) == UrlKey::of(wanted);
    return false;
}

const SiteEntry &findSite(const std::vector<SiteEntry> &entries, const QString &wanted, ServiceId service,
                          const QString &alias)
{
    const QString serviceName = ServiceTable::of(service).name;
    const SiteEntry *found = nullptr;
    int matches = 0;
    for (const SiteEntry &entry : entries) {
        if (entry.name == wanted || entry.id == wanted) {
            found = &entry; // an exact name or id wins over a looser match
            matches = 1;
            break;
        }
        if (names(entry, wanted)) {
            found = &entry;
            ++matches;
        }
    }
    if (matches > 1)
        throw Failure{BadUsage, QStringLiteral("several entries of %1 account '%2' match \"%3\": give its id (see "
                                               "veltrano-cli sites)")
                                    .arg(serviceName, alias, wanted)};
    if (!found)
        throw Failure{BadUsage, QStringLiteral("%1 account '%2' has no site \"%3\" (see veltrano-cli sites %4 "
                                               "--account %2)")
                                    .arg(serviceName, alias, wanted, serviceKeyOf(service))};
    return *found;
}

// Everything a command runs on, built as the window builds it: the log, the
// trace, the run frame with its ports, the settings file with the renewal
// of expiring sign-ins, the periods, and one report table per service.
class Session final {
public:
    Session(const Arguments &arguments, const Endpoints &endpoints, Streams &streams, const ProgramOptions &options)
        : m_args(arguments), m_endpoints(endpoints), m_streams(streams),
          console(streams.err, streams.errIsTerminal, arguments.quiet), prompt(console), progress(console),
          periods(options.clock), run(log, pump, prompt, progress),
          settings(arguments.settingsFile.isEmpty() ? SettingsFile::pathIn(options.appFolder) : arguments.settingsFile)
    {
        QObject::connect(&log, &ActivityLog::messageAdded, [this](const QString &message) {
            console.logLine(ActivityLog::formatTime(QTime::currentTime(), QLatin1Char(':')) + QLatin1Char(' ') +
                            message);
        });
        // Ctrl+C: a running check stops as "Cancel" stops it; a request
        // before the check (the list of sites) is abandoned.
        pump.setOnInterrupt([this] {
            if (run.isRunning())
                run.cancelClicked();
            else
                busy.abortRequests();
        });
        run.setBusyState(&busy);
        // Every report is known to the run frame, as the window's are: the
        // state file keeps all of them.
        for (int tab = 0; tab < ServiceTable::count(); ++tab) {
            tables.push_back(std::make_unique<ReportTable>(ServiceTable::ofTab(tab)->id));
            run.setTable(tab, tables.back().get());
        }
    }

    // The settings file must be there and readable: the accounts are in it.
    void requireSettings()
    {
        const QString shown = QDir::toNativeSeparators(settings.path());
        if (!settings.exists())
            throw Failure{m_args.settingsFile.isEmpty() ? SignInNeeded : BadUsage,
                          QStringLiteral("settings file %1 not found: connect the accounts in the window first, or "
                                         "give --settings FILE")
                              .arg(shown)};
        QFile file(settings.path());
        if (!file.open(QIODevice::ReadOnly))
            throw Failure{BadUsage, QStringLiteral("cannot read settings file %1: %2").arg(shown, file.errorString())};
        renewal = std::make_unique<AccountRenewal>(m_endpoints, settings, log, trace);
    }

    ServiceExchange exchange()
    {
        return makeCheckExchange({log, trace, pump, busy, renewal.get(), &run.progress(), m_endpoints});
    }

    // The access token of the account the user named.
    QString tokenOf(ServiceId service, const QString &alias)
    {
        const ServiceDescriptor &descriptor = ServiceTable::of(service);
        const QString name = descriptor.name;
        const TokenStore store(settings, QString(descriptor.tokenSection));
        const QStringList aliases = store.aliases();
        if (aliases.isEmpty())
            throw Failure{SignInNeeded, QStringLiteral("no %1 account is connected: sign in with \"Add\" on "
                                                       "Settings > %1 in the window")
                                            .arg(name)};
        for (const QString &known : aliases) {
            if (known.compare(alias, Qt::CaseInsensitive) != 0)
                continue;
            const QString token = store.token(known);
            if (token.isEmpty())
                throw Failure{SignInNeeded, QStringLiteral("the %1 account '%2' holds no access token: sign in "
                                                           "again with \"Add\" in the window")
                                                .arg(name, known)};
            return token;
        }
        throw Failure{
            BadUsage,
            QStringLiteral("no %1 account '%2'; connected: %3").arg(name, alias, aliases.join(QStringLiteral(", ")))};
    }

    ReportTable &table(ServiceId service) { return *tables[size_t(service)]; }
    std::vector<ReportTable *> tablePointers() const
    {
        std::vector<ReportTable *> list;
        for (const auto &t : tables)
            list.push_back(t.get());
        return list;
    }

    const Arguments &m_args;
    const Endpoints &m_endpoints;
    Streams &m_streams;
    Console console;
    ConsolePrompt prompt;
    ConsoleProgress progress;
    ConsoleEventPump pump;
    ActivityLog log;
    RequestTrace trace;
    BusyState busy;
    ReportingPeriods periods;
    RunControl run;
    SettingsFile settings;
    std::unique_ptr<AccountRenewal> renewal;
    std::vector<std::unique_ptr<ReportTable>> tables;
};

// The service's error in a listing: an account the service refuses is a
// sign-in to renew, anything else a failed command.
Failure listingFailure(const QString &line, const QString &code)
{
    return Failure{code == QLatin1String("401") ? SignInNeeded : RowsFailed, line};
}

// The sites, counters, properties or views of an account, each by its name
// and id.
std::vector<SiteEntry> listSites(Session &session, ServiceExchange &exchange, ServiceId service, const QString &token)
{
    const Endpoints &endpoints = session.m_endpoints;
    std::vector<SiteEntry> entries;
    switch (service) {
    case ServiceId::YandexWebmaster: {
        YandexWebmasterClient client(exchange, endpoints.yandexWebmasterApi);
        for (const YandexHost &host : fetchYandexHosts(client, token))
            entries.push_back({host.domain, host.hostId, {}, false});
        break;
    }
    case ServiceId::YandexMetrika: {
        YandexMetrikaClient client(exchange, endpoints.yandexMetrikaApi);
        for (const YandexCounter &counter : YandexCounterList::fetch(client, token))
            entries.push_back({counter.site, counter.id, {}, false});
        break;
    }
    case ServiceId::SearchConsole: {
        GoogleApiClient client(exchange, {endpoints.googleApis, endpoints.searchConsoleApi, endpoints.indexingApi});
        const SearchConsolePropertyList list = SearchConsolePropertyList::fetch(client, token, session.trace);
        if (list.error)
            throw listingFailure(SearchConsoleCheck::errorLine(*list.error), list.error->code);
        for (const SearchConsoleProperty &property : list.properties)
            entries.push_back({property.siteUrl, property.propertyId, {}, false});
        break;
    }
    case ServiceId::Analytics: {
        AnalyticsClient client(exchange, endpoints.googleApis);
        Ga4Client ga4(exchange, {endpoints.analyticsAdminApi, endpoints.analyticsDataApi});
        const AnalyticsAccounts accounts = AnalyticsAccounts::fetch(client, ga4, token, session.trace, session.log);
        if (!accounts.summary)
            throw listingFailure(AnalyticsCheck::errorLine(*accounts.refusal), accounts.refusal->code);
        for (const AnalyticsAccount &account : accounts.summary->accounts) {
            for (const AnalyticsProperty &property : account.properties) {
                const QString prefix = account.name + QStringLiteral(" / ") + property.name;
                if (property.ga4) {
                    entries.push_back({prefix + QStringLiteral(" (GA4)"),
                                       QStringLiteral("properties/") + QString::number(property.id),
                                       {},
                                       true});
                    continue;
                }
                for (const AnalyticsView &view : property.views)
                    entries.push_back({prefix + QStringLiteral(" / ") + view.name, QString::number(view.id),
                                       property.websiteUrl, false});
            }
        }
        break;
    }
    case ServiceId::Ahrefs:
        break;
    }
    return entries;
}

int accountsCommand(Session &session)
{
    session.requireSettings();
    QStringList lines;
    for (const ServiceDescriptor *service : ServiceTable::all()) {
        if (service->hasTokenList()) {
            for (const QString &alias : TokenStore(session.settings, QString(service->tokenSection)).aliases())
                lines << serviceKeyOf(service->id) + QLatin1Char('\t') + alias;
        }
        // A sign-in that keeps a single token (the Indexing API) is named,
        // not shown.
        for (const SignInKind &kind : service->signIns) {
            if (kind.keepsSingleToken() &&
                !session.settings.readString(QString(kind.section), QString(kind.singleTokenKey)).isEmpty())
                lines << serviceKeyOf(service->id) + QStringLiteral("\tIndexing API");
        }
    }
    if (!session.settings.readString(settings::AhrefsTokenSection, settings::AhrefsTokenKey).isEmpty())
        lines << QStringLiteral("ahrefs\tAPI key");
    for (const QString &line : lines)
        session.m_streams.out.write((line + QLatin1Char('\n')).toUtf8());
    if (lines.isEmpty())
        session.console.message(QStringLiteral("no account is connected: sign in on the Settings page of the window"));
    return Done;
}

int sitesCommand(Session &session, const Arguments &args)
{
    session.requireSettings();
    const ServiceId service = serviceIdOf(args.service);
    const QString token = session.tokenOf(service, args.account);
    ServiceExchange exchange = session.exchange();
    if (service == ServiceId::Analytics)
        AnalyticsChecks::limitServerErrorTries(exchange);
    const BusyState::Hold busy(&session.busy);
    for (const SiteEntry &entry : listSites(session, exchange, service, token))
        session.m_streams.out.write((entry.name + QLatin1Char('\t') + entry.id + QLatin1Char('\n')).toUtf8());
    return Done;
}

// The folder of a file to be written must be there.
void requireFolderOf(const QString &path, const char *option)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw Failure{BadUsage, QStringLiteral("%1 %2 is a folder, not a file").arg(QLatin1String(option), path)};
    if (!info.absoluteDir().exists())
        throw Failure{BadUsage,
                      QStringLiteral("%1 %2: the folder %3 does not exist")
                          .arg(QLatin1String(option), path, QDir::toNativeSeparators(info.absoluteDir().path()))};
}

// Whether the bytes are XML (a sitemap) rather than lines of text: the first
// character after a byte-order mark and blanks is "<".
bool looksLikeXml(const QByteArray &bytes)
{
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return bytes.size() > 3 && (bytes[2] == '<' || bytes[3] == '<');
    return i < bytes.size() && bytes[i] == '<';
}

// The URLs of --urls into the table, through the window's importer.
void importUrls(Session &session, ReportTable &table, const QString &source)
{
    UrlImporter importer(session.log, session.prompt);
    const int shownBefore = session.prompt.shown();
    UrlImporter::Result result;
    if (source == QLatin1String("-")) {
        const QByteArray bytes = session.m_streams.in.readAll();
        result = looksLikeXml(bytes) ? importer.importSitemapData(table, bytes, false, session.progress)
                                     : importer.importTextData(table, bytes, false);
    } else {
        QFile file(source);
        const QFileInfo info(source);
        if (!info.exists() || info.isDir() || !file.open(QIODevice::ReadOnly))
            throw Failure{BadUsage,
                          QStringLiteral("cannot read URL file %1: %2")
                              .arg(QDir::toNativeSeparators(source), !info.exists() ? QStringLiteral("no such file")
                                                                     : info.isDir() ? QStringLiteral("it is a folder")
                                                                                    : file.errorString())};
        const bool xml = looksLikeXml(file.peek(4096));
        file.close();
        result = xml ? importer.importSitemap(table, source, false, session.progress)
                     : importer.importTextFile(table, source, false);
    }
    session.console.endProgress();
    if (result == UrlImporter::Result::NotImported)
        throw Failure{BadUsage, session.prompt.shown() > shownBefore
                                    ? session.prompt.lastMessage()
                                    : QStringLiteral("no URL was imported from %1").arg(source)};
    if (table.rowCount() == 0)
        throw Failure{BadUsage, QStringLiteral("%1 holds no URL to check")
                                    .arg(source == QLatin1String("-") ? QStringLiteral("standard input") : source)};
}

// The period of a check as --from/--to or --period set it; without them the
// window's first one (the last 30 days).
void applyPeriod(ReportingPeriod &period, const Arguments &args)
{
    if (args.periodPreset) {
        period.choosePreset(*args.periodPreset);
    } else if (args.from) {
        period.choosePreset(ReportingPeriod::Custom);
        period.setFrom(*args.from);
        period.setTo(*args.to);
    }
}

// One check, ready to run: its name as the window registers it, what the
// line above the window's report would say, and the run.
struct PreparedCheck {
    QString name;
    QString target;
    std::function<void(CheckContext &)> run;
    std::optional<ChartRule> chart;
};

QString periodText(const ReportingPeriod &period)
{
    return QStringLiteral(", over %1 to %2").arg(period.fromText(), period.toText());
}

PreparedCheck prepareCheck(Session &session, const Arguments &args, ReportTable &table,
                           const std::shared_ptr<ServiceExchange> &exchange)
{
    const Endpoints &endpoints = session.m_endpoints;
    const ServiceId service = serviceIdOf(serviceOfCheck(args.check));
    PreparedCheck prepared;

    if (args.check == CheckKind::Ahrefs) {
        const QString key = session.settings.readString(settings::AhrefsTokenSection, settings::AhrefsTokenKey);
        if (key.isEmpty())
            throw Failure{SignInNeeded, QStringLiteral("no Ahrefs API key: enter it on Settings > Ahrefs in the "
                                                       "window")};
        if (const QString problem = AhrefsV3Client::keyProblem(key); !problem.isEmpty())
            throw Failure{BadUsage, problem};
        auto client = std::make_shared<AhrefsV3Client>(*exchange, endpoints.ahrefsApiV3);
        auto check = std::make_shared<AhrefsV3UrlCheck>(*client);
        table.setCaptionOverrides(AhrefsV3UrlCheck::captions());
        prepared.name = AhrefsV3UrlCheck::checkName();
        prepared.target = QStringLiteral("Checks each row's own page with the API token on Settings > Ahrefs");
        prepared.run = [client, check, key, &table](CheckContext &context) {
            check->runReadingUnits(context, table, {key, QString(), QDate()});
        };
        return prepared;
    }

    const QString token = session.tokenOf(service, args.account);
    if (service == ServiceId::Analytics)
        AnalyticsChecks::limitServerErrorTries(*exchange);
    const std::vector<SiteEntry> entries = [&] {
        const BusyState::Hold busy(&session.busy);
        return listSites(session, *exchange, service, token);
    }();
    const SiteEntry site = findSite(entries, args.site, service, args.account);
    const QString account = args.account;
    prepared.target = QStringLiteral("Checks site %1 with account %2").arg(site.name, account);

    switch (args.check) {
    case CheckKind::YandexWebmaster: {
        auto client = std::make_shared<YandexWebmasterClient>(*exchange, endpoints.yandexWebmasterApi);
        auto check = std::make_shared<YandexIndexingCheck>(*client);
        prepared.name = YandexIndexingCheck::checkName();
        prepared.run = [client, check, site, token, &table](CheckContext &context) {
            check->run(context, table, site.id, &token, site.name);
        };
        break;
    }
    case CheckKind::YandexMetrika: {
        ReportingPeriod &period = session.periods.metrika;
        applyPeriod(period, args);
        auto client = std::make_shared<YandexMetrikaClient>(*exchange, endpoints.yandexMetrikaApi);
        auto check = std::make_shared<YandexTrafficCheck>(*client);
        prepared.name = YandexTrafficCheck::checkName();
        prepared.target = QStringLiteral("Checks counter %1 (%2) with account %3").arg(site.name, site.id, account) +
                          periodText(period);
        prepared.run = [client, check, site, token, &table, &period](CheckContext &context) {
            YandexTrafficCheck::Inputs inputs;
            inputs.counterId = site.id;
            inputs.counterSite = site.name;
            inputs.savedToken = [token] { return token; };
            check->runOverPeriod(context, table, inputs, period);
        };
        break;
    }
    case CheckKind::SearchConsole:
    case CheckKind::UrlInspection: {
        ReportingPeriod &period = session.periods.google;
        applyPeriod(period, args);
        auto client = std::make_shared<GoogleApiClient>(
            *exchange, GoogleApiClient::Hosts{endpoints.googleApis, endpoints.searchConsoleApi, endpoints.indexingApi});
        auto checks = std::make_shared<SearchConsoleChecks>(*client, period);
        const SearchConsoleChecks::Kind kind =
            args.check == CheckKind::UrlInspection
                ? SearchConsoleChecks::Kind::Inspection
                : (args.wholeSite ? SearchConsoleChecks::Kind::WholeSite : SearchConsoleChecks::Kind::Performance);
        prepared.name = SearchConsoleChecks::name(kind);
        prepared.chart = SearchConsoleChecks::chart(kind);
        prepared.target = QStringLiteral("Checks property %1 with account %2").arg(site.name, account);
        if (kind != SearchConsoleChecks::Kind::Inspection)
            prepared.target += periodText(period);
        const SearchConsoleProperty property{site.name, site.id};
        prepared.run = [client, checks, kind, property, token, &table](CheckContext &context) {
            checks->run(kind, context, table, &property, &token);
        };
        break;
    }
    case CheckKind::Analytics: {
        ReportingPeriod &period = session.periods.google;
        applyPeriod(period, args);
        auto client = std::make_shared<AnalyticsClient>(*exchange, endpoints.googleApis);
        auto ga4 = std::make_shared<Ga4Client>(
            *exchange, Ga4Client::Hosts{endpoints.analyticsAdminApi, endpoints.analyticsDataApi});
        auto checks = std::make_shared<AnalyticsChecks>(*client, *ga4);
        AnalyticsChecks::Target target;
        target.ga4 = site.ga4;
        target.id = (site.ga4 ? site.id.mid(site.id.indexOf(QLatin1Char('/')) + 1) : site.id).toLongLong();
        target.websiteUrl = site.websiteUrl;
        target.token = [token] { return token; };
        const bool wholeSite = args.wholeSite;
        prepared.name = AnalyticsChecks::name(wholeSite);
        prepared.target = QStringLiteral("Checks view %1 with account %2").arg(site.name, account) + periodText(period);
        prepared.run = [client, ga4, checks, target, wholeSite, &table, &period](CheckContext &context) {
            if (wholeSite)
                checks->runWholeSite(context, table, target, period);
            else
                checks->runPages(context, table, target, period);
        };
        break;
    }
    case CheckKind::Ahrefs:
        break;
    }
    return prepared;
}

// How the run of the check ended, as the run frame saw it end.
struct RunEnd {
    enum class Kind { Finished, Cancelled, QuotaSpent, Failed };
    Kind kind = Kind::Finished;
    bool signInNeeded = false;
    // Whether the run wrote anything: a check refused before it sends
    // anything (no row on the site, a period it cannot send) writes nothing.
    bool began = false;
};

// The check as the run frame runs it, noting how it ended; what it raises
// goes on to the frame, which logs and shows it as the window's does.
std::function<void(CheckContext &)> noting(RunEnd &end, std::function<void(CheckContext &)> check)
{
    return [&end, check = std::move(check)](CheckContext &context) {
        try {
            check(context);
        } catch (const veltrano::QuotaSpent &) {
            end.kind = RunEnd::Kind::QuotaSpent;
            throw;
        } catch (const RequestAborted &) {
            end.kind = RunEnd::Kind::Cancelled;
            throw;
        } catch (const SignInRequired &) {
            end.kind = RunEnd::Kind::Failed;
            end.signInNeeded = true;
            throw;
        } catch (...) {
            end.kind = RunEnd::Kind::Failed;
            throw;
        }
    };
}

// Rows the last run took and did not answer: failed, and not reached.
struct RowTally {
    int answered = 0;
    int failed = 0;
    int notReached = 0;
};

RowTally tallyRows(const RowRunStates &states, const ReportTable &table)
{
    RowTally tally;
    for (int row = 0; row < table.rowCount(); ++row) {
        switch (states.state(table.url(row))) {
        case RowRunStates::State::Answered:
            ++tally.answered;
            break;
        case RowRunStates::State::Failed:
            ++tally.failed;
            break;
        case RowRunStates::State::NotReached:
            ++tally.notReached;
            break;
        case RowRunStates::State::None:
            break;
        }
    }
    return tally;
}

void writeReport(Session &session, const Arguments &args, const ReportTable &table)
{
    if (!args.out.isEmpty()) {
        if (args.format == OutputFormat::Json)
            ReportExporter::exportJsonToFile(table, args.out);
        else
            ReportExporter::exportToFile(table, args.out);
        return;
    }
    const bool written = args.format == OutputFormat::Json ? ReportExporter::writeJson(table, session.m_streams.out)
                                                           : ReportExporter::write(table, session.m_streams.out);
    if (!written)
        throw VeltranoError(QStringLiteral("cannot write the report to standard output"));
}

// A period the service refuses (turned round; after today where it has no
// data) is bad usage, found out before the list is asked for.
void requireSendablePeriod(const ReportingPeriod &period, ReportingPeriod::FutureDays future, const char *where)
{
    if (const QString refusal = period.refusal(future, QLatin1String(where)); !refusal.isEmpty())
        throw Failure{BadUsage, refusal};
}

int queriesCommand(Session &session, const Arguments &args)
{
    if (!args.out.isEmpty())
        requireFolderOf(args.out, "--out");
    session.requireSettings();
    const ServiceId service = serviceIdOf(args.service);
    const QString token = session.tokenOf(service, args.account);
    ServiceExchange exchange = session.exchange();
    const Endpoints &endpoints = session.m_endpoints;
    const BusyState::Hold busy(&session.busy);
    const SiteEntry site = findSite(listSites(session, exchange, service, token), args.site, service, args.account);

    QStringList captions;
    std::vector<QStringList> rows;
    switch (service) {
    case ServiceId::YandexWebmaster: {
        YandexWebmasterClient client(exchange, endpoints.yandexWebmasterApi);
        captions = YandexPopularQueries::columnCaptions();
        rows = YandexPopularQueries(client).fetch(token, site.id, session.periods.google.today());
        break;
    }
    case ServiceId::YandexMetrika: {
        ReportingPeriod &period = session.periods.metrika;
        applyPeriod(period, args);
        requireSendablePeriod(period, ReportingPeriod::FutureDays::Allowed, "Yandex Metrika");
        YandexMetrikaClient client(exchange, endpoints.yandexMetrikaApi);
        captions = YandexSearchPhrases::columnCaptions();
        rows = YandexSearchPhrases::fetch(client, token, site.id, period.fromText(), period.toText());
        break;
    }
    case ServiceId::SearchConsole: {
        ReportingPeriod &period = session.periods.google;
        applyPeriod(period, args);
        requireSendablePeriod(period, ReportingPeriod::FutureDays::Refused, "Google Analytics");
        GoogleApiClient client(exchange, {endpoints.googleApis, endpoints.searchConsoleApi, endpoints.indexingApi});
        SearchConsoleQueries::Result list = SearchConsoleQueries::fetch(client, token, site.id, period);
        if (list.error)
            throw listingFailure(SearchConsoleCheck::errorLine(*list.error), list.error->code);
        for (const int position : list.unreadable)
            session.log.addToLog(SearchConsoleCheck::objectDataLine(position, list.elements));
        captions = SearchConsoleQueries::columnCaptions();
        rows = std::move(list.rows);
        break;
    }
    default:
        break;
    }
    if (rows.empty())
        session.console.message(QStringLiteral("Keywords not found"));
    const auto fill = [&](CsvWriter &csv) { KeywordTable::writeCsv(csv, captions, rows); };
    if (!args.out.isEmpty()) {
        AtomicCsvFile::write(args.out, fill);
    } else {
        CsvWriter csv(session.m_streams.out);
        fill(csv);
        if (!csv.ok())
            throw VeltranoError(QStringLiteral("cannot write the list to standard output"));
    }
    return Done;
}

int submitCommand(Session &session, const Arguments &args)
{
    session.requireSettings();
    // The Indexing API's own sign-in keeps one token of its own.
    QString token;
    for (const SignInKind &kind : ServiceTable::of(ServiceId::SearchConsole).signIns) {
        if (kind.keepsSingleToken())
            token = session.settings.readString(QString(kind.section), QString(kind.singleTokenKey));
    }
    if (token.isEmpty())
        throw Failure{SignInNeeded, QStringLiteral("no Indexing API account: sign in with \"Add > Indexing API\" on "
                                                   "Settings > Google Search Console in the window")};
    // The pages through the importer, with its rules.
    ReportTable &pages = session.table(ServiceId::SearchConsole);
    importUrls(session, pages, args.urls);
    QStringList urls;
    for (int row = 0; row < pages.rowCount(); ++row)
        urls << pages.url(row);

    ServiceExchange exchange = session.exchange();
    const Endpoints &endpoints = session.m_endpoints;
    GoogleApiClient client(exchange, {endpoints.googleApis, endpoints.searchConsoleApi, endpoints.indexingApi});
    int accepted = 0;
    int position = 0;
    session.console.setProgressMaximum(int(urls.size()));
    const BusyState::Hold busy(&session.busy);
    const IndexingApiSubmission::Result result = IndexingApiSubmission(client).run(
        token, urls,
        {session.pump, [] { return interruptRequested(); },
         [&](const IndexingNotification &notification) {
             ++accepted;
             session.m_streams.out.write((notification.url + QLatin1Char('\t') + notification.type + QLatin1Char('\t') +
                                          notification.notifyTime + QLatin1Char('\n'))
                                             .toUtf8());
         },
         [&] { session.console.setProgressPosition(++position); }});
    session.console.endProgress();
    switch (result.outcome) {
    case IndexingApiSubmission::Outcome::Completed:
        break;
    case IndexingApiSubmission::Outcome::Cancelled:
        return Interrupted;
    case IndexingApiSubmission::Outcome::Refused:
        session.console.message(result.refusalCode == QLatin1String("401")
                                    ? QStringLiteral("the Indexing API refused the account's sign-in")
                                    : QStringLiteral("the Indexing API's daily quota is spent"));
        return result.refusalCode == QLatin1String("401") ? SignInNeeded : QuotaSpent;
    case IndexingApiSubmission::Outcome::Unusable:
        session.console.message(result.message);
        return RowsFailed;
    }
    if (interruptRequested())
        return Interrupted;
    if (!args.quiet)
        session.console.message(QStringLiteral("%1 of %2 pages accepted").arg(accepted).arg(urls.size()));
    return accepted == urls.size() ? Done : RowsFailed;
}

int checkCommand(Session &session, const Arguments &args)
{
    // What can be found out without the network first.
    if (!args.out.isEmpty())
        requireFolderOf(args.out, "--out");
    if (!args.resume.isEmpty())
        requireFolderOf(args.resume, "--resume");
    session.requireSettings();

    const ServiceId service = serviceIdOf(serviceOfCheck(args.check));
    const int tab = ServiceTable::of(service).tab();
    ReportTable &table = session.table(service);
    RunControl &run = session.run;

    // A kept run comes back with its rows and what the last run made of them.
    std::unique_ptr<StateKeeper> keeper;
    bool restored = false;
    if (!args.resume.isEmpty()) {
        keeper = std::make_unique<StateKeeper>(args.resume, session.tablePointers(), run, session.log);
        if (QFileInfo::exists(args.resume)) {
            restored = keeper->restore();
            if (!restored)
                throw Failure{
                    BadUsage,
                    QStringLiteral("the state file %1 cannot be read (set aside beside it)").arg(args.resume)};
        } else {
            keeper->start();
        }
    }
    if (!args.urls.isEmpty())
        importUrls(session, table, args.urls);
    else if (table.rowCount() == 0)
        throw Failure{BadUsage, QStringLiteral("the state file %1 holds no rows of %2: give --urls")
                                    .arg(args.resume, ServiceTable::of(service).name)};
    const bool continuing = restored && args.urls.isEmpty();

    auto exchange = std::make_shared<ServiceExchange>(session.exchange());
    const PreparedCheck check = prepareCheck(session, args, table, exchange);
    if (continuing && run.rowStates(tab).check() == check.name && run.rowStates(tab).rowsLeft() == 0) {
        session.console.message(QStringLiteral("every row of %1 was answered already").arg(args.resume));
        writeReport(session, args, table);
        return Done;
    }

    const GeneralSettings general = GeneralSettings::load(session.settings);
    run.setParallelRequests(args.parallel.value_or(general.parallelRequests));
    run.setTable(tab, &table);
    RunEnd end;
    run.registerCheck(tab, check.name, noting(end, check.run), check.chart);
    run.setTargetText([target = check.target](int) { return target; });
    run.setRowScopeQuestion([continuing](int, int) {
        return std::optional<CheckContext::RowScope>(continuing ? CheckContext::RowScope::RowsLeft
                                                                : CheckContext::RowScope::All);
    });
    run.markApiConnected();
    if (interruptRequested())
        return Interrupted;

    run.setProgressMaximum(table.rowCount());
    const size_t linesBefore = session.log.entries().size();
    run.runCheck(tab, 0);
    // Lines other threads handed over, and the state as the run left it.
    QCoreApplication::processEvents();
    session.console.endProgress();
    if (keeper)
        keeper->saveNow();

    end.began = session.log.entries().size() > linesBefore;
    if (!end.began) {
        // Refused before anything was sent (the reason is shown): no report.
        if (interruptRequested())
            return Interrupted;
        return end.signInNeeded ? SignInNeeded : BadUsage;
    }

    int code = Done;
    try {
        writeReport(session, args, table);
    } catch (const VeltranoError &error) {
        session.console.message(error.message());
        code = RowsFailed;
    }
    const RowTally tally = tallyRows(run.rowStates(tab), table);
    if (!args.quiet)
        session.console.message(QStringLiteral("%1 rows answered, %2 failed, %3 not reached")
                                    .arg(tally.answered)
                                    .arg(tally.failed)
                                    .arg(tally.notReached));
    if (interruptRequested() || end.kind == RunEnd::Kind::Cancelled)
        return Interrupted;
    if (end.kind == RunEnd::Kind::QuotaSpent)
        return QuotaSpent;
    if (end.signInNeeded)
        return SignInNeeded;
    if (end.kind == RunEnd::Kind::Failed || tally.failed > 0 || tally.notReached > 0)
        return RowsFailed;
    return code;
}

} // namespace

int runCli(const QStringList &args, const Endpoints &endpoints, Streams &streams, const ProgramOptions &options)
{
    const std::variant<Arguments, UsageError> parsed = parseArguments(args);
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        streams.err.write((QStringLiteral("veltrano-cli: ") + error->message + QLatin1Char('\n')).toUtf8());
        return BadUsage;
    }
    const Arguments &arguments = std::get<Arguments>(parsed);
    switch (arguments.command) {
    case Command::Help:
        streams.out.write(helpText(arguments.helpTopic).toUtf8());
        return Done;
    case Command::Version:
        streams.out.write(QByteArrayLiteral("veltrano-cli " VELTRANO_VERSION "\n"));
        return Done;
    default:
        break;
    }

    Session session(arguments, endpoints, streams, options);
    try {
        switch (arguments.command) {
        case Command::Accounts:
            return accountsCommand(session);
        case Command::Sites:
            return sitesCommand(session, arguments);
        case Command::Check:
            return checkCommand(session, arguments);
        case Command::Queries:
            return queriesCommand(session, arguments);
        case Command::Submit:
            return submitCommand(session, arguments);
        default:
            return BadUsage;
        }
    } catch (const Failure &failure) {
        session.console.message(failure.message);
        return failure.code;
    } catch (const RequestAborted &) {
        return Interrupted;
    } catch (const SignInRequired &error) {
        session.console.message(error.message());
        return SignInNeeded;
    } catch (const std::exception &error) {
        session.console.message(errorText(error));
        return RowsFailed;
    }
}

} // namespace veltrano::cli
