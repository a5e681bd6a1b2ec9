#include "ui/ReportsController.h"

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "reports/ReportTable.h"
#include "reports/StatsChartData.h"
#include "ui/ClipboardText.h"
#include "ui/FileDialogs.h"
#include "ui/HandlerGuard.h"
#include "ui/MainWindow.h"
#include "ui/ReportCellDelegate.h"
#include "ui/ReportHeaderView.h"
#include "ui/StatsChartView.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableView>

#include <algorithm>

namespace veltrano {

namespace {

// The run progress bar below the report tabs. A maximum of 0 (an empty
// table) shows an empty bar rather than Qt's busy indicator.
class ProgressBarReporter final : public ProgressReporter {
public:
    explicit ProgressBarReporter(QProgressBar *bar) : m_bar(bar) {}
    void setMaximum(int maximum) override
    {
        if (!m_bar)
            return;
        m_maximum = std::max(0, maximum);
        m_bar->setRange(0, std::max(1, m_maximum));
        setPosition(m_position);
    }
    void setPosition(int position) override
    {
        m_position = position;
        if (m_bar)
            m_bar->setValue(std::clamp(position, 0, m_maximum));
    }

private:
    QPointer<QProgressBar> m_bar;
    int m_maximum = 0;
    int m_position = 0;
};

} // namespace

ReportsController::ReportsController(MainWindow &window, const Widgets &widgets, Ports ports)
    : QObject(&window), m_window(window), m_ports(ports),
      m_progress(std::make_unique<ProgressBarReporter>(window.runProgressBar())),
      m_run(std::make_unique<RunControl>(ports.log, ports.events, ports.prompt, *m_progress)),
      m_importer(ports.log, ports.prompt), m_exporter(ports.log, ports.prompt)
{
    m_pages = widgets.pages;
    m_tabs = widgets.reportTabs;
    m_pasteButton = widgets.paste;
    m_importTxtButton = widgets.importTxt;
    m_importXmlButton = widgets.importXml;
    m_runButton = widgets.run;
    m_cancelButton = widgets.cancel;
    m_exportButton = widgets.exportCsv;
    m_progressBar = window.runProgressBar();
    m_chart = window.statsChartView();
    m_urlsMenu = widgets.urlsMenu;
    m_pasteAction = widgets.pasteAction;
    m_deleteAction = widgets.deleteAction;
    m_submitAction = widgets.submitAction;
    m_checkMenu = widgets.checkMenu;
    m_noClear = widgets.noClear;
    m_ahrefsToken = widgets.ahrefsToken;

    m_delegate = new ReportCellDelegate(this);
    for (int tab = 0; tab < RunControl::TabCount; ++tab) {
        m_tables[size_t(tab)] = new ReportTable(ReportLayout::ofTab(tab)->service(), this);
        m_run->setTable(tab, m_tables[size_t(tab)]);
        setUpView(tab);
    }
    m_importer.setTableChangedHook([this](const ReportTable &table) {
        m_run->refreshButtons();
        updateTabCaption(table);
    });
    m_run->setCheckChooser([this](int, const QStringList &names) { return chooseCheck(names); });
    connectWidgets();
    applyButtonStates();
}

ReportsController::~ReportsController() = default;

ReportTable *ReportsController::table(int tab) const
{
    if (tab < 0 || tab >= RunControl::TabCount)
        return nullptr;
    return m_tables[size_t(tab)];
}

void ReportsController::showReport(ServiceId service)
{
    // A switch made for the user, not a tab change of theirs: the report
    // tab's change handler does not run.
    m_pages->setCurrentIndex(0);
    const QSignalBlocker blocker(m_tabs);
    m_tabs->setCurrentIndex(ServiceTable::of(service).tab());
}

int ReportsController::selectedTab() const
{
    return m_tabs->currentIndex();
}

void ReportsController::setUpView(int tab)
{
    ReportTable *model = m_tables[size_t(tab)];
    QTableView *view = m_window.reportView(tab);
    m_views[size_t(tab)] = view;
    view->setHorizontalHeader(new ReportHeaderView(view));
    m_window.setReportModel(tab, model);
    view->setSortingEnabled(false); // a header click sorts through the shared sort state
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(model->layout().multiSelect() ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height, so 50 000 rows scroll without measuring.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView *header = view->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    for (int c = 0; c < model->columnCount(); ++c) {
        view->setColumnWidth(c, model->headerData(c, Qt::Horizontal, ReportTable::ColumnWidthRole).toInt());
        const auto drawing = CellDrawing(model->headerData(c, Qt::Horizontal, ReportTable::CellDrawingRole).toInt());
        if (drawing != CellDrawing::Plain)
            view->setItemDelegateForColumn(c, m_delegate);
    }
    connect(header, &QHeaderView::sectionClicked, this, [this, tab](int column) { headerClicked(tab, column); });
}

void ReportsController::connectWidgets()
{
    MessagePrompt &prompt = m_ports.prompt;
    connect(m_pasteButton, &QPushButton::clicked, this, guarded(prompt, [this] { pasteFromClipboard(); }));
    connect(m_importTxtButton, &QPushButton::clicked, this, guarded(prompt, [this] { importTextFile(); }));
    connect(m_importXmlButton, &QPushButton::clicked, this, guarded(prompt, [this] { importSitemap(); }));
    connect(m_runButton, &QPushButton::clicked, this, guarded(prompt, [this] { checkUrl(); }));
    connect(m_cancelButton, &QPushButton::clicked, this, guarded(prompt, [this] { cancelCheck(); }));
    connect(m_exportButton, &QPushButton::clicked, this, guarded(prompt, [this] { exportToCsv(); }));
    connect(m_pasteAction, &QAction::triggered, this, guarded(prompt, [this] { pasteFromClipboard(); }));
    connect(m_deleteAction, &QAction::triggered, this, guarded(prompt, [this] { deleteSelectedUrl(); }));
    connect(m_urlsMenu, &QMenu::aboutToShow, this, [this] { prepareUrlsMenu(); });
    connect(m_urlsMenu, &QMenu::aboutToHide, this, [this] { restoreMenuShortcuts(); });
    connect(m_tabs, &QTabWidget::currentChanged, this,
            guarded(prompt, [this] { reportTabChanged(m_tabs->currentIndex()); }));

    connect(m_run.get(), &RunControl::buttonsChanged, this, [this] { applyButtonStates(); });
    connect(m_run.get(), &RunControl::chartRefreshRequested, this,
            [this](int tab) { runHandler(m_ports.prompt, [this, tab] { updateStatsChart(tab); }); });
    // A window closed during a run asks the check to stop at its next step.
    connect(&m_window, &MainWindow::closing, this, [this] { cancelCheck(); });
}

void ReportsController::applyButtonStates()
{
    const ButtonStates s = m_run->buttonsFor(selectedTab());
    m_pasteButton->setEnabled(s.pasteFromClipboard);
    m_importTxtButton->setEnabled(s.importTxt);
    m_importXmlButton->setEnabled(s.importXml);
    m_runButton->setEnabled(s.checkUrl);
    m_cancelButton->setEnabled(s.cancel);
    m_exportButton->setEnabled(s.exportCsv);
}

void ReportsController::updateTabCaption(const ReportTable &table)
{
    m_tabs->setTabText(table.layout().tab(), table.tabCaption());
}

bool ReportsController::noClearOnImport() const
{
    return m_noClear->isChecked();
}

QStringList ReportsController::selectedUrls(ServiceId service) const
{
    const int tab = int(service);
    const ReportTable *target = table(tab);
    if (!target)
        return {};
    QList<int> rows = selectedRows(tab);
    std::sort(rows.begin(), rows.end());
    QStringList urls;
    urls.reserve(rows.size());
    for (const int row : rows)
        urls << target->url(row);
    return urls;
}

QList<int> ReportsController::selectedRows(int tab) const
{
    QList<int> rows;
    const QTableView *view = m_views[size_t(tab)];
    if (!view || view->model() != m_tables[size_t(tab)] || !view->selectionModel())
        return rows;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

void ReportsController::pasteFromClipboard()
{
    ReportTable *target = table(selectedTab());
    if (!target || !m_ports.clipboard.hasText())
        return;
    m_importer.pasteText(*target, m_ports.clipboard.text(), noClearOnImport());
}

void ReportsController::importTextFile()
{
    const int tab = selectedTab();
    if (!table(tab))
        return;
    const QString path = m_ports.files.openFileName(m_window.appFolder(), QString::fromLatin1(TextFileFilter));
    // The tab is the one selected when the command was given; the table
    // may have been locked by a run that started while the dialog was open.
    if (!path.isEmpty())
        m_importer.importTextFile(*table(tab), path, noClearOnImport());
}

void ReportsController::importSitemap()
{
    const int tab = selectedTab();
    if (!table(tab))
        return;
    const QString path = m_ports.files.openFileName(m_window.appFolder(), QString::fromLatin1(SitemapFilter));
    if (path.isEmpty())
        return;
    m_importer.importSitemap(*table(tab), path, noClearOnImport(), *m_progress);
    restoreRunProgress();
}

void ReportsController::restoreRunProgress()
{
    if (!m_run->isRunning())
        return;
    m_progress->setMaximum(m_run->progressMaximum());
    m_progress->setPosition(m_run->progressPosition());
}

void ReportsController::deleteSelectedUrl()
{
    const int tab = selectedTab();
    if (ReportTable *target = table(tab))
        m_importer.deleteSelectedRow(*target, selectedRows(tab));
}

void ReportsController::headerClicked(int tab, int column)
{
    // Refused, with the sort state untouched, while a check walks the table.
    if (ReportTable *target = table(tab))
        target->sortByHeaderClick(m_sortState, column);
}

void ReportsController::checkUrl()
{
    m_run->checkUrl(selectedTab());
}

void ReportsController::cancelCheck()
{
    m_run->cancelClicked();
}

int ReportsController::chooseCheck(const QStringList &names)
{
    // The menu's own items ("Check GSC", "URL Inspection API") run the
    // check registered under their caption; any other registered check gets
    // an item of its own for this one showing. Each item carries the index
    // of its check, so two checks of the same name stay apart.
    const QList<QAction *> fixed = m_checkMenu->actions();
    QList<bool> placed(names.size(), false);
    for (QAction *action : fixed) {
        const int index = int(names.indexOf(action->text()));
        action->setEnabled(index >= 0);
        action->setData(index);
        if (index >= 0)
            placed[index] = true;
    }
    QList<QAction *> extra;
    for (int index = 0; index < names.size(); ++index) {
        if (placed[index])
            continue;
        QAction *action = m_checkMenu->addAction(names[index]);
        action->setData(index);
        extra << action;
    }
    QPointer<QAction> chosen = m_checkMenu->exec(m_runButton->mapToGlobal(QPoint(0, m_runButton->height())));
    const int index = chosen ? chosen->data().toInt() : -1;
    for (QAction *action : extra) {
        m_checkMenu->removeAction(action);
        delete action;
    }
    return index;
}

void ReportsController::exportToCsv()
{
    const ReportTable *target = table(selectedTab());
    if (!target)
        return;
    const QString path = m_ports.files.saveFileName(
        m_window.appFolder(), ReportExporter::proposedFileName(target->service()), QString::fromLatin1(CsvFilter));
    m_exporter.exportClicked(*target, path);
}

void ReportsController::reportTabChanged(int tab)
{
    if (!table(tab))
        return;
    // Every report table carries pmURLs; its items follow the tab when opened.
    applyButtonStates();
    updateStatsChart(tab);
    if (tab == int(ServiceId::Ahrefs) && !m_ahrefsToken->text().isEmpty())
        m_run->markApiConnected();
}

void ReportsController::updateStatsChart(int tab)
{
    const ReportTable *source = table(tab);
    if (!source)
        return;
    m_chart->showStats(StatsChartData::titleFor(source->service()),
                       StatsChartData::compute(*source, m_run->flags().lastGscRunWasPerformance));
}

void ReportsController::windowShown()
{
    updateStatsChart(0);
}

void ReportsController::prepareUrlsMenu()
{
    const int tab = selectedTab();
    const ReportTable *target = table(tab);
    m_pasteAction->setEnabled(!m_cancelButton->isEnabled() && m_ports.clipboard.hasText());
    m_deleteAction->setEnabled(target && !target->isLocked());
    m_submitAction->setEnabled(tab == int(ServiceId::SearchConsole) && target && target->rowCount() > 0);
}

void ReportsController::restoreMenuShortcuts()
{
    // Ctrl+V and Del stay live on the tables between two showings of the
    // menu; their handlers test the table themselves.
    m_pasteAction->setEnabled(true);
    m_deleteAction->setEnabled(true);
}

} // namespace veltrano
