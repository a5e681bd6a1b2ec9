#pragma once

#include "app/ServiceAccounts.h"
#include "auth/SettingsFile.h"
#include "auth/SignInFlow.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QListWidget;
class QWidget;

namespace veltrano {

class AccountRenewal;
class ActivityLog;
class BrowserOpener;
class BusyState;
class MessagePrompt;
class RequestTrace;
class SignInCoordinator;
class TokenListController;
class TokenListGroup;
class WaitDialog;

// The accounts part of the Settings page: one TokenListController per
// service with a token list (ListBox1-4: "Rename", "Delete", "Connect to
// Account"), the "Add" of each list and the sign-ins of a service that
// offers several (a menu behind its "Add"), and the SignInCoordinator with
// the wait dialog and the listener behind them. It answers the services'
// questions about their selected account.
//
// While a request or a check runs, nothing here starts another request or
// changes the accounts; a sign-in that completes meanwhile is handled
// afterwards.
class AccountsController final : public QObject, public ServiceAccounts {
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
        // By service (tab order); nullptr for a service without a token list.
        std::vector<TokenListGroup *> tokenLists;
        // The menu items of a service with several sign-ins; its "Add" only
        // opens their menu.
        std::vector<std::pair<SignInTarget, QAction *>> signInActions;
    };

    AccountsController(Ports ports, Widgets widgets);
    ~AccountsController() override;

    // Start-up: fills the token lists from the settings file in file order,
    // selects each non-empty list's first entry and enables its "Rename",
    // then starts the sign-in listener. A listener that cannot start is
    // reported in the application's error box, which names the port when
    // another program holds it; everything else works, and each "Add" tries
    // the port again.
    void start();

    // Closing: stops the listener. When a browser request's step is running
    // on this thread right now (the Indexing API notice waits for the user),
    // the listener cannot be stopped from inside it: the open message is
    // closed and the listener stops once the step has returned.
    void stop();

    // ServiceAccounts. The connect operation is wired to the service's
    // "Connect to Account" and to a double-click on its token list while an
    // entry is selected, which runs it even while the button is disabled.
    void setConnectOperation(ServiceId service, std::function<void()> operation) override;
    QString selectedAlias(ServiceId service) const override;
    QString selectedToken(ServiceId service) const override;
    AccessRenewal *accessRenewal() override;

    // Runs the service's "Connect to Account" operation, if one is set.
    void runConnectOperation(ServiceId service);

    QListWidget *tokenList(ServiceId service) const;
    SignInFlow &signIn();

private:
    TokenListController *list(ServiceId service) const;
    // Runs a handler that changes the accounts or starts a request, unless
    // a request or a check is running.
    void runWhenIdle(const std::function<void()> &handler);

    Ports m_ports;
    std::vector<std::unique_ptr<TokenListController>> m_lists; // by service; null without a list
    std::unique_ptr<SignInCoordinator> m_signIn;
    std::unique_ptr<AccountRenewal> m_renewal;
};

} // namespace veltrano
