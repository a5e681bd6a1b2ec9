#include "ui/desktop/GuiMessagePrompt.h"

#include <QMessageBox>

namespace veltrano {

void GuiMessagePrompt::show(Icon icon, const QString &title, const QString &text)
{
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
    case Icon::None:
        boxIcon = QMessageBox::NoIcon;
        break;
    case Icon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case Icon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case Icon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, m_parent.data());
    box.exec();
}

} // namespace veltrano
