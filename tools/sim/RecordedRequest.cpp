#include "SimServer.h"
#include "services/ServiceSupport.h"

#include <strings.h>

namespace veltrano::sim {

namespace {

// Percent-decoding as form encoding has it: "+" is a space, "%XX" a byte; a
// "%" without two hex digits stays as it is.
std::string formDecode(const std::string &text)
{
    return support::percentDecode(text, true);
}

std::string fieldValue(const std::string &encoded, const std::string &name)
{
    size_t start = 0;
    while (start <= encoded.size()) {
        size_t end = encoded.find('&', start);
        if (end == std::string::npos)
            end = encoded.size();
        const std::string field = encoded.substr(start, end - start);
        const size_t eq = field.find('=');
        if (formDecode(field.substr(0, eq)) == name)
            return eq == std::string::npos ? std::string() : formDecode(field.substr(eq + 1));
        start = end + 1;
    }
    return {};
}

} // namespace

std::string RecordedRequest::header(const std::string &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.size() == name.size() && strncasecmp(key.c_str(), name.c_str(), key.size()) == 0)
            return value;
    }
    return {};
}

std::string RecordedRequest::queryParam(const std::string &name) const
{
    return fieldValue(query, name);
}

std::string RecordedRequest::formParam(const std::string &name) const
{
    return fieldValue(body, name);
}

} // namespace veltrano::sim
