#include "ServiceSupport.h"

#include <cstdio>

namespace veltrano::sim::support {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string htmlEscaped(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Calls visit(name, value) for every parameter, both decoded.
template <typename Visit> void forEachParam(const std::string &encoded, Visit visit)
{
    size_t start = 0;
    while (start < encoded.size()) {
        size_t end = encoded.find('&', start);
        if (end == std::string::npos)
            end = encoded.size();
        const std::string_view field(encoded.data() + start, end - start);
        if (!field.empty()) {
            const size_t eq = field.find('=');
            const std::string name = percentDecode(field.substr(0, eq), true);
            const std::string value =
                eq == std::string_view::npos ? std::string() : percentDecode(field.substr(eq + 1), true);
            visit(name, value);
        }
        start = end + 1;
    }
}

} // namespace

std::string percentDecode(std::string_view text, bool plusIsSpace)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsSpace) {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string percentEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        }
    }
    return out;
}

std::vector<std::string> paramValues(const std::string &encoded, const std::string &name)
{
    std::vector<std::string> values;
    forEachParam(encoded, [&](const std::string &key, const std::string &value) {
        if (key == name)
            values.push_back(value);
    });
    return values;
}

bool hasParam(const std::string &encoded, const std::string &name)
{
    bool found = false;
    forEachParam(encoded, [&](const std::string &key, const std::string &) { found = found || key == name; });
    return found;
}

std::string withQuery(const std::string &uri, const std::vector<std::pair<std::string, std::string>> &params)
{
    std::string out = uri;
    char separator = uri.find('?') == std::string::npos ? '?' : '&';
    for (const auto &[name, value] : params) {
        out += separator;
        out += percentEncode(name);
        out += '=';
        out += percentEncode(value);
        separator = '&';
    }
    return out;
}

bool isLoopbackUri(const std::string &uri)
{
    size_t hostStart;
    if (uri.rfind("http://", 0) == 0)
        hostStart = 7;
    else if (uri.rfind("https://", 0) == 0)
        hostStart = 8;
    else
        return false;
    const size_t authorityEnd = uri.find_first_of("/?#", hostStart);
    std::string authority =
        uri.substr(hostStart, authorityEnd == std::string::npos ? std::string::npos : authorityEnd - hostStart);
    if (authority.find('@') != std::string::npos)
        return false; // user information could hide where the address really leads
    std::string host;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos)
            return false;
        host = authority.substr(0, close + 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    for (char &c : host)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (host == "localhost" || host == "[::1]")
        return true;
    unsigned a, b, c, d;
    char rest;
    return std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) == 4 && a == 127 && b < 256 && c < 256 &&
           d < 256;
}

Response jsonAnswer(const Json &body, int status, bool escapeUnicode)
{
    return Response::json(body.dump(-1, ' ', escapeUnicode, Json::error_handler_t::replace), status);
}

Response htmlPage(int status, const std::string &title, const std::string &message)
{
    const std::string t = htmlEscaped(title);
    return Response::text("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + t +
                              "</title></head>\n<body><h1>" + t + "</h1>\n<p>" + htmlEscaped(message) +
                              "</p></body></html>\n",
                          status, "text/html; charset=utf-8");
}

Response redirectTo(const std::string &location)
{
    Response r;
    r.status = 302;
    r.reason = reasonPhrase(302);
    r.headers.emplace_back("Location", location);
    return r;
}

std::string randomText(std::mt19937_64 &random, std::string_view alphabet, size_t length)
{
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string out(length, ' ');
    for (char &c : out)
        c = alphabet[pick(random)];
    return out;
}

std::optional<std::chrono::sys_days> parseDay(std::string_view text)
{
    if (text.size() < 10 || (text.size() > 10 && text[10] != 'T'))
        return std::nullopt;
    for (size_t i = 0; i < 10; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? text[i] != '-' : (text[i] < '0' || text[i] > '9'))
            return std::nullopt;
    }
    const auto number = [&](size_t from, size_t count) {
        int n = 0;
        for (size_t i = from; i < from + count; ++i)
            n = n * 10 + (text[i] - '0');
        return n;
    };
    const std::chrono::year_month_day day{std::chrono::year{number(0, 4)},
                                          std::chrono::month{static_cast<unsigned>(number(5, 2))},
                                          std::chrono::day{static_cast<unsigned>(number(8, 2))}};
    if (!day.ok())
        return std::nullopt;
    return std::chrono::sys_days{day};
}

std::string formatDay(std::chrono::sys_days day)
{
    const std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()));
    return text;
}

std::chrono::sys_days today()
{
    return std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
}

} // namespace veltrano::sim::support
