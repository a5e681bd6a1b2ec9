#pragma once

#include "app/ServiceTable.h"

#include <QWidget>

namespace veltrano {

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
