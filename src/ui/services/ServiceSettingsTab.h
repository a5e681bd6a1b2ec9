#pragma once

#include "services/ServiceTable.h"

#include <QWidget>

#include <utility>
#include <vector>

class QAction;

namespace veltrano {

class PeriodGroup;
class TokenListGroup;

// One service's tab of " Analytic Systems " on the Settings page: its token
// list on the left (when the service has one) and its own widgets on the
// right. Each service's tab class holds its widgets as typed members for
// that service's controller; the window only puts the tabs in place.
class ServiceSettingsTab : public QWidget {
    Q_OBJECT
public:
    ServiceId service() const { return m_service; }
    // The token list group; nullptr for a service without one (Ahrefs).
    TokenListGroup *tokens() const { return m_tokens; }
    // The menu items of a service with several sign-ins behind its "Add".
    virtual std::vector<std::pair<SignInTarget, QAction *>> signInActions() const { return {}; }
    // The period pickers of the tab, bound to the service's period; nullptr
    // for a tab without them.
    virtual PeriodGroup *periodGroup() const { return nullptr; }
    // A widget shown beside the tabs while this tab is; nullptr for none.
    virtual QWidget *sideWidget() const { return nullptr; }

protected:
    ServiceSettingsTab(ServiceId service, const char *objectName, QWidget *parent);
    // Lays the tab out: left (the token list, or the service's own group) at
    // its size, right taking the rest.
    void place(QWidget *left, QWidget *right, Qt::Alignment leftAlignment = {});
    void setTokens(TokenListGroup *tokens) { m_tokens = tokens; }

private:
    ServiceId m_service;
    TokenListGroup *m_tokens = nullptr;
};

} // namespace veltrano
