#include "ui/reports/ReportHeaderView.h"

#include <QStyle>
#include <QStyleOptionHeader>

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

} // namespace veltrano
