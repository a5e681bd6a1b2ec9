#pragma once

// What the simulated Google API hosts share: how Google writes JSON (indented
// unless prettyPrint=false, HTML-sensitive characters as \u escapes, whole
// numbers of double fields without a fraction), its error objects, its 404
// page, and the checks of its front end (API key, OAuth credential, scope).
// Included by the Google service modules' sources only.

#include "ServiceSupport.h"
#include "SimServer.h"
#include "TokenRegistry.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace veltrano::sim::google {

using support::Json;

// The forms of Google's error object. The Google APIs host keeps the
// "errors" list of its older APIs beside "status"; the hosts of the newer
// APIs (searchconsole.googleapis.com) write code, message, status and
// details only; the oldest APIs of the Google APIs host (Analytics v3)
// write the "errors" list, code and message, nothing more.
enum class ErrorForm { WithErrorsList, Plain, ErrorsListOnly };

struct AnswerStyle {
    ErrorForm errorForm = ErrorForm::Plain;
    bool prettyPrint = true; // Google indents its answers unless asked for prettyPrint=false
    bool htmlSafe = true;    // "<", ">", "&", "=" and "'" written as \u escapes
};

// One error as Google describes it. legacyMessage and legacyReason fill the
// "errors" list (legacyMessage empty: the message itself); location and
// locationType only where Google names the header at fault; infoReason adds
// a google.rpc.ErrorInfo detail for service.
struct ErrorSpec {
    int code = 400;
    std::string message;
    std::string status;
    std::string legacyReason = "badRequest";
    std::string legacyMessage;
    std::string legacyDomain; // the "errors" item's domain; empty: "global"
    std::string location;
    std::string locationType;
    std::string infoReason;
    std::string service;
};

// A double field's value as Google writes it: 3 for 3.0, 0.25 for 0.25.
Json number(double value);

// The JSON text of an answer in Google's layout, ending with a line break.
std::string writeJson(const Json &body, const AnswerStyle &style);

Response ok(const Json &body, const AnswerStyle &style);
Response error(const ErrorSpec &spec, const AnswerStyle &style);

// The style of an answer to this request: prettyPrint=false turns off the
// indentation, as on Google's hosts.
AnswerStyle styleFor(const RecordedRequest &request, ErrorForm form, bool htmlSafe);

// Google's own "Error 404 (Not Found)!!1" page for a path or method that no
// API of the host serves; path is the one the page names.
Response notFoundPage(const std::string &path);

// 400 INVALID_ARGUMENT for a request body that is not JSON, pointing at the
// place where reading stopped the way Google's message does.
ErrorSpec invalidJson(const std::string &body, size_t byteOffset);
ErrorSpec invalidArgument(const std::string &message);
ErrorSpec unknownField(const std::string &name);
ErrorSpec quotaExceeded(const std::string &service, const std::string &projectNumber);

// The JSON object a request's body holds (an empty body reads as {}), or
// Google's 400 INVALID_ARGUMENT for a body that is not JSON or no object.
std::variant<Json, Response> objectBody(const RecordedRequest &request, const AnswerStyle &style);

// The front end's checks of a request, in Google's order: a "key" parameter
// must be an API key; then an OAuth 2 access token (header "Authorization:
// Bearer <token>" or "OAuth <token>", or the access_token parameter) issued
// by the Google sign-in and not revoked; then one of scopes among the
// token's granted scopes. Gives the token's grant, or the refusal.
struct FrontEnd {
    std::string service;             // "searchconsole.googleapis.com"
    std::vector<std::string> scopes; // any one of them is enough
    bool acceptAnyApiKey = false;    // take a key of any form as the project's key
};
std::variant<TokenRegistry::Grant, Response> authorize(const RecordedRequest &request, const TokenRegistry &tokens,
                                                       const FrontEnd &frontEnd, const AnswerStyle &style);

// The Google Cloud project number in the client id of a grant
// ("123456789012-....apps.googleusercontent.com"), for quota messages.
std::string projectNumberOf(const TokenRegistry::Grant &grant);

// Whether text has the form of a Google API key: "AIza" and 35 letters,
// digits, "-" or "_".
bool looksLikeApiKey(const std::string &text);

} // namespace veltrano::sim::google
