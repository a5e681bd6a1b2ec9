#pragma once

#include "app/UiPorts.h"

#include <QPointer>
#include <QWidget>

namespace veltrano {

// Modal message boxes over the given window: messages with one OK button,
// questions with Yes and No (No is the default button).
class GuiMessagePrompt final : public MessagePrompt {
public:
    explicit GuiMessagePrompt(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(Icon icon, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace veltrano
