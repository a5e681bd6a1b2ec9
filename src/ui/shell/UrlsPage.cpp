#include "ui/shell/UrlsPage.h"

#include "app/ActivityLog.h"
#include "reports/ReportLayout.h"
#include "services/ServiceTable.h"
#include "ui/reports/StatsChartView.h"
#include "ui/shell/NewsBrowser.h"
#include "ui/widgets/WidgetFactory.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace veltrano {

using namespace widgets;

namespace {

constexpr int RightPanelWidth = 190;
constexpr int StatsChartHeight = 300;

} // namespace

UrlsPage::UrlsPage(ActivityLog &log, BrowserOpener &browser, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsURLs"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto *top = new QWidget;
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(2);
    topLayout->addWidget(buildReportTabs(), 1);
    m_progressBar = named(new QProgressBar, "ProgressBar");
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedHeight(16);
    // Beside the bar: how many rows of the selected report the last run of
    // its check left (not reached or failed); hidden when none.
    m_rowsLeft = named(new QLabel, "RowsLeftLabel");
    m_rowsLeft->setVisible(false);
    auto *progressRow = new QHBoxLayout;
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->addWidget(m_progressBar, 1);
    progressRow->addWidget(m_rowsLeft);
    topLayout->addLayout(progressRow);

    auto *splitter = named(new QSplitter(Qt::Vertical), "Splitter1");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(top);
    splitter->addWidget(buildBottomTabs(log, browser));
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({470, 170});

    layout->addWidget(splitter, 1);
    layout->addWidget(buildRightPanel());
}

QWidget *UrlsPage::buildReportTabs()
{
    m_reportTabs = named(new QTabWidget, "pcReportsURLs");
    for (const ServiceDescriptor *service : ServiceTable::all()) {
        const ServiceDescriptor &info = *service;
        auto *sheet = new QWidget;
        sheet->setObjectName(info.reportSheet);
        auto *sheetLayout = new QVBoxLayout(sheet);
        sheetLayout->setContentsMargins(0, 0, 0, 0);

        // What the tab's check will use (account, site, period), or what
        // to connect first; the service's controller writes it.
        auto *target = new QLabel;
        target->setObjectName(QStringLiteral("lbCheckTarget%1").arg(info.tag()));
        target->setTextFormat(Qt::PlainText);
        target->setContentsMargins(4, 2, 4, 2);
        m_targetLines.push_back(target);
        sheetLayout->addWidget(target);

        auto *view = new QTableView;
        view->setObjectName(info.reportView);
        view->setProperty("Tag", info.tag()); // the service code, from 1
        // How the table selects, sorts and draws is the report page's
        // (ReportsController); here only how it looks.
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->setAlternatingRowColors(false);
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        m_reportViews.push_back(view);

        sheetLayout->addWidget(view);
        m_reportTabs->addTab(sheet, QString(info.name));
    }
    return m_reportTabs;
}

QWidget *UrlsPage::buildBottomTabs(ActivityLog &log, BrowserOpener &browser)
{
    m_bottomTabs = named(new QTabWidget, "pcBottom");

    auto *news = named(new QWidget, "tsNews");
    auto *newsLayout = new QVBoxLayout(news);
    newsLayout->setContentsMargins(0, 0, 0, 0);
    m_news = named(new NewsBrowser(browser), "NewsBrowser");
    newsLayout->addWidget(m_news);
    m_bottomTabs->addTab(news, QStringLiteral(" News "));

    auto *logSheet = named(new QWidget, "tsLog");
    auto *logLayout = new QVBoxLayout(logSheet);
    logLayout->setContentsMargins(0, 0, 0, 0);
    m_logView = named(new QTableView, "lvLog");
    m_logView->setModel(&log);
    m_logView->setShowGrid(true);
    m_logView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_logView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_logView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_logView->setWordWrap(false);
    m_logView->verticalHeader()->hide();
    m_logView->verticalHeader()->setDefaultSectionSize(m_logView->fontMetrics().height() + 6);
    m_logView->horizontalHeader()->setHighlightSections(false);
    m_logView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_logView->setColumnWidth(0, 80);
    m_logView->setColumnWidth(1, 600);
    // The message takes the width the time leaves free.
    m_logView->horizontalHeader()->setStretchLastSection(true);
    logLayout->addWidget(m_logView);
    m_bottomTabs->addTab(logSheet, QStringLiteral(" Log "));
    return m_bottomTabs;
}

QWidget *UrlsPage::buildRightPanel()
{
    auto *panel = named(new QFrame, "Panel1");
    panel->setFixedWidth(RightPanelWidth);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->setSpacing(6);

    m_pasteButton = button(QStringLiteral("Paste from Clipboard"), "btInsertURLs4Clip");
    m_importTxtButton = button(QStringLiteral("Import URLs from txt..."), "btImportURLs4TXT");
    m_importXmlButton = button(QStringLiteral("Import URLs from xml..."), "btImportURLs4XML");
    for (QPushButton *b : {m_pasteButton, m_importTxtButton, m_importXmlButton})
        layout->addWidget(b);
    layout->addSpacing(12);

    // "Check URL" is the window's default button (Enter), "Cancel" answers
    // Escape; both wait for a connected service and a running check.
    m_runButton = button(QStringLiteral("Check URL"), "btRunRequests");
    m_runButton->setDefault(true);
    m_runButton->setEnabled(false);
    QFont bold = m_runButton->font();
    bold.setBold(true);
    m_runButton->setFont(bold);
    m_runButton->setMinimumHeight(34);
    layout->addWidget(m_runButton);
    m_cancelButton = button(QStringLiteral("Cancel"), "btAbortRequests");
    m_cancelButton->setEnabled(false);
    layout->addWidget(m_cancelButton);
    layout->addSpacing(12);
    m_exportButton = button(QStringLiteral("Export to CSV..."), "btExport");
    m_exportButton->setEnabled(false);
    layout->addWidget(m_exportButton);
    layout->addSpacing(8);

    // The statistics pie: two slices, indexed against not indexed pages (or
    // pages with against pages without traffic), zero until a table is counted.
    m_statsChart = named(new StatsChartView, "crtURLScore");
    m_statsChart->setFixedHeight(StatsChartHeight);
    layout->addWidget(m_statsChart);
    layout->addStretch(1);
    return panel;
}

void UrlsPage::showFirstTime()
{
    {
        const QSignalBlocker reports(m_reportTabs);
        m_reportTabs->setCurrentIndex(0);
    }
    m_bottomTabs->setTabVisible(0, true);
    m_bottomTabs->setCurrentIndex(0);
}

} // namespace veltrano
