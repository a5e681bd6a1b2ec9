#pragma once

#include "services/yandex_webmaster/YandexQueryHistory.h"
#include "ui/widgets/KeywordListWindow.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QAreaSeries;
class QCategoryAxis;
class QIODevice;
class QScatterSeries;
class QValueAxis;

namespace veltrano {

// "YWM Keywords" (frmKeywordsYa): the popular search queries of a Yandex
// Webmaster site ("Query", "ID" and four indicators), their CSV export
// "export_ywm_keywords.csv", and the daily shows of one query over the last
// year in the chart "Yandex Trends".
class YandexWebmasterKeywordsWindow final : public KeywordListWindow {
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

    explicit YandexWebmasterKeywordsWindow(QWidget *parent = nullptr);

    void setPorts(Ports ports);

    // The six texts of a query each.
    void setQueries(const std::vector<QStringList> &rows) { setRows(rows); }

    // Header and rows as CSV: UTF-8 with a byte-order mark, CR LF, the six
    // captions each followed by ";", then one line per row.
    static bool writeCsv(QIODevice &device, const std::vector<QStringList> &rows);
    // The history of the selected query.
    void showSelectedQueryHistory() { showSelectedQueryChart(); }
    // Draws a history: the chart keeps it until the next one.
    void showHistory(const YandexQueryHistory &history);
    static AreaChartData chartData(const YandexQueryHistory &history);

    QTreeView *queryList() const { return listView(); }
    QAreaSeries *areaSeries() const;
    QScatterSeries *pointSeries() const;
    QCategoryAxis *dayAxis() const;
    QValueAxis *showsAxis() const;
};

} // namespace veltrano
