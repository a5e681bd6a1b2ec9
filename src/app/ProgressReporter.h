#pragma once

namespace veltrano {

// The run progress bar below the report tabs, as the core sees it. Check
// runs and the sitemap import set its maximum and move its position; the
// window shows them.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setPosition(int position) = 0;
};

} // namespace veltrano
