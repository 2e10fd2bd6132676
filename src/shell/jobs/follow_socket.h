// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The WebSocket the download follower hears aria2 on.  Qt's WebSockets bring
// Qt Network and, through it, Kerberos and the proxy resolver: two
// megabytes resident and a share of the start-up in a program that follows
// no download most of the time.  So the socket lives in a module of its own
// (tessel-websocket.so among the program's libraries), opened by the first
// download followed, the way libcurl and libcrypto are (text/late_library.h).
//
//   auto socket = OpenFollowSocket({u"wss://nas:6800/jsonrpc", caFile, 1 << 20},
//                                  {[] { /* open */ }, [] { /* lost */ }, [](const QString& m) {}});
//   socket->Send(request);
//
// The events come from the event loop, never from inside a call to the
// socket, so a handler may destroy the socket it was called by.

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace tessel::shell {

struct FollowSocketRequest {
    QString url;     // ws:// or wss://
    QString caFile;  // when set, its certificates replace the system's authorities
    qint64 maxMessage = 0;
};

struct FollowSocketEvents {
    std::function<void()> connected;
    // Refused, the handshake failed, or the connection closed: told once,
    // and nothing after it.
    std::function<void()> lost;
    std::function<void(const QString&)> text;
};

class FollowSocket {
 public:
    virtual ~FollowSocket() = default;
    virtual void Send(const QString& text) = 0;
};

// A socket that starts connecting at once; null when the module cannot be
// opened (said on standard error).
std::unique_ptr<FollowSocket> OpenFollowSocket(const FollowSocketRequest& request, FollowSocketEvents events);

// The module's one entry point.  Its name carries the layout of the types
// above: change them, change the name, so that a module left over from
// another build is refused instead of misread.
inline constexpr const char* kFollowSocketEntry = "tessel_open_follow_socket_v1";
using FollowSocketEntry = FollowSocket* (*)(const FollowSocketRequest* request, FollowSocketEvents* events);

}  // namespace tessel::shell
