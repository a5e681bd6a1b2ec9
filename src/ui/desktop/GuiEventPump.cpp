#include "ui/desktop/GuiEventPump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace veltrano {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

GuiEventPump::GuiEventPump()
{
    qApp->installEventFilter(this);
}

GuiEventPump::~GuiEventPump()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void GuiEventPump::addInterruptControl(QWidget *control)
{
    m_interruptControls << control;
}

void GuiEventPump::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void GuiEventPump::keepPainting()
{
    m_holding = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_holding = false;
    handBackHeldInput();
}

void GuiEventPump::pause(std::chrono::milliseconds duration, const std::function<bool()> &stopEarly)
{
    const auto stop = [&] { return stopEarly && stopEarly(); };
    const QDeadlineTimer deadline(duration, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (stop())
            loop.quit();
    });
    watch.start();
    // A timer may fire a little early: wait again until the deadline has
    // really passed.
    while (!stop() && !deadline.hasExpired()) {
        end.start(std::max<qint64>(deadline.remainingTime(), 1));
        loop.exec();
    }
}

bool GuiEventPump::goesThrough(QObject *receiver, const QEvent *event) const
{
    for (const QPointer<QWidget> &control : m_interruptControls) {
        if (!control || !control->isEnabled() || !control->isVisible())
            continue;
        const bool onControl = receiver == control.data();
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (onControl)
                return true;
            break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride: {
            // Escape, anywhere in the control's window.
            const auto *key = static_cast<const QKeyEvent *>(event);
            const auto *widget = qobject_cast<const QWidget *>(receiver);
            if (key->key() == Qt::Key_Escape && widget && widget->window() == control->window())
                return true;
            break;
        }
        default:
            break;
        }
    }
    return false;
}

bool GuiEventPump::eventFilter(QObject *watched, QEvent *event)
{
    // Input is held where the window hands it to a widget; the windows
    // themselves keep their bookkeeping of buttons and focus.
    if (!m_holding || !watched->isWidgetType() || !isUserInput(event->type()))
        return false;
    if (goesThrough(watched, event))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed for the widget, so no shortcut fires now; the key itself
        // is held with the rest.
        event->accept();
        return true;
    }
    m_held.push_back({QPointer<QObject>(watched), std::unique_ptr<QEvent>(event->clone())});
    return true;
}

void GuiEventPump::handBackHeldInput()
{
    // Posted back in order: while the request still waits they are held
    // again at its next turn; once it has ended they reach their widgets.
    std::vector<HeldEvent> held;
    held.swap(m_held);
    for (HeldEvent &entry : held) {
        if (entry.receiver)
            QCoreApplication::postEvent(entry.receiver, entry.event.release());
    }
}

} // namespace veltrano
