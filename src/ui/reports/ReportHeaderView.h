#pragma once

#include <QHeaderView>

namespace veltrano {

// The column header of a report table. A caption wider than its column ends
// in an ellipsis, whatever its alignment, instead of being cut off at the
// column's edge (a right-aligned "Bounce Rate" in 75 pixels would otherwise
// lose its first letters).
class ReportHeaderView final : public QHeaderView {
    Q_OBJECT
public:
    explicit ReportHeaderView(QWidget *parent = nullptr);

    // The caption as drawn in a section of the given width.
    QString shownCaption(int logicalIndex, int width) const;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader *option, int logicalIndex) const override;
};

} // namespace veltrano
