#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace veltrano::cli {

enum class Command { Help, Version, Accounts, Sites, Check, Queries, Submit };

// The checks of the window, by the names the command line gives them.
enum class CheckKind { YandexWebmaster, YandexMetrika, SearchConsole, UrlInspection, Analytics, Ahrefs };

enum class OutputFormat { Csv, Json };

// A command line read and checked for form: every name known, every value of
// the right shape. Whether the account, the site and the files exist is
// found out when the command runs.
struct Arguments {
    Command command = Command::Help;
    // Help: the command whose help is asked for; empty for the overview.
    QString helpTopic;
    // sites, queries: the service's key ("ywm", "metrika", "gsc", "ga").
    QString service;
    CheckKind check = CheckKind::YandexWebmaster;
    QString checkName; // as typed

    QString settingsFile; // --settings; empty: Veltrano.ini beside the program
    bool quiet = false;

    QString account;
    QString site;
    std::optional<QDate> from;
    std::optional<QDate> to;
    std::optional<int> periodPreset; // ReportingPeriod::Preset
    QString urls;                    // a file, or "-" for standard input
    QString out;                     // empty: standard output
    OutputFormat format = OutputFormat::Csv;
    std::optional<int> parallel;
    bool wholeSite = false;
    QString resume; // the state file a run keeps and continues
};

struct UsageError {
    QString message;
};

// args: the arguments after the program's name.
std::variant<Arguments, UsageError> parseArguments(const QStringList &args);

// The help of a command ("accounts", "sites", "check"), or the overview for
// an empty topic; empty text for an unknown one.
QString helpText(const QString &topic);

// Whether a check reads a period, and whether it has a whole-site form.
bool checkHasPeriod(CheckKind kind);
bool checkHasWholeSite(CheckKind kind);
// The service key of a check ("gsc" for the URL inspection).
QString serviceOfCheck(CheckKind kind);

} // namespace veltrano::cli
