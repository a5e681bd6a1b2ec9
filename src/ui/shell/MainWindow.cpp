#include "ui/shell/MainWindow.h"

#include "reports/ReportLayout.h"
#include "ui/reports/StatsChartView.h"
#include "ui/shell/SettingsPage.h"
#include "ui/shell/UrlsPage.h"
#include "ui/widgets/WidgetFactory.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>

namespace veltrano {

using namespace widgets;

MainWindow::MainWindow(UrlsPage *urls, SettingsPage *settings, QWidget *parent)
    : QMainWindow(parent), m_urls(urls), m_settings(settings)
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Veltrano"));

    m_pageControl = named(new QTabWidget, "pcPages");
    m_pageControl->addTab(m_urls, QStringLiteral("URLs List"));
    m_pageControl->addTab(m_settings, QStringLiteral(" Settings "));
    setCentralWidget(m_pageControl);
    buildPopupMenus();

    resize(InitialWidth, InitialHeight);
    centreOnScreen();
}

MainWindow::~MainWindow() = default;

QString MainWindow::exeVersion()
{
    return QStringLiteral(VELTRANO_VERSION);
}

QTableView *MainWindow::reportView(int tab) const
{
    const auto &views = m_urls->reportViews();
    if (tab < 0 || tab >= int(views.size()))
        return nullptr;
    return views[size_t(tab)];
}

void MainWindow::setReportModel(int tab, QAbstractItemModel *model)
{
    QTableView *view = reportView(tab);
    const ReportLayout *layout = ReportLayout::ofTab(tab);
    if (!view || !layout)
        return;
    view->setModel(model);
    const auto &columns = layout->columns();
    for (int c = 0; c < int(columns.size()); ++c)
        view->setColumnWidth(c, columns[size_t(c)].width);
}

QProgressBar *MainWindow::runProgressBar() const
{
    return m_urls->progressBar();
}

StatsChartView *MainWindow::statsChartView() const
{
    return m_urls->statsChart();
}

NewsBrowser *MainWindow::newsBrowser() const
{
    return m_urls->news();
}

void MainWindow::centreOnScreen()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
}

bool MainWindow::restorePlacement(const std::optional<QRect> &geometry, bool maximized)
{
    bool reachable = false;
    if (geometry) {
        // At least a strip of the window, its top edge included, on one screen.
        constexpr int LeastWidth = 100;
        constexpr int LeastHeight = 50;
        for (const QScreen *screen : QGuiApplication::screens()) {
            const QRect available = screen->availableGeometry();
            const QRect common = available.intersected(*geometry);
            if (common.width() >= LeastWidth && common.height() >= LeastHeight && common.top() == geometry->top()) {
                reachable = true;
                break;
            }
        }
    }
    if (reachable) {
        setGeometry(*geometry);
    } else {
        resize(InitialWidth, InitialHeight);
        centreOnScreen();
    }
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    return reachable;
}

void MainWindow::buildPopupMenus()
{
    // On the report tables.
    m_urlsMenu = named(new QMenu(this), "pmURLs");
    m_pasteAction = menuItem(m_urlsMenu, QStringLiteral("Paste from Clipboard"), "miPaste4Clipboard");
    m_pasteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m_deleteAction = menuItem(m_urlsMenu, QStringLiteral("Delete"), "miDeleteURL");
    m_deleteAction->setShortcut(QKeySequence(Qt::Key_Delete));
    m_urlsMenu->addSeparator();
    for (QTableView *view : m_urls->reportViews()) {
        // The shortcuts act on the table that has the focus.
        for (QAction *action : {m_pasteAction, m_deleteAction}) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            view->addAction(action);
        }
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &pos) { m_urlsMenu->popup(view->viewport()->mapToGlobal(pos)); });
    }

    m_checkMenu = named(new QMenu(this), "PopupMenu1");
}

void MainWindow::selectFirstPage()
{
    // Choosing them here is not a user's tab change: no tab handler runs.
    {
        const QSignalBlocker pages(m_pageControl);
        m_pageControl->setCurrentIndex(0);
    }
    m_urls->showFirstTime();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    Q_EMIT firstShown();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closed && m_mayClose && !m_mayClose()) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        Q_EMIT closing();
    }
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QPushButton *target = nullptr;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Enter on a focused push button clicks that button; elsewhere it
        // is "Check URL".
        auto *focused = qobject_cast<QPushButton *>(QApplication::focusWidget());
        target = focused && focused->window() == this ? focused : m_urls->runButton();
    } else if (plain && event->key() == Qt::Key_Escape)
        target = m_urls->cancelButton();
    if (target && target->isVisible() && target->isEnabled()) {
        target->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace veltrano
