#include "services/analytics/Ga4PageCheck.h"

#include "app/CheckContext.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsCheck.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsDescriptor.h"
#include "services/analytics/Ga4Client.h"
#include "services/google/GoogleRowRefusal.h"
#include "services/shared/SiteRows.h"

#include <array>
#include <cmath>

namespace veltrano {

namespace {

enum Column { Users, PageViews, Sessions, Duration, PagesPerSession, BounceRate };

const GoogleRowRefusal kRefusal(QStringLiteral("Google Analytics"));

// A metric value as GA4 writes it: a decimal text with "." whatever the
// locale.
std::optional<double> decimal(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || text.trimmed() != text)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> Ga4PageCheck::cellText(int column, const QString &value)
{
    const std::optional<double> number = decimal(value);
    if (!number)
        return std::nullopt;
    switch (column) {
    case Duration:
        if (*number < 0)
            return std::nullopt;
        return AnalyticsCheck::durationText(*number);
    case PagesPerSession:
        return NumberText::fixed(*number, 1);
    case BounceRate:
        return NumberText::fixed(*number * 100, 1);
    default:
        return value;
    }
}

QStringList Ga4PageCheck::noVisitCells()
{
    QStringList cells;
    for (int column = 0; column < kCellCount; ++column)
        cells << *cellText(column, QStringLiteral("0"));
    return cells;
}

namespace {

QString remaining(const JsonValue *quota, const char *name)
{
    const JsonValue *status = quota->member(QLatin1String(name));
    if (!status || !status->isObject())
        return QStringLiteral("?");
    // Google leaves a member out when it is zero: a status without
    // "remaining" has nothing left.
    const JsonValue *left = status->member("remaining");
    if (!left)
        return QStringLiteral("0");
    return left->isNumber() || left->isString() ? left->text(QLocale::c()) : QStringLiteral("?");
}

} // namespace

int Ga4PageCheck::columnOf(QStringView metric)
{
    for (int i = 0; i < kCellCount; ++i) {
        if (metric == Ga4Client::kMetrics[i])
            return i;
    }
    return -1;
}

Ga4PageCheck::PageFilter Ga4PageCheck::pageFilter(const QString &pageUrl)
{
    QString path = AnalyticsClient::pagePath(pageUrl);
    if (const qsizetype hash = path.indexOf(QLatin1Char('#')); hash >= 0)
        path.truncate(hash);
    if (path.contains(QLatin1Char('?')))
        return {QStringLiteral("pagePathPlusQueryString"), path};
    return {QStringLiteral("pagePath"), path};
}

std::variant<QStringList, QString> Ga4PageCheck::reportCells(const JsonValue &answer)
{
    const JsonValue *headers = answer.member("metricHeaders");
    if (!headers || !headers->isArray())
        return valueNotFound(QStringLiteral("metricHeaders")).message();
    const JsonValue *rows = answer.member("rows");
    if (rows && !rows->isArray())
        return valueNotFound(QStringLiteral("rows")).message();

    // Which column each header's values go to.
    std::vector<int> columns;
    columns.reserve(size_t(headers->size()));
    for (const JsonValue &header : *headers) {
        const JsonValue *name = header.member("name");
        columns.push_back(name && name->isString() ? columnOf(name->text()) : -1);
    }

    QStringList cells(kCellCount, QString());
    if (!rows || rows->size() == 0) {
        // No visit in the period: the figures of a page nobody opened.
        for (int column = 0; column < kCellCount; ++column) {
            if (std::find(columns.begin(), columns.end(), column) != columns.end())
                cells[column] = *cellText(column, QStringLiteral("0"));
        }
        return cells;
    }
    // Without dimensions the report has one row: the page's totals.
    const JsonValue *values = rows->at(0).member("metricValues");
    if (!values || !values->isArray() || values->size() != qsizetype(columns.size()))
        return QStringLiteral("The report's metric values do not match its metric headers");
    for (size_t i = 0; i < columns.size(); ++i) {
        const int column = columns[i];
        if (column < 0)
            continue;
        const JsonValue *value = values->at(qsizetype(i)).member("value");
        const QString text = value && (value->isString() || value->isNumber()) ? value->text(QLocale::c()) : QString();
        const std::optional<QString> cell = cellText(column, text);
        if (!cell)
            return QStringLiteral("'%1' is not a valid number for %2").arg(text, Ga4Client::kMetrics[column]);
        cells[column] = *cell;
    }
    return cells;
}

std::optional<QString> Ga4PageCheck::quotaLine(const JsonValue &answer)
{
    const JsonValue *quota = answer.member("propertyQuota");
    if (!quota || !quota->isObject())
        return std::nullopt;
    return QStringLiteral("Google Analytics 4 quota left: %1 tokens this hour, %2 today")
        .arg(remaining(quota, "tokensPerHour"), remaining(quota, "tokensPerDay"));
}

void Ga4PageCheck::run(CheckContext &context, ReportTable &table, const Request &request)
{
    const int rows = table.rowCount();
    if (rows == 0)
        return;
    RequestTrace &trace = m_client.exchange().trace();
    // A continued run takes only the rows the last one did not answer.
    const std::vector<int> taken = everyRowToCheck(context, table);
    context.setProgressMaximum(int(taken.size()));

    // The quota as the last answer left it, logged once when the run ends,
    // also when a refusal ends it.
    struct QuotaReport {
        CheckContext &context;
        std::optional<QString> line;
        ~QuotaReport()
        {
            if (line)
                context.addToLog(*line);
        }
    } quota{context, std::nullopt};

    context.forEachRow(int(taken.size()), kGa4Requests, [&](int index) {
        const int row = taken[size_t(index)];
        const PageFilter filter = pageFilter(table.url(row));
        return RowWork::of(
            [this, &trace, token = request.token(), propertyId = request.propertyId, from = request.from,
             to = request.to, filter] {
                ExchangeResult answer = m_client.runReport(token, propertyId, from, to, filter.fieldName, filter.value);
                serviceanswer::trace(trace, answer);
                return answer;
            },
            [&context, &table, &quota, row, rows](const ExchangeResult &answer) {
                const JsonDocument doc = JsonDocument::parse(answer.body);
                std::optional<GoogleError> error = GoogleError::of(answer, doc);
                if (!error) {
                    if (std::optional<QString> line = quotaLine(doc.root()))
                        quota.line = std::move(line);
                    auto cells = reportCells(doc.root());
                    if (auto *list = std::get_if<QStringList>(&cells)) {
                        table.setRowCells(row, *list);
                        return CheckContext::RowStep::Next;
                    }
                    error = GoogleError{QString::number(answer.status), QString(), std::get<QString>(cells)};
                }
                kRefusal.handle(context, table, row, rows, *error);
                return CheckContext::RowStep::Next;
            });
    });
}

} // namespace veltrano
