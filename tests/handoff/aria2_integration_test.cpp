// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-off against a real aria2c on loopback, fetching from a local server.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "bridge/open_link.h"
#include "handoff/aria2_objects.h"
#include "handoff/handoff_command.h"
#include "links/base64.h"
#include "links/special_link.h"
#include "support/free_port.h"
#include "test_support.h"
#include "text/codepage.h"

extern char** environ;

namespace tessel::handoff {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::MakeTempDir;
using testing::TempPrefix;

int FreePort() { return testsupport::FreeLoopbackPort(); }

Aria2Settings SettingsFor(int port, std::u16string secret) {
    return {u"http://127.0.0.1:" + text::FromUtf8(std::to_string(port)) + u"/jsonrpc", std::move(secret)};
}

// aria2c in the foreground on 127.0.0.1, stopped (killed if need be) when the
// test ends, and told to stop by itself should this process die first.
class Aria2Process {
 public:
    Aria2Process(const std::filesystem::path& dir, const std::string& secret)
        : port_(FreePort()), settings_(SettingsFor(port_, text::FromUtf8(secret))) {
        std::vector<std::string> args = {"aria2c",
                                         "--no-conf=true",
                                         "--enable-rpc",
                                         "--rpc-listen-all=false",
                                         "--rpc-listen-port=" + std::to_string(port_),
                                         "--rpc-secret=" + secret,
                                         "--dir=" + dir.string(),
                                         "--stop-with-process=" + std::to_string(::getpid()),
                                         "--max-tries=1",
                                         "--quiet=true"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "aria2c", nullptr, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("cannot start aria2c");
        }
        for (auto waited = 0ms; waited < 10s; waited += 50ms) {
            if (Call("aria2.getVersion").status == Aria2Status::Ok) return;
            std::this_thread::sleep_for(50ms);
        }
        Stop();
        throw std::runtime_error("aria2c did not answer");
    }
    ~Aria2Process() { Stop(); }

    const Aria2Settings& Settings() const { return settings_; }
    int port() const { return port_; }
    Aria2Reply Call(std::string_view method, const json& params = json::array()) const {
        return Aria2Call(settings_, method, params, 1000ms);
    }
    // The stopped tasks once there is one, or an empty list after 15 s.
    json WaitForStopped() const {
        for (auto waited = 0ms; waited < 15s; waited += 100ms) {
            const Aria2Reply stopped = Call("aria2.tellStopped", json::array({0, 100}));
            if (stopped.status == Aria2Status::Ok && !stopped.result.empty()) return stopped.result;
            std::this_thread::sleep_for(100ms);
        }
        return json::array();
    }

 private:
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        bool gone = false;
        for (auto waited = 0ms; !gone && waited < 5s; waited += 20ms) {
            gone = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!gone) std::this_thread::sleep_for(20ms);
        }
        if (!gone) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = 0;
    }

    int port_;
    Aria2Settings settings_;
    pid_t pid_ = 0;
};

// The media server: answers the one GBK-escaped path and notes the referring page.
class MediaServer {
 public:
    static constexpr std::string_view kContent = "FLV\x01\x05 fake video payload, 0123456789";

    MediaServer() {
        http_.server().set_keep_alive_max_count(1);  // stopping never waits on aria2's idle connection
        http_.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            referers_.push_back(req.get_header_value("Referer"));
            if (req.path == text::ToAnsi(u"/视频.flv")) {
                res.set_content(std::string(kContent), "video/x-flv");
            } else {
                res.status = 404;
            }
        });
        http_.Start();
    }
    std::u16string Url(std::u16string_view path) const { return http_.Url(path); }
    std::vector<std::string> Referers() {
        std::lock_guard lock(mutex_);
        return referers_;
    }

 private:
    std::mutex mutex_;
    std::vector<std::string> referers_;
    testing::LoopbackHttp http_;
};

class Aria2Handoff : public ::testing::Test {
 protected:
    ~Aria2Handoff() override { std::filesystem::remove_all(dir_); }
    const std::filesystem::path dir_ = MakeTempDir("tessel-aria2");
    const TempPrefix nothingInstalled_{""};
    const AskYesNo yes_ = [](const Question&) { return Answer::Yes; };
};

// The user confirms the absent manager; aria2 fetches the file under the
// title, which keeps the media's extension.
TEST_F(Aria2Handoff, DownloadsUnderTheTitle) {
    for (HandoffButton button : {HandoffButton::skbFlvthunder, HandoffButton::skbQqdl}) {
        SCOPED_TRACE(static_cast<int>(button));
        std::filesystem::remove(dir_ / text::ToUtf8(u"测试视频 第1集.flv"));
        Aria2Process aria2(dir_, "S3cret-token");
        MediaServer media;
        const HandoffRequest request{media.Url(u"/视频.flv"), media.Url(u"/play/页面.html"),
                                     u"测试视频 第1集", u"http://www.parse.test", aria2.Settings()};
        Aria2ObjectFactory factory(request.aria2);

        const HandoffOutcome outcome = RunHandoff(button, request, yes_, nothingInstalled_.Reader(), factory);
        ASSERT_EQ(outcome.status, HandoffOutcome::Status::Sent)
            << (outcome.notice ? text::ToUtf8(outcome.notice->text) : "");

        const json stopped = aria2.WaitForStopped();
        ASSERT_EQ(stopped.size(), 1u) << stopped.dump();
        EXPECT_EQ(stopped[0]["status"], "complete") << stopped.dump();
        std::ifstream file(dir_ / text::ToUtf8(u"测试视频 第1集.flv"), std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        EXPECT_EQ(content.str(), MediaServer::kContent);
        // The page, typed by the user, went out as UTF-8 escapes; this server
        // decodes escapes in header values, so the bytes themselves show up here.
        EXPECT_EQ(media.Referers(), std::vector<std::string>{text::ToUtf8(media.Url(u"/play/页面.html"))});
    }
}

TEST_F(Aria2Handoff, WrongSecretIsToldAndAria2GoesOn) {
    Aria2Process aria2(dir_, "right-secret");
    const Aria2Settings wrong = SettingsFor(aria2.port(), u"wrong-secret");
    Aria2ObjectFactory factory(wrong);
    const HandoffRequest request{u"http://127.0.0.1:1/a.flv", u"", u"t", u"http://www.parse.test", wrong};

    const HandoffOutcome outcome =
        RunHandoff(HandoffButton::skbFlvflashget, request, yes_, nothingInstalled_.Reader(), factory);
    EXPECT_EQ(outcome.status, HandoffOutcome::Status::Failed);
    ASSERT_TRUE(outcome.notice.has_value());
    EXPECT_EQ(outcome.notice->title, u"提示");
    EXPECT_NE(outcome.notice->text.find(u"拒绝了设置 Aria2Secret 里的密钥"), std::u16string::npos);
    EXPECT_NE(outcome.notice->text.find(u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=" +
                                        text::FromUtf8(std::to_string(aria2.port())) +
                                        u" --rpc-secret=wrong-secret"),
              std::u16string::npos)
        << text::ToUtf8(outcome.notice->text);
    const Aria2Reply stopped = aria2.Call("aria2.tellStopped", json::array({0, 10}));
    ASSERT_EQ(stopped.status, Aria2Status::Ok);  // still running
    EXPECT_TRUE(stopped.result.empty());         // and the task never reached it
}

TEST_F(Aria2Handoff, NoAria2ListeningIsTold) {
    const int port = FreePort();
    Aria2ObjectFactory factory(SettingsFor(port, u""));
    const HandoffRequest request{u"http://127.0.0.1:1/a.flv", u"", u"t", u"", SettingsFor(port, u"")};

    const HandoffOutcome outcome =
        RunHandoff(HandoffButton::skbQqdl, request, yes_, nothingInstalled_.Reader(), factory);
    EXPECT_EQ(outcome.status, HandoffOutcome::Status::Failed);
    ASSERT_TRUE(outcome.notice.has_value());
    EXPECT_NE(outcome.notice->text.find(u"没有回答"), std::u16string::npos);
    EXPECT_NE(outcome.notice->text.find(u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=" +
                                        text::FromUtf8(std::to_string(port)) + u"\n"),
              std::u16string::npos)
        << text::ToUtf8(outcome.notice->text);
}

// A media server that refuses whoever does not come from its page with its
// session, as many video sites do: the headers the video engine reported
// make aria2 welcome there.
TEST_F(Aria2Handoff, ReportedHeadersOpenADoorAPlainRequestFindsShut) {
    testing::LoopbackHttp media;
    media.server().set_keep_alive_max_count(1);
    media.server().Get("/clip.mp4", [](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Referer") != "http://page.test/watch?v=1" ||
            req.get_header_value("User-Agent") != "TesselTest/1.0" ||
            req.get_header_value("Cookie").find("sid=42") == std::string::npos) {
            res.status = 403;
            return;
        }
        res.set_content(std::string(MediaServer::kContent), "video/mp4");
    });
    media.Start();
    const MediaHeaders headers{"http://page.test/watch?v=1", "TesselTest/1.0", {"Cookie: sid=42"}};

    for (const bool withHeaders : {false, true}) {
        SCOPED_TRACE(withHeaders);
        const std::string name = withHeaders ? "with" : "without";
        Aria2Process aria2(dir_, "S3cret-token");
        HandoffRequest request{media.Url("/clip.mp4"), u"http://page.test/other", text::FromUtf8(name),
                               u"http://www.parse.test", aria2.Settings()};
        if (withHeaders) request.media = headers;
        Aria2ObjectFactory factory(request.aria2, request.media);
        ASSERT_EQ(RunHandoff(HandoffButton::skbFlvthunder, request, yes_, nothingInstalled_.Reader(), factory)
                      .status,
                  HandoffOutcome::Status::Sent);
        const json stopped = aria2.WaitForStopped();
        ASSERT_EQ(stopped.size(), 1u) << stopped.dump();
        EXPECT_EQ(stopped[0]["status"], withHeaders ? "complete" : "error") << stopped.dump();
        EXPECT_EQ(std::filesystem::exists(dir_ / (name + ".mp4")), withHeaders);
    }
}

// Several tasks in one request: each gets its own id or aria2's own refusal,
// and a refused one does not take the others down with it.
TEST_F(Aria2Handoff, MulticallAnswersEachTaskOnItsOwn) {
    Aria2Process aria2(dir_, "S3cret-token");
    MediaServer media;
    const Aria2MethodCall calls[] = {AddUriCall({media.Url(u"/视频.flv"), u"", u"one"}),
                                     {"aria2.addUri", json::array({json::array({"no-scheme"})})},
                                     AddUriCall({media.Url(u"/视频.flv"), u"", u"two"})};
    const std::vector<Aria2Reply> replies = Aria2Multicall(aria2.Settings(), calls);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].status, Aria2Status::Ok);
    EXPECT_TRUE(replies[0].result.is_string());
    EXPECT_EQ(replies[1].status, Aria2Status::Error);
    EXPECT_FALSE(replies[1].error.empty());
    EXPECT_EQ(replies[2].status, Aria2Status::Ok);
    EXPECT_NE(replies[0].result, replies[2].result);

    const std::vector<Aria2Reply> refused =
        Aria2Multicall(SettingsFor(aria2.port(), u"wrong"), std::span(calls, 1));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].status, Aria2Status::SecretRefused);
}

// Each address reaches the server as the bytes its source meant, and the
// file is saved under its name in Unicode: the request line a real aria2c
// sends, as the server reads it before any decoding.
TEST_F(Aria2Handoff, EveryAddressReachesTheServerAsTheBytesItsLinkCarried) {
    std::mutex mutex;
    std::vector<std::string> targets;
    testing::LoopbackHttp media;
    media.server().set_keep_alive_max_count(1);
    media.server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        targets.push_back(req.target);
        res.set_content(std::string(MediaServer::kContent), "application/octet-stream");
    });
    media.Start();
    const std::string base = text::ToUtf8(media.Url(u""));
    const std::u16string chinese = media.Url(u"/影视/电影 第1集.mp4");
    const auto utf8Thunder = [](std::u16string_view address) {
        return u"thunder://" + text::FromUtf8(links::Base64EncodeBytes("AA" + text::ToUtf8(address) + "ZZ")) +
               u"/";
    };
    const auto item = [](std::u16string_view text) { return *bridge::Aria2ItemFrom(text).task; };
    Aria2Task parsed{chinese, u"", u"片名"};  // the parse service's reply: GBK
    const struct {
        const char* name;
        Aria2Task task;
        std::string target;
        std::u16string file;
    } rows[] = {
        {"UTF-8 payload", item(utf8Thunder(chinese)),
         "/%E5%BD%B1%E8%A7%86/%E7%94%B5%E5%BD%B1%20%E7%AC%AC1%E9%9B%86.mp4", u"电影 第1集.mp4"},
        {"GBK payload", item(links::EncodeThunderLink(chinese)),
         "/%D3%B0%CA%D3/%B5%E7%D3%B0%20%B5%DA1%BC%AF.mp4", u"电影 第1集.mp4"},
        {"typed address", item(chinese), "/%E5%BD%B1%E8%A7%86/%E7%94%B5%E5%BD%B1%20%E7%AC%AC1%E9%9B%86.mp4",
         u"电影 第1集.mp4"},
        {"escapes kept", item(utf8Thunder(media.Url(u"/%E4%B8%AD%E6%96%87%E8%B5%84%E6%96%99.txt"))),
         "/%E4%B8%AD%E6%96%87%E8%B5%84%E6%96%99.txt", u"中文资料.txt"},
        {"parse service", parsed, "/%D3%B0%CA%D3/%B5%E7%D3%B0%20%B5%DA1%BC%AF.mp4", u"片名.mp4"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        {
            std::lock_guard lock(mutex);
            targets.clear();
        }
        Aria2Process aria2(dir_, "S3cret-token");
        SendToAria2(aria2.Settings(), row.task, u"test");
        const json stopped = aria2.WaitForStopped();
        ASSERT_EQ(stopped.size(), 1u);
        EXPECT_EQ(stopped[0]["status"], "complete") << stopped.dump();
        std::lock_guard lock(mutex);
        EXPECT_EQ(targets, std::vector<std::string>{row.target}) << base;
        EXPECT_TRUE(std::filesystem::exists(dir_ / text::ToUtf8(row.file)));
    }
}

// A magnet link wrapped in a thunder link becomes an aria2 task for its info
// hash (the metadata never arrives without a network, which is fine here).
TEST_F(Aria2Handoff, AWrappedMagnetBecomesATaskForItsInfoHash) {
    const std::u16string magnet =
        u"magnet:?xt=urn:btih:0123456789ABCDEF0123456789ABCDEF01234567&dn=%E7%94%B5%E5%BD%B1";
    Aria2Process aria2(dir_, "S3cret-token");
    const std::string gid =
        SendToAria2(aria2.Settings(), *bridge::Aria2ItemFrom(links::EncodeThunderLink(magnet)).task, u"test");
    const Aria2Reply status = aria2.Call("aria2.tellStatus", json::array({gid, json::array({"infoHash"})}));
    ASSERT_EQ(status.status, Aria2Status::Ok) << status.error;
    EXPECT_EQ(status.result["infoHash"], "0123456789abcdef0123456789abcdef01234567");
}

}  // namespace
}  // namespace tessel::handoff
