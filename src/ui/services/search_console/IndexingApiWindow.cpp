#include "ui/services/search_console/IndexingApiWindow.h"

#include "app/RunControl.h"
#include "services/search_console/IndexingApiSubmission.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WindowPlacement.h"
#include "ui/widgets/WidgetFactory.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veltrano {

using namespace widgets;

namespace {

constexpr int UrlColumn = 0;
constexpr int TypeColumn = 1;
constexpr int TimeColumn = 2;

} // namespace

IndexingApiWindow::IndexingApiWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmGoogleIndexation"));
    setWindowTitle(QStringLiteral("Indexation API"));
    setFixedSize(ClientWidth, ClientHeight);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    m_list = reportList("ListViewInd", {QStringLiteral("URL"), QStringLiteral("Type"), QStringLiteral("Notify time")},
                        {370, 100, 130});
    m_list->headerItem()->setTextAlignment(TypeColumn, Qt::AlignCenter);
    m_list->headerItem()->setTextAlignment(TimeColumn, Qt::AlignCenter);
    layout->addWidget(m_list, 1);

    m_progress = named(new QProgressBar, "ProgressBar");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(16);
    layout->addWidget(m_progress);

    m_submitButton = button(QStringLiteral("Submit for Indexation"), "Button1", this);
    m_submitButton->hide();
    connect(m_submitButton, &QPushButton::clicked, this, [this] {
        if (m_ports.submit && m_ports.prompt)
            runHandler(*m_ports.prompt, m_ports.submit);
    });

    m_timer = named(new QTimer(this), "Timer1");
    m_timer->setInterval(TimerInterval);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timer->stop();
        m_submitButton->click();
    });
}

int IndexingApiWindow::showModally()
{
    if (QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        placeCentredOver(*this, *owner);
    return exec();
}

void IndexingApiWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    if (m_ports.run)
        m_ports.run->clearCancelRequest();
    clearRows();
    m_timer->start();
}

void IndexingApiWindow::done(int result)
{
    if (m_ports.run)
        m_ports.run->requestCancel();
    m_timer->stop();
    QDialog::done(result);
}

void IndexingApiWindow::stopTimer()
{
    m_timer->stop();
}

bool IndexingApiWindow::timerActive() const
{
    return m_timer->isActive();
}

void IndexingApiWindow::clearRows()
{
    m_list->clear();
}

void IndexingApiWindow::addRow(const IndexingNotification &notification)
{
    auto *item = new QTreeWidgetItem(QStringList{notification.url, notification.type, notification.notifyTime});
    item->setTextAlignment(TypeColumn, Qt::AlignCenter);
    item->setTextAlignment(TimeColumn, Qt::AlignCenter);
    m_list->addTopLevelItem(item);
}

int IndexingApiWindow::rowCount() const
{
    return m_list->topLevelItemCount();
}

QStringList IndexingApiWindow::rowTexts(int row) const
{
    const QTreeWidgetItem *item = m_list->topLevelItem(row);
    if (!item)
        return {};
    return {item->text(UrlColumn), item->text(TypeColumn), item->text(TimeColumn)};
}

void IndexingApiWindow::setProgressMaximum(int maximum)
{
    m_progress->setRange(0, maximum);
    m_progress->setValue(0);
}

void IndexingApiWindow::advanceProgress()
{
    m_progress->setValue(std::min(m_progress->value() + 1, m_progress->maximum()));
}

} // namespace veltrano
