#include "auth/HttpRequestReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace veltrano {

namespace {

bool iequals(const std::string &a, const char *b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string trimmed(const std::string &s)
{
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Calls lineFn(name, value) for every header line of a head (the lines after
// the request line); a line without ":" is passed over.
template <typename LineFn> void forEachHeader(const std::string &head, LineFn lineFn)
{
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos) {
        pos += 2;
        const std::size_t eol = head.find("\r\n", pos);
        const std::string line = head.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && !lineFn(line.substr(0, colon), trimmed(line.substr(colon + 1))))
            return;
        pos = eol;
    }
}

int hexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

} // namespace

HttpRequestReader::HttpRequestReader(std::size_t maxRequestBytes) : m_maxBytes(maxRequestBytes) {}

HttpRequestReader::Status HttpRequestReader::refuse(int status)
{
    m_refusal = status;
    m_status = Status::Refused;
    m_data.clear();
    return m_status;
}

bool HttpRequestReader::readContentLength(std::size_t &length)
{
    bool seen = false;
    bool good = true;
    length = 0;
    forEachHeader(m_head, [&](const std::string &name, const std::string &value) {
        if (!iequals(name, "Content-Length"))
            return true;
        // Digits only: no sign, no blanks inside, no second opinion.
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            good = false;
            m_refusal = 400;
            return false;
        }
        std::size_t n = 0;
        for (char digit : value) {
            n = n * 10 + std::size_t(digit - '0');
            if (n > m_maxBytes) {
                good = false;
                m_refusal = 413;
                return false;
            }
        }
        if (seen && n != length) {
            good = false;
            m_refusal = 400;
            return false;
        }
        seen = true;
        length = n;
        return true;
    });
    return good;
}

HttpRequestReader::Status HttpRequestReader::feed(const char *data, std::size_t size)
{
    if (m_status != Status::Incomplete || size == 0)
        return m_status;

    if (m_headEnd == std::string::npos) {
        // The empty line may straddle two reads: search from a little before
        // the new bytes.
        const std::size_t from = m_data.size() >= 3 ? m_data.size() - 3 : 0;
        m_data.append(data, size);
        m_headEnd = m_data.find("\r\n\r\n", from);
        if (m_headEnd == std::string::npos) {
            if (m_data.size() > m_maxBytes)
                return refuse(431);
            return m_status;
        }
        if (m_headEnd > m_maxBytes)
            return refuse(431);
        m_head = m_data.substr(0, m_headEnd);
        if (!readContentLength(m_bodyWanted))
            return refuse(m_refusal);
        // Keep only the count of body bytes that came with the head.
        const std::size_t bodySoFar = m_data.size() - (m_headEnd + 4);
        m_data.clear();
        m_bodyWanted -= std::min(m_bodyWanted, bodySoFar);
    } else {
        m_bodyWanted -= std::min(m_bodyWanted, size);
    }
    if (m_bodyWanted == 0)
        m_status = Status::Complete;
    return m_status;
}

bool HttpRequestReader::parseHead(const std::string &head, HttpRequestHead &out)
{
    const std::string requestLine = head.substr(0, head.find("\r\n"));
    const std::size_t sp1 = requestLine.find(' ');
    const std::size_t sp2 = sp1 == std::string::npos ? std::string::npos : requestLine.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos || sp1 == 0)
        return false;
    out = HttpRequestHead{};
    out.method = requestLine.substr(0, sp1);
    const std::string target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::size_t q = target.find('?');
    out.path = target.substr(0, q);
    if (q != std::string::npos)
        out.params = parseQuery(target.substr(q + 1));
    forEachHeader(head, [&](const std::string &name, const std::string &value) {
        if (!iequals(name, "Host"))
            return true;
        out.host = value;
        return false;
    });
    return true;
}

std::string HttpRequestReader::percentDecode(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '+') {
            out += ' ';
        } else if (ch == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += ch;
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> HttpRequestReader::parseQuery(const std::string &query)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t amp = query.find('&', start);
        const std::string part = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        if (!part.empty()) {
            const std::size_t eq = part.find('=');
            if (eq == std::string::npos)
                out.emplace_back(percentDecode(part), std::string());
            else
                out.emplace_back(percentDecode(part.substr(0, eq)), percentDecode(part.substr(eq + 1)));
        }
        if (amp == std::string::npos)
            break;
        start = amp + 1;
    }
    return out;
}

} // namespace veltrano
