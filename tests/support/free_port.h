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

// A socket bound to a loopback port the system chose (-1 on failure), and
// that port.
inline int BindLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

inline int FreeLoopbackPort() {
    int port = 0;
    const int fd = BindLoopback(port);
    if (fd < 0) throw std::runtime_error("no free loopback port");
    ::close(fd);
    return port;
}

// A loopback port that stays closed: bound here for the life of the process
// and never listened on, so a connection to it is refused and no other
// program (a server of a test running beside this one) can take it in the
// meantime, as it could a port let go.
inline int ClosedLoopbackPort() {
    static const int port = [] {
        int chosen = 0;
        if (BindLoopback(chosen) < 0) throw std::runtime_error("no loopback port to keep closed");
        return chosen;  // the socket stays open until the process ends
    }();
    return port;
}

}  // namespace tessel::testsupport
