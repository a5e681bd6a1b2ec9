#include "app/ReportingPeriod.h"

namespace veltrano {

ReportingPeriod::ReportingPeriod(QObject *parent) : ReportingPeriod(Clock(), parent) {}

ReportingPeriod::ReportingPeriod(Clock clock, QObject *parent) : QObject(parent), m_clock(std::move(clock))
{
    // At start the days are those of "Last 30 days", though the preset has
    // not been applied: today minus 30 days up to today.
    const QDate day = today();
    m_from = day.addDays(-30);
    m_to = day;
}

const QStringList &ReportingPeriod::presetNames()
{
    static const QStringList names{QStringLiteral("This month"),     QStringLiteral("This year"),
                                   QStringLiteral("Last 7 days"),    QStringLiteral("Last 30 days"),
                                   QStringLiteral("Last 90 days"),   QStringLiteral("Last 180 days"),
                                   QStringLiteral("Last 365 days"),  QStringLiteral("Previous week"),
                                   QStringLiteral("Previous month"), QStringLiteral("Custom")};
    return names;
}

ReportingPeriod::Days ReportingPeriod::presetDays(int preset, const QDate &today)
{
    // Whole calendar days back from today; "Previous week" and "Previous
    // month" are fixed offsets, not calendar weeks or months.
    switch (preset) {
    case ThisMonth:
        return {QDate(today.year(), today.month(), 1), today};
    case ThisYear:
        return {QDate(today.year(), 1, 1), today};
    case Last7Days:
        return {today.addDays(-7), today};
    case Last30Days:
        return {today.addDays(-30), today};
    case Last90Days:
        return {today.addDays(-90), today};
    case Last180Days:
        return {today.addDays(-180), today};
    case Last365Days:
        return {today.addDays(-365), today};
    case PreviousWeek:
        return {today.addDays(-14), today.addDays(-7)};
    case PreviousMonth:
        return {today.addDays(-60), today.addDays(-30)};
    default:
        return {};
    }
}

void ReportingPeriod::choosePreset(int preset)
{
    if (preset < 0 || preset >= PresetCount)
        return;
    m_preset = preset;
    const Days days = presetDays(preset, today());
    if (days.from.isValid()) {
        m_from = days.from;
        m_to = days.to;
    }
    Q_EMIT changed();
}

void ReportingPeriod::setFrom(const QDate &day)
{
    if (!day.isValid() || day == m_from)
        return;
    m_from = day;
    Q_EMIT changed();
}

void ReportingPeriod::setTo(const QDate &day)
{
    if (!day.isValid() || day == m_to)
        return;
    m_to = day;
    Q_EMIT changed();
}

void ReportingPeriod::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

QDate ReportingPeriod::today() const
{
    return (m_clock ? m_clock() : QDateTime::currentDateTime()).date();
}

QString ReportingPeriod::refusal(const QDate &from, const QDate &to, const QDate &today, FutureDays future,
                                 const QString &periodTab)
{
    const QString again = QStringLiteral(" Choose the period again on the %1 tab.").arg(periodTab);
    if (from.isValid() && to.isValid() && from > to)
        return QStringLiteral("The period's first day (%1) is after its last day (%2).")
                   .arg(dayText(from), dayText(to)) +
               again;
    if (future == FutureDays::Refused && to.isValid() && today.isValid() && to > today)
        return QStringLiteral("The period's last day (%1) is after today (%2): the service has no data for it yet.")
                   .arg(dayText(to), dayText(today)) +
               again;
    return {};
}

} // namespace veltrano
