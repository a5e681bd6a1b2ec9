#include "services/analytics/AnalyticsChecks.h"

#include "app/ActivityLog.h"
#include "app/ReportingPeriod.h"
#include "app/VeltranoError.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/analytics/Ga4AccountSummaries.h"

namespace veltrano {

AnalyticsAccounts AnalyticsAccounts::fetch(AnalyticsClient &client, Ga4Client &ga4Client, const QString &token,
                                           RequestTrace &trace, ActivityLog &log)
{
    // Universal Analytics first; Google has switched it off, so an answer
    // that is no JSON at all counts as its refusal too.
    AnalyticsSummary summary;
    try {
        summary = AnalyticsSummary::fetch(client, token, trace);
    } catch (const VeltranoError &e) {
        summary.error = GoogleError{QString(), QString(), e.message()};
    }
    AnalyticsSummary ga4;
    bool ga4Unusable = false; // no Google answer at all, not a refusal in Google's words
    try {
        ga4 = Ga4AccountSummaries::fetch(ga4Client, token, trace);
    } catch (const VeltranoError &e) {
        ga4.error = GoogleError{QString(), QString(), e.message()};
        ga4Unusable = true;
    }
    const auto logRefusal = [&log](const char *api, const GoogleError &error) {
        log.addToLog(QLatin1String(api) + (error.code.isEmpty() ? error.message : error.codeAndMessage()));
    };
    if (summary.error && ga4.error) {
        // Neither API answers: the user is told why, in Google's words
        // where Google gave any.
        const bool ga4Words = !ga4Unusable || summary.error->code.isEmpty();
        logRefusal(ga4Words ? "Google Analytics (Universal Analytics) - " : "Google Analytics 4 - ",
                   ga4Words ? *summary.error : *ga4.error);
        const GoogleError &shown = ga4Words ? *ga4.error : *summary.error;
        if (shown.code.isEmpty())
            throw VeltranoError(shown.message);
        return {std::nullopt, shown};
    }
    if (summary.error) {
        logRefusal("Google Analytics (Universal Analytics) - ", *summary.error);
        return {std::move(ga4), std::nullopt};
    }
    if (ga4.error) {
        logRefusal("Google Analytics 4 - ", *ga4.error);
        return {std::move(summary), std::nullopt};
    }
    summary.merge(std::move(ga4));
    return {std::move(summary), std::nullopt};
}

AnalyticsChecks::AnalyticsChecks(AnalyticsClient &client, Ga4Client &ga4)
    : m_check(client), m_siteCheck(client), m_ga4Check(ga4), m_ga4SiteCheck(ga4)
{
}

QString AnalyticsChecks::name(bool wholeSite)
{
    return wholeSite ? QStringLiteral("Check GA (whole site)") : QStringLiteral("Check GA");
}

void AnalyticsChecks::limitServerErrorTries(ServiceExchange &exchange)
{
    RetryPolicy retry = exchange.retryPolicy();
    retry.maxServerErrorTries = RetryPolicy::analyticsReporting().maxServerErrorTries;
    exchange.setRetryPolicy(retry);
}

std::optional<std::pair<QString, QString>> AnalyticsChecks::days(const ReportTable &table,
                                                                 const ReportingPeriod &period)
{
    if (table.rowCount() == 0)
        return std::nullopt;
    // The days as the check starts; changing them during the run has no
    // effect on it.
    if (const QString refusal =
            period.refusal(ReportingPeriod::FutureDays::Allowed, QStringLiteral("Google Analytics"));
        !refusal.isEmpty())
        throw VeltranoError(refusal);
    return std::pair{period.fromText(), period.toText()};
}

void AnalyticsChecks::runPages(CheckContext &context, ReportTable &table, const Target &target,
                               const ReportingPeriod &period)
{
    const auto span = days(table, period);
    if (!span)
        return;
    if (target.ga4)
        m_ga4Check.run(context, table, {target.id, span->first, span->second, target.token});
    else
        m_check.run(context, table, {target.id, span->first, span->second, target.token, target.websiteUrl});
}

void AnalyticsChecks::runWholeSite(CheckContext &context, ReportTable &table, const Target &target,
                                   const ReportingPeriod &period)
{
    const auto span = days(table, period);
    if (!span)
        return;
    if (target.ga4)
        m_ga4SiteCheck.run(context, table, {target.id, span->first, span->second, target.token});
    else
        m_siteCheck.run(context, table, {target.id, span->first, span->second, target.token, target.websiteUrl});
}

} // namespace veltrano
