#pragma once

#include <cstdint>

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

// Made-up figures that look irregular yet come out the same every run: a
// bijection of 64-bit numbers that scatters neighbours (the splitmix64
// finaliser), and the FNV-1a hash of a text to seed it with.
inline uint64_t scatter(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

inline uint64_t textHash(const std::string &text)
{
    uint64_t h = 14695981039346656037ULL;
    for (const unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

} // namespace veltrano::sim::support
