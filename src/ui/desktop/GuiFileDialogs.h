#pragma once

#include "ui/desktop/DesktopPorts.h"

#include <QPointer>
#include <QWidget>

namespace veltrano {

// The desktop's modal file dialogs over the given window.
class GuiFileDialogs final : public FileDialogs {
public:
    explicit GuiFileDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    QString openFileName(const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &folder, const QString &proposedName, const QString &filter) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace veltrano
