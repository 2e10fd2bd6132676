// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Servers on 127.0.0.1 (a port of the system's choosing) for every test that
// talks to the network, each serving from its own thread until destroyed:
//
//   LoopbackHttp  an HTTP server: register handlers on server(), Start(),
//                 point the service under test at Base() or Url(path).
//   LoopbackRaw   a bare TCP listener whose handler gets each accepted
//                 socket, for answers no HTTP server would give (headers
//                 sent a line at a time, a reset mid-body, no HTTP at all).
//
// Handlers that must outlast the request (a server gone quiet, a drip) wait
// through Pause(), which gives up as soon as the server is stopping, so no
// test waits on its own server at the end.

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/free_port.h"

#if defined(QT_CORE_LIB)
#include <QString>
#endif

namespace tessel::testsupport {

// The window tests keep their service settings as QString, everything else
// as std::string.
#if defined(QT_CORE_LIB)
using AddressText = QString;
inline AddressText ToAddressText(const std::string& s) { return QString::fromStdString(s); }
#else
using AddressText = std::string;
inline AddressText ToAddressText(const std::string& s) { return s; }
#endif

// Waits up to `d` in small steps; false when `stopping` rose first.
inline bool PauseUnless(const std::atomic<bool>& stopping, std::chrono::milliseconds d) {
    const auto until = std::chrono::steady_clock::now() + d;
    while (std::chrono::steady_clock::now() < until) {
        if (stopping) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !stopping;
}

class LoopbackHttp {
 public:
    LoopbackHttp() = default;
    ~LoopbackHttp() {
        stopping_ = true;
        if (!thread_.joinable()) return;
        server_.stop();
        thread_.join();
    }
    LoopbackHttp(const LoopbackHttp&) = delete;
    LoopbackHttp& operator=(const LoopbackHttp&) = delete;

    httplib::Server& server() { return server_; }

    void Start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    int port() const { return port_; }

    // "http://127.0.0.1:<port>", the form the service settings take.
    AddressText Base() const { return ToAddressText(BaseText()); }
    std::string BaseText() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Base() followed by `path`, as the text the libraries take.
    std::u16string Url(std::string_view path) const { return Widen(BaseText() + std::string(path)); }
    std::u16string Url(std::u16string_view path) const { return Widen(BaseText()) + std::u16string(path); }

    // Sleeps in a handler; false once the server is being stopped.
    bool Pause(std::chrono::milliseconds d) const { return PauseUnless(stopping_, d); }
    // Holds a handler until the test ends (a minute at most), as a server
    // that has stopped talking would.
    void StallUntilStopped() const { Pause(std::chrono::minutes(1)); }

    // Request targets (path and query as sent) seen so far, for handlers that
    // call Record().
    void Record(const httplib::Request& req) {
        std::lock_guard lock(mutex_);
        targets_.push_back(req.target);
    }
    std::vector<std::string> Targets() const {
        std::lock_guard lock(mutex_);
        return targets_;
    }

    // ASCII (or UTF-8 that is ASCII) widened unit by unit.
    static std::u16string Widen(std::string_view s) { return std::u16string(s.begin(), s.end()); }

 private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
};

// A service with one answer that the test changes as it goes: every GET of
// `path` is noted and answered with the status and body set last, after
// `delayMs` when the test wants a slow service.
class CannedReplyHttp {
 public:
    CannedReplyHttp(const std::string& path, std::string contentType, std::string reply = {})
        : reply_(std::move(reply)) {
        http_.server().Get(
            path, [this, type = std::move(contentType)](const httplib::Request& req, httplib::Response& res) {
                http_.Record(req);
                http_.Pause(std::chrono::milliseconds(delayMs));
                std::lock_guard lock(mutex_);
                res.status = status_;
                res.set_content(reply_, type);
            });
        http_.Start();
    }

    void Serve(std::string reply, int status = 200) {
        std::lock_guard lock(mutex_);
        reply_ = std::move(reply);
        status_ = status;
    }
    AddressText Base() const { return http_.Base(); }
    std::vector<std::string> Targets() const { return http_.Targets(); }

    std::atomic<int> delayMs{0};

 private:
    std::mutex mutex_;
    std::string reply_;
    int status_ = 200;
    // Last, so that the server stops before what its handler reads goes.
    LoopbackHttp http_;
};

class LoopbackRaw {
 public:
    // Gets the connected socket and the server's stop flag; the socket is
    // closed when the handler returns.
    using Handler = std::function<void(int fd, const std::atomic<bool>& stopping)>;

    explicit LoopbackRaw(Handler handler) : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            throw std::runtime_error("no loopback listener");
        }
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackRaw() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);  // wakes accept()
        thread_.join();
        for (std::thread& t : connections_) t.join();
        ::close(listener_);
    }
    LoopbackRaw(const LoopbackRaw&) = delete;
    LoopbackRaw& operator=(const LoopbackRaw&) = delete;

    AddressText Base() const { return ToAddressText(BaseText()); }
    std::string BaseText() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::u16string Url(std::string_view path) const {
        return LoopbackHttp::Widen(BaseText() + std::string(path));
    }

    // Reads what the client sent up to the blank line after its headers.
    static std::string ReadRequestHead(int fd) {
        std::string head;
        char c = 0;
        while (head.find("\r\n\r\n") == std::string::npos && ::read(fd, &c, 1) == 1) head += c;
        return head;
    }
    static bool Send(int fd, std::string_view bytes) {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Closes with a reset instead of an orderly end.
    static void Reset(int fd) {
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }

 private:
    void Serve() {
        for (;;) {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0 || stopping_) {
                if (fd >= 0) ::close(fd);
                return;
            }
            connections_.emplace_back([this, fd] {
                handler_(fd, stopping_);
                ::close(fd);
            });
        }
    }

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::vector<std::thread> connections_;
};

// "http://127.0.0.1:<port>" for a port nobody listens on.
inline AddressText ClosedPortBase() {
    return ToAddressText("http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()));
}

}  // namespace tessel::testsupport
