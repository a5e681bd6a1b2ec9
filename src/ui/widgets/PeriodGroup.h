#pragma once

#include <QGroupBox>

class QComboBox;
class QDateEdit;

namespace veltrano {

class ReportingPeriod;

// " Period " of a service that reports over days: the preset list
// ("Period:") and the two date pickers ("From / To:"), which the user can
// edit only while the preset is "Custom". The group shows a ReportingPeriod,
// which holds the rules: choosing an entry of the list applies its preset,
// editing a picker sets that day.
class PeriodGroup final : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int MaxWidth = 480;

    PeriodGroup(const char *presetName, const char *fromName, const char *toName, QWidget *parent = nullptr);

    QComboBox *presets() const { return m_presets; }
    QDateEdit *fromPicker() const { return m_from; }
    QDateEdit *toPicker() const { return m_to; }

    // Shows period from now on and passes the user's choices to it.
    void bind(ReportingPeriod &period);

private:
    void showPeriod();

    ReportingPeriod *m_period = nullptr;
    QComboBox *m_presets = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
};

} // namespace veltrano
