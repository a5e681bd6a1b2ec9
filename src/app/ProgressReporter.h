#pragma once

#include <QString>

namespace veltrano {

// The run progress bar below the report tabs, as the core sees it. Check
// runs and the sitemap import set its maximum and move its position; the
// window shows them.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    // A wait before a request is tried again ("Waiting 4 s before try
    // 2/5"); an empty note: the wait is over.
    virtual void showWaiting(const QString &note) { (void)note; }
};

} // namespace veltrano
