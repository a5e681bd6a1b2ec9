#include "AnalyticsAdminModule.h"

#include "GoogleApiSupport.h"

namespace veltrano::sim {

namespace {

using google::Json;

constexpr const char *kService = "analyticsadmin.googleapis.com";
constexpr long long kDefaultPageSize = 50;
constexpr long long kMaxPageSize = 200;

const std::vector<std::string> &analyticsScopes()
{
    static const std::vector<std::string> scopes = {"https://www.googleapis.com/auth/analytics.readonly",
                                                    "https://www.googleapis.com/auth/analytics.edit",
                                                    "https://www.googleapis.com/auth/analytics"};
    return scopes;
}

// A page token: the position of the page's first account, written so that
// it does not read as a plain number.
std::string pageTokenFor(long long start)
{
    return "AcZ" + std::to_string(start * 7 + 3) + "Pg";
}

std::optional<long long> startOf(const std::string &token)
{
    if (token.size() < 6 || token.compare(0, 3, "AcZ") != 0 || token.compare(token.size() - 2, 2, "Pg") != 0)
        return std::nullopt;
    const std::string digits = token.substr(3, token.size() - 5);
    if (digits.empty() || digits.size() > 12 || digits.find_first_not_of(support::kDigits) != std::string::npos)
        return std::nullopt;
    const long long value = std::stoll(digits);
    if ((value - 3) % 7 != 0)
        return std::nullopt;
    return (value - 3) / 7;
}

Json summaryOf(const Ga4Accounts::Account &account)
{
    Json item = {{"name", "accountSummaries/" + account.id},
                 {"account", "accounts/" + account.id},
                 {"displayName", account.name}};
    if (!account.properties.empty()) {
        Json properties = Json::array();
        for (const Ga4Accounts::Property &property : account.properties)
            properties.push_back({{"property", "properties/" + property.id},
                                  {"displayName", property.name},
                                  {"propertyType", "PROPERTY_TYPE_ORDINARY"},
                                  {"parent", "accounts/" + account.id}});
        item["propertySummaries"] = std::move(properties);
    }
    return item;
}

Response serve(const RecordedRequest &request, const std::string &prefix, Ga4Accounts &accounts)
{
    const google::AnswerStyle style = google::styleFor(request, google::ErrorForm::Plain, false);
    const std::string path = request.path.substr(prefix.size());
    if (!(request.method == "GET" || request.method == "HEAD") || path != "/v1beta/accountSummaries")
        return google::notFoundPage(path);

    auto authorized =
        google::authorize(request, accounts.tokens(), {kService, analyticsScopes(), false}, style);
    if (auto *refusal = std::get_if<Response>(&authorized))
        return std::move(*refusal);
    const auto grant = std::get<TokenRegistry::Grant>(authorized);

    long long pageSize = kDefaultPageSize;
    if (support::hasParam(request.query, "pageSize")) {
        const std::string text = request.queryParam("pageSize");
        if (text.empty() || text.size() > 10 || text.find_first_not_of(support::kDigits) != std::string::npos)
            return google::error(google::invalidArgument("Invalid value at 'page_size' (TYPE_INT32), \"" + text +
                                                         "\""),
                                 style);
        pageSize = std::stoll(text);
        if (pageSize <= 0)
            pageSize = kDefaultPageSize;
        pageSize = std::min(pageSize, kMaxPageSize);
    }
    long long start = 0;
    if (const std::string token = request.queryParam("pageToken"); !token.empty()) {
        const auto decoded = startOf(token);
        if (!decoded)
            return google::error(google::invalidArgument("Invalid page token."), style);
        start = *decoded;
    }

    const auto list = accounts.accountsOf(grant.userId);
    const long long total = list ? static_cast<long long>(list->size()) : 0;
    Json answer = Json::object();
    if (start < total) {
        Json items = Json::array();
        for (long long i = start; i < std::min(total, start + pageSize); ++i)
            items.push_back(summaryOf((*list)[size_t(i)]));
        answer["accountSummaries"] = std::move(items);
    }
    if (start + pageSize < total)
        answer["nextPageToken"] = pageTokenFor(start + pageSize);
    return google::ok(answer, style);
}

} // namespace

void AnalyticsAdminModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix + "/", [accounts = m_accounts, prefix](const RecordedRequest &request) {
        return serve(request, prefix, *accounts);
    });
}

} // namespace veltrano::sim
