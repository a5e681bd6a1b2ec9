#include "ui/widgets/MarqueeProgressBar.h"

#include <QPainter>
#include <QStyleOptionProgressBar>

namespace veltrano {

namespace {
// Pixels the block moves per animation step.
constexpr int StepPixels = 3;
} // namespace

MarqueeProgressBar::MarqueeProgressBar(QWidget *parent) : QProgressBar(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MarqueeProgressBar::advance);
}

void MarqueeProgressBar::setMarquee(bool on)
{
    if (on == m_marquee)
        return;
    m_marquee = on;
    if (on) {
        setCanMarquee(true);
        startAnimation();
    } else {
        m_timer.stop();
        update();
    }
}

void MarqueeProgressBar::setMarqueeDelay(int milliseconds)
{
    if (milliseconds <= 0 || milliseconds == m_marqueeDelay)
        return;
    m_marqueeDelay = milliseconds;
    if (m_timer.isActive())
        m_timer.start(m_marqueeDelay);
}

void MarqueeProgressBar::setCanMarquee(bool on)
{
    if (on == m_canMarquee)
        return;
    m_canMarquee = on;
    setTextVisible(!on);
    if (!on)
        m_timer.stop();
    else if (m_marquee)
        startAnimation();
    update();
}

void MarqueeProgressBar::startAnimation()
{
    if (!m_canMarquee)
        return;
    m_timer.start(m_marqueeDelay);
}

int MarqueeProgressBar::blockWidth() const
{
    return qMax(12, width() / 4);
}

void MarqueeProgressBar::advance()
{
    // The block enters at the left edge, crosses the track and leaves on the
    // right before it starts over.
    m_offset += StepPixels;
    if (m_offset > width())
        m_offset = -blockWidth();
    update();
}

void MarqueeProgressBar::paintEvent(QPaintEvent *event)
{
    if (!m_canMarquee) {
        QProgressBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.minimum = 0;
    option.maximum = 1;
    option.progress = 0;
    option.textVisible = false;
    style()->drawControl(QStyle::CE_ProgressBarGroove, &option, &painter, this);
    if (!m_marquee)
        return;
    const QRect track = style()->subElementRect(QStyle::SE_ProgressBarContents, &option, this);
    QRect block(track.left() + m_offset, track.top(), blockWidth(), track.height());
    painter.setClipRect(track);
    painter.fillRect(block, palette().color(QPalette::Highlight));
}

} // namespace veltrano
