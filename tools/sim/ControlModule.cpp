#include "ControlModule.h"

#include "SimServer.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <stdexcept>

namespace veltrano::sim {

namespace {

using Json = nlohmann::ordered_json;

std::string toBase64(const std::string &bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out.data()),
                                  reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(std::max(n, 0)));
    return out;
}

std::string fromBase64(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); }), text.end());
    if (text.size() % 4 != 0)
        throw std::invalid_argument("\"bodyBase64\" is not valid base64");
    std::string out(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char *>(out.data()),
                                  reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
    if (n < 0)
        throw std::invalid_argument("\"bodyBase64\" is not valid base64");
    // EVP_DecodeBlock counts the bytes standing for the "=" padding too.
    const size_t padding = static_cast<size_t>(std::count(text.end() - std::min<size_t>(2, text.size()), text.end(), '='));
    out.resize(static_cast<size_t>(n) - padding);
    return out;
}

std::string dumped(const Json &json)
{
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Response failure(const std::string &message)
{
    return Response::json(dumped(Json{{"error", "bad_request"}, {"message", message}}), 400);
}

Response ok()
{
    return Response::json(R"({"ok":true})");
}

Fault faultNamed(const std::string &name)
{
    std::string key;
    for (char c : name) {
        if (c != '_' && c != '-')
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (key.empty() || key == "none")
        return Fault::None;
    if (key == "closewithoutanswer")
        return Fault::CloseWithoutAnswer;
    if (key == "resetconnection")
        return Fault::ResetConnection;
    if (key == "neveranswer")
        return Fault::NeverAnswer;
    if (key == "truncatebody")
        return Fault::TruncateBody;
    throw std::invalid_argument("unknown fault \"" + name + "\"");
}

template <typename T>
T member(const Json &object, const char *name, T fallback)
{
    const auto it = object.find(name);
    if (it == object.end() || it->is_null())
        return fallback;
    try {
        return it->get<T>();
    } catch (const Json::exception &) {
        throw std::invalid_argument(std::string("\"") + name + "\" has the wrong type");
    }
}

long long integerMember(const Json &object, const char *name, long long fallback, long long min, long long max)
{
    const auto it = object.find(name);
    if (it == object.end() || it->is_null())
        return fallback;
    const bool inRange = it->is_number_unsigned()
                             ? it->get<unsigned long long>() <= static_cast<unsigned long long>(max)
                             : it->is_number_integer() && it->get<long long>() >= min && it->get<long long>() <= max;
    if (!inRange)
        throw std::invalid_argument(std::string("\"") + name + "\" must be a whole number from " + std::to_string(min)
                                    + " to " + std::to_string(max));
    return it->get<long long>();
}

HeaderList headersFrom(const Json &headers)
{
    HeaderList list;
    if (headers.is_null())
        return list;
    if (headers.is_object()) {
        for (const auto &[name, value] : headers.items()) {
            if (!value.is_string())
                throw std::invalid_argument("header values must be strings");
            list.emplace_back(name, value.get<std::string>());
        }
        return list;
    }
    if (!headers.is_array())
        throw std::invalid_argument("\"headers\" must be an object or an array");
    for (const Json &entry : headers) {
        if (entry.is_string()) {
            const std::string line = entry.get<std::string>();
            const size_t colon = line.find(':');
            if (colon == std::string::npos)
                throw std::invalid_argument("header line without \":\": " + line);
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            list.emplace_back(line.substr(0, colon), value);
        } else if (entry.is_array() && entry.size() == 2 && entry[0].is_string() && entry[1].is_string()) {
            list.emplace_back(entry[0].get<std::string>(), entry[1].get<std::string>());
        } else {
            throw std::invalid_argument("each header must be \"Name: value\" or [name, value]");
        }
    }
    return list;
}

Response setResponse(SimServer &server, const RecordedRequest &request)
{
    Json spec;
    try {
        spec = Json::parse(request.body);
    } catch (const Json::exception &e) {
        return failure(std::string("the body is not JSON: ") + e.what());
    }
    if (!spec.is_object())
        return failure("the body must be a JSON object");
    try {
        const std::string method = member<std::string>(spec, "method", "GET");
        const std::string path = member<std::string>(spec, "path", "");
        if (path.empty() || path[0] != '/')
            throw std::invalid_argument("\"path\" must start with \"/\"");
        Response response;
        response.status = static_cast<int>(integerMember(spec, "status", 200, 100, 999));
        response.reason = member<std::string>(spec, "reason", reasonPhrase(response.status));
        if (spec.contains("bodyBase64"))
            response.body = fromBase64(member<std::string>(spec, "bodyBase64", ""));
        else
            response.body = member<std::string>(spec, "body", "");
        const std::string contentType = member<std::string>(spec, "contentType", "");
        if (!contentType.empty())
            response.headers.emplace_back("Content-Type", contentType);
        for (auto &header : headersFrom(spec.contains("headers") ? spec["headers"] : Json()))
            response.headers.push_back(std::move(header));
        response.delayMs = static_cast<int>(integerMember(spec, "delayMs", 0, 0, 24LL * 3600 * 1000));
        response.fault = faultNamed(member<std::string>(spec, "fault", "none"));
        response.truncateAt = static_cast<size_t>(integerMember(spec, "truncateAt", 0, 0, LLONG_MAX));
        if (member<bool>(spec, "queue", false))
            server.queueResponse(method, path, std::move(response));
        else
            server.setResponse(method, path, std::move(response));
    } catch (const std::invalid_argument &e) {
        return failure(e.what());
    }
    return ok();
}

Json describe(const RecordedRequest &request)
{
    Json headers = Json::array();
    for (const auto &[name, value] : request.headers)
        headers.push_back(Json::array({name, value}));
    return Json{{"method", request.method},
                {"target", request.target},
                {"path", request.path},
                {"query", request.query},
                {"httpVersion", request.httpVersion},
                {"tls", request.tls},
                {"headerLines", request.headerLines},
                {"headers", headers},
                // "body" is readable text; bytes that are not UTF-8 show as
                // U+FFFD there, while "bodyBase64" keeps every byte.
                {"body", request.body},
                {"bodyBase64", toBase64(request.body)}};
}

} // namespace

void ControlModule::install(SimServer &server, const std::string &prefix)
{
    SimServer *sim = &server; // the server owns these handlers and outlives every call
    server.addControlHandler("POST", prefix + "/response",
                             [sim](const RecordedRequest &request) { return setResponse(*sim, request); });
    server.addControlHandler("POST", prefix + "/reset", [sim](const RecordedRequest &) {
        sim->clearScenario();
        sim->clearRequests();
        return ok();
    });
    server.addControlHandler("GET", prefix + "/requests", [sim](const RecordedRequest &) {
        Json all = Json::array();
        for (const RecordedRequest &request : sim->requests())
            all.push_back(describe(request));
        return Response::json(dumped(all));
    });
    // Answer latency by path prefix: {"prefix": "/yandex-metrika", "ms": 100};
    // without a prefix, every path; 0 ms takes it away.
    server.addControlHandler("GET", prefix + "/latency", [sim](const RecordedRequest &) {
        Json all = Json::object();
        for (const auto &[pathPrefix, ms] : sim->latencies())
            all[pathPrefix] = ms;
        return Response::json(dumped(all));
    });
    server.addControlHandler("POST", prefix + "/latency", [sim](const RecordedRequest &request) {
        const Json body = Json::parse(request.body, nullptr, false);
        if (!body.is_object() || !body.contains("ms") || !body["ms"].is_number_integer())
            return failure("the body must be a JSON object with a whole number \"ms\"");
        const long long ms = body["ms"].get<long long>();
        if (ms < 0 || ms > 600000)
            return failure("\"ms\" must be from 0 to 600000");
        if (body.contains("prefix") && !body["prefix"].is_string())
            return failure("\"prefix\" must be a string");
        sim->setLatency(body.value("prefix", std::string()), int(ms));
        return ok();
    });
    server.addControlHandler("GET", prefix + "/ca-certificate", [sim](const RecordedRequest &) {
        const std::string pem = sim->caCertificatePem();
        if (pem.empty())
            return Response::json(dumped(Json{{"error", "not_found"}, {"message", "the simulator runs without TLS"}}), 404);
        return Response::text(pem, 200, "application/x-pem-file");
    });
    // Everything else below the prefix is a mistake of the caller, never a
    // path a scenario may answer.
    server.addControlHandler("*", prefix + "/", [](const RecordedRequest &request) {
        return Response::json(
            dumped(Json{{"error", "not_found"}, {"message", "no control operation " + request.method + " " + request.path}}),
            404);
    });
}

} // namespace veltrano::sim
