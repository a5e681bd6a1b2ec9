#pragma once

#include "app/ServiceDescriptor.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace veltrano {

// The period of days a service reports over: a preset ("Last 30 days",
// "Previous month", ...) fills the first and last day; "Custom" leaves them
// to the user. Both days count (inclusive). The checks and lists read the
// days when they send a request; nothing else keeps the period, and nothing
// saves it.
//
// Two of them live for the whole run, independent of each other: the Google
// one (ComboBox5 with DateTimePicker1/2 on the Google Analytics tab, also
// read by the Search Console query lists) and the Yandex Metrika one
// (ComboBox10 with DateTimePicker3/4). The settings tabs show them; this
// class holds the rules so that they are tested without a window.
class ReportingPeriod final : public QObject {
    Q_OBJECT
public:
    // The presets in the order of the list.
    enum Preset : int {
        ThisMonth = 0,
        ThisYear,
        Last7Days,
        Last30Days,
        Last90Days,
        Last180Days,
        Last365Days,
        PreviousWeek,
        PreviousMonth,
        Custom,
    };
    static constexpr int PresetCount = 10;
    static constexpr Preset InitialPreset = Last30Days;

    // The local date and time now; tests set a fixed one.
    using Clock = std::function<QDateTime()>;

    explicit ReportingPeriod(QObject *parent = nullptr);
    explicit ReportingPeriod(Clock clock, QObject *parent = nullptr);

    // "This month", ... "Custom": the entries of the preset list.
    static const QStringList &presetNames();

    // The first and last day a preset gives on a day; Custom gives nothing
    // (an invalid pair), since it keeps what was there.
    struct Days {
        QDate from;
        QDate to;
        bool operator==(const Days &) const = default;
    };
    static Days presetDays(int preset, const QDate &today);

    // The user chose an entry of the preset list (also the one already
    // chosen): the days are worked out anew from the clock, except for
    // Custom, which keeps them and lets the user edit them.
    void choosePreset(int preset);
    int preset() const { return m_preset; }
    // The days may be edited by hand: the preset is Custom.
    bool editable() const { return m_preset == Custom; }

    // The user edited a day. Neither order nor range is enforced: whatever
    // the user sets is sent, and the service answers it.
    void setFrom(const QDate &day);
    void setTo(const QDate &day);

    QDate from() const { return m_from; }
    QDate to() const { return m_to; }
    // The days as the services take them, "yyyy-mm-dd".
    QString fromText() const { return dayText(m_from); }
    QString toText() const { return dayText(m_to); }
    static QString dayText(const QDate &day) { return day.toString(QStringLiteral("yyyy-MM-dd")); }

    // Whether a service takes a last day after today.
    enum class FutureDays { Allowed, Refused };
    // Why the days cannot be sent, in words for the user, or an empty text
    // when they can: a first day after the last one is refused everywhere,
    // a last day after today where the service refuses it. periodTab names
    // the settings tab where the user chooses this period.
    static QString refusal(const QDate &from, const QDate &to, const QDate &today, FutureDays future,
                           const QString &periodTab);
    QString refusal(FutureDays future, const QString &periodTab) const
    {
        return refusal(m_from, m_to, today(), future, periodTab);
    }

    void setClock(Clock clock);
    QDate today() const;

Q_SIGNALS:
    // The preset or a day changed.
    void changed();

private:
    Clock m_clock;
    int m_preset = InitialPreset;
    QDate m_from;
    QDate m_to;
};

// The program's two periods.
struct ReportingPeriods {
    explicit ReportingPeriods(const ReportingPeriod::Clock &clock = {}) : google(clock), metrika(clock) {}

    ReportingPeriod google;  // Google Analytics and the Search Console query lists
    ReportingPeriod metrika; // Yandex Metrika

    // The period a service's descriptor binds it to; nullptr for none.
    ReportingPeriod *of(PeriodBinding binding)
    {
        switch (binding) {
        case PeriodBinding::Google:
            return &google;
        case PeriodBinding::Metrika:
            return &metrika;
        case PeriodBinding::None:
            break;
        }
        return nullptr;
    }
};

} // namespace veltrano
