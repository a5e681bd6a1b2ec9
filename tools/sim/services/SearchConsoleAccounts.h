#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace veltrano::sim {

class TokenRegistry;

// The Google Search Console accounts that the simulated Search Console API
// (webmasters v3 on the Google APIs host) and URL Inspection API (on the
// Search Console API host) answer from, with the settings a test changes for
// both. Shared by the two modules; safe to use from the connection threads,
// and settings take effect at once, also after the modules are installed.
class SearchConsoleAccounts final {
public:
    // One search-analytics row of a property: a query and the page it led
    // to, with their totals over the property's data days.
    struct Row {
        std::string query;
        std::string page;
        double clicks = 0;
        double impressions = 1;
        double position = 1; // average position, 1 is the top
    };

    // What URL Inspection knows of a page. An empty text or list leaves its
    // member out of the answer, as Google leaves it out (no lastCrawlTime
    // for a page never crawled, no canonicals for a page not indexed).
    struct Inspection {
        std::vector<std::string> sitemap;
        std::vector<std::string> referringUrls;
        std::string verdict;        // "PASS", "NEUTRAL", "FAIL", "VERDICT_UNSPECIFIED"
        std::string coverageState;  // "Submitted and indexed", "URL is unknown to Google" ...
        std::string robotsTxtState; // "ALLOWED", "DISALLOWED", "ROBOTS_TXT_STATE_UNSPECIFIED"
        std::string indexingState;  // "INDEXING_ALLOWED", "BLOCKED_BY_META_TAG", ... "INDEXING_STATE_UNSPECIFIED"
        std::string lastCrawlTime;  // "2022-03-04T05:06:07Z"
        std::string pageFetchState; // "SUCCESSFUL", "NOT_FOUND", ... "PAGE_FETCH_STATE_UNSPECIFIED"
        std::string googleCanonical;
        std::string userCanonical;
        std::string crawledAs; // "MOBILE", "DESKTOP"

        // A page crawled at lastCrawlTime and indexed under its own address,
        // listed in the site's sitemap.
        static Inspection indexed(const std::string &url, const std::string &lastCrawlTime);
        // A page Google has never heard of: verdict NEUTRAL, coverage "URL is
        // unknown to Google", every state unspecified, no crawl time.
        static Inspection unknownToGoogle();
    };

    struct Property {
        std::string siteUrl;                       // "https://example.com/" or "sc-domain:example.com"
        std::string permissionLevel = "siteOwner"; // siteFullUser, siteRestrictedUser, siteUnverifiedUser
        std::vector<std::string> pages;            // the pages Google knows, for URL Inspection
        std::vector<Row> rows;                     // any order; answers sort them by clicks
        // The days with data, "yyyy-mm-dd"; "" leaves that end open. A period
        // outside them has no rows.
        std::string firstDataDay;
        std::string lastDataDay;
        // URL Inspection results by the URL as inspected; a known page not
        // listed here gets a result made up from its address, any other URL
        // of the property Inspection::unknownToGoogle().
        std::map<std::string, Inspection> inspections;
    };

    // A property with pageCount pages and rowCount query rows made up from
    // furniture-shop words: English, or Russian when the property's host is
    // an international (xn--) name, whose paths are then percent-encoded
    // Cyrillic. Every tenth page has no search data; one query in seven also
    // leads to a second page. Deterministic; 30 000 rows take a few
    // milliseconds.
    static Property generatedProperty(const std::string &siteUrl, size_t pageCount, size_t rowCount,
                                      const std::string &permissionLevel = "siteOwner");

    // What URL Inspection answers for url of property: its entry in
    // inspections; else, for one of the pages, an indexed page crawled on a
    // day of 2024 made up from its address (one in five found by links
    // rather than through the sitemap); else unknownToGoogle().
    static Inspection inspectionOf(const Property &property, const std::string &url);

    // Whether url lies in the property siteUrl: below a URL-prefix
    // property's address (scheme and host in any letter case, the path as
    // written), or on the host of a domain property ("sc-domain:") or one of
    // its subdomains, over http or https.
    static bool inProperty(const std::string &siteUrl, const std::string &url);

    // The demo account's properties: sc-domain:example.com (250 pages,
    // 1 500 rows), https://example.com/ (the same site as a URL-prefix
    // property), https://shop.example.com/ (400 pages, 30 001 rows, a full
    // user), https://xn--e1afmkfd.xn--p1ai/ (Cyrillic, 40 pages, 300 rows),
    // http://blog.example.org/ (a restricted user, no data) and
    // https://example.net/ (not verified).
    static std::vector<Property> demoProperties();

    explicit SearchConsoleAccounts(std::shared_ptr<TokenRegistry> tokens);

    // The properties of an account, replacing those it had.
    void setProperties(long long userId, std::vector<Property> properties);
    std::shared_ptr<const std::vector<Property>> properties(long long userId) const;

    // Accepts token as a Google token of the account userId with scope
    // (space-separated), added to the scopes the token already has.
    void acceptToken(const std::string &token, long long userId,
                     const std::string &scope = "https://www.googleapis.com/auth/webmasters.readonly");

    // The registry the accounts' tokens are in.
    const TokenRegistry &tokens() const { return *m_tokens; }

    // Every further request with a valid token is answered 429
    // RESOURCE_EXHAUSTED after count more have been answered; -1 (the
    // default) never.
    void setRequestsBeforeQuotaExceeded(long long count);
    // Takes one request from the quota; false when it is used up.
    bool takeQuota();

    // Answers of both APIs wait this long before they are sent.
    void setAnswerDelayMs(int delayMs);
    int answerDelayMs() const;

    // Takes a "key" parameter of any form as the project's API key. Off by
    // default: Google refuses a key that is not an API key with 400 "API key
    // not valid", whatever token comes with it.
    void setAcceptAnyApiKey(bool accept);
    bool acceptsAnyApiKey() const;

    // Writes "<", ">", "&", "=" and "'" in strings as \u escapes, the way
    // Google's front end does (on by default).
    void setHtmlSafeEscapes(bool on);
    bool htmlSafeEscapes() const;

    // The demo account (demo::kGoogleUserId) with demoProperties() and the
    // demo token demo::kGoogleToken.
    void installDemoData();

private:
    std::shared_ptr<TokenRegistry> m_tokens;
    mutable std::mutex m_mutex;
    std::map<long long, std::shared_ptr<const std::vector<Property>>> m_accounts;
    long long m_requestsBeforeQuota = -1;
    int m_delayMs = 0;
    bool m_acceptAnyApiKey = false;
    bool m_htmlSafe = true;
};

} // namespace veltrano::sim
