#pragma once

// Stand-ins for the program's ports that record what they were asked, shared
// by the unit and the end-to-end tests.

#include "app/ProgressReporter.h"
#include "app/UiPorts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace veltrano::testing {

// Message boxes: every one shown, in order, and every question asked with
// the answer the test chose (Yes unless it set answer to false).
struct RecordingPrompt final : MessagePrompt {
    struct Shown {
        Icon icon;
        QString title;
        QString text;
    };
    QList<Shown> shown;
    QStringList texts;
    QList<Icon> icons;
    // Runs while the message is "on screen", before show() returns.
    std::function<void()> whileShown;

    void show(Icon icon, const QString &title, const QString &text) override
    {
        shown.append({icon, title, text});
        texts << text;
        icons << icon;
        if (whileShown)
            whileShown();
    }

    QList<Shown> asked;
    bool answer = true;
    // Runs while the question is "on screen", before ask() returns.
    std::function<void()> whileAsked;

    bool ask(const QString &title, const QString &text) override
    {
        asked.append({Icon::None, title, text});
        if (whileAsked)
            whileAsked();
        return answer;
    }

    // Choices: recorded with the questions; the answer is `choice` (the
    // first answer unless the test sets another).
    int choice = 0;
    int choose(const QString &title, const QString &text, const QStringList &answers) override
    {
        asked.append({Icon::None, title, text});
        chosenFrom << answers;
        if (whileAsked)
            whileAsked();
        return choice;
    }
    QList<QStringList> chosenFrom;
};

// The default browser: the addresses it was asked to open. available
// false: a desktop without a browser, where opening reports failure (the
// address is still recorded, as the user would still have it).
struct RecordingBrowser final : BrowserOpener {
    QStringList opened;
    bool available = true;
    void open(const QString &url) override { opened << url; }
    bool openReporting(const QString &url) override
    {
        opened << url;
        return available;
    }
};

// The window's events during a loop: counts the loop's steps and runs
// onCall at each, so a test can act at a chosen row.
struct HookedEvents : EventPump {
    std::function<void(int call)> onCall;
    int calls = 0;
    void processPendingEvents() override
    {
        ++calls;
        if (onCall)
            onCall(calls);
    }
    void keepPainting() override {}
};

// The run progress bar: where it stands.
struct RecordingProgress final : ProgressReporter {
    int maximum = -1;
    int position = -1;
    void setMaximum(int m) override { maximum = m; }
    void setPosition(int p) override { position = p; }
};

} // namespace veltrano::testing
