#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace veltrano {

// The core never opens a window. What it needs from the desktop reaches it
// through these small interfaces; the gui library implements them with
// widgets and the tests replace them.

// Keeps the window alive while the core waits or loops.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles pending user-interface events (clicks included). Check loops
    // call it once per step.
    virtual void processPendingEvents() = 0;
    // Repaints and handles timers but holds user input back. Called
    // repeatedly while a single service request is in flight.
    virtual void keepPainting() = 0;
    // Waits for duration while the windows repaint and handle input as
    // between the steps of a loop; returns as soon as stopEarly (when given)
    // says so. A loop that paces its requests waits here, never in a sleep
    // that freezes the window. This fallback polls every 10 ms; the window's
    // pump waits in its event loop instead.
    virtual void pause(std::chrono::milliseconds duration, const std::function<bool()> &stopEarly)
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + duration;
        for (;;) {
            processPendingEvents();
            if (stopEarly && stopEarly())
                return;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= std::chrono::milliseconds::zero())
                return;
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
        }
    }
};

// Modal message boxes: a message with one OK button, or a question the user
// answers Yes or No before something is lost.
class MessagePrompt {
public:
    enum class Icon { None, Information, Warning, Error }; // None: a plain message
    virtual ~MessagePrompt() = default;
    virtual void show(Icon icon, const QString &title, const QString &text) = 0;
    // True when the user answered Yes; No, or closing the box, is false.
    virtual bool ask(const QString &title, const QString &text) = 0;
    // A question with several answers, one button each; returns the index
    // of the chosen one. The last answer is the one that changes nothing
    // ("Cancel"): closing the box chooses it. This fallback asks Yes (the
    // first answer) or No (the last).
    virtual int choose(const QString &title, const QString &text, const QStringList &answers)
    {
        return ask(title, text) ? 0 : int(answers.size()) - 1;
    }
};

// Opens an address in the user's default web browser.
class BrowserOpener {
public:
    virtual ~BrowserOpener() = default;
    // Failures are silent: for pages the user may do without.
    virtual void open(const QString &url) = 0;
    // Opens the address and tells whether a browser could be started, for a
    // caller that has to say so when none was (the sign-in). An opener that
    // cannot tell reports success.
    virtual bool openReporting(const QString &url)
    {
        open(url);
        return true;
    }
};

} // namespace veltrano
