#include "auth/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace veltrano {

namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

int listenOn(int family, uint16_t port, int *errorCode)
{
    int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *errorCode = errno;
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    int rc;
    if (family == AF_INET) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        rc = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    } else {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        sockaddr_in6 addr{};
        addr.sin6_family = AF_INET6;
        addr.sin6_port = htons(port);
        addr.sin6_addr = in6addr_loopback;
        rc = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    }
    if (rc != 0 || ::listen(fd, 64) != 0) {
        *errorCode = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

uint16_t boundPort(int fd)
{
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return 0;
    if (addr.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in *>(&addr)->sin_port);
    return ntohs(reinterpret_cast<sockaddr_in6 *>(&addr)->sin6_port);
}

void sendAll(int fd, const std::string &data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        sent += size_t(n);
    }
}

const char *reasonFor(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string replyText(int status, const std::string &body, bool withBody)
{
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reasonFor(status) + "\r\n";
    out += "Content-Type: text/html; charset=utf-8\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\n";
    out += "Connection: close\r\n\r\n";
    if (withBody)
        out += body;
    return out;
}

std::string htmlEscape(const std::string &text)
{
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += ch;
        }
    }
    return out;
}

} // namespace

struct LoopbackHttpServer::Impl {
    Handler handler;
    Limits limits;
    int fd4 = -1;
    int fd6 = -1;
    int wakePipe[2] = {-1, -1};
    uint16_t port = 0;
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};
    std::thread acceptThread;

    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::mutex mutex;
    std::list<Connection> connections;

    void acceptLoop();
    void serve(Connection &c);
    void reapFinished();
    // Reads one request head (and any body) within the time limit; returns
    // the status to answer with when the request is refused, 0 when it is whole.
    int readRequest(int fd, std::string &head);
};

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : LoopbackHttpServer(std::move(handler), Limits{}) {}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, Limits limits) : m(std::make_unique<Impl>())
{
    m->handler = std::move(handler);
    m->limits = limits;
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stop();
}

bool LoopbackHttpServer::isRunning() const
{
    return m->running;
}

uint16_t LoopbackHttpServer::port() const
{
    return m->port;
}

bool LoopbackHttpServer::start(uint16_t port, std::string *error, bool *portTaken)
{
    if (portTaken)
        *portTaken = false;
    if (m->running)
        return true;
    int code = 0;
    m->fd4 = listenOn(AF_INET, port, &code);
    if (m->fd4 < 0) {
        if (portTaken)
            *portTaken = code == EADDRINUSE;
        if (error) {
            *error = code == EADDRINUSE ? "Could not bind socket. Address and port are already in use."
                                        : std::string("Could not bind socket. ") + std::strerror(code);
        }
        return false;
    }
    m->port = boundPort(m->fd4);
    // IPv6 loopback where the system has it; a system without IPv6 keeps IPv4 only.
    int code6 = 0;
    m->fd6 = listenOn(AF_INET6, m->port, &code6);
    if (m->fd6 < 0 && code6 == EADDRINUSE) {
        closeFd(m->fd4);
        if (portTaken)
            *portTaken = true;
        if (error)
            *error = "Could not bind socket. Address and port are already in use.";
        return false;
    }
    if (::pipe2(m->wakePipe, O_CLOEXEC) != 0) {
        closeFd(m->fd4);
        closeFd(m->fd6);
        if (error)
            *error = std::string("Could not start the listener. ") + std::strerror(errno);
        return false;
    }
    m->stopping = false;
    m->running = true;
    m->acceptThread = std::thread([this] { m->acceptLoop(); });
    return true;
}

void LoopbackHttpServer::stop()
{
    if (!m->running)
        return;
    m->stopping = true;
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(m->wakePipe[1], &byte, 1);
    if (m->acceptThread.joinable())
        m->acceptThread.join();
    closeFd(m->fd4);
    closeFd(m->fd6);
    {
        // Wake connections blocked in a read; handlers waiting on the window
        // see the stopping flag.
        std::lock_guard<std::mutex> lock(m->mutex);
        for (auto &c : m->connections) {
            if (!c.done && c.fd >= 0)
                ::shutdown(c.fd, SHUT_RDWR);
        }
    }
    for (auto &c : m->connections) {
        if (c.thread.joinable())
            c.thread.join();
    }
    m->connections.clear();
    closeFd(m->wakePipe[0]);
    closeFd(m->wakePipe[1]);
    m->running = false;
}

void LoopbackHttpServer::Impl::reapFinished()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = connections.begin(); it != connections.end();) {
        if (it->done) {
            if (it->thread.joinable())
                it->thread.join();
            it = connections.erase(it);
        } else {
            ++it;
        }
    }
}

void LoopbackHttpServer::Impl::acceptLoop()
{
    while (!stopping) {
        pollfd fds[3];
        int count = 0;
        fds[count++] = {wakePipe[0], POLLIN, 0};
        fds[count++] = {fd4, POLLIN, 0};
        if (fd6 >= 0)
            fds[count++] = {fd6, POLLIN, 0};
        int rc = ::poll(fds, nfds_t(count), 1000);
        reapFinished();
        if (rc <= 0 || stopping)
            continue;
        for (int i = 1; i < count; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard<std::mutex> lock(mutex);
            if (int(connections.size()) >= limits.maxConnections) {
                // Too many open connections: refuse this one at once rather
                // than letting requests pile up.
                timeval tv{0, 200000};
                ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
                sendAll(fd, replyText(503, {}, false));
                ::close(fd);
                continue;
            }
            connections.emplace_back();
            Connection &c = connections.back();
            c.fd = fd;
            c.thread = std::thread([this, &c] { serve(c); });
        }
    }
}

int LoopbackHttpServer::Impl::readRequest(int fd, std::string &head)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits.requestTimeoutMs);
    HttpRequestReader reader(limits.maxRequestBytes);
    char buffer[4096];
    for (;;) {
        switch (reader.status()) {
        case HttpRequestReader::Status::Complete:
            head = reader.head();
            return 0;
        case HttpRequestReader::Status::Refused:
            return reader.refusal();
        case HttpRequestReader::Status::Incomplete:
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || stopping)
            return 408;
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, int(std::min<long long>(left.count(), 250)));
        if (rc < 0 && errno != EINTR)
            return 400;
        if (rc <= 0)
            continue;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return -1; // the client went away: nothing to answer
        reader.feed(buffer, size_t(n));
    }
}

void LoopbackHttpServer::Impl::serve(Connection &c)
{
    std::string head;
    int refusal = readRequest(c.fd, head);
    if (refusal == 0) {
        Request request;
        request.stopping = &stopping;
        if (!HttpRequestReader::parseHead(head, request)) {
            sendAll(c.fd, replyText(400, {}, true));
        } else {
            const bool head_ = request.method == "HEAD";
            if (request.method == "GET" || request.method == "POST" || head_) {
                Reply reply;
                try {
                    reply = handler(request);
                } catch (const std::exception &e) {
                    reply.status = 500;
                    reply.body = htmlEscape(e.what());
                }
                sendAll(c.fd, replyText(reply.status, reply.body, !head_));
            } else {
                // Other methods are answered without reaching the handler.
                sendAll(c.fd, replyText(200, {}, true));
            }
        }
    } else if (refusal > 0) {
        sendAll(c.fd, replyText(refusal, {}, true));
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        ::shutdown(c.fd, SHUT_WR);
        closeFd(c.fd);
    }
    c.done = true;
}

} // namespace veltrano
