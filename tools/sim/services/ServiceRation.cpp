#include "ServiceRation.h"

#include "GoogleApiSupport.h"
#include "ServiceSupport.h"
#include "YandexApiSupport.h"

#include <algorithm>

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

ServiceRation::ServiceRation(Style style, std::string service) : m_style(style), m_service(std::move(service)) {}

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
    return m_counts;
}

void ServiceRation::advanceDay()
{
    std::lock_guard lock(m_mutex);
    m_counts.today = 0;
    m_counts.thisMinute = 0;
    m_minuteStart = {};
}

void ServiceRation::reset()
{
    std::lock_guard lock(m_mutex);
    m_settings = {};
    m_counts = {};
    m_minuteStart = {};
}

std::optional<Response> ServiceRation::take()
{
    std::lock_guard lock(m_mutex);
    const Settings &s = m_settings;
    const long long number = m_counts.seen++;
    if (s.failEvery > 0 && number % s.failEvery >= s.failEvery - std::min(s.failBurst, s.failEvery)) {
        if (s.dropConnection) {
            Response dropped;
            dropped.fault = Fault::CloseWithoutAnswer;
            return dropped;
        }
        Response failure = serverError(s.failStatus);
        addRetryAfter(failure, s.retryAfterSeconds);
        return failure;
    }
    if (s.perDay > 0 && m_counts.today >= s.perDay)
        return quotaRefusal(true, s.retryAfterSeconds);
    if (s.perMinute > 0) {
        const auto now = std::chrono::steady_clock::now();
        const auto minute = std::chrono::milliseconds(s.minuteMs);
        if (m_minuteStart == std::chrono::steady_clock::time_point{} || now - m_minuteStart >= minute) {
            m_minuteStart = now;
            m_counts.thisMinute = 0;
        }
        if (m_counts.thisMinute >= s.perMinute) {
            int seconds = s.retryAfterSeconds;
            if (seconds < 0 && s.minuteRetryAfter) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_minuteStart + minute - now);
                seconds = int((left.count() + 999) / 1000);
            }
            return quotaRefusal(false, seconds);
        }
        ++m_counts.thisMinute;
    }
    ++m_counts.today;
    return std::nullopt;
}

Response ServiceRation::quotaRefusal(bool daily, int retryAfterSeconds) const
{
    Response response;
    if (m_style == Style::YandexMetrika) {
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
    server.addGate(prefix + "/", [self](const RecordedRequest &) { return self->take(); });
    server.addControlHandler("GET", "/__sim/ration" + prefix, [self](const RecordedRequest &) {
        const Settings s = self->settings();
        const Counts c = self->counts();
        return support::jsonAnswer(Json{{"perMinute", s.perMinute},
                                        {"perDay", s.perDay},
                                        {"minuteMs", s.minuteMs},
                                        {"retryAfterSeconds", s.retryAfterSeconds},
                                        {"failEvery", s.failEvery},
                                        {"failBurst", s.failBurst},
                                        {"failStatus", s.failStatus},
                                        {"dropConnection", s.dropConnection},
                                        {"thisMinute", c.thisMinute},
                                        {"today", c.today},
                                        {"seen", c.seen}});
    });
    server.addControlHandler("POST", "/__sim/ration" + prefix, [self](const RecordedRequest &request) {
        const Json body = Json::parse(request.body, nullptr, false);
        if (!body.is_object())
            return support::jsonAnswer(Json{{"error", "bad_request"}, {"message", "the body must be a JSON object"}},
                                       400);
        if (body.value("reset", false))
            self->reset();
        Settings s = self->settings();
        s.perMinute = numberMember(body, "perMinute", s.perMinute);
        s.perDay = numberMember(body, "perDay", s.perDay);
        s.minuteMs = numberMember(body, "minuteMs", s.minuteMs);
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
