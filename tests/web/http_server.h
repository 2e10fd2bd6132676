// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The loopback server with the replies our fetch tests need, for the life of
// one test.  Body bytes follow Pattern(), so a block lost or doubled shows.

#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/loopback_http.h"

namespace tessel::web::testing {

inline std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

class LocalServer : public testsupport::LoopbackHttp {
 public:
    // /data/N        N bytes with Content-Length      /chunked/N  N bytes in 700-byte chunks
    // /gone          404 with a body                  /old        redirect to /data/600
    // /echo          "agent|cache-control|pragma|target"
    // /mute          never answers
    // /stall, /drop  1000 of 5000 bytes, then silence / hang-up
    // /huge          announces 3 GiB, sends 10 bytes  /endless    chunks without end
    // /drip/N        N bytes, one a second
    LocalServer() {
        using httplib::DataSink;
        using httplib::Request;
        using httplib::Response;
        auto count = [](const Request& req) { return static_cast<size_t>(std::stoul(req.matches[1])); };
        httplib::Server& s = server();
        s.Get(R"(/data/(\d+))",
              [=](const Request& req, Response& res) { res.set_content(Pattern(count(req)), "text/plain"); });
        s.Get(R"(/chunked/(\d+))", [=](const Request& req, Response& res) {
            res.set_chunked_content_provider(
                "text/plain", [body = Pattern(count(req))](size_t at, DataSink& sink) {
                    if (at < body.size())
                        sink.write(body.data() + at, std::min<size_t>(700, body.size() - at));
                    else
                        sink.done();
                    return true;
                });
        });
        s.Get("/gone", [](const Request&, Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        s.Get("/old", [](const Request&, Response& res) { res.set_redirect("/data/600"); });
        s.Get(R"(/echo.*)", [](const Request& req, Response& res) {
            res.set_content(req.get_header_value("User-Agent") + "|" + req.get_header_value("Cache-Control") +
                                "|" + req.get_header_value("Pragma") + "|" + req.target,
                            "text/plain");
        });
        s.Get("/mute", [this](const Request&, Response& res) {
            StallUntilStopped();
            res.set_content("late", "text/plain");
        });
        for (const char* path : {"/stall", "/drop"}) {
            const bool stall = path[1] == 's';
            s.Get(path, [this, stall](const Request&, Response& res) {
                res.set_content_provider(5000, "text/plain",
                                         [this, stall](size_t at, size_t, DataSink& sink) {
                                             if (at == 0) return sink.write(Pattern(1000).data(), 1000);
                                             if (stall) StallUntilStopped();
                                             return false;  // closes the connection mid-body
                                         });
            });
        }
        s.Get("/huge", [](const Request&, Response& res) {
            res.set_content_provider(
                size_t{3} << 30, "application/octet-stream",
                [](size_t at, size_t, DataSink& sink) { return at == 0 && sink.write("0123456789", 10); });
        });
        s.Get("/endless", [](const Request&, Response& res) {
            res.set_chunked_content_provider("text/plain", [](size_t, DataSink& sink) {
                static const std::string chunk(64 * 1024, 'b');
                return sink.write(chunk.data(), chunk.size());
            });
        });
        s.Get(R"(/drip/(\d+))", [=, this](const Request& req, Response& res) {
            res.set_content_provider(count(req), "text/plain", [this](size_t at, size_t, DataSink& sink) {
                if (at > 0 && !Pause(std::chrono::seconds(1))) return false;
                return sink.write("d", 1);
            });
        });
        Start();
    }

    static std::u16string Ascii(const std::string& s) { return Widen(s); }
};

// An address on loopback nobody listens on.
inline std::u16string ClosedPortUrl() { return LocalServer::Ascii(testsupport::ClosedPortBase() + "/"); }

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
