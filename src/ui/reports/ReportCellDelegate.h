#pragma once

#include <QColor>
#include <QFont>
#include <QLocale>
#include <QStyledItemDelegate>

class QStyle;

namespace veltrano {

// Draws the two kinds of special report cells:
// - an "Indexed" cell as a badge: "Yes" is a filled badge with white text,
//   any other text an empty badge with grey text;
// - a bounce-rate cell as a bar filled to the cell's percentage (the model's
//   PercentFractionRole), captioned with the percentage, one decimal, in the
//   user's number format. The fraction is not limited: above 100% the bar
//   runs past the cell. An empty cell (a row not answered) is the bare
//   track, and a text that is not a number the track with that text: neither
//   reads as a rate of 0%.
// With a desktop style that draws its own progress bars (a native theme) the
// badge and the bar are that style's progress-bar track and fill; otherwise
// they are flat rounded rectangles, track #EBEBEB and fill #84C1FF.
//
// Which cells it draws is the model's CellDrawingRole; any other cell gets
// the ordinary drawing. The views set it only on the columns that need it,
// so the ordinary cells pay nothing for it.
class ReportCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr QRgb TrackColour = 0xFFEBEBEB;
    static constexpr QRgb FillColour = 0xFF84C1FF;

    explicit ReportCellDelegate(QObject *parent = nullptr);

    // Themed: the style's progress bar; otherwise the flat colours. Starts
    // from styleIsThemed() of the application's style.
    bool themed() const { return m_themed; }
    void setThemed(bool themed) { m_themed = themed; }
    // Qt's own styles (Fusion, Windows classic) have no platform theme to
    // follow; every other style is taken as the desktop's native look.
    static bool styleIsThemed(const QStyle *style);

    // The bar's caption: a space, the percentage with one decimal in the
    // locale's format (no group separators) and "%", e.g. " 42.5%".
    static QString percentCaption(double fraction, const QLocale &locale = QLocale());

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void paintStatus(QPainter *painter, const QStyleOptionViewItem &option, const QString &text) const;
    void paintPercent(QPainter *painter, const QStyleOptionViewItem &option, double fraction) const;
    // The track alone, captioned with the cell's own text (empty: none).
    void paintBareTrack(QPainter *painter, const QStyleOptionViewItem &option, const QString &text) const;
    void paintCaption(QPainter *painter, const QStyleOptionViewItem &option, const QRect &rect, const QString &text,
                      const QColor &colour) const;
    // The table's font at a pixel size whose line height fills the given
    // height. Cached: all cells of a table share their height.
    const QFont &captionFont(const QFont &base, int height) const;

    bool m_themed;
    mutable QFont m_cachedFont;
    mutable QFont m_cachedBase;
    mutable int m_cachedHeight = -1;
};

} // namespace veltrano
