#pragma once

#include "ui/services/ServiceSettingsTab.h"

class QComboBox;

namespace veltrano {

class PeriodGroup;

// "Google Analytics" on the Settings page: the token list (ListBox4), the
// " View " choice (ComboBox1 account, ComboBox2 property, ComboBox3 view,
// ComboBox4 segment, never used) and the reporting period (ComboBox5,
// DateTimePicker1, DateTimePicker2).
class AnalyticsSettingsTab final : public ServiceSettingsTab {
    Q_OBJECT
public:
    explicit AnalyticsSettingsTab(QWidget *parent = nullptr);

    QComboBox *accounts() const { return m_accounts; }
    QComboBox *properties() const { return m_properties; }
    QComboBox *views() const { return m_views; }
    QComboBox *segments() const { return m_segments; }
    PeriodGroup *period() const { return m_period; }
    PeriodGroup *periodGroup() const override { return m_period; }

private:
    QComboBox *m_accounts = nullptr;
    QComboBox *m_properties = nullptr;
    QComboBox *m_views = nullptr;
    QComboBox *m_segments = nullptr;
    PeriodGroup *m_period = nullptr;
};

} // namespace veltrano
