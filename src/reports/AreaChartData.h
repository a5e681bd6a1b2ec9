#pragma once

#include <QString>

#include <algorithm>
#include <vector>

namespace veltrano {

// What the area chart of a keyword window shows for one query: its title
// and one value per day or week, as read from the service's answer.
struct AreaChartData {
    struct Point {
        QString label; // the day or week the value belongs to
        qint64 value = 0;
    };

    QString title;
    std::vector<Point> points; // in the order they are drawn
    // Why reading the answer stopped early; the points read before it stay.
    QString error;

    // The largest value, 0 without points (the axis scale starts from it).
    qint64 largestValue() const
    {
        qint64 largest = 0;
        for (const Point &p : points)
            largest = std::max(largest, p.value);
        return largest;
    }
};

} // namespace veltrano
