#include "ui/services/search_console/SearchConsoleSettingsTab.h"

#include "ui/accounts/TokenListGroup.h"
#include "ui/widgets/WidgetFactory.h"

#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace veltrano {

using namespace widgets;

SearchConsoleSettingsTab::SearchConsoleSettingsTab(QWidget *parent)
    : ServiceSettingsTab(ServiceId::SearchConsole, "TabSheet5", parent)
{
    setTokens(new TokenListGroup({"ListBox3", "Button11", "Button12", "Button13", "Button14"}));
    m_properties = reportList("ListView3", {QStringLiteral("Domain"), QStringLiteral("Host")}, {260, 300});
    m_keywords = button(QStringLiteral("Get All Keywords"), "Button32");
    m_keywords->setEnabled(false); // until an account is connected
    place(tokens(), listWithButton(m_properties, m_keywords));

    // "Add" opens the menu of the two Google sign-ins that share one client.
    m_signInMenu = named(new QMenu(this), "PopupMenu2");
    m_searchConsoleSignIn = menuItem(m_signInMenu, QStringLiteral("Search Console"), "MenuItem1");
    m_indexingApiSignIn = menuItem(m_signInMenu, QStringLiteral("Indexing API"), "MenuItem2");
    QPushButton *add = tokens()->addButton();
    connect(add, &QPushButton::clicked, this,
            [this, add] { m_signInMenu->popup(add->mapToGlobal(add->rect().bottomLeft())); });
}

} // namespace veltrano
