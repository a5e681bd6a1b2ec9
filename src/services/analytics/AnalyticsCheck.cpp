#include "services/analytics/AnalyticsCheck.h"

#include "app/CheckContext.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "net/SiteScope.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsDescriptor.h"
#include "services/google/GoogleRowRefusal.h"
#include "services/shared/SiteRows.h"

#include <array>
#include <cmath>

namespace veltrano {

namespace {

enum Column { Users, PageViews, Sessions, Duration, PagesPerSession, BounceRate };

// A total as Google writes it: a decimal text with "." whatever the locale.
std::optional<double> decimal(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> AnalyticsCheck::cellText(int column, const QString &total)
{
    switch (column) {
    case Duration:
        if (const std::optional<double> seconds = decimal(total); seconds && *seconds >= 0)
            return AnalyticsCheck::durationText(*seconds);
        return std::nullopt;
    case PagesPerSession:
    case BounceRate:
        if (const std::optional<double> value = decimal(total))
            return NumberText::fixed(*value, 1);
        return std::nullopt;
    default:
        return total;
    }
}

QStringList AnalyticsCheck::noDataCells()
{
    QStringList cells;
    for (int column = 0; column < kCellCount; ++column)
        cells << cellText(column, QStringLiteral("0")).value_or(QString());
    return cells;
}

int AnalyticsCheck::columnOf(QStringView metric)
{
    static const std::array<QLatin1String, kCellCount> names = {
        QLatin1String("users"),    QLatin1String("pageviews"),           QLatin1String("sessions"),
        QLatin1String("avgsessionduration"), QLatin1String("pageviewspersession"), QLatin1String("bouncerate")};
    if (metric.startsWith(QLatin1String("ga:"), Qt::CaseInsensitive))
        metric = metric.mid(3);
    for (int i = 0; i < kCellCount; ++i) {
        if (metric.compare(names[size_t(i)], Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString AnalyticsCheck::durationText(double seconds)
{
    const long long whole = std::llround(seconds); // an exact half away from zero
    return QStringLiteral("%1:%2:%3").arg(whole / 3600).arg(whole % 3600 / 60).arg(whole % 60);
}

std::optional<QStringList> AnalyticsCheck::totalsCells(const JsonValue &answer)
{
    const JsonValue *headers = answer.member("columnHeaders");
    const JsonValue *totals = answer.member("totalsForAllResults");
    if (!headers || !headers->isArray() || !totals || !totals->isObject())
        return std::nullopt;

    QStringList cells(kCellCount, QString());
    for (const JsonValue &header : *headers) {
        const JsonValue *nameValue = header.member("name");
        if (!nameValue || !nameValue->isString())
            continue;
        const QString name = nameValue->text();
        const int column = columnOf(name);
        if (column < 0)
            continue;
        // The totals are keyed by the header's name; a key spelled in
        // another letter case is the same metric.
        const JsonValue *total = totals->member(name);
        if (!total) {
            for (const JsonValue &member : *totals) {
                if (member.key().compare(name, Qt::CaseInsensitive) == 0) {
                    total = &member;
                    break;
                }
            }
        }
        if (!total)
            continue;
        const std::optional<QString> text = cellText(column, total->text(QLocale::c()));
        if (!text)
            return std::nullopt;
        cells[column] = *text;
    }
    return cells;
}

namespace {
const GoogleRowRefusal kRefusal(QStringLiteral("Google Analytics"));
}

QString AnalyticsCheck::errorLine(const GoogleError &error)
{
    return kRefusal.line(error);
}

void AnalyticsCheck::run(CheckContext &context, ReportTable &table, const Request &request)
{
    const int rows = table.rowCount();
    if (rows == 0)
        return;
    // The analytics filter by path alone: a page of another site would get
    // the figures of this site's page with the same path.
    const std::vector<int> onSite = rowsOnSite(context, table, SiteScope::ofHost(request.websiteUrl));
    RequestTrace &trace = m_client.exchange().trace();
    context.setProgressMaximum(int(onSite.size()));

    context.forEachRow(int(onSite.size()), kAnalyticsV3Requests, [&](int index) {
        const int row = onSite[size_t(index)];
        const QString url =
            m_client.reportUrl(request.viewId, request.from, request.to, AnalyticsClient::pagePath(table.url(row)));
        return RowWork::of(
            [this, &trace, token = request.token(), url] {
                ExchangeResult answer = m_client.get(token, url);
                serviceanswer::trace(trace, answer);
                return answer;
            },
            [&context, &table, row, rows](const ExchangeResult &answer) {
                const JsonDocument doc = JsonDocument::parse(answer.body);
                std::optional<GoogleError> error = GoogleError::of(answer, doc);
                std::optional<QStringList> cells;
                if (!error) {
                    cells = totalsCells(doc.root());
                    if (!cells)
                        error = GoogleError{QString::number(answer.status), QString(),
                                            valueNotFound(QStringLiteral("totalsForAllResults")).message()};
                }
                if (error) {
                    kRefusal.handle(context, table, row, rows, *error);
                    return CheckContext::RowStep::Next;
                }
                table.setRowCells(row, *cells);
                return CheckContext::RowStep::Next;
            });
    });
}

} // namespace veltrano
