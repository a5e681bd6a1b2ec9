#pragma once

#include "app/ServiceAccounts.h"
#include "auth/SettingsFile.h"
#include "auth/SignInFlow.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace veltrano {

class ActivityLog;
class BrowserOpener;
class BusyState;
class MessagePrompt;
class RequestTrace;
class TokenListGroup;
class WaitDialog;

// The accounts part of the Settings page: the token lists of the services
// that have one (ListBox1-4) with their "Add", "Rename", "Delete" and
// "Connect to Account" buttons, the two Google sign-ins of PopupMenu2, the
// Ahrefs token field Edit1, the "Connecting..." wait dialog and the sign-in
// listener behind them.
//
// The lists and the settings file change together: every change goes to the
// file first and reaches the list only when the file took it. While a
// request or a check runs, nothing here starts another request or changes
// the accounts; a sign-in that completes meanwhile is handled afterwards.
class AccountsController final : public QObject, public SignInView, public ServiceAccounts {
    Q_OBJECT
public:
    struct Ports {
        QWidget &window; // raised after a sign-in; parent of the alias dialog
        QString settingsPath;
        const Endpoints &endpoints;
        ActivityLog &log;
        RequestTrace &trace;
        BrowserOpener &browser;
        MessagePrompt &prompt;
        BusyState &busy;
        WaitDialog *waitDialog = nullptr;
    };
    struct Widgets {
        // By service; nullptr for a service without a token list.
        std::array<TokenListGroup *, ServiceCount> tokenLists{};
        QLineEdit *ahrefsToken = nullptr;
        // The two Google sign-ins behind the Search Console "Add"; that
        // "Add" itself only opens their menu.
        QAction *searchConsoleSignIn = nullptr;
        QAction *indexingApiSignIn = nullptr;
    };

    AccountsController(Ports ports, Widgets widgets);
    ~AccountsController() override;

    // Start-up: fills the token lists from the settings file in file order,
    // selects each non-empty list's first entry and enables its "Rename",
    // reads the Ahrefs token into Edit1, then starts the sign-in listener. A
    // listener that cannot start is reported in the application's error box,
    // which names the port when another program holds it; everything else
    // works, and each "Add" tries the port again.
    void start();

    // Closing: stops the listener. When a browser request's step is running
    // on this thread right now (the Indexing API notice waits for the user),
    // the listener cannot be stopped from inside it: the open message is
    // dismissed and the stop is retried on the next turn of the event loop.
    void stop();

    // ServiceAccounts. The connect operation is wired to the service's
    // "Connect to Account" and to a double-click on its token list while an
    // entry is selected, which runs it even while the button is disabled.
    void setConnectOperation(ServiceId service, std::function<void()> operation) override;
    QString selectedAlias(ServiceId service) const override;
    QString selectedToken(ServiceId service) const override;

    // Runs the service's "Connect to Account" operation, if one is set.
    void runConnectOperation(ServiceId service);

    QListWidget *tokenList(ServiceId service) const;
    SignInFlow &signIn() { return *m_flow; }

    // SignInView: every call comes on the GUI thread.
    void tokenAdded(SignInTarget target, const QString &alias) override;
    void indexingApiTokenSaved() override;
    void signInCompleted() override;

protected:
    // A double-click on a token list, on an entry or beside the entries.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ServiceAccount {
        QString section;
        TokenListGroup *group = nullptr;
        QListWidget *list = nullptr;
        std::function<void()> connectOperation;
    };

    ServiceAccount &account(ServiceId service) { return m_accounts[size_t(service)]; }
    const ServiceAccount &account(ServiceId service) const { return m_accounts[size_t(service)]; }
    void wire();
    // Runs a handler that changes the accounts or starts a request, unless
    // a request or a check is running.
    void runWhenIdle(const std::function<void()> &handler);
    void loadTokenLists();
    // Starts the listener when it is not running; false, after telling the
    // user, when it still cannot listen.
    bool ensureListening();
    void startSignIn(SignInTarget target);
    void renameSelected(ServiceId service);
    void deleteSelected(ServiceId service);
    void writeAhrefsToken(const QString &text);

    Ports m_ports;
    Widgets m_widgets;
    SettingsFile m_settings;
    std::array<ServiceAccount, ServiceCount> m_accounts;
    bool m_closing = false;
    std::unique_ptr<SignInFlow> m_flow;
};

} // namespace veltrano
