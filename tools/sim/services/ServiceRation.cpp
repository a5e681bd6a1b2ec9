#include "ServiceRation.h"

#include "GoogleApiSupport.h"
#include "ServiceSupport.h"
#include "YandexApiSupport.h"

#include <algorithm>
#include <atomic>

namespace veltrano::sim {

namespace {

using Json = support::Json;

google::ErrorForm formOf(ServiceRation::Style style)
{
    switch (style) {
    case ServiceRation::Style::GoogleWithErrorsList:
        return google::ErrorForm::WithErrorsList;
    case ServiceRation::Style::GoogleErrorsListOnly:
        return google::ErrorForm::ErrorsListOnly;
    default:
        return google::ErrorForm::Plain;
    }
}

void addRetryAfter(Response &response, int seconds)
{
    if (seconds >= 0)
        response.headers.emplace_back("Retry-After", std::to_string(seconds));
}

long long numberMember(const Json &object, const char *name, long long fallback)
{
    const auto it = object.find(name);
    if (it == object.end() || !it->is_number_integer() || it->get<long long>() < 0)
        return fallback;
    return it->get<long long>();
}

} // namespace

namespace {

std::atomic<bool> documentedByDefault{false};

} // namespace

ServiceRation::ServiceRation(Style style, std::string service) : ServiceRation(style, std::move(service), Settings{})
{
}

ServiceRation::ServiceRation(Style style, std::string service, Settings documented, KeyOf keyOf)
    : m_style(style), m_service(std::move(service)), m_documented(documented), m_keyOf(std::move(keyOf))
{
    if (documentedByDefault)
        m_settings = m_documented;
}

void ServiceRation::setDocumentedLimitsByDefault(bool on)
{
    documentedByDefault = on;
}

void ServiceRation::setSettings(const Settings &settings)
{
    std::lock_guard lock(m_mutex);
    m_settings = settings;
    m_settings.minuteMs = std::max<long long>(1, m_settings.minuteMs);
    m_settings.failBurst = std::max<long long>(1, m_settings.failBurst);
}

ServiceRation::Settings ServiceRation::settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

ServiceRation::Counts ServiceRation::counts() const
{
    std::lock_guard lock(m_mutex);
    Counts counts;
    counts.seen = m_seen;
    const auto now = std::chrono::steady_clock::now();
    for (const auto &[key, window] : m_windows) {
        if (now - window.minuteStart < std::chrono::milliseconds(m_settings.minuteMs))
            counts.thisMinute += window.thisMinute;
        counts.today += window.today;
        counts.inFlight += window.inFlight;
    }
    return counts;
}

void ServiceRation::advanceDay()
{
    std::lock_guard lock(m_mutex);
    for (auto &[key, window] : m_windows) {
        window.today = 0;
        window.thisMinute = 0;
        window.minuteStart = {};
    }
}

void ServiceRation::reset()
{
    std::lock_guard lock(m_mutex);
    m_settings = {};
    m_seen = 0;
    // Requests still in flight keep their place until their answers are out.
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (it->second.inFlight > 0) {
            it->second = Window{{}, 0, 0, it->second.inFlight};
            ++it;
        } else {
            it = m_windows.erase(it);
        }
    }
}

void ServiceRation::release(const std::string &key)
{
    std::lock_guard lock(m_mutex);
    if (const auto it = m_windows.find(key); it != m_windows.end() && it->second.inFlight > 0)
        --it->second.inFlight;
}

GateAnswer ServiceRation::take(const RecordedRequest &request)
{
    const std::string key = m_keyOf ? m_keyOf(request) : std::string();
    std::lock_guard lock(m_mutex);
    const Settings &s = m_settings;
    const long long number = m_seen++;
    if (s.failEvery > 0 && number % s.failEvery >= s.failEvery - std::min(s.failBurst, s.failEvery)) {
        if (s.dropConnection) {
            Response dropped;
            dropped.fault = Fault::CloseWithoutAnswer;
            return {dropped};
        }
        Response failure = serverError(s.failStatus);
        addRetryAfter(failure, s.retryAfterSeconds);
        return {failure};
    }
    Window &window = m_windows[key];
    if (s.atOnce > 0 && window.inFlight >= s.atOnce)
        return {tooManyAtOnce()};
    if (s.perDay > 0 && window.today >= s.perDay)
        return {quotaRefusal(true, s.retryAfterSeconds)};
    if (s.perMinute > 0) {
        const auto now = std::chrono::steady_clock::now();
        const auto minute = std::chrono::milliseconds(s.minuteMs);
        if (window.minuteStart == std::chrono::steady_clock::time_point{} || now - window.minuteStart >= minute) {
            window.minuteStart = now;
            window.thisMinute = 0;
        }
        if (window.thisMinute >= s.perMinute) {
            int seconds = s.retryAfterSeconds;
            if (seconds < 0 && s.minuteRetryAfter) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(window.minuteStart + minute - now);
                seconds = int((left.count() + 999) / 1000);
            }
            return {quotaRefusal(false, seconds)};
        }
        ++window.thisMinute;
    }
    ++window.today;
    GateAnswer admitted;
    if (s.atOnce > 0) {
        ++window.inFlight;
        // Released once the answer is out; the ration outlives it through the hold.
        std::shared_ptr<ServiceRation> self = shared_from_this();
        admitted.hold = std::shared_ptr<void>(self.get(), [self, key](void *) { self->release(key); });
    }
    return admitted;
}

Response ServiceRation::tooManyAtOnce() const
{
    if (m_style == Style::YandexMetrika)
        return yandex::metrika::error(429, "quota_parallel_requests",
                                      "Too many parallel requests to the API for this user.");
    if (m_style == Style::Ahrefs)
        return support::jsonAnswer(Json{{"error", "Too many concurrent requests"}}, 429);
    google::ErrorSpec spec;
    spec.code = 429;
    spec.message = "Too many concurrent requests for this user.";
    spec.status = "RESOURCE_EXHAUSTED";
    spec.legacyReason = "rateLimitExceeded";
    spec.infoReason = "RATE_LIMIT_EXCEEDED";
    spec.service = m_service;
    google::AnswerStyle style;
    style.errorForm = formOf(m_style);
    return google::error(spec, style);
}

Response ServiceRation::quotaRefusal(bool daily, int retryAfterSeconds) const
{
    Response response;
    if (m_style == Style::Ahrefs) {
        // Ahrefs' own error object, {"error": ...}, with the status it documents for a spent rate.
        response = support::jsonAnswer(
            Json{{"error", daily ? "API units limit exceeded"
                                 : "Rate limit exceeded: " + std::to_string(kAhrefsPerMinute) +
                                       " requests per minute"}},
            429);
    } else if (m_style == Style::YandexMetrika) {
        response = daily ? yandex::metrika::quotaExceeded()
                         : yandex::metrika::error(429, "quota_requests_by_ip",
                                                  "Too many requests from this IP address in a short time.");
    } else {
        google::ErrorSpec spec;
        spec.code = 429;
        spec.message = std::string("Quota exceeded for quota metric 'Queries' and limit 'Queries per ") +
                       (daily ? "day" : "minute") + "' of service '" + m_service +
                       "' for consumer 'project_number:" + "100000000000" + "'.";
        spec.status = "RESOURCE_EXHAUSTED";
        spec.legacyReason = daily ? "dailyLimitExceeded" : "rateLimitExceeded";
        spec.infoReason = "RATE_LIMIT_EXCEEDED";
        spec.service = m_service;
        google::AnswerStyle style;
        style.errorForm = formOf(m_style);
        response = google::error(spec, style);
    }
    if (!daily)
        addRetryAfter(response, retryAfterSeconds);
    return response;
}

Response ServiceRation::serverError(int status) const
{
    if (m_style == Style::YandexMetrika)
        return yandex::metrika::error(status, "backend_error", "Internal error. Try again later.");
    google::ErrorSpec spec;
    spec.code = status;
    spec.legacyReason = "backendError";
    switch (status) {
    case 500:
        spec.message = "Internal error encountered.";
        spec.status = "INTERNAL";
        break;
    case 504:
        spec.message = "The request timed out.";
        spec.status = "DEADLINE_EXCEEDED";
        break;
    default:
        spec.message = "The service is currently unavailable.";
        spec.status = "UNAVAILABLE";
    }
    google::AnswerStyle style;
    style.errorForm = formOf(m_style);
    return google::error(spec, style);
}

void ServiceRation::install(SimServer &server, const std::string &prefix)
{
    // The server's gate and control handlers share the ration with its owner.
    const std::shared_ptr<ServiceRation> self = shared_from_this();
    server.addGate(prefix + "/", [self](const RecordedRequest &request) { return self->take(request); });
    server.addControlHandler("GET", "/__sim/ration" + prefix, [self](const RecordedRequest &) {
        const Settings s = self->settings();
        const Counts c = self->counts();
        return support::jsonAnswer(Json{{"perMinute", s.perMinute},
                                        {"perDay", s.perDay},
                                        {"atOnce", s.atOnce},
                                        {"minuteMs", s.minuteMs},
                                        {"retryAfterSeconds", s.retryAfterSeconds},
                                        {"failEvery", s.failEvery},
                                        {"failBurst", s.failBurst},
                                        {"failStatus", s.failStatus},
                                        {"dropConnection", s.dropConnection},
                                        {"thisMinute", c.thisMinute},
                                        {"today", c.today},
                                        {"seen", c.seen},
                                        {"inFlight", c.inFlight}});
    });
    server.addControlHandler("POST", "/__sim/ration" + prefix, [self](const RecordedRequest &request) {
        const Json body = Json::parse(request.body, nullptr, false);
        if (!body.is_object())
            return support::jsonAnswer(Json{{"error", "bad_request"}, {"message", "the body must be a JSON object"}},
                                       400);
        if (body.value("reset", false))
            self->reset();
        Settings s = body.value("documented", false) ? self->documentedLimits() : self->settings();
        s.perMinute = numberMember(body, "perMinute", s.perMinute);
        s.perDay = numberMember(body, "perDay", s.perDay);
        s.minuteMs = numberMember(body, "minuteMs", s.minuteMs);
        s.atOnce = numberMember(body, "atOnce", s.atOnce);
        if (body.contains("retryAfterSeconds") && body["retryAfterSeconds"].is_number_integer())
            s.retryAfterSeconds = int(std::clamp<long long>(body["retryAfterSeconds"].get<long long>(), -1, 86400));
        s.failEvery = numberMember(body, "failEvery", s.failEvery);
        s.failBurst = numberMember(body, "failBurst", s.failBurst);
        s.failStatus = int(std::clamp<long long>(numberMember(body, "failStatus", s.failStatus), 100, 599));
        if (body.contains("dropConnection") && body["dropConnection"].is_boolean())
            s.dropConnection = body["dropConnection"].get<bool>();
        self->setSettings(s);
        if (body.value("advanceDay", false))
            self->advanceDay();
        return support::jsonAnswer(Json{{"ok", true}});
    });
}

} // namespace veltrano::sim
