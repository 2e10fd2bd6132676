// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_objects.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <mutex>
#include <thread>

#include "handoff/handoff_command.h"
#include "text/codepage.h"

namespace tessel::handoff {
namespace {

using nlohmann::json;

// A JSON-RPC endpoint on loopback that answers like aria2 and keeps the requests.
class FakeAria2 {
public:
    FakeAria2() {
        server_.Post("/jsonrpc", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            requests_.push_back(json::parse(req.body, nullptr, false));
            if (delay_.count() > 0) std::this_thread::sleep_for(delay_);
            res.status = status_;
            res.set_content(reply_, "application/json-rpc");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~FakeAria2() {
        server_.stop();
        thread_.join();
    }

    void Answer(int status, std::string body, std::chrono::milliseconds delay = {}) {
        std::lock_guard lock(mutex_);
        status_ = status;
        reply_ = std::move(body);
        delay_ = delay;
    }
    std::vector<json> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    Aria2Settings Settings(std::u16string secret = u"s3cret") const {
        return Aria2Settings{u"http://127.0.0.1:" + text::FromUtf8(std::to_string(port_)) + u"/jsonrpc",
                             std::move(secret)};
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<json> requests_;
    int status_ = 200;
    std::string reply_ = R"({"id":"tessel","jsonrpc":"2.0","result":"2089b05ecca3d829"})";
    std::chrono::milliseconds delay_{};
};

const std::int16_t I0 = 0, I1 = 1, I3 = 3, IMinus1 = -1;

struct ObjectCall {
    std::u16string method;
    std::vector<Variant> args;
};

struct SendCase {
    const char* name;
    std::u16string_view progId;
    std::vector<ObjectCall> calls;
    std::u16string secret;
    json expectedParams;  // of the one aria2.addUri, or null when nothing is sent
};
void PrintTo(const SendCase& c, std::ostream* os) { *os << c.name; }

class ReplacementObjects : public ::testing::TestWithParam<SendCase> {};

// Each replacement object turns its manager's arguments into one addUri:
// link (GBK escaped), title as "out" where the manager takes one, page as referer.
TEST_P(ReplacementObjects, HandTheTaskToAria2) {
    const SendCase& c = GetParam();
    FakeAria2 aria2;
    Aria2ObjectFactory factory(aria2.Settings(c.secret));
    {
        const auto object = CreateObject(factory, c.progId);
        for (const ObjectCall& call : c.calls) object->Invoke(call.method, call.args);
    }
    const auto requests = aria2.Requests();
    if (c.expectedParams.is_null()) {
        EXPECT_TRUE(requests.empty());
        return;
    }
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["jsonrpc"], "2.0");
    EXPECT_EQ(requests[0]["method"], "aria2.addUri");
    EXPECT_EQ(requests[0]["params"], c.expectedParams);
}

const std::u16string kLink = u"http://v.test/视频 1.flv";
const std::string kLinkSent = "http://v.test/%CA%D3%C6%B5%201.flv";
const std::u16string kPage = u"http://www.video.test/play/123.html";
const std::u16string kComment = u"Tessel V2 调用http://www.parse.test/解析";

INSTANTIATE_TEST_SUITE_P(
    Aria2, ReplacementObjects,
    ::testing::Values(
        SendCase{"ThunderCommitSends",
                 kThunderAgentProgId,
                 {{u"AddTask", {kLink, u"测试/视频", u"", kComment, kPage, IMinus1, I0, IMinus1}},
                  {u"CommitTasks2", {I1}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}),
                              {{"out", "测试_视频"}, {"referer", "http://www.video.test/play/123.html"}}})},
        SendCase{"ThunderWithoutCommitSendsNothing",
                 kThunderAgentProgId,
                 {{u"AddTask", {kLink, u"t", u"", kComment, kPage, IMinus1, I0, IMinus1}}},
                 u"s3cret",
                 nullptr},
        SendCase{"ThunderNoSecretNoTitleNoPage",
                 kThunderAgentProgId,
                 {{u"addtask", {kLink, u"", u"", kComment, u"", IMinus1, I0, IMinus1}}, {u"COMMITTASKS2", {I1}}},
                 u"",
                 json::array({json::array({kLinkSent}), json::object()})},
        SendCase{"FlashGetExSeven",
                 kFlashGetNetscapeExProgId,
                 {{u"AddUrlEx", {kLink, kComment, kPage, u"FlashGet3", u"", I0, I3}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}), {{"referer", "http://www.video.test/play/123.html"}}})},
        SendCase{"FlashGetExSix",
                 kFlashGetNetscapeExProgId,
                 {{u"AddUrlEx", {kLink, kComment, kPage, u"FlashGet", kEmpty, I0}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}), {{"referer", "http://www.video.test/play/123.html"}}})},
        SendCase{"FlashGetMini",
                 kFlashGetNetscapeProgId,
                 {{u"AddUrlEx", {kLink, kComment, kPage, u"FlashGetMini", kEmpty, I0}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}), {{"referer", "http://www.video.test/play/123.html"}}})},
        SendCase{"JetCar",
                 kJetCarNetscapeProgId,
                 {{u"AddUrl", {kLink, kComment, u"http://页面.test/"}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}), {{"referer", "http://%D2%B3%C3%E6.test/"}}})},
        SendCase{"QqUnusableTitleSendsNoOut",
                 kQqRightClickProgId,
                 {{u"SendUrl4", {kLink, kPage, kComment, u"strCookie", I0, kEmpty, u"", u"", u"  ..  "}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}), {{"referer", "http://www.video.test/play/123.html"}}})},
        SendCase{"QqTitle",
                 kQqRightClickProgId,
                 {{u"SendUrl4", {kLink, kPage, kComment, u"strCookie", I0, kEmpty, u"", u"", u"第1集"}}},
                 u"s3cret",
                 json::array({"token:s3cret", json::array({kLinkSent}),
                              {{"out", "第1集"}, {"referer", "http://www.video.test/play/123.html"}}})}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCall {
    const char* name;
    std::u16string_view progId;
    std::u16string_view method;
    std::size_t argc;
    std::int32_t number;
};
void PrintTo(const BadCall& c, std::ostream* os) { *os << c.name; }

class ReplacementObjectChecks : public ::testing::TestWithParam<BadCall> {};

// Calls the real objects would refuse raise, and reach no aria2.
TEST_P(ReplacementObjectChecks, RaiseLikeTheRealObject) {
    const BadCall& c = GetParam();
    FakeAria2 aria2;
    Aria2ObjectFactory factory(aria2.Settings());
    const std::vector<Variant> args(c.argc, Variant(std::u16string(u"http://v.test/a")));
    try {
        CreateObject(factory, c.progId)->Invoke(c.method, args);
        ADD_FAILURE() << "no error raised";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.source(), c.progId);
    }
    EXPECT_TRUE(aria2.Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Aria2, ReplacementObjectChecks,
    ::testing::Values(BadCall{"AddTaskSeven", kThunderAgentProgId, u"AddTask", 7, kErrWrongArgumentCount},
                      BadCall{"AddTaskNine", kThunderAgentProgId, u"AddTask", 9, kErrWrongArgumentCount},
                      BadCall{"CommitNone", kThunderAgentProgId, u"CommitTasks2", 0, kErrWrongArgumentCount},
                      BadCall{"ThunderAddUrl", kThunderAgentProgId, u"AddUrl", 3, kErrMethodNotSupported},
                      BadCall{"ExFive", kFlashGetNetscapeExProgId, u"AddUrlEx", 5, kErrWrongArgumentCount},
                      BadCall{"ExEight", kFlashGetNetscapeExProgId, u"AddUrlEx", 8, kErrWrongArgumentCount},
                      BadCall{"MiniSeven", kFlashGetNetscapeProgId, u"AddUrlEx", 7, kErrWrongArgumentCount},
                      BadCall{"JetCarAddUrlEx", kJetCarNetscapeProgId, u"AddUrlEx", 3, kErrMethodNotSupported},
                      BadCall{"JetCarFour", kJetCarNetscapeProgId, u"AddUrl", 4, kErrWrongArgumentCount},
                      BadCall{"QqEight", kQqRightClickProgId, u"SendUrl4", 8, kErrWrongArgumentCount},
                      BadCall{"QqSendUrl", kQqRightClickProgId, u"SendUrl", 9, kErrMethodNotSupported}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Aria2ObjectFactory, KnowsOnlyTheFiveIdentifiers) {
    Aria2ObjectFactory factory({});
    try {
        CreateObject(factory, u"Thunder.Agent");
        ADD_FAILURE() << "created an unknown object";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), kErrCannotCreateObject);
    }
    EXPECT_NE(factory.Create(u"thunderagent.agent"), nullptr);  // identifiers ignore case
}

struct ReplyCase {
    const char* name;
    int httpStatus;
    std::string body;
    Aria2Status status;
    std::u16string_view says;  // a piece the message must hold
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class Aria2Replies : public ::testing::TestWithParam<ReplyCase> {};

// What aria2 answers decides the message; each says how to start aria2 for
// the configured port and secret.
TEST_P(Aria2Replies, BecomeAMessage) {
    const ReplyCase& c = GetParam();
    FakeAria2 aria2;
    aria2.Answer(c.httpStatus, c.body);
    const Aria2Settings settings = aria2.Settings(u"s3cret");
    Aria2ObjectFactory factory(settings);
    const Variant args[] = {std::u16string(u"http://v.test/a.flv"), std::u16string(u"c"), std::u16string(u"p")};
    try {
        CreateObject(factory, kJetCarNetscapeProgId)->Invoke(u"AddUrl", args);
        ADD_FAILURE() << "no error raised";
    } catch (const Aria2Error& e) {
        EXPECT_EQ(e.reply().status, c.status);
        const Notice notice = FailureNotice(e);
        EXPECT_EQ(notice.title, u"提示");
        EXPECT_NE(notice.text.find(c.says), std::u16string::npos) << text::ToUtf8(notice.text);
        EXPECT_NE(notice.text.find(Aria2StartCommand(settings)), std::u16string::npos) << text::ToUtf8(notice.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Aria2, Aria2Replies,
    ::testing::Values(
        ReplyCase{"Unauthorized", 400, R"({"id":"tessel","jsonrpc":"2.0","error":{"code":1,"message":"Unauthorized"}})",
                  Aria2Status::SecretRefused, u"Aria2Secret"},
        ReplyCase{"Refused", 400,
                  R"({"id":"tessel","jsonrpc":"2.0","error":{"code":1,"message":"No URI to download."}})",
                  Aria2Status::Error, u"No URI to download."},
        ReplyCase{"ErrorWithOddTypes", 400, R"({"error":{"code":"x","message":7}})", Aria2Status::Error, u"aria2"},
        ReplyCase{"WebPage", 200, "<html>hello</html>", Aria2Status::NotAria2, u"Aria2Rpc"},
        ReplyCase{"NotFound", 404, "", Aria2Status::NotAria2, u"HTTP 404"},
        ReplyCase{"ResultWithoutId", 200, R"({"id":"tessel","jsonrpc":"2.0","result":17})", Aria2Status::NotAria2,
                  u"任务编号"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Aria2Call, GivesUpAfterItsTimeOut) {
    FakeAria2 aria2;
    aria2.Answer(200, R"({"result":"late"})", std::chrono::milliseconds(1500));
    const auto started = std::chrono::steady_clock::now();
    const Aria2Reply reply = Aria2Call(aria2.Settings(), "aria2.getVersion", json::array(), std::chrono::milliseconds(200));
    EXPECT_EQ(reply.status, Aria2Status::NoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1400));
}

struct CommandCase {
    const char* name;
    Aria2Settings settings;
    std::u16string_view command;
};
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class StartCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(StartCommand, MatchesTheSettings) { EXPECT_EQ(Aria2StartCommand(GetParam().settings), GetParam().command); }

INSTANTIATE_TEST_SUITE_P(
    Aria2, StartCommand,
    ::testing::Values(
        CommandCase{"Default", {}, u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=6800"},
        CommandCase{"EmptyAddressIsDefault", {u"", u""}, u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=6800"},
        CommandCase{"PortAndSecret",
                    {u"http://localhost:7001/jsonrpc", u"abc123"},
                    u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=7001 --rpc-secret=abc123"},
        CommandCase{"SecretQuotedForTheShell",
                    {u"http://127.0.0.1:6800/jsonrpc", u"it's $x"},
                    u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=6800 --rpc-secret='it'\\''s $x'"},
        CommandCase{"NoPortMeansHttpPort", {u"http://127.0.0.1/jsonrpc", u""},
                    u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=80"},
        CommandCase{"OtherMachineListensOnAll", {u"http://192.168.1.5:6800/jsonrpc", u""},
                    u"aria2c --enable-rpc --rpc-listen-all=true --rpc-listen-port=6800"},
        CommandCase{"Https",
                    {u"https://127.0.0.1:6801/jsonrpc", u""},
                    u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=6801 --rpc-secure=true "
                    u"--rpc-certificate=<证书文件> --rpc-private-key=<私钥文件>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EscapeLinkForAria2, GbkBytesOfNonAsciiAreEscaped) {
    const struct {
        std::u16string_view link;
        std::string_view sent;
    } cases[] = {
        {u"http://v.test/a.flv?x=1&y=%E4%B8%AD", "http://v.test/a.flv?x=1&y=%E4%B8%AD"},  // ASCII as it stands
        {u"http://v.test/视频.flv", "http://v.test/%CA%D3%C6%B5.flv"},
        {u"http://v.test/a b\t.flv", "http://v.test/a%20b%09.flv"},
        {u"http://v.test/\u0E01", "http://v.test/%E0%B8%81"},  // not in GBK: UTF-8, never a "?"
        {u"http://v.test/\U0001F600", "http://v.test/%F0%9F%98%80"},
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeLinkForAria2(c.link), c.sent) << text::ToUtf8(c.link);
}

TEST(Aria2OutName, KeepsTheFileInsideTheDownloadFolder) {
    const struct {
        std::u16string_view title;
        std::u16string_view out;
    } cases[] = {
        {u"测试视频 第1集", u"测试视频 第1集"}, {u"../../.bashrc", u".._.._.bashrc"}, {u"..", u""},
        {u" . ", u""},                            {u"a\\b\nc", u"a_b_c"},          {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(Aria2OutName(c.title), c.out) << text::ToUtf8(c.title);

    // Cut to 240 UTF-8 bytes at a character boundary.
    EXPECT_EQ(Aria2OutName(std::u16string(100, u'中')), std::u16string(80, u'中'));
    EXPECT_EQ(Aria2OutName(std::u16string(239, u'a') + u"中"), std::u16string(239, u'a'));
}

}  // namespace
}  // namespace tessel::handoff
