#include "ui/MetrikaKeywordsWindow.h"

namespace veltrano {

MetrikaKeywordsWindow::MetrikaKeywordsWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmKeywordsYaMetr"));
    setWindowTitle(QStringLiteral("YMetrika Keywords"));
    setFixedSize(ClientWidth, ClientHeight);
}

} // namespace veltrano
