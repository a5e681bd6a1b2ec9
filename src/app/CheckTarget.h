#pragma once

namespace veltrano {

// The report table a check walks, as the run frame sees it: how many rows
// the progress bar counts, and a lock that keeps imports, deletes and sorts
// away from the rows while the check addresses them by position.
class CheckTarget {
public:
    virtual ~CheckTarget() = default;
    virtual int checkRowCount() const = 0;
    virtual void setCheckRunning(bool running) = 0;
};

} // namespace veltrano
