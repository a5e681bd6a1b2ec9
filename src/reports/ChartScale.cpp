#include "reports/ChartScale.h"

#include <algorithm>
#include <cmath>

namespace veltrano {

ChartScale ChartScale::fitting(qint64 largestValue)
{
    // Tops of 1, 1.2, 1.5 ... 8 times a power of ten, each with a number of
    // intervals that divides it into whole steps from 10 up; below 10 only
    // 6 and 8 can be chosen, which divide into whole steps too.
    struct Top {
        double mantissa;
        int intervals;
    };
    static constexpr Top Tops[] = {{1, 5}, {1.2, 6}, {1.5, 5}, {2, 4}, {2.5, 5},
                                   {3, 6}, {4, 4},   {5, 5},   {6, 6}, {8, 4}};
    const double wanted = double(largestValue) * 1.1;
    if (wanted <= 5)
        return {};
    for (double power = 1;; power *= 10) {
        for (const Top &top : Tops) {
            const double maximum = top.mantissa * power;
            if (maximum >= wanted)
                return {qint64(std::llround(maximum)), top.intervals + 1};
        }
    }
}

std::vector<int> ChartScale::labelledPoints(int count, int wanted)
{
    std::vector<int> points;
    const int labels = std::clamp(wanted, 0, std::max(count, 0));
    points.reserve(size_t(labels));
    for (int k = 0; k < labels; ++k)
        points.push_back(int((qint64(2 * k + 1) * count) / (2 * labels)));
    return points;
}

} // namespace veltrano
