#pragma once

#include "app/Endpoints.h"
#include "app/ReportingPeriod.h"

#include <QString>
#include <QStringList>

class QIODevice;

namespace veltrano::cli {

// What the command line tells the shell when it ends.
enum ExitCode : int {
    Done = 0,
    RowsFailed = 1,   // some rows failed, or the run ended on an error after it began
    BadUsage = 2,     // unknown command or option, bad value, missing file, unknown account or site
    SignInNeeded = 3, // no account, or the service no longer takes its sign-in
    QuotaSpent = 4,   // a service's quota is spent and rows are left
    Interrupted = 130 // Ctrl+C: stopped as "Cancel" does, what was answered written
};

struct Streams {
    QIODevice &out; // the results
    QIODevice &err; // messages, the log and the progress
    QIODevice &in;  // the URLs of --urls -
    bool errIsTerminal = false;
};

struct ProgramOptions {
    // Where Veltrano.ini is found without --settings, with a trailing "/":
    // the folder of the program, as the window finds it.
    QString appFolder;
    // The local date and time the periods count from; null: the clock.
    ReportingPeriod::Clock clock;
};

// The whole command line: parses the arguments, runs the command on the
// core's checks, importers, exporters and settings, and returns the exit
// code. Nothing here decides what a check does.
int runCli(const QStringList &args, const Endpoints &endpoints, Streams &streams, const ProgramOptions &options);

} // namespace veltrano::cli
