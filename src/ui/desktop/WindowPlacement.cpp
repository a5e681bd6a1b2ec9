#include "ui/desktop/WindowPlacement.h"

#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace veltrano {

void placeCentredOver(QWidget &window, const QWidget &owner)
{
    // The window's own frame is known only once it has been shown; until
    // then it is taken to be as thick as the owner's, which the same desktop
    // draws.
    const auto marginsOf = [](const QWidget &w) {
        const QRect frame = w.frameGeometry();
        const QRect inner = w.geometry();
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                        frame.bottom() - inner.bottom());
    };
    QMargins margins = marginsOf(window);
    if (margins.isNull())
        margins = marginsOf(owner);
    QRect area =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(), owner.geometry()).marginsAdded(margins);
    if (const QScreen *screen = owner.screen()) {
        // Never partly off the screen the owner is on.
        const QRect available = screen->availableGeometry();
        area.moveLeft(std::clamp(area.left(), available.left(),
                                 std::max(available.left(), available.right() - area.width() + 1)));
        area.moveTop(
            std::clamp(area.top(), available.top(), std::max(available.top(), available.bottom() - area.height() + 1)));
    }
    window.setGeometry(area.marginsRemoved(margins));
}

} // namespace veltrano
