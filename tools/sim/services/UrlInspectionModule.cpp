#include "UrlInspectionModule.h"

#include "GoogleApiSupport.h"
#include "SearchConsoleAccounts.h"

#include <algorithm>
#include <random>

namespace veltrano::sim {

namespace {

using google::ErrorSpec;
using google::Json;
using Inspection = SearchConsoleAccounts::Inspection;
using Property = SearchConsoleAccounts::Property;

constexpr const char *kService = "searchconsole.googleapis.com";
constexpr const char *kNotYours = "You do not own this site, or the inspected URL is not part of this property.";

// The "id" of a result's link into Search Console: the same for the same
// page and property.
std::string resultId(const std::string &siteUrl, const std::string &url)
{
    std::mt19937_64 random(std::hash<std::string>{}(url) ^ std::hash<std::string>{}(siteUrl));
    return support::randomText(random, support::kUrlSafe, 22);
}

Json indexStatusJson(const Inspection &result)
{
    Json status = Json::object();
    const auto text = [&](const char *name, const std::string &value) {
        if (!value.empty())
            status[name] = value;
    };
    if (!result.sitemap.empty())
        status["sitemap"] = result.sitemap;
    if (!result.referringUrls.empty())
        status["referringUrls"] = result.referringUrls;
    text("verdict", result.verdict);
    text("coverageState", result.coverageState);
    text("robotsTxtState", result.robotsTxtState);
    text("indexingState", result.indexingState);
    text("lastCrawlTime", result.lastCrawlTime);
    text("pageFetchState", result.pageFetchState);
    text("googleCanonical", result.googleCanonical);
    text("userCanonical", result.userCanonical);
    text("crawledAs", result.crawledAs);
    return status;
}

struct Request {
    std::string inspectionUrl;
    std::string siteUrl;
};

Response serve(const RecordedRequest &request, const std::string &prefix, SearchConsoleAccounts &accounts)
{
    const google::AnswerStyle style = google::styleFor(request, google::ErrorForm::Plain, accounts.htmlSafeEscapes());
    const std::string path = request.path.substr(prefix.size());
    if (request.method != "POST" || support::percentDecode(path, false) != "/v1/urlInspection/index:inspect")
        return google::notFoundPage(path);

    google::FrontEnd frontEnd{
        kService,
        {"https://www.googleapis.com/auth/webmasters", "https://www.googleapis.com/auth/webmasters.readonly"},
        accounts.acceptsAnyApiKey()};
    auto authorized = google::authorize(request, accounts.tokens(), frontEnd, style);
    if (auto *refusal = std::get_if<Response>(&authorized))
        return std::move(*refusal);
    const TokenRegistry::Grant grant = std::get<TokenRegistry::Grant>(authorized);
    if (!accounts.takeQuota())
        return google::error(google::quotaExceeded(kService, google::projectNumberOf(grant)), style);

    std::variant<Json, Response> read = google::objectBody(request, style);
    if (Response *refusal = std::get_if<Response>(&read))
        return *refusal;
    const Json body = std::move(std::get<Json>(read));
    Request asked;
    for (const auto &[name, value] : body.items()) {
        std::string *field = name == "inspectionUrl" ? &asked.inspectionUrl
                             : name == "siteUrl"     ? &asked.siteUrl
                                                     : nullptr;
        if (!field && name != "languageCode")
            return google::error(google::unknownField(name), style);
        if (!value.is_string())
            return google::error(google::invalidArgument("Invalid value at '" + name + "' (TYPE_STRING), " +
                                                         value.dump(-1, ' ', false, Json::error_handler_t::replace)),
                                 style);
        if (field)
            *field = value.get<std::string>();
    }
    if (asked.inspectionUrl.empty() || asked.siteUrl.empty())
        return google::error(google::invalidArgument("Request contains an invalid argument."), style);

    const auto properties = accounts.properties(grant.userId);
    const Property *property = nullptr;
    if (properties) {
        for (const Property &candidate : *properties) {
            if (candidate.siteUrl == asked.siteUrl)
                property = &candidate;
        }
    }
    if (!property || property->permissionLevel == "siteUnverifiedUser" ||
        !SearchConsoleAccounts::inProperty(property->siteUrl, asked.inspectionUrl)) {
        ErrorSpec spec;
        spec.code = 403;
        spec.message = kNotYours;
        spec.status = "PERMISSION_DENIED";
        spec.legacyReason = "forbidden";
        return google::error(spec, style);
    }

    const Inspection result = SearchConsoleAccounts::inspectionOf(*property, asked.inspectionUrl);
    const std::string link = support::withQuery("https://search.google.com/search-console/inspect",
                                                {{"resource_id", property->siteUrl},
                                                 {"id", resultId(property->siteUrl, asked.inspectionUrl)},
                                                 {"utm_medium", "link"},
                                                 {"utm_source", "api"}});
    return google::ok(
        Json{{"inspectionResult", {{"inspectionResultLink", link}, {"indexStatusResult", indexStatusJson(result)}}}},
        style);
}

} // namespace

UrlInspectionModule::UrlInspectionModule(std::shared_ptr<SearchConsoleAccounts> accounts)
    : m_accounts(std::move(accounts))
{
}

void UrlInspectionModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix + "/", [accounts = m_accounts, prefix](const RecordedRequest &request) {
        Response response = serve(request, prefix, *accounts);
        response.delayMs = accounts->answerDelayMs();
        return response;
    });
}

Response UrlInspectionModule::errorAnswer(int code, const std::string &message, const std::string &status)
{
    ErrorSpec spec;
    spec.code = code;
    spec.message = message;
    spec.status = status;
    return google::error(spec, google::AnswerStyle{});
}

} // namespace veltrano::sim
