#pragma once

#include "auth/HttpRequestReader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace veltrano {

// A small HTTP/1.1 server for the browser's return from a sign-in. It listens
// on the loopback interface only (127.0.0.1 and, where the system has IPv6,
// ::1), serves each connection on a thread of its own and answers one request
// per connection. Misbehaving clients cannot hang it: the number of
// connection threads is bounded, a request must arrive whole within a time
// limit, and its size is limited.
class LoopbackHttpServer final {
public:
    struct Request : HttpRequestHead {
        // Set when the server stops: a handler waiting for something else
        // gives up when it sees it.
        const std::atomic<bool> *stopping = nullptr;
    };
    struct Reply {
        int status = 200;
        std::string body; // sent as "text/html; charset=utf-8"
    };
    using Handler = std::function<Reply(const Request &)>;

    struct Limits {
        int maxConnections = 16;
        int requestTimeoutMs = 10000;
        size_t maxRequestBytes = 16 * 1024;
    };

    explicit LoopbackHttpServer(Handler handler);
    LoopbackHttpServer(Handler handler, Limits limits);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    // Starts listening on the port (0: an ephemeral port, for tests). On
    // failure returns false and sets the error text; *portTaken tells
    // whether another program holds the port.
    bool start(uint16_t port, std::string *error, bool *portTaken = nullptr);
    // Stops accepting, wakes every connection and waits for their threads.
    void stop();
    bool isRunning() const;
    uint16_t port() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace veltrano
