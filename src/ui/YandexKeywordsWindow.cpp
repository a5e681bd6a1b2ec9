#include "ui/YandexKeywordsWindow.h"

namespace veltrano {

YandexKeywordsWindow::YandexKeywordsWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmKeywordsYa"));
    setWindowTitle(QStringLiteral("YWM Keywords"));
    setFixedSize(ClientWidth, ClientHeight);
}

} // namespace veltrano
