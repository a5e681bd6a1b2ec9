#pragma once

#include "app/UiPorts.h"

namespace veltrano {

// Opens addresses in the user's default web browser. A browser that cannot
// be started is not reported.
class GuiBrowserOpener final : public BrowserOpener {
public:
    void open(const QString &url) override;
};

} // namespace veltrano
