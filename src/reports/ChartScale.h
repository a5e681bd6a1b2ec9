#pragma once

#include <QtGlobal>

#include <vector>

namespace veltrano {

// The axes of an area chart, worked out from its values alone.
//
// The value axis runs from 0 to a round top at least a tenth above the
// largest value, so the curve never touches the frame, and never below 5;
// its ticks fall on whole numbers.
struct ChartScale {
    qint64 maximum = 5;
    int tickCount = 6;
    bool operator==(const ChartScale &) const = default;

    static ChartScale fitting(qint64 largestValue);

    // Which of `count` points name their category (a day, a week) on the
    // category axis: at most `wanted` of them, spread evenly, each in the
    // middle of its stretch of the axis so that no label is cut off at
    // either end. Ascending.
    static std::vector<int> labelledPoints(int count, int wanted);
};

} // namespace veltrano
