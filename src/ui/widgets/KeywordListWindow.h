#pragma once

#include "reports/AreaChartData.h"
#include "reports/KeywordTable.h"

#include <QDialog>
#include <QSize>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QPushButton;
class QTreeView;

namespace veltrano {

class AreaChartView;
class FileDialogs;
class MessagePrompt;

// What the three query windows ("GSC Keywords / Google Trends", "YWM
// Keywords", "YMetrika Keywords") have in common: the search queries of a
// site in the read-only list ListView6, their CSV export behind Button1
// ("Export to Excel (N rows)"), and, in the windows that have one, the
// trend chart Chart1 of the selected query, asked for by "Get keyword
// trends" (Getkewordtrend1 in the list's menu PopupMenu1) or a double-click
// on the query.
//
// A window is a configuration of this one: its names, captions, columns,
// proposed file name and chart title. Each is created once at start-up,
// hidden, and kept for the whole run; its service's controller fills it and
// shows it modally.
class KeywordListWindow : public QDialog {
    Q_OBJECT
public:
    // The chart of the query in a row (the row's texts), or nothing when no
    // answer came, in which case the chart keeps what it shows. A chart with
    // an error is drawn as far as it was read, then the error is shown.
    using ChartFetcher = std::function<std::optional<AreaChartData>(const QStringList &row)>;

    struct Layout {
        QString objectName;
        QString title;
        QSize clientSize;
        std::vector<KeywordColumn> columns;
        QString proposedExportName; // what the save dialog proposes
        // The chart's title until the first query is charted. Empty: the
        // window has no chart and no "Get keyword trends".
        QString chartTitle;
        // Button1 across the whole window rather than at its right.
        bool fullWidthExportButton = false;
    };

    // What the window needs from the main window.
    struct Ports {
        MessagePrompt *prompt = nullptr; // where an error of a handler is shown
        FileDialogs *files = nullptr;
        QString folder; // where the save dialog opens
        ChartFetcher chart;
    };

    static constexpr int ChartHeight = 250;

    void setPorts(Ports ports) { m_ports = std::move(ports); }

    // Replaces the list with these rows (the texts of a query each, in
    // column order), without repainting in between, and tells the export
    // button the new number.
    void setRows(std::vector<QStringList> rows);
    int rowCount() const;
    QStringList rowTexts(int row) const;
    KeywordTable *table() const { return m_table; }

    // Centres the window over the main window, kept on the main window's
    // screen, and runs it modally.
    int showModally();

    // Button1Click: the list as a CSV file the user names; nothing happens
    // when the save dialog is cancelled. The file is written whole or not at
    // all; a VeltranoError tells why not.
    void exportToCsv();
    // Getkewordtrend1Click and ListView6DblClick: the chart of the selected
    // query. Nothing happens without a selected row or without a chart.
    void showSelectedQueryChart();

    // "Export to Excel (N rows)".
    static QString exportCaption(int rows);

    QTreeView *listView() const { return m_list; }
    QPushButton *exportButton() const { return m_exportButton; }
    // The chart and the list's menu; null in a window without a chart.
    AreaChartView *chartView() const { return m_chart; }
    QMenu *popupMenu() const { return m_menu; }
    QAction *trendsAction() const { return m_trendsAction; }

protected:
    KeywordListWindow(const Layout &layout, QWidget *parent);

    // FormShow: the export button tells how many rows it would write.
    void showEvent(QShowEvent *event) override;

private:
    void sizeColumns();
    void updateExportButton();
    // Runs a handler of the window's own buttons and menu: an error that
    // escapes it is shown through the prompt.
    void runGuarded(const std::function<void()> &handler);

    QString m_proposedExportName;
    Ports m_ports;
    KeywordTable *m_table = nullptr;
    QTreeView *m_list = nullptr;           // ListView6
    QPushButton *m_exportButton = nullptr; // Button1
    QMenu *m_menu = nullptr;               // PopupMenu1
    QAction *m_trendsAction = nullptr;     // Getkewordtrend1
    AreaChartView *m_chart = nullptr;      // Chart1
};

} // namespace veltrano
