#include "auth/GeneralSettings.h"

#include "auth/SettingsFile.h"

#include <algorithm>

namespace veltrano {

GeneralSettings GeneralSettings::load(const SettingsFile &file)
{
    GeneralSettings loaded;
    if (!file.exists())
        return loaded;
    loaded.requestDelay = clampRequestDelay(
        file.readInt(settings::GeneralSection, settings::RequestDelayKey, DefaultRequestDelay));
    loaded.importNoClear = file.readBool(settings::GeneralSection, settings::ImportNoClearKey, false);
    loaded.parallelRequests = clampParallelRequests(
        file.readInt(settings::GeneralSection, settings::ParallelRequestsKey, DefaultParallelRequests));
    return loaded;
}

void GeneralSettings::save(SettingsFile &file) const
{
    file.writeInt(settings::GeneralSection, settings::RequestDelayKey, clampRequestDelay(requestDelay));
    file.writeBool(settings::GeneralSection, settings::ImportNoClearKey, importNoClear);
    // A file that never had another value than one request at a time stays
    // as it always was written.
    const int parallel = clampParallelRequests(parallelRequests);
    if (parallel != DefaultParallelRequests ||
        file.keys(settings::GeneralSection).contains(settings::ParallelRequestsKey, Qt::CaseInsensitive))
        file.writeInt(settings::GeneralSection, settings::ParallelRequestsKey, parallel);
}

int GeneralSettings::clampRequestDelay(int delay)
{
    return std::clamp(delay, MinRequestDelay, MaxRequestDelay);
}

int GeneralSettings::clampParallelRequests(int requests)
{
    return std::clamp(requests, MinParallelRequests, MaxParallelRequests);
}

int GeneralSettings::requestDelayFromText(const QString &fieldText)
{
    const std::optional<int> delay = SettingsFile::parseWholeNumber(fieldText);
    return delay ? clampRequestDelay(*delay) : MinRequestDelay;
}

} // namespace veltrano
