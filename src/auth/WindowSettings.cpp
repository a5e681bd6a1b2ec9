#include "auth/WindowSettings.h"

#include "auth/SettingsFile.h"

namespace veltrano {

WindowSettings WindowSettings::load(const SettingsFile &file)
{
    WindowSettings loaded;
    const auto number = [&file](QLatin1String key) {
        return SettingsFile::parseWholeNumber(file.readString(settings::WindowSection, key));
    };
    const std::optional<int> left = number(settings::WindowLeftKey);
    const std::optional<int> top = number(settings::WindowTopKey);
    const std::optional<int> width = number(settings::WindowWidthKey);
    const std::optional<int> height = number(settings::WindowHeightKey);
    const auto sizeFits = [](int size) { return size >= MinimumSize && size <= MaximumSize; };
    if (left && top && width && height && sizeFits(*width) && sizeFits(*height))
        loaded.geometry = QRect(*left, *top, *width, *height);
    loaded.maximized = file.readBool(settings::WindowSection, settings::WindowMaximizedKey, false);
    return loaded;
}

void WindowSettings::save(SettingsFile &file) const
{
    if (geometry) {
        file.writeInt(settings::WindowSection, settings::WindowLeftKey, geometry->left());
        file.writeInt(settings::WindowSection, settings::WindowTopKey, geometry->top());
        file.writeInt(settings::WindowSection, settings::WindowWidthKey, geometry->width());
        file.writeInt(settings::WindowSection, settings::WindowHeightKey, geometry->height());
    }
    file.writeBool(settings::WindowSection, settings::WindowMaximizedKey, maximized);
}

QString WindowSettings::exportFolder(const SettingsFile &file)
{
    return file.readString(settings::WindowSection, settings::ExportFolderKey);
}

void WindowSettings::saveExportFolder(SettingsFile &file, const QString &folder)
{
    file.writeString(settings::WindowSection, settings::ExportFolderKey, folder);
}

} // namespace veltrano
