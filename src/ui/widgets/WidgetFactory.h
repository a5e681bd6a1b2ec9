#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QChartView;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace veltrano::widgets {

// The small pieces every page of the window is built from. Each widget
// gets the name the rest of the program and the tests know it by as its
// objectName.

template <typename W> W *named(W *widget, const char *objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QPushButton *button(const QString &caption, const char *objectName, QWidget *parent = nullptr);
QLabel *label(const QString &caption, QWidget *parent = nullptr);
QAction *menuItem(QMenu *menu, const QString &caption, const char *objectName);

// A read-only list with whole-row selection (sites, counters, the backlinks
// history).
QTreeWidget *reportList(const char *objectName, const QStringList &columns, const QList<int> &widths);

// A chart with a bold black title and no legend.
QChartView *titledChartView(const char *objectName, const QString &title);

// A list with one button under it, on the right (a site list and its "Get
// All Keywords").
QWidget *listWithButton(QWidget *list, QPushButton *button);

// Widgets side by side, or one above the other.
QWidget *row(std::initializer_list<QWidget *> widgets, const char *objectName = nullptr);
QWidget *column(std::initializer_list<QWidget *> widgets, bool stretchAtEnd = false);

} // namespace veltrano::widgets
