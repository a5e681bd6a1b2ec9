#pragma once

#include "app/UiPorts.h"
#include "app/VeltranoError.h"

#include <QString>
#include <exception>
#include <utility>

namespace veltrano {

// Runs one event handler. An error that escapes it ends the handler (and
// whatever it called) and is shown in the application's error message box;
// the program goes on. Errors must never cross Qt's event loop.
template <typename Handler> bool runHandler(MessagePrompt &prompt, Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const RequestAborted &) {
        // Cancelled or closing: the handler ends without a message.
    } catch (const std::exception &error) {
        prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), errorText(error));
    }
    return false;
}

// Wraps a handler for QObject::connect:
//   connect(button, &QPushButton::clicked, this, guarded(prompt, [this] { ... }));
template <typename Handler> auto guarded(MessagePrompt &prompt, Handler handler)
{
    return [&prompt, handler = std::move(handler)](auto &&...) { runHandler(prompt, handler); };
}

} // namespace veltrano
