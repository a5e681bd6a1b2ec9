#pragma once

// Small pieces the simulated services share: URL encoding, query parameters
// that occur more than once, JSON and HTML answers, redirects, random token
// texts and calendar days. Included by the service modules' sources only.

#include "SimServer.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrano::sim::support {

using Json = nlohmann::ordered_json;

// "%XX" becomes the byte XX; with plusIsSpace (query strings and forms) "+"
// is a space. A "%" without two hex digits stays as it is.
std::string percentDecode(std::string_view text, bool plusIsSpace);

// Keeps A-Z, a-z, 0-9, "-", ".", "_" and "~"; every other byte is written
// as "%XX" with upper-case hex digits.
std::string percentEncode(std::string_view text);

// Every value of a query or form parameter, decoded, in the order sent
// ("query_indicator=A&query_indicator=B").
std::vector<std::string> paramValues(const std::string &encoded, const std::string &name);
bool hasParam(const std::string &encoded, const std::string &name);

// uri followed by "?" (or "&" when it already holds a query) and the
// parameters, each value percent-encoded.
std::string withQuery(const std::string &uri, const std::vector<std::pair<std::string, std::string>> &params);

// An http or https address on this machine (localhost, 127.0.0.0/8, [::1]).
// The simulated authorization servers redirect only to such addresses, the
// way a real one redirects only to the addresses registered for the client.
bool isLoopbackUri(const std::string &uri);

// A JSON answer; escapeUnicode writes every non-ASCII character as \uXXXX
// (surrogate pairs beyond the BMP), otherwise the text is raw UTF-8. Invalid
// UTF-8 in a value is replaced, never a failure.
Response jsonAnswer(const Json &body, int status = 200, bool escapeUnicode = false);

// A small HTML page the browser shows, title and message HTML-escaped.
Response htmlPage(int status, const std::string &title, const std::string &message);

// "302 Found" to location, with an empty body.
Response redirectTo(const std::string &location);

// length characters drawn from alphabet.
std::string randomText(std::mt19937_64 &random, std::string_view alphabet, size_t length);

inline constexpr std::string_view kDigits = "0123456789";
inline constexpr std::string_view kUrlSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// A calendar day written "yyyy-mm-dd", optionally followed by "T" and a
// time, which is ignored; nullopt for anything else or an impossible day.
std::optional<std::chrono::sys_days> parseDay(std::string_view text);
std::string formatDay(std::chrono::sys_days day); // "yyyy-mm-dd"
std::chrono::sys_days today();

} // namespace veltrano::sim::support
