#include "cli/CliConsole.h"

#include "cli/CliInterrupt.h"

#include <QCoreApplication>
#include <QIODevice>

#include <algorithm>

namespace veltrano::cli {

QString oneLine(const QString &text)
{
    return text.simplified();
}

Console::Console(QIODevice &err, bool terminal, bool quiet) : m_err(err), m_terminal(terminal), m_quiet(quiet) {}

void Console::write(const QString &text)
{
    m_err.write(text.toUtf8());
}

void Console::clearBar()
{
    if (m_barShown) {
        write(QStringLiteral("\r\x1b[K"));
        m_barShown = false;
    }
}

void Console::message(const QString &text)
{
    clearBar();
    write(QStringLiteral("veltrano-cli: ") + oneLine(text) + QLatin1Char('\n'));
    drawBar();
}

void Console::logLine(const QString &text)
{
    if (m_quiet)
        return;
    clearBar();
    write(text + QLatin1Char('\n'));
    drawBar();
}

void Console::setProgressMaximum(int maximum)
{
    m_maximum = maximum;
    m_lastTenth = -1;
}

void Console::setProgressPosition(int position)
{
    m_position = position;
    if (m_quiet || m_maximum <= 0)
        return;
    if (m_terminal) {
        drawBar();
        return;
    }
    const int tenth = int(qint64(position) * 10 / m_maximum);
    if (position > 0 && tenth != m_lastTenth) {
        m_lastTenth = tenth;
        write(QStringLiteral("progress: %1/%2 rows\n").arg(position).arg(m_maximum));
    }
}

void Console::drawBar()
{
    if (!m_terminal || m_quiet || m_maximum <= 0 || m_position <= 0)
        return;
    constexpr int Width = 30;
    const int filled = int(qint64(std::min(m_position, m_maximum)) * Width / m_maximum);
    const int percent = int(qint64(std::min(m_position, m_maximum)) * 100 / m_maximum);
    write(QStringLiteral("\r[%1%2] %3/%4 (%5%)")
              .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char('-')))
              .arg(m_position)
              .arg(m_maximum)
              .arg(percent));
    m_barShown = true;
}

void Console::endProgress()
{
    if (m_barShown) {
        write(QStringLiteral("\n"));
        m_barShown = false;
    }
    m_maximum = 0;
}

void ConsolePrompt::show(Icon, const QString &, const QString &text)
{
    m_last = oneLine(text);
    ++m_shown;
    m_console.message(m_last);
}

bool ConsolePrompt::ask(const QString &, const QString &text)
{
    m_console.message(oneLine(text) + QStringLiteral(" - answered No"));
    return false;
}

void ConsoleEventPump::testInterrupt()
{
    if (!m_interruptHandled && interruptRequested() && m_onInterrupt) {
        m_interruptHandled = true;
        m_onInterrupt();
    }
}

void ConsoleEventPump::processPendingEvents()
{
    QCoreApplication::processEvents();
    testInterrupt();
}

void ConsoleEventPump::keepPainting()
{
    // Only what other threads handed over and the timers; no input to hold.
    QCoreApplication::processEvents();
    testInterrupt();
}

} // namespace veltrano::cli
