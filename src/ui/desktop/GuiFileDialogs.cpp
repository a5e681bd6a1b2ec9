#include "ui/desktop/GuiFileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace veltrano {

QString GuiFileDialogs::openFileName(const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, QString(), folder, filter);
}

QString GuiFileDialogs::saveFileName(const QString &folder, const QString &proposedName, const QString &filter)
{
    // The user names the file; the dialog neither asks before replacing an
    // existing one nor adds an extension of its own.
    QFileDialog dialog(m_parent, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(QDir(folder).filePath(proposedName));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

} // namespace veltrano
