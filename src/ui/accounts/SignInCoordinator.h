#pragma once

#include "auth/SignInFlow.h"

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace veltrano {

class ActivityLog;
class BrowserOpener;
class BusyState;
class MessagePrompt;
class RequestTrace;
class WaitDialog;

// The sign-ins as the windows see them: the listener started at start-up
// (and again at an "Add" while its port was taken), the "Connecting..." wait
// dialog of a pending sign-in, and what the window does once the browser has
// come back: a new alias in its token list, a notice for a single token,
// the window brought to the front.
class SignInCoordinator final : public QObject, public SignInView {
    Q_OBJECT
public:
    struct Ports {
        QWidget &window; // raised after a sign-in
        const Endpoints &endpoints;
        ActivityLog &log;
        RequestTrace &trace;
        BrowserOpener &browser;
        MessagePrompt &prompt;
        BusyState &busy;
        WaitDialog *waitDialog = nullptr;
    };
    // `aliasAdded` appends a new alias to the token list of the sign-in's
    // service.
    SignInCoordinator(Ports ports, SettingsFile settings,
                      std::function<void(SignInTarget, const QString &)> aliasAdded);
    ~SignInCoordinator() override;

    // Starts the listener; a listener that cannot start is reported in the
    // application's error box, which names the port when another program
    // holds it.
    void startListener();
    // "Add": the sign-in in the browser, with the wait dialog.
    void startSignIn(SignInTarget target);
    // Closing: stops the listener (see AccountsController::stop).
    void stop();

    SignInFlow &flow() { return *m_flow; }

    // SignInView: every call comes on the GUI thread.
    void tokenAdded(SignInTarget target, const QString &alias) override;
    void singleTokenSaved(const QString &notice) override;
    void signInCompleted() override;

private:
    // Closes the message box or dialog that holds the window's input.
    static void closeActiveModal();

    // Starts the listener when it is not running; false, after telling the
    // user, when it still cannot listen.
    bool ensureListening();

    Ports m_ports;
    std::function<void(SignInTarget, const QString &)> m_aliasAdded;
    bool m_closing = false;
    bool m_noticeShown = false; // the saved-token notice is on screen
    std::unique_ptr<SignInFlow> m_flow;
};

} // namespace veltrano
