#pragma once

#include "app/UiPorts.h"

namespace veltrano {

// Keeps the windows alive while a handler works: the check loops hand over
// to the event loop once per step, and a waiting service request lets the
// windows repaint without taking clicks or keys.
class GuiEventPump final : public EventPump {
public:
    void processPendingEvents() override;
    void keepPainting() override;
};

} // namespace veltrano
