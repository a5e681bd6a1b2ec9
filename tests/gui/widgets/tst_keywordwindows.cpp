// The three query windows, headless, on the piece they share: each lays out
// its own columns and captions, counts its rows on the export button,
// exports the list as it stands, opens centred over its owner, and (where it
// has a chart) asks its owner for the chart of the selected query.

#include "app/UiPorts.h"
#include "reports/AreaChartData.h"
#include "support/GuiTestSupport.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/services/search_console/SearchConsoleKeywordsWindow.h"
#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"
#include "ui/services/yandex_webmaster/YandexWebmasterKeywordsWindow.h"
#include "ui/widgets/AreaChartView.h"
#include "ui/widgets/KeywordListWindow.h"

#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QFile>
#include <QHeaderView>
#include <QLineSeries>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QValueAxis>

#include <functional>
#include <memory>
#include <optional>

using namespace veltrano;
using namespace veltrano::testing;

namespace {

struct RecordingPrompt final : MessagePrompt {
    QStringList texts;
    void show(Icon, const QString &, const QString &text) override { texts << text; }
    bool ask(const QString &, const QString &text) override
    {
        texts << text;
        return false;
    }
};

// Save-dialog answers given in advance; an empty answer is a cancelled dialog.
struct ScriptedDialogs final : FileDialogs {
    QString saveAnswer;
    QStringList proposedNames;
    QStringList folders;
    QStringList filters;
    QString openFileName(const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &folder, const QString &name, const QString &filter) override
    {
        folders << folder;
        proposedNames << name;
        filters << filter;
        return saveAnswer;
    }
};

enum class Window { SearchConsole, YandexWebmaster, YandexMetrika };

std::unique_ptr<KeywordListWindow> makeWindow(Window window, QWidget *owner)
{
    switch (window) {
    case Window::SearchConsole:
        return std::make_unique<SearchConsoleKeywordsWindow>(owner);
    case Window::YandexWebmaster:
        return std::make_unique<YandexWebmasterKeywordsWindow>(owner);
    case Window::YandexMetrika:
        return std::make_unique<YandexMetrikaKeywordsWindow>(owner);
    }
    return nullptr;
}

QStringList headerCaptions(const QTreeView *list)
{
    QStringList captions;
    for (int c = 0; c < list->model()->columnCount(); ++c)
        captions << list->model()->headerData(c, Qt::Horizontal).toString();
    return captions;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

AreaChartData weeks(const QString &title, const QList<qint64> &values, const QString &error = {})
{
    AreaChartData data;
    data.title = title;
    data.error = error;
    for (qsizetype i = 0; i < values.size(); ++i)
        data.points.push_back({QStringLiteral("2024-01-%1").arg(i + 1, 2, 10, QLatin1Char('0')), values[i]});
    return data;
}

} // namespace

Q_DECLARE_METATYPE(Window)

class TestKeywordWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachWindowLaysOutItsColumns_data();
    void eachWindowLaysOutItsColumns();
    void exportWritesTheListAsItStands_data();
    void exportWritesTheListAsItStands();
    void exportButtonCountsTheRows();
    void opensCentredOverItsOwner_data();
    void opensCentredOverItsOwner();
    void chartOfTheSelectedQuery_data();
    void chartOfTheSelectedQuery();
    void noChartWithoutASelectedQuery();
};

void TestKeywordWindows::eachWindowLaysOutItsColumns_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<bool>>("rightAligned");
    QTest::addColumn<QList<int>>("widths");  // empty: one column stretches over what the others leave
    QTest::addColumn<QString>("chartTitle"); // empty: no chart, no trends action

    QTest::newRow("Search Console") << Window::SearchConsole << "frmKeywords"
                                    << "GSC Keywords / Google Trends" << QSize(860, 560)
                                    << QStringList{"Query", "URL", "Clicks", "Impressions", "CTR", "Avg Position"}
                                    << QList<bool>{false, false, true, true, true, true} << QList<int>{}
                                    << "Google Trends";
    QTest::newRow("Yandex Webmaster")
        << Window::YandexWebmaster << "frmKeywordsYa"
        << "YWM Keywords" << QSize(860, 560)
        << QStringList{"Query", "ID", "TOTAL SHOWS", "TOTAL CLICKS", "AVG SHOW POSITION", "AVG CLICK POSITION"}
        << QList<bool>{false, false, true, true, true, true} << QList<int>{} << "Yandex Trends";
    QTest::newRow("Yandex Metrika") << Window::YandexMetrika << "frmKeywordsYaMetr"
                                    << "YMetrika Keywords" << QSize(689, 313)
                                    << QStringList{"Query",       "Visits",     "Users",
                                                   "Bounce Rate", "Page Depth", "Avg Visit Duration Seconds"}
                                    << QList<bool>{false, false, true, true, true, true}
                                    << QList<int>{170, 70, 70, 90, 90, 150} << QString();
}

void TestKeywordWindows::eachWindowLaysOutItsColumns()
{
    QFETCH(Window, window);
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QStringList, captions);
    QFETCH(QList<bool>, rightAligned);
    QFETCH(QList<int>, widths);
    QFETCH(QString, chartTitle);

    QWidget owner;
    const std::unique_ptr<KeywordListWindow> keywords = makeWindow(window, &owner);
    keywords->setRows({QStringList(captions.size(), QStringLiteral("7"))});
    keywords->show();
    QVERIFY(QTest::qWaitForWindowExposed(keywords.get()));

    QCOMPARE(keywords->objectName(), name);
    QCOMPARE(keywords->windowTitle(), title);
    QCOMPARE(keywords->size(), size);
    QCOMPARE(keywords->minimumSize(), keywords->maximumSize());
    QVERIFY(keywords->isModal());
    QTreeView *list = keywords->listView();
    QCOMPARE(list->objectName(), QStringLiteral("ListView6"));
    QCOMPARE(headerCaptions(list), captions);
    for (int c = 0; c < captions.size(); ++c) {
        const auto side = [&](const QVariant &alignment) { return bool(alignment.toInt() & Qt::AlignRight); };
        QCOMPARE(side(list->model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole)), rightAligned[c]);
        QCOMPARE(side(list->model()->index(0, c).data(Qt::TextAlignmentRole)), rightAligned[c]);
    }
    // Every caption can be read whole, in whatever font the desktop has.
    const int margins = 2 * list->style()->pixelMetric(QStyle::PM_HeaderMargin);
    int total = 0;
    for (int c = 0; c < captions.size(); ++c) {
        const int captionWidth = list->header()->fontMetrics().horizontalAdvance(captions[c]) + margins;
        QVERIFY2(list->columnWidth(c) >= captionWidth, qPrintable(captions[c]));
        if (!widths.isEmpty() && captionWidth <= widths[c])
            QCOMPARE(list->columnWidth(c), widths[c]); // as laid out
        total += list->columnWidth(c);
    }
    if (widths.isEmpty())
        QCOMPARE(total, list->viewport()->width());

    QPushButton *button = keywords->exportButton();
    QCOMPARE(button->objectName(), QStringLiteral("Button1"));
    if (chartTitle.isEmpty()) {
        QVERIFY(!keywords->chartView());
        QVERIFY(!keywords->trendsAction());
        QVERIFY(!keywords->findChild<QChartView *>());
        QCOMPARE(list->contextMenuPolicy(), Qt::DefaultContextMenu);
        // The button spans the window under the list.
        QCOMPARE(button->width(), list->width());
    } else {
        QCOMPARE(keywords->chartView()->objectName(), QStringLiteral("Chart1"));
        QCOMPARE(keywords->chartView()->chart()->title(), chartTitle);
        QVERIFY(!keywords->chartView()->chart()->legend()->isVisible());
        QCOMPARE(keywords->popupMenu()->objectName(), QStringLiteral("PopupMenu1"));
        QCOMPARE(keywords->trendsAction()->objectName(), QStringLiteral("Getkewordtrend1"));
        QCOMPARE(keywords->trendsAction()->text(), QStringLiteral("Get keyword trends"));
        QVERIFY(!keywords->trendsAction()->icon().isNull());
        // The button sits at the right, under the chart.
        QVERIFY(button->width() < list->width());
        QCOMPARE(button->geometry().right(), list->geometry().right());
    }
}

void TestKeywordWindows::exportWritesTheListAsItStands_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("proposedName");
    QTest::addColumn<QByteArray>("header");

    QTest::newRow("Search Console") << Window::SearchConsole << "export_gsc_keywords.csv"
                                    << QByteArray("Query;URL;Clicks;Impressions;CTR;Avg Position;\r\n");
    QTest::newRow("Yandex Webmaster")
        << Window::YandexWebmaster << "export_ywm_keywords.csv"
        << QByteArray("Query;ID;TOTAL SHOWS;TOTAL CLICKS;AVG SHOW POSITION;AVG CLICK POSITION;\r\n");
    QTest::newRow("Yandex Metrika") << Window::YandexMetrika << "export_yametrika_keywords.csv"
                                    << QByteArray(
                                           "Query;Visits;Users;Bounce Rate;Page Depth;Avg Visit Duration Seconds;\r\n");
}

void TestKeywordWindows::exportWritesTheListAsItStands()
{
    QFETCH(Window, window);
    QFETCH(QString, proposedName);
    QFETCH(QByteArray, header);

    QTemporaryDir dir;
    RecordingPrompt prompt;
    ScriptedDialogs dialogs;
    dialogs.saveAnswer = dir.filePath("keywords.csv");
    QWidget owner;
    const std::unique_ptr<KeywordListWindow> keywords = makeWindow(window, &owner);
    keywords->setPorts({&prompt, &dialogs, dir.path() + u'/', {}});
    keywords->setRows({{"диван угловой", "12", "340", "3.53", "7", "8"}, {"sofa; \"best\" price", "1", "2"}});

    keywords->exportButton()->click();

    QCOMPARE(dialogs.proposedNames, QStringList{proposedName});
    QCOMPARE(dialogs.folders, QStringList{dir.path() + u'/'});
    QCOMPARE(dialogs.filters, QStringList{"CSV files (*.csv)"});
    QCOMPARE(readAll(dialogs.saveAnswer), QByteArray("\xEF\xBB\xBF") + header +
                                              "диван угловой;12;340;3.53;7;8\r\n"
                                              "\"sofa; \"\"best\"\" price\";1;2\r\n");
    QVERIFY(prompt.texts.isEmpty());

    // A cancelled dialog leaves the file alone; a file that cannot be
    // created is reported through the prompt.
    keywords->setRows({});
    dialogs.saveAnswer.clear();
    keywords->exportToCsv();
    QVERIFY(readAll(dir.filePath("keywords.csv")).endsWith("price\";1;2\r\n"));
    dialogs.saveAnswer = dir.filePath("no/such/folder/keywords.csv");
    keywords->setRows({{"q"}});
    keywords->exportButton()->click();
    QCOMPARE(prompt.texts.size(), 1);
    QVERIFY2(prompt.texts[0].startsWith(QStringLiteral("Cannot create file")), qPrintable(prompt.texts[0]));
}

void TestKeywordWindows::exportButtonCountsTheRows()
{
    QWidget owner;
    YandexMetrikaKeywordsWindow keywords(&owner);
    QPushButton *button = keywords.exportButton();
    QCOMPARE(button->text(), QStringLiteral("Export to Excel")); // as laid out

    keywords.setRows(std::vector<QStringList>(25000, QStringList{"q", "1", "1", "0.00", "1.00", "1"}));
    QCOMPARE(button->text(), QStringLiteral("Export to Excel (25000 rows)"));
    QVERIFY(button->isEnabled());
    QCOMPARE(keywords.rowCount(), 25000);

    QString shownCaption;
    bool shownEnabled = true;
    keywords.setRows({});
    WhileModal whileOpen(&keywords, [&] {
        shownCaption = button->text();
        shownEnabled = button->isEnabled();
    });
    keywords.showModally();
    QCOMPARE(whileOpen.appeared, 1);
    QCOMPARE(shownCaption, QStringLiteral("Export to Excel (0 rows)"));
    QVERIFY(!shownEnabled);
}

void TestKeywordWindows::opensCentredOverItsOwner_data()
{
    QTest::addColumn<QPoint>("ownerPosition");
    QTest::addColumn<bool>("centred"); // false: pushed back onto the screen

    QTest::newRow("over the owner") << QPoint(40, 30) << true;
    QTest::newRow("owner partly off the screen") << QPoint(-500, -300) << false;
}

void TestKeywordWindows::opensCentredOverItsOwner()
{
    QFETCH(QPoint, ownerPosition);
    QFETCH(bool, centred);

    QWidget owner;
    owner.setGeometry(QRect(ownerPosition, QSize(720, 520)));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    YandexMetrikaKeywordsWindow keywords(&owner);
    QRect shownAt;
    WhileModal whileOpen(&keywords, [&] { shownAt = keywords.frameGeometry(); });
    keywords.showModally();
    QCOMPARE(whileOpen.appeared, 1);

    const QRect screen = owner.screen()->availableGeometry();
    QVERIFY2(screen.contains(shownAt), qPrintable(QStringLiteral("%1,%2").arg(shownAt.x()).arg(shownAt.y())));
    if (centred) {
        QVERIFY2((shownAt.center() - owner.frameGeometry().center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2 %3x%4 over %5,%6 %7x%8")
                                .arg(shownAt.x())
                                .arg(shownAt.y())
                                .arg(shownAt.width())
                                .arg(shownAt.height())
                                .arg(owner.frameGeometry().x())
                                .arg(owner.frameGeometry().y())
                                .arg(owner.frameGeometry().width())
                                .arg(owner.frameGeometry().height())));
    } else {
        QCOMPARE(shownAt.topLeft(), screen.topLeft());
    }
}

void TestKeywordWindows::chartOfTheSelectedQuery_data()
{
    QTest::addColumn<std::optional<AreaChartData>>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QStringList>("prompts");
    QTest::addColumn<bool>("noData");

    const QString earlier = QStringLiteral("Google Trends for \"earlier\" (last 5 years)");
    const QString sofa = QStringLiteral("Google Trends for \"sofa\" (last 5 years)");
    QTest::newRow("values") << std::optional(weeks(sofa, {12, 55, 100, 40})) << sofa << QList<double>{12, 55, 100, 40}
                            << QStringList() << false;
    QTest::newRow("values up to an unreadable one")
        << std::optional(weeks(sofa, {3, 9}, "'x' is not a valid integer value")) << sofa << QList<double>{3, 9}
        << QStringList{"'x' is not a valid integer value"} << false;
    QTest::newRow("no values") << std::optional(weeks("Google Trends for \"sofa\" (No data)", {}))
                               << "Google Trends for \"sofa\" (No data)" << QList<double>() << QStringList() << true;
    QTest::newRow("no answer keeps the chart")
        << std::optional<AreaChartData>() << earlier << QList<double>{1, 2} << QStringList() << false;
}

void TestKeywordWindows::chartOfTheSelectedQuery()
{
    QFETCH(std::optional<AreaChartData>, answer);
    QFETCH(QString, title);
    QFETCH(QList<double>, values);
    QFETCH(QStringList, prompts);
    QFETCH(bool, noData);

    RecordingPrompt prompt;
    QList<QStringList> asked;
    QWidget owner;
    SearchConsoleKeywordsWindow keywords(&owner);
    keywords.setPorts({&prompt, nullptr, QString(), [&](const QStringList &row) {
                           asked << row;
                           return answer;
                       }});
    keywords.setRows({{"диван", "https://shop.example/", "5", "90", "0.06", "3"},
                      {"sofa", "https://shop.example/sofa", "2", "40", "0.05", "4"}});
    AreaChartView *chart = keywords.chartView();
    chart->showData(weeks(QStringLiteral("Google Trends for \"earlier\" (last 5 years)"), {1, 2}));
    keywords.show();
    QVERIFY(QTest::qWaitForWindowExposed(&keywords));

    QTreeView *list = keywords.listView();
    doubleClick(list->viewport(), list->visualRect(list->model()->index(1, 0)).center());

    QCOMPARE(asked, (QList<QStringList>{keywords.rowTexts(1)}));
    QCOMPARE(prompt.texts, prompts);
    QCOMPARE(chart->chart()->title(), title);
    const QList<QPointF> points = chart->pointSeries()->points();
    QCOMPARE(points.size(), values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        QCOMPARE(points[i], QPointF(double(i), values[i]));
    QCOMPARE(chart->showsNoData(), noData);
    const QList<QPointF> edge = chart->areaSeries()->upperSeries()->points();
    QCOMPARE(edge.isEmpty(), points.isEmpty());
    if (!points.isEmpty()) {
        QCOMPARE(edge.first(), points.first());
        QCOMPARE(edge.last(), points.last());
    }
    double largest = 0;
    for (const double v : values)
        largest = std::max(largest, v);
    QVERIFY(chart->valueAxis()->max() >= largest * 1.1);
    QCOMPARE(chart->areaSeries()->color(), QColor(93, 131, 176));
    QCOMPARE(chart->areaSeries()->borderColor(), QColor(69, 105, 147));
    QCOMPARE(chart->pointSeries()->color(), QColor(0, 128, 0));
}

void TestKeywordWindows::noChartWithoutASelectedQuery()
{
    int asked = 0;
    QWidget owner;
    SearchConsoleKeywordsWindow keywords(&owner);
    keywords.setPorts({nullptr, nullptr, QString(), [&](const QStringList &) {
                           ++asked;
                           return std::optional(weeks("any", {1}));
                       }});
    keywords.setRows({{"диван", "https://shop.example/", "5", "90", "0.06", "3"}});

    keywords.trendsAction()->trigger();
    QCOMPARE(asked, 0);
    QCOMPARE(keywords.chartView()->chart()->title(), QStringLiteral("Google Trends"));
}

QTEST_MAIN(TestKeywordWindows)
#include "tst_keywordwindows.moc"
