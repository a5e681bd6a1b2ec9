#include "SimServer.h"

#include "RequestReader.h"
#include "SimConnection.h"
#include "TestCertificateAuthority.h"

#include <nlohmann/json.hpp>
#include <openssl/ssl.h>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

namespace veltrano::sim {

namespace {

struct QueuedEntry {
    std::string method;
    std::string pattern;
    std::deque<Response> responses;
};

struct SetEntry {
    std::string method;
    std::string pattern;
    Response response;
};

struct HandlerEntry {
    std::string method;
    std::string prefix;
    Handler handler;
};

// A response pattern that equals the request exactly outranks every prefix.
constexpr long long kExactFit = 1LL << 40;

// How well an entry's method fits the request: 3 the same method, 2 "*",
// 1 a GET entry serving a HEAD request, 0 no fit.
int methodFit(const std::string &entryMethod, const std::string &requestMethod)
{
    if (entryMethod == requestMethod)
        return 3;
    if (entryMethod == "*")
        return 2;
    if (requestMethod == "HEAD" && entryMethod == "GET")
        return 1;
    return 0;
}

// How well a response pattern fits the request, higher is closer; -1 when
// it does not fit. A pattern holding "?" is compared with the whole target.
long long patternFit(const std::string &pattern, const RecordedRequest &request)
{
    const std::string &subject = pattern.find('?') != std::string::npos ? request.target : request.path;
    if (!pattern.empty() && pattern.back() == '*') {
        const size_t length = pattern.size() - 1;
        return subject.compare(0, length, pattern, 0, length) == 0 && subject.size() >= length
                   ? static_cast<long long>(length)
                   : -1;
    }
    return pattern == subject ? kExactFit : -1;
}

long long score(const std::string &method, long long fit, const RecordedRequest &request)
{
    const int m = methodFit(method, request.method);
    return m == 0 || fit < 0 ? -1 : fit * 4 + m;
}

std::string stripStar(const std::string &prefix)
{
    return !prefix.empty() && prefix.back() == '*' ? prefix.substr(0, prefix.size() - 1) : prefix;
}

bool sameName(const std::string &a, const char *b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

bool hasToken(const RecordedRequest &request, const char *headerName, const char *token)
{
    for (const auto &[name, value] : request.headers) {
        if (!sameName(name, headerName))
            continue;
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            if (comma == std::string::npos)
                comma = value.size();
            std::string item = value.substr(start, comma - start);
            item.erase(0, item.find_first_not_of(" \t"));
            item.erase(item.find_last_not_of(" \t") + 1);
            if (sameName(item, token))
                return true;
            start = comma + 1;
        }
    }
    return false;
}

bool wantsKeepAlive(const RecordedRequest &request)
{
    if (request.httpVersion == "HTTP/1.0")
        return hasToken(request, "Connection", "keep-alive");
    return !hasToken(request, "Connection", "close");
}

std::string errorBody(const std::string &code, const std::string &message)
{
    return nlohmann::json{{"error", code}, {"message", message}}.dump(-1, ' ', false,
                                                                     nlohmann::json::error_handler_t::replace);
}

Response invoke(const Handler &handler, const RecordedRequest &request)
{
    try {
        return handler(request);
    } catch (const std::exception &e) {
        return Response::json(errorBody("handler_failed", e.what()), 500);
    } catch (...) {
        return Response::json(errorBody("handler_failed", "unknown error"), 500);
    }
}

// The status line and header lines of an answer. withBody says whether the
// body follows them (not for HEAD, 1xx, 204 and 304).
std::string formatHead(const Response &response, const RecordedRequest &request, bool keepAlive, bool &withBody)
{
    const bool bodyless = (response.status >= 100 && response.status < 200) || response.status == 204
                          || response.status == 304;
    withBody = !bodyless && request.method != "HEAD";
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
    bool hasLength = false;
    bool hasConnection = false;
    for (const auto &[name, value] : response.headers) {
        out += name + ": " + value + "\r\n";
        hasLength = hasLength || sameName(name, "Content-Length") || sameName(name, "Transfer-Encoding");
        hasConnection = hasConnection || sameName(name, "Connection");
    }
    if (!hasLength && !bodyless)
        out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    if (!hasConnection) {
        if (!keepAlive)
            out += "Connection: close\r\n";
        else if (request.httpVersion == "HTTP/1.0")
            out += "Connection: keep-alive\r\n";
    }
    out += "\r\n";
    return out;
}

bool closesConnection(const Response &response)
{
    for (const auto &[name, value] : response.headers) {
        if (sameName(name, "Connection") && value.find("close") != std::string::npos)
            return true;
    }
    return false;
}

void blockSigpipe()
{
    // A write to a client that has gone raises SIGPIPE in the writing thread;
    // blocked there, the write fails with EPIPE instead of ending the process.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int openListener(const std::string &address, int port, int &boundPort)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (port < 0 || port > 65535
        || ::getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo *ai = found; ai; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
            continue;
        // Lets a restarted simulator take its fixed port while old
        // connections linger in TIME_WAIT; a live listener still refuses it.
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(fd, 128) == 0) {
            sockaddr_storage local{};
            socklen_t length = sizeof local;
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length);
            boundPort = local.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 *>(&local)->sin6_port)
                                                    : ntohs(reinterpret_cast<sockaddr_in *>(&local)->sin_port);
            break;
        }
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    return fd;
}

std::string writeTemporaryFile(const std::string &content)
{
    const char *dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/veltrano-sim-ca-XXXXXX.pem";
    const int fd = ::mkstemps(path.data(), 4);
    if (fd < 0)
        return {};
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n <= 0) {
            ::close(fd);
            ::unlink(path.c_str());
            return {};
        }
        written += static_cast<size_t>(n);
    }
    ::close(fd);
    return path;
}

} // namespace

struct SimServer::Impl {
    struct Connection {
        std::thread thread;
        int fd = -1;
        bool finished = false;
    };

    Options options;
    std::unique_ptr<TestCertificateAuthority> authority;
    std::string caPem;
    std::string caFile;
    SSL_CTX *tlsContext = nullptr;

    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    int boundPort = 0;
    std::thread acceptThread;
    std::atomic<bool> stopping{false};

    std::mutex connectionsMutex;
    std::condition_variable connectionsChanged;
    std::list<Connection> connections;

    mutable std::mutex scenarioMutex;
    std::vector<QueuedEntry> queued;
    std::vector<SetEntry> fixed;
    std::vector<HandlerEntry> handlers;
    std::vector<HandlerEntry> controlHandlers;
    std::vector<std::pair<std::string, Gate>> gates;
    std::vector<std::pair<std::string, int>> latencies; // by path prefix

    mutable std::mutex requestsMutex;
    mutable std::condition_variable requestsChanged;
    std::vector<RecordedRequest> recorded;

    void acceptLoop();
    void serve(Connection *connection, int fd);
    bool answer(SimConnection &connection, const RecordedRequest &request, bool &reset);
    int latencyOf(const std::string &path) const
    {
        std::lock_guard lock(scenarioMutex);
        int ms = 0;
        size_t longest = 0;
        bool found = false;
        for (const auto &[prefix, latency] : latencies) {
            if (path.compare(0, prefix.size(), prefix) == 0 && (!found || prefix.size() >= longest)) {
                found = true;
                longest = prefix.size();
                ms = latency;
            }
        }
        return ms;
    }
    // holds: what the gates keep until the answer is sent.
    Response choose(const RecordedRequest &request, std::vector<std::shared_ptr<void>> &holds);
    const Handler *bestHandler(const std::vector<HandlerEntry> &entries, const RecordedRequest &request) const;
    size_t activeConnections() const
    {
        return static_cast<size_t>(
            std::count_if(connections.begin(), connections.end(), [](const Connection &c) { return !c.finished; }));
    }
    void reapFinished()
    {
        for (auto it = connections.begin(); it != connections.end();) {
            if (it->finished) {
                it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
};

void SimServer::Impl::acceptLoop()
{
    blockSigpipe(); // inherited by every connection thread
    const size_t limit = static_cast<size_t>(std::max(1, options.maxConnections));
    for (;;) {
        {
            std::unique_lock lock(connectionsMutex);
            reapFinished();
            connectionsChanged.wait(lock, [&] { return stopping.load() || activeConnections() < limit; });
            if (stopping)
                return;
        }
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                pollfd wake{wakeRead, POLLIN, 0}; // out of descriptors: retry shortly
                ::poll(&wake, 1, 100);
            }
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::lock_guard lock(connectionsMutex);
        Connection &connection = connections.emplace_back();
        connection.fd = fd;
        connection.thread = std::thread([this, &connection, fd] { serve(&connection, fd); });
    }
}

void SimServer::Impl::serve(Connection *connection, int fd)
{
    blockSigpipe();
    {
        SimConnection stream(fd, wakeRead, tlsContext);
        bool reset = false;
        if (stream.handshake()) {
            RequestReader reader(stream, options.maxHeaderBytes, options.maxBodyBytes);
            bool open = true;
            while (open && !stopping) {
                RecordedRequest request;
                const RequestReader::Result result = reader.next(request);
                if (result == RequestReader::Result::Closed)
                    break;
                if (result == RequestReader::Result::Invalid) {
                    Response refusal = Response::json(errorBody("bad_request", reader.errorMessage()),
                                                      reader.errorStatus());
                    bool withBody = true;
                    request.method = "GET";
                    stream.write(formatHead(refusal, request, false, withBody) + refusal.body);
                    break;
                }
                request.tls = stream.isTls();
                open = answer(stream, request, reset);
            }
        }
        stream.finish(reset);
    }
    {
        std::lock_guard lock(connectionsMutex);
        connection->fd = -1;
        connection->finished = true;
    }
    connectionsChanged.notify_all();
    ::close(fd);
}

bool SimServer::Impl::answer(SimConnection &connection, const RecordedRequest &request, bool &reset)
{
    bool keepAlive = wantsKeepAlive(request);
    Response response;
    std::vector<std::shared_ptr<void>> holds; // released once the answer is out
    Handler control;
    {
        std::lock_guard lock(scenarioMutex);
        if (const Handler *h = bestHandler(controlHandlers, request))
            control = *h;
    }
    if (control) {
        response = invoke(control, request);
    } else {
        {
            std::lock_guard lock(requestsMutex);
            recorded.push_back(request);
        }
        requestsChanged.notify_all();
        response = choose(request, holds);
        response.delayMs += latencyOf(request.path);
    }

    if (response.delayMs > 0 && !connection.pause(response.delayMs))
        return false;

    bool withBody = true;
    switch (response.fault) {
    case Fault::CloseWithoutAnswer:
        return false;
    case Fault::ResetConnection:
        reset = true;
        return false;
    case Fault::NeverAnswer:
        connection.holdSilent();
        return false;
    case Fault::TruncateBody: {
        std::string out = formatHead(response, request, false, withBody);
        if (withBody)
            out.append(response.body, 0, std::min(response.truncateAt, response.body.size()));
        connection.write(out);
        return false;
    }
    case Fault::None:
        break;
    }
    keepAlive = keepAlive && !closesConnection(response);
    std::string out = formatHead(response, request, keepAlive, withBody);
    if (withBody)
        out += response.body;
    return connection.write(out) && keepAlive;
}

const Handler *SimServer::Impl::bestHandler(const std::vector<HandlerEntry> &entries,
                                            const RecordedRequest &request) const
{
    const Handler *best = nullptr;
    long long bestScore = -1;
    for (const HandlerEntry &entry : entries) {
        const bool fits = request.path.compare(0, entry.prefix.size(), entry.prefix) == 0
                          && request.path.size() >= entry.prefix.size();
        const long long s = score(entry.method, fits ? static_cast<long long>(entry.prefix.size()) : -1, request);
        if (s > bestScore) {
            bestScore = s;
            best = &entry.handler;
        }
    }
    return best;
}

Response SimServer::Impl::choose(const RecordedRequest &request, std::vector<std::shared_ptr<void>> &holds)
{
    std::unique_lock lock(scenarioMutex);
    long long bestScore = -1;
    auto bestQueued = queued.end();
    for (auto it = queued.begin(); it != queued.end(); ++it) {
        const long long s = score(it->method, patternFit(it->pattern, request), request);
        if (!it->responses.empty() && s > bestScore) {
            bestScore = s;
            bestQueued = it;
        }
    }
    if (bestQueued != queued.end()) {
        Response response = std::move(bestQueued->responses.front());
        bestQueued->responses.pop_front();
        if (bestQueued->responses.empty())
            queued.erase(bestQueued);
        return response;
    }

    const SetEntry *bestSet = nullptr;
    for (const SetEntry &entry : fixed) {
        const long long s = score(entry.method, patternFit(entry.pattern, request), request);
        if (s > bestScore) {
            bestScore = s;
            bestSet = &entry;
        }
    }
    if (bestSet)
        return bestSet->response;

    if (const Handler *h = bestHandler(handlers, request)) {
        const Handler handler = *h;
        std::vector<Gate> gatesOnPath;
        for (const auto &[prefix, gate] : gates) {
            if (request.path.compare(0, prefix.size(), prefix) == 0)
                gatesOnPath.push_back(gate);
        }
        lock.unlock();
        for (const Gate &gate : gatesOnPath) {
            GateAnswer verdict = gate(request);
            if (verdict.hold)
                holds.push_back(std::move(verdict.hold));
            if (verdict.refusal)
                return std::move(*verdict.refusal);
        }
        return invoke(handler, request);
    }
    return Response::json(errorBody("not_found", "veltrano-sim has no answer for " + request.method + " "
                                                     + request.path),
                          404);
}

SimServer::SimServer() : SimServer(Options{}) {}

SimServer::SimServer(Options options) : m(std::make_unique<Impl>())
{
    m->options = std::move(options);
}

SimServer::~SimServer()
{
    stop();
    if (!m->caFile.empty())
        ::unlink(m->caFile.c_str());
    if (m->tlsContext)
        SSL_CTX_free(m->tlsContext);
}

bool SimServer::start()
{
    if (m->acceptThread.joinable())
        return true;
    if (m->options.tls && !m->tlsContext) {
        try {
            m->authority = std::make_unique<TestCertificateAuthority>();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "veltrano-sim: %s\n", e.what());
            return false;
        }
        m->caPem = m->authority->caCertificatePem();
        if (m->caFile.empty())
            m->caFile = writeTemporaryFile(m->caPem);
        m->tlsContext = m->authority->createServerContext();
        if (m->caFile.empty() || !m->tlsContext) {
            std::fprintf(stderr, "veltrano-sim: cannot set up TLS\n");
            return false;
        }
    }
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m->listenFd = openListener(m->options.bindAddress, m->options.port, m->boundPort);
    if (m->listenFd < 0) {
        ::close(wake[0]);
        ::close(wake[1]);
        return false;
    }
    m->wakeRead = wake[0];
    m->wakeWrite = wake[1];
    m->stopping = false;
    m->acceptThread = std::thread([this] { m->acceptLoop(); });
    return true;
}

void SimServer::stop()
{
    if (!m->acceptThread.joinable())
        return;
    // The wake pipe stays readable from now on, which ends every wait of the
    // accept loop and of the connections; shutting the sockets down ends the
    // blocking TLS reads and writes.
    m->stopping = true;
    [[maybe_unused]] const ssize_t ignored = ::write(m->wakeWrite, "x", 1);
    {
        std::lock_guard lock(m->connectionsMutex);
    }
    m->connectionsChanged.notify_all();
    m->acceptThread.join();
    ::close(m->listenFd);
    m->listenFd = -1;

    std::list<Impl::Connection> all;
    {
        std::lock_guard lock(m->connectionsMutex);
        for (const Impl::Connection &c : m->connections) {
            if (c.fd >= 0)
                ::shutdown(c.fd, SHUT_RDWR);
        }
        all.splice(all.end(), m->connections);
    }
    for (Impl::Connection &c : all)
        c.thread.join();
    ::close(m->wakeRead);
    ::close(m->wakeWrite);
    m->wakeRead = m->wakeWrite = -1;
}

int SimServer::port() const
{
    return m->boundPort;
}

std::string SimServer::baseUrl() const
{
    std::string host = m->options.bindAddress;
    if (host.empty() || host == "0.0.0.0")
        host = "127.0.0.1";
    else if (host == "::")
        host = "[::1]";
    else if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    return std::string(m->options.tls ? "https" : "http") + "://" + host + ":" + std::to_string(m->boundPort);
}

std::string SimServer::caCertificateFile() const
{
    return m->caFile;
}

std::string SimServer::caCertificatePem() const
{
    return m->caPem;
}

void SimServer::setResponse(const std::string &method, const std::string &path, Response response)
{
    std::lock_guard lock(m->scenarioMutex);
    for (SetEntry &entry : m->fixed) {
        if (entry.method == method && entry.pattern == path) {
            entry.response = std::move(response);
            return;
        }
    }
    m->fixed.push_back({method, path, std::move(response)});
}

void SimServer::queueResponse(const std::string &method, const std::string &path, Response response)
{
    std::lock_guard lock(m->scenarioMutex);
    for (QueuedEntry &entry : m->queued) {
        if (entry.method == method && entry.pattern == path) {
            entry.responses.push_back(std::move(response));
            return;
        }
    }
    m->queued.push_back({method, path, {std::move(response)}});
}

namespace {

void putHandler(std::vector<HandlerEntry> &entries, const std::string &method, const std::string &pathPrefix,
                Handler handler)
{
    const std::string prefix = stripStar(pathPrefix);
    for (HandlerEntry &entry : entries) {
        if (entry.method == method && entry.prefix == prefix) {
            entry.handler = std::move(handler);
            return;
        }
    }
    entries.push_back({method, prefix, std::move(handler)});
}

} // namespace

void SimServer::addHandler(const std::string &method, const std::string &pathPrefix, Handler handler)
{
    std::lock_guard lock(m->scenarioMutex);
    putHandler(m->handlers, method, pathPrefix, std::move(handler));
}

void SimServer::addGate(const std::string &pathPrefix, Gate gate)
{
    std::lock_guard lock(m->scenarioMutex);
    m->gates.emplace_back(pathPrefix, std::move(gate));
}

void SimServer::setLatency(const std::string &pathPrefix, int ms)
{
    std::lock_guard lock(m->scenarioMutex);
    auto &all = m->latencies;
    all.erase(std::remove_if(all.begin(), all.end(), [&](const auto &entry) { return entry.first == pathPrefix; }),
              all.end());
    if (ms > 0)
        all.emplace_back(pathPrefix, ms);
}

int SimServer::latencyFor(const std::string &path) const
{
    return m->latencyOf(path);
}

std::vector<std::pair<std::string, int>> SimServer::latencies() const
{
    std::lock_guard lock(m->scenarioMutex);
    return m->latencies;
}

void SimServer::addControlHandler(const std::string &method, const std::string &pathPrefix, Handler handler)
{
    std::lock_guard lock(m->scenarioMutex);
    putHandler(m->controlHandlers, method, pathPrefix, std::move(handler));
}

void SimServer::clearScenario()
{
    std::lock_guard lock(m->scenarioMutex);
    m->queued.clear();
    m->fixed.clear();
}

std::vector<RecordedRequest> SimServer::requests() const
{
    std::lock_guard lock(m->requestsMutex);
    return m->recorded;
}

std::vector<RecordedRequest> SimServer::requestsTo(const std::string &path) const
{
    std::vector<RecordedRequest> matching;
    std::lock_guard lock(m->requestsMutex);
    for (const RecordedRequest &request : m->recorded) {
        if (request.path == path)
            matching.push_back(request);
    }
    return matching;
}

void SimServer::clearRequests()
{
    std::lock_guard lock(m->requestsMutex);
    m->recorded.clear();
}

size_t SimServer::requestCount() const
{
    std::lock_guard lock(m->requestsMutex);
    return m->recorded.size();
}

bool SimServer::waitForRequestCount(size_t count, int timeoutMs) const
{
    std::unique_lock lock(m->requestsMutex);
    return m->requestsChanged.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                       [&] { return m->recorded.size() >= count; });
}

} // namespace veltrano::sim
