#include "ui/services/ahrefs/AhrefsSettingsTab.h"

#include "services/ahrefs/AhrefsDataExplorer.h"

#include "ui/accounts/TokenListGroup.h"
#include "ui/widgets/AreaChartView.h"
#include "ui/widgets/WidgetFactory.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veltrano {

using namespace widgets;

AhrefsSettingsTab::AhrefsSettingsTab(QWidget *parent)
    : ServiceSettingsTab(ServiceId::Ahrefs, "tsSettingsAhrefs", parent)
{
    m_historyChart = named(new AreaChartView(QStringLiteral("Backlinks History")), "Chart1");
    m_historyTable = reportList("ListView10", {QStringLiteral("Date"), QStringLiteral("Count")}, {100, 80});
    m_historyTable->setParent(this);
    m_historyTable->hide();

    auto *query = named(new QGroupBox(QStringLiteral(" Ahrefs API ")), "gbAhrefs");
    query->setFixedWidth(TokenListGroup::FixedWidth);
    auto *form = new QFormLayout(query);
    m_api = named(new QComboBox, "cbAhrefsApi");
    m_api->addItems({QStringLiteral("v3"), QStringLiteral("v2 (retired)")});
    form->addRow(label(QStringLiteral("API:")), m_api);
    m_token = named(new QLineEdit, "Edit1");
    form->addRow(label(QStringLiteral("Token:")), m_token);
    m_site = named(new QLineEdit, "Edit2");
    m_site->setPlaceholderText(QStringLiteral("example.com"));
    form->addRow(label(QStringLiteral("Site:")), m_site);
    m_table = named(new QComboBox, "ComboBox6");
    m_table->addItems(AhrefsDataExplorer::tableNames());
    m_table->setCurrentText(AhrefsDataExplorer::defaultTable());
    form->addRow(label(QStringLiteral("From:")), m_table);
    m_rows = named(new QSpinBox, "SpinEdit1");
    m_rows->setRange(100, 10000);
    m_rows->setSingleStep(100);
    m_rows->setValue(100);
    form->addRow(label(QStringLiteral("Rows:")), m_rows);
    auto *buttons = new QHBoxLayout;
    m_showData = button(QStringLiteral("Show Data"), "Button20");
    m_history = button(QStringLiteral("Get Backlinks History >>"), "Button28");
    buttons->addWidget(m_showData);
    buttons->addWidget(m_history);
    form->addRow(buttons);
    m_units = named(new QLabel, "lblAhrefsUnits");
    m_units->setWordWrap(true);
    form->addRow(m_units);

    auto *data = new QWidget;
    auto *dataLayout = new QVBoxLayout(data);
    dataLayout->setContentsMargins(0, 0, 0, 0);
    m_dataLabel = named(new QLabel(QStringLiteral("Data:")), "Label23");
    dataLayout->addWidget(m_dataLabel);
    m_data = named(new QPlainTextEdit, "RichEdit1");
    m_data->setReadOnly(true);
    m_data->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_data->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_data->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dataLayout->addWidget(m_data, 1);

    place(query, data, Qt::AlignTop);
}

bool AhrefsSettingsTab::usesApiV3() const
{
    return m_api->currentIndex() == 0;
}

QWidget *AhrefsSettingsTab::sideWidget() const
{
    return m_historyChart;
}

} // namespace veltrano
