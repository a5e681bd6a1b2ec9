#include "ui/AccountsController.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/VeltranoError.h"
#include "auth/TokenStore.h"
#include "ui/HandlerGuard.h"
#include "ui/TokenListGroup.h"
#include "ui/WaitDialog.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

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

AccountsController::AccountsController(Ports ports, Widgets widgets)
    : QObject(nullptr), m_ports(ports), m_widgets(widgets), m_settings(ports.settingsPath)
{
    setObjectName(QStringLiteral("AccountsController"));
    for (const ServiceInfo &info : ServiceTable::all()) {
        ServiceAccount &a = account(info.id);
        a.section = info.tokenSection;
        a.group = info.hasTokenList() ? widgets.tokenLists[size_t(info.id)] : nullptr;
        a.list = a.group ? a.group->list() : nullptr;
    }

    // Browser requests hand their window steps to this object's thread,
    // and wait while a request or a check is running.
    m_flow = std::make_unique<SignInFlow>(ports.endpoints, m_settings, ports.log, ports.trace, ports.browser, *this,
                                          this);
    m_flow->setBusyState(&ports.busy);
    wire();
    // Closing the wait dialog gives the sign-in up: a browser that comes
    // back afterwards stores nothing.
    if (ports.waitDialog)
        connect(ports.waitDialog, &WaitDialog::cancelled, this, [this] { m_flow->cancelSignIn(); });
}

AccountsController::~AccountsController()
{
    // The listener's threads use the window's log and trace: they end here,
    // before any of those go away.
    m_flow.reset();
}

void AccountsController::runWhenIdle(const std::function<void()> &handler)
{
    if (m_ports.busy.isBusy()) {
        m_ports.log.addToLog(BusyState::refusedLine());
        return;
    }
    runHandler(m_ports.prompt, handler);
}

void AccountsController::wire()
{
    const auto onTriggered = [this](QAction *action, SignInTarget target) {
        if (action)
            connect(action, &QAction::triggered, this,
                    [this, target] { runWhenIdle([=, this] { startSignIn(target); }); });
    };
    onTriggered(m_widgets.searchConsoleSignIn, SignInTarget::SearchConsole);
    onTriggered(m_widgets.indexingApiSignIn, SignInTarget::IndexingApi);

    for (const ServiceInfo &info : ServiceTable::all()) {
        const ServiceAccount &a = account(info.id);
        if (!a.group)
            continue;
        const ServiceId service = info.id;
        // The Search Console "Add" opens the menu of its two sign-ins.
        if (service != ServiceId::SearchConsole) {
            connect(a.group->addButton(), &QPushButton::clicked, this,
                    [this, target = info.signIn] { runWhenIdle([=, this] { startSignIn(target); }); });
        }
        connect(a.group->renameButton(), &QPushButton::clicked, this,
                [this, service] { runWhenIdle([=, this] { renameSelected(service); }); });
        connect(a.group->deleteButton(), &QPushButton::clicked, this,
                [this, service] { runWhenIdle([=, this] { deleteSelected(service); }); });
        connect(a.group->connectButton(), &QPushButton::clicked, this,
                [this, service] { runConnectOperation(service); });
        a.list->viewport()->installEventFilter(this);
    }

    if (m_widgets.ahrefsToken) {
        connect(m_widgets.ahrefsToken, &QLineEdit::textChanged, this,
                [this](const QString &text) { runHandler(m_ports.prompt, [&] { writeAhrefsToken(text); }); });
    }
}

bool AccountsController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        // A click beside the entries keeps the selected one selected, as in
        // a plain list box, so a double-click there can connect it.
        for (const ServiceAccount &a : m_accounts) {
            if (a.list && watched == a.list->viewport() &&
                !a.list->itemAt(static_cast<QMouseEvent *>(event)->position().toPoint()))
                return true;
        }
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        // A double-click connects the account of the selected entry, even
        // beside the entries and while "Connect to Account" is disabled
        // after an earlier connection.
        for (const ServiceInfo &info : ServiceTable::all()) {
            const ServiceAccount &a = account(info.id);
            if (a.list && watched == a.list->viewport() && !selectedAlias(info.id).isEmpty()) {
                runConnectOperation(info.id);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void AccountsController::start()
{
    runHandler(m_ports.prompt, [this] { loadTokenLists(); });
    QString error;
    bool portTaken = false;
    if (m_flow->startListener(&error, &portTaken))
        return;
    if (portTaken) {
        error += QStringLiteral("\n\nPort %1 on this computer is held by another program, so a sign-in in the "
                                "browser cannot come back to Veltrano. Close that program; Veltrano tries the "
                                "port again when you click \"Add\" to connect an account.")
                     .arg(m_ports.endpoints.loopbackPort);
    }
    m_ports.prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), error);
}

bool AccountsController::ensureListening()
{
    if (m_flow->isListening())
        return true;
    QString error;
    bool portTaken = false;
    if (m_flow->startListener(&error, &portTaken))
        return true;
    const int port = m_ports.endpoints.loopbackPort;
    if (portTaken) {
        error += QStringLiteral("\n\nPort %1 is still held by another program, so the browser could not come back "
                                "to Veltrano. Close the program that holds it and click \"Add\" again.")
                     .arg(port);
    }
    m_ports.log.addToLog(QStringLiteral("Sign-in not started: Veltrano cannot listen on port %1").arg(port));
    m_ports.prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), error);
    return false;
}

void AccountsController::loadTokenLists()
{
    for (ServiceAccount &a : m_accounts) {
        if (a.list)
            a.list->addItems(TokenStore(m_settings, a.section).aliases());
    }
    if (m_widgets.ahrefsToken) {
        // Loading is no user's change: the value is in the file already.
        const QSignalBlocker blocker(m_widgets.ahrefsToken);
        m_widgets.ahrefsToken->setText(m_settings.readString(settings::AhrefsTokenSection, settings::AhrefsTokenKey));
    }
    for (ServiceAccount &a : m_accounts) {
        if (!a.list || a.list->count() == 0)
            continue;
        a.list->setCurrentRow(0);
        a.group->renameButton()->setEnabled(true);
    }
}

void AccountsController::stop()
{
    m_closing = true;
    if (!m_flow->inGuiStep()) {
        m_flow->stopListener();
        return;
    }
    // A browser request's step is running further down this thread's stack,
    // inside a message that waits for the user. Stopping here would wait for
    // that request's thread, which waits for the step: close the message and
    // come back once the step has returned.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    QTimer::singleShot(0, this, &AccountsController::stop);
}

void AccountsController::setConnectOperation(ServiceId service, std::function<void()> operation)
{
    account(service).connectOperation = std::move(operation);
}

void AccountsController::runConnectOperation(ServiceId service)
{
    const std::function<void()> operation = account(service).connectOperation;
    if (operation)
        runWhenIdle(operation);
}

QString AccountsController::selectedAlias(ServiceId service) const
{
    const QListWidgetItem *item = selectedItem(account(service).list);
    return item ? item->text() : QString();
}

QString AccountsController::selectedToken(ServiceId service) const
{
    const QString alias = selectedAlias(service);
    if (alias.isEmpty())
        return {};
    return TokenStore(m_settings, account(service).section).token(alias);
}

QListWidget *AccountsController::tokenList(ServiceId service) const
{
    return account(service).list;
}

void AccountsController::startSignIn(SignInTarget target)
{
    // Without the listener the browser could never come back: try the port
    // again, and say so at once when it is still taken.
    if (!ensureListening())
        return;
    const SignInFlow::SignInStart start = m_flow->startSignIn(target);
    if (m_ports.waitDialog)
        m_ports.waitDialog->showWaiting(start.address, start.browserOpened);
}

void AccountsController::renameSelected(ServiceId service)
{
    ServiceAccount &a = account(service);
    QListWidgetItem *item = selectedItem(a.list);
    if (!item)
        return;
    const QString alias = item->text();
    bool ok = false;
    const QString newAlias =
        QInputDialog::getText(&m_ports.window, QStringLiteral("Token alias"), QStringLiteral("Enter name of the Token"),
                              QLineEdit::Normal, alias, &ok);
    if (!ok || newAlias.isEmpty())
        return;
    // A refused alias or write raises here: the file and the list stay as they were.
    if (!TokenStore(m_settings, a.section).rename(alias, newAlias))
        return;
    item->setText(newAlias);
}

void AccountsController::deleteSelected(ServiceId service)
{
    ServiceAccount &a = account(service);
    QListWidgetItem *item = selectedItem(a.list);
    if (!item)
        return;
    // A refused write raises here, and the entry stays in the list as it
    // stays in the file.
    TokenStore(m_settings, a.section).remove(item->text());
    delete a.list->takeItem(a.list->row(item));
    a.list->clearSelection();
    a.list->setCurrentRow(-1);
}

void AccountsController::writeAhrefsToken(const QString &text)
{
    m_settings.writeString(settings::AhrefsTokenSection, settings::AhrefsTokenKey, text);
}

void AccountsController::tokenAdded(SignInTarget target, const QString &alias)
{
    const ServiceInfo *info = ServiceTable::ofSignIn(target);
    if (!info)
        return;
    ServiceAccount &a = account(info->id);
    if (!a.list)
        return;
    a.list->addItem(alias);
    a.group->renameButton()->setEnabled(true);
}

void AccountsController::indexingApiTokenSaved()
{
    m_ports.prompt.show(MessagePrompt::Icon::Information, applicationErrorTitle(),
                        QStringLiteral("GoogleSC Indexing API Token was Saved!"));
}

void AccountsController::signInCompleted()
{
    WaitDialog *wait = m_ports.waitDialog;
    if (wait && wait->isVisible())
        wait->closeCompleted();
    // A window that is closing is not brought back to the front.
    if (m_closing)
        return;
    m_ports.window.raise();
    m_ports.window.activateWindow();
}

} // namespace veltrano
