#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrano::sim {

class TokenRegistry;

// Yandex Webmaster API version 4, the resources the program reads:
//   GET <prefix>/v4/user                                  {"user_id":N}
//   GET <prefix>/v4/user/{user-id}/hosts                  {"hosts":[{"host_id",..}]}
//   GET .../hosts/{host-id}/search-urls/in-search/samples?offset=&limit=   (limit 1-100, default 50)
//   GET .../hosts/{host-id}/search-queries/popular?order_by=&query_indicator=..&offset=&limit=
//       &date_from=&date_to=                          (limit 1-500, default 500; the top 3000)
//       {"queries":[{"query_id","query_text","indicators":{..}}],"date_from","date_to","count"}
//   GET .../hosts/{host-id}/search-queries/{query-id}/history?query_indicator=..&date_from=&date_to=
// Every request needs "Authorization: OAuth <token>" with a token of the
// registry issued by Yandex; errors have the documented body
// {"error_code":..,"error_message":..}: 401 INVALID_OAUTH_TOKEN without a
// token, 403 INVALID_OAUTH_TOKEN for an unknown one, 403 INVALID_USER_ID
// (with "available_user_id") for another or an empty user id, 404
// HOST_NOT_VERIFIED for a host that is not a verified site of the account,
// 400 FIELD_VALIDATION_ERROR for a bad parameter, 404 RESOURCE_NOT_FOUND,
// 405 METHOD_NOT_ALLOWED.
class YandexWebmasterModule final : public ServiceModule {
public:
    // A page of the site in the search index.
    struct Page {
        std::string url;
        std::string title;
        std::string lastAccess; // "2024-05-31T10:15:00,000+0300"
    };

    // A popular search query of the site with its totals over the period.
    struct Query {
        std::string id;
        std::string text;
        double totalShows = 0;
        double totalClicks = 0;
        double avgShowPosition = 1;
        std::optional<double> avgClickPosition; // none for a query never clicked
    };

    struct Site {
        std::string hostId;     // "https:example.com:443"
        std::string asciiUrl;   // "https://example.com/"
        std::string unicodeUrl; // the same with an international domain name in its own script
        bool verified = true;
        std::vector<Page> pages;    // in search, in the order the service lists them
        std::vector<Query> queries; // any order; the service sorts them
    };

    // A site with pageCount pages and queryCount queries made up from
    // Russian furniture-shop words: titles and queries in Cyrillic, paths in
    // Cyrillic (percent-encoded) when unicodeUrl is not ASCII. Deterministic;
    // 50 000 pages take a few milliseconds.
    static Site generatedSite(const std::string &hostId, const std::string &asciiUrl, const std::string &unicodeUrl,
                              size_t pageCount, size_t queryCount);

    // The demo account's sites: https://example.com/ with 250 pages and
    // 1 234 queries, https://пример.рф/ (Cyrillic), http://shop.example.org/
    // with no pages and no queries, and https://example.net/ unverified.
    static std::vector<Site> demoSites();

    explicit YandexWebmasterModule(std::shared_ptr<TokenRegistry> tokens);

    std::string defaultPrefix() const override { return simprefix::YandexWebmasterApi; }
    void install(SimServer &server, const std::string &prefix) override;

    // The sites of an account, replacing those it had. Takes effect at once,
    // also after install(); requests under way finish with the old list.
    void setSites(long long userId, std::vector<Site> sites);
    // Accepts token for the account userId (registered as a Yandex token).
    void acceptToken(const std::string &token, long long userId);
    // Writes every non-ASCII character as a \u escape instead of raw UTF-8.
    void setEscapeUnicode(bool escape);
    // Whether popular-query answers carry "count", the number of queries in
    // the list (on at the start). Yandex's own example answer has none.
    void setPopularCount(bool listed);
    // Whether a popular-query indicator that is not defined (the click
    // position of a query never clicked) is left out of "indicators", as
    // Yandex documents it may be, instead of written as null (off at the
    // start).
    void setOmitUndefinedIndicators(bool omit);
    // The demo account (demo::kYandexUserId) with demoSites() and the demo
    // token demo::kYandexToken.
    void installDemoData();

private:
    struct State;
    std::shared_ptr<TokenRegistry> m_tokens;
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
