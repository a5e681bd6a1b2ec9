#include "ui/IndexingApiWindow.h"

namespace veltrano {

IndexingApiWindow::IndexingApiWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmGoogleIndexation"));
    setWindowTitle(QStringLiteral("Indexation API"));
    setFixedSize(ClientWidth, ClientHeight);
}

} // namespace veltrano
