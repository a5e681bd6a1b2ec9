#include "ui/GuiEventPump.h"

#include <QCoreApplication>

namespace veltrano {

void GuiEventPump::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void GuiEventPump::keepPainting()
{
    // Mouse and keyboard input stays queued until the request is answered,
    // so nothing can start a second request or change the table meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace veltrano
