#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace veltrano {

// What the sign-in listener takes from a browser's request.
struct HttpRequestHead {
    std::string method;
    std::string host; // value of the Host header line
    std::string path; // raw path, without the query
    // Query parameters, percent-decoded, in the order they stand.
    std::vector<std::pair<std::string, std::string>> params;
};

// Reads one HTTP/1.1 request from bytes as they arrive, without touching a
// socket: the listener feeds it whatever each read gave. The request head
// ends at the first empty line (CR LF CR LF); a body the client announces
// with Content-Length is read and dropped. Nothing the client sends can make
// it hold more than the byte limit and a read buffer.
class HttpRequestReader final {
public:
    enum class Status { Incomplete, Complete, Refused };

    explicit HttpRequestReader(std::size_t maxRequestBytes);

    // Takes the next bytes. Once the status is Complete or Refused, further
    // bytes are ignored.
    Status feed(const char *data, std::size_t size);
    Status status() const { return m_status; }
    // The status to answer a refused request with: 400 (a Content-Length that
    // is not a number), 413 (a body over the limit), 431 (a head over it).
    int refusal() const { return m_refusal; }
    // The request line and the header lines, without the empty line.
    const std::string &head() const { return m_head; }

    // Splits a request head: the method and the target of the request line,
    // the path and the decoded query of the target, the Host header value.
    // False when the first line is not "<method> <target> <version>".
    static bool parseHead(const std::string &head, HttpRequestHead &out);

    // Splits "a=1&b=%2F" into decoded pairs in order ("+" reads as a space);
    // empty pieces are dropped, a piece without "=" has an empty value.
    static std::vector<std::pair<std::string, std::string>> parseQuery(const std::string &query);
    // Decodes "%XX" escapes and "+"; a "%" not followed by two hex digits
    // stays as it is.
    static std::string percentDecode(const std::string &text);

private:
    Status refuse(int status);
    // The body length the head announces; false with the refusal set when
    // it cannot be accepted.
    bool readContentLength(std::size_t &length);

    std::size_t m_maxBytes;
    std::string m_data;
    std::string m_head;
    std::size_t m_headEnd = std::string::npos; // where the empty line starts
    std::size_t m_bodyWanted = 0;
    Status m_status = Status::Incomplete;
    int m_refusal = 0;
};

} // namespace veltrano
