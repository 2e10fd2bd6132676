// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Loopback TCP ports for tests.  FreeLoopbackPort: one that nobody listens
// on right now (bind to port 0, read the port the system chose, let it go),
// for servers that take a port on their command line.  ClosedLoopbackPort:
// one that stays closed, for "nothing answers here" addresses.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace tessel::testsupport {

inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) throw std::runtime_error("no free loopback port");
    return ntohs(addr.sin_port);
}

// A loopback port that stays closed: bound here for the life of the process
// and never listened on, so a connection to it is refused and no other
// program (a server of a test running beside this one) can take it in the
// meantime, as it could a port let go.
inline int ClosedLoopbackPort() {
    static const int port = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("no loopback port to keep closed");
        return static_cast<int>(ntohs(addr.sin_port));  // fd stays open until the process ends
    }();
    return port;
}

}  // namespace tessel::testsupport
