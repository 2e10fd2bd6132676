// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-websocket.so: the follower's socket over Qt WebSockets, the only
// part of the program that needs Qt Network (follow_socket.h says why it is
// a module).
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>
#include <QWebSocket>
#include <functional>
#include <utility>

#include "shell/jobs/follow_socket.h"

namespace tessel::shell {
namespace {

class QtFollowSocket final : public FollowSocket {
 public:
    QtFollowSocket(const FollowSocketRequest& request, FollowSocketEvents events)
        : events_(std::move(events)) {
        socket_.setMaxAllowedIncomingMessageSize(request.maxMessage);
        socket_.setMaxAllowedIncomingFrameSize(request.maxMessage);
        if (!request.caFile.isEmpty()) {
            QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
            ssl.setCaCertificates(QSslCertificate::fromPath(request.caFile));
            socket_.setSslConfiguration(ssl);
        }
        // Queued to `context_`: a handler may destroy this socket, which
        // must not happen inside the QWebSocket's own signal; whatever is
        // still queued then goes with `context_`.
        const auto queued = Qt::QueuedConnection;
        QObject::connect(
            &socket_, &QWebSocket::connected, &context_, [this] { Call(events_.connected); }, queued);
        QObject::connect(
            &socket_, &QWebSocket::disconnected, &context_, [this] { Lost(); }, queued);
        QObject::connect(
            &socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), &context_,
            [this] { Lost(); }, queued);
        QObject::connect(
            &socket_, &QWebSocket::textMessageReceived, &context_,
            [this](const QString& m) { Call(events_.text, m); }, queued);
        socket_.open(QUrl(request.url));
    }

    ~QtFollowSocket() override { socket_.disconnect(); }

    void Send(const QString& text) override { socket_.sendTextMessage(text); }

 private:
    // A handler may destroy this socket and with it the handler itself: it
    // runs from a copy.
    template <typename Handler, typename... Args>
    static void Call(const Handler& handler, const Args&... args) {
        const Handler f = handler;
        f(args...);
    }

    // An error is followed by `disconnected` when the socket was open: one
    // loss between them.
    void Lost() {
        if (lost_) return;
        lost_ = true;
        Call(events_.lost);
    }

    FollowSocketEvents events_;
    bool lost_ = false;
    QObject context_;  // declared before the socket: destroyed after it
    QWebSocket socket_;
};

}  // namespace
}  // namespace tessel::shell

extern "C" __attribute__((visibility("default"))) tessel::shell::FollowSocket* tessel_open_follow_socket_v1(
    const tessel::shell::FollowSocketRequest* request, tessel::shell::FollowSocketEvents* events) {
    return new tessel::shell::QtFollowSocket(*request, std::move(*events));
}
