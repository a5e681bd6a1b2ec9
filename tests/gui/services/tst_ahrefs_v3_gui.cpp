// Ahrefs API v3 in the real main window, headless, against the in-process
// simulator over real sockets: the API choice and the report's captions,
// "Check URL" with the units read first and summed after, the data explorer
// and the referring domains history.

#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "net/RequestTrace.h"
#include "reports/ReportTable.h"
#include "ui/reports/ReportsController.h"
#include "ui/services/ahrefs/AhrefsController.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"
#include "services/AhrefsV3Module.h"
#include "support/MainWindowHarness.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

using namespace veltrano;

namespace {

const char *const Key = "ahrefs-v3-gui-key-0123456789";

} // namespace

class TestAhrefsV3Gui : public QObject {
    Q_OBJECT

    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        sim::AhrefsV3Module v3;

        Fixture()
        {
            v3.install(sim, v3.defaultPrefix());
            v3.setSites({sim::AhrefsModule::generatedSite("example.com", 20, 40, "2024-03-31", 0)});
            v3.acceptKey(Key, 100000);
            v3.setUnitsUsed(Key, 2000);
            sim.start();
            SettingsFile(SettingsFile::pathIn(folder()))
                .writeString(QStringLiteral("Ahrefs_Token"), QStringLiteral("Token"), QString::fromLatin1(Key));
            open(simulatorEndpoints(QString::fromStdString(sim.baseUrl()), 0));
            find<QLineEdit>("Edit2")->setText(QStringLiteral("example.com"));
            app->ahrefs()->setToday([] { return QDate(2024, 3, 31); });
        }
        ReportTable &report() const { return *app->reports().table(4); }
        QComboBox *api() const { return find<QComboBox>("cbAhrefsApi"); }
        QString units() const { return find<QLabel>("lblAhrefsUnits")->text(); }
        QStringList data() const { return find<QPlainTextEdit>("RichEdit1")->toPlainText().split(QLatin1Char('\n')); }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void apiChoiceRenamesColumnsAndEndpoints()
    {
        Fixture f;
        QCOMPARE(f.api()->currentText(), QStringLiteral("v3"));
        QCOMPARE(f.report().headerData(2, Qt::Horizontal).toString(), QStringLiteral("UR"));
        QCOMPARE(f.find<QComboBox>("ComboBox6")->findText(QStringLiteral("crawled-pages")) >= 0, true);
        f.api()->setCurrentIndex(1);
        QCOMPARE(f.report().headerData(2, Qt::Horizontal).toString(), QStringLiteral("Ahrefs Rank (AR)"));
        QCOMPARE(f.report().headerData(4, Qt::Horizontal).toString(), QStringLiteral("Links Internal"));
        QCOMPARE(f.find<QComboBox>("ComboBox6")->currentText(), QStringLiteral("subscription_info"));
    }

    void checkReadsUnitsAndSumsTheirCost()
    {
        Fixture f;
        f.pasteUrls(4, {QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/none")});
        f.button("btRunRequests")->click();
        QCOMPARE(f.report().rowTexts(1), (QStringList{"https://example.com/none", "No", "", "", "", "", ""}));
        QCOMPARE(f.units(), QStringLiteral("Ahrefs API units: 2000 of 100000 used this month by this key (resets 2027-01-01)"));
        const QStringList log = f.log();
        QVERIFY2(log.contains(QStringLiteral("Ahrefs API units spent: 100 (2 answers)")) ||
                     log.contains(QStringLiteral("Ahrefs API units spent: 150 (3 answers)")),
                 qPrintable(log.join('\n')));
        QVERIFY(log.contains(f.units()));
        for (const auto &request : f.sim.requests()) {
            QCOMPARE(request.header("Authorization"), std::string("Bearer ") + Key);
            QVERIFY(request.target.find(Key) == std::string::npos);
        }
    }

    void showDataListsAnEndpoint()
    {
        Fixture f;
        f.showSettings(4);
        f.find<QComboBox>("ComboBox6")->setCurrentText(QStringLiteral("crawled-pages"));
        f.find<QSpinBox>("SpinEdit1")->setValue(100);
        f.button("Button20")->click();
        QCOMPARE(f.find<QLabel>("Label23")->text(), QStringLiteral("Data: crawled-pages (first 100)"));
        const QStringList lines = f.data();
        QCOMPARE(lines.filter(QStringLiteral("- url_rating: ")).size(), 20);
        QVERIFY(f.units().startsWith(QStringLiteral("Ahrefs API units: 2000 of 100000")));
        const auto sent = f.sim.requestsTo("/ahrefs-v3/v3/site-explorer/crawled-pages");
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].queryParam("order_by"), std::string("url_rating:desc"));
        QCOMPARE(sent[0].queryParam("limit"), std::string("100"));

        // A refused key: the explorer says why in the service's words.
        f.v3.refuseKey(Key);
        f.button("Button20")->click();
        QCOMPARE(f.units(), QStringLiteral("Ahrefs API units: Invalid API key (HTTP 401 Unauthorized)"));
        QCOMPARE(f.data().last(), QStringLiteral("- error: Invalid API key (HTTP 401 Unauthorized)"));
    }

    void historyChartsReferringDomains()
    {
        Fixture f;
        f.showSettings(4);
        f.button("Button28")->click();
        const auto sent = f.sim.requestsTo("/ahrefs-v3/v3/site-explorer/refdomains-history");
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].queryParam("date_from"), std::string("2022-04-11"));
        auto *history = f.find<QTreeWidget>("ListView10");
        QCOMPARE(history->topLevelItemCount(), 721);
        QCOMPARE(history->topLevelItem(0)->text(0), QStringLiteral("2022-04-11"));
        QVERIFY(f.app->requestTrace().text().indexOf(QLatin1String(Key)) < 0);
    }
};

QTEST_MAIN(TestAhrefsV3Gui)
#include "tst_ahrefs_v3_gui.moc"
