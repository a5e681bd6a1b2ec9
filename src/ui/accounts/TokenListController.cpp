#include "ui/accounts/TokenListController.h"

#include "auth/TokenStore.h"
#include "ui/accounts/TokenListGroup.h"

#include <QEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

namespace veltrano {

namespace {

QListWidgetItem *selectedItem(const QListWidget *list)
{
    if (!list)
        return nullptr;
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace

TokenListController::TokenListController(ServiceId service, QString serviceName, QString section, TokenListGroup &group,
                                         SettingsFile settings, MessagePrompt &prompt, QWidget &dialogParent,
                                         std::function<void(const std::function<void()> &)> runWhenIdle)
    : QObject(nullptr), m_service(service), m_serviceName(std::move(serviceName)), m_section(std::move(section)),
      m_group(group), m_list(group.list()), m_settings(std::move(settings)), m_prompt(prompt),
      m_dialogParent(dialogParent), m_runWhenIdle(std::move(runWhenIdle))
{
    connect(m_group.renameButton(), &QPushButton::clicked, this,
            [this] { m_runWhenIdle([this] { renameSelected(); }); });
    connect(m_group.deleteButton(), &QPushButton::clicked, this,
            [this] { m_runWhenIdle([this] { deleteSelected(); }); });
    connect(m_group.connectButton(), &QPushButton::clicked, this, [this] { runConnectOperation(); });
    m_list->viewport()->installEventFilter(this);
}

void TokenListController::loadAliases()
{
    m_list->addItems(TokenStore(m_settings, m_section).aliases());
}

void TokenListController::selectFirst()
{
    if (m_list->count() == 0)
        return;
    m_list->setCurrentRow(0);
    m_group.renameButton()->setEnabled(true);
}

void TokenListController::appendAlias(const QString &alias)
{
    m_list->addItem(alias);
    // The account just signed in is the one the user means to use next.
    m_list->setCurrentRow(m_list->count() - 1);
    m_group.renameButton()->setEnabled(true);
}

QString TokenListController::selectedAlias() const
{
    const QListWidgetItem *item = selectedItem(m_list);
    return item ? item->text() : QString();
}

QString TokenListController::selectedToken() const
{
    const QString alias = selectedAlias();
    if (alias.isEmpty())
        return {};
    return TokenStore(m_settings, m_section).token(alias);
}

void TokenListController::runConnectOperation()
{
    const std::function<void()> operation = m_connect;
    if (operation)
        m_runWhenIdle(operation);
}

bool TokenListController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        // A click beside the entries keeps the selected one selected, as in
        // a plain list box, so a double-click there can connect it.
        if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
            !m_list->itemAt(static_cast<QMouseEvent *>(event)->position().toPoint()))
            return true;
        // A double-click connects the account of the selected entry, even
        // beside the entries and while "Connect to Account" is disabled
        // after an earlier connection.
        if (event->type() == QEvent::MouseButtonDblClick && !selectedAlias().isEmpty())
            runConnectOperation();
    }
    return QObject::eventFilter(watched, event);
}

void TokenListController::renameSelected()
{
    QListWidgetItem *item = selectedItem(m_list);
    if (!item)
        return;
    const QString alias = item->text();
    bool ok = false;
    const QString newAlias =
        QInputDialog::getText(&m_dialogParent, QStringLiteral("Token alias"), QStringLiteral("Enter name of the Token"),
                              QLineEdit::Normal, alias, &ok);
    if (!ok || newAlias.isEmpty())
        return;
    // A refused alias or write raises here: the file and the list stay as they were.
    if (!TokenStore(m_settings, m_section).rename(alias, newAlias))
        return;
    item->setText(newAlias);
}

void TokenListController::deleteSelected()
{
    QListWidgetItem *item = selectedItem(m_list);
    if (!item)
        return;
    const QString alias = item->text();
    // The token cannot be got back without signing in again: the user says
    // so first, and No leaves the file and the list alone.
    if (!m_prompt.ask(QStringLiteral("Delete account"),
                      QStringLiteral("Delete the account '%1' of %2?\n\nIts access token is removed from "
                                     "Veltrano.ini; to use the account again you will have to sign in again.")
                          .arg(alias, m_serviceName)))
        return;
    // A refused write raises here, and the entry stays in the list as it
    // stays in the file.
    TokenStore(m_settings, m_section).remove(alias);
    delete m_list->takeItem(m_list->row(item));
    m_list->clearSelection();
    m_list->setCurrentRow(-1);
}

} // namespace veltrano
