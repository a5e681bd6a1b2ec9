#include "ui/services/analytics/AnalyticsSettingsTab.h"

#include "ui/accounts/TokenListGroup.h"
#include "ui/widgets/PeriodGroup.h"
#include "ui/widgets/WidgetFactory.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>

namespace veltrano {

using namespace widgets;

AnalyticsSettingsTab::AnalyticsSettingsTab(QWidget *parent)
    : ServiceSettingsTab(ServiceId::Analytics, "tsSettingsGA", parent)
{
    setTokens(new TokenListGroup({"ListBox4", "Button15", "Button16", "Button17", "Button18"}));

    auto *views = named(new QGroupBox(QStringLiteral(" View ")), "gbAnalyticsView");
    auto *form = new QFormLayout(views);
    const auto combo = [form](const char *caption, const char *objectName) {
        auto *box = named(new QComboBox, objectName);
        box->setMinimumWidth(280);
        form->addRow(label(QString::fromLatin1(caption)), box);
        return box;
    };
    m_accounts = combo("Account:", "ComboBox1");
    m_properties = combo("Property:", "ComboBox2");
    m_views = combo("View:", "ComboBox3");
    m_segments = combo("Segment:", "ComboBox4");
    // Segments are not used: that list stays empty and disabled.
    m_segments->setEnabled(false);
    form->labelForField(m_segments)->setEnabled(false);

    m_period = new PeriodGroup("ComboBox5", "DateTimePicker1", "DateTimePicker2");
    views->setMaximumWidth(PeriodGroup::MaxWidth);
    m_period->setMaximumWidth(PeriodGroup::MaxWidth);
    place(tokens(), column({views, m_period}, true));
}

} // namespace veltrano
