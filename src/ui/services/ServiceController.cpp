#include "ui/services/ServiceController.h"

#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "app/VeltranoError.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/reports/ReportPages.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>

namespace veltrano {

ServiceController::ServiceController(const ServiceContext &context, ServiceId service, const char *objectName)
    : QObject(nullptr), m_context(context), m_service(service)
{
    setObjectName(QString::fromLatin1(objectName));
}

void ServiceController::setConnectOperation(std::function<void()> connect)
{
    m_context.accounts.setConnectOperation(m_service, std::move(connect));
}

void ServiceController::showReportOnDoubleClick(QWidget *list)
{
    auto *area = qobject_cast<QAbstractScrollArea *>(list);
    m_doubleClickList = area ? area->viewport() : list;
    m_doubleClickList->installEventFilter(this);
}

bool ServiceController::accountSelectedOrRefuse()
{
    if (!m_context.accounts.selectedAlias(m_service).isEmpty())
        return true;
    m_context.prompt.show(MessagePrompt::Icon::Information, applicationErrorTitle(),
                          QStringLiteral("Please select Token from list to connect"));
    return false;
}

QString ServiceController::selectedToken() const
{
    return m_context.accounts.selectedToken(m_service);
}

void ServiceController::refuseWithoutChoice(const QString &text)
{
    m_context.prompt.show(MessagePrompt::Icon::None, applicationErrorTitle(), text);
}

void ServiceController::showConnected(TokenListGroup *tokens, const char *noun, qsizetype count)
{
    QPushButton *connectButton = tokens->connectButton();
    connectButton->setText(QStringLiteral("Connected (%1: %2)").arg(QLatin1String(noun)).arg(count));
    m_context.run.markApiConnected();
    connectButton->setEnabled(false);
    refreshCheckTarget();
}

void ServiceController::followCheckTarget(TokenListGroup *tokens, std::function<QString()> describe)
{
    m_describeTarget = std::move(describe);
    if (tokens)
        connect(tokens->list(), &QListWidget::itemSelectionChanged, this, [this] { refreshCheckTarget(); });
    refreshCheckTarget();
}

void ServiceController::refreshCheckTarget()
{
    if (m_describeTarget)
        m_context.reports.setCheckTargetText(m_service, m_describeTarget());
}

QString ServiceController::checkTargetText(const QString &choiceNoun, const QString &chosen) const
{
    const QString where = QStringLiteral("Settings > ") + QString(ServiceTable::of(m_service).name);
    const QString alias = m_context.accounts.selectedAlias(m_service);
    if (alias.isEmpty())
        return QStringLiteral("Connect an account on %1, then choose a %2").arg(where, choiceNoun);
    if (chosen.isEmpty())
        return QStringLiteral("Account %1: choose a %2 on %3").arg(alias, choiceNoun, where);
    return QStringLiteral("Checks %1 %2 with account %3").arg(choiceNoun, chosen, alias);
}

bool ServiceController::eventFilter(QObject *watched, QEvent *event)
{
    if (m_doubleClickList && watched == m_doubleClickList && event->type() == QEvent::MouseButtonDblClick)
        m_context.reports.showReport(m_service);
    return QObject::eventFilter(watched, event);
}

} // namespace veltrano
