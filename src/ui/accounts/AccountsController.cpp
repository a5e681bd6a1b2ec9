#include "ui/accounts/AccountsController.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "auth/AccountRenewal.h"
#include "services/ServiceTable.h"
#include "ui/accounts/SignInCoordinator.h"
#include "ui/accounts/TokenListController.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/desktop/HandlerGuard.h"

#include <QAction>
#include <QPushButton>

namespace veltrano {

AccountsController::AccountsController(Ports ports, Widgets widgets) : QObject(nullptr), m_ports(ports)
{
    setObjectName(QStringLiteral("AccountsController"));
    const SettingsFile settings(ports.settingsPath);
    m_renewal = std::make_unique<AccountRenewal>(ports.endpoints, settings, ports.log, ports.trace);
    const auto idle = [this](const std::function<void()> &handler) { runWhenIdle(handler); };
    m_lists.resize(size_t(ServiceTable::count()));
    for (const ServiceDescriptor *info : ServiceTable::all()) {
        const size_t tab = size_t(info->tab());
        TokenListGroup *group = tab < widgets.tokenLists.size() ? widgets.tokenLists[tab] : nullptr;
        if (!info->hasTokenList() || !group)
            continue;
        m_lists[tab] = std::make_unique<TokenListController>(info->id, info->name, info->tokenSection, *group, settings,
                                                             ports.prompt, ports.window, idle);
        // The "Add" of a service with several sign-ins opens their menu.
        if (info->signIns.size() == 1) {
            connect(group->addButton(), &QPushButton::clicked, this,
                    [this, target = info->signIn()] { runWhenIdle([=, this] { m_signIn->startSignIn(target); }); });
        }
    }
    for (const auto &[target, action] : widgets.signInActions) {
        if (action)
            connect(action, &QAction::triggered, this,
                    [this, target] { runWhenIdle([=, this] { m_signIn->startSignIn(target); }); });
    }

    m_signIn = std::make_unique<SignInCoordinator>(
        SignInCoordinator::Ports{ports.window, ports.endpoints, ports.log, ports.trace, ports.browser, ports.prompt,
                                 ports.busy, ports.waitDialog},
        settings, [this](SignInTarget target, const QString &alias) {
            if (const ServiceDescriptor *info = ServiceTable::ofSignIn(target)) {
                if (TokenListController *tokens = list(info->id))
                    tokens->appendAlias(alias);
            }
        });
}

AccountsController::~AccountsController()
{
    // The listener's threads use the window's log and trace: they end first.
    m_signIn.reset();
}

TokenListController *AccountsController::list(ServiceId service) const
{
    const size_t index = size_t(service);
    return index < m_lists.size() ? m_lists[index].get() : nullptr;
}

void AccountsController::runWhenIdle(const std::function<void()> &handler)
{
    if (m_ports.busy.isBusy()) {
        m_ports.log.addToLog(BusyState::refusedLine());
        return;
    }
    runHandler(m_ports.prompt, handler);
}

void AccountsController::start()
{
    runHandler(m_ports.prompt, [this] {
        for (const auto &tokens : m_lists) {
            if (tokens)
                tokens->loadAliases();
        }
        for (const auto &tokens : m_lists) {
            if (tokens)
                tokens->selectFirst();
        }
    });
    m_signIn->startListener();
}

void AccountsController::stop()
{
    m_signIn->stop();
}

void AccountsController::setConnectOperation(ServiceId service, std::function<void()> operation)
{
    if (TokenListController *tokens = list(service))
        tokens->setConnectOperation(std::move(operation));
}

void AccountsController::runConnectOperation(ServiceId service)
{
    if (TokenListController *tokens = list(service))
        tokens->runConnectOperation();
}

QString AccountsController::selectedAlias(ServiceId service) const
{
    const TokenListController *tokens = list(service);
    return tokens ? tokens->selectedAlias() : QString();
}

QString AccountsController::selectedToken(ServiceId service) const
{
    const TokenListController *tokens = list(service);
    return tokens ? tokens->selectedToken() : QString();
}

AccessRenewal *AccountsController::accessRenewal()
{
    return m_renewal.get();
}

QListWidget *AccountsController::tokenList(ServiceId service) const
{
    const TokenListController *tokens = list(service);
    return tokens ? tokens->list() : nullptr;
}

SignInFlow &AccountsController::signIn()
{
    return m_signIn->flow();
}

} // namespace veltrano
