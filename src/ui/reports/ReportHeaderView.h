#pragma once

#include <QHeaderView>

namespace veltrano {

// The column header of a report table. A caption wider than its column ends
// in an ellipsis, whatever its alignment, instead of being cut off at the
// column's edge (a right-aligned "Bounce Rate" in 75 pixels would otherwise
// lose its first letters); its tooltip then shows the whole caption.
//
// The model's column widths (ColumnWidthRole) are the least each column
// gets. The first time the table is wide enough, every other column widens
// to show its caption whole; from then on the first column, the URL, takes
// whatever width the other columns leave free whenever the table is resized.
// The user can still drag any column wider or narrower.
class ReportHeaderView final : public QHeaderView {
    Q_OBJECT
public:
    explicit ReportHeaderView(QWidget *parent = nullptr);

    // The caption as drawn in a section of the given width.
    QString shownCaption(int logicalIndex, int width) const;

    // The model's width of a column: the least it gets.
    int leastWidth(int logicalIndex) const;
    // The width that shows a column's caption whole, never below its least.
    int wholeCaptionWidth(int logicalIndex) const;

    // Widens the first column to the width the others leave free, never
    // below the model's width for it.
    void fitFirstColumn();

protected:
    void initStyleOptionForIndex(QStyleOptionHeader *option, int logicalIndex) const override;
    void resizeEvent(QResizeEvent *event) override;
    // A caption shown whole has no tooltip.
    bool viewportEvent(QEvent *event) override;

private:
    // Gives the captions their whole width once, when the table has room.
    void fitCaptionsOnce();

    bool m_captionsFitted = false;
};

} // namespace veltrano
