#pragma once

#include <QProgressBar>
#include <QTimer>

namespace veltrano {

// A progress bar that can also run as an indeterminate ("marquee") bar: a
// block that travels along the track while the length of the work is unknown.
// The wait dialog uses it while a sign-in is pending.
//
// - Marquee: switching it on first makes the bar a marquee bar (CanMarquee),
//   then starts the animation at the current MarqueeDelay; switching it off
//   stops the animation. Setting the value it already has does nothing.
// - MarqueeDelay: milliseconds per animation step (20 at start). A value of 0
//   or less, or the current value, is ignored; a new value restarts a running
//   animation at the new pace.
// - CanMarquee: whether the bar is drawn as a marquee bar at all. Switching it
//   off shows the ordinary determinate bar again and stops the animation;
//   switching it back on resumes the animation when Marquee is on.
class MarqueeProgressBar final : public QProgressBar {
    Q_OBJECT
    Q_PROPERTY(bool Marquee READ marquee WRITE setMarquee)
    Q_PROPERTY(int MarqueeDelay READ marqueeDelay WRITE setMarqueeDelay)
    Q_PROPERTY(bool CanMarquee READ canMarquee WRITE setCanMarquee)
public:
    static constexpr int DefaultMarqueeDelay = 20;

    explicit MarqueeProgressBar(QWidget *parent = nullptr);

    bool marquee() const { return m_marquee; }
    void setMarquee(bool on);

    int marqueeDelay() const { return m_marqueeDelay; }
    void setMarqueeDelay(int milliseconds);

    bool canMarquee() const { return m_canMarquee; }
    void setCanMarquee(bool on);

    // Whether the travelling block is moving, and the pace of its timer.
    bool isAnimating() const { return m_timer.isActive(); }
    int animationInterval() const { return m_timer.interval(); }
    // Left edge of the travelling block, in pixels from the track's start.
    int marqueeOffset() const { return m_offset; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void startAnimation();
    void advance();
    int blockWidth() const;

    QTimer m_timer;
    bool m_marquee = false;
    bool m_canMarquee = false;
    int m_marqueeDelay = DefaultMarqueeDelay;
    int m_offset = 0;
};

} // namespace veltrano
