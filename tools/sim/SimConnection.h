#pragma once

#include <openssl/types.h>

#include <cstddef>
#include <string_view>

namespace veltrano::sim {

// One accepted client connection of the simulator, plain or TLS. Every wait
// (for request bytes, a delayed answer, a silent hold) also watches the
// server's wake descriptor, so stopping the server ends them at once; a
// blocking TLS read or write is ended by the server shutting the socket down.
// The socket itself belongs to the server, which closes it.
class SimConnection final {
public:
    SimConnection(int fd, int wakeFd, SSL_CTX *tlsContext);
    ~SimConnection();
    SimConnection(const SimConnection &) = delete;
    SimConnection &operator=(const SimConnection &) = delete;

    bool isTls() const { return m_ssl != nullptr; }
    // The TLS handshake (nothing to do for plain HTTP); false when it fails
    // or the server stops first.
    bool handshake();
    // Reads what has arrived, waiting for at least one byte: the number of
    // bytes read, 0 at the end of the stream, -1 on an error or a stop.
    long read(char *buffer, size_t size);
    bool write(std::string_view data);
    // Waits ms milliseconds; false when the server stopped meanwhile.
    bool pause(int ms);
    // Keeps the connection open without answering until the server stops or
    // the client closes it; whatever the client sends is read and dropped.
    void holdSilent();
    // Ends the connection: orderly (TLS close_notify, then FIN after reading
    // what is left), or with a reset (RST) when reset is true.
    void finish(bool reset);

private:
    enum class Wait { Ready, Stopped, Failed };
    Wait waitReadable(int timeoutMs);

    int m_fd;
    int m_wakeFd;
    SSL *m_ssl = nullptr;
    bool m_tlsRequested;
};

} // namespace veltrano::sim
