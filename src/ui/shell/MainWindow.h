#pragma once

#include <QMainWindow>

#include <functional>
#include <optional>

class QAbstractItemModel;
class QAction;
class QMenu;
class QProgressBar;
class QTabWidget;
class QTableView;

namespace veltrano {

class NewsBrowser;
class SettingsPage;
class StatsChartView;
class UrlsPage;

// The main window "Veltrano" (fmMain): the "URLs List" and " Settings "
// pages under pcPages, the report tables' popup menu, and the keys of the
// window. It holds widgets only; the Workbench that built it wires them to
// the program.
//
// Widgets carry the names the rest of the program knows them by as their
// objectName (pcPages, ListView4, btRunRequests, ...).
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int InitialWidth = 1287;
    static constexpr int InitialHeight = 750;

    // Takes the two pages over.
    MainWindow(UrlsPage *urls, SettingsPage *settings, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The program version, four numbers joined by ".".
    static QString exeVersion();

    UrlsPage *urlsPage() const { return m_urls; }
    SettingsPage *settingsPage() const { return m_settings; }
    QTabWidget *pages() const { return m_pageControl; }

    // The report table of a tab of the "URLs List" page (ListView4 ... in tab
    // order); nullptr for any other number.
    QTableView *reportView(int tab) const;
    // Puts a report model under the view of a tab and lays out its columns.
    void setReportModel(int tab, QAbstractItemModel *model);
    QProgressBar *runProgressBar() const;
    StatsChartView *statsChartView() const;
    NewsBrowser *newsBrowser() const;

    // pmURLs on every report table, with "Paste from Clipboard" and "Delete";
    // services add their own commands after a separator.
    QMenu *urlsMenu() const { return m_urlsMenu; }
    QAction *pasteAction() const { return m_pasteAction; }
    QAction *deleteAction() const { return m_deleteAction; }
    // PopupMenu1: the checks of a report tab with more than one, offered by
    // "Check URL"; services with several checks add their items.
    QMenu *checkMenu() const { return m_checkMenu; }

    // First page and first tabs, as at the first showing.
    void selectFirstPage();

    // Puts the window where it was when it last closed: geometry (without
    // the frame) when it shows enough of the window on one of the screens
    // for the user to reach its title bar, else the centred 1287x750 of a
    // first start; maximized on top. False when geometry was refused.
    bool restorePlacement(const std::optional<QRect> &geometry, bool maximized);

    // Asked before the window closes; false keeps it open (the user chose
    // to let a running check go on).
    void setCloseGuard(std::function<bool()> mayClose) { m_mayClose = std::move(mayClose); }

Q_SIGNALS:
    // The window is shown for the first time.
    void firstShown();
    // The window is closing (once). Parts that run until the end, such as
    // the sign-in listener, stop here.
    void closing();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Enter runs "Check URL" and Escape presses "Cancel" while they can be
    // used, unless the focused control takes the key itself.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildPopupMenus();
    void centreOnScreen();

    UrlsPage *m_urls = nullptr;
    SettingsPage *m_settings = nullptr;
    QTabWidget *m_pageControl = nullptr;
    QMenu *m_urlsMenu = nullptr;
    QAction *m_pasteAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QMenu *m_checkMenu = nullptr;
    std::function<bool()> m_mayClose;
    bool m_shownOnce = false;
    bool m_closed = false;
};

} // namespace veltrano
