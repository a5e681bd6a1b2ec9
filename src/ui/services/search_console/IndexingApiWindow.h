#pragma once

#include <QDialog>

#include <functional>

class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace veltrano {

class MessagePrompt;
class RunControl;
struct IndexingNotification;

// "Indexation API": submits the selected Search Console pages to the Google
// Indexing API and lists the notifications Google accepted (ListViewInd:
// "URL", "Type", "Notify time"), with a ProgressBar of one step per page.
// Created once at start-up, hidden, and kept for the whole run.
//
// Showing the window clears the run's cancel flag, the list and the bar and
// starts Timer1; 50 ms later the timer clicks the hidden Button1 ("Submit
// for Indexation"), whose operation the Search Console side provides.
// Closing the window in any way raises the cancel flag, which ends a
// running submission after its current page.
class IndexingApiWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 620;
    static constexpr int ClientHeight = 400;
    static constexpr int TimerInterval = 50;

    struct Ports {
        RunControl *run = nullptr;       // the cancel flag
        MessagePrompt *prompt = nullptr; // where an error of the submission is shown
        std::function<void()> submit;    // Button1Click
    };

    explicit IndexingApiWindow(QWidget *parent = nullptr);

    void setPorts(Ports ports) { m_ports = std::move(ports); }

    // Centres the window over the main window and runs it modally.
    int showModally();

    // Timer1: started by showing the window, stopped by the submission.
    void stopTimer();
    bool timerActive() const;

    void clearRows();
    void addRow(const IndexingNotification &notification);
    int rowCount() const;
    QStringList rowTexts(int row) const;

    void setProgressMaximum(int maximum);
    void advanceProgress();

    QTreeWidget *list() const { return m_list; }
    QProgressBar *progressBar() const { return m_progress; }

public Q_SLOTS:
    // Every way of closing ends here: the close box, the system menu,
    // Escape and code.
    void done(int result) override;

protected:
    // FormShow.
    void showEvent(QShowEvent *event) override;

private:
    Ports m_ports;
    QTreeWidget *m_list = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_submitButton = nullptr;
    QTimer *m_timer = nullptr;
};

} // namespace veltrano
