// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An HTTP server on 127.0.0.1 (a port of the system's choosing) for the
// window's service tests: register handlers on server(), Start(), point the
// service settings at Base().  It serves from its own thread until destroyed.

#include <httplib.h>
#include <unistd.h>

#include <QString>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/free_port.h"

namespace tessel::shell::testing {

class LoopbackHttp {
 public:
    LoopbackHttp() = default;
    ~LoopbackHttp() {
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

    // "http://127.0.0.1:<port>", the form the service settings take.
    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

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

 private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
};

// "http://127.0.0.1:<port>" for a port nobody listens on.
inline QString ClosedPortBase() {
    return QStringLiteral("http://127.0.0.1:%1").arg(testsupport::FreeLoopbackPort());
}

}  // namespace tessel::shell::testing
