#pragma once

#include "net/ServiceExchange.h"

#include <QString>

#include <optional>

namespace veltrano {

class JsonDocument;

// Why a Google API refused a request, as its answer says it. Google's APIs
// (Search Console, URL Inspection, Indexing, Analytics) answer a refusal
// with the object
//   {"error": {"code": 403, "message": "...", "status": "PERMISSION_DENIED", ...}}
// and their OAuth front end with {"error": "invalid_token", "error_description": "..."}.
// An answer that is no JSON at all, or one with an error status but without
// such an object, is a refusal too: its code is the HTTP status.
struct GoogleError {
    QString code;    // "403": the object's code as written, else the HTTP status
    QString status;  // "PERMISSION_DENIED"; empty when the answer names none
    QString message; // the service's words; for an answer without them the status line's

    // The refusal an answer holds, or nothing for a JSON object with a
    // success status and no "error" member: an answer to read as data.
    static std::optional<GoogleError> of(const ExchangeResult &answer);
    // The same for an answer already parsed (doc may be invalid).
    static std::optional<GoogleError> of(const ExchangeResult &answer, const JsonDocument &doc);

    // "Code: 403, User does not have sufficient permission ..."
    QString codeAndMessage() const;
};

} // namespace veltrano
