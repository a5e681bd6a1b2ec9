#include "YandexWebmasterModule.h"

#include "DemoAccounts.h"
#include "ModuleState.h"
#include "YandexApiSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <numeric>

namespace veltrano::sim {

using Site = YandexWebmasterModule::Site;
using Page = YandexWebmasterModule::Page;
using Query = YandexWebmasterModule::Query;

namespace {

using support::scatter;
using support::textHash;

// How answers are written.
struct AnswerStyle {
    bool escapeUnicode = false;
    bool popularCount = true;
    bool omitUndefinedIndicators = false;
};

using Accounts = std::map<long long, std::shared_ptr<const std::vector<Site>>>; // user id -> sites

// Every request reads one snapshot of them.
struct Settings {
    Accounts accounts;
    AnswerStyle style;
};

} // namespace

struct YandexWebmasterModule::State : ModuleState<Settings> {};

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using support::Json;

constexpr size_t kMaxSamples = 50000; // the service lists at most this many pages in search
constexpr size_t kMaxSampleLimit = 100;
constexpr size_t kDefaultSampleLimit = 50;
constexpr size_t kMaxPopular = 3000; // the top queries the service keeps
constexpr size_t kMaxPopularLimit = 500;
constexpr long long kMaxHistoryDays = 1100; // keeps one history answer bounded
constexpr const char *kIndicatorNames[] = {"TOTAL_SHOWS", "TOTAL_CLICKS", "AVG_SHOW_POSITION", "AVG_CLICK_POSITION"};
constexpr const char *kDeviceTypes[] = {"ALL", "DESKTOP", "MOBILE_AND_TABLET", "MOBILE", "TABLET"};

// ---- made-up site content -------------------------------------------------

const char *const kNouns[] = {"диван",   "кресло", "стол",  "шкаф", "комод",   "стул",
                              "кровать", "тумба",  "полка", "пуф",  "стеллаж", "матрас"};
const char *const kNounsCapital[] = {"Диван",   "Кресло", "Стол",  "Шкаф", "Комод",   "Стул",
                                     "Кровать", "Тумба",  "Полка", "Пуф",  "Стеллаж", "Матрас"};
const char *const kNounsLatin[] = {"divan",  "kreslo", "stol",  "shkaf", "komod",    "stul",
                                   "krovat", "tumba",  "polka", "puf",   "stellazh", "matras"};
const char *const kPhrases[] = {"из массива", "для гостиной", "в стиле лофт", "со скидкой", "на заказ",
                                "для дачи",   "для детской",  "с доставкой",  "из дуба",    "в рассрочку"};
const char *const kIntents[] = {
    "купить",       "цена",           "недорого",      "отзывы",      "фото",   "размеры",          "москва",
    "спб",          "каталог",        "распродажа",    "как выбрать", "лучший", "казань",           "новосибирск",
    "екатеринбург", "оптом",          "производитель", "в наличии",   "акция",  "интернет магазин", "своими руками",
    "б у",          "размеры и цены", "2024",          "рейтинг"};
constexpr size_t kNounCount = std::size(kNouns);
constexpr size_t kPhraseCount = std::size(kPhrases);
constexpr size_t kIntentCount = std::size(kIntents);

bool isAscii(const std::string &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string pathOf(size_t i, bool cyrillic)
{
    const size_t noun = i % kNounCount;
    const std::string n = std::to_string(i);
    if (cyrillic) {
        static const char *const kFixed[] = {"/", "/доставка/", "/контакты/", "/скидки/", "/каталог/кресло/уют/"};
        const std::string path = i < std::size(kFixed) ? kFixed[i]
                                 : i % 3 == 0          ? std::string("/статьи/") + kNouns[noun] + "-" + n + "/"
                                                       : std::string("/каталог/") + kNouns[noun] + "/" + n + "/";
        // Paths are listed the way browsers send them: Cyrillic percent-encoded.
        std::string encoded;
        for (const char c : path)
            encoded += c == '/' ? std::string("/") : support::percentEncode(std::string(1, c));
        return encoded;
    }
    static const char *const kFixed[] = {"/", "/delivery/", "/contacts/", "/sale/", "/catalog/kreslo/uyut/"};
    if (i < std::size(kFixed))
        return kFixed[i];
    switch (i % 4) {
    case 0:
        return std::string("/catalog/") + kNounsLatin[noun] + "/item-" + n + "/";
    case 1:
        return "/blog/" + n + "-" + kNounsLatin[noun] + ".html";
    case 2:
        return "/news/" + n + "/";
    default:
        return std::string("/catalog/") + kNounsLatin[noun] + "/?page=" + n;
    }
}

std::string titleOf(size_t i)
{
    // A few pages carry what real titles carry too: quotation marks of both
    // kinds and a character outside the Basic Multilingual Plane.
    static const char *const kFixed[] = {"Главная — мебель для дома с доставкой", "Доставка и оплата", "Контакты",
                                         "Диваны 🛋 со скидкой до 30%",
                                         "Кресло «Уют» и \"Комфорт\" — сравнение"};
    if (i < std::size(kFixed))
        return kFixed[i];
    if (i % 25 == 0)
        return "Furniture catalogue, page " + std::to_string(i);
    return std::string(kNounsCapital[i % kNounCount]) + " " + kPhrases[(i / kNounCount) % kPhraseCount] +
           " — купить, страница " + std::to_string(i);
}

std::string lastAccessOf(size_t i)
{
    const sys_days day = sys_days{std::chrono::year{2024} / 5 / 31} - days{static_cast<int>((i * 37) % 180)};
    char time[48];
    std::snprintf(time, sizeof time, "T%02u:%02u:00,000+0300", static_cast<unsigned>((i * 7) % 24),
                  static_cast<unsigned>((i * 13) % 60));
    return support::formatDay(day) + time;
}

Query queryOf(size_t j, uint64_t seed)
{
    Query q;
    char id[24];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(scatter(seed ^ j)));
    q.id = id;
    q.text = std::string(kNouns[j % kNounCount]) + " " + kPhrases[(j / kNounCount) % kPhraseCount] + " " +
             kIntents[(j / (kNounCount * kPhraseCount)) % kIntentCount];
    const size_t round = j / (kNounCount * kPhraseCount * kIntentCount);
    if (round > 0)
        q.text += " " + std::to_string(round + 1);

    const uint64_t h = scatter(seed + j);
    q.totalShows = std::floor(40000.0 / std::pow(static_cast<double>(j + 1), 0.75)) + static_cast<double>(h % 7);
    q.avgShowPosition = static_cast<double>(1000 + (h >> 8) % 30000) / 1000.0;
    if (j % 5 == 4) {
        q.totalClicks = 0; // never clicked: no click position
    } else {
        q.totalClicks = std::round(q.totalShows * static_cast<double>(20 + (h >> 20) % 130) / 1000.0);
        const uint64_t better = (h >> 36) % 2000;
        const uint64_t show = 1000 + (h >> 8) % 30000;
        q.avgClickPosition = static_cast<double>(show > 1000 + better ? show - better : 1000) / 1000.0;
    }
    return q;
}

// ---- answers ---------------------------------------------------------------

class Answers {
public:
    explicit Answers(const AnswerStyle &style) : m_escape(style.escapeUnicode), m_style(style) {}

    const AnswerStyle &style() const { return m_style; }

    Response ok(const Json &body) const { return support::jsonAnswer(body, 200, m_escape); }

    Response invalidField(const std::string &name, const std::string &value, const std::string &message) const
    {
        return yandex::webmaster::invalidField(name, value, message, m_escape);
    }
    Response invalidUser(long long userId) const { return yandex::webmaster::invalidUser(userId, m_escape); }
    Response hostNotVerified(const std::string &hostId) const
    {
        return yandex::webmaster::hostNotVerified(hostId, m_escape);
    }
    Response notFound(const RecordedRequest &request) const
    {
        return yandex::webmaster::notFound(request.path, m_escape);
    }
    Response methodNotAllowed(const RecordedRequest &request) const
    {
        return yandex::webmaster::methodNotAllowed(request.method, m_escape);
    }
    Response tokenRefused(yandex::TokenFault fault) const { return yandex::webmaster::tokenRefused(fault, m_escape); }

private:
    bool m_escape;
    AnswerStyle m_style;
};

// A whole-number parameter within [min, max]; fallback when it is absent.
// nullopt when it is present but not such a number.
std::optional<long long> numberParam(const RecordedRequest &request, const char *name, long long min, long long max,
                                     long long fallback)
{
    if (!support::hasParam(request.query, name))
        return fallback;
    const std::string text = request.queryParam(name);
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long long value = std::stoll(text);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

struct Period {
    sys_days from;
    sys_days to;
};

// date_from and date_to, each "yyyy-mm-dd" (a time after "T" is ignored);
// the last week when absent. Writes the error answer and gives nullopt for
// a bad date or a period that ends before it starts.
std::optional<Period> periodParams(const RecordedRequest &request, const Answers &answers, Response &error)
{
    Period period{support::today() - days{7}, support::today() - days{1}};
    for (const auto &[name, day] : {std::pair{"date_from", &period.from}, std::pair{"date_to", &period.to}}) {
        if (!support::hasParam(request.query, name))
            continue;
        const std::string text = request.queryParam(name);
        const auto parsed = support::parseDay(text);
        if (!parsed) {
            error = answers.invalidField(name, text, "Invalid date, expected yyyy-mm-dd");
            return std::nullopt;
        }
        *day = *parsed;
    }
    if (period.from > period.to) {
        error = answers.invalidField("date_from", support::formatDay(period.from), "date_from is after date_to");
        return std::nullopt;
    }
    return period;
}

// The query_indicator values, each once, in the order asked; writes the
// error answer for an unknown one.
std::optional<std::vector<std::string>> indicatorParams(const RecordedRequest &request, const Answers &answers,
                                                        Response &error)
{
    std::vector<std::string> indicators;
    for (const std::string &value : support::paramValues(request.query, "query_indicator")) {
        if (std::find(std::begin(kIndicatorNames), std::end(kIndicatorNames), value) == std::end(kIndicatorNames)) {
            error = answers.invalidField("query_indicator", value, "Unknown query indicator");
            return std::nullopt;
        }
        if (std::find(indicators.begin(), indicators.end(), value) == indicators.end())
            indicators.push_back(value);
    }
    return indicators;
}

Json hostJson(const Site &site)
{
    return Json{{"host_id", site.hostId},
                {"ascii_host_url", site.asciiUrl},
                {"unicode_host_url", site.unicodeUrl},
                {"verified", site.verified},
                {"main_mirror", nullptr}};
}

Response samples(const Site &site, const RecordedRequest &request, const Answers &answers)
{
    const auto offset = numberParam(request, "offset", 0, INT32_MAX, 0);
    if (!offset)
        return answers.invalidField("offset", request.queryParam("offset"), "offset must be 0 or more");
    const auto limit = numberParam(request, "limit", 1, kMaxSampleLimit, kDefaultSampleLimit);
    if (!limit)
        return answers.invalidField("limit", request.queryParam("limit"), "limit must be from 1 to 100");

    const size_t count = std::min(site.pages.size(), kMaxSamples);
    Json list = Json::array();
    for (size_t i = static_cast<size_t>(*offset); i < count && i < static_cast<size_t>(*offset + *limit); ++i) {
        const Page &page = site.pages[i];
        list.push_back(Json{{"url", page.url}, {"last_access", page.lastAccess}, {"title", page.title}});
    }
    return answers.ok(Json{{"count", count}, {"samples", std::move(list)}});
}

// An indicator's value; nullopt when it is not defined (the click
// position of a query never clicked).
std::optional<double> indicatorValue(const Query &query, const std::string &indicator)
{
    if (indicator == "TOTAL_SHOWS")
        return query.totalShows;
    if (indicator == "TOTAL_CLICKS")
        return query.totalClicks;
    if (indicator == "AVG_SHOW_POSITION")
        return query.avgShowPosition;
    return query.avgClickPosition;
}

Response popular(const Site &site, const RecordedRequest &request, const Answers &answers)
{
    const std::string orderBy = request.queryParam("order_by");
    if (orderBy != "TOTAL_SHOWS" && orderBy != "TOTAL_CLICKS")
        return answers.invalidField("order_by", orderBy, "order_by must be TOTAL_SHOWS or TOTAL_CLICKS");
    Response error;
    const auto indicators = indicatorParams(request, answers, error);
    if (!indicators)
        return error;
    if (support::hasParam(request.query, "device_type_indicator")) {
        const std::string device = request.queryParam("device_type_indicator");
        if (std::find(std::begin(kDeviceTypes), std::end(kDeviceTypes), device) == std::end(kDeviceTypes))
            return answers.invalidField("device_type_indicator", device, "Unknown device type");
    }
    const auto offset = numberParam(request, "offset", 0, INT32_MAX, 0);
    if (!offset)
        return answers.invalidField("offset", request.queryParam("offset"), "offset must be 0 or more");
    const auto limit = numberParam(request, "limit", 1, kMaxPopularLimit, kMaxPopularLimit);
    if (!limit)
        return answers.invalidField("limit", request.queryParam("limit"), "limit must be from 1 to 500");
    const auto period = periodParams(request, answers, error);
    if (!period)
        return error;

    // Most shows (or clicks) first; the list keeps its order among equals.
    std::vector<size_t> order(site.queries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    const bool byClicks = orderBy == "TOTAL_CLICKS";
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Query &qa = site.queries[a];
        const Query &qb = site.queries[b];
        return byClicks ? qa.totalClicks > qb.totalClicks : qa.totalShows > qb.totalShows;
    });
    const size_t count = std::min(order.size(), kMaxPopular);

    Json list = Json::array();
    for (size_t i = static_cast<size_t>(*offset); i < count && i < static_cast<size_t>(*offset + *limit); ++i) {
        const Query &query = site.queries[order[i]];
        Json values = Json::object();
        for (const std::string &indicator : *indicators) {
            const std::optional<double> value = indicatorValue(query, indicator);
            if (value)
                values[indicator] = *value;
            else if (!answers.style().omitUndefinedIndicators)
                values[indicator] = nullptr;
        }
        list.push_back(Json{{"query_id", query.id}, {"query_text", query.text}, {"indicators", std::move(values)}});
    }
    Json answer{{"queries", std::move(list)},
                {"date_from", support::formatDay(period->from)},
                {"date_to", support::formatDay(period->to)}};
    if (answers.style().popularCount)
        answer["count"] = count;
    return answers.ok(answer);
}

// One day's figure of a query: its totals spread over a year, with a
// day-to-day wobble that is the same on every request.
Json dayValue(const Query &query, const std::string &indicator, sys_days day)
{
    const uint64_t h = scatter(textHash(query.id) ^ static_cast<uint64_t>(day.time_since_epoch().count()));
    const double wobble = 0.3 + static_cast<double>(h % 1400) / 1000.0; // 0.3 .. 1.7
    if (indicator == "TOTAL_SHOWS")
        return std::llround(query.totalShows / 365.0 * wobble);
    if (indicator == "TOTAL_CLICKS")
        return std::llround(query.totalClicks / 365.0 * wobble);
    const double position = indicator == "AVG_SHOW_POSITION" ? query.avgShowPosition : *query.avgClickPosition;
    return std::max(1.0, std::round(position * wobble * 1000.0) / 1000.0);
}

Response history(const Site &site, const std::string &queryId, const RecordedRequest &request, const Answers &answers)
{
    Response error;
    const auto indicators = indicatorParams(request, answers, error);
    if (!indicators)
        return error;
    const auto period = periodParams(request, answers, error);
    if (!period)
        return error;
    if ((period->to - period->from).count() >= kMaxHistoryDays)
        return answers.invalidField("date_from", support::formatDay(period->from), "The period is too long");

    const auto query =
        std::find_if(site.queries.begin(), site.queries.end(), [&](const Query &q) { return q.id == queryId; });
    Json values = Json::object();
    // A query the site has no figures for has no indicators at all.
    if (query != site.queries.end()) {
        for (const std::string &indicator : *indicators) {
            if (indicator == "AVG_CLICK_POSITION" && !query->avgClickPosition)
                continue; // not defined for a query never clicked
            Json points = Json::array();
            for (sys_days day = period->from; day <= period->to; day += days{1})
                points.push_back(Json{{"date", support::formatDay(day) + "T00:00:00+03:00"},
                                      {"value", dayValue(*query, indicator, day)}});
            values[indicator] = std::move(points);
        }
    }
    return answers.ok(Json{{"query_id", queryId},
                           {"query_text", query != site.queries.end() ? query->text : std::string()},
                           {"indicators", std::move(values)}});
}

std::vector<std::string> pathSegments(const std::string &path)
{
    std::vector<std::string> segments;
    size_t start = 1; // path starts with "/"
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        segments.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (segments.size() > 1 && segments.back().empty())
        segments.pop_back(); // "hosts/" is "hosts"
    return segments;
}

// Answers one request from a snapshot of the module's settings, so that no
// lock is held while an answer is built.
Response serve(const RecordedRequest &request, const std::string &prefix, const Settings &settings,
               const TokenRegistry &tokens)
{
    const Accounts &accounts = settings.accounts;
    const Answers answers(settings.style);
    const std::string path = request.path.substr(prefix.size());
    if (!path.empty() && path[0] != '/')
        return answers.notFound(request); // "/yandex-webmasterX" is not below the prefix
    if (request.method != "GET" && request.method != "HEAD")
        return answers.methodNotAllowed(request);

    const auto caller = yandex::caller(request, tokens);
    if (const auto *fault = std::get_if<yandex::TokenFault>(&caller))
        return answers.tokenRefused(*fault);
    const TokenRegistry::Grant *grant = &std::get<yandex::Caller>(caller).grant;

    const std::vector<std::string> s = path.empty() ? std::vector<std::string>{} : pathSegments(path);
    if (s.size() < 2 || s[0] != "v4" || s[1] != "user")
        return answers.notFound(request);
    if (s.size() == 2)
        return answers.ok(Json{{"user_id", grant->userId}});
    if (support::percentDecode(s[2], false) != std::to_string(grant->userId))
        return answers.invalidUser(grant->userId);
    if (s.size() < 4 || s[3] != "hosts")
        return answers.notFound(request);

    const auto account = accounts.find(grant->userId);
    const std::shared_ptr<const std::vector<Site>> sites = account != accounts.end() ? account->second : nullptr;
    if (s.size() == 4) {
        Json list = Json::array();
        if (sites) {
            for (const Site &site : *sites)
                list.push_back(hostJson(site));
        }
        return answers.ok(Json{{"hosts", std::move(list)}});
    }

    const std::string hostId = support::percentDecode(s[4], false);
    const Site *site = nullptr;
    if (sites) {
        for (const Site &candidate : *sites) {
            if (candidate.hostId == hostId)
                site = &candidate;
        }
    }
    if (!site || !site->verified)
        return answers.hostNotVerified(hostId);

    if (s.size() == 8 && s[5] == "search-urls" && s[6] == "in-search" && s[7] == "samples")
        return samples(*site, request, answers);
    if (s.size() == 7 && s[5] == "search-queries" && s[6] == "popular")
        return popular(*site, request, answers);
    if (s.size() == 8 && s[5] == "search-queries" && s[7] == "history")
        return history(*site, support::percentDecode(s[6], false), request, answers);
    return answers.notFound(request);
}

} // namespace

Site YandexWebmasterModule::generatedSite(const std::string &hostId, const std::string &asciiUrl,
                                          const std::string &unicodeUrl, size_t pageCount, size_t queryCount)
{
    Site site;
    site.hostId = hostId;
    site.asciiUrl = asciiUrl;
    site.unicodeUrl = unicodeUrl;
    const bool cyrillic = !isAscii(unicodeUrl);
    const std::string base =
        !asciiUrl.empty() && asciiUrl.back() == '/' ? asciiUrl.substr(0, asciiUrl.size() - 1) : asciiUrl;
    site.pages.reserve(pageCount);
    for (size_t i = 0; i < pageCount; ++i)
        site.pages.push_back({base + pathOf(i, cyrillic), titleOf(i), lastAccessOf(i)});
    const uint64_t seed = textHash(hostId);
    site.queries.reserve(queryCount);
    for (size_t j = 0; j < queryCount; ++j)
        site.queries.push_back(queryOf(j, seed));
    return site;
}

std::vector<Site> YandexWebmasterModule::demoSites()
{
    std::vector<Site> sites;
    sites.push_back(generatedSite("https:example.com:443", "https://example.com/", "https://example.com/", 250, 1234));
    sites.push_back(generatedSite("https:xn--e1afmkfd.xn--p1ai:443", "https://xn--e1afmkfd.xn--p1ai/",
                                  "https://пример.рф/", 40, 75));
    sites.push_back(
        generatedSite("http:shop.example.org:80", "http://shop.example.org/", "http://shop.example.org/", 0, 0));
    Site unverified = generatedSite("https:example.net:443", "https://example.net/", "https://example.net/", 5, 5);
    unverified.verified = false;
    sites.push_back(std::move(unverified));
    return sites;
}

YandexWebmasterModule::YandexWebmasterModule(std::shared_ptr<TokenRegistry> tokens)
    : m_tokens(std::move(tokens)), m_state(std::make_shared<State>())
{
}

void YandexWebmasterModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix, [state = m_state, tokens = m_tokens, prefix](const RecordedRequest &request) {
        return serve(request, prefix, state->snapshot(), *tokens);
    });
}

void YandexWebmasterModule::setSites(long long userId, std::vector<Site> sites)
{
    auto shared = std::make_shared<const std::vector<Site>>(std::move(sites));
    m_state->with([&](Settings &settings) { settings.accounts[userId] = std::move(shared); });
}

void YandexWebmasterModule::acceptToken(const std::string &token, long long userId)
{
    m_tokens->add(token, {"yandex", {}, {}, userId});
}

void YandexWebmasterModule::setEscapeUnicode(bool escape)
{
    m_state->with([&](Settings &settings) { settings.style.escapeUnicode = escape; });
}

void YandexWebmasterModule::setPopularCount(bool listed)
{
    m_state->with([&](Settings &settings) { settings.style.popularCount = listed; });
}

void YandexWebmasterModule::setOmitUndefinedIndicators(bool omit)
{
    m_state->with([&](Settings &settings) { settings.style.omitUndefinedIndicators = omit; });
}

void YandexWebmasterModule::installDemoData()
{
    setSites(demo::kYandexUserId, demoSites());
    acceptToken(demo::kYandexToken, demo::kYandexUserId);
}

} // namespace veltrano::sim
