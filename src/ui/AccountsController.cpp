#include "ui/AccountsController.h"

#include "app/VeltranoError.h"
#include "auth/TokenStore.h"
#include "ui/HandlerGuard.h"
#include "ui/MainWindow.h"
#include "ui/WaitDialog.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace veltrano {

namespace {

struct ServiceNames {
    QLatin1String section;
    const char *list;
    const char *add;
    const char *rename;
    const char *remove;
    const char *connect;
};

const ServiceNames Names[TokenServiceCount] = {
    {settings::YandexWebmasterTokens, "ListBox1", "Button3", "Button4", "Button5", "Button6"},
    {settings::YandexMetrikaTokens, "ListBox2", "Button7", "Button8", "Button9", "Button10"},
    {settings::SearchConsoleTokens, "ListBox3", nullptr, "Button12", "Button13", "Button14"},
    {settings::AnalyticsTokens, "ListBox4", "Button15", "Button16", "Button17", "Button18"},
};

// The token list a sign-in fills; none for the Indexing API, whose single
// token has no alias.
bool serviceOf(SignInTarget target, TokenService *service)
{
    switch (target) {
    case SignInTarget::YandexWebmaster:
        *service = TokenService::YandexWebmaster;
        return true;
    case SignInTarget::YandexMetrika:
        *service = TokenService::YandexMetrika;
        return true;
    case SignInTarget::SearchConsole:
        *service = TokenService::SearchConsole;
        return true;
    case SignInTarget::Analytics:
        *service = TokenService::Analytics;
        return true;
    default:
        return false;
    }
}

template <typename T> T *child(QObject &parent, const char *name)
{
    return name ? parent.findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

QListWidgetItem *selectedItem(const QListWidget *list)
{
    if (!list)
        return nullptr;
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace

AccountsController::AccountsController(MainWindow &window)
    : QObject(nullptr), m_window(window), m_settings(window.settingsPath())
{
    setObjectName(QStringLiteral("AccountsController"));
    for (int i = 0; i < TokenServiceCount; ++i) {
        const ServiceNames &names = Names[i];
        ServiceWidgets &w = m_services[size_t(i)];
        w.section = names.section;
        w.list = child<QListWidget>(window, names.list);
        w.add = child<QPushButton>(window, names.add);
        w.rename = child<QPushButton>(window, names.rename);
        w.remove = child<QPushButton>(window, names.remove);
        w.connectButton = child<QPushButton>(window, names.connect);
    }
    m_ahrefsToken = child<QLineEdit>(window, "Edit1");
    m_searchConsoleSignIn = child<QAction>(window, "MenuItem1");
    m_indexingApiSignIn = child<QAction>(window, "MenuItem2");

    // Browser requests hand their window steps to this object's thread.
    m_flow = std::make_unique<SignInFlow>(window.endpoints(), m_settings, window.activityLog(), window.requestTrace(),
                                          window.browser(), *this, this);
    wire();
}

AccountsController::~AccountsController()
{
    // The listener's threads use the window's log and trace: they end here,
    // before any of those go away.
    m_flow.reset();
}

void AccountsController::wire()
{
    MessagePrompt &prompt = m_window.prompt();
    const auto addButton = [this, &prompt](QPushButton *button, SignInTarget target) {
        if (button)
            connect(button, &QPushButton::clicked, this, guarded(prompt, [this, target] { startSignIn(target); }));
    };
    addButton(widgets(TokenService::YandexWebmaster).add, SignInTarget::YandexWebmaster);
    addButton(widgets(TokenService::YandexMetrika).add, SignInTarget::YandexMetrika);
    addButton(widgets(TokenService::Analytics).add, SignInTarget::Analytics);
    // The Search Console "Add" (Button11) opens PopupMenu2; its two items
    // start the two Google sign-ins that share one client.
    if (m_searchConsoleSignIn) {
        connect(m_searchConsoleSignIn, &QAction::triggered, this,
                guarded(prompt, [this] { startSignIn(SignInTarget::SearchConsole); }));
    }
    if (m_indexingApiSignIn) {
        connect(m_indexingApiSignIn, &QAction::triggered, this,
                guarded(prompt, [this] { startSignIn(SignInTarget::IndexingApi); }));
    }

    for (int i = 0; i < TokenServiceCount; ++i) {
        const auto service = TokenService(i);
        ServiceWidgets &w = widgets(service);
        if (w.rename) {
            connect(w.rename, &QPushButton::clicked, this,
                    guarded(prompt, [this, service] { renameSelected(service); }));
        }
        if (w.remove) {
            connect(w.remove, &QPushButton::clicked, this,
                    guarded(prompt, [this, service] { deleteSelected(service); }));
        }
        if (w.connectButton)
            connect(w.connectButton, &QPushButton::clicked, this, [this, service] { runConnectOperation(service); });
        if (w.list) {
            // A double-click connects the account of the entry, even while
            // "Connect to Account" is disabled after an earlier connection.
            connect(w.list, &QListWidget::itemDoubleClicked, this, [this, service] {
                if (!selectedAlias(service).isEmpty())
                    runConnectOperation(service);
            });
        }
    }

    if (m_ahrefsToken) {
        connect(m_ahrefsToken, &QLineEdit::textChanged, this,
                [this](const QString &text) { runHandler(m_window.prompt(), [&] { writeAhrefsToken(text); }); });
    }
}

void AccountsController::start()
{
    runHandler(m_window.prompt(), [this] { loadTokenLists(); });
    QString error;
    if (!m_flow->startListener(&error))
        m_window.prompt().show(MessagePrompt::Icon::Error, applicationErrorTitle(), error);
}

void AccountsController::loadTokenLists()
{
    for (ServiceWidgets &w : m_services) {
        if (w.list)
            w.list->addItems(TokenStore(m_settings, w.section).aliases());
    }
    if (m_ahrefsToken) {
        // Loading is no user's change: the value is in the file already.
        const QSignalBlocker blocker(m_ahrefsToken);
        m_ahrefsToken->setText(m_settings.readString(settings::AhrefsTokenSection, settings::AhrefsTokenKey));
    }
    for (ServiceWidgets &w : m_services) {
        if (!w.list || w.list->count() == 0)
            continue;
        w.list->setCurrentRow(0);
        if (w.rename)
            w.rename->setEnabled(true);
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

void AccountsController::setConnectOperation(TokenService service, std::function<void()> operation)
{
    widgets(service).connectOperation = std::move(operation);
}

void AccountsController::runConnectOperation(TokenService service)
{
    const std::function<void()> operation = widgets(service).connectOperation;
    if (operation)
        runHandler(m_window.prompt(), operation);
}

QString AccountsController::selectedAlias(TokenService service) const
{
    const QListWidgetItem *item = selectedItem(widgets(service).list);
    return item ? item->text() : QString();
}

QString AccountsController::selectedToken(TokenService service) const
{
    const QString alias = selectedAlias(service);
    if (alias.isEmpty())
        return {};
    return TokenStore(m_settings, widgets(service).section).token(alias);
}

QListWidget *AccountsController::tokenList(TokenService service) const
{
    return widgets(service).list;
}

void AccountsController::startSignIn(SignInTarget target)
{
    m_flow->startSignIn(target);
    m_window.waitDialog()->showWaiting();
}

void AccountsController::renameSelected(TokenService service)
{
    ServiceWidgets &w = widgets(service);
    QListWidgetItem *item = selectedItem(w.list);
    if (!item)
        return;
    const QString alias = item->text();
    bool ok = false;
    const QString newAlias =
        QInputDialog::getText(&m_window, QStringLiteral("Token alias"), QStringLiteral("Enter name of the Token"),
                              QLineEdit::Normal, alias, &ok);
    if (!ok || newAlias.isEmpty())
        return;
    // A refused alias or write raises here: the file and the list stay as they were.
    if (!TokenStore(m_settings, w.section).rename(alias, newAlias))
        return;
    item->setText(newAlias);
}

void AccountsController::deleteSelected(TokenService service)
{
    ServiceWidgets &w = widgets(service);
    QListWidgetItem *item = selectedItem(w.list);
    if (!item)
        return;
    TokenStore(m_settings, w.section).remove(item->text());
    delete w.list->takeItem(w.list->row(item));
    w.list->clearSelection();
    w.list->setCurrentRow(-1);
}

void AccountsController::writeAhrefsToken(const QString &text)
{
    m_settings.writeString(settings::AhrefsTokenSection, settings::AhrefsTokenKey, text);
}

void AccountsController::tokenAdded(SignInTarget target, const QString &alias)
{
    TokenService service;
    if (!serviceOf(target, &service))
        return;
    ServiceWidgets &w = widgets(service);
    if (w.list)
        w.list->addItem(alias);
    if (w.rename)
        w.rename->setEnabled(true);
}

void AccountsController::indexingApiTokenSaved()
{
    m_window.prompt().show(MessagePrompt::Icon::Information, QStringLiteral("Veltrano"),
                           QStringLiteral("GoogleSC Indexing API Token was Saved!"));
}

void AccountsController::signInCompleted()
{
    WaitDialog *wait = m_window.waitDialog();
    if (wait && wait->isVisible())
        wait->close();
    // A window that is closing is not brought back to the front.
    if (m_closing)
        return;
    m_window.raise();
    m_window.activateWindow();
}

} // namespace veltrano
