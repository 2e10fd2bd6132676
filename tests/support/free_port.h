// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A loopback TCP port that nobody listens on right now: bind to port 0, read
// the port the system chose, and let it go.  Tests use it for "nothing
// answers here" addresses and for servers that take a port on their command
// line.

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

}  // namespace tessel::testsupport
