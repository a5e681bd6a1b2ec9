#include "ui/services/ServiceController.h"

#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "app/VeltranoError.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/reports/ReportPages.h"

#include <QAbstractScrollArea>
#include <QEvent>
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
}

bool ServiceController::eventFilter(QObject *watched, QEvent *event)
{
    if (m_doubleClickList && watched == m_doubleClickList && event->type() == QEvent::MouseButtonDblClick)
        m_context.reports.showReport(m_service);
    return QObject::eventFilter(watched, event);
}

} // namespace veltrano
