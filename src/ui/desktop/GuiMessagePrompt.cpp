#include "ui/desktop/GuiMessagePrompt.h"

#include <QMessageBox>
#include <QPushButton>

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

int GuiMessagePrompt::choose(const QString &title, const QString &text, const QStringList &answers)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, m_parent.data());
    QList<QAbstractButton *> buttons;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const bool last = i + 1 == answers.size();
        buttons << box.addButton(answers[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.last()));
        box.setEscapeButton(buttons.last());
    }
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? int(answers.size()) - 1 : int(chosen);
}

} // namespace veltrano
