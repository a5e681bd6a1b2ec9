#pragma once

#include "app/RunControl.h"
#include "reports/ReportExporter.h"
#include "reports/SortState.h"
#include "reports/UrlImporter.h"
#include "ui/reports/ReportPages.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QLineEdit;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace veltrano {

class ActivityLog;
class ClipboardText;
class EventPump;
class FileDialogs;
class MessagePrompt;
class ProgressReporter;
class ReportCellDelegate;
class RowStateMarkerDelegate;
class ReportTable;
class StatsChartView;

// The "URLs List" page at work: the five report tables under their views,
// the shared sort state, the check-run frame and the right-hand buttons.
//
// - Imports (clipboard, text file, sitemap) and Delete act on the table of
//   the report tab selected at the moment of the command; the tab caption
//   shows the table's row count.
// - A header click sorts the clicked table by the shared sort state; the
//   views never sort on their own.
// - "Check URL" runs the check the selected tab has registered; the Search
//   Console tab asks which one through PopupMenu1. While a check walks its
//   table, that table refuses imports, Delete and sorting; "Cancel", the
//   other tabs and scrolling stay live.
// - The pie under the buttons is recomputed when the window is first shown,
//   when a report tab is selected and after every run.
// - "Export to CSV..." writes the selected table to the file the user names.
//
// Services plug their checks in through runControl().registerCheck(tab, ...)
// and fill the rows of table(tab); a connected account calls
// runControl().markApiConnected().
class ReportsController final : public QObject, public ReportPages {
    Q_OBJECT
public:
    // The page's widgets, as the window built them.
    struct Widgets {
        QTabWidget *pages = nullptr;         // pcPages
        QTabWidget *reportTabs = nullptr;    // pcReportsURLs
        QPushButton *paste = nullptr;        // btInsertURLs4Clip
        QPushButton *importTxt = nullptr;    // btImportURLs4TXT
        QPushButton *importXml = nullptr;    // btImportURLs4XML
        QPushButton *run = nullptr;          // btRunRequests
        QPushButton *cancel = nullptr;       // btAbortRequests
        QPushButton *exportCsv = nullptr;    // btExport
        QMenu *urlsMenu = nullptr;           // pmURLs
        QAction *pasteAction = nullptr;      // miPaste4Clipboard
        QAction *deleteAction = nullptr;     // miDeleteURL
        QMenu *checkMenu = nullptr;          // PopupMenu1
        QCheckBox *noClear = nullptr;        // cbImpNoClearURLs
        QProgressBar *progressBar = nullptr; // ProgressBar
        QLabel *rowsLeft = nullptr;          // beside it: rows the last run left
        StatsChartView *chart = nullptr;     // the statistics pie
        // The report tables' views in tab order (ListView4 ...).
        std::vector<QTableView *> views;
        // The lines above the tables saying what each check will use.
        std::vector<QLabel *> targetLines;
    };

    struct Ports {
        ActivityLog &log;
        MessagePrompt &prompt;
        EventPump &events;
        FileDialogs &files;
        ClipboardText &clipboard;
        // Where the file dialogs open, with a trailing "/".
        QString appFolder;
    };

    static constexpr const char *TextFileFilter = "Text files (*.txt)";
    static constexpr const char *SitemapFilter = "XML files (*.xml)";
    static constexpr const char *CsvFilter = "CSV files (*.csv)";

    // Takes the page's widgets over; the window must have built its "URLs
    // List" page and menus.
    ReportsController(const Widgets &widgets, Ports ports, QObject *parent = nullptr);
    ~ReportsController() override;

    // The report table of a tab (from 0), nullptr for any other number.
    ReportTable *table(int tab) const;
    // ReportPages
    ReportTable *table(ServiceId service) const override { return table(int(service)); }
    void showReport(ServiceId service) override;
    void setCheckTargetText(ServiceId service, const QString &text) override;
    QStringList selectedUrls(ServiceId service) const override;
    void setRowsAction(ServiceId service, QAction *action) override { setRowsAction(int(service), action); }
    void setConnectedWhenSelected(ServiceId service, std::function<bool()> ready) override
    {
        setConnectedWhenSelected(int(service), std::move(ready));
    }
    RunControl &runControl() { return *m_run; }
    const SortState &sortState() const { return m_sortState; }
    // The report tab selected in pcReportsURLs.
    int selectedTab() const;

    // The handlers of the page, as the buttons, menu items and keys call them.
    void pasteFromClipboard();               // btInsertURLs4ClipClick, miPaste4Clipboard, Ctrl+V
    void importTextFile();                   // btImportURLs4TXTClick
    void importSitemap();                    // btImportURLs4XMLClick
    void deleteSelectedUrl();                // miDeleteURLClick, Del
    void checkUrl();                         // btRunRequestsClick
    void cancelCheck();                      // btAbortRequestsClick, Escape
    void exportToCsv();                      // btExportClick
    void headerClicked(int tab, int column); // ListViewNColumnClick
    void reportTabChanged(int tab);          // pcStrategyChange
    void updateStatsChart(int tab);          // UpdateStatsChart
    // FormShow: the pie of the first report table.
    void windowShown();
    // The tables were filled from the saved state at start: the captions,
    // the rows-left count and the buttons follow them, and a report whose
    // last check ran through every row can be exported again.
    void reportsRestored();

    // A service whose account needs no connect (a typed token) counts as
    // connected whenever its report tab is selected while `ready` says so.
    void setConnectedWhenSelected(int tab, std::function<bool()> ready);
    // A command of the report tables' menu offered only on this tab, and only
    // while its table has rows (the Indexing API submission).
    void setRowsAction(int tab, QAction *action);

protected:
    // A report cell's tooltip (its whole text) only when the cell cuts it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectWidgets();
    void setUpView(int tab);
    void applyButtonStates();
    void updateTabCaption(const ReportTable &table);
    // The count beside the progress bar: rows the last run of the selected
    // report's check left.
    void updateRowsLeft();
    // Before a run of a check that left rows: go on with them, check all
    // again, or run nothing.
    std::optional<CheckContext::RowScope> askRowScope(int tab, int rowsLeft);
    RowRunStates::State rowState(const QModelIndex &index) const;
    // pmURLsPopup: which items the report tables' menu offers now.
    void prepareUrlsMenu();
    void restoreMenuShortcuts();
    int chooseCheck(const QStringList &names);
    QList<int> selectedRows(int tab) const;
    bool noClearOnImport() const;
    // After a sitemap import during a run, the bar shows the run again.
    void restoreRunProgress();

    Ports m_ports;
    std::unique_ptr<ProgressReporter> m_progress;
    std::unique_ptr<RunControl> m_run;
    UrlImporter m_importer;
    ReportExporter m_exporter;
    SortState m_sortState;
    std::vector<ReportTable *> m_tables;
    ReportCellDelegate *m_delegate = nullptr;
    RowStateMarkerDelegate *m_rowMarker = nullptr;
    QLabel *m_rowsLeft = nullptr;

    QTabWidget *m_pages = nullptr;
    QTabWidget *m_tabs = nullptr;
    std::vector<QTableView *> m_views;
    QPushButton *m_pasteButton = nullptr;
    QPushButton *m_importTxtButton = nullptr;
    QPushButton *m_importXmlButton = nullptr;
    QPushButton *m_runButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    StatsChartView *m_chart = nullptr;
    QMenu *m_urlsMenu = nullptr;
    QAction *m_pasteAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QMenu *m_checkMenu = nullptr;
    QCheckBox *m_noClear = nullptr;
    std::vector<QLabel *> m_targetLines;
    std::vector<std::function<bool()>> m_connectedWhenSelected; // by tab
    std::vector<std::pair<int, QAction *>> m_rowsActions;
};

} // namespace veltrano
