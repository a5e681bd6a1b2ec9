#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace veltrano {

class ActivityLog;
class BrowserOpener;
class NewsBrowser;
class StatsChartView;

// The "URLs List" page (tsURLs): one report tab per service with its table,
// the run progress bar, the bottom panel with the news and the activity
// log, and on the right the import, check and export buttons over the
// statistics pie. It only lays the widgets out; ReportsController makes
// them work.
class UrlsPage final : public QWidget {
    Q_OBJECT
public:
    UrlsPage(ActivityLog &log, BrowserOpener &browser, QWidget *parent = nullptr);

    QTabWidget *reportTabs() const { return m_reportTabs; }
    // The report tables' views in tab order (ListView4 ...).
    const std::vector<QTableView *> &reportViews() const { return m_reportViews; }
    // The line above each report table saying what its check will use, in
    // tab order.
    const std::vector<QLabel *> &targetLines() const { return m_targetLines; }
    QProgressBar *progressBar() const { return m_progressBar; }
    QLabel *rowsLeftLabel() const { return m_rowsLeft; }
    QTabWidget *bottomTabs() const { return m_bottomTabs; }
    NewsBrowser *news() const { return m_news; }
    QPushButton *pasteButton() const { return m_pasteButton; }
    QPushButton *importTxtButton() const { return m_importTxtButton; }
    QPushButton *importXmlButton() const { return m_importXmlButton; }
    QPushButton *runButton() const { return m_runButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *exportButton() const { return m_exportButton; }
    StatsChartView *statsChart() const { return m_statsChart; }

    // The first showing: the first report tab, the news in front.
    void showFirstTime();

private:
    QWidget *buildReportTabs();
    QWidget *buildBottomTabs(ActivityLog &log, BrowserOpener &browser);
    QWidget *buildRightPanel();

    QTabWidget *m_reportTabs = nullptr;
    std::vector<QTableView *> m_reportViews;
    std::vector<QLabel *> m_targetLines;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_rowsLeft = nullptr;
    QTabWidget *m_bottomTabs = nullptr;
    NewsBrowser *m_news = nullptr;
    QTableView *m_logView = nullptr;
    QPushButton *m_pasteButton = nullptr;
    QPushButton *m_importTxtButton = nullptr;
    QPushButton *m_importXmlButton = nullptr;
    QPushButton *m_runButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    StatsChartView *m_statsChart = nullptr;
};

} // namespace veltrano
