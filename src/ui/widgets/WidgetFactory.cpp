#include "ui/widgets/WidgetFactory.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veltrano::widgets {

QPushButton *button(const QString &caption, const char *objectName, QWidget *parent)
{
    return named(new QPushButton(caption, parent), objectName);
}

QLabel *label(const QString &caption, QWidget *parent)
{
    return new QLabel(caption, parent);
}

QAction *menuItem(QMenu *menu, const QString &caption, const char *objectName)
{
    return named(menu->addAction(caption), objectName);
}

QTreeWidget *reportList(const char *objectName, const QStringList &columns, const QList<int> &widths)
{
    auto *list = named(new QTreeWidget, objectName);
    list->setColumnCount(int(columns.size()));
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAllColumnsShowFocus(true);
    for (int i = 0; i < widths.size(); ++i)
        list->setColumnWidth(i, widths[i]);
    return list;
}

QChartView *titledChartView(const char *objectName, const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setTitleBrush(Qt::black);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    auto *view = named(new QChartView(chart), objectName);
    view->setRenderHint(QPainter::Antialiasing);
    view->setRubberBand(QChartView::NoRubberBand);
    return view;
}

QWidget *listWithButton(QWidget *list, QPushButton *button)
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(button);
    layout->addLayout(buttons);
    return box;
}

QWidget *row(std::initializer_list<QWidget *> widgets, const char *objectName)
{
    auto *box = new QWidget;
    if (objectName)
        box->setObjectName(QString::fromLatin1(objectName));
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    return box;
}

QWidget *column(std::initializer_list<QWidget *> widgets, bool stretchAtEnd)
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    if (stretchAtEnd)
        layout->addStretch(1);
    return box;
}

} // namespace veltrano::widgets
