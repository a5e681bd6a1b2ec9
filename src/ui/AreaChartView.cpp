#include "ui/AreaChartView.h"

#include "reports/AreaChartData.h"
#include "reports/ChartScale.h"
#include "reports/SmoothCurve.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QPainter>
#include <QPixmap>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

namespace veltrano {

namespace {

// Samples of the smooth curve across the whole chart: enough for a curve
// that looks round at the chart's width, few enough to redraw at once.
constexpr int CurveSamples = 1200;
constexpr int MostSamplesPerStretch = 16;

} // namespace

AreaChartView::AreaChartView(const QString &title, QWidget *parent) : QChartView(parent)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitleBrush(Qt::black);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 2, 8, 2));

    // The values as a filled area under their curve, each value marked by a
    // point of its own.
    m_edge = new QLineSeries(chart);
    m_area = new QAreaSeries(m_edge);
    chart->addSeries(m_area);
    m_points = new QScatterSeries;
    m_points->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    m_points->setMarkerSize(4);
    chart->addSeries(m_points);
    applyColours();

    m_categoryAxis = new QCategoryAxis;
    m_categoryAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_categoryAxis->setGridLineVisible(false);
    m_categoryAxis->setRange(0, 1);
    chart->addAxis(m_categoryAxis, Qt::AlignBottom);
    m_valueAxis = new QValueAxis;
    m_valueAxis->setLabelFormat(QStringLiteral("%i"));
    const ChartScale scale = ChartScale::fitting(0);
    m_valueAxis->setTickCount(scale.tickCount);
    m_valueAxis->setRange(0, double(scale.maximum));
    chart->addAxis(m_valueAxis, Qt::AlignLeft);
    for (QAbstractSeries *series : {static_cast<QAbstractSeries *>(m_area), static_cast<QAbstractSeries *>(m_points)}) {
        series->attachAxis(m_categoryAxis);
        series->attachAxis(m_valueAxis);
    }

    // The view gives up the chart it made for itself without deleting it.
    QChart *own = this->chart();
    setChart(chart);
    delete own;
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::NoRubberBand);
}

void AreaChartView::applyColours()
{
    m_area->setBrush(QColor(AreaColour));
    m_area->setPen(QPen(QColor(LineColour), 2));
    m_points->setColor(QColor(PointColour));
    m_points->setBorderColor(QColor(PointColour));
}

void AreaChartView::showData(const AreaChartData &data)
{
    chart()->setTitle(data.title);

    QList<QPointF> values;
    values.reserve(qsizetype(data.points.size()));
    for (size_t i = 0; i < data.points.size(); ++i)
        values << QPointF(double(i), double(data.points[i].value));
    const int stretches = std::max(int(values.size()) - 1, 1);
    m_edge->replace(smoothCurve(values, std::clamp(CurveSamples / stretches, 1, MostSamplesPerStretch)));
    m_points->replace(values);
    applyColours();

    setCategoryLabels(data);
    const ChartScale scale = ChartScale::fitting(data.largestValue());
    m_valueAxis->setTickCount(scale.tickCount);
    m_valueAxis->setRange(0, double(scale.maximum));

    m_noData = data.points.empty();
    viewport()->update();
}

void AreaChartView::setCategoryLabels(const AreaChartData &data)
{
    for (const QString &label : m_categoryAxis->categoriesLabels())
        m_categoryAxis->remove(label);
    const int count = int(data.points.size());
    m_categoryAxis->setStartValue(-1);
    // Half a step of room before the first point and after the last, so
    // that a label on either of them is not cut off by the frame; a lone
    // point sits in the middle of the axis.
    if (count <= 1)
        m_categoryAxis->setRange(-1, 1);
    else
        m_categoryAxis->setRange(-0.5, count - 0.5);
    QStringList used;
    for (const int index : ChartScale::labelledPoints(count, CategoryLabels)) {
        const QString &label = data.points[size_t(index)].label;
        if (!used.contains(label)) { // the axis takes each label once
            m_categoryAxis->append(label, index);
            used << label;
        }
    }
}

void AreaChartView::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    if (!m_noData)
        return;
    painter->save();
    QFont font = chart()->titleFont();
    font.setBold(false);
    painter->setFont(font);
    painter->setPen(QColor(Qt::gray));
    painter->drawText(chart()->plotArea(), Qt::AlignCenter, noDataText());
    painter->restore();
}

QIcon AreaChartView::trendsIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPolygonF area{{1, 15}, {1, 11}, {5, 8}, {9, 10}, {15, 3}, {15, 15}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(AreaColour));
    painter.drawPolygon(area);
    painter.setPen(QPen(QColor(LineColour), 1.5));
    painter.drawPolyline(QPolygonF{{1, 11}, {5, 8}, {9, 10}, {15, 3}});
    return QIcon(pixmap);
}

} // namespace veltrano
