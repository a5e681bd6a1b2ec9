#include "IndexingApiModule.h"

#include "GoogleApiSupport.h"
#include "SearchConsoleAccounts.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>

namespace veltrano::sim {

namespace {

using google::ErrorSpec;
using google::Json;

constexpr const char *kService = "indexing.googleapis.com";
constexpr const char *kScope = "https://www.googleapis.com/auth/indexing";
constexpr const char *kNotOwner = "Permission denied. Failed to verify the URL ownership.";

struct Notification {
    std::string type;
    std::string notifyTime;
};

struct PageMetadata {
    std::optional<Notification> latestUpdate;
    std::optional<Notification> latestRemove;
};

} // namespace

struct IndexingApiModule::State {
    explicit State(std::shared_ptr<SearchConsoleAccounts> a) : accounts(std::move(a)) {}

    std::shared_ptr<SearchConsoleAccounts> accounts;
    mutable std::mutex mutex;
    long long dailyQuota = kDefaultDailyQuota;
    long long published = 0;
    int delayMs = 0;
    SystemClock clock;
    std::vector<std::chrono::steady_clock::time_point> requestTimes;
    std::map<std::string, PageMetadata> pages;

    Response serve(const RecordedRequest &request, const std::string &prefix);
    Response publish(const RecordedRequest &request, const TokenRegistry::Grant &grant,
                     const google::AnswerStyle &style);
    Response metadata(const RecordedRequest &request, const TokenRegistry::Grant &grant,
                      const google::AnswerStyle &style);
    bool owns(long long userId, const std::string &url) const;
    Json metadataJson(const std::string &url, const PageMetadata &page) const;
};

namespace {

ErrorSpec spec(int code, const std::string &message, const std::string &status, const std::string &reason)
{
    ErrorSpec s;
    s.code = code;
    s.message = message;
    s.status = status;
    s.legacyReason = reason;
    return s;
}

// An address Google takes as a page: http or https, a host, no blanks or
// control characters. Letters beyond ASCII are welcome (an IRI).
bool isPageUrl(const std::string &url)
{
    size_t hostStart = 0;
    if (url.rfind("https://", 0) == 0)
        hostStart = 8;
    else if (url.rfind("http://", 0) == 0)
        hostStart = 7;
    else
        return false;
    const size_t hostEnd = url.find_first_of("/?#", hostStart);
    if ((hostEnd == std::string::npos ? url.size() : hostEnd) == hostStart)
        return false;
    for (const char c : url) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

} // namespace

bool IndexingApiModule::State::owns(long long userId, const std::string &url) const
{
    const auto properties = accounts->properties(userId);
    if (!properties)
        return false;
    for (const SearchConsoleAccounts::Property &property : *properties) {
        if (property.permissionLevel == "siteOwner" && SearchConsoleAccounts::inProperty(property.siteUrl, url))
            return true;
    }
    return false;
}

Json IndexingApiModule::State::metadataJson(const std::string &url, const PageMetadata &page) const
{
    const auto notification = [&](const Notification &n) {
        return Json{{"url", url}, {"type", n.type}, {"notifyTime", n.notifyTime}};
    };
    Json metadata = {{"url", url}};
    if (page.latestUpdate)
        metadata["latestUpdate"] = notification(*page.latestUpdate);
    if (page.latestRemove)
        metadata["latestRemove"] = notification(*page.latestRemove);
    return metadata;
}

Response IndexingApiModule::State::publish(const RecordedRequest &request, const TokenRegistry::Grant &grant,
                                           const google::AnswerStyle &style)
{
    {
        std::lock_guard lock(mutex);
        if (published >= dailyQuota) {
            ErrorSpec quota = google::quotaExceeded(kService, google::projectNumberOf(grant));
            quota.message = "Quota exceeded for quota metric 'Publish requests' and limit 'Publish requests per day' "
                            "of service '" +
                            std::string(kService) + "' for consumer 'project_number:" +
                            google::projectNumberOf(grant) + "'.";
            return google::error(quota, style);
        }
        ++published;
    }

    std::variant<Json, Response> read = google::objectBody(request, style);
    if (Response *refusal = std::get_if<Response>(&read))
        return *refusal;
    const Json body = std::move(std::get<Json>(read));
    std::string url;
    std::string type;
    for (const auto &[name, value] : body.items()) {
        std::string *field = name == "url" ? &url : name == "type" ? &type : nullptr;
        if (!field && name != "notifyTime")
            return google::error(google::unknownField(name), style);
        if (!value.is_string())
            return google::error(google::invalidArgument("Invalid value at '" + name + "' (TYPE_STRING), " +
                                                         value.dump(-1, ' ', false, Json::error_handler_t::replace)),
                                 style);
        if (field)
            *field = value.get<std::string>();
    }
    if (!type.empty() && type != "URL_UPDATED" && type != "URL_DELETED" && type != "URL_NOTIFICATION_TYPE_UNSPECIFIED")
        return google::error(
            google::invalidArgument("Invalid value at 'url_notification.type' "
                                    "(type.googleapis.com/google.indexing.v3.UrlNotificationType), \"" +
                                    type + "\""),
            style);
    if (url.empty() || type.empty() || type == "URL_NOTIFICATION_TYPE_UNSPECIFIED")
        return google::error(google::invalidArgument("Request contains an invalid argument."), style);
    if (!isPageUrl(url))
        return google::error(
            google::invalidArgument("Invalid attribute. 'url' is not in standard URL format: " + url), style);
    if (!owns(grant.userId, url))
        return google::error(spec(403, kNotOwner, "PERMISSION_DENIED", "forbidden"), style);

    std::lock_guard lock(mutex);
    const std::string now = notifyTimeText(clock ? clock() : std::chrono::system_clock::now());
    PageMetadata &page = pages[url];
    (type == "URL_UPDATED" ? page.latestUpdate : page.latestRemove) = Notification{type, now};
    return google::ok(Json{{"urlNotificationMetadata", metadataJson(url, page)}}, style);
}

Response IndexingApiModule::State::metadata(const RecordedRequest &request, const TokenRegistry::Grant &grant,
                                            const google::AnswerStyle &style)
{
    const std::string url = request.queryParam("url");
    if (url.empty())
        return google::error(google::invalidArgument("Request contains an invalid argument."), style);
    if (!owns(grant.userId, url))
        return google::error(spec(403, kNotOwner, "PERMISSION_DENIED", "forbidden"), style);
    std::lock_guard lock(mutex);
    const auto found = pages.find(url);
    if (found == pages.end())
        return google::error(spec(404, "Requested entity was not found.", "NOT_FOUND", "notFound"), style);
    return google::ok(metadataJson(url, found->second), style);
}

Response IndexingApiModule::State::serve(const RecordedRequest &request, const std::string &prefix)
{
    {
        std::lock_guard lock(mutex);
        requestTimes.push_back(std::chrono::steady_clock::now());
    }
    const google::AnswerStyle style =
        google::styleFor(request, google::ErrorForm::WithErrorsList, accounts->htmlSafeEscapes());
    const std::string path = support::percentDecode(request.path.substr(prefix.size()), false);
    const bool isPublish = request.method == "POST" && path == "/v3/urlNotifications:publish";
    const bool isMetadata = request.method == "GET" && path == "/v3/urlNotifications/metadata";
    if (!isPublish && !isMetadata)
        return google::notFoundPage(request.path.substr(prefix.size()));

    const google::FrontEnd frontEnd{kService, {kScope}, accounts->acceptsAnyApiKey()};
    auto authorized = google::authorize(request, accounts->tokens(), frontEnd, style);
    if (auto *refusal = std::get_if<Response>(&authorized))
        return std::move(*refusal);
    const TokenRegistry::Grant grant = std::get<TokenRegistry::Grant>(authorized);
    return isPublish ? publish(request, grant, style) : metadata(request, grant, style);
}

IndexingApiModule::IndexingApiModule(std::shared_ptr<SearchConsoleAccounts> accounts)
    : m_state(std::make_shared<State>(std::move(accounts)))
{
}

void IndexingApiModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix + "/", [state = m_state, prefix](const RecordedRequest &request) {
        Response response = state->serve(request, prefix);
        std::lock_guard lock(state->mutex);
        response.delayMs = state->delayMs;
        return response;
    });

    const auto describe = [](const State &state) {
        std::lock_guard lock(state.mutex);
        Json times = Json::array();
        for (const auto &time : state.requestTimes)
            times.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
        return support::jsonAnswer(
            Json{{"dailyQuota", state.dailyQuota}, {"publishedToday", state.published}, {"requestTimesMs", times}});
    };
    const std::string settingsPath = "/__sim/settings" + prefix;
    server.addControlHandler("GET", settingsPath,
                             [state = m_state, describe](const RecordedRequest &) { return describe(*state); });
    server.addControlHandler("POST", settingsPath, [state = m_state,
                                                                   describe](const RecordedRequest &request) {
        Json settings;
        try {
            settings = Json::parse(request.body.empty() ? std::string("{}") : request.body);
        } catch (const Json::parse_error &e) {
            return support::jsonAnswer(Json{{"error", "bad_request"}, {"message", e.what()}}, 400);
        }
        if (!settings.is_object())
            return support::jsonAnswer(Json{{"error", "bad_request"}, {"message", "expected an object"}}, 400);
        {
            std::lock_guard lock(state->mutex);
            if (settings.contains("dailyQuota") && settings["dailyQuota"].is_number_integer())
                state->dailyQuota = settings["dailyQuota"].get<long long>();
            if (settings.contains("answerDelayMs") && settings["answerDelayMs"].is_number_integer())
                state->delayMs = settings["answerDelayMs"].get<int>();
            if (settings.value("resetUsage", false))
                state->published = 0;
        }
        return describe(*state);
    });
}

void IndexingApiModule::setDailyQuota(long long quota)
{
    std::lock_guard lock(m_state->mutex);
    m_state->dailyQuota = quota;
}

long long IndexingApiModule::dailyQuota() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->dailyQuota;
}

long long IndexingApiModule::publishedToday() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->published;
}

void IndexingApiModule::resetUsage()
{
    std::lock_guard lock(m_state->mutex);
    m_state->published = 0;
}

void IndexingApiModule::setAnswerDelayMs(int delayMs)
{
    std::lock_guard lock(m_state->mutex);
    m_state->delayMs = delayMs;
}

void IndexingApiModule::setClock(SystemClock clock)
{
    std::lock_guard lock(m_state->mutex);
    m_state->clock = std::move(clock);
}

std::vector<std::chrono::steady_clock::time_point> IndexingApiModule::requestTimes() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->requestTimes;
}

std::string IndexingApiModule::notifyTimeText(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto nanos = duration_cast<nanoseconds>(time.time_since_epoch()).count();
    long long seconds = nanos / 1000000000;
    long long fraction = nanos % 1000000000;
    if (fraction < 0) {
        fraction += 1000000000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09lldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, fraction);
    return text;
}

Response IndexingApiModule::errorAnswer(int code, const std::string &message, const std::string &status)
{
    ErrorSpec s = spec(code, message, status,
                       code == 429 ? "rateLimitExceeded" : code >= 500 ? "backendError" : "badRequest");
    google::AnswerStyle style;
    style.errorForm = google::ErrorForm::WithErrorsList;
    return google::error(s, style);
}

} // namespace veltrano::sim
