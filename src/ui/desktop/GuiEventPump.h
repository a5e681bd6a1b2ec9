#pragma once

#include "app/UiPorts.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QEvent;
class QWidget;

namespace veltrano {

// Keeps the windows alive while a handler works: the check loops hand over
// to the event loop once per step, and a waiting service request lets the
// windows repaint while mouse and keyboard input waits for the answer, so
// nothing can start a second request or change a table meanwhile.
//
// A few controls act at once even then: "Cancel" (a click, or Escape while
// it is enabled) abandons the request in flight instead of waiting up to
// the time-out of a server that does not answer. Any other input is held
// and handed back, in its order, once the request has ended.
class GuiEventPump final : public QObject, public EventPump {
    Q_OBJECT
public:
    GuiEventPump();
    ~GuiEventPump() override;

    void processPendingEvents() override;
    void keepPainting() override;
    // Waits in a nested event loop: the windows repaint and take input, and
    // the wait ends at the deadline or within 10 ms of stopEarly saying so.
    void pause(std::chrono::milliseconds duration, const std::function<bool()> &stopEarly) override;

    // A control whose clicks, and whose Escape key while it is enabled, go
    // through while a request waits.
    void addInterruptControl(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct HeldEvent {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };

    bool goesThrough(QObject *receiver, const QEvent *event) const;
    void handBackHeldInput();

    QList<QPointer<QWidget>> m_interruptControls;
    std::vector<HeldEvent> m_held;
    bool m_holding = false;
};

} // namespace veltrano
