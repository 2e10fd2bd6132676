// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Throwaway Wine prefixes and HTTP servers on loopback for the hand-off tests.

#include <httplib.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "handoff/reg_work.h"
#include "text/codepage.h"

namespace tessel::handoff::testing {

inline std::filesystem::path MakeTempDir(const char* stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

class TempPrefix {
 public:
    // `keys` is the part of system.reg after Wine's header.
    explicit TempPrefix(std::string_view keys, std::string_view arch = "win32")
        : dir_(MakeTempDir("tessel-wine")) {
        Write(keys, arch);
    }
    ~TempPrefix() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    void Write(std::string_view keys, std::string_view arch = "win32") const {
        std::ofstream out(dir_ / "system.reg", std::ios::binary | std::ios::trunc);
        out << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=" << arch << "\n\n"
            << keys;
    }

    const std::filesystem::path& dir() const { return dir_; }
    WineRegistry Registry() const { return WineRegistry(dir_); }
    RegReader Reader() const { return ReaderFor(Registry()); }

 private:
    std::filesystem::path dir_;
};

// An HTTP server on 127.0.0.1 and a free port, serving from its own thread
// until destroyed.  Register the handlers on server() before Start().
class LoopbackServer {
 public:
    ~LoopbackServer() {
        if (!thread_.joinable()) return;
        server_.stop();
        thread_.join();
    }
    httplib::Server& server() { return server_; }
    void Start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::u16string Url(std::u16string_view path) const {
        return u"http://127.0.0.1:" + text::FromUtf8(std::to_string(port_)) + std::u16string(path);
    }

 private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace tessel::handoff::testing
