// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_objects.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "handoff/handoff_command.h"
#include "support/table_rows.h"
#include "test_support.h"
#include "text/codepage.h"

namespace tessel::handoff {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// A JSON-RPC endpoint on loopback that answers like aria2 and keeps the requests.
class FakeAria2 {
 public:
    explicit FakeAria2(int status = 200,
                       std::string reply = R"({"id":"tessel","jsonrpc":"2.0","result":"2089b05e"})",
                       std::chrono::milliseconds delay = {}) {
        http_.server().Post("/jsonrpc", [=, this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(json::parse(req.body, nullptr, false));
            }
            std::this_thread::sleep_for(delay);
            res.status = status;
            res.set_content(reply, "application/json-rpc");
        });
        http_.Start();
    }
    std::vector<json> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    Aria2Settings Settings(std::u16string secret = u"s3cret") const {
        return {http_.Url(u"/jsonrpc"), std::move(secret)};
    }

 private:
    std::mutex mutex_;
    std::vector<json> requests_;
    testing::LoopbackHttp http_;  // last, so it stops before the rest goes
};

struct ObjectCall {
    std::u16string method;
    std::vector<Variant> args;
};

struct SendCase {
    const char* name;
    std::u16string_view progId;
    std::vector<ObjectCall> calls;
    std::u16string secret;
    json params;  // of the one aria2.addUri, or null when nothing may be sent
};
void PrintTo(const SendCase& c, std::ostream* os) { *os << c.name; }

class ReplacementObjects : public ::testing::TestWithParam<SendCase> {};

// Each replacement object turns its manager's arguments into one addUri:
// link (GBK escaped), title with the media's extension as "out" where the manager
// takes one, page as referer.
TEST_P(ReplacementObjects, HandTheTaskToAria2) {
    const SendCase& c = GetParam();
    FakeAria2 aria2;
    Aria2ObjectFactory factory(aria2.Settings(c.secret));
    {
        const auto object = CreateObject(factory, c.progId);
        for (const ObjectCall& call : c.calls) object->Invoke(call.method, call.args);
    }
    const auto requests = aria2.Requests();
    ASSERT_EQ(requests.size(), c.params.is_null() ? 0u : 1u);
    if (requests.empty()) return;
    EXPECT_EQ(requests[0]["method"], "aria2.addUri");
    EXPECT_EQ(requests[0]["params"], c.params);
}

const std::int16_t I0 = 0, I1 = 1, I3 = 3, M1 = -1;
const std::u16string L = u"http://v.test/视频 1.flv";
const std::string kSent = "http://v.test/%CA%D3%C6%B5%201.flv";
const std::u16string P = u"http://www.video.test/play/1.html";
const std::u16string C = u"Tessel V2 调用http://www.parse.test/解析";
const json kToken = "token:s3cret";
const json kReferer = {{"referer", "http://www.video.test/play/1.html"}};

INSTANTIATE_TEST_SUITE_P(
    Aria2, ReplacementObjects,
    ::testing::Values(
        SendCase{
            "ThunderCommitSends",
            kThunderAgentProgId,
            {{u"AddTask", {L, u"测试/视频", u"", C, P, M1, I0, M1}}, {u"CommitTasks2", {I1}}},
            u"s3cret",
            {kToken, {kSent}, {{"out", "测试_视频.flv"}, {"referer", "http://www.video.test/play/1.html"}}}},
        SendCase{"ThunderWithoutCommitSendsNothing",
                 kThunderAgentProgId,
                 {{u"AddTask", {L, u"t", u"", C, P, M1, I0, M1}}},
                 u"s3cret",
                 nullptr},
        SendCase{"NoSecretNoTitleNoPageMethodCaseIgnored",
                 kThunderAgentProgId,
                 {{u"addtask", {L, u"", u"", C, u"", M1, I0, M1}}, {u"COMMITTASKS2", {I1}}},
                 u"",
                 {{kSent}, json::object()}},
        SendCase{"FlashGetExSeven",
                 kFlashGetNetscapeExProgId,
                 {{u"AddUrlEx", {L, C, P, u"FlashGet3", u"", I0, I3}}},
                 u"s3cret",
                 {kToken, {kSent}, kReferer}},
        SendCase{"FlashGetMiniSix",
                 kFlashGetNetscapeProgId,
                 {{u"AddUrlEx", {L, C, P, u"FlashGetMini", kEmpty, I0}}},
                 u"s3cret",
                 {kToken, {kSent}, kReferer}},
        SendCase{"JetCar",
                 kJetCarNetscapeProgId,
                 {{u"AddUrl", {L, C, P}}},
                 u"s3cret",
                 {kToken, {kSent}, kReferer}},
        SendCase{
            "QqPageSecondTitleLast",
            kQqRightClickProgId,
            {{u"SendUrl4", {L, P, C, u"strCookie", I0, kEmpty, u"", u"", u"第1集"}}},
            u"s3cret",
            {kToken, {kSent}, {{"out", "第1集.flv"}, {"referer", "http://www.video.test/play/1.html"}}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The headers the video engine reported go with every task of the object,
// its referring page in place of the video page.
TEST(ReplacementObjectHeaders, GoWithEveryTask) {
    FakeAria2 aria2;
    const MediaHeaders headers{
        "https://www.v.test/", "Mozilla/5.0 Test", {"Cookie: sid=42", "Origin: https://v.test"}};
    Aria2ObjectFactory factory(aria2.Settings(u""), headers);
    {
        const auto object = CreateObject(factory, kThunderAgentProgId);
        object->Invoke(u"AddTask", std::vector<Variant>{L, u"", u"", C, P, M1, I0, M1});
        object->Invoke(u"AddTask", std::vector<Variant>{u"http://v.test/2", u"", u"", C, u"", M1, I0, M1});
        object->Invoke(u"CommitTasks2", std::vector<Variant>{I1});
    }
    const json options = {{"referer", "https://www.v.test/"},
                          {"user-agent", "Mozilla/5.0 Test"},
                          {"header", {"Cookie: sid=42", "Origin: https://v.test"}}};
    const auto requests = aria2.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]["params"], json({{kSent}, options}));
    EXPECT_EQ(requests[1]["params"], json({{"http://v.test/2"}, options}));
}

// Calls the real objects would refuse raise, and reach no aria2.
TEST(ReplacementObjectChecks, RaiseLikeTheRealObject) {
    const struct {
        std::u16string_view progId;
        std::u16string_view method;
        std::size_t argc;
        std::int32_t number;
    } cases[] = {{kThunderAgentProgId, u"AddTask", 7, kErrWrongArgumentCount},
                 {kThunderAgentProgId, u"CommitTasks2", 0, kErrWrongArgumentCount},
                 {kThunderAgentProgId, u"AddUrl", 3, kErrMethodNotSupported},
                 {kFlashGetNetscapeExProgId, u"AddUrlEx", 5, kErrWrongArgumentCount},
                 {kFlashGetNetscapeExProgId, u"AddUrlEx", 8, kErrWrongArgumentCount},
                 {kFlashGetNetscapeProgId, u"AddUrlEx", 7, kErrWrongArgumentCount},
                 {kJetCarNetscapeProgId, u"AddUrlEx", 3, kErrMethodNotSupported},
                 {kQqRightClickProgId, u"SendUrl4", 8, kErrWrongArgumentCount}};
    FakeAria2 aria2;
    Aria2ObjectFactory factory(aria2.Settings());
    for (const auto& c : cases) {
        const std::vector<Variant> args(c.argc, Variant(std::u16string(u"http://v.test/a")));
        try {
            CreateObject(factory, c.progId)->Invoke(c.method, args);
            ADD_FAILURE() << "no error from " << text::ToUtf8(c.method) << " with " << c.argc;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.Number(), c.number) << text::ToUtf8(c.method) << " with " << c.argc;
            EXPECT_EQ(e.Source(), c.progId);
        }
    }
    EXPECT_TRUE(aria2.Requests().empty());
    EXPECT_THROW(CreateObject(factory, u"Thunder.Agent"), AutomationError);
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
    FakeAria2 aria2(c.httpStatus, c.body);
    Aria2ObjectFactory factory(aria2.Settings());
    const Variant args[] = {std::u16string(u"http://v.test/a.flv"), std::u16string(u"c"),
                            std::u16string(u"p")};
    try {
        CreateObject(factory, kJetCarNetscapeProgId)->Invoke(u"AddUrl", args);
        ADD_FAILURE() << "no error raised";
    } catch (const Aria2Error& e) {
        EXPECT_EQ(e.Reply().status, c.status);
        const Notice notice = FailureNotice(e);
        EXPECT_EQ(notice.title, u"提示");
        EXPECT_NE(notice.text.find(c.says), std::u16string::npos) << text::ToUtf8(notice.text);
        EXPECT_NE(notice.text.find(Aria2StartCommand(aria2.Settings())), std::u16string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Aria2, Aria2Replies,
    ::testing::Values(
        ReplyCase{"Unauthorized", 400,
                  R"({"jsonrpc":"2.0","id":"tessel","error":{"code":1,"message":"Unauthorized"}})",
                  Aria2Status::SecretRefused, u"Aria2Secret"},
        ReplyCase{"Refused", 400,
                  R"({"jsonrpc":"2.0","id":"tessel","error":{"code":1,"message":"No URI to download."}})",
                  Aria2Status::Error, u"No URI to download."},
        ReplyCase{"ErrorWithOddTypes", 400, R"({"id":"tessel","error":{"code":"x","message":7}})",
                  Aria2Status::Error, u"aria2"},
        ReplyCase{"WebPage", 404, "<html>hello</html>", Aria2Status::NotAria2, u"HTTP 404"},
        ReplyCase{"ResultWithoutId", 200, R"({"id":"tessel","result":17})", Aria2Status::NotAria2,
                  u"任务编号"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Aria2Call, GivesUpAfterItsTimeOut) {
    FakeAria2 aria2(200, R"({"result":"late"})", 1500ms);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Aria2Call(aria2.Settings(), "aria2.getVersion", json::array(), 200ms).status,
              Aria2Status::NoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1400ms);
}

// Another program on aria2's port (a mail or SSH server, a raw socket) was
// reported as an invalid address, sending the user to fix a correct setting.
TEST(Aria2Call, AnswerThatIsNotHttpIsNoAnswerFromAria2) {
    for (const std::string_view answer : {"SSH-2.0-OpenSSH_9.2p1\r\n", "", "\x16\x03\x01garbage"}) {
        SCOPED_TRACE(std::string(answer));
        testsupport::LoopbackRaw other([answer](int fd, const std::atomic<bool>&) {
            testsupport::LoopbackRaw::ReadRequestHead(fd);
            testsupport::LoopbackRaw::Send(fd, answer);
        });
        const Aria2Reply reply = Aria2Call({text::FromUtf8(other.BaseText() + "/jsonrpc"), u""},
                                           "aria2.getVersion", json::array());
        EXPECT_EQ(reply.status, Aria2Status::NoAnswer);
        EXPECT_EQ(reply.error.find("地址无效"), std::string::npos) << reply.error;
    }
    for (const std::u16string_view bad : {u"ftp://127.0.0.1:6800/jsonrpc", u"http://[::1", u"http://"}) {
        const Aria2Reply reply = Aria2Call({std::u16string(bad), u""}, "aria2.getVersion", json::array());
        EXPECT_EQ(reply.status, Aria2Status::NoAnswer);
        EXPECT_EQ(reply.error, "地址无效") << text::ToUtf8(bad);
    }
}

TEST(Aria2Call, AddressWithoutSchemeIsHttp) {
    FakeAria2 aria2;
    Aria2Settings settings = aria2.Settings();
    settings.rpc = settings.rpc.substr(std::u16string_view(u"http://").size());
    EXPECT_EQ(Aria2Call(settings, "aria2.getVersion", json::array()).status, Aria2Status::Ok);
}

// A FIFO named as the certificate file held the call until something wrote
// to it, a huge file took seconds to load: neither reaches the TLS library.
TEST(Aria2Call, CertificateFileThatIsNoFileIsRefusedUnread) {
    const std::filesystem::path dir = testing::MakeTempDir("tessel-ca");
    const std::string fifo = (dir / "fifo.pem").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = (dir / "huge.pem").string();
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, kMaxAria2CaFileBytes + 1);
    const struct Row {
        std::string file;
        const char* says;
    } rows[] = {{fifo, "不是普通文件"},
                {dir.string(), "不是普通文件"},
                {"/dev/zero", "不是普通文件"},
                {huge, "超过 4 MiB"},
                {(dir / "missing.pem").string(), "无法读取"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const auto started = std::chrono::steady_clock::now();
        const Aria2Reply reply = Aria2Call({u"https://127.0.0.1:1/jsonrpc", u"", text::FromUtf8(row.file)},
                                           "aria2.getVersion", json::array(), 3000ms);
        EXPECT_EQ(reply.status, Aria2Status::Certificate);
        EXPECT_NE(reply.error.find(row.says), std::string::npos) << reply.error;
        EXPECT_NE(reply.error.find("Aria2CaFile"), std::string::npos) << reply.error;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1000ms);
    }
    std::filesystem::remove_all(dir);
}

TEST(Aria2StartCommand, MatchesTheSettings) {
    const std::u16string base = u"aria2c --enable-rpc --rpc-listen-all=false --rpc-listen-port=";
    const struct {
        Aria2Settings settings;
        std::u16string command;
    } cases[] = {
        {{}, base + u"6800"},
        {{u"http://localhost:7001/jsonrpc", u"abc123"}, base + u"7001 --rpc-secret=abc123"},
        {{u"http://127.0.0.1/jsonrpc", u"it's $x"}, base + u"80 --rpc-secret='it'\\''s $x'"},
        {{u"http://192.168.1.5:6800/jsonrpc", u""},
         u"aria2c --enable-rpc --rpc-listen-all=true --rpc-listen-port=6800"},
        {{u"https://127.0.0.1:6801/jsonrpc", u""},
         base + u"6801 --rpc-secure=true --rpc-certificate=<证书文件> --rpc-private-key=<私钥文件>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Aria2StartCommand(c.settings), c.command) << text::ToUtf8(c.settings.rpc);
}

TEST(EscapeLinkForAria2, NonAsciiGoesAsTheBytesOfItsCodePage) {
    using text::CodePage;
    const struct {
        std::u16string_view link;
        CodePage page;
        std::string_view sent;
    } cases[] = {
        {u"http://v.test/a.flv?x=1&y=%E4%B8%AD", CodePage::Gbk,
         "http://v.test/a.flv?x=1&y=%E4%B8%AD"},  // ASCII as it stands
        {u"http://v.test/视频.flv", CodePage::Gbk, "http://v.test/%CA%D3%C6%B5.flv"},
        {u"http://v.test/视频.flv", CodePage::Utf8, "http://v.test/%E8%A7%86%E9%A2%91.flv"},
        {u"http://v.test/%CA%D3 视频", CodePage::Utf8, "http://v.test/%CA%D3%20%E8%A7%86%E9%A2%91"},
        {u"http://v.test/a b\t.flv", CodePage::Gbk, "http://v.test/a%20b%09.flv"},
        {u"http://v.test/\u0E01", CodePage::Gbk,
         "http://v.test/%E0%B8%81"},  // not in GBK: UTF-8, never a "?"
        {u"http://v.test/\U0001F600", CodePage::Gbk, "http://v.test/%F0%9F%98%80"},
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeLinkForAria2(c.link, c.page), c.sent) << text::ToUtf8(c.link);
}

TEST(Aria2OutName, KeepsTheFileInsideTheDownloadFolder) {
    const TextRow cases[] = {
        {u"测试视频 第1集", u"测试视频 第1集"},
        {u"../../.bashrc", u".._.._.bashrc"},
        {u"..", u""},
        {u" . ", u""},
        {u"a\\b\nc", u"a_b_c"},
        {std::u16string(100, u'中'), std::u16string(80, u'中')},         // 240 UTF-8 bytes
        {std::u16string(239, u'a') + u"中", std::u16string(239, u'a')},  // never half a character
        {u"\u202Egpj.exe", u"gpj.exe"},  // shown as "exe.jpg" with the override
        {u"a\u2066b\u200Fc", u"abc"},
    };
    ExpectRows([](std::u16string_view title) { return Aria2OutName(title); }, cases);
}

// A name from a video title keeps the media's extension: yt-dlp's, else the
// address's; a title that has it already, in any case, keeps its own.
TEST(Aria2OutName, ANameFromATitleKeepsTheMediasExtension) {
    const struct {
        std::u16string link;
        std::string ext;
        std::u16string title;
        std::u16string out;
    } cases[] = {
        {u"http://v.test/media/a.mp4?sig=1", "", u"本地测试视频 第1集 (1)", u"本地测试视频 第1集 (1).mp4"},
        {u"https://cdn.test/videoplayback?id=9", "webm", u"Vol. 2", u"Vol. 2.webm"},
        {u"http://v.test/a.FLV", "", u"片名.flv", u"片名.flv"},
        {u"http://v.test/a.mp4", "", u"", u""},
        {u"http://v.test/a.12", "", u"片名", u"片名"},  // digits alone are no extension
        {u"http://v.test/dir.d/", "", u"片名", u"片名"},
        {u"http://v.test/a.mp4", "", std::u16string(100, u'中'), std::u16string(78, u'中') + u".mp4"},
    };
    for (const auto& c : cases) {
        Aria2Task task{c.link, u"", c.title};
        task.headers.ext = c.ext;
        EXPECT_EQ(Aria2OutNameOf(task), c.out) << text::ToUtf8(c.title);
    }
}

}  // namespace
}  // namespace tessel::handoff
