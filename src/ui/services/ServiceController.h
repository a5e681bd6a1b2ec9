#pragma once

#include "app/UiPorts.h"
#include "ui/services/ServiceContext.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace veltrano {

class TokenListGroup;

// What the controllers of services with a token list share: "Connect to
// Account" (its button and a double-click on the token list) reaches the
// controller's connect through the accounts; a connect refused for want of a
// selected account says so; a connect that listed the account's sites fills
// the button's caption ("Connected (projects: N)") and marks the program
// connected; a double-click on the site list brings up the service's report.
class ServiceController : public QObject {
    Q_OBJECT
public:
    ServiceId service() const { return m_service; }

protected:
    ServiceController(const ServiceContext &context, ServiceId service, const char *objectName);

    // The accounts run `connect` for "Connect to Account"; they refuse it
    // while a request runs and show any error it raises.
    void setConnectOperation(std::function<void()> connect);
    // A double-click anywhere on this list, on a row or beside the rows,
    // brings up the service's report.
    void showReportOnDoubleClick(QWidget *list);

    // Whether an account is selected in the token list; when not, the user
    // is told "Please select Token from list to connect".
    bool accountSelectedOrRefuse();
    // The token of the selected account.
    QString selectedToken() const;
    // A refusal for want of a chosen site, property, counter or view: a plain
    // message, without an icon.
    void refuseWithoutChoice(const QString &text);

    // The connect listed `count` entries: "Connected (<noun>: count)" on the
    // token list's button, the program connected, the button off.
    void showConnected(TokenListGroup *tokens, const char *noun, qsizetype count);

    // The line above the service's report table follows `describe`: it is
    // written now, whenever the selection of the token list changes, and
    // whenever refreshCheckTarget is called (the controller's own lists and
    // periods).
    void followCheckTarget(TokenListGroup *tokens, std::function<QString()> describe);
    void refreshCheckTarget();
    // The usual descriptions: nothing selected yet, or an account and its
    // choice ("site http://shop.example.org/").
    QString checkTargetText(const QString &choiceNoun, const QString &chosen) const;

    bool eventFilter(QObject *watched, QEvent *event) override;

    ServiceContext m_context;

private:
    ServiceId m_service;
    QWidget *m_doubleClickList = nullptr;
    std::function<QString()> m_describeTarget;
};

} // namespace veltrano
