#pragma once

#include <QString>

namespace veltrano {

// The text on the desktop clipboard, as "Paste from Clipboard" reads it.
// Tests replace it with a clipboard of their own.
class ClipboardText {
public:
    virtual ~ClipboardText() = default;
    virtual bool hasText() const = 0;
    virtual QString text() const = 0;
};

} // namespace veltrano
