#pragma once

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

namespace veltrano {

class MainWindow;

// The services with a token list on the Settings page, in tab order.
enum class TokenService : int { YandexWebmaster = 0, YandexMetrika = 1, SearchConsole = 2, Analytics = 3 };
inline constexpr int TokenServiceCount = 4;

// The accounts part of the Settings page: the four token lists (ListBox1-4)
// with their "Add", "Rename", "Delete" and "Connect to Account" buttons, the
// two Google sign-ins of PopupMenu2, the Ahrefs token field Edit1, the
// "Connecting..." wait dialog and the sign-in listener behind them.
//
// The lists and the settings file change together: every change goes to the
// file first and reaches the list only when the file took it.
class AccountsController final : public QObject, public SignInView {
    Q_OBJECT
public:
    // The window's widgets must exist (built and named) when this is made.
    explicit AccountsController(MainWindow &window);
    ~AccountsController() override;

    // Start-up: fills the token lists from the settings file in file order,
    // selects each non-empty list's first entry and enables its "Rename",
    // reads the Ahrefs token into Edit1, then starts the sign-in listener. A
    // listener that cannot start (its port is taken) is reported in the
    // application's error box; sign-ins then never complete, everything else
    // works.
    void start();

    // Closing: stops the listener. When a browser request's step is running
    // on this thread right now (the Indexing API notice waits for the user),
    // the listener cannot be stopped from inside it: the open message is
    // dismissed and the stop is retried on the next turn of the event loop.
    void stop();

    // "Connect to Account" of a service. The operation is wired to the
    // service's button (Button6, Button10, Button14, Button18) and to a
    // double-click on an entry of its token list, which runs it even while
    // the button is disabled. Errors it raises go to the application's
    // error box. Do not connect the button yourself.
    void setConnectOperation(TokenService service, std::function<void()> operation);
    // Runs the service's "Connect to Account" operation, if one is set.
    void runConnectOperation(TokenService service);

    // The alias selected in the service's token list; empty when none is.
    QString selectedAlias(TokenService service) const;
    // The access token stored under the selected alias (empty text when the
    // file has none); empty without reading the file when nothing is selected.
    QString selectedToken(TokenService service) const;

    QListWidget *tokenList(TokenService service) const;
    SignInFlow &signIn() { return *m_flow; }

    // SignInView: every call comes on the GUI thread.
    void tokenAdded(SignInTarget target, const QString &alias) override;
    void indexingApiTokenSaved() override;
    void signInCompleted() override;

private:
    struct ServiceWidgets {
        QLatin1String section;
        QListWidget *list = nullptr;
        QPushButton *add = nullptr; // null for Search Console: its "Add" opens PopupMenu2
        QPushButton *rename = nullptr;
        QPushButton *remove = nullptr;
        QPushButton *connectButton = nullptr;
        std::function<void()> connectOperation;
    };

    ServiceWidgets &widgets(TokenService service) { return m_services[size_t(service)]; }
    const ServiceWidgets &widgets(TokenService service) const { return m_services[size_t(service)]; }
    void wire();
    void loadTokenLists();
    void startSignIn(SignInTarget target);
    void renameSelected(TokenService service);
    void deleteSelected(TokenService service);
    void writeAhrefsToken(const QString &text);

    MainWindow &m_window;
    SettingsFile m_settings;
    std::array<ServiceWidgets, TokenServiceCount> m_services;
    QLineEdit *m_ahrefsToken = nullptr;
    QAction *m_searchConsoleSignIn = nullptr;
    QAction *m_indexingApiSignIn = nullptr;
    bool m_closing = false;
    std::unique_ptr<SignInFlow> m_flow;
};

} // namespace veltrano
