#include "YandexMetrikaModule.h"

#include "DemoAccounts.h"
#include "ModuleState.h"
#include "YandexApiSupport.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace veltrano::sim {

using Counter = YandexMetrikaModule::Counter;
using Page = YandexMetrikaModule::Page;
using Phrase = YandexMetrikaModule::Phrase;

namespace {

using Accounts = std::map<long long, std::shared_ptr<const std::vector<Counter>>>; // user id -> counters

struct Settings {
    Accounts accounts;
    std::map<std::string, long long> quota; // token -> requests left
};

} // namespace

struct YandexMetrikaModule::State : ModuleState<Settings> {};

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using support::Json;

constexpr long long kMaxCounterPage = 1000;
constexpr long long kMaxDataLimit = 100000;
constexpr long long kDefaultDataLimit = 100;
constexpr long long kMaxPeriodDays = 366 * 10; // keeps a daily split bounded

const char *const kMetricNames[] = {"ym:s:visits", "ym:s:users", "ym:s:bounceRate", "ym:s:pageDepth",
                                    "ym:s:avgVisitDurationSeconds"};
constexpr size_t kMetricCount = std::size(kMetricNames);

using yandex::metrika::invalidParameter;

std::optional<long long> wholeNumber(const std::string &text)
{
    if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(text);
}

// A paging parameter within [min, max]; fallback when absent, nullopt when
// present and not such a number.
std::optional<long long> pagingParam(const RecordedRequest &request, const char *name, long long min, long long max,
                                     long long fallback)
{
    if (!support::hasParam(request.query, name))
        return fallback;
    const auto value = wholeNumber(request.queryParam(name));
    if (!value || *value < min || *value > max)
        return std::nullopt;
    return value;
}

// "yyyy-mm-dd", "today", "yesterday" or "NdaysAgo".
std::optional<sys_days> dayParam(const std::string &text)
{
    if (text == "today")
        return support::today();
    if (text == "yesterday")
        return support::today() - days{1};
    const std::string suffix = "daysAgo";
    if (text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
        const auto n = wholeNumber(text.substr(0, text.size() - suffix.size()));
        if (!n || *n > 100000)
            return std::nullopt;
        return support::today() - days{*n};
    }
    if (text.size() != 10)
        return std::nullopt;
    return support::parseDay(text);
}

struct Period {
    sys_days first;
    sys_days last;
};

// date1 (six days before date2 when absent) and date2 (today when absent).
std::optional<Period> periodParams(const RecordedRequest &request, Response &error)
{
    Period period{support::today() - days{6}, support::today()};
    const bool hasFirst = support::hasParam(request.query, "date1");
    if (support::hasParam(request.query, "date2")) {
        const auto last = dayParam(request.queryParam("date2"));
        if (!last) {
            error = invalidParameter("Wrong parameter: 'date2', value: '" + request.queryParam("date2") + "'");
            return std::nullopt;
        }
        period.last = *last;
        period.first = *last - days{6};
    }
    if (hasFirst) {
        const auto first = dayParam(request.queryParam("date1"));
        if (!first) {
            error = invalidParameter("Wrong parameter: 'date1', value: '" + request.queryParam("date1") + "'");
            return std::nullopt;
        }
        period.first = *first;
    }
    if (period.first > period.last) {
        error = invalidParameter("Start date of interval is after end date of interval");
        return std::nullopt;
    }
    if ((period.last - period.first).count() >= kMaxPeriodDays) {
        error = invalidParameter("Interval is too long");
        return std::nullopt;
    }
    return period;
}

// The first day of the interval a day belongs to.
sys_days intervalStart(sys_days day, const std::string &group, sys_days periodFirst)
{
    using namespace std::chrono;
    const year_month_day ymd{day};
    if (group == "day")
        return day;
    if (group == "week") // Monday to Sunday
        return day - days{(weekday{day}.iso_encoding() - 1)};
    if (group == "month")
        return sys_days{ymd.year() / ymd.month() / 1};
    if (group == "quarter") {
        const unsigned first = (unsigned(ymd.month()) - 1) / 3 * 3 + 1;
        return sys_days{ymd.year() / month{first} / 1};
    }
    if (group == "year")
        return sys_days{ymd.year() / January / 1};
    return periodFirst; // all
}

std::vector<Period> splitPeriod(const Period &period, const std::string &group)
{
    std::vector<Period> intervals;
    for (sys_days day = period.first; day <= period.last; day += days{1}) {
        const sys_days start = std::max(intervalStart(day, group, period.first), period.first);
        if (intervals.empty() || intervals.back().first != start)
            intervals.push_back({start, day});
        else
            intervals.back().last = day;
    }
    return intervals;
}

// EXISTS(ym:pv:URL<op>'<value>') with "\'" and "\\" inside the quotes.
struct UrlFilter {
    std::string op;
    std::string value;
};

std::optional<UrlFilter> parseFilter(const std::string &text)
{
    const std::string head = "EXISTS(ym:pv:URL";
    if (text.compare(0, head.size(), head) != 0)
        return std::nullopt;
    size_t at = head.size();
    UrlFilter filter;
    for (const char *op : {"==", "=*", "=@"}) {
        if (text.compare(at, 2, op) == 0)
            filter.op = op;
    }
    if (filter.op.empty())
        return std::nullopt;
    at += 2;
    if (at >= text.size() || text[at] != '\'')
        return std::nullopt;
    ++at;
    bool closed = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (c == '\\') {
            if (at >= text.size())
                return std::nullopt;
            filter.value += text[at++];
        } else if (c == '\'') {
            closed = true;
            break;
        } else {
            filter.value += c;
        }
    }
    if (!closed || text.substr(at) != ")")
        return std::nullopt;
    return filter;
}

// "*" stands for any text, everything else for itself.
bool wildcardMatch(const std::string &pattern, const std::string &text)
{
    size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool matches(const UrlFilter &filter, const std::string &url)
{
    if (filter.op == "==")
        return url == filter.value;
    if (filter.op == "=@")
        return url.find(filter.value) != std::string::npos;
    return wildcardMatch(filter.value, url);
}

// The host of an http(s) address, "" for anything else.
std::string hostOf(const std::string &url)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return {};
    const size_t start = scheme + 3;
    const size_t end = url.find_first_of("/?#:", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

Page madeUpPage(const std::string &url)
{
    const uint64_t h = support::scatter(support::textHash(url));
    Page page;
    page.url = url;
    page.visitsPerDay = double(1 + h % 40);
    page.usersPerDay = std::max(1.0, std::floor(page.visitsPerDay * double(70 + (h >> 8) % 25) / 100.0));
    page.bounceRate = double((h >> 16) % 60000) / 1000.0 + 5.0;
    page.pageDepth = 1.0 + double((h >> 32) % 3000) / 1000.0;
    page.avgVisitDurationSeconds = double(20 + (h >> 40) % 400) + double((h >> 50) % 2) * 0.5;
    return page;
}

// The pages of a counter whose URL the filter matches.
std::vector<Page> matchingPages(const Counter &counter, const std::optional<UrlFilter> &filter)
{
    std::vector<Page> pages;
    for (const Page &page : counter.pages) {
        if (!filter || matches(*filter, page.url))
            pages.push_back(page);
    }
    // A made-up page for an address of the counter's own site that no
    // listed page answers.
    if (pages.empty() && counter.madeUpTraffic && filter && filter->op != "=@" &&
        filter->value.find('*') == std::string::npos && hostOf(filter->value) == counter.site)
        pages.push_back(madeUpPage(filter->value));
    return pages;
}

// The five figures of some pages over a number of days: sums of visits and
// users, the rates averaged over the visits.
std::vector<double> figures(const std::vector<Page> &pages, long long dayCount)
{
    double visits = 0, users = 0, bounce = 0, depth = 0, duration = 0;
    for (const Page &page : pages) {
        const double v = page.visitsPerDay * double(dayCount);
        visits += v;
        users += page.usersPerDay * double(dayCount);
        bounce += page.bounceRate * v;
        depth += page.pageDepth * v;
        duration += page.avgVisitDurationSeconds * v;
    }
    if (visits > 0) {
        bounce /= visits;
        depth /= visits;
        duration /= visits;
    }
    return {visits, users, bounce, depth, duration};
}

// The metrics asked for, each one the module knows; an error otherwise.
std::optional<std::vector<size_t>> metricParams(const RecordedRequest &request, Response &error)
{
    if (!support::hasParam(request.query, "metrics")) {
        error = yandex::metrika::missingParameter("metrics");
        return std::nullopt;
    }
    std::vector<size_t> metrics;
    const std::string list = request.queryParam("metrics");
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        const auto known = std::find_if(std::begin(kMetricNames), std::end(kMetricNames),
                                        [&](const char *each) { return name == each; });
        if (known == std::end(kMetricNames)) {
            error = invalidParameter("Wrong parameter: 'metrics', unknown metric: '" + name + "'");
            return std::nullopt;
        }
        metrics.push_back(size_t(known - std::begin(kMetricNames)));
        start = comma + 1;
    }
    return metrics;
}

struct Account {
    long long userId = 0;
    std::shared_ptr<const std::vector<Counter>> counters;
};

// The counter of "ids" (or "id"), which must be the account's.
const Counter *counterParam(const RecordedRequest &request, const Account &account, Response &error)
{
    const char *name = support::hasParam(request.query, "ids") ? "ids" : "id";
    if (!support::hasParam(request.query, name)) {
        error = yandex::metrika::missingParameter("ids");
        return nullptr;
    }
    const std::string text = request.queryParam(name);
    const auto id = wholeNumber(text);
    if (!id) {
        error = invalidParameter("Wrong parameter: 'ids', value: '" + text + "'");
        return nullptr;
    }
    if (account.counters) {
        for (const Counter &counter : *account.counters) {
            if (counter.id == *id && counter.status != "Deleted")
                return &counter;
        }
    }
    error = yandex::metrika::accessDenied();
    return nullptr;
}

Json counterJson(const Counter &counter)
{
    Json json{{"id", counter.id},
              {"status", counter.status},
              {"owner_login", "veltrano-demo"},
              {"code_status", "CS_OK"}};
    if (counter.name)
        json["name"] = *counter.name;
    json["site"] = counter.site;
    json["site2"] = Json{{"site", counter.site}, {"domain", counter.site}};
    json["type"] = "simple";
    json["favorite"] = 0;
    json["permission"] = "own";
    json["time_zone_name"] = "Europe/Moscow";
    return json;
}

Response counters(const RecordedRequest &request, const Account &account)
{
    const auto perPage = pagingParam(request, "per_page", 1, kMaxCounterPage, kMaxCounterPage);
    if (!perPage)
        return invalidParameter("Wrong parameter: 'per_page', value: '" + request.queryParam("per_page") + "'");
    const auto offset = pagingParam(request, "offset", 1, 1LL << 40, 1);
    if (!offset)
        return invalidParameter("Wrong parameter: 'offset', value: '" + request.queryParam("offset") + "'");
    Json list = Json::array();
    const size_t total = account.counters ? account.counters->size() : 0;
    for (size_t i = size_t(*offset - 1); i < total && list.size() < size_t(*perPage); ++i)
        list.push_back(counterJson((*account.counters)[i]));
    return support::jsonAnswer(Json{{"rows", total}, {"counters", std::move(list)}});
}

Json queryJson(const RecordedRequest &request, const Counter &counter, const Period &period)
{
    return Json{{"ids", Json::array({counter.id})},
                {"date1", support::formatDay(period.first)},
                {"date2", support::formatDay(period.last)},
                {"filters", request.queryParam("filters")}};
}

Response bytime(const RecordedRequest &request, const Account &account)
{
    Response error;
    const Counter *counter = counterParam(request, account, error);
    if (!counter)
        return error;
    const auto metrics = metricParams(request, error);
    if (!metrics)
        return error;
    const auto period = periodParams(request, error);
    if (!period)
        return error;
    const std::string group = support::hasParam(request.query, "group") ? request.queryParam("group") : "week";
    if (group != "day" && group != "week" && group != "month" && group != "quarter" && group != "year" &&
        group != "all")
        return invalidParameter("Wrong parameter: 'group', value: '" + group + "'");
    std::optional<UrlFilter> filter;
    if (support::hasParam(request.query, "filters")) {
        filter = parseFilter(request.queryParam("filters"));
        if (!filter)
            return invalidParameter("Wrong parameter: 'filters', value: '" + request.queryParam("filters") + "'");
    }

    const std::vector<Page> pages = matchingPages(*counter, filter);
    const std::vector<Period> intervals = splitPeriod(*period, group);
    Json timeIntervals = Json::array();
    Json totals = Json::array();
    for (size_t m = 0; m < metrics->size(); ++m)
        totals.push_back(Json::array());
    for (const Period &interval : intervals) {
        timeIntervals.push_back(Json::array({support::formatDay(interval.first), support::formatDay(interval.last)}));
        const std::vector<double> values = figures(pages, (interval.last - interval.first).count() + 1);
        for (size_t m = 0; m < metrics->size(); ++m)
            totals[m].push_back(values[(*metrics)[m]]);
    }
    Json query = queryJson(request, *counter, *period);
    query["group"] = group;
    Json metricNames = Json::array();
    for (const size_t m : *metrics)
        metricNames.push_back(kMetricNames[m]);
    query["metrics"] = metricNames;
    return support::jsonAnswer(Json{{"query", std::move(query)},
                                    {"data", Json::array({Json{{"dimensions", Json::array()}, {"metrics", totals}}})},
                                    {"total_rows", 1},
                                    {"sampled", false},
                                    {"time_intervals", std::move(timeIntervals)},
                                    {"totals", totals}});
}

Response searchPhrases(const RecordedRequest &request, const Account &account)
{
    Response error;
    const Counter *counter = counterParam(request, account, error);
    if (!counter)
        return error;
    const auto period = periodParams(request, error);
    if (!period)
        return error;
    const std::string preset = request.queryParam("preset");
    if (preset != "sources_search_phrases")
        return invalidParameter("Wrong parameter: 'preset', value: '" + preset + "'");
    const auto limit = pagingParam(request, "limit", 1, kMaxDataLimit, kDefaultDataLimit);
    if (!limit)
        return invalidParameter("Wrong parameter: 'limit', value: '" + request.queryParam("limit") + "'");
    const auto offset = pagingParam(request, "offset", 1, 1LL << 40, 1);
    if (!offset)
        return invalidParameter("Wrong parameter: 'offset', value: '" + request.queryParam("offset") + "'");

    Json data = Json::array();
    double totals[kMetricCount] = {};
    for (const Phrase &phrase : counter->phrases) {
        totals[0] += phrase.visits;
        totals[1] += phrase.users;
    }
    const size_t total = counter->phrases.size();
    for (size_t i = size_t(*offset - 1); i < total && data.size() < size_t(*limit); ++i) {
        const Phrase &p = counter->phrases[i];
        data.push_back(Json{
            {"dimensions", Json::array({Json{{"name", p.text}}, Json{{"id", "yandex"}, {"name", "Яндекс"}}})},
            {"metrics", Json::array({p.visits, p.users, p.bounceRate, p.pageDepth, p.avgVisitDurationSeconds})}});
    }
    Json query = queryJson(request, *counter, *period);
    query["preset"] = preset;
    query["limit"] = *limit;
    query["offset"] = *offset;
    return support::jsonAnswer(Json{{"query", std::move(query)},
                                    {"data", std::move(data)},
                                    {"total_rows", total},
                                    {"total_rows_rounded", false},
                                    {"sampled", false},
                                    {"totals", Json::array({totals[0], totals[1], 0.0, 0.0, 0.0})}});
}

Response serve(const RecordedRequest &request, const std::string &prefix, const TokenRegistry &tokens,
               ModuleState<Settings> &state)
{
    const std::string path = request.path.substr(prefix.size());
    const auto caller = yandex::caller(request, tokens);
    if (const auto *fault = std::get_if<yandex::TokenFault>(&caller))
        return yandex::metrika::tokenRefused(*fault);
    const std::string &token = std::get<yandex::Caller>(caller).token;
    const TokenRegistry::Grant *grant = &std::get<yandex::Caller>(caller).grant;
    // A request the quota refuses takes nothing from it; any other takes one
    // request, whatever its answer.
    Accounts accounts;
    const bool withinQuota = state.with([&](Settings &settings) {
        const auto quota = settings.quota.find(token);
        if (quota != settings.quota.end()) {
            if (quota->second <= 0)
                return false;
            --quota->second;
        }
        accounts = settings.accounts;
        return true;
    });
    if (!withinQuota)
        return yandex::metrika::quotaExceeded();
    if (request.method != "GET" && request.method != "HEAD")
        return yandex::metrika::methodNotAllowed(request.method);

    Account account;
    account.userId = grant->userId;
    if (const auto found = accounts.find(grant->userId); found != accounts.end())
        account.counters = found->second;

    if (path == "/management/v1/counters")
        return counters(request, account);
    if (path == "/stat/v1/data/bytime")
        return bytime(request, account);
    if (path == "/stat/v1/data")
        return searchPhrases(request, account);
    return yandex::metrika::notFound();
}

} // namespace

std::vector<Phrase> YandexMetrikaModule::generatedPhrases(size_t count, const std::string &seed)
{
    static const char *const kNouns[] = {"диван", "кресло", "стол", "шкаф", "комод", "стул", "кровать", "тумба"};
    static const char *const kWords[] = {"купить", "цена", "недорого", "отзывы", "фото", "москва", "каталог",
                                         "распродажа", "из массива", "для гостиной", "угловой", "раскладной"};
    const uint64_t base = support::textHash(seed);
    std::vector<Phrase> phrases;
    phrases.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint64_t h = support::scatter(base + i);
        Phrase p;
        p.text = std::string(kNouns[i % std::size(kNouns)]) + " " + kWords[(i / std::size(kNouns)) % std::size(kWords)];
        const size_t round = i / (std::size(kNouns) * std::size(kWords));
        if (round > 0)
            p.text += " " + std::to_string(round + 1);
        p.visits = std::max(1.0, std::floor(5000.0 / std::pow(double(i + 1), 0.8)));
        p.users = std::max(1.0, std::floor(p.visits * double(75 + h % 20) / 100.0));
        p.bounceRate = double(h % 100000) / 1000.0;
        p.pageDepth = 1.0 + double((h >> 20) % 4000) / 1000.0;
        p.avgVisitDurationSeconds = double((h >> 32) % 600000) / 1000.0;
        phrases.push_back(std::move(p));
    }
    return phrases;
}

std::vector<Counter> YandexMetrikaModule::demoCounters()
{
    std::vector<Counter> counters;
    Counter main;
    main.id = 44147844;
    main.site = "example.com";
    main.name = "Example furniture shop";
    main.madeUpTraffic = true;
    main.phrases = generatedPhrases(1234, main.site);
    counters.push_back(std::move(main));

    Counter cyrillic;
    cyrillic.id = 52216913;
    cyrillic.site = "пример.рф";
    cyrillic.madeUpTraffic = true;
    cyrillic.phrases = generatedPhrases(75, cyrillic.site);
    counters.push_back(std::move(cyrillic));

    Counter shop;
    shop.id = 61002345;
    shop.site = "shop.example.org";
    shop.name = "Shop";
    counters.push_back(std::move(shop));

    Counter old;
    old.id = 30011223;
    old.status = "Deleted";
    old.site = "old.example.com";
    counters.push_back(std::move(old));
    return counters;
}

YandexMetrikaModule::YandexMetrikaModule(std::shared_ptr<TokenRegistry> tokens)
    : m_tokens(std::move(tokens)), m_state(std::make_shared<State>())
{
}

void YandexMetrikaModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix, [state = m_state, tokens = m_tokens, prefix](const RecordedRequest &request) {
        if (request.path.size() > prefix.size() && request.path[prefix.size()] != '/')
            return yandex::metrika::notFound(); // "/yandex-metrikaX" is not below the prefix
        return serve(request, prefix, *tokens, *state);
    });
}

void YandexMetrikaModule::setCounters(long long userId, std::vector<Counter> counters)
{
    auto shared = std::make_shared<const std::vector<Counter>>(std::move(counters));
    m_state->with([&](Settings &settings) { settings.accounts[userId] = std::move(shared); });
}

void YandexMetrikaModule::acceptToken(const std::string &token, long long userId)
{
    m_tokens->add(token, {"yandex", {}, {}, userId});
}

void YandexMetrikaModule::setQuota(const std::string &token, long long requests)
{
    m_state->with([&](Settings &settings) {
        if (requests < 0)
            settings.quota.erase(token);
        else
            settings.quota[token] = requests;
    });
}

void YandexMetrikaModule::installDemoData()
{
    setCounters(demo::kYandexUserId, demoCounters());
    acceptToken(demo::kYandexToken, demo::kYandexUserId);
}

} // namespace veltrano::sim
