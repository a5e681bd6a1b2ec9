#pragma once

#include "app/RowRunStates.h"

#include <QStyledItemDelegate>

#include <functional>

namespace veltrano {

// Draws the URL cell of a report row as usual, with a plain marker at its
// left edge when the last run of the report's check did not reach the row
// (grey) or found no usable answer for it (red). Hovering the marker tells
// which.
class RowStateMarkerDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using StateOf = std::function<RowRunStates::State(const QModelIndex &index)>;
    static constexpr int MarkerWidth = 4;

    RowStateMarkerDelegate(StateOf stateOf, QObject *parent = nullptr)
        : QStyledItemDelegate(parent), m_stateOf(std::move(stateOf))
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    static QString stateText(RowRunStates::State state);

private:
    StateOf m_stateOf;
};

} // namespace veltrano
