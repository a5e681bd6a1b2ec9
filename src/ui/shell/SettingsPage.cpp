#include "ui/shell/SettingsPage.h"

#include "services/ServiceTable.h"
#include "ui/services/ServiceSettingsTab.h"
#include "ui/shell/ProductPages.h"
#include "ui/widgets/WidgetFactory.h"

#include "app/UiPorts.h"

#include <QChartView>
#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace veltrano {

using namespace widgets;

namespace {

// Colours of the three parts of the product name in the About panel.
const QColor NameGreen(0x53, 0xA4, 0x0C);
const QColor NameRed(0xC5, 0x1E, 0x04);
const QColor NameAmber(0xEE, 0xB3, 0x18);

} // namespace

SettingsPage::SettingsPage(const std::vector<ServiceSettingsTab *> &serviceTabs, BrowserOpener &browser,
                           const ProductPages &pages, QWidget *parent)
    : QWidget(parent), m_serviceTabs(serviceTabs)
{
    setObjectName(QStringLiteral("tsParams"));
    auto *pageLayout = new QVBoxLayout(this);
    pageLayout->setContentsMargins(4, 4, 4, 4);

    auto *params = named(new QGroupBox(QStringLiteral(" Settings ")), "gbParams");
    auto *layout = new QVBoxLayout(params);
    layout->addWidget(buildAnalyticSystems(), 1);
    layout->addWidget(buildAdditionalGroup());
    layout->addWidget(buildHiddenControls());
    pageLayout->addWidget(params, 1);
    pageLayout->addWidget(buildAboutPanel(browser, pages));
}

QWidget *SettingsPage::buildAnalyticSystems()
{
    auto *group = named(new QGroupBox(QStringLiteral(" Analytic Systems ")), "gbAnalyticSystems");
    auto *layout = new QHBoxLayout(group);

    m_analyticSystems = named(new QTabWidget, "pcAnalyticSystems");
    for (ServiceSettingsTab *tab : m_serviceTabs)
        m_analyticSystems->addTab(tab, QString(ServiceTable::of(tab->service()).name));
    layout->addWidget(m_analyticSystems, 3);
    const int gap = std::max(0, layout->spacing());
    layout->setSpacing(0);

    // A tab's side widget (the Ahrefs backlinks history chart) sits beside
    // the tabs and is on show only while its tab is. It takes two fifths of
    // the row from the tabs and never asks for more: its holder passes no
    // least width on (the chart sets its own from its axes and legend), so
    // choosing the tab never widens the window.
    for (ServiceSettingsTab *tab : m_serviceTabs) {
        if (QWidget *side = tab->sideWidget()) {
            auto *holder = new QWidget;
            holder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            auto *holderLayout = new QVBoxLayout(holder);
            // The gap to the tabs is the holder's own, so it too comes out
            // of the side widget's share.
            holderLayout->setContentsMargins(gap, 0, 0, 0);
            holderLayout->setSizeConstraint(QLayout::SetNoConstraint);
            holderLayout->addWidget(side);
            side->hide();
            holder->hide();
            layout->addWidget(holder, 2);
            connect(m_analyticSystems, &QTabWidget::currentChanged, side,
                    [this, tab, side](int) { showSideWidget(tab, side); });
        }
    }
    return group;
}

QWidget *SettingsPage::buildAdditionalGroup()
{
    auto *group = named(new QGroupBox(QStringLiteral(" Additional ")), "gbAdditional");
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    m_delay = named(new QSpinBox, "edMinReqDelay");
    m_delay->setRange(GeneralSettings::MinRequestDelay, GeneralSettings::MaxRequestDelay);
    m_delay->setSingleStep(GeneralSettings::RequestDelayStep);
    m_delay->setValue(GeneralSettings::DefaultRequestDelay);
    m_delay->setMinimumWidth(100);
    // The button to the user's own OAuth applications shares the first row,
    // no taller than the spin box, so the page asks for no more height.
    m_oauthApplications = named(new QPushButton(QStringLiteral("OAuth applications...")), "btnOAuthApplications");
    m_oauthApplications->setToolTip(QStringLiteral("Sign in with client ids and secrets of your own"));
    m_oauthApplications->setMaximumHeight(m_delay->sizeHint().height());
    m_parallelRequests = named(new QSpinBox, "edParallelRequests");
    m_parallelRequests->setRange(GeneralSettings::MinParallelRequests, GeneralSettings::MaxParallelRequests);
    m_parallelRequests->setValue(GeneralSettings::DefaultParallelRequests);
    m_parallelRequests->setToolTip(
        QStringLiteral("How many page requests a check sends at once. Each service's own limits are kept: Yandex "
                       "Metrika takes at most 3 at a time, and requests are spaced to stay within each service's "
                       "requests per minute. 1 asks one page after another."));
    connect(m_parallelRequests, &QSpinBox::valueChanged, this, &SettingsPage::parallelRequestsChanged);
    // Beside the delay, on its row: the group asks for no more height.
    auto *delayRow = new QHBoxLayout;
    delayRow->setContentsMargins(0, 0, 0, 0);
    delayRow->addWidget(m_delay);
    delayRow->addSpacing(24);
    delayRow->addWidget(label(QStringLiteral("Parallel requests:")));
    delayRow->addWidget(m_parallelRequests);
    delayRow->addSpacing(24);
    delayRow->addWidget(m_oauthApplications);
    delayRow->addStretch(1);
    form->addRow(label(QStringLiteral("Delay between requests, ms:")), delayRow);
    m_noClearOnImport = named(new QCheckBox, "cbImpNoClearURLs");
    m_noClearOnImport->setChecked(false);
    form->addRow(label(QStringLiteral("Don't clear URL on import:")), m_noClearOnImport);
    return group;
}

QWidget *SettingsPage::buildAboutPanel(BrowserOpener &browser, const ProductPages &pages)
{
    auto *panel = named(new QFrame, "Panel4");
    panel->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(8, 4, 8, 4);

    auto *about = new QLabel(QStringLiteral("About"));
    QFont bold = about->font();
    bold.setBold(true);
    about->setFont(bold);
    layout->addWidget(about);
    layout->addSpacing(12);
    m_version = named(new QLabel(QStringLiteral("Version: ")), "lbVersion");
    layout->addWidget(m_version);
    layout->addWidget(new QLabel(QStringLiteral("-")));

    // The product name in its three colours, letters run together.
    auto *nameBox = new QHBoxLayout;
    nameBox->setSpacing(0);
    const std::tuple<const char *, const char *, QColor> parts[] = {
        {"Vel", "lbNameVel", NameGreen}, {"tra", "lbNameTra", NameRed}, {"no", "lbNameNo", NameAmber}};
    for (const auto &[text, objectName, colour] : parts) {
        auto *part = named(new QLabel(QString::fromLatin1(text)), objectName);
        part->setFont(bold);
        QPalette palette = part->palette();
        palette.setColor(QPalette::WindowText, colour);
        part->setPalette(palette);
        nameBox->addWidget(part);
    }
    layout->addLayout(nameBox);
    layout->addSpacing(24);

    auto *home = named(new QLabel(QStringLiteral("<a href=\"home\">Veltrano Home Page</a>")), "lbGotoSite");
    home->setTextFormat(Qt::RichText);
    home->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    home->setCursor(Qt::PointingHandCursor);
    connect(home, &QLabel::linkActivated, this, [&browser, address = pages.homePage()] { browser.open(address); });
    layout->addWidget(home);
    layout->addSpacing(12);

    auto *maker = named(new QLabel(QStringLiteral("<a href=\"maker\">Veltrano Team</a>")), "Label5");
    maker->setTextFormat(Qt::RichText);
    maker->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    maker->setCursor(Qt::PointingHandCursor);
    connect(maker, &QLabel::linkActivated, this, [&browser, address = pages.makerSite()] { browser.open(address); });
    layout->addWidget(maker);
    layout->addStretch(1);
    return panel;
}

QWidget *SettingsPage::buildHiddenControls()
{
    // Controls the page holds for other features but never shows: the
    // traffic history chart and the request trace.
    auto *box = named(new QWidget, "pnHidden");
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(titledChartView("Chart2", QStringLiteral("Traffic History")));
    auto *memo = named(new QPlainTextEdit, "Memo1");
    memo->setReadOnly(true);
    layout->addWidget(memo);
    box->hide();
    return box;
}

GeneralSettings SettingsPage::generalSettings() const
{
    GeneralSettings settings;
    settings.requestDelay = GeneralSettings::requestDelayFromText(m_delay->cleanText());
    settings.importNoClear = m_noClearOnImport->isChecked();
    settings.parallelRequests = GeneralSettings::clampParallelRequests(m_parallelRequests->value());
    return settings;
}

void SettingsPage::showGeneralSettings(const GeneralSettings &settings)
{
    m_delay->setValue(settings.requestDelay);
    m_noClearOnImport->setChecked(settings.importNoClear);
    m_parallelRequests->setValue(GeneralSettings::clampParallelRequests(settings.parallelRequests));
}

void SettingsPage::showSideWidget(ServiceSettingsTab *tab, QWidget *side)
{
    const bool shown = m_analyticSystems->currentWidget() == tab;
    side->setVisible(shown);
    side->parentWidget()->setVisible(shown);
}

void SettingsPage::showSideWidgets()
{
    for (ServiceSettingsTab *tab : m_serviceTabs) {
        if (QWidget *side = tab->sideWidget())
            showSideWidget(tab, side);
    }
}

void SettingsPage::showFirstTime(const QString &version)
{
    {
        // Not a user's tab change: no tab handler runs.
        const QSignalBlocker services(m_analyticSystems);
        m_analyticSystems->setCurrentIndex(0);
    }
    showSideWidgets();
    m_version->setText(QStringLiteral("Version: ") + version);
}

} // namespace veltrano
