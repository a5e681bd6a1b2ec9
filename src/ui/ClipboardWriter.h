#pragma once

#include <QString>

namespace veltrano {

// Puts text on the desktop clipboard, as "Copy link" of the wait dialog
// does. Tests replace it with a clipboard of their own.
class ClipboardWriter {
public:
    virtual ~ClipboardWriter() = default;
    virtual void setText(const QString &text) = 0;
};

} // namespace veltrano
