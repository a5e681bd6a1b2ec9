#pragma once

#include "ui/ServiceSettingsTab.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace veltrano {

// "Ahrefs" on the Settings page: " Ahrefs API " with the typed-in token
// (Edit1), the site (Edit2), the table to browse (ComboBox6), the row count
// (SpinEdit1), "Show Data" (Button20) and "Get Backlinks History >>"
// (Button28); the data they bring shows in RichEdit1 under Label23.
class AhrefsSettingsTab final : public ServiceSettingsTab {
    Q_OBJECT
public:
    explicit AhrefsSettingsTab(QWidget *parent = nullptr);

    QLineEdit *tokenField() const { return m_token; }
    QLineEdit *siteField() const { return m_site; }
    QComboBox *tableChoice() const { return m_table; }
    QSpinBox *rowCount() const { return m_rows; }
    QPushButton *showDataButton() const { return m_showData; }
    QPushButton *historyButton() const { return m_history; }
    QPlainTextEdit *dataText() const { return m_data; }
    QLabel *dataLabel() const { return m_dataLabel; }

private:
    QLineEdit *m_token = nullptr;
    QLineEdit *m_site = nullptr;
    QComboBox *m_table = nullptr;
    QSpinBox *m_rows = nullptr;
    QPushButton *m_showData = nullptr;
    QPushButton *m_history = nullptr;
    QPlainTextEdit *m_data = nullptr;
    QLabel *m_dataLabel = nullptr;
};

} // namespace veltrano
