#pragma once

#include "app/Endpoints.h"
#include "app/ServiceDescriptor.h"
#include "auth/SettingsFile.h"

#include <QDialog>

#include <vector>

class QLabel;
class QLineEdit;

namespace veltrano {

class MessagePrompt;

// "OAuth applications" on the Settings page: per application the services
// sign in to (the Yandex Webmaster, the Yandex Metrika and the Google one),
// the client id and secret of an application the user registered, with
// where to register it, the redirect address, the scopes and the APIs to
// enable. Left empty, the application Veltrano was built with is used.
// "Save" checks every pair first (OAuthApplicationSettings::problem): a
// pair of the wrong form is named in a message and nothing is stored.
class OAuthApplicationsDialog final : public QDialog {
    Q_OBJECT
public:
    OAuthApplicationsDialog(SettingsFile settings, const Endpoints &endpoints, MessagePrompt &prompt,
                            QWidget *parent = nullptr);

    // The applications in the order the dialog shows them.
    static std::vector<const OAuthApplication *> applications();

    QLineEdit *clientIdField(int index) const { return m_rows[size_t(index)].clientId; }
    QLineEdit *clientSecretField(int index) const { return m_rows[size_t(index)].clientSecret; }
    QLabel *problemLabel(int index) const { return m_rows[size_t(index)].problem; }

    // "Save": stores every pair and closes, or names the first problem and
    // stays open.
    void save();

private:
    struct Row {
        const OAuthApplication *application = nullptr;
        QLineEdit *clientId = nullptr;
        QLineEdit *clientSecret = nullptr;
        QLabel *problem = nullptr;
    };
    void showProblem(Row &row);

    SettingsFile m_settings;
    MessagePrompt &m_prompt;
    std::vector<Row> m_rows;
};

} // namespace veltrano
