#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace veltrano {

class ClipboardWriter;
class MarqueeProgressBar;

// "Connecting...": the small window shown while a sign-in in the browser is
// pending. It does not block the main window. It always shows the sign-in
// address with a "Copy link" button, so the sign-in can be finished in a
// browser that did not open by itself, and says at once when no browser
// could be started.
//
// Closing it ("Cancel", Escape or the close box) cancels the sign-in: it
// emits cancelled(), and a browser that comes back later is refused.
class WaitDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 371;
    static constexpr int ClientHeight = 160;

    explicit WaitDialog(QWidget *parent = nullptr);

    // Where "Copy link" puts the address; without one the button only
    // selects the address for the user to copy.
    void setClipboard(ClipboardWriter *clipboard) { m_clipboard = clipboard; }

    // Shows the window centred on the screen with the sign-in address; a
    // shown window stays where it is and takes the new address.
    // browserOpened false: says at once that the browser could not be
    // opened and that the link can be copied.
    void showWaiting(const QString &address, bool browserOpened);

    // The sign-in completed: closes the window without cancelling anything.
    void closeCompleted();

    QString address() const;
    MarqueeProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }
    QLineEdit *addressField() const { return m_address; }
    QPushButton *copyLinkButton() const { return m_copyLink; }
    QLabel *statusLabel() const { return m_status; }

Q_SIGNALS:
    // The user closed the window while the sign-in was pending.
    void cancelled();

public Q_SLOTS:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void centreOnScreen();
    void copyLink();
    void setStatus(const QString &text, bool problem);

    QLabel *m_picture = nullptr;
    QLabel *m_text = nullptr;
    MarqueeProgressBar *m_progress = nullptr;
    QLineEdit *m_address = nullptr;
    QPushButton *m_copyLink = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_cancel = nullptr;
    ClipboardWriter *m_clipboard = nullptr;
    bool m_completing = false;
};

} // namespace veltrano
