#include "ui/YandexKeywordsWindow.h"

#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/AtomicCsvFile.h"
#include "reports/ChartScale.h"
#include "reports/CsvWriter.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "ui/FileDialogs.h"
#include "ui/HandlerGuard.h"

#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace veltrano {

namespace {

const QColor AreaColour(93, 131, 176);
const QColor LineColour(69, 105, 147);
const QColor PointColour(0, 128, 0);

constexpr int QueryColumns = 6;
constexpr int FirstNumberColumn = 2; // the four indicators are right-aligned
constexpr int ChartHeight = 250;
constexpr int ColumnPadding = 20;
constexpr int DayLabels = 6;

// The trends icon of "Get keyword trends": a small rising curve.
QIcon trendsIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPolygonF area{{1, 15}, {1, 11}, {5, 8}, {9, 10}, {15, 3}, {15, 15}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(AreaColour);
    painter.drawPolygon(area);
    painter.setPen(QPen(LineColour, 1.5));
    painter.drawPolyline(QPolygonF{{1, 11}, {5, 8}, {9, 10}, {15, 3}});
    return QIcon(pixmap);
}

} // namespace

YandexKeywordsWindow::YandexKeywordsWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmKeywordsYa"));
    setWindowTitle(QStringLiteral("YWM Keywords"));
    setFixedSize(ClientWidth, ClientHeight);
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView6"));
    m_list->setColumnCount(QueryColumns);
    m_list->setHeaderLabels(YandexPopularQueries::columnCaptions());
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSortingEnabled(false);
    // The indicators and the id as wide as their captions and texts need;
    // the query takes the rest.
    const QFontMetrics metrics = m_list->header()->fontMetrics();
    const QStringList captions = YandexPopularQueries::columnCaptions();
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->setColumnWidth(1, std::max(metrics.horizontalAdvance(QStringLiteral("0000000000000000")),
                                       metrics.horizontalAdvance(captions[1])) +
                                  ColumnPadding);
    for (int c = FirstNumberColumn; c < QueryColumns; ++c) {
        m_list->setColumnWidth(c, metrics.horizontalAdvance(captions[c]) + ColumnPadding);
        m_list->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    layout->addWidget(m_list, 1);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    m_trendsAction = m_menu->addAction(trendsIcon(), QStringLiteral("Get keyword trends"));
    m_trendsAction->setObjectName(QStringLiteral("Getkewordtrend1"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_menu->popup(m_list->viewport()->mapToGlobal(pos)); });
    connect(m_trendsAction, &QAction::triggered, this, [this] { runGuarded([this] { showSelectedQueryHistory(); }); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this] { runGuarded([this] { showSelectedQueryHistory(); }); });

    buildChart();
    layout->addWidget(m_chartView);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_exportButton = new QPushButton(QStringLiteral("Export to Excel"), this);
    m_exportButton->setObjectName(QStringLiteral("Button1"));
    m_exportButton->setMinimumWidth(200);
    m_exportButton->setAutoDefault(false);
    connect(m_exportButton, &QPushButton::clicked, this, [this] { runGuarded([this] { exportToCsv(); }); });
    buttons->addWidget(m_exportButton);
    layout->addLayout(buttons);
}

void YandexKeywordsWindow::buildChart()
{
    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("Yandex Trends"));
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitleBrush(Qt::black);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(4, 2, 8, 2));

    // The shows as a filled area under their curve, each day's value marked
    // by a point of its own.
    m_line = new QLineSeries(chart);
    m_area = new QAreaSeries(m_line);
    m_area->setName(QStringLiteral("TOTAL_SHOWS"));
    m_area->setBrush(AreaColour);
    m_area->setPen(QPen(LineColour, 2));
    chart->addSeries(m_area);
    m_points = new QScatterSeries;
    m_points->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    m_points->setMarkerSize(4);
    m_points->setColor(PointColour);
    m_points->setBorderColor(PointColour);
    chart->addSeries(m_points);

    m_dayAxis = new QCategoryAxis;
    m_dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_dayAxis->setGridLineVisible(false);
    m_dayAxis->setRange(0, 1);
    chart->addAxis(m_dayAxis, Qt::AlignBottom);
    m_showsAxis = new QValueAxis;
    m_showsAxis->setLabelFormat(QStringLiteral("%i"));
    const ChartScale scale = ChartScale::fitting(0);
    m_showsAxis->setTickCount(scale.tickCount);
    m_showsAxis->setRange(0, double(scale.maximum));
    chart->addAxis(m_showsAxis, Qt::AlignLeft);
    for (QAbstractSeries *series : {static_cast<QAbstractSeries *>(m_area), static_cast<QAbstractSeries *>(m_points)}) {
        series->attachAxis(m_dayAxis);
        series->attachAxis(m_showsAxis);
    }

    m_chartView = new QChartView(chart, this);
    m_chartView->setObjectName(QStringLiteral("Chart1"));
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->setRubberBand(QChartView::NoRubberBand);
    m_chartView->setFixedHeight(ChartHeight);
}

void YandexKeywordsWindow::runGuarded(const std::function<void()> &handler)
{
    if (m_ports.prompt) {
        runHandler(*m_ports.prompt, handler);
        return;
    }
    try {
        handler();
    } catch (const VeltranoError &) {
        // Without a prompt there is nobody to tell; the handler just ends.
    }
}

void YandexKeywordsWindow::setQueries(const std::vector<QStringList> &rows)
{
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(rows.size()));
    for (const QStringList &row : rows) {
        auto *item = new QTreeWidgetItem(row);
        for (int c = FirstNumberColumn; c < QueryColumns; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    m_list->addTopLevelItems(items);
    m_list->setUpdatesEnabled(true);
}

int YandexKeywordsWindow::rowCount() const
{
    return m_list->topLevelItemCount();
}

QStringList YandexKeywordsWindow::rowTexts(int row) const
{
    QStringList texts;
    if (const QTreeWidgetItem *item = m_list->topLevelItem(row)) {
        for (int c = 0; c < QueryColumns; ++c)
            texts << item->text(c);
    }
    return texts;
}

void YandexKeywordsWindow::showEvent(QShowEvent *event)
{
    const int rows = rowCount();
    m_exportButton->setEnabled(rows > 0);
    m_exportButton->setText(QStringLiteral("Export to Excel (%1 rows)").arg(rows));
    QDialog::showEvent(event);
}

int YandexKeywordsWindow::showModally()
{
    // Centred over the main window, wherever that is now.
    if (QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr) {
        QRect area =
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(), owner->frameGeometry());
        if (QScreen *screen = owner->screen()) {
            // Never partly off the screen the main window is on.
            const QRect available = screen->availableGeometry();
            area.moveLeft(std::clamp(area.left(), available.left(),
                                     std::max(available.left(), available.right() - area.width() + 1)));
            area.moveTop(std::clamp(area.top(), available.top(),
                                    std::max(available.top(), available.bottom() - area.height() + 1)));
        }
        move(area.topLeft());
    }
    return exec();
}

namespace {

// The captions, each followed by ";", then one line per row.
void writeQueryLines(CsvWriter &csv, const std::vector<QStringList> &rows)
{
    QStringList header = YandexPopularQueries::columnCaptions();
    header << QString(); // every caption is followed by ";"
    csv.writeRow(header);
    for (const QStringList &row : rows) {
        if (!csv.ok())
            break;
        csv.writeRow(row);
    }
}

} // namespace

bool YandexKeywordsWindow::writeCsv(QIODevice &device, const std::vector<QStringList> &rows)
{
    CsvWriter csv(device);
    writeQueryLines(csv, rows);
    return csv.ok();
}

void YandexKeywordsWindow::exportToCsv()
{
    if (!m_ports.files)
        return;
    const QString path = m_ports.files->saveFileName(m_ports.folder, QString::fromLatin1(ProposedExportName),
                                                     QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    std::vector<QStringList> rows;
    rows.reserve(size_t(rowCount()));
    for (int r = 0; r < rowCount(); ++r)
        rows.push_back(rowTexts(r));
    AtomicCsvFile::write(path, [&rows](CsvWriter &csv) { writeQueryLines(csv, rows); });
}

void YandexKeywordsWindow::showSelectedQueryHistory()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty() || !m_ports.history)
        return;
    const QString queryText = selected.first()->text(0);
    const QString queryId = selected.first()->text(1);

    std::optional<YandexQueryHistory> history;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restore;
        history = m_ports.history(queryText, queryId);
    }
    if (!history)
        return; // no answer at all: the chart keeps what it shows
    showHistory(*history);
    if (!history->error.isEmpty())
        throw VeltranoError(history->error);
}

void YandexKeywordsWindow::setDayLabels(const std::vector<YandexQueryHistory::Point> &points)
{
    for (const QString &label : m_dayAxis->categoriesLabels())
        m_dayAxis->remove(label);
    const int count = int(points.size());
    m_dayAxis->setStartValue(-1);
    if (count <= 1)
        m_dayAxis->setRange(-1, 1);
    else
        m_dayAxis->setRange(0, count - 1);
    QStringList used;
    for (const int index : ChartScale::labelledPoints(count, DayLabels)) {
        const QString &day = points[size_t(index)].day;
        if (!used.contains(day)) { // the axis takes each label once
            m_dayAxis->append(day, index);
            used << day;
        }
    }
}

void YandexKeywordsWindow::showHistory(const YandexQueryHistory &history)
{
    QChart *chart = m_chartView->chart();
    chart->setTitle(history.title);

    QList<QPointF> curve;
    curve.reserve(qsizetype(history.points.size()));
    for (size_t i = 0; i < history.points.size(); ++i)
        curve << QPointF(double(i), double(history.points[i].value));
    m_line->replace(curve);
    m_points->replace(curve);
    m_area->setBrush(AreaColour);
    m_area->setPen(QPen(LineColour, 2));
    m_points->setColor(PointColour);
    m_points->setBorderColor(PointColour);

    setDayLabels(history.points);
    const ChartScale scale = ChartScale::fitting(history.maximum);
    m_showsAxis->setTickCount(scale.tickCount);
    m_showsAxis->setRange(0, double(scale.maximum));
    m_chartView->update();
}

} // namespace veltrano
