// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A replay server on 127.0.0.1 (port of the system's choosing) running in
// its own thread for the life of one test, with the replies our fetch tests
// need.  Body bytes follow Pattern(), so a block lost or doubled shows.

#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/free_port.h"

namespace tessel::web::testing {

inline std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

class LocalServer {
 public:
    // /data/N        N bytes with Content-Length      /chunked/N  N bytes in 700-byte chunks
    // /gone          404 with a body                  /old        redirect to /data/600
    // /echo          "agent|cache-control|pragma|target"
    // /mute          never answers                    /stall, /drop  1000 of 5000 bytes, then silence /
    // hang-up /huge          announces 3 GiB, sends 10 bytes  /endless    chunks without end
    LocalServer() {
        using httplib::DataSink;
        using httplib::Request;
        using httplib::Response;
        auto count = [](const Request& req) { return static_cast<size_t>(std::stoul(req.matches[1])); };
        s_.Get(R"(/data/(\d+))", [=](const Request& req, Response& res) {
            res.set_content(Pattern(count(req)), "text/plain");
        });
        s_.Get(R"(/chunked/(\d+))", [=](const Request& req, Response& res) {
            res.set_chunked_content_provider(
                "text/plain", [body = Pattern(count(req))](size_t at, DataSink& sink) {
                    if (at < body.size())
                        sink.write(body.data() + at, std::min<size_t>(700, body.size() - at));
                    else
                        sink.done();
                    return true;
                });
        });
        s_.Get("/gone", [](const Request&, Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        s_.Get("/old", [](const Request&, Response& res) { res.set_redirect("/data/600"); });
        s_.Get(R"(/echo.*)", [](const Request& req, Response& res) {
            res.set_content(req.get_header_value("User-Agent") + "|" + req.get_header_value("Cache-Control") +
                                "|" + req.get_header_value("Pragma") + "|" + req.target,
                            "text/plain");
        });
        s_.Get("/mute", [this](const Request&, Response& res) {
            StallUntilReleased();
            res.set_content("late", "text/plain");
        });
        for (const char* path : {"/stall", "/drop"}) {
            const bool stall = path[1] == 's';
            s_.Get(path, [this, stall](const Request&, Response& res) {
                res.set_content_provider(5000, "text/plain",
                                         [this, stall](size_t at, size_t, DataSink& sink) {
                                             if (at == 0) return sink.write(Pattern(1000).data(), 1000);
                                             if (stall) StallUntilReleased();
                                             return false;  // closes the connection mid-body
                                         });
            });
        }
        s_.Get("/huge", [](const Request&, Response& res) {
            res.set_content_provider(
                size_t{3} << 30, "application/octet-stream",
                [](size_t at, size_t, DataSink& sink) { return at == 0 && sink.write("0123456789", 10); });
        });
        s_.Get("/endless", [](const Request&, Response& res) {
            res.set_chunked_content_provider("text/plain", [](size_t, DataSink& sink) {
                static const std::string chunk(64 * 1024, 'b');
                return sink.write(chunk.data(), chunk.size());
            });
        });
        port_ = s_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { s_.listen_after_bind(); });
        while (!s_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LocalServer() {
        released_ = true;
        s_.stop();
        thread_.join();
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    std::u16string Url(const std::string& path) const {
        return Ascii("http://127.0.0.1:" + std::to_string(port_) + path);
    }

    static std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

 private:
    // Holds a handler until the test ends (a minute at most), as a server
    // that has stopped talking would.
    void StallUntilReleased() const {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!released_ && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    httplib::Server s_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> released_{false};
};

// An address on loopback nobody listens on.
inline std::u16string ClosedPortUrl() {
    return LocalServer::Ascii("http://127.0.0.1:" + std::to_string(testsupport::FreeLoopbackPort()) + "/");
}

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchDir {
 public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tessel-web-test-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

 private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace tessel::web::testing
