#pragma once

#include <QChartView>
#include <QIcon>
#include <QStringList>

#include <vector>

class QAreaSeries;
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace veltrano {

struct AreaChartData;

// The trend chart of the keyword windows: one query's values over time as
// a filled area under a smooth curve, each value marked by a green point,
// a few days (or weeks) named along the bottom and a value axis scaled to
// the values alone. No legend, no zooming or panning; a bold black title.
//
// In a narrow chart the title's letters shrink (to 7 points at least) until
// it fits, and the bottom axis names fewer days, as many as fit side by side.
//
// Until the first showData() the chart is blank under its title. A query
// without values leaves the axes empty and "(No data)" in the middle of the
// plot. With the mouse on a point, its hint reads "<label>: <value>"
// ("2024-03-08: 17"); off the points there is none.
class AreaChartView final : public QChartView {
    Q_OBJECT
public:
    static constexpr QRgb AreaColour = 0x5D83B0;  // RGB 93, 131, 176
    static constexpr QRgb LineColour = 0x456993;  // RGB 69, 105, 147
    static constexpr QRgb PointColour = 0x008000; // RGB 0, 128, 0
    // How many days the bottom axis names at most.
    static constexpr int CategoryLabels = 6;

    explicit AreaChartView(const QString &title, QWidget *parent = nullptr);

    // Replaces what the chart shows: the title, the curve through the
    // values in order, the labels of a few of them, and the value axis'
    // range and ticks (ChartScale). Leaves data.error alone: the caller
    // decides what to tell the user.
    void showData(const AreaChartData &data);
    // The hint of the point at index, "<label>: <value>"; empty when there
    // is no such point.
    QString pointHint(int index) const;

    // True after showData() with no values.
    bool showsNoData() const { return m_noData; }
    static QString noDataText() { return QStringLiteral("(No data)"); }

    // A small rising area in the chart's colours, for the actions that ask
    // for a chart ("Get keyword trends").
    static QIcon trendsIcon();

    // The filled area; its upper edge is the smooth curve through the points.
    QAreaSeries *areaSeries() const { return m_area; }
    // The values themselves, at x = 0, 1, 2 ...
    QScatterSeries *pointSeries() const { return m_points; }
    QCategoryAxis *categoryAxis() const { return m_categoryAxis; }
    QValueAxis *valueAxis() const { return m_valueAxis; }

protected:
    void drawForeground(QPainter *painter, const QRectF &rect) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyColours();
    void pointHovered(const QPointF &point, bool onPoint);
    void setCategoryLabels();
    // How many of the labels fit along the bottom, at most CategoryLabels.
    int labelsThatFit() const;
    void fitTitle();

    QLineSeries *m_edge = nullptr;
    QAreaSeries *m_area = nullptr;
    QScatterSeries *m_points = nullptr;
    QCategoryAxis *m_categoryAxis = nullptr;
    QValueAxis *m_valueAxis = nullptr;
    bool m_noData = false;
    QFont m_titleFont;
    QStringList m_labels;
    std::vector<qint64> m_values;
};

} // namespace veltrano
