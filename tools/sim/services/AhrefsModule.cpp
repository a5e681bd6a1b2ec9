#include "AhrefsModule.h"

#include "DemoAccounts.h"
#include "ModuleState.h"
#include "ServiceSupport.h"
#include "SimServer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

namespace veltrano::sim {

using Site = AhrefsModule::Site;
using Page = AhrefsModule::Page;
using Backlink = AhrefsModule::Backlink;
using Count = AhrefsModule::Count;

namespace {

struct Subscription {
    double rowsLimit = 0;
    double rowsLeft = 0;
    std::string name;
};

// The sites with their pages indexed by address without the scheme, so
// that an exact request does not walk every page of every site.
struct Catalog {
    std::vector<Site> sites;
    std::unordered_map<std::string, std::vector<const Page *>> pagesByAddress;
};

struct Settings {
    std::shared_ptr<const Catalog> catalog = std::make_shared<const Catalog>();
    std::map<std::string, Subscription> tokens;
    std::set<std::string> refused;
    bool acceptAnyToken = false;
    bool escapeUnicode = false;
};

} // namespace

struct AhrefsModule::State : ModuleState<Settings> {};

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using support::Json;
using support::scatter;
using support::textHash;

constexpr long long kDefaultLimit = 1000;
constexpr long long kMaxLimit = 1000000; // keeps one answer bounded
constexpr double kWhereCost = 5;
constexpr const char *kCountersTable = "backlinks_new_lost_counters_by_type";

// What a table's request and each row of its answer cost, in subscription
// rows, as the reference lists them.
struct Table {
    const char *name;
    const char *member;
    double requestCost;
    double resultCost;
    const char *columns; // what "where" may name
};

constexpr Table kTables[] = {
    {"ahrefs_rank", "pages", 1, 1, " url ahrefs_rank "},
    {"anchors", "anchors", 1, 1, " anchor backlinks refpages refdomains first_seen last_visited "},
    {"backlinks", "refpages", 1, 0.2,
     " url_from url_to ahrefs_rank domain_rating ahrefs_top ip_from links_internal links_external page_size encoding "
     "language title first_seen last_visited prev_visited original link_type redirect nofollow alt anchor text_pre "
     "text_post "},
    {"metrics", "metrics", 1, 0, " "},
    {"pages", "pages", 1, 0.2,
     " url ahrefs_rank first_seen last_visited http_code size links_internal links_external encoding title "
     "redirect_url content_encoding "},
    {"refdomains", "refdomains", 1, 1, " refdomain backlinks refpages first_seen last_visited domain_rating "},
    {"subscription_info", "info", 0, 0, " "},
    {kCountersTable, "counts", 1, 1, " date type origin refpages all "},
};

const Table *tableNamed(const std::string &name)
{
    for (const Table &table : kTables) {
        if (name == table.name)
            return &table;
    }
    return nullptr;
}

// ---- made-up site content -------------------------------------------------

const char *const kNouns[] = {"Диван", "Кресло", "Стол", "Шкаф", "Комод", "Стул", "Кровать", "Тумба"};
const char *const kNounsLatin[] = {"divan", "kreslo", "stol", "shkaf", "komod", "stul", "krovat", "tumba"};
const char *const kPhrases[] = {"из массива", "для гостиной", "в стиле лофт", "со скидкой", "на заказ"};
const char *const kAnchors[] = {"мебель для дома", "купить диван", "интернет-магазин мебели",
                                "здесь",           "example.com",  "furniture shop",
                                "кресло «Уют»",    "click here"};
const char *const kReferrers[] = {"mebel-blog.ru",     "interior.example.net", "forum.example.org",
                                  "news.example.info", "catalog.example.biz",  "otzyvy.example.ru",
                                  "design.example.io"};
const char *const kOtherOrigins[] = {"new_page", "link_restored", "redirect"};
const char *const kLostOrigins[] = {"link_removed", "page_removed", "broken"};

std::string percentEncodedPath(const std::string &path)
{
    std::string encoded;
    for (const char c : path)
        encoded += c == '/' ? std::string("/") : support::percentEncode(std::string(1, c));
    return encoded;
}

std::string pagePath(size_t i, bool cyrillic)
{
    const std::string n = std::to_string(i);
    const size_t noun = i % std::size(kNouns);
    if (cyrillic) {
        static const char *const kFixed[] = {"/", "/доставка/", "/контакты/"};
        return percentEncodedPath(i < std::size(kFixed) ? std::string(kFixed[i])
                                                        : std::string("/каталог/") + kNouns[noun] + "-" + n + "/");
    }
    static const char *const kFixed[] = {"/", "/delivery/", "/contacts/", "/sale/"};
    if (i < std::size(kFixed))
        return kFixed[i];
    return i % 3 == 0 ? "/blog/" + n + "-" + kNounsLatin[noun] + ".html"
                      : std::string("/catalog/") + kNounsLatin[noun] + "/" + n + "/";
}

std::string pageTitle(size_t i)
{
    static const char *const kFixed[] = {"Главная — мебель для дома", "Доставка и оплата", "Контакты",
                                         "Диваны 🛋 со скидкой до 30%"};
    if (i < std::size(kFixed))
        return kFixed[i];
    if (i % 17 == 0)
        return "Кресло «Уют» и \"Комфорт\" — отзывы, страница " + std::to_string(i);
    return std::string(kNouns[i % std::size(kNouns)]) + " " + kPhrases[(i / 8) % std::size(kPhrases)] +
           " — купить, страница " + std::to_string(i);
}

std::string timeOf(sys_days day, uint64_t h)
{
    char time[32];
    std::snprintf(time, sizeof time, "T%02u:%02u:%02uZ", static_cast<unsigned>(h % 24),
                  static_cast<unsigned>((h >> 8) % 60), static_cast<unsigned>((h >> 16) % 60));
    return support::formatDay(day) + time;
}

// ---- reading the request ---------------------------------------------------

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// "https://www.Example.com/a" -> "www.Example.com/a"
std::string withoutScheme(const std::string &url)
{
    const std::string l = lower(url.substr(0, 8));
    if (l.starts_with("https://"))
        return url.substr(8);
    if (l.starts_with("http://"))
        return url.substr(7);
    return url;
}

// The host of an address without scheme, lower-cased, without "www.".
std::string hostOf(const std::string &address)
{
    std::string host = lower(address.substr(0, address.find_first_of("/?#")));
    if (host.starts_with("www."))
        host = host.substr(4);
    return host;
}

// Whether an address belongs to the target in the given mode:
//   exact       the address itself
//   prefix      every address that starts with the target
//   domain      every address on the target's host
//   subdomains  the same and every address on its subdomains
// The scheme is not compared: a target without one covers both.
bool inTarget(const std::string &url, const std::string &target, const std::string &mode)
{
    const std::string address = withoutScheme(url);
    const std::string wanted = withoutScheme(target);
    if (mode == "exact")
        return address == wanted;
    if (mode == "prefix")
        return address.starts_with(wanted);
    const std::string host = hostOf(address);
    const std::string wantedHost = hostOf(wanted);
    if (mode == "domain")
        return host == wantedHost;
    return host == wantedHost || host.ends_with("." + wantedHost);
}

// One condition of "where": a column, an operator and a value, the value
// written in double quotes for texts and dates.
struct Condition {
    std::string column;
    std::string op; // = <> < > <= >= :
    std::string value;
    bool quoted = false;
};

std::optional<std::vector<Condition>> parseWhere(const std::string &where)
{
    std::vector<Condition> conditions;
    size_t i = 0;
    while (i < where.size()) {
        Condition c;
        while (i < where.size() && (std::isalnum(static_cast<unsigned char>(where[i])) || where[i] == '_'))
            c.column += where[i++];
        for (const char *op : {"<>", "<=", ">=", "=", "<", ">", ":"}) {
            if (where.compare(i, std::char_traits<char>::length(op), op) == 0) {
                c.op = op;
                break;
            }
        }
        if (c.column.empty() || c.op.empty())
            return std::nullopt;
        i += c.op.size();
        if (i < where.size() && where[i] == '"') {
            const size_t close = where.find('"', i + 1);
            if (close == std::string::npos)
                return std::nullopt;
            c.value = where.substr(i + 1, close - i - 1);
            c.quoted = true;
            i = close + 1;
        } else {
            while (i < where.size() && where[i] != ',')
                c.value += where[i++];
            if (c.value.empty())
                return std::nullopt;
        }
        conditions.push_back(c);
        if (i < where.size()) {
            if (where[i] != ',')
                return std::nullopt;
            ++i;
        }
    }
    return conditions;
}

template <typename T> bool compare(const T &left, const std::string &op, const T &right)
{
    if (op == "=" || op == ":")
        return left == right;
    if (op == "<>")
        return left != right;
    if (op == "<")
        return left < right;
    if (op == ">")
        return left > right;
    if (op == "<=")
        return left <= right;
    return left >= right;
}

bool holds(const Json &row, const Condition &c)
{
    const auto member = row.find(c.column);
    if (member == row.end())
        return false;
    if (member->is_number() && !c.quoted) {
        char *end = nullptr;
        const double wanted = std::strtod(c.value.c_str(), &end);
        if (end == c.value.c_str() || *end != '\0')
            return false;
        return compare(member->get<double>(), c.op, wanted);
    }
    if (member->is_boolean())
        return compare(std::string(member->get<bool>() ? "true" : "false"), c.op, lower(c.value));
    if (member->is_string())
        return compare(member->get<std::string>(), c.op, c.value);
    return false;
}

// ---- the tables --------------------------------------------------------------

Json pageRow(const Page &p)
{
    return Json{{"url", p.url},
                {"ahrefs_rank", p.ahrefsRank},
                {"first_seen", p.firstSeen},
                {"last_visited", p.lastVisited},
                {"http_code", p.httpCode},
                {"size", p.size},
                {"links_internal", p.linksInternal},
                {"links_external", p.linksExternal},
                {"encoding", p.encoding},
                {"title", p.title},
                {"redirect_url", p.redirectUrl},
                {"content_encoding", p.contentEncoding}};
}

Json backlinkRow(const Backlink &b)
{
    return Json{{"url_from", b.urlFrom},
                {"url_to", b.urlTo},
                {"ahrefs_rank", b.ahrefsRank},
                {"domain_rating", b.domainRating},
                {"ahrefs_top", b.ahrefsTop},
                {"ip_from", b.ipFrom},
                {"links_internal", b.linksInternal},
                {"links_external", b.linksExternal},
                {"page_size", b.pageSize},
                {"encoding", b.encoding},
                {"language", b.language},
                {"title", b.title},
                {"first_seen", b.firstSeen},
                {"last_visited", b.lastVisited},
                {"prev_visited", b.prevVisited},
                {"original", b.original},
                {"link_type", b.linkType},
                {"redirect", b.redirect},
                {"nofollow", b.nofollow},
                {"alt", b.alt},
                {"anchor", b.anchor},
                {"text_pre", b.textPre},
                {"text_post", b.textPost}};
}

std::string domainOf(const std::string &url)
{
    return hostOf(withoutScheme(url));
}

// Groups of backlinks by a key, in the order the first of each appears.
template <typename Key>
std::vector<std::vector<const Backlink *>> groupsBy(const std::vector<const Backlink *> &links, Key key)
{
    std::vector<std::vector<const Backlink *>> groups;
    std::map<std::string, size_t> index;
    for (const Backlink *b : links) {
        const auto [at, added] = index.emplace(key(*b), groups.size());
        if (added)
            groups.emplace_back();
        groups[at->second].push_back(b);
    }
    return groups;
}

std::pair<std::string, std::string> seenRange(const std::vector<const Backlink *> &links)
{
    std::string first = links.front()->firstSeen;
    std::string last = links.front()->lastVisited;
    for (const Backlink *b : links) {
        first = std::min(first, b->firstSeen);
        last = std::max(last, b->lastVisited);
    }
    return {first, last};
}

size_t distinctPages(const std::vector<const Backlink *> &links)
{
    std::set<std::string> pages;
    for (const Backlink *b : links)
        pages.insert(b->urlFrom);
    return pages.size();
}

Json anchorRows(const std::vector<const Backlink *> &links)
{
    Json rows = Json::array();
    for (const auto &group : groupsBy(links, [](const Backlink &b) { return b.anchor; })) {
        std::set<std::string> domains;
        for (const Backlink *b : group)
            domains.insert(domainOf(b->urlFrom));
        const auto [first, last] = seenRange(group);
        rows.push_back(Json{{"anchor", group.front()->anchor},
                            {"backlinks", group.size()},
                            {"refpages", distinctPages(group)},
                            {"refdomains", domains.size()},
                            {"first_seen", first},
                            {"last_visited", last}});
    }
    return rows;
}

Json refdomainRows(const std::vector<const Backlink *> &links)
{
    Json rows = Json::array();
    for (const auto &group : groupsBy(links, [](const Backlink &b) { return domainOf(b.urlFrom); })) {
        const auto [first, last] = seenRange(group);
        rows.push_back(Json{{"refdomain", domainOf(group.front()->urlFrom)},
                            {"backlinks", group.size()},
                            {"refpages", distinctPages(group)},
                            {"first_seen", first},
                            {"last_visited", last},
                            {"domain_rating", group.front()->domainRating}});
    }
    return rows;
}

Json metricsObject(const std::vector<const Page *> &pages, const std::vector<const Backlink *> &links)
{
    long long text = 0, image = 0, nofollow = 0, redirect = 0, canonical = 0, gov = 0, edu = 0, rss = 0, alternate = 0,
              validPages = 0, htmlPages = 0, linksInternal = 0, linksExternal = 0;
    for (const Backlink *b : links) {
        (b->alt.empty() ? text : image) += 1;
        nofollow += b->nofollow ? 1 : 0;
        redirect += b->redirect != 0 ? 1 : 0;
        canonical += b->linkType == "canonical" ? 1 : 0;
        rss += b->linkType == "rss" ? 1 : 0;
        alternate += b->linkType == "alternate" ? 1 : 0;
        const std::string domain = domainOf(b->urlFrom);
        gov += domain.ends_with(".gov") ? 1 : 0;
        edu += domain.ends_with(".edu") ? 1 : 0;
    }
    for (const Page *p : pages) {
        validPages += p->httpCode < 500 ? 1 : 0;
        htmlPages += p->httpCode == 200 ? 1 : 0;
        linksInternal += p->linksInternal;
        linksExternal += p->linksExternal;
    }
    const long long backlinks = static_cast<long long>(links.size());
    return Json{{"backlinks", backlinks},
                {"refpages", distinctPages(links)},
                {"pages", pages.size()},
                {"valid_pages", validPages},
                {"text", text},
                {"image", image},
                {"nofollow", nofollow},
                {"dofollow", backlinks - nofollow},
                {"redirect", redirect},
                {"canonical", canonical},
                {"gov", gov},
                {"edu", edu},
                {"rss", rss},
                {"alternate", alternate},
                {"html_pages", htmlPages},
                {"links_internal", linksInternal},
                {"links_external", linksExternal}};
}

// ---- answers -------------------------------------------------------------------

Response errorAnswer(const std::string &text, bool escape, int status = 200)
{
    return support::jsonAnswer(Json{{"error", text}}, status, escape);
}

struct Snapshot {
    std::shared_ptr<const Catalog> catalog;
    bool escape = false;
};

// The rows of a table for a target, before "where" and "limit".
Json tableRows(const Table &table, const Catalog &catalog, const std::string &target, const std::string &mode)
{
    const std::vector<Site> &sites = catalog.sites;
    std::vector<const Page *> pages;
    std::vector<const Backlink *> links;
    const bool exact = mode == "exact";
    if (exact) {
        const auto found = catalog.pagesByAddress.find(withoutScheme(target));
        if (found != catalog.pagesByAddress.end())
            pages = found->second;
    }
    for (const Site &site : sites) {
        if (!exact) {
            for (const Page &p : site.pages) {
                if (inTarget(p.url, target, mode))
                    pages.push_back(&p);
            }
        }
        for (const Backlink &b : site.backlinks) {
            if (inTarget(b.urlTo, target, mode))
                links.push_back(&b);
        }
    }
    const std::string name = table.name;
    Json rows = Json::array();
    if (name == "pages") {
        for (const Page *p : pages)
            rows.push_back(pageRow(*p));
    } else if (name == "ahrefs_rank") {
        for (const Page *p : pages)
            rows.push_back(Json{{"url", p->url}, {"ahrefs_rank", p->ahrefsRank}});
    } else if (name == "backlinks") {
        for (const Backlink *b : links)
            rows.push_back(backlinkRow(*b));
    } else if (name == "anchors") {
        rows = anchorRows(links);
    } else if (name == "refdomains") {
        rows = refdomainRows(links);
    } else if (name == "metrics") {
        return metricsObject(pages, links);
    } else if (name == kCountersTable) {
        // The counters belong to the site as a whole.
        const std::string host = hostOf(withoutScheme(target));
        for (const Site &site : sites) {
            if (hostOf(site.host) != host)
                continue;
            for (const Count &c : site.counts) {
                rows.push_back(Json{{"date", c.date},
                                    {"type", c.type},
                                    {"origin", c.origin},
                                    {"refpages", c.refpages},
                                    {"all", c.all}});
            }
        }
    }
    return rows;
}

Response serve(const RecordedRequest &request, const std::string &prefix, const Snapshot &snapshot,
               ModuleState<Settings> &state)
{
    const bool escape = snapshot.escape;
    const std::string path = request.path.substr(prefix.size());
    if (!path.empty() && path != "/")
        return errorAnswer("Not found", escape, 404);
    if (request.method != "GET" && request.method != "HEAD")
        return errorAnswer("Method not allowed", escape, 405);

    const std::string token = request.queryParam("token");
    const bool accepted = state.with([&](Settings &settings) {
        const bool known = settings.tokens.count(token) > 0;
        if (token.empty() || settings.refused.count(token) || !(known || settings.acceptAnyToken))
            return false;
        if (!known)
            settings.tokens[token] = Subscription{500000, 500000, "Enterprise Subscription"};
        return true;
    });
    if (!accepted)
        return errorAnswer(AhrefsModule::kAuthenticationError, escape);

    if (support::hasParam(request.query, "output") && request.queryParam("output") != "json")
        return errorAnswer("Output format '" + request.queryParam("output") + "' is not simulated; use json", escape,
                           400);
    const std::string from = request.queryParam("from");
    if (from.empty())
        return errorAnswer("Parameter 'from' is required", escape);
    const Table *table = tableNamed(from);
    if (!table)
        return errorAnswer("Unknown table '" + from + "'", escape);

    if (std::string(table->name) == "subscription_info") {
        const Subscription s = state.with([&](Settings &settings) { return settings.tokens[token]; });
        return support::jsonAnswer(Json{{"info",
                                         {{"rows_left", static_cast<long long>(std::floor(s.rowsLeft))},
                                          {"rows_limit", static_cast<long long>(s.rowsLimit)},
                                          {"subscription", s.name}}}},
                                   200, escape);
    }

    const std::string target = request.queryParam("target");
    if (target.empty())
        return errorAnswer("Parameter 'target' is required", escape);
    const std::string mode = request.queryParam("mode");
    if (mode != "exact" && mode != "prefix" && mode != "domain" && mode != "subdomains")
        return errorAnswer("Invalid mode '" + mode + "'", escape);
    long long limit = kDefaultLimit;
    if (support::hasParam(request.query, "limit")) {
        const std::string text = request.queryParam("limit");
        if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos ||
            std::stoll(text) < 1 || std::stoll(text) > kMaxLimit)
            return errorAnswer("Invalid limit '" + text + "'", escape);
        limit = std::stoll(text);
    }
    const bool hasWhere = support::hasParam(request.query, "where");
    std::vector<Condition> conditions;
    if (hasWhere) {
        const auto parsed = parseWhere(request.queryParam("where"));
        if (!parsed)
            return errorAnswer("Invalid where condition '" + request.queryParam("where") + "'", escape);
        conditions = *parsed;
        for (const Condition &c : conditions) {
            if (std::string(table->columns).find(" " + c.column + " ") == std::string::npos)
                return errorAnswer("Unknown column '" + c.column + "' in where", escape);
        }
    }

    if (state.with([&](Settings &settings) { return settings.tokens[token].rowsLeft <= 0; }))
        return errorAnswer(AhrefsModule::kRowsExhausted, escape);

    Json rows = tableRows(*table, *snapshot.catalog, target, mode);
    size_t results = 1;
    if (rows.is_array()) {
        Json kept = Json::array();
        for (Json &row : rows) {
            if (static_cast<long long>(kept.size()) >= limit)
                break;
            bool keep = true;
            for (const Condition &c : conditions)
                keep = keep && holds(row, c);
            if (keep)
                kept.push_back(std::move(row));
        }
        rows = std::move(kept);
        results = rows.size();
    }
    state.with([&](Settings &settings) {
        Subscription &s = settings.tokens[token];
        s.rowsLeft = std::max(0.0, s.rowsLeft - table->requestCost - table->resultCost * double(results) -
                                       (hasWhere ? kWhereCost : 0));
    });
    return support::jsonAnswer(Json{{table->member, std::move(rows)}}, 200, escape);
}

} // namespace

Site AhrefsModule::generatedSite(const std::string &host, size_t pageCount, size_t backlinkCount,
                                 const std::string &lastDay, int dayCount)
{
    Site site;
    site.host = host;
    const uint64_t seed = textHash(host);
    const bool cyrillic = host.starts_with("xn--");
    const sys_days last = support::parseDay(lastDay).value_or(support::today());
    const std::string base = "https://" + host;

    site.pages.reserve(pageCount);
    for (size_t i = 0; i < pageCount; ++i) {
        const uint64_t h = scatter(seed ^ i);
        Page p;
        p.url = base + pagePath(i, cyrillic);
        p.ahrefsRank = static_cast<long long>(h % 60) + (i == 0 ? 40 : 0);
        p.firstSeen = timeOf(last - days{400 + static_cast<int>(h % 300)}, h);
        p.lastVisited = timeOf(last - days{static_cast<int>((h >> 12) % 30)}, h >> 3);
        p.httpCode = i % 29 == 7 ? 404 : i % 31 == 9 ? 301 : 200;
        if (p.httpCode == 301)
            p.redirectUrl = base + "/";
        p.size = 8000 + static_cast<long long>((h >> 20) % 90000);
        p.linksInternal = 20 + static_cast<long long>((h >> 28) % 200);
        p.linksExternal = static_cast<long long>((h >> 36) % 12);
        p.title = pageTitle(i);
        site.pages.push_back(std::move(p));
    }

    site.backlinks.reserve(backlinkCount);
    for (size_t i = 0; i < backlinkCount && pageCount > 0; ++i) {
        const uint64_t h = scatter(seed + 7919 * i);
        Backlink b;
        const std::string referrer = kReferrers[h % std::size(kReferrers)];
        b.urlFrom = "https://" + referrer + "/post/" + std::to_string(i / 3) + "/";
        b.urlTo = site.pages[(h >> 8) % std::min<size_t>(pageCount, 25)].url;
        b.ahrefsRank = static_cast<long long>((h >> 16) % 70);
        b.domainRating = static_cast<long long>(textHash(referrer) % 90);
        b.ahrefsTop = 100000 + static_cast<long long>(textHash(referrer) % 9000000);
        b.ipFrom = "203.0.113." + std::to_string(textHash(referrer) % 250 + 1);
        b.linksInternal = 10 + static_cast<long long>((h >> 24) % 150);
        b.linksExternal = 1 + static_cast<long long>((h >> 32) % 40);
        b.pageSize = 12000 + static_cast<long long>((h >> 40) % 80000);
        b.language = referrer.ends_with(".ru") ? "ru" : "en";
        b.title = referrer.ends_with(".ru") ? std::string("Обзор: ") + kNouns[i % std::size(kNouns)] + " " +
                                                  kPhrases[(i / 8) % std::size(kPhrases)]
                                            : "Furniture review no. " + std::to_string(i);
        const sys_days firstSeen = last - days{static_cast<int>((h >> 44) % 700)};
        b.firstSeen = timeOf(firstSeen, h);
        b.lastVisited = timeOf(std::min(last, firstSeen + days{1 + static_cast<int>((h >> 50) % 60)}), h >> 5);
        b.prevVisited = timeOf(firstSeen, h >> 7);
        b.original = (h >> 55) % 4 != 0;
        b.nofollow = (h >> 57) % 5 == 0;
        b.anchor = kAnchors[(h >> 59) % std::size(kAnchors)];
        if (i % 23 == 5) {
            b.anchor.clear();
            b.alt = "логотип магазина";
        }
        b.textPre = "Рекомендуем";
        b.textPost = "— хороший выбор";
        site.backlinks.push_back(std::move(b));
    }
    std::stable_sort(site.backlinks.begin(), site.backlinks.end(),
                     [](const Backlink &a, const Backlink &b) { return a.ahrefsRank > b.ahrefsRank; });

    // Newest day first, as the counters are listed; four rows a day.
    site.counts.reserve(size_t(std::max(dayCount, 0)) * 4);
    for (int d = 0; d < dayCount; ++d) {
        const sys_days day = last - days{d};
        const std::string date = support::formatDay(day);
        const uint64_t h = scatter(seed ^ (0x5bd1e995ULL * static_cast<uint64_t>(d + 1)));
        // A slow wave with a little day-to-day noise.
        const double wave = 14.0 + 8.0 * std::sin(static_cast<double>(d) * 2.0 * 3.14159265358979 / 180.0);
        const long long recrawl = std::llround(wave) + static_cast<long long>(h % 5);
        const long long other = static_cast<long long>((h >> 10) % 9);
        const long long lost = static_cast<long long>((h >> 20) % 14);
        const long long lostOther = static_cast<long long>((h >> 30) % 6);
        site.counts.push_back({date, "new", "recrawl", std::max(1LL, recrawl * 2 / 3), recrawl});
        site.counts.push_back({date, "new", kOtherOrigins[(h >> 40) % std::size(kOtherOrigins)], other, other});
        site.counts.push_back({date, "lost", "recrawl", lost, lost + static_cast<long long>((h >> 44) % 3)});
        site.counts.push_back({date, "lost", kLostOrigins[(h >> 48) % std::size(kLostOrigins)], lostOther, lostOther});
    }
    return site;
}

std::vector<Site> AhrefsModule::demoSites()
{
    const std::string today = support::formatDay(support::today());
    return {generatedSite("example.com", 300, 2500, today, 730),
            generatedSite("xn--e1afmkfd.xn--p1ai", 40, 120, today, 730),
            generatedSite("shop.example.org", 25, 0, today, 0)};
}

bool AhrefsModule::inTarget(const std::string &url, const std::string &target, const std::string &mode)
{
    return veltrano::sim::inTarget(url, target, mode);
}

std::string AhrefsModule::addressWithoutScheme(const std::string &url)
{
    return veltrano::sim::withoutScheme(url);
}

AhrefsModule::AhrefsModule() : m_state(std::make_shared<State>()) {}

void AhrefsModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix, [state = m_state, prefix](const RecordedRequest &request) {
        const Snapshot snapshot =
            state->with([](const Settings &settings) { return Snapshot{settings.catalog, settings.escapeUnicode}; });
        return serve(request, prefix, snapshot, *state);
    });
}

void AhrefsModule::setSites(std::vector<Site> sites)
{
    auto catalog = std::make_shared<Catalog>();
    catalog->sites = std::move(sites);
    for (const Site &site : catalog->sites) {
        for (const Page &p : site.pages)
            catalog->pagesByAddress[withoutScheme(p.url)].push_back(&p);
    }
    std::shared_ptr<const Catalog> shared = std::move(catalog);
    m_state->with([&](Settings &settings) { settings.catalog = std::move(shared); });
}

void AhrefsModule::acceptToken(const std::string &token, double rowsLimit, const std::string &subscription)
{
    m_state->with([&](Settings &settings) {
        settings.tokens[token] = Subscription{rowsLimit, rowsLimit, subscription};
        settings.refused.erase(token);
    });
}

void AhrefsModule::setRowsLeft(const std::string &token, double rows)
{
    m_state->with([&](Settings &settings) {
        auto found = settings.tokens.find(token);
        if (found == settings.tokens.end())
            found = settings.tokens.emplace(token, Subscription{500000, 500000, "Enterprise Subscription"}).first;
        found->second.rowsLeft = rows;
    });
}

void AhrefsModule::setAcceptAnyToken(bool accept)
{
    m_state->with([&](Settings &settings) { settings.acceptAnyToken = accept; });
}

void AhrefsModule::refuseToken(const std::string &token)
{
    m_state->with([&](Settings &settings) {
        settings.refused.insert(token);
        settings.tokens.erase(token);
    });
}

void AhrefsModule::setEscapeUnicode(bool escape)
{
    m_state->with([&](Settings &settings) { settings.escapeUnicode = escape; });
}

void AhrefsModule::installDemoData()
{
    setSites(demoSites());
    setAcceptAnyToken(true);
    acceptToken(demo::kAhrefsToken);
    refuseToken(demo::kAhrefsRefusedToken);
    setRowsLeft(demo::kAhrefsSpentToken, 0);
}

} // namespace veltrano::sim
