#pragma once

#include "ui/desktop/DesktopPorts.h"

namespace veltrano {

// The desktop clipboard's plain text, read and written.
class GuiClipboardText final : public ClipboardText, public ClipboardWriter {
public:
    bool hasText() const override;
    QString text() const override;
    void setText(const QString &text) override;
};

} // namespace veltrano
