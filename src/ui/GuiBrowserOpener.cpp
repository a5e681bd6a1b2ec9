#include "ui/GuiBrowserOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace veltrano {

void GuiBrowserOpener::open(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace veltrano
