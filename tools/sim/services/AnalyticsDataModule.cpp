#include "AnalyticsDataModule.h"

#include "GoogleApiSupport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace veltrano::sim {

namespace {

using google::ErrorSpec;
using google::Json;

constexpr const char *kService = "analyticsdata.googleapis.com";
constexpr const char *kPropertyHelp =
    " To learn more about Property ID, see "
    "https://developers.google.com/analytics/devguides/reporting/data/v1/property-id.";

struct Refusal {
    ErrorSpec spec;
};

ErrorSpec refusal(int code, const std::string &status, const std::string &message)
{
    ErrorSpec spec;
    spec.code = code;
    spec.status = status;
    spec.message = message;
    return spec;
}

enum Metric { TotalUsers, ScreenPageViews, Sessions, AverageSessionDuration, ViewsPerSession, BounceRate, MetricCount };
constexpr std::array<const char *, MetricCount> kNames = {"totalUsers",
                                                          "screenPageViews",
                                                          "sessions",
                                                          "averageSessionDuration",
                                                          "screenPageViewsPerSession",
                                                          "bounceRate"};
constexpr std::array<const char *, MetricCount> kTypes = {"TYPE_INTEGER", "TYPE_INTEGER", "TYPE_INTEGER",
                                                          "TYPE_SECONDS", "TYPE_FLOAT",   "TYPE_FLOAT"};

// A value as GA4 writes it: whole numbers without a fraction, others with
// the shortest digits that read back as the number.
std::string valueText(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc() ? std::string(buffer.data(), end) : "0";
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<std::chrono::sys_days> reportDay(const std::string &text)
{
    using namespace std::chrono;
    if (text == "today")
        return support::today();
    if (text == "yesterday")
        return support::today() - days(1);
    const std::string suffix = "daysAgo";
    if (text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
        const std::string number = text.substr(0, text.size() - suffix.size());
        if (number.size() <= 5 && number.find_first_not_of(support::kDigits) == std::string::npos)
            return support::today() - days(std::stoi(number));
        return std::nullopt;
    }
    return text.size() == 10 ? support::parseDay(text) : std::nullopt;
}

std::string stringMember(const Json &object, const char *name)
{
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

struct PageFilter {
    bool present = false;
    bool withQuery = false; // pagePathPlusQueryString
    std::string matchType = "EXACT";
    std::string value;
    bool caseSensitive = false;

    bool matches(const std::string &pathWithQuery) const
    {
        if (!present)
            return true;
        std::string subject = withQuery ? pathWithQuery : pathWithQuery.substr(0, pathWithQuery.find('?'));
        std::string wanted = value;
        if (!caseSensitive) {
            subject = lower(subject);
            wanted = lower(wanted);
        }
        if (matchType == "EXACT")
            return subject == wanted;
        if (matchType == "BEGINS_WITH")
            return subject.rfind(wanted, 0) == 0;
        return subject.find(wanted) != std::string::npos; // CONTAINS
    }
};

PageFilter filterOf(const Json &body)
{
    PageFilter filter;
    const auto it = body.find("dimensionFilter");
    if (it == body.end())
        return filter;
    const Json *inner = it->is_object() && it->contains("filter") ? &(*it)["filter"] : nullptr;
    if (!inner || !inner->is_object())
        throw Refusal{google::invalidArgument("Only a single filter on pagePath is supported here.")};
    const std::string field = stringMember(*inner, "fieldName");
    if (field != "pagePath" && field != "pagePathPlusQueryString")
        throw Refusal{google::invalidArgument("Field " + field + " is not a valid dimension. For a list of valid "
                                              "dimensions and metrics, see "
                                              "https://developers.google.com/analytics/devguides/reporting/data/v1/"
                                              "api-schema")};
    const auto string = inner->find("stringFilter");
    if (string == inner->end() || !string->is_object())
        throw Refusal{google::invalidArgument("A filter on " + field + " needs a stringFilter.")};
    filter.present = true;
    filter.withQuery = field == "pagePathPlusQueryString";
    if (const std::string type = stringMember(*string, "matchType"); !type.empty())
        filter.matchType = type;
    if (filter.matchType != "EXACT" && filter.matchType != "BEGINS_WITH" && filter.matchType != "CONTAINS")
        throw Refusal{google::invalidArgument("Invalid value at 'dimension_filter.filter.string_filter.match_type' "
                                              "(type.googleapis.com/google.analytics.data.v1beta.Filter."
                                              "StringFilter.MatchType), \"" +
                                              filter.matchType + "\"")};
    filter.value = stringMember(*string, "value");
    const auto sensitive = string->find("caseSensitive");
    filter.caseSensitive = sensitive != string->end() && sensitive->is_boolean() && sensitive->get<bool>();
    return filter;
}

// The one dimension a report may be broken down by: the page, with or
// without its query string. Empty when the report has no dimension.
std::string dimensionOf(const Json &body)
{
    const auto it = body.find("dimensions");
    if (it == body.end() || (it->is_array() && it->empty()))
        return {};
    if (!it->is_array())
        throw Refusal{google::invalidArgument("Invalid JSON payload received. Unknown name \"dimensions\": "
                                              "Proto field is not repeating, cannot start list.")};
    if (it->size() > 1)
        throw Refusal{google::invalidArgument("Only one dimension, pagePath or pagePathPlusQueryString, is "
                                              "supported here.")};
    const Json &entry = (*it)[0];
    const std::string name = entry.is_object() ? stringMember(entry, "name") : std::string();
    if (name != "pagePath" && name != "pagePathPlusQueryString")
        throw Refusal{google::invalidArgument("Field " + name + " is not a valid dimension. For a list of valid "
                                              "dimensions and metrics, see "
                                              "https://developers.google.com/analytics/devguides/reporting/data/v1/"
                                              "api-schema")};
    return name;
}

// A whole number member that the JSON form of the API writes as a number or
// as a decimal text ("250000"); fallback when it is absent.
long long int64Member(const Json &body, const char *name, long long fallback)
{
    const auto it = body.find(name);
    if (it == body.end())
        return fallback;
    if (it->is_number_integer())
        return it->get<long long>();
    if (it->is_string()) {
        const std::string text = it->get<std::string>();
        long long value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc() && end == text.data() + text.size())
            return value;
    }
    throw Refusal{google::invalidArgument(std::string("Invalid value at '") + name + "' (TYPE_INT64), " +
                                          it->dump())};
}

// A quota's state as Google writes it: a member that is zero is left out.
Json quotaStatus(long long consumed, long long remaining)
{
    Json status = Json::object();
    if (consumed != 0)
        status["consumed"] = consumed;
    if (remaining != 0)
        status["remaining"] = remaining;
    return status;
}

Json report(const std::string &propertyText, const RecordedRequest &request, const Json &body,
            const Ga4Accounts::Account *owner, const Ga4Accounts::Property *property, Ga4Accounts &accounts)
{
    (void)request;
    (void)owner;
    const auto ranges = body.find("dateRanges");
    if (ranges == body.end() || !ranges->is_array() || ranges->empty())
        throw Refusal{google::invalidArgument("Must specify at least one date range.")};
    for (const Json &range : *ranges) {
        const std::string start = range.is_object() ? stringMember(range, "startDate") : std::string();
        const std::string end = range.is_object() ? stringMember(range, "endDate") : std::string();
        const auto startDay = reportDay(start);
        const auto endDay = reportDay(end);
        if (!startDay || !endDay)
            throw Refusal{google::invalidArgument("Invalid date range: startDate \"" + start + "\", endDate \"" +
                                                  end + "\". Dates are written YYYY-MM-DD, NdaysAgo, yesterday "
                                                        "or today.")};
        if (*endDay < *startDay)
            throw Refusal{google::invalidArgument("The dateRange's endDate must be on or after its startDate.")};
    }
    const auto metricList = body.find("metrics");
    if (metricList == body.end() || !metricList->is_array() || metricList->empty())
        throw Refusal{google::invalidArgument("Must specify at least one metric.")};
    std::vector<Metric> metrics;
    for (const Json &entry : *metricList) {
        const std::string name = entry.is_object() ? stringMember(entry, "name") : std::string();
        const auto found = std::find_if(kNames.begin(), kNames.end(), [&](const char *n) { return name == n; });
        if (found == kNames.end())
            throw Refusal{google::invalidArgument(
                "Field " + name +
                " is not a valid metric. For a list of valid dimensions and metrics, see "
                "https://developers.google.com/analytics/devguides/reporting/data/v1/api-schema")};
        metrics.push_back(Metric(found - kNames.begin()));
    }
    const PageFilter filter = filterOf(body);
    const std::string dimension = dimensionOf(body);
    // Google returns 10 000 rows unless told otherwise, and never more than
    // 250 000 in one answer however many are asked for.
    const long long asked = int64Member(body, "limit", 10000);
    const long long limit = std::min(asked, 250000LL);
    const long long offset = int64Member(body, "offset", 0);
    if (asked <= 0)
        throw Refusal{google::invalidArgument("limit must be positive.")};
    if (offset < 0)
        throw Refusal{google::invalidArgument("offset must be non-negative.")};

    Ga4Accounts::Settings quota;
    if (!accounts.takeReportTokens(&quota))
        throw Refusal{refusal(429, "RESOURCE_EXHAUSTED",
                              quota.tokensPerHour < quota.tokensPerReport
                                  ? "Exhausted property tokens per hour for a project per property. These quota "
                                    "tokens will return in under an hour. To learn more, see "
                                    "https://developers.google.com/analytics/devguides/reporting/data/v1/quotas"
                                  : "Exhausted property tokens per day. These quota tokens will return tomorrow. "
                                    "To learn more, see "
                                    "https://developers.google.com/analytics/devguides/reporting/data/v1/quotas")};

    // The pages the filter lets through; a property with made-up pages
    // knows the one an exact filter names.
    std::map<std::string, Ga4Accounts::PageTotals> pages = property->pages;
    if (property->madeUpPages && filter.present && filter.matchType == "EXACT" && !pages.count(filter.value)) {
        Ga4Accounts::PageTotals totals;
        if (AnalyticsModule::madeUpTotals(propertyText, filter.value, &totals))
            pages.emplace(filter.value, totals);
    }
    Ga4Accounts::PageTotals sum;
    double durationSum = 0;
    double bounceSum = 0;
    size_t matched = 0;
    for (const auto &[path, totals] : pages) {
        if (!filter.matches(path))
            continue;
        ++matched;
        sum.users += totals.users;
        sum.pageviews += totals.pageviews;
        sum.sessions += totals.sessions;
        durationSum += totals.avgSessionDuration * totals.sessions;
        bounceSum += totals.bounceRate * totals.sessions;
    }
    std::vector<size_t> order(metrics.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (quota.reversedMetricHeaders)
        std::reverse(order.begin(), order.end());

    Json headers = Json::array();
    Json values = Json::array();
    for (const size_t i : order) {
        const Metric metric = metrics[i];
        headers.push_back({{"name", kNames[size_t(metric)]}, {"type", kTypes[size_t(metric)]}});
        double value = 0;
        switch (metric) {
        case TotalUsers: value = sum.users; break;
        case ScreenPageViews: value = sum.pageviews; break;
        case Sessions: value = sum.sessions; break;
        case AverageSessionDuration: value = sum.sessions > 0 ? durationSum / sum.sessions : 0; break;
        case ViewsPerSession: value = sum.sessions > 0 ? sum.pageviews / sum.sessions : 0; break;
        default: value = sum.sessions > 0 ? bounceSum / sum.sessions / 100 : 0; break;
        }
        values.push_back({{"value", valueText(metric <= Sessions ? std::round(value) : value)}});
    }

    Json answer;
    if (dimension.empty()) {
        answer = {{"metricHeaders", std::move(headers)}};
        if (matched > 0) {
            answer["rows"] = Json::array({{{"metricValues", std::move(values)}}});
            answer["rowCount"] = 1;
        }
    } else {
        // A row per page (per path, or per path with its query string), in
        // page order; rowCount counts them all whatever the limit and offset.
        struct Group {
            Ga4Accounts::PageTotals sum;
            double durationSum = 0;
            double bounceSum = 0;
        };
        std::map<std::string, Group> groups;
        for (const auto &[path, totals] : pages) {
            if (!filter.matches(path))
                continue;
            Group &group = groups[dimension == "pagePath" ? path.substr(0, path.find('?')) : path];
            group.sum.users += totals.users;
            group.sum.pageviews += totals.pageviews;
            group.sum.sessions += totals.sessions;
            group.durationSum += totals.avgSessionDuration * totals.sessions;
            group.bounceSum += totals.bounceRate * totals.sessions;
        }
        Json rows = Json::array();
        long long index = 0;
        for (const auto &[key, group] : groups) {
            const long long at = index++;
            if (at < offset || at >= offset + limit)
                continue;
            Json metricValues = Json::array();
            for (const size_t i : order) {
                const Metric metric = metrics[i];
                const double sessions = group.sum.sessions;
                double value = 0;
                switch (metric) {
                case TotalUsers: value = std::round(group.sum.users); break;
                case ScreenPageViews: value = std::round(group.sum.pageviews); break;
                case Sessions: value = std::round(sessions); break;
                case AverageSessionDuration: value = sessions > 0 ? group.durationSum / sessions : 0; break;
                case ViewsPerSession: value = sessions > 0 ? group.sum.pageviews / sessions : 0; break;
                default: value = sessions > 0 ? group.bounceSum / sessions / 100 : 0; break;
                }
                metricValues.push_back({{"value", valueText(value)}});
            }
            rows.push_back({{"dimensionValues", Json::array({{{"value", key}}})},
                            {"metricValues", std::move(metricValues)}});
        }
        answer = {{"dimensionHeaders", Json::array({{{"name", dimension}}})}, {"metricHeaders", std::move(headers)}};
        if (!rows.empty())
            answer["rows"] = std::move(rows);
        if (!groups.empty())
            answer["rowCount"] = static_cast<long long>(groups.size());
    }
    answer["metadata"] = {{"currencyCode", "USD"}, {"timeZone", "Europe/Moscow"}};
    const auto wantsQuota = body.find("returnPropertyQuota");
    if (wantsQuota != body.end() && wantsQuota->is_boolean() && wantsQuota->get<bool>()) {
        const Ga4Accounts::Settings full;
        answer["propertyQuota"] = {
            {"tokensPerDay", quotaStatus(quota.tokensPerReport, quota.tokensPerDay)},
            {"tokensPerHour", quotaStatus(quota.tokensPerReport, quota.tokensPerHour)},
            {"concurrentRequests", quotaStatus(0, 10)},
            {"serverErrorsPerProjectPerHour", quotaStatus(0, 10)},
            {"potentiallyThresholdedRequestsPerHour", quotaStatus(0, 120)},
            {"tokensPerProjectPerHour", quotaStatus(quota.tokensPerReport,
                                                    std::max(0LL, quota.tokensPerHour * 35 / 100))}};
    }
    answer["kind"] = "analyticsData#runReport";
    return answer;
}

Response serve(const RecordedRequest &request, const std::string &prefix, Ga4Accounts &accounts)
{
    const google::AnswerStyle style = google::styleFor(request, google::ErrorForm::Plain, false);
    const std::string path = request.path.substr(prefix.size());
    const std::string head = "/v1beta/properties/";
    const std::string tail = ":runReport";
    const std::string decoded = support::percentDecode(path, false);
    if (request.method != "POST" || decoded.rfind(head, 0) != 0 || decoded.size() <= head.size() + tail.size() ||
        decoded.compare(decoded.size() - tail.size(), tail.size(), tail) != 0)
        return google::notFoundPage(path);
    const std::string propertyText = decoded.substr(head.size(), decoded.size() - head.size() - tail.size());

    auto authorized = google::authorize(request, accounts.tokens(),
                                        {kService,
                                         {"https://www.googleapis.com/auth/analytics.readonly",
                                          "https://www.googleapis.com/auth/analytics"},
                                         false},
                                        style);
    if (auto *denied = std::get_if<Response>(&authorized))
        return std::move(*denied);
    const auto grant = std::get<TokenRegistry::Grant>(authorized);

    if (propertyText.empty() || propertyText.size() > 18 ||
        propertyText.find_first_not_of(support::kDigits) != std::string::npos)
        return google::error(
            google::invalidArgument("Invalid property ID: " + propertyText + ". A numeric Property ID is required." +
                                    kPropertyHelp),
            style);

    auto parsed = google::objectBody(request, style);
    if (auto *bad = std::get_if<Response>(&parsed))
        return std::move(*bad);
    const Json body = std::get<Json>(parsed);

    const auto list = accounts.accountsOf(grant.userId);
    const Ga4Accounts::Account *owner = nullptr;
    const Ga4Accounts::Property *property = nullptr;
    for (size_t a = 0; list && a < list->size() && !property; ++a) {
        for (const Ga4Accounts::Property &candidate : (*list)[a].properties) {
            if (candidate.id == propertyText) {
                owner = &(*list)[a];
                property = &candidate;
                break;
            }
        }
    }
    if (!property)
        return google::error(refusal(403, "PERMISSION_DENIED",
                                     std::string("User does not have sufficient permissions for this property.") +
                                         kPropertyHelp),
                             style);
    try {
        return google::ok(report(propertyText, request, body, owner, property, accounts), style);
    } catch (const Refusal &refused) {
        return google::error(refused.spec, style);
    }
}

} // namespace

void AnalyticsDataModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix + "/", [accounts = m_accounts, prefix](const RecordedRequest &request) {
        return serve(request, prefix, *accounts);
    });
    server.addControlHandler("*", "/__sim/settings" + prefix, [accounts = m_accounts](const RecordedRequest &request) {
        if (request.method == "POST") {
            Json body;
            try {
                body = Json::parse(request.body);
            } catch (const Json::parse_error &) {
                return support::jsonAnswer({{"error", "the body is not JSON"}}, 400);
            }
            if (!body.is_object())
                return support::jsonAnswer({{"error", "expected an object"}}, 400);
            Ga4Accounts::Settings settings = accounts->settings();
            for (auto [name, field] : {std::pair{"tokensPerHour", &settings.tokensPerHour},
                                       std::pair{"tokensPerDay", &settings.tokensPerDay},
                                       std::pair{"tokensPerReport", &settings.tokensPerReport}}) {
                if (!body.contains(name))
                    continue;
                if (!body[name].is_number_integer())
                    return support::jsonAnswer({{"error", std::string(name) + ": expected a whole number"}}, 400);
                *field = body[name].get<long long>();
            }
            if (body.contains("reversedMetricHeaders")) {
                if (!body["reversedMetricHeaders"].is_boolean())
                    return support::jsonAnswer({{"error", "reversedMetricHeaders: expected true or false"}}, 400);
                settings.reversedMetricHeaders = body["reversedMetricHeaders"].get<bool>();
            }
            accounts->setSettings(settings);
        } else if (request.method != "GET") {
            return support::jsonAnswer({{"error", "use GET or POST"}}, 405);
        }
        const Ga4Accounts::Settings settings = accounts->settings();
        return support::jsonAnswer({{"tokensPerHour", settings.tokensPerHour},
                                    {"tokensPerDay", settings.tokensPerDay},
                                    {"tokensPerReport", settings.tokensPerReport},
                                    {"reversedMetricHeaders", settings.reversedMetricHeaders}});
    });
}

} // namespace veltrano::sim
