#include "SimServer.h"

namespace veltrano::sim {

std::string reasonPhrase(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 410: return "Gone";
    case 413: return "Content Too Large";
    case 415: return "Unsupported Media Type";
    case 422: return "Unprocessable Entity";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    default: return {};
    }
}

Response Response::json(const std::string &body, int status)
{
    Response r;
    r.status = status;
    r.reason = reasonPhrase(status);
    r.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
    r.body = body;
    return r;
}

Response Response::text(const std::string &body, int status, const std::string &contentType)
{
    Response r;
    r.status = status;
    r.reason = reasonPhrase(status);
    r.headers.emplace_back("Content-Type", contentType);
    r.body = body;
    return r;
}

} // namespace veltrano::sim
