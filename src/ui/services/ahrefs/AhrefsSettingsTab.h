#pragma once

#include "ui/services/ServiceSettingsTab.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace veltrano {

class AreaChartView;

// "Ahrefs" on the Settings page: " Ahrefs API " with the typed-in token
// (Edit1), the site (Edit2), the table to browse (ComboBox6), the row count
// (SpinEdit1), "Show Data" (Button20) and "Get Backlinks History >>"
// (Button28); the data they bring shows in RichEdit1 under Label23.
class AhrefsSettingsTab final : public ServiceSettingsTab {
    Q_OBJECT
public:
    explicit AhrefsSettingsTab(QWidget *parent = nullptr);

    // The API the tab talks to: "v3" (index 0, the default) or "v2 (retired)".
    QComboBox *apiChoice() const { return m_api; }
    bool usesApiV3() const;
    // What is left of the key's API units, as the service last said.
    QLabel *unitsLabel() const { return m_units; }
    QLineEdit *tokenField() const { return m_token; }
    QLineEdit *siteField() const { return m_site; }
    QComboBox *tableChoice() const { return m_table; }
    QSpinBox *rowCount() const { return m_rows; }
    QPushButton *showDataButton() const { return m_showData; }
    QPushButton *historyButton() const { return m_history; }
    QPlainTextEdit *dataText() const { return m_data; }
    QLabel *dataLabel() const { return m_dataLabel; }
    // The backlinks history chart (Chart1), beside the tabs while this one
    // is on show, and the hidden table that feeds it (ListView10).
    AreaChartView *historyChart() const { return m_historyChart; }
    QTreeWidget *historyTable() const { return m_historyTable; }
    QWidget *sideWidget() const override;

private:
    QComboBox *m_api = nullptr;
    QLabel *m_units = nullptr;
    QLineEdit *m_token = nullptr;
    QLineEdit *m_site = nullptr;
    QComboBox *m_table = nullptr;
    QSpinBox *m_rows = nullptr;
    QPushButton *m_showData = nullptr;
    QPushButton *m_history = nullptr;
    QPlainTextEdit *m_data = nullptr;
    QLabel *m_dataLabel = nullptr;
    AreaChartView *m_historyChart = nullptr;
    QTreeWidget *m_historyTable = nullptr;
};

} // namespace veltrano
