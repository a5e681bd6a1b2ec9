#include "ui/widgets/AreaChartView.h"

#include "reports/AreaChartData.h"
#include "reports/ChartScale.h"
#include "reports/SmoothCurve.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QFontMetrics>
#include <QLineSeries>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QScatterSeries>
#include <QToolTip>
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
    m_titleFont = titleFont;
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

    connect(m_points, &QScatterSeries::hovered, this, &AreaChartView::pointHovered);

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
    m_labels.clear();
    m_values.clear();
    for (const AreaChartData::Point &point : data.points) {
        m_labels << point.label;
        m_values.push_back(point.value);
    }
    pointHovered({}, false);

    fitTitle();
    setCategoryLabels();
    const ChartScale scale = ChartScale::fitting(data.largestValue());
    m_valueAxis->setTickCount(scale.tickCount);
    m_valueAxis->setRange(0, double(scale.maximum));

    m_noData = data.points.empty();
    viewport()->update();
}

QString AreaChartView::pointHint(int index) const
{
    if (index < 0 || index >= int(m_values.size()))
        return {};
    return m_labels[index] + QStringLiteral(": ") + QString::number(m_values[size_t(index)]);
}

void AreaChartView::pointHovered(const QPointF &point, bool onPoint)
{
    // The points sit at x = 0, 1, 2 ... in the order of the values.
    const QString hint = onPoint ? pointHint(qRound(point.x())) : QString();
    setToolTip(hint);
    if (hint.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), hint, this);
}

void AreaChartView::setCategoryLabels()
{
    for (const QString &label : m_categoryAxis->categoriesLabels())
        m_categoryAxis->remove(label);
    const int count = int(m_labels.size());
    m_categoryAxis->setStartValue(-1);
    // Half a step of room before the first point and after the last, so
    // that a label on either of them is not cut off by the frame; a lone
    // point sits in the middle of the axis.
    if (count <= 1)
        m_categoryAxis->setRange(-1, 1);
    else
        m_categoryAxis->setRange(-0.5, count - 0.5);
    QStringList used;
    for (const int index : ChartScale::labelledPoints(count, labelsThatFit())) {
        const QString &label = m_labels[index];
        if (!used.contains(label)) { // the axis takes each label once
            m_categoryAxis->append(label, index);
            used << label;
        }
    }
}

int AreaChartView::labelsThatFit() const
{
    if (m_labels.isEmpty() || width() <= 0)
        return CategoryLabels;
    const QFontMetrics metrics(m_categoryAxis->labelsFont());
    int widest = 0;
    for (const QString &label : m_labels)
        widest = std::max(widest, metrics.horizontalAdvance(label));
    // The plot is the chart less the value axis and the margins.
    constexpr int ValueAxisRoom = 70;
    constexpr int LabelGap = 16;
    const int room = std::max(width() - ValueAxisRoom, 0);
    return std::clamp(room / (widest + LabelGap), 1, CategoryLabels);
}

void AreaChartView::fitTitle()
{
    constexpr qreal SmallestTitle = 7;
    // The chart's margins and the frame of its plot.
    constexpr int TitleMargins = 56;
    QFont font = m_titleFont;
    const QString title = chart()->title();
    while (font.pointSizeF() > SmallestTitle && QFontMetrics(font).horizontalAdvance(title) > width() - TitleMargins)
        font.setPointSizeF(std::max(font.pointSizeF() - 0.5, SmallestTitle));
    chart()->setTitleFont(font);
}

void AreaChartView::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    fitTitle();
    setCategoryLabels();
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
