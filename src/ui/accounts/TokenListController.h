#pragma once

#include "app/ServiceDescriptor.h"
#include "app/UiPorts.h"
#include "auth/SettingsFile.h"

#include <QObject>
#include <QString>

#include <functional>

class QListWidget;
class QWidget;

namespace veltrano {

class TokenListGroup;

// One service's token list on the Settings page (ListBox1-4) with its
// "Rename", "Delete" and "Connect to Account" buttons: the aliases of the
// service's section of the settings file. The list and the file change
// together: every change goes to the file first and reaches the list only
// when the file took it.
class TokenListController final : public QObject {
    Q_OBJECT
public:
    // `runWhenIdle` runs a handler unless a request or a check is running
    // (then it is refused with a line in the log). `serviceName` names the
    // service in the question before an account is deleted.
    TokenListController(ServiceId service, QString serviceName, QString section, TokenListGroup &group,
                        SettingsFile settings, MessagePrompt &prompt, QWidget &dialogParent,
                        std::function<void(const std::function<void()> &)> runWhenIdle);

    ServiceId service() const { return m_service; }
    QListWidget *list() const { return m_list; }
    TokenListGroup &group() const { return m_group; }

    // Fills the list from the file in file order.
    void loadAliases();
    // Selects the first entry of a non-empty list and enables "Rename".
    void selectFirst();
    // A sign-in stored a token under a new alias.
    void appendAlias(const QString &alias);

    QString selectedAlias() const;
    // The access token stored under the selected alias (empty text when the
    // file has none); empty when nothing is selected.
    QString selectedToken() const;

    void setConnectOperation(std::function<void()> operation) { m_connect = std::move(operation); }
    // "Connect to Account", unless a request runs.
    void runConnectOperation();

protected:
    // A click beside the entries keeps the selection; a double-click with an
    // entry selected connects it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void renameSelected();
    void deleteSelected();

    ServiceId m_service;
    QString m_serviceName;
    QString m_section;
    TokenListGroup &m_group;
    QListWidget *m_list = nullptr;
    SettingsFile m_settings;
    MessagePrompt &m_prompt;
    QWidget &m_dialogParent;
    std::function<void(const std::function<void()> &)> m_runWhenIdle;
    std::function<void()> m_connect;
};

} // namespace veltrano
