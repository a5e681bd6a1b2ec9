#pragma once

#include "net/GoogleError.h"
#include "services/analytics/AnalyticsCheck.h"
#include "services/analytics/AnalyticsSiteCheck.h"
#include "services/analytics/AnalyticsSummary.h"
#include "services/analytics/Ga4PageCheck.h"
#include "services/analytics/Ga4SiteCheck.h"

#include <QString>

#include <functional>
#include <optional>

namespace veltrano {

class ActivityLog;
class AnalyticsClient;
class CheckContext;
class Ga4Client;
class ReportTable;
class ReportingPeriod;
class RequestTrace;
class ServiceExchange;

// The accounts of a Google Analytics sign-in through both APIs: the
// Universal Analytics account summary first, as it has always been listed,
// then the Google Analytics 4 accounts and properties, merged. One API's
// refusal alone is a line in the log; when neither answers, the refusal to
// show the user, in Google's words where Google gave any.
struct AnalyticsAccounts {
    std::optional<AnalyticsSummary> summary;
    std::optional<GoogleError> refusal; // when summary is empty

    // Raises VeltranoError when neither API answered in Google's words
    // (no JSON at all).
    static AnalyticsAccounts fetch(AnalyticsClient &client, Ga4Client &ga4, const QString &token, RequestTrace &trace,
                                   ActivityLog &log);
};

// "Check GA" and "Check GA (whole site)" as every front end starts them, on
// a Universal Analytics view or a Google Analytics 4 property, over the
// Google period. A period turned round is refused before any request; an
// empty table runs nothing.
class AnalyticsChecks final {
public:
    struct Target {
        bool ga4 = false;
        qint64 id = 0;      // the view, or the GA4 property
        QString websiteUrl; // a view's site: only its rows are sent
        // The account's token, read for every request.
        std::function<QString()> token;
    };

    AnalyticsChecks(AnalyticsClient &client, Ga4Client &ga4);

    // The check's name in the check menu and the saved row states.
    static QString name(bool wholeSite);
    // Google Analytics locks a property after ten server errors an hour: a
    // server error is tried twice at most.
    static void limitServerErrorTries(ServiceExchange &exchange);

    void runPages(CheckContext &context, ReportTable &table, const Target &target, const ReportingPeriod &period);
    void runWholeSite(CheckContext &context, ReportTable &table, const Target &target, const ReportingPeriod &period);

private:
    // The period as the check starts, or nothing to run; a refused period raises.
    static std::optional<std::pair<QString, QString>> days(const ReportTable &table, const ReportingPeriod &period);

    AnalyticsCheck m_check;
    AnalyticsSiteCheck m_siteCheck;
    Ga4PageCheck m_ga4Check;
    Ga4SiteCheck m_ga4SiteCheck;
};

} // namespace veltrano
