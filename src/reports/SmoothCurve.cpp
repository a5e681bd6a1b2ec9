#include "reports/SmoothCurve.h"

#include <vector>

namespace veltrano {

QList<QPointF> smoothCurve(const QList<QPointF> &points, int samplesPerStretch)
{
    const qsizetype n = points.size();
    if (n < 2 || samplesPerStretch <= 1)
        return points;

    // Slopes of the stretches, then one tangent per point: the weighted
    // harmonic mean of the slopes on either side (Fritsch and Butland),
    // flat where the curve turns or levels off. Such tangents keep each
    // cubic piece between the values of its two ends.
    std::vector<double> width(size_t(n - 1));
    std::vector<double> slope(size_t(n - 1));
    for (qsizetype i = 0; i + 1 < n; ++i) {
        width[size_t(i)] = points[i + 1].x() - points[i].x();
        slope[size_t(i)] = width[size_t(i)] > 0 ? (points[i + 1].y() - points[i].y()) / width[size_t(i)] : 0.0;
    }
    std::vector<double> tangent(size_t(n), 0.0);
    // The two outer points follow the one stretch they end.
    tangent.front() = slope.front();
    tangent.back() = slope.back();
    for (size_t i = 1; i + 1 < size_t(n); ++i) {
        const double before = slope[i - 1];
        const double after = slope[i];
        if (before * after <= 0)
            continue; // a peak, a trough or a level stretch
        const double h0 = width[i - 1];
        const double h1 = width[i];
        tangent[i] = 3 * (h0 + h1) / ((2 * h1 + h0) / before + (h1 + 2 * h0) / after);
    }

    QList<QPointF> curve;
    curve.reserve((n - 1) * samplesPerStretch + 1);
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const QPointF &from = points[i];
        const QPointF &to = points[i + 1];
        const double h = width[size_t(i)];
        curve << from;
        for (int s = 1; s < samplesPerStretch; ++s) {
            const double t = double(s) / samplesPerStretch;
            const double t2 = t * t;
            const double t3 = t2 * t;
            const double y = (2 * t3 - 3 * t2 + 1) * from.y() + (t3 - 2 * t2 + t) * h * tangent[size_t(i)] +
                             (-2 * t3 + 3 * t2) * to.y() + (t3 - t2) * h * tangent[size_t(i + 1)];
            curve << QPointF(from.x() + t * h, y);
        }
    }
    curve << points.back();
    return curve;
}

} // namespace veltrano
