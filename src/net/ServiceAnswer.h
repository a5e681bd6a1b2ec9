#pragma once

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceExchange.h"

#include <QString>

namespace veltrano {

class RequestTrace;

// Reading a service's answer the same way for every service.
namespace serviceanswer {

// The answer as a JSON object, or VeltranoError saying in plain words that
// the service gave no usable answer, with the HTTP status.
JsonDocument parseObject(const QString &serviceName, const ExchangeResult &answer);

// The service's own words when the answer is one of the error objects the
// services document; empty otherwise:
//   Yandex Webmaster  {"error_code": "...", "error_message": "..."}
//   Google            {"error": {"code": 403, "status": "...", "message": "..."}}
//   Yandex Metrika    {"errors": [{"error_type": "...", "message": "..."}], ...}
//   Ahrefs            {"error": "..."}
QString errorWords(const ExchangeResult &answer);

// "<status> <reason>", or "500, no answer received" when none came.
QString statusText(const ExchangeResult &answer);

// The message, and when the answer is a service's error object, a second
// line with the service's words and the HTTP status.
QString withServiceWords(const QString &message, const ExchangeResult &answer);

// Runs read over an answer; an error it raises gets the service's own words
// and the HTTP status on a second line when the answer is an error object
// (a revoked token reads "Value 'hosts' not found" and then why).
template <typename Read> auto read(const ExchangeResult &answer, Read &&readAnswer)
{
    try {
        return readAnswer();
    } catch (const VeltranoError &error) {
        const QString message = withServiceWords(error.message(), answer);
        if (message == error.message())
            throw;
        throw VeltranoError(message);
    }
}

// The answer's text in the request trace, between blank lines.
void trace(RequestTrace &trace, const ExchangeResult &answer);

} // namespace serviceanswer

} // namespace veltrano
