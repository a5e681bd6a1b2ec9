#include "ui/reports/ReportsController.h"

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/SettingsFile.h"
#include "auth/WindowSettings.h"
#include "reports/ReportTable.h"
#include "reports/StatsChartData.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/reports/ReportCellDelegate.h"
#include "ui/reports/RowStateMarkerDelegate.h"
#include "ui/reports/ReportHeaderView.h"
#include "ui/reports/StatsChartView.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>

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
    void showWaiting(const QString &note) override
    {
        if (!m_bar)
            return;
        if (note.isEmpty()) {
            if (!m_waiting)
                return;
            m_waiting = false;
            m_bar->resetFormat();
            m_bar->setTextVisible(m_textVisible);
        } else {
            if (!m_waiting)
                m_textVisible = m_bar->isTextVisible();
            m_waiting = true;
            m_bar->setFormat(note);
            m_bar->setTextVisible(true);
        }
    }

private:
    QPointer<QProgressBar> m_bar;
    int m_maximum = 0;
    int m_position = 0;
    bool m_textVisible = false; // as the page set it, restored after a wait
    bool m_waiting = false;
};

} // namespace

ReportsController::ReportsController(const Widgets &widgets, Ports ports, QObject *parent)
    : QObject(parent), m_ports(std::move(ports)),
      m_progress(std::make_unique<ProgressBarReporter>(widgets.progressBar)),
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
    m_progressBar = widgets.progressBar;
    m_chart = widgets.chart;
    m_urlsMenu = widgets.urlsMenu;
    m_pasteAction = widgets.pasteAction;
    m_deleteAction = widgets.deleteAction;
    m_checkMenu = widgets.checkMenu;
    m_noClear = widgets.noClear;
    m_targetLines = widgets.targetLines;
    m_views = widgets.views;

    m_delegate = new ReportCellDelegate(this);
    m_rowMarker = new RowStateMarkerDelegate([this](const QModelIndex &index) { return rowState(index); }, this);
    m_rowsLeft = widgets.rowsLeft;
    const int tabs = ServiceTable::count();
    m_connectedWhenSelected.resize(size_t(tabs));
    for (int tab = 0; tab < tabs; ++tab) {
        m_tables.push_back(new ReportTable(ReportLayout::ofTab(tab)->service(), this));
        m_run->setTable(tab, m_tables[size_t(tab)]);
        setUpView(tab);
    }
    m_importer.setTableChangedHook([this](const ReportTable &table) {
        m_run->refreshButtons();
        updateTabCaption(table);
        // The pie follows the new list at once, not the one it replaced.
        if (table.layout().tab() == selectedTab())
            updateStatsChart(selectedTab());
    });
    m_run->setCheckChooser([this](int, const QStringList &names) { return chooseCheck(names); });
    m_run->setRowScopeQuestion([this](int tab, int rowsLeft) { return askRowScope(tab, rowsLeft); });
    m_run->setTargetText([this](int tab) {
        return tab >= 0 && size_t(tab) < m_targetLines.size() && m_targetLines[size_t(tab)]
                   ? m_targetLines[size_t(tab)]->text()
                   : QString();
    });
    for (int tab = 0; tab < tabs; ++tab) {
        // Rows that leave the table leave its states; a cleared table has none.
        ReportTable *model = m_tables[size_t(tab)];
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this, tab, model](const QModelIndex &, int first, int last) {
                    for (int row = first; row <= last; ++row)
                        m_run->rowStates(tab).forget(model->url(row));
                    m_run->rowStatesChanged(tab);
                });
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this, tab] {
            m_run->rowStates(tab).clear();
            m_run->rowStatesChanged(tab);
        });
    }
    connect(m_run.get(), &RunControl::rowStatesChanged, this, [this](int tab) {
        if (tab == selectedTab())
            updateRowsLeft();
        if (tab >= 0 && size_t(tab) < m_views.size() && m_views[size_t(tab)] && !m_run->isRunning())
            m_views[size_t(tab)]->viewport()->update();
    });
    connectWidgets();
    applyButtonStates();
}

ReportsController::~ReportsController() = default;

ReportTable *ReportsController::table(int tab) const
{
    if (tab < 0 || tab >= int(m_tables.size()))
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
    QTableView *view = tab < int(m_views.size()) ? m_views[size_t(tab)] : nullptr;
    if (!view)
        return;
    view->setHorizontalHeader(new ReportHeaderView(view));
    view->setModel(model);
    view->setSortingEnabled(false); // a header click sorts through the shared sort state
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    // A report that selects several rows at once (for the Indexing API) takes
    // extended selections.
    view->setSelectionMode(model->layout().multiSelect() ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height, so 50 000 rows scroll without measuring.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView *header = view->horizontalHeader();
    header->setSortIndicatorShown(false);
    for (int c = 0; c < model->columnCount(); ++c) {
        view->setColumnWidth(c, model->headerData(c, Qt::Horizontal, ReportTable::ColumnWidthRole).toInt());
        const auto drawing = CellDrawing(model->headerData(c, Qt::Horizontal, ReportTable::CellDrawingRole).toInt());
        if (drawing != CellDrawing::Plain)
            view->setItemDelegateForColumn(c, m_delegate);
    }
    view->setItemDelegateForColumn(0, m_rowMarker);
    connect(header, &QHeaderView::sectionClicked, this, [this, tab](int column) { headerClicked(tab, column); });
    view->viewport()->installEventFilter(this);
}

bool ReportsController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    for (QTableView *view : m_views) {
        if (!view || watched != view->viewport())
            continue;
        const QModelIndex index = view->indexAt(static_cast<QHelpEvent *>(event)->pos());
        const QString text = index.data(Qt::ToolTipRole).toString();
        // The ordinary drawing leaves a focus-frame margin on either side.
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int room = view->visualRect(index).width() - 2 * margin;
        if (text.isEmpty() || view->fontMetrics().horizontalAdvance(text) <= room) {
            QToolTip::hideText();
            return true;
        }
        break;
    }
    return QObject::eventFilter(watched, event);
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
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { updateRowsLeft(); });

    connect(m_run.get(), &RunControl::buttonsChanged, this, [this] { applyButtonStates(); });
    connect(m_run.get(), &RunControl::chartRefreshRequested, this,
            [this](int tab) { runHandler(m_ports.prompt, [this, tab] { updateStatsChart(tab); }); });
}

void ReportsController::applyButtonStates()
{
    const ButtonStates s = m_run->buttonsFor(selectedTab());
    m_pasteButton->setEnabled(s.pasteFromClipboard);
    m_importTxtButton->setEnabled(s.importTxt);
    m_importXmlButton->setEnabled(s.importXml);
    m_runButton->setEnabled(s.checkUrl);
    // A disabled "Check URL" says why.
    QString why;
    if (!s.checkUrl)
        why = m_run->isRunning() ? QStringLiteral("A check is running: wait for it to finish or click Cancel")
                                 : QStringLiteral("Connect an account on the Settings page first");
    m_runButton->setToolTip(why);
    m_cancelButton->setEnabled(s.cancel);
    m_exportButton->setEnabled(s.exportCsv);
}

RowRunStates::State ReportsController::rowState(const QModelIndex &index) const
{
    for (size_t tab = 0; tab < m_tables.size(); ++tab) {
        if (index.model() == m_tables[tab])
            return m_run->rowStates(int(tab)).state(m_tables[tab]->url(index.row()));
    }
    return RowRunStates::State::None;
}

void ReportsController::updateRowsLeft()
{
    if (!m_rowsLeft)
        return;
    const int tab = selectedTab();
    const int left = tab >= 0 && tab < int(m_tables.size()) ? m_run->rowStates(tab).rowsLeft() : 0;
    m_rowsLeft->setVisible(left > 0);
    m_rowsLeft->setText(left == 1 ? QStringLiteral("1 row left") : QStringLiteral("%1 rows left").arg(left));
}

std::optional<CheckContext::RowScope> ReportsController::askRowScope(int tab, int rowsLeft)
{
    (void)tab;
    const QString text =
        (rowsLeft == 1 ? QStringLiteral("The last check did not answer 1 row of this report.")
                       : QStringLiteral("The last check did not answer %1 rows of this report.").arg(rowsLeft)) +
        QStringLiteral("\n\nContinue with those rows, or check all rows again?");
    const int chosen = m_ports.prompt.choose(
        QStringLiteral("Check URL"), text,
        {QStringLiteral("Continue"), QStringLiteral("Check all again"), QStringLiteral("Cancel")});
    if (chosen == 0)
        return CheckContext::RowScope::RowsLeft;
    if (chosen == 1)
        return CheckContext::RowScope::All;
    return std::nullopt;
}

void ReportsController::updateTabCaption(const ReportTable &table)
{
    m_tabs->setTabText(table.layout().tab(), table.tabCaption());
}

bool ReportsController::noClearOnImport() const
{
    return m_noClear->isChecked();
}

void ReportsController::setCheckTargetText(ServiceId service, const QString &text)
{
    const auto tab = size_t(int(service));
    if (tab < m_targetLines.size() && m_targetLines[tab])
        m_targetLines[tab]->setText(text);
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
    const QTableView *view = tab >= 0 && tab < int(m_views.size()) ? m_views[size_t(tab)] : nullptr;
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
    const QString path = m_ports.files.openFileName(m_ports.appFolder, QString::fromLatin1(TextFileFilter));
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
    const QString path = m_ports.files.openFileName(m_ports.appFolder, QString::fromLatin1(SitemapFilter));
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
        // Items of another tab's checks are not shown.
        action->setVisible(index >= 0);
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
    // The dialog starts in the folder of the last export while that folder
    // is still there, else beside the program.
    SettingsFile settings(SettingsFile::pathIn(m_ports.appFolder));
    QString folder = WindowSettings::exportFolder(settings);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = m_ports.appFolder;
    else if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString path = m_ports.files.saveFileName(folder, ReportExporter::proposedFileName(target->service()),
                                                    QString::fromLatin1(CsvFilter));
    if (!m_exporter.exportClicked(*target, path) || path.isEmpty())
        return;
    // The file is written; a settings file that refuses the folder only
    // costs the next dialog its start folder, so the export is not spoiled
    // by an error for it.
    try {
        WindowSettings::saveExportFolder(settings, QFileInfo(path).absolutePath());
    } catch (const VeltranoError &) {
    }
}

void ReportsController::reportTabChanged(int tab)
{
    if (!table(tab))
        return;
    // Every report table carries pmURLs; its items follow the tab when opened.
    applyButtonStates();
    updateStatsChart(tab);
    if (const auto &ready = m_connectedWhenSelected[size_t(tab)]; ready && ready())
        m_run->markApiConnected();
}

void ReportsController::setConnectedWhenSelected(int tab, std::function<bool()> ready)
{
    if (tab >= 0 && tab < int(m_connectedWhenSelected.size()))
        m_connectedWhenSelected[size_t(tab)] = std::move(ready);
}

void ReportsController::setRowsAction(int tab, QAction *action)
{
    if (action)
        m_rowsActions.emplace_back(tab, action);
}

void ReportsController::updateStatsChart(int tab)
{
    const ReportTable *source = table(tab);
    if (!source)
        return;
    const ChartRule rule = m_run->lastChartRule(tab).value_or(ServiceTable::of(source->service()).chart);
    m_chart->showStats(rule.title(), StatsChartData::compute(*source, rule));
}

void ReportsController::windowShown()
{
    updateStatsChart(0);
}

void ReportsController::reportsRestored()
{
    for (int tab = 0; tab < int(m_tables.size()); ++tab) {
        const ReportTable &restored = *m_tables[size_t(tab)];
        updateTabCaption(restored);
        const RowRunStates &states = m_run->rowStates(tab);
        if (restored.rowCount() > 0 && !states.check().isEmpty() && states.rowsLeft() == 0)
            m_run->markReportDataReady();
        Q_EMIT m_run->rowStatesChanged(tab);
    }
    m_run->refreshButtons();
}

void ReportsController::prepareUrlsMenu()
{
    const int tab = selectedTab();
    const ReportTable *target = table(tab);
    m_pasteAction->setEnabled(!m_cancelButton->isEnabled() && m_ports.clipboard.hasText());
    m_deleteAction->setEnabled(target && !target->isLocked());
    for (const auto &[actionTab, action] : m_rowsActions)
        action->setEnabled(tab == actionTab && target && target->rowCount() > 0);
}

void ReportsController::restoreMenuShortcuts()
{
    // Ctrl+V and Del stay live on the tables between two showings of the
    // menu; their handlers test the table themselves.
    m_pasteAction->setEnabled(true);
    m_deleteAction->setEnabled(true);
}

} // namespace veltrano
