#include "reports/StatsChartData.h"

#include "reports/ReportTable.h"

#include <QLocale>

namespace veltrano {

namespace {

QString label(const char *format, int percent)
{
    return QString::fromLatin1(format).arg(percent);
}

} // namespace

QString StatsChartData::titleFor(ServiceId kind)
{
    return ServiceTable::of(kind).chart.title();
}

int StatsChartData::roundedPercent(int count, int total)
{
    if (total <= 0)
        return 0;
    const qint64 numerator = qint64(count) * 100;
    qint64 quotient = numerator / total;
    const qint64 twiceRemainder = (numerator % total) * 2;
    if (twiceRemainder > total || (twiceRemainder == total && quotient % 2 != 0))
        ++quotient;
    return int(quotient);
}

std::optional<double> StatsChartData::decimalNumber(QStringView text)
{
    const QString localeMark = QLocale().decimalPoint();
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    if (i == digitsStart)
        return std::nullopt;
    QString normalised = text.first(i).toString();
    if (i < text.size()) {
        const bool mark = text[i] == u'.' || (localeMark.size() == 1 && text[i] == localeMark[0]);
        if (!mark)
            return std::nullopt;
        const qsizetype fractionStart = ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        if (i == fractionStart || i != text.size())
            return std::nullopt;
        normalised += u'.' + text.sliced(fractionStart).toString();
    }
    bool ok = false;
    const double value = normalised.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

StatsChartData StatsChartData::compute(const ReportTable &table)
{
    return compute(table, ServiceTable::of(table.service()).chart);
}

StatsChartData StatsChartData::compute(const ReportTable &table, const ChartRule &rule)
{
    StatsChartData out;
    out.trafficMode = rule.isTraffic();
    const char *firstFormat = out.trafficMode ? "Traffic pages (%1%)" : "Indexed (%1%)";
    const char *secondFormat = out.trafficMode ? "Pages without traffic (%1%)" : "Not indexed (%1%)";

    // Only rows the last checks answered count: a row never answered, or
    // one whose request failed, has its cell empty and is neither indexed
    // nor not indexed (nor with or without traffic).
    const int rows = table.rowCount();
    int answered = 0;
    for (int r = 0; r < rows; ++r) {
        const QString &cell = table.cell(r, rule.column);
        if (cell.isEmpty())
            continue;
        ++answered;
        if (out.trafficMode) {
            const std::optional<double> value = decimalNumber(cell);
            ++out.values[value && *value > 5.0 ? 0 : 1];
        } else {
            ++out.values[cell == rule.reference ? 0 : 1];
        }
    }

    out.labels[0] = label(firstFormat, roundedPercent(out.values[0], answered));
    out.labels[1] = label(secondFormat, roundedPercent(out.values[1], answered));
    return out;
}

} // namespace veltrano
