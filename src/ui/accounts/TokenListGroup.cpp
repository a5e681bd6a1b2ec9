#include "ui/accounts/TokenListGroup.h"

#include "ui/widgets/WidgetFactory.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrano {

using namespace widgets;

TokenListGroup::TokenListGroup(const Names &names, QWidget *parent) : QGroupBox(QStringLiteral(" Token List "), parent)
{
    setObjectName(QStringLiteral("gbToken_") + QString::fromLatin1(names.list));
    auto *layout = new QHBoxLayout(this);
    m_list = named(new QListWidget, names.list);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_list, 1);

    auto *buttons = new QVBoxLayout;
    m_add = button(QStringLiteral("Add"), names.add);
    buttons->addWidget(m_add);
    m_rename = button(QStringLiteral("Rename"), names.rename);
    m_rename->setEnabled(false);
    buttons->addWidget(m_rename);
    m_delete = button(QStringLiteral("Delete"), names.remove);
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    m_connect = button(QStringLiteral("Connect to Account"), names.connect);
    m_connect->setMinimumWidth(150);
    buttons->addWidget(m_connect);
    layout->addLayout(buttons);
    setFixedWidth(FixedWidth);
}

} // namespace veltrano
