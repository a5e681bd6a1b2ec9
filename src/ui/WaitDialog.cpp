#include "ui/WaitDialog.h"

#include "ui/ExProgressBar.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace veltrano {

namespace {

constexpr int PictureSize = 49;

// A globe with a connecting arc: the picture at the left of the window.
QPixmap connectingPicture(qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(PictureSize, PictureSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF globe(4.5, 4.5, 40, 40);
    p.setPen(QPen(QColor(0x2F, 0x6F, 0xB5), 2));
    p.setBrush(QColor(0xDD, 0xEB, 0xF8));
    p.drawEllipse(globe);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x2F, 0x6F, 0xB5), 1.5));
    p.drawEllipse(QRectF(16.5, 4.5, 16, 40));
    p.drawLine(QPointF(4.5, 24.5), QPointF(44.5, 24.5));
    p.drawLine(QPointF(8.5, 14.5), QPointF(40.5, 14.5));
    p.drawLine(QPointF(8.5, 34.5), QPointF(40.5, 34.5));
    p.setPen(QPen(QColor(0x53, 0xA4, 0x0C), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(1.5, 1.5, 46, 46), 30 * 16, 120 * 16);
    return pixmap;
}

} // namespace

WaitDialog::WaitDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ShowWaitLoader"));
    setWindowTitle(QStringLiteral("Connecting..."));
    setModal(false);
    setFixedSize(ClientWidth, ClientHeight);

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("Image1"));
    m_picture->setGeometry(12, 12, PictureSize, PictureSize);
    m_picture->setPixmap(connectingPicture(devicePixelRatioF()));

    m_text = new QLabel(QStringLiteral("Please wait while connecting..."), this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setGeometry(76, 12, ClientWidth - 76 - 12, 18);

    m_progress = new ExProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setGeometry(76, 36, ClientWidth - 76 - 12, 16);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Button1"));
    m_cancel->setAutoDefault(false);
    m_cancel->setGeometry(ClientWidth - 12 - 80, ClientHeight - 8 - 26, 80, 26);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
}

void WaitDialog::showWaiting()
{
    if (isVisible())
        return;
    centreOnScreen();
    show();
}

void WaitDialog::centreOnScreen()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void WaitDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_progress->setMarquee(true);
}

void WaitDialog::hideEvent(QHideEvent *event)
{
    // Nothing animates behind a hidden window; the next show starts it again.
    m_progress->setMarquee(false);
    QDialog::hideEvent(event);
}

void WaitDialog::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyReleaseEvent(event);
}

} // namespace veltrano
