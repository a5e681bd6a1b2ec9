#pragma once

#include <QString>

namespace veltrano {

class SettingsFile;

// The general settings of the Settings page: "Delay between requests, ms:"
// (stored and restored only; no check run reads it), "Don't clear URL on
// import:" and "Parallel requests:" (how many page requests a check may have
// in flight at once, within each service's own limits; 1 asks one page after
// another). The main window loads them when it is first shown and saves them
// when it closes.
struct GeneralSettings final {
    static constexpr int MinRequestDelay = 1000;
    static constexpr int MaxRequestDelay = 10000;
    static constexpr int RequestDelayStep = 100;
    static constexpr int DefaultRequestDelay = 1300;

    static constexpr int MinParallelRequests = 1;
    static constexpr int MaxParallelRequests = 8;
    static constexpr int DefaultParallelRequests = 1;

    int requestDelay = DefaultRequestDelay;
    bool importNoClear = false;
    int parallelRequests = DefaultParallelRequests;

    // The stored settings; the defaults when the file does not exist. A delay
    // outside its range is brought to the nearer bound, one that is not a
    // whole number reads as the default; any whole number other than 0 turns
    // "import-no-clear" on. "parallel-requests" likewise: out of 1..8 to the
    // nearer bound, not a whole number (or missing) as 1.
    static GeneralSettings load(const SettingsFile &file);
    // Writes "req-predelay", then "import-no-clear" as "1" or "0", whether or
    // not they changed, then "parallel-requests" when it is not 1 or the file
    // already holds it, creating the file when it is missing. A refused write
    // raises VeltranoError.
    void save(SettingsFile &file) const;

    static int clampRequestDelay(int delay);
    static int clampParallelRequests(int requests);
    // The delay to store from the text of the delay field: a whole number
    // within the range, or the lower bound when the text is no whole number.
    static int requestDelayFromText(const QString &fieldText);

    bool operator==(const GeneralSettings &) const = default;
};

} // namespace veltrano
