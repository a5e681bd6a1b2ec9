#include "AnalyticsModule.h"

#include "DemoAccounts.h"
#include "GoogleApiSupport.h"
#include "TokenRegistry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>

namespace veltrano::sim {

using google::ErrorSpec;
using google::Json;
using Account = AnalyticsModule::Account;
using PageTotals = AnalyticsModule::PageTotals;
using View = AnalyticsModule::View;

struct AnalyticsModule::State {
    std::shared_ptr<TokenRegistry> tokens;
    std::mutex mutex;
    std::map<long long, std::shared_ptr<const std::vector<Account>>> accounts;
    bool shuffledColumns = false;
    long long requestsBeforeRateLimit = -1;

    std::shared_ptr<const std::vector<Account>> accountsOf(long long userId)
    {
        std::lock_guard lock(mutex);
        const auto it = accounts.find(userId);
        return it == accounts.end() ? nullptr : it->second;
    }
    bool shuffled()
    {
        std::lock_guard lock(mutex);
        return shuffledColumns;
    }
    bool takeRequest()
    {
        std::lock_guard lock(mutex);
        if (requestsBeforeRateLimit == 0)
            return false;
        if (requestsBeforeRateLimit > 0)
            --requestsBeforeRateLimit;
        return true;
    }
};

namespace {

constexpr const char *kService = "analytics.googleapis.com";
constexpr const char *kPublicBase = "https://www.googleapis.com/analytics/v3/";

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A double as the v3 APIs write it in their texts: the shortest digits
// that read back as the number, ".0" for whole values ("125.0").
std::string decimalText(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
    if (text.find_first_of(".en") == std::string::npos)
        text += ".0";
    return text;
}

std::string wholeText(double value)
{
    return std::to_string(static_cast<long long>(std::llround(value)));
}

ErrorSpec v3Error(int code, const std::string &reason, const std::string &message)
{
    ErrorSpec spec;
    spec.code = code;
    spec.message = message;
    spec.legacyReason = reason;
    return spec;
}

ErrorSpec invalidParameter(const std::string &message)
{
    return v3Error(400, "invalidParameter", message);
}

ErrorSpec invalidValue(const std::string &value, const std::string &parameter)
{
    return invalidParameter("Invalid value '" + value + "' for " + parameter + " parameter.");
}

ErrorSpec required(const std::string &parameter)
{
    return v3Error(400, "required", "Required parameter: " + parameter);
}

struct Refusal {
    ErrorSpec spec;
};

// The metrics the simulated reports have, the way the reference spells them.
enum Metric { Users, Pageviews, Sessions, AvgSessionDuration, BounceRate, PageviewsPerSession, MetricCount };
constexpr std::array<const char *, MetricCount> kMetricNames = {
    "ga:users", "ga:pageviews", "ga:sessions", "ga:avgSessionDuration", "ga:bounceRate", "ga:pageviewsPerSession"};
constexpr std::array<const char *, MetricCount> kDataTypes = {"INTEGER", "INTEGER", "INTEGER",
                                                              "TIME",    "PERCENT", "FLOAT"};

std::optional<Metric> metricOf(const std::string &name)
{
    for (int i = 0; i < MetricCount; ++i) {
        if (lower(name) == lower(kMetricNames[size_t(i)]))
            return Metric(i);
    }
    return std::nullopt;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// "ga:pagePath==/a\,b": one filter of an expression.
struct Filter {
    std::string op; // ==, !=, =@, !@, =~, !~
    std::string value;
    std::shared_ptr<std::regex> pattern;

    bool matches(const std::string &path) const
    {
        if (op == "==")
            return path == value;
        if (op == "!=")
            return path != value;
        if (op == "=@")
            return path.find(value) != std::string::npos;
        if (op == "!@")
            return path.find(value) == std::string::npos;
        const bool found = std::regex_search(path, *pattern);
        return op == "=~" ? found : !found;
    }
};

// Filters joined by ";" (and) of groups joined by "," (or): a list of
// and-ed groups, each a list of or-ed filters. A backslash takes the next
// character as it is.
std::vector<std::vector<Filter>> parseFilters(const std::string &expression)
{
    const ErrorSpec bad = invalidValue(expression, "filters");
    // Each filter twice: unescaped, and as written with every escaped
    // character replaced, so that the name and the operator are found only
    // outside the value's escapes, at the same positions.
    std::vector<std::vector<std::string>> groupTexts(1);
    std::vector<std::vector<std::string>> groupRaw(1);
    std::string value;
    std::string written;
    auto finish = [&] {
        groupTexts.back().push_back(value);
        groupRaw.back().push_back(written);
        value.clear();
        written.clear();
    };
    for (size_t i = 0; i < expression.size(); ++i) {
        const char c = expression[i];
        if (c == '\\') {
            if (i + 1 >= expression.size())
                throw Refusal{bad};
            value += expression[++i];
            written += '_';
        } else if (c == ',') {
            finish();
        } else if (c == ';') {
            finish();
            groupTexts.emplace_back();
            groupRaw.emplace_back();
        } else {
            value += c;
            written += c;
        }
    }
    finish();

    std::vector<std::vector<Filter>> parsed;
    for (size_t g = 0; g < groupTexts.size(); ++g) {
        std::vector<Filter> group;
        for (size_t f = 0; f < groupTexts[g].size(); ++f) {
            const std::string &text = groupTexts[g][f];
            const std::string &plain = groupRaw[g][f];
            size_t at = std::string::npos;
            std::string op;
            for (const char *candidate : {"==", "!=", "=@", "!@", "=~", "!~"}) {
                const size_t found = plain.find(candidate);
                if (found != std::string::npos && found < at) {
                    at = found;
                    op = candidate;
                }
            }
            if (at == std::string::npos || lower(plain.substr(0, at)) != "ga:pagepath")
                throw Refusal{bad};
            Filter filter{op, text.substr(at + 2), nullptr};
            if (op == "=~" || op == "!~") {
                try {
                    filter.pattern = std::make_shared<std::regex>(filter.value);
                } catch (const std::regex_error &) {
                    throw Refusal{bad};
                }
            }
            group.push_back(std::move(filter));
        }
        parsed.push_back(std::move(group));
    }
    return parsed;
}

bool passes(const std::vector<std::vector<Filter>> &filters, const std::string &path)
{
    for (const std::vector<Filter> &group : filters) {
        if (std::none_of(group.begin(), group.end(), [&](const Filter &f) { return f.matches(path); }))
            return false;
    }
    return true;
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
    if (text.size() != 10)
        return std::nullopt;
    return support::parseDay(text);
}

long long intParameter(const RecordedRequest &request, const char *name, long long fallback, long long min,
                       long long max)
{
    if (!support::hasParam(request.query, name))
        return fallback;
    const std::string text = request.queryParam(name);
    if (text.empty() || text.size() > 10 || text.find_first_not_of(support::kDigits) != std::string::npos)
        throw Refusal{invalidValue(text, name)};
    const long long value = std::stoll(text);
    if (value < min)
        throw Refusal{invalidValue(text, name)};
    return std::min(value, max);
}

struct Found {
    const Account *account = nullptr;
    const AnalyticsModule::Property *property = nullptr;
    const View *view = nullptr;
};

Found findView(const std::vector<Account> *accounts, const std::string &viewId)
{
    if (!accounts)
        return {};
    for (const Account &account : *accounts) {
        for (const auto &property : account.properties) {
            for (const View &view : property.views) {
                if (view.id == viewId)
                    return {&account, &property, &view};
            }
        }
    }
    return {};
}

Json summaryItem(const Account &account)
{
    Json item = {{"id", account.id}, {"kind", "analytics#accountSummary"}, {"name", account.name}};
    if (!account.properties.empty()) {
        Json properties = Json::array();
        for (const auto &property : account.properties) {
            Json entry = {{"kind", "analytics#webPropertySummary"},
                          {"id", property.id},
                          {"name", property.name},
                          {"internalWebPropertyId", property.internalId},
                          {"level", "STANDARD"},
                          {"websiteUrl", property.websiteUrl}};
            if (!property.views.empty()) {
                Json profiles = Json::array();
                for (const View &view : property.views)
                    profiles.push_back(
                        {{"kind", "analytics#profileSummary"}, {"id", view.id}, {"name", view.name}, {"type", "WEB"}});
                entry["profiles"] = std::move(profiles);
            }
            properties.push_back(std::move(entry));
        }
        item["webProperties"] = std::move(properties);
    }
    return item;
}

Json accountSummaries(const RecordedRequest &request, const std::vector<Account> *accounts)
{
    const long long start = intParameter(request, "start-index", 1, 1, 1LL << 40);
    const long long pageSize = intParameter(request, "max-results", 1000, 1, 1000);
    const long long total = accounts ? static_cast<long long>(accounts->size()) : 0;
    auto link = [](long long from, long long size) {
        return std::string(kPublicBase) + "management/accountSummaries?start-index=" + std::to_string(from) +
               "&max-results=" + std::to_string(size);
    };
    Json answer = {{"kind", "analytics#accountSummaries"},
                   {"username", "demo.user@example.com"},
                   {"totalResults", total},
                   {"startIndex", start},
                   {"itemsPerPage", pageSize}};
    if (start > 1)
        answer["previousLink"] = link(std::max(1LL, start - pageSize), pageSize);
    if (start - 1 + pageSize < total)
        answer["nextLink"] = link(start + pageSize, pageSize);
    Json items = Json::array();
    for (long long i = start - 1; i < std::min(total, start - 1 + pageSize); ++i)
        items.push_back(summaryItem((*accounts)[size_t(i)]));
    answer["items"] = std::move(items);
    return answer;
}

// The report of a view: the totals of the pages the filters let through.
Json report(const RecordedRequest &request, const std::vector<Account> *accounts, bool shuffled)
{
    for (const char *name : {"ids", "start-date", "end-date", "metrics"}) {
        if (request.queryParam(name).empty())
            throw Refusal{required(name)};
    }
    const std::string ids = request.queryParam("ids");
    if (ids.size() < 4 || ids.compare(0, 3, "ga:") != 0 ||
        ids.find_first_not_of(support::kDigits, 3) != std::string::npos)
        throw Refusal{invalidValue(ids, "ids")};
    const std::string startText = request.queryParam("start-date");
    const std::string endText = request.queryParam("end-date");
    const auto startDay = reportDay(startText);
    if (!startDay)
        throw Refusal{invalidValue(startText, "start-date")};
    const auto endDay = reportDay(endText);
    if (!endDay)
        throw Refusal{invalidValue(endText, "end-date")};
    if (*endDay < *startDay)
        throw Refusal{invalidParameter("Invalid value '" + endText + "' for end-date parameter. end-date (" +
                                       endText + ") must be on or after start-date (" + startText + ").")};

    const std::string metricsText = request.queryParam("metrics");
    std::vector<std::pair<std::string, Metric>> metrics; // as asked for
    std::vector<std::string> unknown;
    for (const std::string &name : split(metricsText, ',')) {
        if (const auto metric = metricOf(name))
            metrics.emplace_back(name, *metric);
        else
            unknown.push_back(name);
    }
    if (!unknown.empty()) {
        std::string list;
        for (const std::string &name : unknown)
            list += (list.empty() ? "" : ", ") + name;
        throw Refusal{invalidParameter("Unknown metric(s): " + list)};
    }
    if (metrics.size() > 10)
        throw Refusal{invalidParameter("Requested 11 or more metrics; only 10 are allowed.")};

    std::vector<std::vector<Filter>> filters;
    std::string filtersText;
    if (support::hasParam(request.query, "filters")) {
        filtersText = request.queryParam("filters");
        filters = parseFilters(filtersText);
    }
    const long long maxResults = intParameter(request, "max-results", 1000, 1, 10000);
    const long long startIndex = intParameter(request, "start-index", 1, 1, 1LL << 40);
    // The one dimension the program asks for: a row per page path.
    const std::string dimensionsText = request.queryParam("dimensions");
    const bool byPage = support::hasParam(request.query, "dimensions");
    if (byPage && dimensionsText != "ga:pagePath")
        throw Refusal{invalidParameter("Unknown dimension(s): " + dimensionsText)};

    const std::string viewId = ids.substr(3);
    const Found found = findView(accounts, viewId);
    if (!found.view)
        throw Refusal{v3Error(403, "insufficientPermissions",
                              "User does not have sufficient permissions for this profile.")};

    // The pages of the view that the filters let through. A view with
    // made-up pages knows every path an equality filter names.
    std::map<std::string, PageTotals> pages = found.view->pages;
    if (found.view->madeUpPages) {
        for (const auto &group : filters) {
            for (const Filter &filter : group) {
                PageTotals totals;
                if (filter.op == "==" && !pages.count(filter.value) &&
                    AnalyticsModule::madeUpTotals(viewId, filter.value, &totals))
                    pages.emplace(filter.value, totals);
            }
        }
    }
    PageTotals sum;
    double durationSum = 0;
    double bounceSum = 0;
    size_t matched = 0;
    for (const auto &[path, totals] : pages) {
        if (!passes(filters, path))
            continue;
        ++matched;
        sum.users += totals.users;
        sum.pageviews += totals.pageviews;
        sum.sessions += totals.sessions;
        durationSum += totals.avgSessionDuration * totals.sessions;
        bounceSum += totals.bounceRate * totals.sessions;
        if (matched == 1) {
            sum.avgSessionDuration = totals.avgSessionDuration;
            sum.bounceRate = totals.bounceRate;
            sum.pageviewsPerSession = totals.pageviewsPerSession;
        }
    }
    if (matched > 1 && sum.sessions > 0) {
        sum.avgSessionDuration = durationSum / sum.sessions;
        sum.bounceRate = bounceSum / sum.sessions;
        sum.pageviewsPerSession = sum.pageviews / sum.sessions;
    }

    // Columns in the order asked for; shuffled: rotated and reversed, names
    // in lower case.
    std::vector<std::pair<std::string, Metric>> columns = metrics;
    if (shuffled) {
        if (columns.size() > 1)
            std::rotate(columns.begin(), columns.begin() + 2 % columns.size(), columns.end());
        std::reverse(columns.begin(), columns.end());
        for (auto &[name, metric] : columns)
            name = lower(name);
    }
    auto textOf = [](const PageTotals &of, Metric metric) -> std::string {
        switch (metric) {
        case Users: return wholeText(of.users);
        case Pageviews: return wholeText(of.pageviews);
        case Sessions: return wholeText(of.sessions);
        case AvgSessionDuration: return decimalText(of.avgSessionDuration);
        case BounceRate: return decimalText(of.bounceRate);
        default: return decimalText(of.pageviewsPerSession);
        }
    };
    auto valueText = [&](Metric metric) -> std::string { return matched == 0 ? "0" : textOf(sum, metric); };

    Json headers = Json::array();
    if (byPage)
        headers.push_back({{"name", "ga:pagePath"}, {"columnType", "DIMENSION"}, {"dataType", "STRING"}});
    Json totals = Json::object();
    Json row = Json::array();
    for (const auto &[name, metric] : columns) {
        headers.push_back({{"name", name}, {"columnType", "METRIC"}, {"dataType", kDataTypes[size_t(metric)]}});
        totals[name] = valueText(metric);
        row.push_back(valueText(metric));
    }
    // By page: the rows from start-index on, in path order.
    Json pageRows = Json::array();
    if (byPage) {
        long long index = 0;
        for (const auto &[path, pageTotals] : pages) {
            if (!passes(filters, path))
                continue;
            ++index;
            if (index < startIndex || index >= startIndex + maxResults)
                continue;
            Json line = Json::array({path});
            for (const auto &[name, metric] : columns)
                line.push_back(textOf(pageTotals, metric));
            pageRows.push_back(std::move(line));
        }
    }

    Json query = {{"start-date", startText}, {"end-date", endText}, {"ids", ids}};
    Json metricList = Json::array();
    for (const auto &[name, metric] : metrics)
        metricList.push_back(name);
    query["metrics"] = std::move(metricList);
    if (!filtersText.empty())
        query["filters"] = filtersText;
    if (byPage)
        query["dimensions"] = dimensionsText;
    query["start-index"] = startIndex;
    query["max-results"] = maxResults;

    const std::string self = std::string(kPublicBase) + "data/ga?" + request.query;
    Json answer = {{"kind", "analytics#gaData"},
                   {"id", self},
                   {"query", std::move(query)},
                   {"itemsPerPage", maxResults},
                   {"totalResults", byPage ? static_cast<long long>(matched) : matched > 0 ? 1 : 0},
                   {"selfLink", self},
                   {"profileInfo",
                    {{"profileId", viewId},
                     {"accountId", found.account->id},
                     {"webPropertyId", found.property->id},
                     {"internalWebPropertyId", found.property->internalId},
                     {"profileName", found.view->name},
                     {"tableId", ids}}},
                   {"containsSampledData", false},
                   {"columnHeaders", std::move(headers)},
                   {"totalsForAllResults", std::move(totals)}};
    if (byPage) {
        if (startIndex - 1 + maxResults < static_cast<long long>(matched)) {
            std::string rest;
            for (const std::string &part : split(request.query, '&')) {
                if (part.rfind("start-index=", 0) != 0)
                    rest += (rest.empty() ? "" : "&") + part;
            }
            answer["nextLink"] = std::string(kPublicBase) + "data/ga?" + rest +
                                 "&start-index=" + std::to_string(startIndex + maxResults);
        }
        if (!pageRows.empty())
            answer["rows"] = std::move(pageRows);
    } else if (matched > 0) {
        answer["rows"] = Json::array({std::move(row)});
    }
    return answer;
}

Response serve(const RecordedRequest &request, const std::string &prefix, AnalyticsModule::State &state)
{
    google::AnswerStyle style = google::styleFor(request, google::ErrorForm::ErrorsListOnly, false);
    const std::string path = request.path.substr(prefix.size());
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool summaries = get && path == "/analytics/v3/management/accountSummaries";
    const bool data = get && path == "/analytics/v3/data/ga";
    if (!summaries && !data)
        return google::notFoundPage(path);

    google::FrontEnd frontEnd{kService,
                              {"https://www.googleapis.com/auth/analytics", AnalyticsModule::kReadonlyScope,
                               "https://www.googleapis.com/auth/analytics.edit"},
                              false};
    auto authorized = google::authorize(request, *state.tokens, frontEnd, style);
    if (auto *refusal = std::get_if<Response>(&authorized))
        return std::move(*refusal);
    const TokenRegistry::Grant grant = std::get<TokenRegistry::Grant>(authorized);
    if (!state.takeRequest())
        return google::error(v3Error(429, "rateLimitExceeded", "Rate Limit Exceeded"), style);

    const auto accounts = state.accountsOf(grant.userId);
    try {
        if (summaries)
            return google::ok(accountSummaries(request, accounts.get()), style);
        return google::ok(report(request, accounts.get(), state.shuffled()), style);
    } catch (const Refusal &refusal) {
        return google::error(refusal.spec, style);
    }
}

View demoView(const std::string &id, const std::string &name)
{
    View view;
    view.id = id;
    view.name = name;
    view.madeUpPages = true;
    return view;
}

std::vector<Account> demoAccounts()
{
    Account shop{"40112233", "Example Furniture", {}};
    shop.properties.push_back({"UA-40112233-1",
                               "71234567",
                               "example.com",
                               "https://example.com",
                               {demoView("11112222", "All Web Site Data"), demoView("11112223", "Blog only")}});
    shop.properties.push_back({"UA-40112233-2", "71234568", "shop.example.com", "https://shop.example.com",
                               {demoView("11113333", "All Web Site Data")}});
    shop.properties.push_back({"UA-40112233-3", "71234569", "Staging (no views)", "https://staging.example.com", {}});

    Account russian{"3000000001", "Мебель «Уют»", {}};
    russian.properties.push_back({"UA-3000000001-1", "2200000001", "пример.рф", "https://xn--e1afmkfd.xn--p1ai",
                                  {demoView("4294967297", "Все данные по сайту")}});
    Account empty{"40119999", "Old Agency Account", {}};
    return {shop, russian, empty};
}

} // namespace

std::vector<Account> AnalyticsModule::generatedAccounts(size_t count, size_t properties, size_t views,
                                                        long long firstId)
{
    std::vector<Account> accounts;
    accounts.reserve(count);
    long long next = firstId;
    for (size_t a = 0; a < count; ++a) {
        Account account{std::to_string(next++), "Account " + std::to_string(a + 1), {}};
        for (size_t p = 0; p < properties; ++p) {
            Property property{"UA-" + account.id + "-" + std::to_string(p + 1), std::to_string(next++),
                              "Property " + std::to_string(a + 1) + "." + std::to_string(p + 1),
                              "https://site" + std::to_string(a + 1) + "-" + std::to_string(p + 1) + ".example.com",
                              {}};
            for (size_t v = 0; v < views; ++v)
                property.views.push_back(demoView(std::to_string(next++), "View " + std::to_string(v + 1)));
            account.properties.push_back(std::move(property));
        }
        accounts.push_back(std::move(account));
    }
    return accounts;
}

bool AnalyticsModule::madeUpTotals(const std::string &viewId, const std::string &pagePath, PageTotals *totals)
{
    const uint64_t h = support::scatter(support::textHash(viewId + " " + pagePath));
    if (h % 10 == 0)
        return false;
    // One page in four has next to no visits.
    const double sessions = (h >> 4) % 4 == 0 ? double(1 + (h >> 8) % 5) : double(20 + (h >> 8) % 2000);
    totals->sessions = sessions;
    totals->users = std::max(1.0, std::floor(sessions * (0.6 + double((h >> 20) % 35) / 100)));
    totals->pageviewsPerSession = 1 + double((h >> 28) % 300) / 100;
    totals->pageviews = std::round(sessions * totals->pageviewsPerSession);
    totals->pageviewsPerSession = totals->pageviews / sessions;
    totals->avgSessionDuration = double((h >> 36) % 400000) / 100;
    totals->bounceRate = double((h >> 14) % 9000) / 100 + 5;
    return true;
}

AnalyticsModule::AnalyticsModule(std::shared_ptr<TokenRegistry> tokens) : m_state(std::make_shared<State>())
{
    m_state->tokens = std::move(tokens);
}

void AnalyticsModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix + "/analytics/", [state = m_state, prefix](const RecordedRequest &request) {
        return serve(request, prefix, *state);
    });
    const std::string settingsPath = "/__sim/settings" + prefix + "/analytics";
    server.addControlHandler("*", settingsPath, [state = m_state](const RecordedRequest &request) {
        if (request.method == "POST") {
            Json body;
            try {
                body = Json::parse(request.body);
            } catch (const Json::parse_error &) {
                return support::jsonAnswer({{"error", "the body is not JSON"}}, 400);
            }
            if (!body.is_object())
                return support::jsonAnswer({{"error", "expected an object"}}, 400);
            std::lock_guard lock(state->mutex);
            if (body.contains("shuffledColumns")) {
                if (!body["shuffledColumns"].is_boolean())
                    return support::jsonAnswer({{"error", "shuffledColumns: expected true or false"}}, 400);
                state->shuffledColumns = body["shuffledColumns"].get<bool>();
            }
            if (body.contains("requestsBeforeRateLimit")) {
                if (!body["requestsBeforeRateLimit"].is_number_integer())
                    return support::jsonAnswer({{"error", "requestsBeforeRateLimit: expected a whole number"}}, 400);
                state->requestsBeforeRateLimit = body["requestsBeforeRateLimit"].get<long long>();
            }
        } else if (request.method != "GET") {
            return support::jsonAnswer({{"error", "use GET or POST"}}, 405);
        }
        std::lock_guard lock(state->mutex);
        return support::jsonAnswer(
            {{"shuffledColumns", state->shuffledColumns}, {"requestsBeforeRateLimit", state->requestsBeforeRateLimit}});
    });
}

void AnalyticsModule::setAccounts(long long userId, std::vector<Account> accounts)
{
    auto shared = std::make_shared<const std::vector<Account>>(std::move(accounts));
    std::lock_guard lock(m_state->mutex);
    m_state->accounts[userId] = std::move(shared);
}

void AnalyticsModule::acceptToken(const std::string &token, long long userId, const std::string &scope)
{
    // Another simulated Google API may have accepted the same token for its
    // own scope already: the token keeps both.
    std::string scopes = scope;
    if (const auto existing = m_state->tokens->find(token);
        existing && existing->issuer == "google" && existing->userId == userId) {
        scopes = existing->scope;
        std::istringstream in(scope);
        for (std::string word; in >> word;) {
            if (((" " + scopes + " ").find(" " + word + " ")) == std::string::npos)
                scopes += (scopes.empty() ? "" : " ") + word;
        }
    }
    m_state->tokens->add(token, {"google", {}, scopes, userId});
}

void AnalyticsModule::setShuffledColumns(bool on)
{
    std::lock_guard lock(m_state->mutex);
    m_state->shuffledColumns = on;
}

void AnalyticsModule::setRequestsBeforeRateLimit(long long count)
{
    std::lock_guard lock(m_state->mutex);
    m_state->requestsBeforeRateLimit = count;
}

void AnalyticsModule::installDemoData()
{
    static const auto demoData = std::make_shared<const std::vector<Account>>(demoAccounts());
    {
        std::lock_guard lock(m_state->mutex);
        m_state->accounts[demo::kGoogleUserId] = demoData;
    }
    acceptToken(demo::kGoogleToken, demo::kGoogleUserId);
}

} // namespace veltrano::sim
