#include "app/ActivityLog.h"

#include <limits>
#include <utility>

#include <QDateTime>
#include <QLocale>
#include <QThread>

namespace veltrano {

namespace {

// The local time of day, for the time column. Asking the system for the
// local time reads the time zone anew each time, which a log line per
// request paid for; the zone's offset from UTC is kept instead and asked for
// again in every new minute. Offsets change on whole minutes (daylight
// saving, a new zone rule), so the kept one is always the one in force.
class LocalTimeOfDay {
public:
    QTime operator()()
    {
        constexpr qint64 msPerMinute = 60 * 1000;
        constexpr qint64 msPerDay = 24 * 60 * msPerMinute;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 minute = now / msPerMinute;
        if (minute != m_minute) {
            m_offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(now).offsetFromUtc()) * 1000;
            m_minute = minute;
        }
        const qint64 ofDay = ((now + m_offsetMs) % msPerDay + msPerDay) % msPerDay;
        return QTime::fromMSecsSinceStartOfDay(int(ofDay));
    }

private:
    qint64 m_minute = std::numeric_limits<qint64>::min();
    qint64 m_offsetMs = 0;
};

} // namespace

ActivityLog::ActivityLog(QObject *parent)
    : QAbstractTableModel(parent), m_clock(LocalTimeOfDay()), m_separator(localeTimeSeparator())
{
}

QChar ActivityLog::localeTimeSeparator()
{
    // The separator is the first character of the locale's time format that
    // follows the hour field and is not a letter (":" in most locales).
    const QString format = QLocale().timeFormat(QLocale::LongFormat);
    bool afterHour = false;
    for (QChar c : format) {
        if (c == QLatin1Char('h') || c == QLatin1Char('H')) {
            afterHour = true;
        } else if (afterHour && !c.isLetter() && !c.isSpace()) {
            return c;
        }
    }
    return QLatin1Char(':');
}

QString ActivityLog::formatTime(const QTime &time, QChar separator)
{
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return two(time.hour()) + separator + two(time.minute()) + separator + two(time.second());
}

void ActivityLog::addToLog(const QString &message)
{
    if (WorkerRow *row = WorkerRow::current()) {
        row->hold(*this, message);
        return;
    }
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, message] { addToLog(message); }, Qt::QueuedConnection);
        return;
    }
    flushLineBeforeNext();
    append(message);
}

void ActivityLog::append(const QString &message)
{
    Q_EMIT messageAdded(message);
    beginInsertRows({}, 0, 0);
    m_entries.push_back({formatTime(m_clock(), m_separator), message});
    endInsertRows();
}

void ActivityLog::flushLineBeforeNext()
{
    if (m_lineBeforeNext.isNull())
        return;
    const QString line = std::exchange(m_lineBeforeNext, QString());
    append(line);
}

bool ActivityLog::dropLineBeforeNext()
{
    const bool waiting = !m_lineBeforeNext.isNull();
    m_lineBeforeNext = QString();
    return waiting;
}

QStringList ActivityLog::messages() const
{
    QStringList out;
    out.reserve(int(m_entries.size()));
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        out << it->message;
    return out;
}

QStringList ActivityLog::messagesInOrder() const
{
    QStringList out;
    out.reserve(int(m_entries.size()));
    for (const auto &e : m_entries)
        out << e.message;
    return out;
}

int ActivityLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int ActivityLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ActivityLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rowCount())
        return {};
    const Entry &e = m_entries[m_entries.size() - 1 - size_t(index.row())];
    return index.column() == 0 ? e.time : e.message;
}

QVariant ActivityLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Time") : QStringLiteral("Event");
}

} // namespace veltrano
