#include "ui/widgets/KeywordListWindow.h"

#include "ui/desktop/WaitCursor.h"

#include "app/VeltranoError.h"
#include "reports/AtomicCsvFile.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WindowPlacement.h"
#include "ui/widgets/AreaChartView.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace veltrano {

namespace {

// Room beside the widest text of a column that fits its texts, and the
// least beside the caption of a column laid out at a fixed width.
constexpr int ColumnPadding = 20;
constexpr int CaptionMargins = 12;
constexpr int ExportButtonWidth = 200;

} // namespace

KeywordListWindow::KeywordListWindow(const Layout &layout, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_proposedExportName(layout.proposedExportName)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.title);
    setFixedSize(layout.clientSize);
    setModal(true);

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 6, 6, 6);
    rows->setSpacing(6);

    m_table = new KeywordTable(layout.columns, this);
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("ListView6"));
    m_list->setModel(m_table);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true); // lists of many thousand queries scroll at once
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSortingEnabled(false);
    sizeColumns();
    rows->addWidget(m_list, 1);

    if (!layout.chartTitle.isEmpty()) {
        m_menu = new QMenu(this);
        m_menu->setObjectName(QStringLiteral("PopupMenu1"));
        m_trendsAction = m_menu->addAction(AreaChartView::trendsIcon(), QStringLiteral("Get keyword trends"));
        m_trendsAction->setObjectName(QStringLiteral("Getkewordtrend1"));
        m_list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_list, &QWidget::customContextMenuRequested, this,
                [this](const QPoint &pos) { m_menu->popup(m_list->viewport()->mapToGlobal(pos)); });
        connect(m_trendsAction, &QAction::triggered, this,
                [this] { runGuarded([this] { showSelectedQueryChart(); }); });
        connect(m_list, &QAbstractItemView::doubleClicked, this,
                [this] { runGuarded([this] { showSelectedQueryChart(); }); });

        m_chart = new AreaChartView(layout.chartTitle, this);
        m_chart->setObjectName(QStringLiteral("Chart1"));
        m_chart->setFixedHeight(ChartHeight);
        rows->addWidget(m_chart);
    }

    m_exportButton = new QPushButton(QStringLiteral("Export to Excel"), this);
    m_exportButton->setObjectName(QStringLiteral("Button1"));
    m_exportButton->setAutoDefault(false);
    connect(m_exportButton, &QPushButton::clicked, this, [this] { runGuarded([this] { exportToCsv(); }); });
    if (layout.fullWidthExportButton) {
        rows->addWidget(m_exportButton);
    } else {
        auto *buttons = new QHBoxLayout;
        buttons->addStretch(1);
        m_exportButton->setMinimumWidth(ExportButtonWidth);
        buttons->addWidget(m_exportButton);
        rows->addLayout(buttons);
    }
}

void KeywordListWindow::sizeColumns()
{
    QHeaderView *header = m_list->header();
    header->setStretchLastSection(false);
    header->setTextElideMode(Qt::ElideRight);
    const QFontMetrics metrics = header->fontMetrics();
    const std::vector<KeywordColumn> &columns = m_table->columns();
    for (int c = 0; c < int(columns.size()); ++c) {
        const KeywordColumn &column = columns[size_t(c)];
        switch (column.width) {
        case KeywordColumn::Width::Stretch:
            header->setSectionResizeMode(c, QHeaderView::Stretch);
            break;
        case KeywordColumn::Width::Fixed:
            // As laid out, unless this desktop's font needs more for the
            // caption to be read whole.
            m_list->setColumnWidth(c,
                                   std::max(column.pixels, metrics.horizontalAdvance(column.caption) + CaptionMargins));
            break;
        case KeywordColumn::Width::FitText:
            m_list->setColumnWidth(
                c, std::max(metrics.horizontalAdvance(column.caption), metrics.horizontalAdvance(column.widestText)) +
                       ColumnPadding);
            break;
        }
    }
}

void KeywordListWindow::runGuarded(const std::function<void()> &handler)
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

void KeywordListWindow::setRows(std::vector<QStringList> rows)
{
    m_table->setRows(std::move(rows));
    updateExportButton();
}

int KeywordListWindow::rowCount() const
{
    return m_table->rowCount();
}

QStringList KeywordListWindow::rowTexts(int row) const
{
    return m_table->rowTexts(row);
}

QString KeywordListWindow::exportCaption(int rows)
{
    return QStringLiteral("Export to Excel (%1 rows)").arg(rows);
}

void KeywordListWindow::updateExportButton()
{
    const int rows = rowCount();
    m_exportButton->setEnabled(rows > 0);
    m_exportButton->setText(exportCaption(rows));
}

void KeywordListWindow::showEvent(QShowEvent *event)
{
    updateExportButton();
    QDialog::showEvent(event);
}

int KeywordListWindow::showModally()
{
    if (QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        placeCentredOver(*this, *owner);
    return exec();
}

void KeywordListWindow::exportToCsv()
{
    if (!m_ports.files)
        return;
    const QString path =
        m_ports.files->saveFileName(m_ports.folder, m_proposedExportName, QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    AtomicCsvFile::write(path, [this](CsvWriter &csv) { m_table->writeCsv(csv); });
}

void KeywordListWindow::showSelectedQueryChart()
{
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (selected.isEmpty() || !m_chart || !m_ports.chart)
        return;
    const QStringList row = rowTexts(selected.first().row());

    std::optional<AreaChartData> data;
    {
        const WaitCursor wait;
        data = m_ports.chart(row);
    }
    if (!data)
        return; // no answer at all: the chart keeps what it shows
    m_chart->showData(*data);
    if (!data->error.isEmpty())
        throw VeltranoError(data->error);
}

} // namespace veltrano
