#include "ui/services/yandex_webmaster/YandexWebmasterSettingsTab.h"

#include "ui/accounts/TokenListGroup.h"
#include "ui/widgets/WidgetFactory.h"

#include <QPushButton>
#include <QTreeWidget>

namespace veltrano {

using namespace widgets;

YandexWebmasterSettingsTab::YandexWebmasterSettingsTab(QWidget *parent)
    : ServiceSettingsTab(ServiceId::YandexWebmaster, "tsSettingsYWM", parent)
{
    setTokens(new TokenListGroup({"ListBox1", "Button3", "Button4", "Button5", "Button6"}));
    m_sites = reportList("ListView1", {QStringLiteral("Domain"), QStringLiteral("Host")}, {260, 260});
    m_keywords = button(QStringLiteral("Get All Keywords"), "Button34");
    m_keywords->setEnabled(false); // until an account is connected
    place(tokens(), listWithButton(m_sites, m_keywords));
}

} // namespace veltrano
