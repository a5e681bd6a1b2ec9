#include "ui/reports/ReportCellDelegate.h"

#include "reports/ReportLayout.h"
#include "reports/ReportTable.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <cmath>

namespace veltrano {

namespace {

// The flat drawing's corners: rounded rectangles with 3 x 3 pixel ellipses.
constexpr qreal CornerRadius = 1.5;
constexpr int SquaredEnd = 3;

// A rounded rectangle over the pixels of rect, without outline; when it is
// wider than the corner, its right end is squared off, so a bar that stops
// inside the track ends in a straight edge.
void flatBar(QPainter *painter, const QRect &rect, const QColor &colour, bool squareRightEnd)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    painter->setBrush(colour);
    painter->drawRoundedRect(QRectF(rect), CornerRadius, CornerRadius);
    if (squareRightEnd && rect.width() > SquaredEnd)
        painter->fillRect(QRect(rect.right() - SquaredEnd + 1, rect.top(), SquaredEnd, rect.height()), colour);
}

QStyleOptionProgressBar progressOption(const QStyleOptionViewItem &option, const QRect &rect)
{
    QStyleOptionProgressBar bar;
    bar.state = (option.state & QStyle::State_Enabled) | QStyle::State_Horizontal;
    bar.direction = option.direction;
    bar.palette = option.palette;
    bar.fontMetrics = option.fontMetrics;
    bar.rect = rect;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = 100;
    bar.textVisible = false;
    return bar;
}

// The desktop's grey text: the palette's colour for hint text, which stays
// readable on the light track and on the blue fill alike (the disabled-text
// grey of some styles is too pale for either).
QColor greyText(const QStyleOptionViewItem &option)
{
    return option.palette.color(QPalette::PlaceholderText);
}

QStyle *styleOf(const QStyleOptionViewItem &option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

} // namespace

ReportCellDelegate::ReportCellDelegate(QObject *parent)
    : QStyledItemDelegate(parent), m_themed(styleIsThemed(QApplication::style()))
{
}

bool ReportCellDelegate::styleIsThemed(const QStyle *style)
{
    if (!style)
        return false;
    const QString name = style->name().toLower();
    return name != QLatin1String("fusion") && name != QLatin1String("windows");
}

QString ReportCellDelegate::percentCaption(double fraction, const QLocale &locale)
{
    QLocale plain(locale);
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return QLatin1Char(' ') + plain.toString(fraction * 100.0, 'f', 1) + QLatin1Char('%');
}

void ReportCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto drawing = CellDrawing(index.data(ReportTable::CellDrawingRole).toInt());
    if (drawing != CellDrawing::StatusBadge && drawing != CellDrawing::PercentBar) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The row's background (selection, hover) stays whole under the badge.
    QStyleOptionViewItem background(option);
    background.text.clear();
    styleOf(option)->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, option.widget);

    painter->save();
    painter->setPen(Qt::NoPen);
    if (drawing == CellDrawing::StatusBadge)
        paintStatus(painter, option, index.data(Qt::DisplayRole).toString());
    else if (const QVariant fraction = index.data(ReportTable::PercentFractionRole); fraction.isValid())
        paintPercent(painter, option, fraction.toDouble());
    else
        paintBareTrack(painter, option, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

void ReportCellDelegate::paintStatus(QPainter *painter, const QStyleOptionViewItem &option, const QString &text) const
{
    const QRect badge = option.rect.adjusted(1, 1, -1, -1);
    const bool indexed = text == QLatin1String("Yes");
    if (m_themed) {
        const QStyleOptionProgressBar bar = progressOption(option, badge);
        QStyle *style = styleOf(option);
        style->drawControl(QStyle::CE_ProgressBarGroove, &bar, painter, option.widget);
        if (indexed)
            style->drawControl(QStyle::CE_ProgressBarContents, &bar, painter, option.widget);
    } else {
        flatBar(painter, badge, QColor::fromRgb(TrackColour), false);
        if (indexed)
            flatBar(painter, badge, QColor::fromRgb(FillColour), true);
    }
    const QColor textColour = indexed ? QColor(Qt::white) : greyText(option);
    paintCaption(painter, option, badge, text, textColour);
}

void ReportCellDelegate::paintPercent(QPainter *painter, const QStyleOptionViewItem &option, double fraction) const
{
    const QRect track = option.rect.adjusted(1, 1, -1, -1);
    if (!std::isfinite(fraction))
        fraction = 0.0;
    if (m_themed) {
        QStyleOptionProgressBar bar = progressOption(option, track);
        QStyle *style = styleOf(option);
        style->drawControl(QStyle::CE_ProgressBarGroove, &bar, painter, option.widget);
        QRect chunk = track.adjusted(2, 2, -2, -2);
        chunk.setWidth(int(std::clamp(fraction * chunk.width(), 0.0, 1e6)));
        if (chunk.width() > 0) {
            bar.rect = chunk;
            style->drawControl(QStyle::CE_ProgressBarContents, &bar, painter, option.widget);
        }
    } else {
        flatBar(painter, track, QColor::fromRgb(TrackColour), false);
        QRect fill = track;
        fill.setWidth(int(std::clamp(fraction * track.width(), 0.0, 1e6)));
        flatBar(painter, fill, QColor::fromRgb(FillColour), true);
    }
    paintCaption(painter, option, track, percentCaption(fraction), greyText(option));
}

void ReportCellDelegate::paintBareTrack(QPainter *painter, const QStyleOptionViewItem &option,
                                        const QString &text) const
{
    const QRect track = option.rect.adjusted(1, 1, -1, -1);
    if (m_themed) {
        const QStyleOptionProgressBar bar = progressOption(option, track);
        styleOf(option)->drawControl(QStyle::CE_ProgressBarGroove, &bar, painter, option.widget);
    } else
        flatBar(painter, track, QColor::fromRgb(TrackColour), false);
    paintCaption(painter, option, track, text, greyText(option));
}

void ReportCellDelegate::paintCaption(QPainter *painter, const QStyleOptionViewItem &option, const QRect &rect,
                                      const QString &text, const QColor &colour) const
{
    if (text.isEmpty() || rect.height() <= 0)
        return;
    const QFont &font = captionFont(option.font, rect.height());
    painter->setFont(font);
    painter->setPen(colour);
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width());
    painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

const QFont &ReportCellDelegate::captionFont(const QFont &base, int height) const
{
    if (height == m_cachedHeight && base == m_cachedBase)
        return m_cachedFont;
    QFont font(base);
    font.setPixelSize(height);
    const int lineHeight = QFontMetrics(font).height();
    if (lineHeight > height)
        font.setPixelSize(std::max(1, height * height / lineHeight));
    m_cachedBase = base;
    m_cachedHeight = height;
    m_cachedFont = font;
    return m_cachedFont;
}

} // namespace veltrano
