#include "ui/desktop/GuiClipboardText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace veltrano {

bool GuiClipboardText::hasText() const
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasText();
}

QString GuiClipboardText::text() const
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void GuiClipboardText::setText(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

} // namespace veltrano
