#include "ui/YandexKeywordsWindow.h"

#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/AreaChartData.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "ui/AreaChartView.h"
#include "ui/FileDialogs.h"
#include "ui/HandlerGuard.h"

#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace veltrano {

namespace {

constexpr int QueryColumns = 6;
constexpr int FirstNumberColumn = 2; // the four indicators are right-aligned
constexpr int ChartHeight = 250;
constexpr int ColumnPadding = 20;

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
    m_trendsAction = m_menu->addAction(AreaChartView::trendsIcon(), QStringLiteral("Get keyword trends"));
    m_trendsAction->setObjectName(QStringLiteral("Getkewordtrend1"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_menu->popup(m_list->viewport()->mapToGlobal(pos)); });
    connect(m_trendsAction, &QAction::triggered, this, [this] { runGuarded([this] { showSelectedQueryHistory(); }); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this] { runGuarded([this] { showSelectedQueryHistory(); }); });

    m_chartView = new AreaChartView(QStringLiteral("Yandex Trends"), this);
    m_chartView->setObjectName(QStringLiteral("Chart1"));
    m_chartView->setFixedHeight(ChartHeight);
    m_chartView->areaSeries()->setName(QStringLiteral("TOTAL_SHOWS"));
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

void YandexKeywordsWindow::showHistory(const YandexQueryHistory &history)
{
    AreaChartData data;
    data.title = history.title;
    data.points.reserve(history.points.size());
    for (const YandexQueryHistory::Point &point : history.points)
        data.points.push_back({point.day, point.value});
    m_chartView->showData(data);
}

QAreaSeries *YandexKeywordsWindow::areaSeries() const
{
    return m_chartView->areaSeries();
}

QScatterSeries *YandexKeywordsWindow::pointSeries() const
{
    return m_chartView->pointSeries();
}

QCategoryAxis *YandexKeywordsWindow::dayAxis() const
{
    return m_chartView->categoryAxis();
}

QValueAxis *YandexKeywordsWindow::showsAxis() const
{
    return m_chartView->valueAxis();
}

} // namespace veltrano
