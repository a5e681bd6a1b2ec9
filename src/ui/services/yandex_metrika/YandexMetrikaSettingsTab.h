#pragma once

#include "ui/services/ServiceSettingsTab.h"

class QAction;
class QMenu;
class QTreeWidget;

namespace veltrano {

class PeriodGroup;

// "Yandex Metrika" on the Settings page: the token list (ListBox2), the
// account's counters (ListView2: "Domain", "ID") with their menu PopupMenu3
// ("Get All Keywords"), and the reporting period (ComboBox10,
// DateTimePicker3, DateTimePicker4).
class YandexMetrikaSettingsTab final : public ServiceSettingsTab {
    Q_OBJECT
public:
    explicit YandexMetrikaSettingsTab(QWidget *parent = nullptr);

    QTreeWidget *counters() const { return m_counters; }
    QMenu *counterMenu() const { return m_counterMenu; }
    QAction *keywordsAction() const { return m_keywordsAction; }
    PeriodGroup *period() const { return m_period; }
    PeriodGroup *periodGroup() const override { return m_period; }

private:
    QTreeWidget *m_counters = nullptr;
    QMenu *m_counterMenu = nullptr;
    QAction *m_keywordsAction = nullptr;
    PeriodGroup *m_period = nullptr;
};

} // namespace veltrano
