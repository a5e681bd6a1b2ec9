#include "ui/accounts/OAuthApplicationsDialog.h"

#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/OAuthApplicationSettings.h"
#include "services/ServiceTable.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrano {

namespace {

QString objectKey(const OAuthApplication &application)
{
    QString key = application.name;
    return key.remove(QLatin1Char(' '));
}

OAuthCredentials entered(QLineEdit *id, QLineEdit *secret)
{
    // Blanks around a pasted value are dropped; blanks inside are a problem.
    return {id->text().trimmed(), secret->text().trimmed()};
}

} // namespace

std::vector<const OAuthApplication *> OAuthApplicationsDialog::applications()
{
    std::vector<const OAuthApplication *> list;
    for (const SignInKind *kind : ServiceTable::allSignIns()) {
        if (std::find(list.begin(), list.end(), kind->application) == list.end())
            list.push_back(kind->application);
    }
    return list;
}

OAuthApplicationsDialog::OAuthApplicationsDialog(SettingsFile settings, const Endpoints &endpoints,
                                                 MessagePrompt &prompt, QWidget *parent)
    : QDialog(parent), m_settings(std::move(settings)), m_prompt(prompt)
{
    setObjectName(QStringLiteral("OAuthApplicationsDialog"));
    setWindowTitle(QStringLiteral("OAuth applications"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral(
        "Sign-ins use the OAuth applications Veltrano was built with. To sign in with an application of your own, "
        "register it with the service and enter its client id and secret here; leave both empty to use the "
        "built-in one. They are read at every sign-in and every renewal of an access token."));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    const OAuthApplicationSettings stored(m_settings);
    for (const OAuthApplication *application : applications()) {
        Row row;
        row.application = application;
        auto *group = new QGroupBox(QStringLiteral(" %1 application ").arg(application->name));
        group->setObjectName(QStringLiteral("gbOAuth_") + objectKey(*application));
        auto *form = new QFormLayout(group);
        auto *help = new QLabel(QString(application->registrationHelp).arg(endpoints.redirectUri()));
        help->setWordWrap(true);
        help->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(help);
        const OAuthCredentials own = stored.stored(*application);
        row.clientId = new QLineEdit(own.clientId);
        row.clientId->setObjectName(QStringLiteral("edClientId_") + objectKey(*application));
        row.clientId->setPlaceholderText(QStringLiteral("built-in application"));
        row.clientId->setMaxLength(OAuthApplicationSettings::kMaxLength + 1);
        row.clientSecret = new QLineEdit(own.clientSecret);
        row.clientSecret->setObjectName(QStringLiteral("edClientSecret_") + objectKey(*application));
        row.clientSecret->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        row.clientSecret->setMaxLength(OAuthApplicationSettings::kMaxLength + 1);
        form->addRow(QStringLiteral("Client id:"), row.clientId);
        form->addRow(QStringLiteral("Client secret:"), row.clientSecret);
        row.problem = new QLabel;
        row.problem->setObjectName(QStringLiteral("lblOAuthProblem_") + objectKey(*application));
        row.problem->setWordWrap(true);
        row.problem->setStyleSheet(QStringLiteral("color: #b00020"));
        form->addRow(row.problem);
        layout->addWidget(group);
        m_rows.push_back(row);
    }
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const auto update = [this, i] { showProblem(m_rows[i]); };
        connect(m_rows[i].clientId, &QLineEdit::textChanged, this, update);
        connect(m_rows[i].clientSecret, &QLineEdit::textChanged, this, update);
        showProblem(m_rows[i]);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("btnOAuthSave"));
    connect(buttons, &QDialogButtonBox::accepted, this, &OAuthApplicationsDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, sizeHint().height());
}

void OAuthApplicationsDialog::showProblem(Row &row)
{
    const QString problem =
        OAuthApplicationSettings::problem(*row.application, entered(row.clientId, row.clientSecret));
    row.problem->setText(problem.isEmpty() ? QString() : QStringLiteral("This cannot be used: ") + problem + '.');
    row.problem->setVisible(!problem.isEmpty());
}

void OAuthApplicationsDialog::save()
{
    for (Row &row : m_rows) {
        const QString problem =
            OAuthApplicationSettings::problem(*row.application, entered(row.clientId, row.clientSecret));
        if (!problem.isEmpty()) {
            m_prompt.show(MessagePrompt::Icon::Warning, windowTitle(),
                          QStringLiteral("The %1 application cannot be saved: %2.").arg(row.application->name, problem));
            row.clientId->setFocus();
            return;
        }
    }
    try {
        OAuthApplicationSettings applications(m_settings);
        for (const Row &row : m_rows)
            applications.store(*row.application, entered(row.clientId, row.clientSecret));
    } catch (const VeltranoError &error) {
        m_prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), error.message());
        return;
    }
    accept();
}

} // namespace veltrano
