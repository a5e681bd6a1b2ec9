#include "ui/accounts/WaitDialog.h"

#include "ui/desktop/DesktopPorts.h"
#include "ui/widgets/MarqueeProgressBar.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace veltrano {

namespace {

constexpr int PictureSize = 49;
constexpr int Margin = 12;
constexpr int ButtonWidth = 80;
constexpr int ButtonHeight = 26;

const QString kBrowserOpened = QStringLiteral("Finish the sign-in in your web browser. If no browser page opened, "
                                              "copy the link and open it in a browser on this computer.");
const QString kBrowserFailed = QStringLiteral("The web browser could not be opened. Copy the link and open it in "
                                              "a browser on this computer to finish the sign-in.");
const QString kCopied = QStringLiteral("The link is on the clipboard: paste it into the address bar of a "
                                       "browser on this computer.");

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
    m_picture->setGeometry(Margin, Margin, PictureSize, PictureSize);
    m_picture->setPixmap(connectingPicture(devicePixelRatioF()));

    const int textLeft = 76;
    const int textWidth = ClientWidth - textLeft - Margin;
    m_text = new QLabel(QStringLiteral("Please wait while connecting..."), this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setGeometry(textLeft, Margin, textWidth, 18);

    m_progress = new MarqueeProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setGeometry(textLeft, 36, textWidth, 16);

    // The address in full: read-only, but it can be selected and scrolled.
    const int rowTop = 70;
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("edSignInAddress"));
    m_address->setReadOnly(true);
    m_address->setGeometry(Margin, rowTop, ClientWidth - 2 * Margin - ButtonWidth - 6, ButtonHeight);

    m_copyLink = new QPushButton(QStringLiteral("Copy link"), this);
    m_copyLink->setObjectName(QStringLiteral("btCopySignInLink"));
    m_copyLink->setAutoDefault(false);
    m_copyLink->setGeometry(ClientWidth - Margin - ButtonWidth, rowTop, ButtonWidth, ButtonHeight);
    connect(m_copyLink, &QPushButton::clicked, this, &WaitDialog::copyLink);

    const int cancelTop = ClientHeight - 8 - ButtonHeight;
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lbSignInStatus"));
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_status->setGeometry(Margin, rowTop + ButtonHeight + 6, ClientWidth - 2 * Margin - ButtonWidth - 8,
                          ClientHeight - 8 - (rowTop + ButtonHeight + 6));

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Button1"));
    m_cancel->setAutoDefault(false);
    m_cancel->setGeometry(ClientWidth - Margin - ButtonWidth, cancelTop, ButtonWidth, ButtonHeight);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
}

void WaitDialog::showWaiting(const QString &address, bool browserOpened)
{
    m_address->setText(address);
    m_address->setCursorPosition(0);
    m_address->setToolTip(address);
    setStatus(browserOpened ? kBrowserOpened : kBrowserFailed, !browserOpened);
    if (isVisible())
        return;
    centreOnScreen();
    show();
}

QString WaitDialog::address() const
{
    return m_address->text();
}

void WaitDialog::closeCompleted()
{
    m_completing = true;
    close();
    m_completing = false;
}

void WaitDialog::reject()
{
    // Every way of closing the window ends here: the button, Escape and the
    // close box through close(), a completed sign-in through closeCompleted().
    const bool wasVisible = isVisible();
    QDialog::reject();
    if (wasVisible && !m_completing)
        Q_EMIT cancelled();
}

void WaitDialog::copyLink()
{
    m_address->setFocus();
    m_address->selectAll();
    if (!m_clipboard)
        return;
    m_clipboard->setText(m_address->text());
    setStatus(kCopied, false);
}

void WaitDialog::setStatus(const QString &text, bool problem)
{
    m_status->setText(text);
    m_status->setStyleSheet(problem ? QStringLiteral("color: #C51E04;") : QString());
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
