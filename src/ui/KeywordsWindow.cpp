#include "ui/KeywordsWindow.h"

namespace veltrano {

KeywordsWindow::KeywordsWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmKeywords"));
    setWindowTitle(QStringLiteral("GSC Keywords / Google Trends"));
    setFixedSize(ClientWidth, ClientHeight);
}

} // namespace veltrano
