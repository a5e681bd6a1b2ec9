#include "ui/services/yandex_webmaster/YandexWebmasterKeywordsWindow.h"

#include "reports/CsvWriter.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "ui/widgets/AreaChartView.h"

#include <QAreaSeries>

namespace veltrano {

namespace {

KeywordListWindow::Layout windowLayout()
{
    // The query takes what the id, as wide as a long id needs, and the four
    // indicators, as wide as their captions, leave.
    const QStringList &captions = YandexPopularQueries::columnCaptions();
    return {QStringLiteral("frmKeywordsYa"),
            QStringLiteral("YWM Keywords"),
            {YandexWebmasterKeywordsWindow::ClientWidth, YandexWebmasterKeywordsWindow::ClientHeight},
            {KeywordColumn::left(captions[0]).stretching(),
             KeywordColumn::left(captions[1]).fitting(QStringLiteral("0000000000000000")),
             KeywordColumn::right(captions[2]), KeywordColumn::right(captions[3]), KeywordColumn::right(captions[4]),
             KeywordColumn::right(captions[5])},
            QString::fromLatin1(YandexWebmasterKeywordsWindow::ProposedExportName),
            QStringLiteral("Yandex Trends"),
            false};
}

} // namespace

YandexWebmasterKeywordsWindow::YandexWebmasterKeywordsWindow(QWidget *parent)
    : KeywordListWindow(windowLayout(), parent)
{
    chartView()->areaSeries()->setName(QStringLiteral("TOTAL_SHOWS"));
}

void YandexWebmasterKeywordsWindow::setPorts(Ports ports)
{
    ChartFetcher chart;
    if (ports.history) {
        // The query's text is its row's caption, its id the "ID" cell.
        chart = [history = std::move(ports.history)](const QStringList &row) -> std::optional<AreaChartData> {
            std::optional<YandexQueryHistory> answer = history(row.value(0), row.value(1));
            if (!answer)
                return std::nullopt;
            return chartData(*answer);
        };
    }
    KeywordListWindow::setPorts({ports.prompt, ports.files, std::move(ports.folder), std::move(chart)});
}

bool YandexWebmasterKeywordsWindow::writeCsv(QIODevice &device, const std::vector<QStringList> &rows)
{
    CsvWriter csv(device);
    KeywordTable::writeCsv(csv, YandexPopularQueries::columnCaptions(), rows);
    return csv.ok();
}

AreaChartData YandexWebmasterKeywordsWindow::chartData(const YandexQueryHistory &history)
{
    AreaChartData data;
    data.title = history.title;
    data.error = history.error;
    data.points.reserve(history.points.size());
    for (const YandexQueryHistory::Point &point : history.points)
        data.points.push_back({point.day, point.value});
    return data;
}

void YandexWebmasterKeywordsWindow::showHistory(const YandexQueryHistory &history)
{
    chartView()->showData(chartData(history));
}

QAreaSeries *YandexWebmasterKeywordsWindow::areaSeries() const
{
    return chartView()->areaSeries();
}

QScatterSeries *YandexWebmasterKeywordsWindow::pointSeries() const
{
    return chartView()->pointSeries();
}

QCategoryAxis *YandexWebmasterKeywordsWindow::dayAxis() const
{
    return chartView()->categoryAxis();
}

QValueAxis *YandexWebmasterKeywordsWindow::showsAxis() const
{
    return chartView()->valueAxis();
}

} // namespace veltrano
