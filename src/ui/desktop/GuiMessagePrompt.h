#pragma once

#include "app/UiPorts.h"

#include <QPointer>
#include <QWidget>

namespace veltrano {

// Modal message boxes with one OK button, over the given window.
class GuiMessagePrompt final : public MessagePrompt {
public:
    explicit GuiMessagePrompt(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(Icon icon, const QString &title, const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace veltrano
