#pragma once

// veltrano-sim: an HTTP/1.1 server on loopback that answers like the web
// services Veltrano talks to. Tests run it in-process on an ephemeral port,
// choose per path what it answers (status, body, delay, faults) and read back
// exactly what the program sent. Service modules add the real APIs' paths.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace veltrano::sim {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as it arrived on the wire.
struct RecordedRequest {
    std::string method;
    std::string target;               // as sent: path plus "?" and query
    std::string path;                 // raw path, no query
    std::string query;                // raw query string, no "?"
    std::vector<std::string> headerLines; // every header line as sent, in order
    HeaderList headers;               // the same, split at the first ": "
    std::string body;                 // body bytes
    std::string httpVersion;          // "HTTP/1.1" or "HTTP/1.0", as sent
    bool tls = false;                 // arrived over HTTPS

    // First header value with this name (case-insensitive), or "".
    std::string header(const std::string &name) const;
    // Percent-decoded value of a query parameter, or "".
    std::string queryParam(const std::string &name) const;
    // Percent-decoded value of a field of a form-encoded body
    // (application/x-www-form-urlencoded), or "".
    std::string formParam(const std::string &name) const;
};

enum class Fault {
    None,
    CloseWithoutAnswer, // read the request, then close the connection
    ResetConnection,    // read the request, then reset (RST) the connection
    NeverAnswer,        // read the request and keep the connection silent
    TruncateBody,       // announce the full length, send truncateAt bytes, close
};

struct Response {
    int status = 200;
    std::string reason = "OK";
    // Extra header lines. Content-Length is added unless they carry their
    // own Content-Length or Transfer-Encoding line (then the body is sent as
    // given, which lets a test send a lying length or its own chunks).
    HeaderList headers;
    std::string body;
    int delayMs = 0;     // wait before answering
    Fault fault = Fault::None;
    size_t truncateAt = 0;

    static Response json(const std::string &body, int status = 200);
    static Response text(const std::string &body, int status = 200,
                         const std::string &contentType = "text/plain; charset=utf-8");
};

using Handler = std::function<Response(const RecordedRequest &)>;
// What a gate says of a request: a response to send instead (a spent quota,
// a server fault), or none to let the handler answer. `hold` is kept until
// the answer has been sent, latency included: a request in flight, for a
// limit of requests at once.
struct GateAnswer {
    std::optional<Response> refusal;
    std::shared_ptr<void> hold;

    GateAnswer() = default;
    GateAnswer(std::optional<Response> refusal) : refusal(std::move(refusal)) {} // NOLINT: a plain refusal
};
// Looks at a request before the handler of its path.
using Gate = std::function<GateAnswer(const RecordedRequest &)>;

// The usual reason phrase of an HTTP status ("Not Found" for 404), "" for
// codes without one.
std::string reasonPhrase(int status);

class SimServer {
public:
    struct Options {
        bool tls = false;     // HTTPS with a certificate from the sim's own test authority
        int port = 0;         // 0: an ephemeral port
        std::string bindAddress = "127.0.0.1";
        // Limits of one request; a larger one is answered 431 (header
        // section) or 413 (body) and its connection closed.
        size_t maxHeaderBytes = 64 * 1024;
        size_t maxBodyBytes = 64 * 1024 * 1024;
        // Connections served at once; further clients wait in the backlog.
        int maxConnections = 64;
    };

    SimServer();
    explicit SimServer(Options options);
    ~SimServer();
    SimServer(const SimServer &) = delete;
    SimServer &operator=(const SimServer &) = delete;

    bool start();             // false when the port cannot be bound
    void stop();
    int port() const;
    std::string baseUrl() const; // "http://127.0.0.1:<port>" or "https://..."
    // PEM file of the test certificate authority (TLS mode; "" otherwise).
    std::string caCertificateFile() const;
    // The same certificate as PEM text (TLS mode; "" otherwise).
    std::string caCertificatePem() const;

    // Scenario. For a request the server answers with, in this order: the next
    // queued response for its method and path, the response set for them, the
    // handler with the longest matching path prefix, or 404.
    // A path ending in "*" matches every path that starts with the rest.
    // A path holding "?" is compared with the whole target, query included.
    // The method "*" matches every method. HEAD is answered like GET, without
    // the body, when nothing is set for HEAD itself.
    void setResponse(const std::string &method, const std::string &path, Response response);
    void queueResponse(const std::string &method, const std::string &path, Response response);
    void addHandler(const std::string &method, const std::string &pathPrefix, Handler handler);
    void clearScenario();     // drops set and queued responses, keeps handlers
    // A gate for every handled path below pathPrefix; queued and set
    // responses pass it by. Gates are kept like handlers.
    void addGate(const std::string &pathPrefix, Gate gate);

    // How long every answer below pathPrefix waits before it goes out (a
    // service's answer latency), on top of a response's own delayMs; the
    // longest matching prefix counts, "" for every path, 0 ms removes it.
    // Only the connection of that answer waits: others are served meanwhile.
    void setLatency(const std::string &pathPrefix, int ms);
    int latencyFor(const std::string &path) const;
    std::vector<std::pair<std::string, int>> latencies() const;

    // Handlers of the simulator's own control interface: consulted before the
    // scenario, and their requests are not recorded.
    void addControlHandler(const std::string &method, const std::string &pathPrefix, Handler handler);

    std::vector<RecordedRequest> requests() const;
    // The recorded requests to this path (query not counted), in order.
    std::vector<RecordedRequest> requestsTo(const std::string &path) const;
    void clearRequests();
    size_t requestCount() const;
    // Waits until at least count requests have been recorded or timeoutMs
    // has passed; true when they have.
    bool waitForRequestCount(size_t count, int timeoutMs) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace veltrano::sim
