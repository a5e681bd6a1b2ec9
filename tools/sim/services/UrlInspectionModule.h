#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"
#include "SimServer.h"

#include <memory>
#include <string>

namespace veltrano::sim {

class SearchConsoleAccounts;

// Google's URL Inspection API (Search Console API version 1) on the Search
// Console API host:
//   POST <prefix>/v1/urlInspection/index:inspect
//        body {"inspectionUrl":..,"siteUrl":..,"languageCode":..}
//        {"inspectionResult":{"inspectionResultLink":..,"indexStatusResult":{"sitemap","referringUrls",
//        "verdict","coverageState","robotsTxtState","indexingState","lastCrawlTime","pageFetchState",
//        "googleCanonical","userCanonical","crawledAs"}}}
// with the members a page's result has (SearchConsoleAccounts::inspectionOf):
// a page never crawled has no lastCrawlTime and unspecified states.
//
// The front end checks as SearchConsoleModule; then a body that is not JSON
// or names an unknown member is 400 INVALID_ARGUMENT, a missing URL 400
// "Request contains an invalid argument.", and a property the account has
// not got or has not verified, or a URL outside the property, 403 "You do
// not own this site, or the inspected URL is not part of this property."
// Error objects have this host's plain form (code, message, status, details).
class UrlInspectionModule final : public ServiceModule {
public:
    static constexpr const char *kDefaultPrefix = simprefix::SearchConsoleApi;

    explicit UrlInspectionModule(std::shared_ptr<SearchConsoleAccounts> accounts);

    std::string defaultPrefix() const override { return kDefaultPrefix; }
    void install(SimServer &server, const std::string &prefix) override;

    // A Google error object of this host for a test to set or queue on a
    // path ("The service is currently unavailable.", "UNAVAILABLE" for 503).
    static Response errorAnswer(int code, const std::string &message, const std::string &status);

private:
    std::shared_ptr<SearchConsoleAccounts> m_accounts;
};

} // namespace veltrano::sim
