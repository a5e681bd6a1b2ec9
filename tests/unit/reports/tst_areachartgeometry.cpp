// The geometry of the keyword windows' area chart, which depends on the
// values alone: the value axis' top and ticks, which points label the
// category axis, and the smooth curve through the points.

#include "reports/ChartScale.h"
#include "reports/SmoothCurve.h"

#include <QtTest>

#include <algorithm>

using namespace veltrano;

namespace {

QList<QPointF> pointsOf(const QList<double> &values)
{
    QList<QPointF> points;
    for (qsizetype i = 0; i < values.size(); ++i)
        points << QPointF(double(i), values[i]);
    return points;
}

} // namespace

class AreaChartGeometryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scale_data();
    void scale();
    void labelledPoints_data();
    void labelledPoints();
    void curveStaysBetweenNeighbours_data();
    void curveStaysBetweenNeighbours();
    void curveOfTooFewPointsIsThePoints();
};

void AreaChartGeometryTest::scale_data()
{
    QTest::addColumn<qint64>("largest");
    QTest::addColumn<qint64>("top");
    QTest::addColumn<int>("ticks");

    QTest::newRow("no points") << qint64(0) << qint64(5) << 6;
    QTest::newRow("small") << qint64(3) << qint64(5) << 6;
    QTest::newRow("just over five") << qint64(5) << qint64(6) << 7;
    QTest::newRow("just under ten") << qint64(9) << qint64(10) << 6;
    QTest::newRow("a round number needs headroom") << qint64(10) << qint64(12) << 7;
    QTest::newRow("thirty") << qint64(30) << qint64(40) << 5;
    QTest::newRow("a hundred, as a trend's peak") << qint64(100) << qint64(120) << 7;
    QTest::newRow("hundreds") << qint64(110) << qint64(150) << 6;
    QTest::newRow("thousands") << qint64(1234) << qint64(1500) << 6;
    QTest::newRow("to the next power") << qint64(8000) << qint64(10000) << 6;
    QTest::newRow("millions") << qint64(2300000) << qint64(3000000) << 7;
}

void AreaChartGeometryTest::scale()
{
    QFETCH(qint64, largest);
    QFETCH(qint64, top);
    QFETCH(int, ticks);
    const ChartScale scale = ChartScale::fitting(largest);
    QCOMPARE(scale.maximum, top);
    QCOMPARE(scale.tickCount, ticks);
    QCOMPARE(scale.maximum % (scale.tickCount - 1), 0); // whole-number ticks
    QVERIFY(double(scale.maximum) >= 1.1 * double(largest));
}

void AreaChartGeometryTest::labelledPoints_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<QList<int>>("points");

    QTest::newRow("no points") << 0 << 6 << QList<int>{};
    QTest::newRow("one point") << 1 << 6 << QList<int>{0};
    QTest::newRow("fewer points than labels") << 3 << 6 << QList<int>{0, 1, 2};
    QTest::newRow("as many points as labels") << 6 << 6 << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("twice as many") << 12 << 6 << QList<int>{1, 3, 5, 7, 9, 11};
    QTest::newRow("a year of days") << 361 << 6 << QList<int>{30, 90, 150, 210, 270, 330};
    QTest::newRow("five years of weeks") << 261 << 6 << QList<int>{21, 65, 108, 152, 195, 239};
    QTest::newRow("no labels wanted") << 10 << 0 << QList<int>{};
}

void AreaChartGeometryTest::labelledPoints()
{
    QFETCH(int, count);
    QFETCH(int, wanted);
    QFETCH(QList<int>, points);
    const std::vector<int> labelled = ChartScale::labelledPoints(count, wanted);
    QCOMPARE(QList<int>(labelled.begin(), labelled.end()), points);
}

void AreaChartGeometryTest::curveStaysBetweenNeighbours_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<int>("samples");

    QTest::newRow("a lone spike between quiet days") << QList<double>{0, 0, 100, 0, 0} << 16;
    QTest::newRow("a plateau, then a rise") << QList<double>{5, 5, 5, 6, 40} << 16;
    QTest::newRow("a steady rise") << QList<double>{1, 2, 4, 8, 16, 32} << 12;
    QTest::newRow("a zigzag") << QList<double>{3, 9, 1, 9, 0, 7} << 8;
    QTest::newRow("two points") << QList<double>{10, 2} << 16;
    QTest::newRow("a year sampled thinly") << QList<double>{0, 1, 0, 2, 50, 3, 0, 0, 1} << 3;
}

void AreaChartGeometryTest::curveStaysBetweenNeighbours()
{
    QFETCH(QList<double>, values);
    QFETCH(int, samples);
    const QList<QPointF> points = pointsOf(values);

    const QList<QPointF> curve = smoothCurve(points, samples);

    QCOMPARE(curve.size(), (points.size() - 1) * samples + 1);
    for (qsizetype i = 0; i < points.size(); ++i)
        QCOMPARE(curve[i * samples], points[i]); // through every point
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const double low = std::min(points[i].y(), points[i + 1].y());
        const double high = std::max(points[i].y(), points[i + 1].y());
        for (int s = 0; s <= samples; ++s) {
            const QPointF &p = curve[i * samples + s];
            QVERIFY2(p.y() >= low - 1e-9 && p.y() <= high + 1e-9,
                     qPrintable(QStringLiteral("(%1, %2) outside %3..%4").arg(p.x()).arg(p.y()).arg(low).arg(high)));
            if (s > 0) {
                const QPointF &before = curve[i * samples + s - 1];
                QVERIFY(p.x() > before.x());
                // Rising stretches rise throughout, falling ones fall.
                QVERIFY((p.y() - before.y()) * (points[i + 1].y() - points[i].y()) >= -1e-9);
            }
        }
    }
}

void AreaChartGeometryTest::curveOfTooFewPointsIsThePoints()
{
    QCOMPARE(smoothCurve({}, 16), QList<QPointF>{});
    QCOMPARE(smoothCurve({QPointF(0, 7)}, 16), QList<QPointF>{QPointF(0, 7)});
    const QList<QPointF> points = pointsOf({4, 1, 9});
    QCOMPARE(smoothCurve(points, 1), points);
}

QTEST_GUILESS_MAIN(AreaChartGeometryTest)
#include "tst_areachartgeometry.moc"
