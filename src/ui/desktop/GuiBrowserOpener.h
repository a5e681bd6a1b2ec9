#pragma once

#include "app/UiPorts.h"

namespace veltrano {

// Opens addresses in the user's default web browser through the desktop
// (xdg-open and the like). Whether a browser could be started is known only
// through openReporting().
class GuiBrowserOpener final : public BrowserOpener {
public:
    void open(const QString &url) override;
    bool openReporting(const QString &url) override;
};

} // namespace veltrano
