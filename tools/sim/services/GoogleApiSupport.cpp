#include "GoogleApiSupport.h"

#include "DemoAccounts.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <strings.h>

namespace veltrano::sim::google {

namespace {

constexpr const char *kSignInHelp = "See https://developers.google.com/identity/sign-in/web/devconsole-project.";

std::string htmlSafe(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "\\u003c";
            break;
        case '>':
            out += "\\u003e";
            break;
        case '&':
            out += "\\u0026";
            break;
        case '=':
            out += "\\u003d";
            break;
        case '\'':
            out += "\\u0027";
            break;
        default:
            out += c;
        }
    }
    return out;
}

Json errorInfo(const std::string &reason, const std::string &service)
{
    Json info = {
        {"@type", "type.googleapis.com/google.rpc.ErrorInfo"}, {"reason", reason}, {"domain", "googleapis.com"}};
    if (!service.empty())
        info["metadata"] = Json{{"service", service}};
    return info;
}

struct Credential {
    bool present = false;
    std::string token;
};

// The OAuth token of a request: "Authorization: Bearer <token>" or
// "Authorization: OAuth <token>" (Google takes either scheme word, in any
// letter case), else the access_token parameter. An Authorization line of
// another form counts as a credential that is not valid.
Credential credentialOf(const RecordedRequest &request)
{
    const std::string value = request.header("Authorization");
    bool hasHeader = false;
    for (const std::string &line : request.headerLines)
        hasHeader = hasHeader || strncasecmp(line.c_str(), "Authorization:", 14) == 0;
    if (hasHeader) {
        for (const char *scheme : {"Bearer", "OAuth"}) {
            const size_t n = std::char_traits<char>::length(scheme);
            if (value.size() >= n && strncasecmp(value.c_str(), scheme, n) == 0 &&
                (value.size() == n || value[n] == ' ')) {
                const size_t start = value.find_first_not_of(' ', n);
                if (start == std::string::npos)
                    return {true, {}};
                return {true, value.substr(start, value.find_last_not_of(' ') + 1 - start)};
            }
        }
        return {true, {}};
    }
    if (support::hasParam(request.query, "access_token"))
        return {true, request.queryParam("access_token")};
    return {};
}

std::vector<std::string> words(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

} // namespace

Json number(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9007199254740992.0)
        return static_cast<long long>(value);
    return value;
}

std::string writeJson(const Json &body, const AnswerStyle &style)
{
    std::string text = body.dump(style.prettyPrint ? 2 : -1, ' ', false, Json::error_handler_t::replace);
    // The characters replaced occur only inside strings: the JSON syntax
    // itself uses none of them.
    if (style.htmlSafe)
        text = htmlSafe(text);
    return text + "\n";
}

Response ok(const Json &body, const AnswerStyle &style)
{
    return Response::text(writeJson(body, style), 200, "application/json; charset=UTF-8");
}

Response error(const ErrorSpec &spec, const AnswerStyle &style)
{
    Json object = Json::object();
    if (style.errorForm == ErrorForm::ErrorsListOnly) {
        Json item = {{"domain", spec.legacyDomain.empty() ? "global" : spec.legacyDomain},
                     {"reason", spec.legacyReason},
                     {"message", spec.legacyMessage.empty() ? spec.message : spec.legacyMessage}};
        if (!spec.location.empty()) {
            item["locationType"] = spec.locationType;
            item["location"] = spec.location;
        }
        object["errors"] = Json::array({std::move(item)});
        object["code"] = spec.code;
        object["message"] = spec.message;
        Response response = Response::text(writeJson(Json{{"error", std::move(object)}}, style), spec.code,
                                           "application/json; charset=UTF-8");
        if (spec.code == 401)
            response.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"https://accounts.google.com/\"");
        return response;
    }
    object["code"] = spec.code;
    object["message"] = spec.message;
    if (style.errorForm == ErrorForm::WithErrorsList) {
        Json item = {{"message", spec.legacyMessage.empty() ? spec.message : spec.legacyMessage},
                     {"domain", "global"},
                     {"reason", spec.legacyReason}};
        if (!spec.location.empty()) {
            item["location"] = spec.location;
            item["locationType"] = spec.locationType;
        }
        object["errors"] = Json::array({std::move(item)});
    }
    object["status"] = spec.status;
    if (!spec.infoReason.empty())
        object["details"] = Json::array({errorInfo(spec.infoReason, spec.service)});
    Response response = Response::text(writeJson(Json{{"error", std::move(object)}}, style), spec.code,
                                       "application/json; charset=UTF-8");
    if (spec.code == 401)
        response.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"https://accounts.google.com/\"");
    return response;
}

AnswerStyle styleFor(const RecordedRequest &request, ErrorForm form, bool htmlSafe)
{
    AnswerStyle style;
    style.errorForm = form;
    style.htmlSafe = htmlSafe;
    if (support::hasParam(request.query, "prettyPrint")) {
        const std::string value = request.queryParam("prettyPrint");
        style.prettyPrint = !(value == "false" || value == "0");
    }
    return style;
}

Response notFoundPage(const std::string &path)
{
    std::string shown;
    for (const char c : path) {
        if (c == '<')
            shown += "&lt;";
        else if (c == '>')
            shown += "&gt;";
        else if (c == '&')
            shown += "&amp;";
        else
            shown += c;
    }
    return Response::text("<!DOCTYPE html>\n<html lang=en>\n  <meta charset=utf-8>\n"
                          "  <title>Error 404 (Not Found)!!1</title>\n"
                          "  <p><b>404.</b> <ins>That\u2019s an error.</ins>\n"
                          "  <p>The requested URL <code>" +
                              shown + "</code> was not found on this server.  <ins>That\u2019s all we know.</ins>\n",
                          404, "text/html; charset=UTF-8");
}

ErrorSpec invalidJson(const std::string &body, size_t byteOffset)
{
    const size_t at = std::min(byteOffset, body.size());
    const size_t from = at > 40 ? at - 40 : 0;
    std::string excerpt = body.substr(from, std::min<size_t>(body.size() - from, at - from + 20));
    for (char &c : excerpt) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    ErrorSpec spec;
    spec.message =
        "Invalid JSON payload received. Unexpected token.\n" + excerpt + "\n" + std::string(at - from, ' ') + "^";
    spec.status = "INVALID_ARGUMENT";
    return spec;
}

ErrorSpec invalidArgument(const std::string &message)
{
    ErrorSpec spec;
    spec.message = message;
    spec.status = "INVALID_ARGUMENT";
    return spec;
}

std::variant<Json, Response> objectBody(const RecordedRequest &request, const AnswerStyle &style)
{
    Json body;
    try {
        body = request.body.empty() ? Json::object() : Json::parse(request.body);
    } catch (const Json::parse_error &e) {
        return error(invalidJson(request.body, e.byte > 0 ? e.byte - 1 : 0), style);
    }
    if (!body.is_object())
        return error(invalidArgument("Invalid JSON payload received. Expected an object."), style);
    return body;
}

ErrorSpec unknownField(const std::string &name)
{
    return invalidArgument("Invalid JSON payload received. Unknown name \"" + name + "\": Cannot find field.");
}

ErrorSpec quotaExceeded(const std::string &service, const std::string &projectNumber)
{
    ErrorSpec spec;
    spec.code = 429;
    spec.message = "Quota exceeded for quota metric 'Queries' and limit 'Queries per minute per user' of service '" +
                   service + "' for consumer 'project_number:" + projectNumber + "'.";
    spec.status = "RESOURCE_EXHAUSTED";
    spec.legacyReason = "rateLimitExceeded";
    spec.infoReason = "RATE_LIMIT_EXCEEDED";
    spec.service = service;
    return spec;
}

bool looksLikeApiKey(const std::string &text)
{
    if (text.size() != 39 || text.rfind("AIza", 0) != 0)
        return false;
    return text.find_first_not_of(support::kUrlSafe) == std::string::npos;
}

std::string projectNumberOf(const TokenRegistry::Grant &grant)
{
    const std::string clientId = grant.clientId.empty() ? std::string(demo::kGoogleClientId) : grant.clientId;
    const size_t dash = clientId.find('-');
    const std::string number = clientId.substr(0, dash);
    if (number.empty() || number.find_first_not_of(support::kDigits) != std::string::npos)
        return "0";
    return number;
}

std::variant<TokenRegistry::Grant, Response> authorize(const RecordedRequest &request, const TokenRegistry &tokens,
                                                       const FrontEnd &frontEnd, const AnswerStyle &style)
{
    const bool hasKey = support::hasParam(request.query, "key");
    if (hasKey && !frontEnd.acceptAnyApiKey && !looksLikeApiKey(request.queryParam("key"))) {
        ErrorSpec spec = invalidArgument("API key not valid. Please pass a valid API key.");
        spec.infoReason = "API_KEY_INVALID";
        spec.service = frontEnd.service;
        return error(spec, style);
    }

    const Credential credential = credentialOf(request);
    if (!credential.present) {
        ErrorSpec spec;
        spec.code = 401;
        spec.status = "UNAUTHENTICATED";
        spec.location = "Authorization";
        spec.locationType = "header";
        spec.service = frontEnd.service;
        spec.infoReason = "CREDENTIALS_MISSING";
        if (hasKey) {
            spec.message = "API keys are not supported by this API. Expected OAuth2 access token or other "
                           "authentication credentials that assert a principal. " +
                           std::string(kSignInHelp);
            spec.legacyMessage = "Login Required.";
        } else {
            spec.message = "Request is missing required authentication credential. Expected OAuth 2 access token, "
                           "login cookie or other valid authentication credential. " +
                           std::string(kSignInHelp);
            spec.legacyMessage = "Login Required.";
        }
        spec.legacyReason = "required";
        return error(spec, style);
    }

    const auto grant = credential.token.empty() ? std::nullopt : tokens.find(credential.token);
    if (!grant || grant->issuer != "google") {
        ErrorSpec spec;
        spec.code = 401;
        spec.message = "Request had invalid authentication credentials. Expected OAuth 2 access token, login cookie "
                       "or other valid authentication credential. " +
                       std::string(kSignInHelp);
        spec.status = "UNAUTHENTICATED";
        spec.legacyMessage = "Invalid Credentials";
        spec.legacyReason = "authError";
        spec.location = "Authorization";
        spec.locationType = "header";
        return error(spec, style);
    }

    const std::vector<std::string> granted = words(grant->scope);
    bool allowed = false;
    for (const std::string &scope : frontEnd.scopes)
        allowed = allowed || std::find(granted.begin(), granted.end(), scope) != granted.end();
    if (!allowed) {
        ErrorSpec spec;
        spec.code = 403;
        spec.message = "Request had insufficient authentication scopes.";
        spec.status = "PERMISSION_DENIED";
        spec.legacyMessage = "Insufficient Permission";
        spec.legacyReason = "insufficientPermissions";
        spec.infoReason = "ACCESS_TOKEN_SCOPE_INSUFFICIENT";
        spec.service = frontEnd.service;
        return error(spec, style);
    }
    return *grant;
}

} // namespace veltrano::sim::google
