#include "ui/accounts/SignInCoordinator.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "ui/accounts/WaitDialog.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace veltrano {

SignInCoordinator::SignInCoordinator(Ports ports, SettingsFile settings,
                                     std::function<void(SignInTarget, const QString &)> aliasAdded)
    : QObject(nullptr), m_ports(ports), m_aliasAdded(std::move(aliasAdded))
{
    // Browser requests hand their window steps to this object's thread,
    // and wait while a request or a check is running.
    m_flow = std::make_unique<SignInFlow>(ports.endpoints, std::move(settings), ports.log, ports.trace, ports.browser,
                                          *this, this);
    m_flow->setBusyState(&ports.busy);
    // Closing the wait dialog gives the sign-in up: a browser that comes
    // back afterwards stores nothing.
    if (ports.waitDialog)
        connect(ports.waitDialog, &WaitDialog::cancelled, this, [this] { m_flow->cancelSignIn(); });
}

SignInCoordinator::~SignInCoordinator()
{
    // The listener's threads use the window's log and trace: they end here,
    // before any of those go away.
    m_flow.reset();
}

void SignInCoordinator::startListener()
{
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

bool SignInCoordinator::ensureListening()
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

void SignInCoordinator::startSignIn(SignInTarget target)
{
    // Without the listener the browser could never come back: try the port
    // again, and say so at once when it is still taken.
    if (!ensureListening())
        return;
    SignInFlow::SignInStart start;
    try {
        start = m_flow->startSignIn(target);
    } catch (const VeltranoError &error) {
        m_ports.prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), error.message());
        return;
    }
    if (m_ports.waitDialog)
        m_ports.waitDialog->showWaiting(start.address, start.browserOpened);
}

void SignInCoordinator::stop()
{
    m_closing = true;
    // A saved-token notice still up goes with the window.
    if (m_noticeShown)
        closeActiveModal();
    if (!m_flow->inGuiStep()) {
        m_flow->stopListener();
        return;
    }
    // A browser request's step is running further down this thread's stack,
    // inside a message that waits for the user. Stopping here would wait for
    // that request's thread, which waits for the step: close the message and
    // come back once the step has returned.
    closeActiveModal();
    QTimer::singleShot(0, this, &SignInCoordinator::stop);
}

void SignInCoordinator::tokenAdded(SignInTarget target, const QString &alias)
{
    if (m_aliasAdded)
        m_aliasAdded(target, alias);
}

void SignInCoordinator::closeActiveModal()
{
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

void SignInCoordinator::singleTokenSaved(const QString &notice)
{
    // The browser's request waits for this step to end: the message box
    // comes up from the event loop afterwards, while the listener sends the
    // page, never while the browser still waits for it. A window that closed
    // meanwhile shows nothing (the log has the saved token's lines).
    QTimer::singleShot(0, this, [this, notice] {
        if (m_closing)
            return;
        m_noticeShown = true;
        m_ports.prompt.show(MessagePrompt::Icon::Information, applicationErrorTitle(), notice);
        m_noticeShown = false;
    });
}

void SignInCoordinator::signInCompleted()
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
