#include "ui/reports/StatsChartView.h"

#include "ui/widgets/AreaChartView.h"

#include "reports/StatsChartData.h"

#include <QChart>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>

namespace veltrano {

namespace {

const QColor SliceGreen(0x0C, 0xCF, 0x6D);
const QColor SliceRed(0xF8, 0x50, 0x40);
// Room the two legend lines take under the pie.
constexpr int LegendHeight = 64;
// What a legend line takes besides its text (the colour swatch, the gaps
// and the legend's own margins), and the smallest text it shrinks to.
constexpr int LegendLineChrome = 56;
constexpr int MinimumLegendPixelSize = 8;

} // namespace

StatsChartView::StatsChartView(QWidget *parent) : QChartView(parent)
{
    m_series = new QPieSeries;
    m_series->setObjectName(QStringLiteral("Series1"));
    m_series->setPieSize(0.85);
    // Repaint the empty disc when the counts come and go.
    connect(m_series, &QPieSeries::sumChanged, this, [this] { viewport()->update(); });
    const std::pair<QString, QColor> slices[] = {{QStringLiteral("Indexed (0%)"), SliceGreen},
                                                 {QStringLiteral("Not indexed (0%)"), SliceRed}};
    for (const auto &[caption, colour] : slices) {
        QPieSlice *slice = m_series->append(caption, 0);
        slice->setColor(colour);
        slice->setPen(Qt::NoPen);
        slice->setLabelVisible(false);
    }

    auto *chart = new QChart;
    chart->addSeries(m_series);
    chart->setTitle(QStringLiteral("URL Indexation Stats"));
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitleBrush(Qt::black);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setBackgroundBrush(Qt::white);
    chart->setAnimationOptions(QChart::NoAnimation);

    QLegend *legend = chart->legend();
    legend->setAlignment(Qt::AlignLeft); // one entry per line
    legend->setShowToolTips(true);
    legend->detachFromChart();
    legend->setBackgroundVisible(false);
    legend->setContentsMargins(0, 0, 0, 0);
    m_legendFont = legend->font();

    // The view gives up the chart it made for itself without deleting it.
    QChart *own = this->chart();
    setChart(chart);
    delete own;
    setFrameShape(QFrame::NoFrame);
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::NoRubberBand);
    setBackgroundBrush(Qt::white);
}

StatsChartView::~StatsChartView()
{
    // The chart goes with the base class; its slices must not call back
    // into this part of the view, which is gone by then.
    disconnect(m_series, nullptr, this, nullptr);
}

void StatsChartView::showStats(const QString &title, const StatsChartData &data)
{
    chart()->setTitle(title);
    const QList<QPieSlice *> slices = m_series->slices();
    for (int i = 0; i < int(data.values.size()) && i < slices.size(); ++i) {
        slices[i]->setValue(data.values[size_t(i)]);
        slices[i]->setLabel(data.labels[size_t(i)]);
    }
    fitLegendFont();
    viewport()->update();
}

void StatsChartView::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    placeLegend();
}

void StatsChartView::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    if (m_series->sum() > 0)
        return;
    const QRectF plot = chart()->plotArea();
    const qreal diameter = qMin(plot.width(), plot.height()) * m_series->pieSize();
    QRectF disc(0, 0, diameter, diameter);
    disc.moveCenter(QPointF(plot.left() + plot.width() * m_series->horizontalPosition(),
                            plot.top() + plot.height() * m_series->verticalPosition()));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 1));
    painter->setBrush(QColor(0xF4, 0xF4, 0xF4));
    painter->drawEllipse(disc);
    // No row of the table has an answer yet: the disc says so.
    painter->setPen(QColor(0x80, 0x80, 0x80));
    painter->drawText(disc, Qt::AlignCenter, AreaChartView::noDataText());
    painter->restore();
}

void StatsChartView::placeLegend()
{
    // The pie takes the room above the legend, the legend the bottom lines.
    const QRectF area = chart()->geometry();
    chart()->setMargins(QMargins(0, 0, 0, LegendHeight));
    chart()->legend()->setGeometry(
        QRectF(area.left() + 4, area.bottom() - LegendHeight, area.width() - 8, LegendHeight - 2));
    fitLegendFont();
    chart()->legend()->update();
}

void StatsChartView::fitLegendFont()
{
    const QRectF area = chart()->legend()->geometry();
    const int available = int(area.width()) - LegendLineChrome;
    if (available <= 0)
        return;
    QFont font = m_legendFont;
    int pixels = QFontInfo(font).pixelSize();
    font.setPixelSize(pixels);
    const auto widest = [&] {
        int width = 0;
        const QFontMetrics metrics(font);
        for (const QPieSlice *slice : m_series->slices())
            width = std::max(width, metrics.horizontalAdvance(slice->label()));
        return width;
    };
    while (pixels > MinimumLegendPixelSize && widest() > available)
        font.setPixelSize(--pixels);
    if (chart()->legend()->font() != font)
        chart()->legend()->setFont(font);
}

} // namespace veltrano
