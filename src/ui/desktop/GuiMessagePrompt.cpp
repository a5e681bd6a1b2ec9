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

bool GuiMessagePrompt::ask(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_parent.data());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace veltrano
