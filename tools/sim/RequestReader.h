#pragma once

#include "SimServer.h"

#include <cstddef>
#include <string>

namespace veltrano::sim {

class SimConnection;

// Reads HTTP/1.x requests one after another from a connection: the request
// line, the header lines exactly as sent, and a body given by Content-Length
// or in chunks. Bytes that arrive after one request (a pipelined request)
// stay for the next call.
class RequestReader final {
public:
    enum class Result {
        Request, // a whole request was read
        Closed,  // the client closed, the server stopped, or the request broke off
        Invalid, // a request that must be refused: errorStatus() says how
    };

    RequestReader(SimConnection &connection, size_t maxHeaderBytes, size_t maxBodyBytes);

    Result next(RecordedRequest &request);
    int errorStatus() const { return m_errorStatus; }
    const std::string &errorMessage() const { return m_errorMessage; }

private:
    enum class Fill { Ok, Closed };
    Fill fill();
    bool ensure(size_t bytes);
    Result fail(int status, std::string message);
    Result readHeaderSection(RecordedRequest &request);
    Result readBody(RecordedRequest &request);
    Result readChunkedBody(RecordedRequest &request);
    // One line of the chunked framing, without its line end.
    Result readLine(std::string &line, size_t maxLength);

    SimConnection &m_connection;
    size_t m_maxHeaderBytes;
    size_t m_maxBodyBytes;
    std::string m_buffer;
    size_t m_pos = 0;
    int m_errorStatus = 0;
    std::string m_errorMessage;
};

} // namespace veltrano::sim
