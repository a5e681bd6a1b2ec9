#pragma once

#include "ui/ClipboardText.h"

namespace veltrano {

// The desktop clipboard's plain text.
class GuiClipboardText final : public ClipboardText {
public:
    bool hasText() const override;
    QString text() const override;
};

} // namespace veltrano
