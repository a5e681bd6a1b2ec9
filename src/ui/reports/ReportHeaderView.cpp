#include "ui/reports/ReportHeaderView.h"

#include "reports/ReportTable.h"

#include <QHelpEvent>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QToolTip>

#include <algorithm>

namespace veltrano {

ReportHeaderView::ReportHeaderView(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QString ReportHeaderView::shownCaption(int logicalIndex, int width) const
{
    const QString caption = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    return fontMetrics().elidedText(caption, Qt::ElideRight, std::max(0, width - 2 * margin));
}

void ReportHeaderView::initStyleOptionForIndex(QStyleOptionHeader *option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    option->text = shownCaption(logicalIndex, sectionSize(logicalIndex));
}

int ReportHeaderView::leastWidth(int logicalIndex) const
{
    return model() ? model()->headerData(logicalIndex, orientation(), ReportTable::ColumnWidthRole).toInt() : 0;
}

int ReportHeaderView::wholeCaptionWidth(int logicalIndex) const
{
    if (!model())
        return 0;
    const QString caption = model()->headerData(logicalIndex, orientation()).toString();
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    // One more pixel each side for the section's frame line.
    return std::max(leastWidth(logicalIndex), fontMetrics().horizontalAdvance(caption) + 2 * margin + 2);
}

void ReportHeaderView::fitCaptionsOnce()
{
    if (m_captionsFitted || width() <= 0)
        return;
    int needed = leastWidth(0);
    for (int c = 1; c < count(); ++c) {
        if (!isSectionHidden(c))
            needed += std::max(sectionSize(c), wholeCaptionWidth(c));
    }
    if (needed > width())
        return; // not yet: the URL column keeps its least width first
    m_captionsFitted = true;
    for (int c = 1; c < count(); ++c) {
        if (!isSectionHidden(c) && sectionSize(c) < wholeCaptionWidth(c))
            resizeSection(c, wholeCaptionWidth(c));
    }
}

void ReportHeaderView::fitFirstColumn()
{
    if (!model() || count() == 0)
        return;
    fitCaptionsOnce();
    int others = 0;
    for (int c = 1; c < count(); ++c) {
        if (!isSectionHidden(c))
            others += sectionSize(c);
    }
    const int width = std::max(leastWidth(0), this->width() - others);
    if (width != sectionSize(0))
        resizeSection(0, width);
}

void ReportHeaderView::resizeEvent(QResizeEvent *event)
{
    QHeaderView::resizeEvent(event);
    fitFirstColumn();
}

bool ReportHeaderView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && model()) {
        const int section = logicalIndexAt(static_cast<QHelpEvent *>(event)->pos());
        if (section >= 0 &&
            shownCaption(section, sectionSize(section)) == model()->headerData(section, orientation()).toString()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
    }
    return QHeaderView::viewportEvent(event);
}

} // namespace veltrano
