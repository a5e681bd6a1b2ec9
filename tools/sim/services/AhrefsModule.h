#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"

#include <memory>
#include <string>
#include <vector>

namespace veltrano::sim {

// Ahrefs API version 2: one address, the table and everything else in the
// query string.
//   GET <prefix>/?from=<table>&target=<url or host>&mode=<exact|prefix|domain|subdomains>
//       &limit=<n>&where=<conditions>&output=json&token=<token>
// Tables and the member that holds their rows:
//   pages, ahrefs_rank   "pages"      (the crawled pages of the target)
//   anchors              "anchors"    (anchor texts of the backlinks to the target)
//   backlinks            "refpages"   (the backlinks to the target)
//   metrics              "metrics"    (one object of totals)
//   refdomains           "refdomains" (the domains that link to the target)
//   subscription_info    "info"       (one object: rows_left, rows_limit, subscription)
//   backlinks_new_lost_counters_by_type  "counts"  (assumed: see README)
// Columns and types are those of the v2 reference; a target the service
// does not know answers empty lists ("pages":[]). Errors are {"error":".."}.
// Each answer costs the token's subscription rows as the reference lists.
class AhrefsModule final : public ServiceModule {
public:
    struct Page {
        std::string url;
        long long ahrefsRank = 0;
        std::string firstSeen; // "2023-11-02T08:14:00Z"
        std::string lastVisited;
        int httpCode = 200;
        long long size = 0;
        long long linksInternal = 0;
        long long linksExternal = 0;
        std::string encoding = "utf8";
        std::string title;
        std::string redirectUrl;
        std::string contentEncoding = "gzip";
    };

    struct Backlink {
        std::string urlFrom;
        std::string urlTo;
        long long ahrefsRank = 0;
        long long domainRating = 0;
        long long ahrefsTop = 0;
        std::string ipFrom;
        long long linksInternal = 0;
        long long linksExternal = 0;
        long long pageSize = 0;
        std::string encoding = "utf8";
        std::string language;
        std::string title;
        std::string firstSeen;
        std::string lastVisited;
        std::string prevVisited;
        bool original = true;
        std::string linkType = "href";
        int redirect = 0;
        bool nofollow = false;
        std::string alt;
        std::string anchor;
        std::string textPre;
        std::string textPost;
    };

    // One row of the day-by-day new and lost backlink counters.
    struct Count {
        std::string date;   // "2024-03-08"
        std::string type;   // "new" or "lost"
        std::string origin; // "recrawl", "new_page", "link_removed" ...
        long long refpages = 0;
        long long all = 0;
    };

    struct Site {
        std::string host;                // "example.com"
        std::vector<Page> pages;         // in the order the service lists them
        std::vector<Backlink> backlinks; // highest ahrefs_rank first
        std::vector<Count> counts;       // newest date first
    };

    // A site with pageCount pages (Russian titles, a few with quotation
    // marks and a character beyond the BMP), backlinkCount backlinks from
    // other domains (Cyrillic and Latin anchors) and four counter rows per
    // day over the days up to lastDay ("yyyy-mm-dd"): new and lost, each
    // from a recrawl and from another origin. Deterministic.
    static Site generatedSite(const std::string &host, size_t pageCount, size_t backlinkCount,
                              const std::string &lastDay, int dayCount);

    // example.com (300 pages, 2 500 backlinks), xn--e1afmkfd.xn--p1ai (40
    // pages, Cyrillic paths) and shop.example.org (no backlinks), with 730
    // days of counters up to today.
    static std::vector<Site> demoSites();

    // Whether an address belongs to a target in a mode (exact, prefix,
    // domain, subdomains); the scheme is not compared. API v3 matches
    // targets the same way.
    static bool inTarget(const std::string &url, const std::string &target, const std::string &mode);
    // An address as exact mode compares it: without its scheme.
    static std::string addressWithoutScheme(const std::string &url);

    AhrefsModule();

    std::string defaultPrefix() const override { return simprefix::AhrefsApi; }
    void install(SimServer &server, const std::string &prefix) override;

    // Replaces the sites the service knows. Takes effect at once.
    void setSites(std::vector<Site> sites);
    // A token with its subscription; rows are the API units that answers cost.
    void acceptToken(const std::string &token, double rowsLimit = 500000,
                     const std::string &subscription = "Enterprise Subscription");
    // Rows left on a token's subscription (0: every paid request is refused).
    void setRowsLeft(const std::string &token, double rows);
    // Every non-empty token is good (each gets a subscription of its own),
    // except those refused by refuseToken.
    void setAcceptAnyToken(bool accept);
    void refuseToken(const std::string &token);
    // Writes every non-ASCII character as a \u escape instead of raw UTF-8.
    void setEscapeUnicode(bool escape);
    // demoSites(), any token accepted except demo::kAhrefsRefusedToken, and
    // demo::kAhrefsSpentToken without rows left.
    void installDemoData();

    // The service's error texts.
    static constexpr const char *kAuthenticationError = "Authentication Error";
    static constexpr const char *kRowsExhausted = "API rows limit exceeded";

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
