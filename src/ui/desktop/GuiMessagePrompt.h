#pragma once

#include "app/UiPorts.h"

#include <QPointer>
#include <QWidget>

namespace veltrano {

// Modal message boxes over the given window: messages with one OK button,
// questions with Yes and No (No is the default button), choices with a
// button per answer (the last one is the default and the escape).
class GuiMessagePrompt final : public MessagePrompt {
public:
    explicit GuiMessagePrompt(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(Icon icon, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    int choose(const QString &title, const QString &text, const QStringList &answers) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace veltrano
