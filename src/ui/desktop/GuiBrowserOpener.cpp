#include "ui/desktop/GuiBrowserOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace veltrano {

void GuiBrowserOpener::open(const QString &url)
{
    openReporting(url);
}

bool GuiBrowserOpener::openReporting(const QString &url)
{
    // False when the desktop has no way to open addresses or the helper
    // that starts the browser could not be run.
    return QDesktopServices::openUrl(QUrl(url));
}

} // namespace veltrano
