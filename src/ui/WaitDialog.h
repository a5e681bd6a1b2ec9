#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace veltrano {

class ExProgressBar;

// "Connecting...": the small window shown while a sign-in in the browser is
// pending. It does not block the main window. Closing it ("Cancel", Escape
// or the close box) only hides it: the sign-in itself goes on and is still
// stored when the browser comes back later.
class WaitDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 371;
    static constexpr int ClientHeight = 92;

    explicit WaitDialog(QWidget *parent = nullptr);

    // Shows the window centred on the screen; a shown window stays as it is.
    void showWaiting();

    ExProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void centreOnScreen();

    QLabel *m_picture = nullptr;
    QLabel *m_text = nullptr;
    ExProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace veltrano
