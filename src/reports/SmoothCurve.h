#pragma once

#include <QList>
#include <QPointF>

namespace veltrano {

// The smooth curve an area chart draws through its points, ordered by x:
// a monotone cubic through every point, sampled `samplesPerStretch` times
// from one point to the next (the points themselves included).
//
// Between two neighbouring points the curve stays within their two values:
// it never dips below zero between two quiet days and never rises above the
// largest value, which the value axis' headroom is measured from. With fewer
// than two points, or one sample per stretch, the points come back as they
// are.
QList<QPointF> smoothCurve(const QList<QPointF> &points, int samplesPerStretch);

} // namespace veltrano
