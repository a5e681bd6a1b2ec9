#pragma once

// The real main window as the end-to-end tests drive it: a settings folder of
// its own and stand-ins for the desktop (message boxes, browser, clipboard,
// file dialogs) that record what the window asked of them. A test's fixture
// derives from MainWindowHarness, sets up its simulator and its stored
// tokens, then opens the window.

#include "app/UiPorts.h"
#include "support/RecordingPorts.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/GuiEventPump.h"
#include "ui/reports/StatsChartView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QMenu>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <memory>

namespace veltrano::testing {

// The clipboard of the "URLs List" page: holds text when value is not empty.
struct TestClipboard final : ClipboardText {
    QString value;
    bool hasText() const override { return !value.isEmpty(); }
    QString text() const override { return value; }
};

// The open and save dialogs: every call, and the answers the test chose
// (empty: the user cancelled).
struct ScriptedDialogs final : FileDialogs {
    struct Call {
        QString folder;
        QString name;
        QString filter;
    };
    QString openAnswer;
    QString saveAnswer;
    QList<Call> opens;
    QList<Call> saves;
    QString openFileName(const QString &folder, const QString &filter) override
    {
        opens.append({folder, {}, filter});
        return openAnswer;
    }
    QString saveFileName(const QString &folder, const QString &name, const QString &filter) override
    {
        saves.append({folder, name, filter});
        return saveAnswer;
    }
    QStringList proposedNames() const
    {
        QStringList names;
        for (const Call &call : saves)
            names << call.name;
        return names;
    }
};

// The window's own event pump, counting the steps of a loop; onCall runs at
// each step before the events, so a test can act at a chosen row.
struct CountingPump final : HookedEvents {
    GuiEventPump gui;
    void processPendingEvents() override
    {
        HookedEvents::processPendingEvents();
        gui.processPendingEvents();
    }
    void keepPainting() override { gui.keepPainting(); }
};

// Options of a window that never reaches the network for its news panel.
inline MainWindowOptions quietWindowOptions(const QString &appFolder)
{
    MainWindowOptions options;
    options.appFolder = appFolder;
    options.newsFetcher = [](const QString &, const std::atomic<bool> &) { return QByteArray(); };
    return options;
}

// The texts of a list's rows, the first columns of each.
inline QList<QStringList> treeRows(const QTreeWidget *tree, int columns = 2)
{
    QList<QStringList> rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QStringList row;
        for (int c = 0; c < columns; ++c)
            row << tree->topLevelItem(i)->text(c);
        rows << row;
    }
    return rows;
}

class MainWindowHarness {
public:
    QTemporaryDir dir;
    RecordingPrompt prompt;
    RecordingBrowser browser;
    TestClipboard clipboard;
    ScriptedDialogs dialogs;
    std::unique_ptr<Workbench> app;
    MainWindow *window = nullptr;

    QString folder() const { return dir.path() + QLatin1Char('/'); }

    // The settings folder, the stand-ins and the quiet news panel; a test
    // adds what else it needs (a clock, a pump) before opening.
    MainWindowOptions windowOptions()
    {
        MainWindowOptions options = quietWindowOptions(folder());
        options.prompt = &prompt;
        options.browser = &browser;
        options.fileDialogs = &dialogs;
        options.clipboard = &clipboard;
        return options;
    }
    // The first wait before a failed request is tried again; none unless a
    // test asks for one, so that a failing service costs the tests no time.
    std::chrono::milliseconds retryFirstDelay{0};
    void open(const Endpoints &endpoints, const MainWindowOptions &options)
    {
        Endpoints used = endpoints;
        used.retryFirstDelay = retryFirstDelay;
        app = std::make_unique<Workbench>(used, options);
        window = &app->window();
        window->show();
    }
    void open(const Endpoints &endpoints) { open(endpoints, windowOptions()); }

    template <typename T = QWidget> T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QPushButton *button(const char *name) const { return find<QPushButton>(name); }
    QStringList log() const { return app->activityLog().messagesInOrder(); }
    // The statistics chart's slices as the legend names them.
    QStringList pieLabels() const
    {
        QStringList labels;
        for (QPieSlice *slice : window->statsChartView()->series()->slices())
            labels << slice->label();
        return labels;
    }

    // A service's tab of the Settings page on screen (0 Yandex Webmaster ...
    // 4 Ahrefs).
    void showSettings(int serviceTab) const
    {
        find<QTabWidget>("pcPages")->setCurrentIndex(1);
        find<QTabWidget>("pcAnalyticSystems")->setCurrentIndex(serviceTab);
    }
    // A service's report on the "URLs List" page on screen.
    void showReport(int serviceTab) const
    {
        find<QTabWidget>("pcPages")->setCurrentIndex(0);
        find<QTabWidget>("pcReportsURLs")->setCurrentIndex(serviceTab);
    }
    // "Check URL" on a report whose tab has several checks, then the item of
    // the check menu that names the check.
    void runCheckFromMenu(const QString &item) const
    {
        QTimer picker;
        picker.setInterval(10);
        QObject::connect(&picker, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu || menu->objectName() != QLatin1String("PopupMenu1"))
                return;
            picker.stop();
            for (QAction *action : menu->actions()) {
                if (action->text() == item && action->isEnabled() && action->isVisible())
                    menu->setActiveAction(action);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        picker.start();
        button("btRunRequests")->click();
    }

    // "Paste from Clipboard" into a service's report, one address a line.
    void pasteUrls(int serviceTab, const QStringList &urls)
    {
        showReport(serviceTab);
        clipboard.value = urls.join(QStringLiteral("\r\n"));
        button("btInsertURLs4Clip")->click();
    }
};

} // namespace veltrano::testing
