#include "RequestReader.h"

#include "SimConnection.h"

#include <algorithm>
#include <cctype>

namespace veltrano::sim {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kMaxChunkLine = 4096;

bool isTokenChar(unsigned char c)
{
    if (std::isalnum(c))
        return true;
    static const std::string extra = "!#$%&'*+-.^_`|~";
    return extra.find(static_cast<char>(c)) != std::string::npos;
}

bool isToken(const std::string &s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return isTokenChar(static_cast<unsigned char>(c)); });
}

std::string trimmed(const std::string &s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Every value of a header, with comma-separated list values split apart.
std::vector<std::string> listValues(const HeaderList &headers, const std::string &name)
{
    std::vector<std::string> values;
    const std::string wanted = lowered(name);
    for (const auto &[key, value] : headers) {
        if (lowered(key) != wanted)
            continue;
        size_t start = 0;
        for (;;) {
            const size_t comma = value.find(',', start);
            values.push_back(trimmed(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    return values;
}

// Splits the request target into path and query. A target in absolute form
// ("http://host/path?q") gives the path of that address.
void splitTarget(RecordedRequest &request)
{
    std::string rest = request.target;
    const std::string lower = lowered(rest.substr(0, 8));
    if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) {
        const size_t authority = rest.find("//") + 2;
        const size_t slash = rest.find_first_of("/?", authority);
        rest = slash == std::string::npos ? std::string("/") : rest.substr(slash);
        if (!rest.empty() && rest[0] == '?')
            rest = '/' + rest;
    }
    const size_t question = rest.find('?');
    request.path = rest.substr(0, question);
    request.query = question == std::string::npos ? std::string() : rest.substr(question + 1);
}

} // namespace

RequestReader::RequestReader(SimConnection &connection, size_t maxHeaderBytes, size_t maxBodyBytes)
    : m_connection(connection), m_maxHeaderBytes(maxHeaderBytes), m_maxBodyBytes(maxBodyBytes)
{
}

RequestReader::Fill RequestReader::fill()
{
    const size_t old = m_buffer.size();
    m_buffer.resize(old + kReadChunk);
    const long n = m_connection.read(m_buffer.data() + old, kReadChunk);
    m_buffer.resize(old + static_cast<size_t>(std::max(n, 0L)));
    return n > 0 ? Fill::Ok : Fill::Closed;
}

bool RequestReader::ensure(size_t bytes)
{
    while (m_buffer.size() - m_pos < bytes) {
        if (fill() != Fill::Ok)
            return false;
    }
    return true;
}

RequestReader::Result RequestReader::fail(int status, std::string message)
{
    m_errorStatus = status;
    m_errorMessage = std::move(message);
    return Result::Invalid;
}

RequestReader::Result RequestReader::next(RecordedRequest &request)
{
    m_errorStatus = 0;
    m_errorMessage.clear();
    if (m_pos > 0) {
        m_buffer.erase(0, m_pos);
        m_pos = 0;
    }
    request = RecordedRequest{};
    const Result head = readHeaderSection(request);
    if (head != Result::Request)
        return head;
    return readBody(request);
}

RequestReader::Result RequestReader::readHeaderSection(RecordedRequest &request)
{
    // Find the empty line that ends the header section. Empty lines before
    // the request line are skipped, as HTTP/1.1 servers should.
    size_t end = std::string::npos;
    size_t scanFrom = 0;
    for (;;) {
        size_t skip = 0;
        while (skip < m_buffer.size() && (m_buffer[skip] == '\r' || m_buffer[skip] == '\n'))
            ++skip;
        if (skip > 0) {
            m_buffer.erase(0, skip);
            scanFrom = 0;
        }
        for (size_t nl = m_buffer.find('\n', scanFrom); nl != std::string::npos; nl = m_buffer.find('\n', nl + 1)) {
            if (nl + 1 < m_buffer.size() && m_buffer[nl + 1] == '\n') {
                end = nl + 2;
                break;
            }
            if (nl + 2 < m_buffer.size() && m_buffer[nl + 1] == '\r' && m_buffer[nl + 2] == '\n') {
                end = nl + 3;
                break;
            }
        }
        if (end != std::string::npos)
            break;
        if (m_buffer.size() > m_maxHeaderBytes)
            return fail(431, "The request's header section is larger than "
                                 + std::to_string(m_maxHeaderBytes) + " bytes");
        scanFrom = m_buffer.size() >= 3 ? m_buffer.size() - 3 : 0;
        if (fill() != Fill::Ok)
            return Result::Closed;
    }
    if (end > m_maxHeaderBytes)
        return fail(431, "The request's header section is larger than " + std::to_string(m_maxHeaderBytes)
                             + " bytes");

    std::vector<std::string> lines;
    size_t start = 0;
    while (start < end) {
        const size_t nl = m_buffer.find('\n', start);
        std::string line = m_buffer.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = nl + 1;
        if (line.empty())
            break;
        lines.push_back(std::move(line));
    }
    m_pos = end;

    const std::string &requestLine = lines.front();
    const size_t sp1 = requestLine.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || requestLine.find(' ', sp2 + 1) != std::string::npos)
        return fail(400, "Malformed request line");
    request.method = requestLine.substr(0, sp1);
    request.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    request.httpVersion = requestLine.substr(sp2 + 1);
    if (!isToken(request.method))
        return fail(400, "Malformed request method");
    if (request.target.empty()
        || std::any_of(request.target.begin(), request.target.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x21 || c == 0x7f; }))
        return fail(400, "Malformed request target");
    const std::string &v = request.httpVersion;
    if (v.size() != 8 || v.compare(0, 5, "HTTP/") != 0 || !std::isdigit(static_cast<unsigned char>(v[5]))
        || v[6] != '.' || !std::isdigit(static_cast<unsigned char>(v[7])))
        return fail(400, "Malformed HTTP version");
    if (v[5] != '1')
        return fail(505, "Only HTTP/1.x is served");
    splitTarget(request);

    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (line[0] == ' ' || line[0] == '\t')
            return fail(400, "Folded header lines are not accepted");
        const size_t colon = line.find(':');
        if (colon == std::string::npos || !isToken(line.substr(0, colon)))
            return fail(400, "Malformed header line");
        request.headerLines.push_back(line);
        request.headers.emplace_back(line.substr(0, colon), trimmed(line.substr(colon + 1)));
    }
    return Result::Request;
}

RequestReader::Result RequestReader::readBody(RecordedRequest &request)
{
    const auto codings = listValues(request.headers, "Transfer-Encoding");
    const auto lengths = listValues(request.headers, "Content-Length");
    bool expectContinue = false;
    if (request.httpVersion == "HTTP/1.1") {
        for (const auto &e : listValues(request.headers, "Expect"))
            expectContinue = expectContinue || lowered(e) == "100-continue";
    }
    const auto sendContinue = [&] {
        if (expectContinue && m_buffer.size() == m_pos)
            m_connection.write("HTTP/1.1 100 Continue\r\n\r\n");
    };

    if (!codings.empty()) {
        if (lowered(codings.back()) != "chunked")
            return fail(501, "Transfer-Encoding \"" + codings.back() + "\" is not supported");
        sendContinue();
        return readChunkedBody(request);
    }
    if (lengths.empty())
        return Result::Request;

    const std::string &first = lengths.front();
    if (first.empty() || !std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return fail(400, "Malformed Content-Length");
    if (!std::all_of(lengths.begin(), lengths.end(), [&](const std::string &l) { return l == first; }))
        return fail(400, "Conflicting Content-Length values");
    const size_t digits = first.find_first_not_of('0') == std::string::npos ? 0 : first.size() - first.find_first_not_of('0');
    if (digits > 18)
        return fail(413, "The request body is larger than " + std::to_string(m_maxBodyBytes) + " bytes");
    const size_t length = static_cast<size_t>(std::stoull(first));
    if (length > m_maxBodyBytes)
        return fail(413, "The request body is larger than " + std::to_string(m_maxBodyBytes) + " bytes");
    if (length == 0)
        return Result::Request;
    sendContinue();
    m_buffer.reserve(m_pos + length);
    if (!ensure(length))
        return Result::Closed;
    request.body = m_buffer.substr(m_pos, length);
    m_pos += length;
    return Result::Request;
}

RequestReader::Result RequestReader::readLine(std::string &line, size_t maxLength)
{
    size_t nl;
    while ((nl = m_buffer.find('\n', m_pos)) == std::string::npos) {
        if (m_buffer.size() - m_pos > maxLength + 1)
            return fail(400, "Malformed chunked body");
        if (fill() != Fill::Ok)
            return Result::Closed;
    }
    if (nl - m_pos > maxLength + 1)
        return fail(400, "Malformed chunked body");
    line = m_buffer.substr(m_pos, nl - m_pos);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    m_pos = nl + 1;
    return Result::Request;
}

RequestReader::Result RequestReader::readChunkedBody(RecordedRequest &request)
{
    std::string line;
    for (;;) {
        Result r = readLine(line, kMaxChunkLine);
        if (r != Result::Request)
            return r;
        const std::string sizeText = trimmed(line.substr(0, line.find(';')));
        if (sizeText.empty()
            || !std::all_of(sizeText.begin(), sizeText.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
            return fail(400, "Malformed chunk size");
        const size_t significant = sizeText.find_first_not_of('0') == std::string::npos
                                       ? 0
                                       : sizeText.size() - sizeText.find_first_not_of('0');
        if (significant > 15)
            return fail(413, "The request body is larger than " + std::to_string(m_maxBodyBytes) + " bytes");
        const size_t size = static_cast<size_t>(std::stoull(sizeText, nullptr, 16));
        if (size == 0)
            break;
        if (request.body.size() + size > m_maxBodyBytes)
            return fail(413, "The request body is larger than " + std::to_string(m_maxBodyBytes) + " bytes");
        if (!ensure(size))
            return Result::Closed;
        request.body.append(m_buffer, m_pos, size);
        m_pos += size;
        r = readLine(line, 0);
        if (r != Result::Request)
            return r;
        if (!line.empty())
            return fail(400, "Malformed chunked body");
        // Drop what has been consumed so a long body does not sit twice in memory.
        m_buffer.erase(0, m_pos);
        m_pos = 0;
    }
    // Trailer fields are read and dropped.
    size_t trailerBytes = 0;
    for (;;) {
        const Result r = readLine(line, m_maxHeaderBytes);
        if (r != Result::Request)
            return r;
        if (line.empty())
            break;
        trailerBytes += line.size() + 2;
        if (trailerBytes > m_maxHeaderBytes)
            return fail(431, "The request's trailer section is larger than " + std::to_string(m_maxHeaderBytes)
                                 + " bytes");
    }
    return Result::Request;
}

} // namespace veltrano::sim
