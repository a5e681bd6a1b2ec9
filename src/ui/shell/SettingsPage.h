#pragma once

#include "auth/GeneralSettings.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace veltrano {

class BrowserOpener;
class ProductPages;
class ServiceSettingsTab;

// The " Settings " page (tsParams): " Analytic Systems " with one tab per
// service (and a tab's side widget beside them while it is on show), the
// " Additional " general settings, the controls held for other features but
// never shown, and the About panel.
class SettingsPage final : public QWidget {
    Q_OBJECT
public:
    SettingsPage(const std::vector<ServiceSettingsTab *> &serviceTabs, BrowserOpener &browser,
                 const ProductPages &pages, QWidget *parent = nullptr);

    QTabWidget *analyticSystems() const { return m_analyticSystems; }
    QCheckBox *noClearOnImport() const { return m_noClearOnImport; }
    // Opens the dialog of the user's own OAuth applications.
    QPushButton *oauthApplicationsButton() const { return m_oauthApplications; }

    // The general settings as the page shows them, and into the page.
    GeneralSettings generalSettings() const;
    void showGeneralSettings(const GeneralSettings &settings);

    // The first showing: the first service tab, the version.
    void showFirstTime(const QString &version);

Q_SIGNALS:
    // "Parallel requests:" took another value (also when the settings are shown).
    void parallelRequestsChanged(int requests);

private:
    QWidget *buildAnalyticSystems();
    QWidget *buildAdditionalGroup();
    QWidget *buildHiddenControls();
    QWidget *buildAboutPanel(BrowserOpener &browser, const ProductPages &pages);
    void showSideWidgets();
    // A side widget (and its holder) is on show while its tab is selected.
    void showSideWidget(ServiceSettingsTab *tab, QWidget *side);

    std::vector<ServiceSettingsTab *> m_serviceTabs;
    QTabWidget *m_analyticSystems = nullptr;
    QSpinBox *m_delay = nullptr;
    QSpinBox *m_parallelRequests = nullptr;
    QCheckBox *m_noClearOnImport = nullptr;
    QPushButton *m_oauthApplications = nullptr;
    QLabel *m_version = nullptr;
};

} // namespace veltrano
