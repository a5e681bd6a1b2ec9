#include "AhrefsV3Module.h"

#include "DemoAccounts.h"
#include "ModuleState.h"
#include "ServiceSupport.h"
#include "SimServer.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <type_traits>
#include <unordered_map>

namespace veltrano::sim {

using support::Json;

namespace {

struct Key {
    long long limit = -1; // negative: unlimited
    long long used = 0;
};

// The sites with indexes of the addresses exact mode asks about, so a check
// of tens of thousands of rows is not answered by scanning every page.
struct Catalog {
    std::vector<AhrefsModule::Site> sites;
    std::unordered_map<std::string, std::vector<const AhrefsModule::Page *>> pagesByAddress;
    std::unordered_map<std::string, std::vector<const AhrefsModule::Backlink *>> linksByTarget;
};

struct Settings {
    std::shared_ptr<const Catalog> sites = std::make_shared<const Catalog>();
    std::map<std::string, Key> keys;
    std::set<std::string> refused;
    std::set<std::string> noPermission;
    bool acceptAnyKey = false;
    bool throttled = false;
    std::string resetDate = "2027-01-01";
};

Response error(int status, const std::string &text)
{
    Response r = support::jsonAnswer(Json{{"error", text}}, status);
    r.reason = reasonPhrase(status);
    return r;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

// URL Rating on a 100-point scale from the v2 rank of a page.
double urlRating(long long rank)
{
    return double(rank % 1000) / 10.0;
}

std::string hostOf(const std::string &url)
{
    std::string rest = url.substr(url.find("://") == std::string::npos ? 0 : url.find("://") + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    return rest.starts_with("www.") ? rest.substr(4) : rest;
}

// One list endpoint: its top-level key and how a row writes a field.
using Row = std::function<Json(const std::string &field)>;

} // namespace

struct AhrefsV3Module::State : ModuleState<Settings> {};

AhrefsV3Module::AhrefsV3Module() : m_state(std::make_shared<State>()) {}

namespace {

// The rows a list endpoint holds for a target, each a function from a field
// name to its value (null for a field the endpoint does not know).
// The pages (or the backlinks to pages) in the target: looked up for exact
// mode, found by a walk through every site otherwise.
template <typename Item, typename Index, typename Each>
void forEachInTarget(const Catalog &catalog, const Index &index, const std::string &target, const std::string &mode,
                     Each &&each)
{
    if (mode == "exact") {
        const auto found = index.find(AhrefsModule::addressWithoutScheme(target));
        if (found != index.end()) {
            for (const Item *item : found->second)
                each(*item);
        }
        return;
    }
    for (const auto &site : catalog.sites) {
        if constexpr (std::is_same_v<Item, AhrefsModule::Page>) {
            for (const auto &page : site.pages) {
                if (AhrefsModule::inTarget(page.url, target, mode))
                    each(page);
            }
        } else {
            for (const auto &link : site.backlinks) {
                if (AhrefsModule::inTarget(link.urlTo, target, mode))
                    each(link);
            }
        }
    }
}

template <typename Each>
void pagesInTarget(const Catalog &catalog, const std::string &target, const std::string &mode, Each &&each)
{
    forEachInTarget<AhrefsModule::Page>(catalog, catalog.pagesByAddress, target, mode, std::forward<Each>(each));
}

template <typename Each>
void linksInTarget(const Catalog &catalog, const std::string &target, const std::string &mode, Each &&each)
{
    forEachInTarget<AhrefsModule::Backlink>(catalog, catalog.linksByTarget, target, mode, std::forward<Each>(each));
}

std::vector<Row> listRows(const std::string &endpoint, const Catalog &catalog, const std::string &target,
                          const std::string &mode)
{
    std::vector<Row> rows;
    if (endpoint == "crawled-pages") {
        pagesInTarget(catalog, target, mode, [&](const AhrefsModule::Page &page) {
                const auto *p = &page;
                rows.push_back([p](const std::string &f) -> Json {
                    if (f == "url") return p->url;
                    if (f == "url_rating") return urlRating(p->ahrefsRank);
                    if (f == "http_code") return p->httpCode;
                    if (f == "title") return p->title.empty() ? Json() : Json(p->title);
                    if (f == "first_seen") return p->firstSeen;
                    if (f == "last_crawled" || f == "last_attempt") return p->lastVisited;
                    return Json();
                });
        });
    } else if (endpoint == "all-backlinks") {
        linksInTarget(catalog, target, mode, [&](const AhrefsModule::Backlink &link) {
                const auto *b = &link;
                rows.push_back([b](const std::string &f) -> Json {
                    if (f == "url_from") return b->urlFrom;
                    if (f == "url_to") return b->urlTo;
                    if (f == "anchor") return b->anchor;
                    if (f == "title") return b->title;
                    if (f == "domain_rating_source") return double(b->domainRating);
                    if (f == "url_rating_source") return urlRating(b->ahrefsRank);
                    if (f == "first_seen") return b->firstSeen;
                    if (f == "last_visited") return b->lastVisited;
                    if (f == "is_nofollow") return b->nofollow;
                    return Json();
                });
        });
    } else if (endpoint == "refdomains" || endpoint == "anchors") {
        const bool byDomain = endpoint == "refdomains";
        struct Group {
            std::string name;
            long long links = 0;
            std::set<std::string> domains;
            double rating = 0;
            std::string firstSeen;
        };
        auto groups = std::make_shared<std::vector<Group>>();
        std::map<std::string, size_t> index;
        linksInTarget(catalog, target, mode, [&](const AhrefsModule::Backlink &link) {
                const std::string name = byDomain ? hostOf(link.urlFrom) : link.anchor;
                auto [it, added] = index.emplace(name, groups->size());
                if (added)
                    groups->push_back({name, 0, {}, double(link.domainRating), link.firstSeen});
                Group &g = (*groups)[it->second];
                ++g.links;
                g.domains.insert(hostOf(link.urlFrom));
                g.rating = std::max(g.rating, double(link.domainRating));
                g.firstSeen = std::min(g.firstSeen, link.firstSeen);
        });
        for (size_t i = 0; i < groups->size(); ++i) {
            rows.push_back([groups, i, byDomain](const std::string &f) -> Json {
                const Group &g = (*groups)[i];
                if (f == (byDomain ? "domain" : "anchor")) return g.name;
                if (f == "links_to_target" || f == "refpages") return g.links;
                if (f == "refdomains") return (long long)g.domains.size();
                if (f == "domain_rating" || f == "top_domain_rating") return g.rating;
                if (f == "first_seen") return g.firstSeen;
                return Json();
            });
        }
    }
    return rows;
}

const std::map<std::string, std::string> kListKeys = {
    {"crawled-pages", "pages"}, {"all-backlinks", "backlinks"}, {"refdomains", "refdomains"}, {"anchors", "anchors"}};

struct Answer {
    Response response;
    long long cost = 0;
    long long rows = 0;
};

Answer serveSiteExplorer(const std::string &endpoint, const RecordedRequest &request, const Catalog &sites)
{
    const auto missing = [](const std::string &name) {
        return Answer{error(400, "missing required parameter: " + name)};
    };
    const std::string target = request.queryParam("target");
    if (target.empty())
        return missing("target");
    std::string mode = request.queryParam("mode");
    if (mode.empty())
        mode = "subdomains";
    if (mode != "exact" && mode != "prefix" && mode != "domain" && mode != "subdomains")
        return {error(400, "invalid value for parameter mode: " + mode)};
    const std::string output = request.queryParam("output");
    if (!output.empty() && output != "json")
        return {error(400, "only json output is simulated")};

    if (endpoint == "backlinks-stats" || endpoint == "domain-rating") {
        const std::string date = request.queryParam("date");
        if (date.empty())
            return missing("date");
        if (!support::parseDay(date))
            return {error(400, "invalid date: " + date)};
        if (endpoint == "domain-rating") {
            const uint64_t h = support::scatter(support::textHash(hostOf(target)));
            return {support::jsonAnswer(Json{{"domain_rating", Json{{"domain_rating", double(h % 1000) / 10.0},
                                                                    {"ahrefs_rank", (long long)(h % 9000000) + 1}}}}),
                    50, 1};
        }
        long long live = 0;
        std::set<std::string> domains;
        linksInTarget(sites, target, mode, [&](const AhrefsModule::Backlink &link) {
            ++live;
            domains.insert(hostOf(link.urlFrom));
        });
        const long long lost = live / 7;
        Json metrics{{"all_time", live + lost},
                     {"all_time_refdomains", (long long)domains.size() + lost / 3},
                     {"live", live},
                     {"live_refdomains", (long long)domains.size()}};
        return {support::jsonAnswer(Json{{"metrics", metrics}}), 50, 1};
    }

    if (endpoint == "refdomains-history") {
        const std::string from = request.queryParam("date_from");
        if (from.empty())
            return missing("date_from");
        const auto first = support::parseDay(from);
        const std::string toText = request.queryParam("date_to");
        const auto last = toText.empty() ? std::optional(support::today()) : support::parseDay(toText);
        if (!first || !last)
            return {error(400, "invalid date")};
        std::string grouping = request.queryParam("history_grouping");
        if (grouping.empty())
            grouping = "monthly";
        if (grouping != "daily" && grouping != "weekly" && grouping != "monthly")
            return {error(400, "invalid value for parameter history_grouping: " + grouping)};
        long long base = 0;
        linksInTarget(sites, target, mode, [&](const AhrefsModule::Backlink &) { ++base; });
        Json list = Json::array();
        const uint64_t seed = support::textHash(target);
        using namespace std::chrono;
        for (sys_days day = *first; day <= *last;) {
            const long long step = (long long)((day - *first).count());
            const long long value = base / 3 + step / 5 + (long long)(support::scatter(seed + uint64_t(step)) % 4);
            list.push_back(Json{{"date", support::formatDay(day)}, {"refdomains", value}});
            if (grouping == "daily")
                day += days(1);
            else if (grouping == "weekly")
                day += days(7);
            else {
                const year_month_day ymd(day);
                day = sys_days(year_month_day(ymd.year() / ymd.month() / 1) + months(1));
            }
        }
        const long long rows = (long long)list.size();
        return {support::jsonAnswer(Json{{"refdomains", list}}), std::max(50LL, 5 * rows), rows};
    }

    const auto key = kListKeys.find(endpoint);
    if (key == kListKeys.end())
        return {error(404, "unknown endpoint")};
    const std::string select = request.queryParam("select");
    if (select.empty())
        return missing("select");
    const std::vector<std::string> fields = split(select, ',');
    long long limit = 1000;
    if (const std::string text = request.queryParam("limit"); !text.empty()) {
        try {
            limit = std::stoll(text);
        } catch (...) {
            return {error(400, "invalid value for parameter limit: " + text)};
        }
        if (limit < 1)
            return {error(400, "invalid value for parameter limit: " + text)};
    }
    std::vector<Row> rows = listRows(endpoint, sites, target, mode);
    if (const std::string order = request.queryParam("order_by"); !order.empty()) {
        const std::string field = order.substr(0, order.find(':'));
        const bool ascending = order.ends_with(":asc");
        std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
            return ascending ? a(field) < b(field) : b(field) < a(field);
        });
    }
    if ((long long)rows.size() > limit)
        rows.resize(size_t(limit));
    Json list = Json::array();
    for (const Row &row : rows) {
        Json item = Json::object();
        for (const std::string &field : fields)
            item[field] = row(field);
        list.push_back(std::move(item));
    }
    const long long count = (long long)rows.size();
    return {support::jsonAnswer(Json{{key->second, list}}), std::max(50LL, (long long)fields.size() * count), count};
}

} // namespace

void AhrefsV3Module::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("GET", prefix + "/v3/", [state = m_state, prefix](const RecordedRequest &request) {
        const std::string path = request.path.substr(prefix.size() + 4);
        const std::string authorization = request.header("Authorization");
        const std::string key = authorization.starts_with("Bearer ") ? authorization.substr(7) : std::string();
        enum class Access { Good, Refused, NoPermission };
        const auto [access, settings] = state->with([&](Settings &s) {
            Access a = Access::Good;
            if (key.empty() || s.refused.count(key) || (!s.acceptAnyKey && !s.keys.count(key)))
                a = Access::Refused;
            else if (s.noPermission.count(key))
                a = Access::NoPermission;
            if (a == Access::Good)
                s.keys.emplace(key, Key{});
            return std::pair{a, s};
        });
        if (access == Access::Refused)
            return error(401, kInvalidKey);

        if (path == "subscription-info/limits-and-usage") {
            const Key k = settings.keys.at(key);
            const Json limit = k.limit < 0 ? Json() : Json(k.limit);
            Response r = support::jsonAnswer(Json{{"limits_and_usage",
                                                   Json{{"subscription", "Enterprise"},
                                                        {"usage_reset_date", settings.resetDate},
                                                        {"units_limit_workspace", limit},
                                                        {"units_usage_workspace", k.used},
                                                        {"units_limit_api_key", limit},
                                                        {"units_usage_api_key", k.used},
                                                        {"api_key_expiration_date", "2027-06-30T00:00:00Z"}}}});
            r.headers.push_back({"x-api-units-cost-total", "0"});
            return r;
        }
        if (!path.starts_with("site-explorer/"))
            return error(404, "unknown endpoint");
        if (access == Access::NoPermission)
            return error(403, kNoPermission);
        if (settings.throttled)
            return error(429, kTooManyRequests);

        Answer answer = serveSiteExplorer(path.substr(14), request, *settings.sites);
        if (answer.response.status != 200)
            return answer.response;
        const bool spent = state->with([&](Settings &s) {
            Key &k = s.keys[key];
            if (k.limit >= 0 && k.used + answer.cost > k.limit)
                return true;
            k.used += answer.cost;
            return false;
        });
        if (spent)
            return error(403, kUnitsSpent);
        const std::string perRow = answer.rows > 0 ? std::to_string(answer.cost / answer.rows) : "0";
        answer.response.headers.push_back({"x-api-rows", std::to_string(answer.rows)});
        answer.response.headers.push_back({"x-api-units-cost-row", perRow});
        answer.response.headers.push_back({"x-api-units-cost-total", std::to_string(answer.cost)});
        answer.response.headers.push_back({"x-api-units-cost-total-actual", std::to_string(answer.cost)});
        answer.response.headers.push_back({"x-api-cache", "miss"});
        return answer.response;
    });
}

void AhrefsV3Module::setSites(std::vector<AhrefsModule::Site> sites)
{
    auto catalog = std::make_shared<Catalog>();
    catalog->sites = std::move(sites);
    for (const auto &site : catalog->sites) {
        for (const auto &page : site.pages)
            catalog->pagesByAddress[AhrefsModule::addressWithoutScheme(page.url)].push_back(&page);
        for (const auto &link : site.backlinks)
            catalog->linksByTarget[AhrefsModule::addressWithoutScheme(link.urlTo)].push_back(&link);
    }
    std::shared_ptr<const Catalog> shared = std::move(catalog);
    m_state->with([&](Settings &s) { s.sites = std::move(shared); });
}

void AhrefsV3Module::acceptKey(const std::string &key, long long unitsLimit)
{
    m_state->with([&](Settings &s) {
        s.keys[key].limit = unitsLimit;
        s.refused.erase(key);
    });
}

void AhrefsV3Module::setUnitsUsed(const std::string &key, long long units)
{
    m_state->with([&](Settings &s) { s.keys[key].used = units; });
}

void AhrefsV3Module::setAcceptAnyKey(bool accept)
{
    m_state->with([&](Settings &s) { s.acceptAnyKey = accept; });
}

void AhrefsV3Module::refuseKey(const std::string &key)
{
    m_state->with([&](Settings &s) {
        s.refused.insert(key);
        s.keys.erase(key);
    });
}

void AhrefsV3Module::denyPermission(const std::string &key)
{
    m_state->with([&](Settings &s) { s.noPermission.insert(key); });
}

void AhrefsV3Module::setThrottled(bool throttled)
{
    m_state->with([&](Settings &s) { s.throttled = throttled; });
}

void AhrefsV3Module::setResetDate(const std::string &day)
{
    m_state->with([&](Settings &s) { s.resetDate = day; });
}

long long AhrefsV3Module::unitsUsed(const std::string &key) const
{
    return m_state->with([&](Settings &s) {
        const auto found = s.keys.find(key);
        return found == s.keys.end() ? 0LL : found->second.used;
    });
}

void AhrefsV3Module::installDemoData()
{
    setSites(AhrefsModule::demoSites());
    setAcceptAnyKey(true);
    acceptKey(demo::kAhrefsToken);
    refuseKey(demo::kAhrefsRefusedToken);
    acceptKey(demo::kAhrefsSpentToken, 1000);
    setUnitsUsed(demo::kAhrefsSpentToken, 1000);
}

} // namespace veltrano::sim
