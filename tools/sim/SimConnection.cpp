#include "SimConnection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltrano::sim {

SimConnection::SimConnection(int fd, int wakeFd, SSL_CTX *tlsContext)
    : m_fd(fd), m_wakeFd(wakeFd), m_tlsRequested(tlsContext != nullptr)
{
    if (tlsContext) {
        m_ssl = SSL_new(tlsContext);
        if (m_ssl)
            SSL_set_fd(m_ssl, m_fd);
    }
}

SimConnection::~SimConnection()
{
    if (m_ssl)
        SSL_free(m_ssl);
}

SimConnection::Wait SimConnection::waitReadable(int timeoutMs)
{
    if (m_ssl && SSL_has_pending(m_ssl))
        return Wait::Ready;
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Failed;
        }
        if (fds[1].revents)
            return Wait::Stopped;
        if (n == 0)
            return Wait::Failed; // time-out
        return Wait::Ready;      // data, end of stream or an error: read() tells
    }
}

bool SimConnection::handshake()
{
    if (!m_tlsRequested)
        return true;
    if (!m_ssl)
        return false;
    // Wait for the client hello here, where a stop can end the wait.
    if (waitReadable(-1) != Wait::Ready)
        return false;
    const int rc = SSL_accept(m_ssl);
    if (rc != 1) {
        ERR_clear_error();
        return false;
    }
    return true;
}

long SimConnection::read(char *buffer, size_t size)
{
    if (waitReadable(-1) != Wait::Ready)
        return -1;
    if (size > INT_MAX)
        size = INT_MAX;
    if (m_ssl) {
        const int n = SSL_read(m_ssl, buffer, static_cast<int>(size));
        if (n > 0)
            return n;
        const int err = SSL_get_error(m_ssl, n);
        ERR_clear_error();
        return err == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? -1 : static_cast<long>(n);
    }
}

bool SimConnection::write(std::string_view data)
{
    while (!data.empty()) {
        if (m_ssl) {
            const int chunk = static_cast<int>(std::min<size_t>(data.size(), 1 << 20));
            const int n = SSL_write(m_ssl, data.data(), chunk);
            if (n <= 0) {
                ERR_clear_error();
                return false;
            }
            data.remove_prefix(static_cast<size_t>(n));
        } else {
            const ssize_t n = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data.remove_prefix(static_cast<size_t>(n));
        }
    }
    return true;
}

bool SimConnection::pause(int ms)
{
    pollfd wake{m_wakeFd, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&wake, 1, ms);
        if (n < 0 && errno == EINTR)
            continue; // a signal shortens the pause slightly; harmless here
        return n == 0;
    }
}

void SimConnection::holdSilent()
{
    char scratch[4096];
    while (read(scratch, sizeof scratch) > 0) {
    }
}

void SimConnection::finish(bool reset)
{
    if (reset) {
        linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return;
    }
    if (m_ssl && SSL_is_init_finished(m_ssl)) {
        SSL_shutdown(m_ssl); // sends close_notify; the client's reply is not awaited
        ERR_clear_error();
    }
    ::shutdown(m_fd, SHUT_WR);
    // Read what the client already sent, so closing does not turn into a
    // reset that could destroy the answer still on its way to the client.
    char scratch[4096];
    while (::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }
}

} // namespace veltrano::sim
