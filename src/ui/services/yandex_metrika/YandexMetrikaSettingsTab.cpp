#include "ui/services/yandex_metrika/YandexMetrikaSettingsTab.h"

#include "ui/accounts/TokenListGroup.h"
#include "ui/widgets/PeriodGroup.h"
#include "ui/widgets/WidgetFactory.h"

#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veltrano {

using namespace widgets;

YandexMetrikaSettingsTab::YandexMetrikaSettingsTab(QWidget *parent)
    : ServiceSettingsTab(ServiceId::YandexMetrika, "tsSettingsYM", parent)
{
    setTokens(new TokenListGroup({"ListBox2", "Button7", "Button8", "Button9", "Button10"}));
    m_counters = reportList("ListView2", {QStringLiteral("Domain"), QStringLiteral("ID")}, {300, 100});
    m_counters->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    m_counters->setContextMenuPolicy(Qt::CustomContextMenu);
    m_period = new PeriodGroup("ComboBox10", "DateTimePicker3", "DateTimePicker4");
    m_period->setFixedWidth(PeriodGroup::MaxWidth);

    auto *right = new QWidget;
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_counters, 1);
    rightLayout->addWidget(m_period, 0, Qt::AlignLeft);
    place(tokens(), right);

    m_counterMenu = named(new QMenu(this), "PopupMenu3");
    m_keywordsAction = menuItem(m_counterMenu, QStringLiteral("Get All Keywords"), "GetAllKeywords1");
    m_keywordsAction->setEnabled(false); // until a counter connection has succeeded
    connect(m_counters, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_counterMenu->popup(m_counters->viewport()->mapToGlobal(pos)); });
}

} // namespace veltrano
