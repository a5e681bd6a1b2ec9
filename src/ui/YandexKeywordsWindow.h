#pragma once

#include "services/yandex_webmaster/YandexQueryHistory.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QAreaSeries;
class QCategoryAxis;
class QIODevice;
class QMenu;
class QPushButton;
class QScatterSeries;
class QTreeWidget;
class QValueAxis;

namespace veltrano {

class AreaChartView;
class FileDialogs;
class MessagePrompt;

// "YWM Keywords" (frmKeywordsYa): the popular search queries of a Yandex
// Webmaster site in ListView6, their CSV export behind Button1, and the
// daily shows of one query in the area chart Chart1 ("Get keyword trends"
// in the list's menu, or a double-click on a query).
//
// Created once at start-up, hidden, and kept for the whole run; the Yandex
// Webmaster controller fills it and shows it modally.
class YandexKeywordsWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 860;
    static constexpr int ClientHeight = 560;
    static constexpr const char *ProposedExportName = "export_ywm_keywords.csv";

    // The history of a query (its text and id); nothing when no answer came.
    using HistoryFetcher =
        std::function<std::optional<YandexQueryHistory>(const QString &queryText, const QString &queryId)>;

    // What the window needs from the main window.
    struct Ports {
        MessagePrompt *prompt = nullptr;
        FileDialogs *files = nullptr;
        QString folder; // where the save dialog opens
        HistoryFetcher history;
    };

    explicit YandexKeywordsWindow(QWidget *parent = nullptr);

    void setPorts(Ports ports) { m_ports = std::move(ports); }

    // Replaces the list with these rows (the six texts of a query each),
    // without repainting in between.
    void setQueries(const std::vector<QStringList> &rows);
    int rowCount() const;
    QStringList rowTexts(int row) const;

    // Centres the window over the main window and runs it modally.
    int showModally();

    // Button1Click: the list as a CSV file the user names.
    void exportToCsv();
    // Header and rows as CSV: UTF-8 with a byte-order mark, CR LF, the six
    // captions each followed by ";", then one line per row.
    static bool writeCsv(QIODevice &device, const std::vector<QStringList> &rows);
    // Getkewordtrend1Click and ListView6DblClick: the history of the selected
    // query. Nothing happens without a selected row.
    void showSelectedQueryHistory();
    // Draws a history: the chart keeps it until the next one.
    void showHistory(const YandexQueryHistory &history);

    QTreeWidget *queryList() const { return m_list; }
    QPushButton *exportButton() const { return m_exportButton; }
    AreaChartView *chartView() const { return m_chartView; }
    QAction *trendsAction() const { return m_trendsAction; }
    QAreaSeries *areaSeries() const;
    QScatterSeries *pointSeries() const;
    QCategoryAxis *dayAxis() const;
    QValueAxis *showsAxis() const;

protected:
    // FormShow: the export button tells how many rows it would write.
    void showEvent(QShowEvent *event) override;

private:
    void runGuarded(const std::function<void()> &handler);

    Ports m_ports;
    QTreeWidget *m_list = nullptr;         // ListView6
    QPushButton *m_exportButton = nullptr; // Button1
    QMenu *m_menu = nullptr;               // PopupMenu1
    QAction *m_trendsAction = nullptr;     // Getkewordtrend1
    AreaChartView *m_chartView = nullptr;  // Chart1
};

} // namespace veltrano
