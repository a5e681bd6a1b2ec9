#pragma once

#include <QRect>
#include <QString>

#include <optional>

namespace veltrano {

class SettingsFile;

// Where the main window was when it last closed, and the folder of the last
// CSV export, kept in their own section of the settings file so the next
// start opens where the user left off.
struct WindowSettings final {
    // The window's place and size without its frame, as it is when not
    // maximized; none when the file holds no usable one.
    std::optional<QRect> geometry;
    bool maximized = false;

    // A geometry reads only when all four numbers are whole numbers and the
    // size lies within MinimumSize and MaximumSize; anything else is none.
    static WindowSettings load(const SettingsFile &file);
    // Writes the four numbers and "maximized" as "1" or "0". A refused write
    // raises VeltranoError.
    void save(SettingsFile &file) const;

    // The folder of the last exported CSV file; empty when none was stored.
    static QString exportFolder(const SettingsFile &file);
    // A refused write raises VeltranoError.
    static void saveExportFolder(SettingsFile &file, const QString &folder);

    static constexpr int MinimumSize = 100;
    static constexpr int MaximumSize = 32767;
};

} // namespace veltrano
