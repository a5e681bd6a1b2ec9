#include "ui/reports/RowStateMarkerDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace veltrano {

QString RowStateMarkerDelegate::stateText(RowRunStates::State state)
{
    switch (state) {
    case RowRunStates::State::NotReached:
        return QStringLiteral("Not reached by the last check");
    case RowRunStates::State::Failed:
        return QStringLiteral("No usable answer in the last check");
    default:
        return {};
    }
}

void RowStateMarkerDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const RowRunStates::State state = m_stateOf ? m_stateOf(index) : RowRunStates::State::None;
    if (state != RowRunStates::State::NotReached && state != RowRunStates::State::Failed)
        return;
    painter->save();
    painter->fillRect(QRect(option.rect.left(), option.rect.top() + 1, MarkerWidth, option.rect.height() - 2),
                      state == RowRunStates::State::Failed ? QColor(0xD3, 0x2F, 0x2F) : QColor(0x9E, 0x9E, 0x9E));
    painter->restore();
}

bool RowStateMarkerDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                       const QModelIndex &index)
{
    if (event && m_stateOf && event->pos().x() < option.rect.left() + 2 * MarkerWidth) {
        const QString text = stateText(m_stateOf(index));
        if (!text.isEmpty()) {
            QToolTip::showText(event->globalPos(), text, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace veltrano
