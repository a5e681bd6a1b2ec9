#pragma once

// Pieces the end-to-end tests of the windows share: a double-click as the
// window system delivers it, and a hand that acts on a modal dialog.

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace veltrano::testing {

// A double-click as the window system delivers it, through the top-level
// window, so that the press before it counts as the first click.
inline void doubleClick(QWidget *widget, const QPoint &pos)
{
    QWidget *top = widget->window();
    QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, pos));
}

// Acts on a dialog once it is up as the modal window, then closes it.
class WhileModal final {
public:
    WhileModal(QDialog *dialog, std::function<void()> work)
    {
        m_timer = new QTimer;
        m_timer->setInterval(5);
        QObject::connect(m_timer, &QTimer::timeout, m_timer, [this, dialog, work] {
            if (QApplication::activeModalWidget() != dialog || !dialog->isVisible())
                return;
            m_timer->stop();
            ++appeared;
            work();
            dialog->reject();
        });
        m_timer->start();
    }
    ~WhileModal() { delete m_timer; }
    WhileModal(const WhileModal &) = delete;
    WhileModal &operator=(const WhileModal &) = delete;

    int appeared = 0;

private:
    QPointer<QTimer> m_timer;
};

} // namespace veltrano::testing
