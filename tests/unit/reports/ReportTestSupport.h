#pragma once

// Small stand-ins for the window's ports, shared by the report tests.

#include "app/ProgressReporter.h"
#include "app/UiPorts.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace veltrano::test {

inline QString fixture(const QString &name)
{
    return QStringLiteral(VELTRANO_FIXTURES_DIR "/reports/") + name;
}

class RecordingPrompt final : public MessagePrompt {
public:
    struct Shown {
        Icon icon;
        QString title;
        QString text;
    };
    void show(Icon icon, const QString &title, const QString &text) override { shown.push_back({icon, title, text}); }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &s : shown)
            out << s.text;
        return out;
    }
    std::vector<Shown> shown;
};

class RecordingProgress final : public ProgressReporter {
public:
    void setMaximum(int m) override { maximum = m; }
    void setPosition(int p) override { position = p; }
    int maximum = -1;
    int position = -1;
};

} // namespace veltrano::test
