#pragma once

// Small pieces the end-to-end tests share: a free loopback port for the
// sign-in listener, and a browser that only records what it was asked to open.

#include "app/UiPorts.h"

#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltrano::testing {

// A port nothing listens on right now (the kernel's next ephemeral port).
inline quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// available false: a desktop without a browser; the address is still
// recorded, as the user would still have it.
struct RecordingBrowser final : BrowserOpener {
    QStringList opened;
    bool available = true;
    void open(const QString &url) override { opened << url; }
    bool openReporting(const QString &url) override
    {
        opened << url;
        return available;
    }
};

} // namespace veltrano::testing
