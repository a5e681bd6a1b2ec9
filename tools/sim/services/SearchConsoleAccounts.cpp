#include "SearchConsoleAccounts.h"

#include "DemoAccounts.h"
#include "ServiceSupport.h"
#include "TokenRegistry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>

namespace veltrano::sim {

using Inspection = SearchConsoleAccounts::Inspection;
using Property = SearchConsoleAccounts::Property;
using Row = SearchConsoleAccounts::Row;

namespace {

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "https://Example.com:8080/a?b" as ("https://example.com:8080", "/a?b");
// empty parts for a text without "://".
std::pair<std::string, std::string> splitUrl(const std::string &url)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return {};
    const size_t pathStart = url.find_first_of("/?#", scheme + 3);
    if (pathStart == std::string::npos)
        return {lower(url), "/"};
    return {lower(url.substr(0, pathStart)), url.substr(pathStart)};
}

// Whether url lies in the property: below a URL-prefix property's address
// (scheme and host in any letter case, the path as written), or on the host
// of a domain property or one of its subdomains, over http or https.
bool inPropertyOf(const std::string &siteUrl, const std::string &url)
{
    const auto [origin, path] = splitUrl(url);
    if (origin.empty())
        return false;
    if (siteUrl.rfind("sc-domain:", 0) == 0) {
        const std::string domain = lower(siteUrl.substr(10));
        std::string host;
        if (origin.rfind("https://", 0) == 0)
            host = origin.substr(8);
        else if (origin.rfind("http://", 0) == 0)
            host = origin.substr(7);
        else
            return false;
        host = host.substr(0, host.find(':'));
        return host == domain ||
               (host.size() > domain.size() && host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
                host[host.size() - domain.size() - 1] == '.');
    }
    const auto [siteOrigin, sitePath] = splitUrl(siteUrl);
    return !siteOrigin.empty() && origin == siteOrigin && path.compare(0, sitePath.size(), sitePath) == 0;
}

using support::scatter;
using support::textHash;

struct Words {
    std::vector<std::string> nouns; // in queries
    std::vector<std::string> slugs; // in paths
    std::vector<std::string> phrases;
    std::vector<std::string> intents;
    std::vector<std::string> fixedPaths;
    std::vector<std::string> specialQueries; // quotation marks, ";" and accents, as people type them
};

const Words &englishWords()
{
    static const Words words{
        {"sofa", "armchair", "dining table", "wardrobe", "chest of drawers", "chair", "bed", "bedside table",
         "bookshelf", "ottoman", "shelving unit", "mattress"},
        {"sofa", "armchair", "dining-table", "wardrobe", "chest-of-drawers", "chair", "bed", "bedside-table",
         "bookshelf", "ottoman", "shelving-unit", "mattress"},
        {"oak", "for living room", "loft style", "on sale", "made to order", "for the garden", "for kids room",
         "with delivery", "solid wood", "in installments"},
        {"buy",        "price",     "cheap",       "reviews",       "photos",      "dimensions",  "london",
         "manchester", "catalogue", "clearance",   "how to choose", "best",        "2024",        "near me",
         "uk",         "sale",      "online shop", "diy",           "second hand", "with prices", "wholesale",
         "in stock",   "deals",     "rating",      "ideas"},
        {"/", "/delivery/", "/contacts/", "/sale/", "/catalog/armchair/cosy/"},
        {"sofa \"chesterfield\"", "tables; chairs", "caf\u00e9 chairs", "<b>bold</b> sofa & chairs"},
    };
    return words;
}

const Words &russianWords()
{
    static const Words words{
        {"диван", "кресло", "стол", "шкаф", "комод", "стул", "кровать", "тумба", "полка", "пуф", "стеллаж", "матрас"},
        {"диван", "кресло", "стол", "шкаф", "комод", "стул", "кровать", "тумба", "полка", "пуф", "стеллаж", "матрас"},
        {"из массива", "для гостиной", "в стиле лофт", "со скидкой", "на заказ", "для дачи", "для детской",
         "с доставкой", "из дуба", "в рассрочку"},
        {"купить",        "цена",        "недорого",       "отзывы",
         "фото",          "размеры",     "москва",         "спб",
         "каталог",       "распродажа",  "как выбрать",    "лучший",
         "казань",        "новосибирск", "екатеринбург",   "оптом",
         "производитель", "в наличии",   "акция",          "интернет магазин",
         "своими руками", "б у",         "размеры и цены", "2024",
         "рейтинг"},
        {"/", "/доставка/", "/контакты/", "/скидки/", "/каталог/кресло/уют/"},
        {"диван \"честерфилд\"", "столы; стулья", "кресло «Уют»", "мебель 🛋 недорого"},
    };
    return words;
}

// The pages' origin: "https://example.com" for both "https://example.com/"
// and "sc-domain:example.com".
std::string originOf(const std::string &siteUrl)
{
    if (siteUrl.rfind("sc-domain:", 0) == 0)
        return "https://" + siteUrl.substr(10);
    const size_t hostStart = siteUrl.find("://");
    const size_t pathStart = hostStart == std::string::npos ? std::string::npos : siteUrl.find('/', hostStart + 3);
    return siteUrl.substr(0, pathStart);
}

// A path of the site, with Cyrillic written percent-encoded as browsers send it.
std::string pathOf(size_t i, const Words &words, bool cyrillic)
{
    const size_t count = words.slugs.size();
    const std::string n = std::to_string(i);
    std::string path;
    if (i < words.fixedPaths.size()) {
        path = words.fixedPaths[i];
    } else if (cyrillic) {
        path = i % 3 == 0 ? "/статьи/" + words.slugs[i % count] + "-" + n + "/"
                          : "/каталог/" + words.slugs[i % count] + "/" + n + "/";
    } else {
        switch (i % 4) {
        case 0:
            path = "/catalog/" + words.slugs[i % count] + "/item-" + n + "/";
            break;
        case 1:
            path = "/blog/" + n + "-" + words.slugs[i % count] + ".html";
            break;
        case 2:
            path = "/News/" + n + "/"; // the path keeps its letter case
            break;
        default:
            path = "/catalog/" + words.slugs[i % count] + "/?page=" + n;
        }
    }
    if (!cyrillic)
        return path;
    std::string encoded;
    for (const char c : path)
        encoded += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : support::percentEncode(std::string(1, c));
    return encoded;
}

std::string queryOf(size_t j, const Words &words)
{
    // A few rows near the top carry what real queries carry too.
    if (j % 97 == 3 && j / 97 < words.specialQueries.size())
        return words.specialQueries[j / 97];
    const size_t nouns = words.nouns.size();
    const size_t phrases = words.phrases.size();
    const size_t intents = words.intents.size();
    std::string text = words.nouns[j % nouns] + " " + words.phrases[(j / nouns) % phrases] + " " +
                       words.intents[(j / (nouns * phrases)) % intents];
    const size_t round = j / (nouns * phrases * intents);
    if (round > 0)
        text += " " + std::to_string(round + 1);
    return text;
}

std::string crawlTimeOf(const std::string &url)
{
    const uint64_t h = scatter(textHash(url));
    const auto day =
        std::chrono::sys_days{std::chrono::year{2024} / 1 / 1} + std::chrono::days{static_cast<int>(h % 366)};
    char time[32];
    std::snprintf(time, sizeof time, "T%02u:%02u:%02uZ", static_cast<unsigned>((h >> 12) % 24),
                  static_cast<unsigned>((h >> 20) % 60), static_cast<unsigned>((h >> 28) % 60));
    return support::formatDay(day) + time;
}

} // namespace

Inspection Inspection::indexed(const std::string &url, const std::string &lastCrawlTime)
{
    Inspection result;
    result.sitemap = {originOf(url) + "/sitemap.xml"};
    result.verdict = "PASS";
    result.coverageState = "Submitted and indexed";
    result.robotsTxtState = "ALLOWED";
    result.indexingState = "INDEXING_ALLOWED";
    result.lastCrawlTime = lastCrawlTime;
    result.pageFetchState = "SUCCESSFUL";
    result.googleCanonical = url;
    result.userCanonical = url;
    result.crawledAs = "MOBILE";
    return result;
}

Inspection Inspection::unknownToGoogle()
{
    Inspection result;
    result.verdict = "NEUTRAL";
    result.coverageState = "URL is unknown to Google";
    result.robotsTxtState = "ROBOTS_TXT_STATE_UNSPECIFIED";
    result.indexingState = "INDEXING_STATE_UNSPECIFIED";
    result.pageFetchState = "PAGE_FETCH_STATE_UNSPECIFIED";
    return result;
}

Property SearchConsoleAccounts::generatedProperty(const std::string &siteUrl, size_t pageCount, size_t rowCount,
                                                  const std::string &permissionLevel)
{
    Property property;
    property.siteUrl = siteUrl;
    property.permissionLevel = permissionLevel;
    const std::string origin = originOf(siteUrl);
    const bool cyrillic = origin.find("xn--") != std::string::npos;
    const Words &words = cyrillic ? russianWords() : englishWords();

    property.pages.reserve(pageCount);
    std::vector<size_t> withData; // every tenth page has no search data
    for (size_t i = 0; i < pageCount; ++i) {
        property.pages.push_back(origin + pathOf(i, words, cyrillic));
        if (i % 10 != 9)
            withData.push_back(i);
    }
    if (withData.empty())
        return property; // rows need pages

    const uint64_t seed = textHash(siteUrl);
    property.rows.reserve(rowCount);
    size_t queryIndex = 0;
    for (size_t j = 0; j < rowCount; ++j) {
        // One query in seven also leads to a second page.
        const bool secondPage = j % 7 == 1 && withData.size() > 1;
        if (!secondPage && j > 0)
            ++queryIndex;
        const uint64_t h = scatter(seed ^ j);
        Row row;
        row.query = queryOf(queryIndex, words);
        row.page = property.pages[withData[(queryIndex * 7919 + (secondPage ? 1 : 0)) % withData.size()]];
        row.impressions =
            std::floor(30000.0 / std::pow(static_cast<double>(j + 1), 0.8)) + static_cast<double>(h % 9) + 1;
        const uint64_t spread = j < 50 ? 6000 : 49000;
        row.position = static_cast<double>(1000 + (h >> 8) % spread) / 1000.0; // three decimals, exactly as written
        const double wobble = 0.5 + static_cast<double>((h >> 24) % 1000) / 1000.0;
        row.clicks = std::round(row.impressions * 0.3 / std::pow(row.position, 1.2) * wobble);
        property.rows.push_back(std::move(row));
    }

    // Pages without search data are the ones Google has not indexed.
    static const char *const kNotIndexed[] = {"Crawled - currently not indexed", "Discovered - currently not indexed",
                                              "Excluded by \u2018noindex\u2019 tag", "Blocked by robots.txt",
                                              "Not found (404)"};
    for (size_t i = 9; i < pageCount; i += 10) {
        const std::string &url = property.pages[i];
        Inspection result = Inspection::indexed(url, crawlTimeOf(url));
        result.verdict = "NEUTRAL";
        result.googleCanonical.clear();
        result.coverageState = kNotIndexed[(i / 10) % std::size(kNotIndexed)];
        switch ((i / 10) % std::size(kNotIndexed)) {
        case 1: // discovered through the sitemap, never fetched
            result = Inspection::unknownToGoogle();
            result.sitemap = {origin + "/sitemap.xml"};
            result.coverageState = kNotIndexed[1];
            break;
        case 2:
            result.indexingState = "BLOCKED_BY_META_TAG";
            break;
        case 3:
            result.robotsTxtState = "DISALLOWED";
            result.indexingState = "INDEXING_STATE_UNSPECIFIED";
            result.pageFetchState = "BLOCKED_ROBOTS_TXT";
            result.lastCrawlTime.clear();
            result.userCanonical.clear();
            result.crawledAs.clear();
            break;
        case 4:
            result.pageFetchState = "NOT_FOUND";
            result.userCanonical.clear();
            break;
        default:
            break;
        }
        property.inspections[url] = std::move(result);
    }
    return property;
}

Inspection SearchConsoleAccounts::inspectionOf(const Property &property, const std::string &url)
{
    if (const auto it = property.inspections.find(url); it != property.inspections.end())
        return it->second;
    if (std::find(property.pages.begin(), property.pages.end(), url) == property.pages.end())
        return Inspection::unknownToGoogle();
    Inspection result = Inspection::indexed(url, crawlTimeOf(url));
    // Some pages Google found by links rather than through the sitemap.
    if (textHash(url) % 5 == 0) {
        result.sitemap.clear();
        result.referringUrls = {originOf(url) + "/"};
        result.coverageState = "Indexed, not submitted in sitemap";
        result.crawledAs = "DESKTOP";
    }
    return result;
}

std::vector<Property> SearchConsoleAccounts::demoProperties()
{
    std::vector<Property> properties;
    properties.push_back(generatedProperty("sc-domain:example.com", 250, 1500));
    properties.push_back(generatedProperty("https://example.com/", 250, 1500));
    properties.push_back(generatedProperty("https://shop.example.com/", 400, 30001, "siteFullUser"));
    properties.push_back(generatedProperty("https://xn--e1afmkfd.xn--p1ai/", 40, 300));
    properties.push_back(generatedProperty("http://blog.example.org/", 12, 0, "siteRestrictedUser"));
    properties.push_back(generatedProperty("https://example.net/", 5, 20, "siteUnverifiedUser"));
    return properties;
}

SearchConsoleAccounts::SearchConsoleAccounts(std::shared_ptr<TokenRegistry> tokens) : m_tokens(std::move(tokens)) {}

void SearchConsoleAccounts::setProperties(long long userId, std::vector<Property> properties)
{
    auto shared = std::make_shared<const std::vector<Property>>(std::move(properties));
    std::lock_guard lock(m_mutex);
    m_accounts[userId] = std::move(shared);
}

std::shared_ptr<const std::vector<Property>> SearchConsoleAccounts::properties(long long userId) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_accounts.find(userId);
    return it == m_accounts.end() ? nullptr : it->second;
}

void SearchConsoleAccounts::acceptToken(const std::string &token, long long userId, const std::string &scope)
{
    // Another simulated Google API may have accepted the same token for its
    // own scope already: the token keeps both.
    std::string scopes = scope;
    if (const auto existing = m_tokens->find(token);
        existing && existing->issuer == "google" && existing->userId == userId) {
        scopes = existing->scope;
        std::istringstream in(scope);
        for (std::string word; in >> word;) {
            std::istringstream have(scopes);
            bool found = false;
            for (std::string w; have >> w;)
                found = found || w == word;
            if (!found)
                scopes += (scopes.empty() ? "" : " ") + word;
        }
    }
    m_tokens->add(token, {"google", {}, scopes, userId});
}

void SearchConsoleAccounts::setRequestsBeforeQuotaExceeded(long long count)
{
    std::lock_guard lock(m_mutex);
    m_requestsBeforeQuota = count;
}

bool SearchConsoleAccounts::takeQuota()
{
    std::lock_guard lock(m_mutex);
    if (m_requestsBeforeQuota < 0)
        return true;
    if (m_requestsBeforeQuota == 0)
        return false;
    --m_requestsBeforeQuota;
    return true;
}

void SearchConsoleAccounts::setAnswerDelayMs(int delayMs)
{
    std::lock_guard lock(m_mutex);
    m_delayMs = delayMs;
}

int SearchConsoleAccounts::answerDelayMs() const
{
    std::lock_guard lock(m_mutex);
    return m_delayMs;
}

void SearchConsoleAccounts::setAcceptAnyApiKey(bool accept)
{
    std::lock_guard lock(m_mutex);
    m_acceptAnyApiKey = accept;
}

bool SearchConsoleAccounts::acceptsAnyApiKey() const
{
    std::lock_guard lock(m_mutex);
    return m_acceptAnyApiKey;
}

void SearchConsoleAccounts::setHtmlSafeEscapes(bool on)
{
    std::lock_guard lock(m_mutex);
    m_htmlSafe = on;
}

bool SearchConsoleAccounts::htmlSafeEscapes() const
{
    std::lock_guard lock(m_mutex);
    return m_htmlSafe;
}

void SearchConsoleAccounts::installDemoData()
{
    // Made once per process: tests start many simulators, and the properties
    // are never changed, only replaced.
    static const auto demoData = std::make_shared<const std::vector<Property>>(demoProperties());
    {
        std::lock_guard lock(m_mutex);
        m_accounts[demo::kGoogleUserId] = demoData;
    }
    acceptToken(demo::kGoogleToken, demo::kGoogleUserId);
}

bool SearchConsoleAccounts::inProperty(const std::string &siteUrl, const std::string &url)
{
    return inPropertyOf(siteUrl, url);
}

} // namespace veltrano::sim
