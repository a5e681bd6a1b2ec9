#pragma once

#include "app/ProgressReporter.h"
#include "app/UiPorts.h"

#include <QString>

#include <functional>

class QIODevice;

namespace veltrano::cli {

// Standard error as the command line writes to it: messages always, the
// activity log and the progress unless --quiet. On a terminal the progress
// is one bar redrawn in place; otherwise (a file, a pipe, cron's mail) it
// is a plain line at every tenth of the rows, so a log stays readable.
class Console final {
public:
    Console(QIODevice &err, bool terminal, bool quiet);

    // A message the user must see (an error, a refusal, a notice).
    void message(const QString &text);
    // A line of the activity log.
    void logLine(const QString &text);
    void setProgressMaximum(int maximum);
    void setProgressPosition(int position);
    // Ends the bar's line, so later output starts on a line of its own.
    void endProgress();

private:
    void write(const QString &text);
    void clearBar();
    void drawBar();

    QIODevice &m_err;
    bool m_terminal;
    bool m_quiet;
    int m_maximum = 0;
    int m_position = 0;
    int m_lastTenth = -1;
    bool m_barShown = false;
};

// Message boxes become lines on standard error. A question is answered No
// and a choice with its last answer: nothing is lost without a person there.
class ConsolePrompt final : public MessagePrompt {
public:
    explicit ConsolePrompt(Console &console) : m_console(console) {}
    void show(Icon icon, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    // The last message shown, in one line.
    const QString &lastMessage() const { return m_last; }
    int shown() const { return m_shown; }

private:
    Console &m_console;
    QString m_last;
    int m_shown = 0;
};

// The run's progress bar on standard error.
class ConsoleProgress final : public ProgressReporter {
public:
    explicit ConsoleProgress(Console &console) : m_console(console) {}
    void setMaximum(int maximum) override { m_console.setProgressMaximum(maximum); }
    void setPosition(int position) override { m_console.setProgressPosition(position); }
    void showWaiting(const QString &note) override
    {
        if (!note.isEmpty())
            m_console.logLine(note);
    }

private:
    Console &m_console;
};

// No window to keep painting: pending events are the log lines of other
// threads and the timers (the state file's saves). Ctrl+C is seen here,
// between two rows and while a request waits, and handed to onInterrupt
// once.
class ConsoleEventPump final : public EventPump {
public:
    void processPendingEvents() override;
    void keepPainting() override;
    void setOnInterrupt(std::function<void()> onInterrupt) { m_onInterrupt = std::move(onInterrupt); }

private:
    void testInterrupt();
    std::function<void()> m_onInterrupt;
    bool m_interruptHandled = false;
};

// One line: line breaks and runs of blanks become one blank.
QString oneLine(const QString &text);

} // namespace veltrano::cli
