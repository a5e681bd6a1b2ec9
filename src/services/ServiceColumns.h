#pragma once

#include "app/ReportColumn.h"

namespace veltrano::columns {

// Shorthands for the column lists of the service descriptors.
inline constexpr Qt::Alignment L = Qt::AlignLeft | Qt::AlignVCenter;
inline constexpr Qt::Alignment R = Qt::AlignRight | Qt::AlignVCenter;
inline constexpr Qt::Alignment C = Qt::AlignHCenter | Qt::AlignVCenter;

inline ReportColumn col(const char *caption, Qt::Alignment align, int width, SortRule rule,
                        CellDrawing drawing = CellDrawing::Plain)
{
    return {QString::fromLatin1(caption), align, width, rule, drawing};
}

} // namespace veltrano::columns
