#include "app/SandboxEndpoints.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/SettingsFile.h"
#include "ui/accounts/OAuthApplicationsDialog.h"

#include "support/RecordingPorts.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace veltrano;

namespace {

const QString GoogleId = QStringLiteral("123456789012-abcdefghijklmnopqrstuvwxyz012345.apps.googleusercontent.com");
const QString YandexId = QStringLiteral("0123456789abcdef0123456789abcdef");

int indexOf(const QString &name)
{
    const auto applications = OAuthApplicationsDialog::applications();
    for (size_t i = 0; i < applications.size(); ++i) {
        if (applications[i]->name == name)
            return int(i);
    }
    return -1;
}

} // namespace

class OAuthApplicationsDialogTest : public QObject {
    Q_OBJECT

private slots:
    // One group per application, with the redirect address to register.
    void showsEveryApplicationWithItsRegistration()
    {
        QTemporaryDir dir;
        testing::RecordingPrompt prompt;
        const Endpoints endpoints = simulatorEndpoints(QStringLiteral("http://127.0.0.1:1"), 42361);
        OAuthApplicationsDialog dialog(SettingsFile(dir.filePath(QStringLiteral("Veltrano.ini"))), endpoints, prompt);
        QCOMPARE(OAuthApplicationsDialog::applications().size(), size_t(3));
        for (const QString &name : {QStringLiteral("Yandex Webmaster"), QStringLiteral("Yandex Metrika"),
                                   QStringLiteral("Google")}) {
            QVERIFY2(indexOf(name) >= 0, qPrintable(name));
        }
        const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
        const auto mentions = [&](const QString &text) {
            return std::any_of(labels.begin(), labels.end(), [&](QLabel *l) { return l->text().contains(text); });
        };
        QVERIFY(mentions(endpoints.redirectUri()));
        QVERIFY(mentions(QStringLiteral("webmasters.readonly")));
        QVERIFY(mentions(QStringLiteral("Testing")));
    }

    // A pair of the wrong form is named when typed and when saved, and
    // nothing is stored; a good pair is stored and read back next time.
    void refusesWrongFormsAndStoresGoodOnes()
    {
        QTemporaryDir dir;
        testing::RecordingPrompt prompt;
        const SettingsFile file(dir.filePath(QStringLiteral("Veltrano.ini")));
        const Endpoints endpoints = simulatorEndpoints(QStringLiteral("http://127.0.0.1:1"), 42361);
        const int google = indexOf(QStringLiteral("Google"));
        const int yandex = indexOf(QStringLiteral("Yandex Metrika"));
        {
            OAuthApplicationsDialog dialog(file, endpoints, prompt);
            dialog.clientIdField(google)->setText(QString(10000, QLatin1Char('7')));
            dialog.clientSecretField(google)->setText(QStringLiteral("GOCSPX-abc"));
            QVERIFY(!dialog.problemLabel(google)->isHidden());
            dialog.save();
            QCOMPARE(prompt.texts.size(), 1);
            QVERIFY2(prompt.texts[0].contains(QLatin1String("Google")), qPrintable(prompt.texts[0]));
            QVERIFY(dialog.result() != QDialog::Accepted);
            QVERIFY(!file.exists() || file.keys(OAuthApplicationSettings::Section).isEmpty());

            // Blanks around a pasted value are dropped.
            dialog.clientIdField(google)->setText(QStringLiteral("  ") + GoogleId + QStringLiteral(" "));
            QVERIFY(dialog.problemLabel(google)->isHidden());
            dialog.clientIdField(yandex)->setText(YandexId);
            dialog.clientSecretField(yandex)->setText(QStringLiteral("ffeeddccbbaa99887766554433221100"));
            dialog.save();
            QCOMPARE(prompt.texts.size(), 1);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(file.readString(OAuthApplicationSettings::Section, QStringLiteral("Google_ClientId")), GoogleId);
        QCOMPARE(file.readString(OAuthApplicationSettings::Section, QStringLiteral("YandexMetrika_ClientSecret")),
                 QStringLiteral("ffeeddccbbaa99887766554433221100"));

        OAuthApplicationsDialog again(file, endpoints, prompt);
        QCOMPARE(again.clientIdField(yandex)->text(), YandexId);
        QVERIFY(again.clientIdField(indexOf(QStringLiteral("Yandex Webmaster")))->text().isEmpty());
    }
};

QTEST_MAIN(OAuthApplicationsDialogTest)
#include "tst_oauthapplications.moc"
