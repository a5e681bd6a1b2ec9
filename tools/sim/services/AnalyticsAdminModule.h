#pragma once

#include "app/SimulatorPrefixes.h"

#include "Ga4Accounts.h"
#include "ServiceModule.h"

#include <memory>

namespace veltrano::sim {

// The Google Analytics Admin API (v1beta) on its own host, the one resource
// the program reads:
//   GET <prefix>/v1beta/accountSummaries?pageSize=&pageToken=
//       {"accountSummaries": [{"name": "accountSummaries/<id>", "account":
//        "accounts/<id>", "displayName", "propertySummaries": [{"property":
//        "properties/<id>", "displayName", "propertyType":
//        "PROPERTY_TYPE_ORDINARY", "parent": "accounts/<id>"}]}],
//        "nextPageToken"}
//       pageSize 50 by default, at most 200 (more is taken as 200); an empty
//       list is left out (a token without accounts gets {}), and so is the
//       page token on the last page. A page token that this service did not
//       hand out is 400 INVALID_ARGUMENT.
// Requests pass Google's front end (see GoogleApiSupport.h) with the
// analytics.readonly, analytics.edit or analytics scope; errors are
// {"error": {"code", "message", "status"}}.
class AnalyticsAdminModule final : public ServiceModule {
public:
    explicit AnalyticsAdminModule(std::shared_ptr<Ga4Accounts> accounts) : m_accounts(std::move(accounts)) {}

    std::string defaultPrefix() const override { return simprefix::AnalyticsAdminApi; }
    void install(SimServer &server, const std::string &prefix) override;

private:
    std::shared_ptr<Ga4Accounts> m_accounts;
};

} // namespace veltrano::sim
