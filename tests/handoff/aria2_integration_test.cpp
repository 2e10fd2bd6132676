// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-off against a real aria2c on loopback, fetching from a local server.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "handoff/aria2_objects.h"
#include "handoff/handoff_command.h"
#include "test_prefix.h"
#include "text/codepage.h"

extern char** environ;

namespace tessel::handoff {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::MakeTempDir;
using testing::TempPrefix;

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::u16string RpcAddress(int port) { return u"http://127.0.0.1:" + text::FromUtf8(std::to_string(port)) + u"/jsonrpc"; }

// aria2c in the foreground on 127.0.0.1; stopped (and if need be killed) when
// the test ends, and told to stop by itself should this process die first.
class Aria2Process {
public:
    Aria2Process(const std::filesystem::path& dir, std::string secret) : port_(FreePort()), secret_(std::move(secret)) {
        const std::string log = (dir / "aria2.log").string();
        std::vector<std::string> args = {"aria2c",
                                         "--no-conf=true",
                                         "--enable-rpc",
                                         "--rpc-listen-all=false",
                                         "--rpc-listen-port=" + std::to_string(port_),
                                         "--rpc-secret=" + secret_,
                                         "--dir=" + dir.string(),
                                         "--stop-with-process=" + std::to_string(::getpid()),
                                         "--max-tries=1",
                                         "--log=" + log,
                                         "--quiet=true"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawnp(&pid_, "aria2c", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start aria2c");
        for (auto waited = 0ms; waited < 10s; waited += 50ms) {
            if (Call("aria2.getVersion").status == Aria2Status::Ok) return;
            std::this_thread::sleep_for(50ms);
        }
        Stop();
        throw std::runtime_error("aria2c did not answer");
    }
    ~Aria2Process() { Stop(); }
    Aria2Process(const Aria2Process&) = delete;
    Aria2Process& operator=(const Aria2Process&) = delete;

    Aria2Settings Settings() const { return {RpcAddress(port_), text::FromUtf8(secret_)}; }
    int port() const { return port_; }
    bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

    Aria2Reply Call(std::string_view method, const json& params = json::array()) const {
        return Aria2Call(Settings(), method, params, 1000ms);
    }

    // The stopped tasks once every task has stopped, or an empty list after 15 s.
    json WaitUntilAllStopped() const {
        for (auto waited = 0ms; waited < 15s; waited += 100ms) {
            const Aria2Reply active = Call("aria2.tellActive");
            const Aria2Reply waiting = Call("aria2.tellWaiting", json::array({0, 100}));
            if (active.status == Aria2Status::Ok && waiting.status == Aria2Status::Ok && active.result.empty() &&
                waiting.result.empty()) {
                return Call("aria2.tellStopped", json::array({0, 100})).result;
            }
            std::this_thread::sleep_for(100ms);
        }
        return json::array();
    }

private:
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (auto waited = 0ms; waited < 5s; waited += 20ms) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = 0;
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

    int port_;
    std::string secret_;
    pid_t pid_ = 0;
};

// The media server: answers the one GBK-escaped path and notes the referring page.
class MediaServer {
public:
    static constexpr std::string_view kContent = "FLV\x01\x05 fake video payload, 0123456789";

    MediaServer() {
        // One request per connection, so stopping never waits on aria2's idle keep-alive.
        server_.set_keep_alive_max_count(1);
        server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            referers_.push_back(req.get_header_value("Referer"));
            if (req.path == text::ToAnsi(u"/视频.flv")) {
                res.set_content(std::string(kContent), "video/x-flv");
            } else {
                res.status = 404;
            }
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~MediaServer() {
        server_.stop();
        thread_.join();
    }
    std::u16string Url(std::u16string_view path) const {
        return u"http://127.0.0.1:" + text::FromUtf8(std::to_string(port_)) + std::u16string(path);
    }
    std::vector<std::string> Referers() {
        std::lock_guard lock(mutex_);
        return referers_;
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> referers_;
};

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class Aria2Handoff : public ::testing::TestWithParam<HandoffButton> {
protected:
    void TearDown() override { std::filesystem::remove_all(dir_); }
    const std::filesystem::path dir_ = MakeTempDir("tessel-aria2");
    const TempPrefix nothingInstalled_{""};
};

// The user confirms the absent manager; aria2 fetches the file under the title.
TEST_P(Aria2Handoff, DownloadsUnderTheTitle) {
    Aria2Process aria2(dir_, "S3cret-token");
    MediaServer media;
    const HandoffRequest request{media.Url(u"/视频.flv"), media.Url(u"/play/页面.html"), u"测试视频 第1集",
                                 u"http://www.parse.test", aria2.Settings()};
    Aria2ObjectFactory factory(request.aria2);

    const HandoffOutcome outcome =
        RunHandoff(GetParam(), request, [](const Question&) { return Answer::Yes; }, nothingInstalled_.Reader(), factory);
    ASSERT_EQ(outcome.status, HandoffOutcome::Status::Sent)
        << (outcome.notice ? text::ToUtf8(outcome.notice->text) : "");

    const json stopped = aria2.WaitUntilAllStopped();
    ASSERT_EQ(stopped.size(), 1u) << stopped.dump();
    EXPECT_EQ(stopped[0]["status"], "complete") << stopped.dump();
    EXPECT_EQ(ReadFile(dir_ / text::ToUtf8(u"测试视频 第1集")), MediaServer::kContent);
    // The page went out with its GBK bytes escaped; this server decodes
    // escapes in header values, so the GBK bytes themselves show up here.
    EXPECT_EQ(media.Referers(), std::vector<std::string>{text::ToUtf8(media.Url(u"/play/")) + text::ToAnsi(u"页面") + ".html"});
}

INSTANTIATE_TEST_SUITE_P(Aria2, Aria2Handoff, ::testing::Values(HandoffButton::skbFlvthunder, HandoffButton::skbQqdl),
                         [](const auto& info) {
                             return info.param == HandoffButton::skbFlvthunder ? "Thunder" : "QqDownload";
                         });

TEST(Aria2HandoffFailures, WrongSecretIsToldAndAria2GoesOn) {
    const auto dir = MakeTempDir("tessel-aria2");
    {
        Aria2Process aria2(dir, "right-secret");
        const TempPrefix thunder(
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\thunder_is1] 1733563200\n"
            "\"DisplayName\"=\"Thunder\"\n");
        const Aria2Settings wrong{RpcAddress(aria2.port()), u"wrong-secret"};
        const HandoffRequest request{u"http://127.0.0.1:1/a.flv", u"", u"t", u"http://www.parse.test", wrong};
        Aria2ObjectFactory factory(wrong);

        const HandoffOutcome outcome = RunHandoff(HandoffButton::skbFlvthunder, request,
                                                  [](const Question&) { return Answer::Yes; }, thunder.Reader(), factory);
        EXPECT_EQ(outcome.status, HandoffOutcome::Status::Failed);
        ASSERT_TRUE(outcome.notice.has_value());
        EXPECT_EQ(outcome.notice->title, u"提示");
        EXPECT_NE(outcome.notice->text.find(u"拒绝了设置 Aria2Secret 里的密钥"), std::u16string::npos);
        EXPECT_NE(outcome.notice->text.find(u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=" +
                                            text::FromUtf8(std::to_string(aria2.port())) + u" --rpc-secret=wrong-secret"),
                  std::u16string::npos)
            << text::ToUtf8(outcome.notice->text);

        EXPECT_TRUE(aria2.Running());
        const Aria2Reply stopped = aria2.Call("aria2.tellStopped", json::array({0, 10}));
        ASSERT_EQ(stopped.status, Aria2Status::Ok);
        EXPECT_TRUE(stopped.result.empty());  // the task never reached it
    }
    std::filesystem::remove_all(dir);
}

TEST(Aria2HandoffFailures, NoAria2ListeningIsTold) {
    const int port = FreePort();
    const Aria2Settings settings{RpcAddress(port), u""};
    const TempPrefix qq("[Software\\\\Tencent\\\\QQDownload] 1733563200\n\"Exe\"=\"QQDownload.exe\"\n");
    const HandoffRequest request{u"http://127.0.0.1:1/a.flv", u"", u"t", u"http://www.parse.test", settings};
    Aria2ObjectFactory factory(settings);

    const HandoffOutcome outcome =
        RunHandoff(HandoffButton::skbQqdl, request, [](const Question&) { return Answer::No; }, qq.Reader(), factory);
    EXPECT_EQ(outcome.status, HandoffOutcome::Status::Failed);
    ASSERT_TRUE(outcome.notice.has_value());
    EXPECT_NE(outcome.notice->text.find(u"没有回答"), std::u16string::npos);
    EXPECT_NE(outcome.notice->text.find(u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=" +
                                        text::FromUtf8(std::to_string(port)) + u"\n"),
              std::u16string::npos)
        << text::ToUtf8(outcome.notice->text);
}

}  // namespace
}  // namespace tessel::handoff
