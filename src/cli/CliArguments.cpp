#include "cli/CliArguments.h"

#include "app/ReportingPeriod.h"
#include "auth/GeneralSettings.h"

#include <QHash>

namespace veltrano::cli {

namespace {

struct CheckName {
    const char *name;
    CheckKind kind;
};

const CheckName CheckNames[] = {
    {"ywm", CheckKind::YandexWebmaster},
    {"yandex-webmaster", CheckKind::YandexWebmaster},
    {"metrika", CheckKind::YandexMetrika},
    {"ym", CheckKind::YandexMetrika},
    {"yandex-metrika", CheckKind::YandexMetrika},
    {"gsc", CheckKind::SearchConsole},
    {"search-console", CheckKind::SearchConsole},
    {"inspection", CheckKind::UrlInspection},
    {"url-inspection", CheckKind::UrlInspection},
    {"ga", CheckKind::Analytics},
    {"analytics", CheckKind::Analytics},
    {"google-analytics", CheckKind::Analytics},
    {"ahrefs", CheckKind::Ahrefs},
};

const char *const SiteServices[] = {"ywm", "metrika", "gsc", "ga"};

std::optional<CheckKind> checkOf(const QString &name)
{
    for (const CheckName &entry : CheckNames) {
        if (name == QLatin1String(entry.name))
            return entry.kind;
    }
    return std::nullopt;
}

// The service keys the other commands take, with their longer names.
QString serviceKey(const QString &name)
{
    const std::optional<CheckKind> kind = checkOf(name);
    if (!kind || *kind == CheckKind::UrlInspection)
        return name == QLatin1String("ahrefs") ? name : QString();
    return serviceOfCheck(*kind);
}

// "last-30-days", "Last 30 days", "last_30_days": the preset of that name.
std::optional<int> presetOf(const QString &name)
{
    QString wanted = name.toLower();
    wanted.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char('_'), QLatin1Char(' '));
    const QStringList &names = ReportingPeriod::presetNames();
    for (int i = 0; i < names.size(); ++i) {
        if (i != ReportingPeriod::Custom && names[i].toLower() == wanted)
            return i;
    }
    return std::nullopt;
}

QString presetList()
{
    QStringList names;
    const QStringList &all = ReportingPeriod::presetNames();
    for (int i = 0; i < all.size(); ++i) {
        if (i != ReportingPeriod::Custom)
            names << all[i].toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
    }
    return names.join(QStringLiteral(", "));
}

std::optional<QDate> dateOf(const QString &text)
{
    if (text.size() != 10)
        return std::nullopt;
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        return std::nullopt;
    return day;
}

// Options that take a value, and the commands that accept them.
enum class Opt { Settings, Account, Site, From, To, Period, Urls, Out, Format, Parallel, Resume };
const QHash<QString, Opt> &valueOptions()
{
    static const QHash<QString, Opt> options{
        {QStringLiteral("--settings"), Opt::Settings},
        {QStringLiteral("--account"), Opt::Account},
        {QStringLiteral("--site"), Opt::Site},
        {QStringLiteral("--from"), Opt::From},
        {QStringLiteral("--to"), Opt::To},
        {QStringLiteral("--period"), Opt::Period},
        {QStringLiteral("--urls"), Opt::Urls},
        {QStringLiteral("--out"), Opt::Out},
        {QStringLiteral("--format"), Opt::Format},
        {QStringLiteral("--parallel"), Opt::Parallel},
        {QStringLiteral("--resume"), Opt::Resume},
    };
    return options;
}

bool acceptedBy(Command command, Opt opt)
{
    switch (command) {
    case Command::Sites:
        return opt == Opt::Settings || opt == Opt::Account;
    case Command::Submit:
        return opt == Opt::Settings || opt == Opt::Urls;
    case Command::Queries:
        return opt == Opt::Settings || opt == Opt::Account || opt == Opt::Site || opt == Opt::From || opt == Opt::To ||
               opt == Opt::Period || opt == Opt::Out;
    case Command::Check:
        return true;
    default:
        return opt == Opt::Settings;
    }
}

UsageError usage(const QString &text)
{
    return UsageError{text};
}

} // namespace

QString serviceOfCheck(CheckKind kind)
{
    switch (kind) {
    case CheckKind::YandexWebmaster:
        return QStringLiteral("ywm");
    case CheckKind::YandexMetrika:
        return QStringLiteral("metrika");
    case CheckKind::SearchConsole:
    case CheckKind::UrlInspection:
        return QStringLiteral("gsc");
    case CheckKind::Analytics:
        return QStringLiteral("ga");
    case CheckKind::Ahrefs:
        return QStringLiteral("ahrefs");
    }
    return {};
}

bool checkHasPeriod(CheckKind kind)
{
    return kind == CheckKind::YandexMetrika || kind == CheckKind::SearchConsole || kind == CheckKind::Analytics;
}

bool checkHasWholeSite(CheckKind kind)
{
    return kind == CheckKind::SearchConsole || kind == CheckKind::Analytics;
}

std::variant<Arguments, UsageError> parseArguments(const QStringList &args)
{
    Arguments a;
    if (args.isEmpty())
        return a; // the overview
    const QString &first = args.front();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        a.command = Command::Help;
        if (args.size() > 1) {
            a.helpTopic = args[1];
            if (helpText(a.helpTopic).isEmpty())
                return usage(
                    QStringLiteral("no help for \"%1\": the commands are accounts, sites, check, queries and submit")
                        .arg(a.helpTopic));
        }
        return a;
    }
    if (first == QLatin1String("--version")) {
        a.command = Command::Version;
        return a;
    }
    if (first == QLatin1String("accounts"))
        a.command = Command::Accounts;
    else if (first == QLatin1String("sites"))
        a.command = Command::Sites;
    else if (first == QLatin1String("check"))
        a.command = Command::Check;
    else if (first == QLatin1String("queries"))
        a.command = Command::Queries;
    else if (first == QLatin1String("submit"))
        a.command = Command::Submit;
    else if (first.startsWith(QLatin1Char('-')))
        return usage(
            QStringLiteral("a command comes first (accounts, sites, check, queries or submit), not \"%1\"").arg(first));
    else
        return usage(
            QStringLiteral("unknown command \"%1\": the commands are accounts, sites, check, queries and submit "
                           "(see veltrano-cli --help)")
                .arg(first));

    QStringList positional;
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            Arguments help;
            help.command = Command::Help;
            help.helpTopic = first;
            return help;
        }
        if (arg == QLatin1String("--quiet") || arg == QLatin1String("-q")) {
            a.quiet = true;
            continue;
        }
        if (arg == QLatin1String("--whole-site")) {
            if (a.command != Command::Check)
                return usage(QStringLiteral("--whole-site belongs to the check command"));
            a.wholeSite = true;
            continue;
        }
        if (arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            positional << arg;
            continue;
        }
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            value = arg.mid(eq + 1);
            arg.truncate(eq);
            hasValue = true;
        }
        const auto found = valueOptions().constFind(arg);
        if (found == valueOptions().constEnd() || !acceptedBy(a.command, *found))
            return usage(QStringLiteral("unknown option \"%1\" for %2 (see veltrano-cli %2 --help)").arg(arg, first));
        if (!hasValue) {
            if (i + 1 >= args.size())
                return usage(QStringLiteral("%1 needs a value").arg(arg));
            value = args[++i];
        }
        switch (*found) {
        case Opt::Settings:
            a.settingsFile = value;
            break;
        case Opt::Account:
            a.account = value;
            break;
        case Opt::Site:
            a.site = value;
            break;
        case Opt::From:
        case Opt::To: {
            const std::optional<QDate> day = dateOf(value);
            if (!day)
                return usage(QStringLiteral("%1 \"%2\" is not a date of the form YYYY-MM-DD").arg(arg, value));
            (*found == Opt::From ? a.from : a.to) = day;
            break;
        }
        case Opt::Period:
            a.periodPreset = presetOf(value);
            if (!a.periodPreset)
                return usage(QStringLiteral("unknown period \"%1\": the periods are %2").arg(value, presetList()));
            break;
        case Opt::Urls:
            a.urls = value;
            break;
        case Opt::Out:
            a.out = value;
            break;
        case Opt::Format:
            if (value == QLatin1String("csv"))
                a.format = OutputFormat::Csv;
            else if (value == QLatin1String("json"))
                a.format = OutputFormat::Json;
            else
                return usage(QStringLiteral("unknown format \"%1\": csv or json").arg(value));
            break;
        case Opt::Parallel: {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < GeneralSettings::MinParallelRequests || n > GeneralSettings::MaxParallelRequests)
                return usage(QStringLiteral("--parallel takes %1 to %2 requests at once, not \"%3\"")
                                 .arg(GeneralSettings::MinParallelRequests)
                                 .arg(GeneralSettings::MaxParallelRequests)
                                 .arg(value));
            a.parallel = n;
            break;
        }
        case Opt::Resume:
            a.resume = value;
            break;
        }
    }

    switch (a.command) {
    case Command::Accounts:
        if (!positional.isEmpty())
            return usage(QStringLiteral("accounts takes no argument, not \"%1\"").arg(positional.front()));
        break;
    case Command::Sites: {
        if (positional.size() != 1)
            return usage(QStringLiteral("sites needs one service: ywm, metrika, gsc or ga"));
        a.service = serviceKey(positional.front());
        if (a.service == QLatin1String("ahrefs"))
            return usage(QStringLiteral("Ahrefs has no sites to list: its check asks each row's own page"));
        if (a.service.isEmpty() || std::find_if(std::begin(SiteServices), std::end(SiteServices), [&](const char *key) {
                                       return a.service == QLatin1String(key);
                                   }) == std::end(SiteServices))
            return usage(QStringLiteral("unknown service \"%1\": ywm, metrika, gsc or ga").arg(positional.front()));
        if (a.account.isEmpty())
            return usage(QStringLiteral("sites needs --account ALIAS (see veltrano-cli accounts)"));
        break;
    }
    case Command::Submit:
        if (!positional.isEmpty())
            return usage(QStringLiteral("submit takes its pages from --urls, not \"%1\"").arg(positional.front()));
        if (a.urls.isEmpty())
            return usage(QStringLiteral("submit needs --urls FILE (or - for standard input)"));
        break;
    case Command::Queries: {
        if (positional.size() != 1)
            return usage(QStringLiteral("queries needs one service: ywm, metrika or gsc"));
        a.service = serviceKey(positional.front());
        if (a.service != QLatin1String("ywm") && a.service != QLatin1String("metrika") &&
            a.service != QLatin1String("gsc"))
            return usage(
                QStringLiteral("unknown service \"%1\" for queries: ywm, metrika or gsc").arg(positional.front()));
        if ((a.from || a.to || a.periodPreset) && a.service == QLatin1String("ywm"))
            return usage(QStringLiteral("the Yandex Webmaster queries have no period"));
        if (a.periodPreset && (a.from || a.to))
            return usage(QStringLiteral("give either --period or --from and --to, not both"));
        if (bool(a.from) != bool(a.to))
            return usage(QStringLiteral("--from and --to go together"));
        if (a.from && *a.from > *a.to)
            return usage(QStringLiteral("the period is reversed: --from %1 is after --to %2")
                             .arg(ReportingPeriod::dayText(*a.from), ReportingPeriod::dayText(*a.to)));
        if (a.account.isEmpty() || a.site.isEmpty())
            return usage(QStringLiteral("queries needs --account ALIAS and --site SITE"));
        break;
    }
    case Command::Check: {
        if (positional.size() != 1)
            return usage(QStringLiteral("check needs one check: ywm, metrika, gsc, inspection, ga or ahrefs"));
        a.checkName = positional.front();
        const std::optional<CheckKind> kind = checkOf(a.checkName);
        if (!kind)
            return usage(
                QStringLiteral("unknown check \"%1\": ywm, metrika, gsc, inspection, ga or ahrefs").arg(a.checkName));
        a.check = *kind;
        if (a.wholeSite && !checkHasWholeSite(a.check))
            return usage(QStringLiteral("--whole-site is a form of the gsc and ga checks only"));
        const bool periodGiven = a.from || a.to || a.periodPreset;
        if (periodGiven && !checkHasPeriod(a.check))
            return usage(QStringLiteral("the %1 check has no period").arg(a.checkName));
        if (a.periodPreset && (a.from || a.to))
            return usage(QStringLiteral("give either --period or --from and --to, not both"));
        if (bool(a.from) != bool(a.to))
            return usage(QStringLiteral("--from and --to go together"));
        if (a.from && *a.from > *a.to)
            return usage(QStringLiteral("the period is reversed: --from %1 is after --to %2")
                             .arg(ReportingPeriod::dayText(*a.from), ReportingPeriod::dayText(*a.to)));
        if (a.check != CheckKind::Ahrefs && a.account.isEmpty())
            return usage(QStringLiteral("check %1 needs --account ALIAS (see veltrano-cli accounts)").arg(a.checkName));
        if (a.check != CheckKind::Ahrefs && a.site.isEmpty())
            return usage(QStringLiteral("check %1 needs --site SITE (see veltrano-cli sites %2 --account %3)")
                             .arg(a.checkName, serviceOfCheck(a.check), a.account));
        if (a.urls.isEmpty() && a.resume.isEmpty())
            return usage(QStringLiteral("check needs --urls FILE (or - for standard input) or --resume STATE"));
        break;
    }
    default:
        break;
    }
    return a;
}

QString helpText(const QString &topic)
{
    if (topic.isEmpty())
        return QStringLiteral("usage: veltrano-cli <command> [options]\n"
                              "\n"
                              "Runs the checks of Veltrano from a terminal, on the same engine and with the\n"
                              "accounts connected in the window (Veltrano.ini).\n"
                              "\n"
                              "commands:\n"
                              "  accounts                      the connected accounts of every service\n"
                              "  sites <service> --account A   the sites, properties, counters or views\n"
                              "  check <check> ...             checks a list of URLs, writes the report\n"
                              "  queries <service> ...         the search queries of a site (ywm, metrika, gsc)\n"
                              "  submit --urls FILE|-          tells Google's Indexing API the pages were updated\n"
                              "\n"
                              "options of every command:\n"
                              "  --settings FILE   Veltrano.ini to use (default: the one beside the program)\n"
                              "  --quiet, -q       no log lines and no progress on standard error\n"
                              "  --help, -h        help of a command: veltrano-cli check --help\n"
                              "\n"
                              "exit codes: 0 done, 1 some rows failed, 2 bad usage, 3 sign-in needed,\n"
                              "4 quota spent with rows left, 130 interrupted (Ctrl+C)\n");
    if (topic == QLatin1String("accounts"))
        return QStringLiteral("usage: veltrano-cli accounts [--settings FILE]\n"
                              "\n"
                              "Lists the connected accounts, one a line: the service and the alias (never a\n"
                              "token). Sign in, rename and delete accounts in the window.\n");
    if (topic == QLatin1String("sites"))
        return QStringLiteral("usage: veltrano-cli sites <service> --account ALIAS [--settings FILE]\n"
                              "\n"
                              "services: ywm (Yandex Webmaster sites), metrika (Yandex Metrika counters),\n"
                              "gsc (Search Console properties), ga (Google Analytics views and GA4 properties)\n"
                              "\n"
                              "One line each: the name and the id, separated by a tab; either one is what\n"
                              "check --site takes.\n");
    if (topic == QLatin1String("submit"))
        return QStringLiteral("usage: veltrano-cli submit --urls FILE|- [--settings FILE]\n"
                              "\n"
                              "Tells Google's Indexing API, page by page, that the pages were updated, with\n"
                              "the account of Add > Indexing API on Settings > Google Search Console. Each\n"
                              "accepted page is a line on standard output: the page, the notification type\n"
                              "and its time, separated by tabs.\n");
    if (topic == QLatin1String("queries"))
        return QStringLiteral("usage: veltrano-cli queries <service> --account ALIAS --site SITE\n"
                              "         [--from YYYY-MM-DD --to YYYY-MM-DD | --period NAME] [--out FILE]\n"
                              "\n"
                              "services: ywm (the site's popular queries today), metrika (the counter's\n"
                              "search phrases over the period), gsc (the property's queries over the period)\n"
                              "\n"
                              "The list as the keywords window's \"Export to Excel\" writes it (CSV), to\n"
                              "standard output or, whole or not at all, to --out FILE.\n");
    if (topic == QLatin1String("check"))
        return QStringLiteral("usage: veltrano-cli check <check> --account ALIAS --site SITE\n"
                              "         [--from YYYY-MM-DD --to YYYY-MM-DD | --period NAME]\n"
                              "         [--urls FILE|-] [--out FILE] [--format csv|json] [--parallel N]\n"
                              "         [--whole-site] [--resume STATE] [--settings FILE] [--quiet]\n"
                              "\n"
                              "checks: ywm (Yandex Webmaster indexing), metrika (Yandex Metrika traffic),\n"
                              "gsc (Check GSC), inspection (URL Inspection API), ga (Check GA, also on a GA4\n"
                              "property), ahrefs (Ahrefs API v3 with the key on Settings > Ahrefs; no\n"
                              "--account or --site)\n"
                              "\n"
                              "  --urls FILE      a text file of URLs or an XML sitemap; - reads standard input\n"
                              "  --from, --to     the period (metrika, gsc, ga); both days count\n"
                              "  --period NAME    this-month, this-year, last-7-days, last-30-days (the\n"
                              "                   default), last-90-days, last-180-days, last-365-days,\n"
                              "                   previous-week, previous-month\n"
                              "  --out FILE       where the report goes, whole or not at all (default:\n"
                              "                   standard output)\n"
                              "  --format         csv (as the window's export) or json (an array, one object\n"
                              "                   a row, one row a line)\n"
                              "  --parallel N     page requests in flight at once, 1 to 8 (default: the\n"
                              "                   window's \"Parallel requests\")\n"
                              "  --whole-site     gsc and ga: the site's page report in a few requests\n"
                              "  --resume STATE   keeps the run in STATE; run again to go on with the rows a\n"
                              "                   cancelled or rationed run left\n");
    return {};
}

} // namespace veltrano::cli
