#pragma once

#include <QChartView>

class QPieSeries;

namespace veltrano {

struct StatsChartData;

// The statistics pie under the buttons of the "URLs List" page: one series of
// two slices (indexed and not indexed pages, or pages with and without
// traffic) with a bold black title above and a legend below that lists each
// slice on a line of its own, so the labels stay readable in the narrow panel.
class StatsChartView final : public QChartView {
    Q_OBJECT
public:
    explicit StatsChartView(QWidget *parent = nullptr);
    ~StatsChartView() override;

    QPieSeries *series() const { return m_series; }

    // UpdateStatsChart's drawing: the title of the report, then both slices'
    // values and labels, and a repaint.
    void showStats(const QString &title, const StatsChartData &data);

protected:
    void resizeEvent(QResizeEvent *event) override;
    // While both slices are zero the pie would vanish; a faint empty disc
    // keeps its place.
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    void placeLegend();
    // The legend's labels shrink, down to a readable minimum, until the
    // longest fits the panel's width in one line.
    void fitLegendFont();

    QPieSeries *m_series = nullptr;
    QFont m_legendFont;
};

} // namespace veltrano
