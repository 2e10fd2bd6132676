// SPDX-License-Identifier: GPL-3.0-or-later
// The plan of the aria2 the program starts for itself, and the multicall that
// hands it several tasks at once.
#include "handoff/aria2_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "handoff/aria2_rpc.h"
#include "support/table_rows.h"

namespace tessel::handoff {
namespace {

using nlohmann::json;

TEST(Aria2EngineTest, OnlyAnHttpLoopbackJsonrpcAddressIsOursToStart) {
    const TableRow<std::u16string_view, std::optional<int>> rows[] = {
        {u"", 6800},  // the default
        {u"http://127.0.0.1:6800/jsonrpc", 6800},
        {u" http://localhost:7000/jsonrpc ", 7000},
        {u"http://[::1]:6801/jsonrpc", 6801},
        {u"127.0.0.2:6802/jsonrpc", 6802},
        {u"http://127.0.0.1/jsonrpc", 80},
        {u"https://127.0.0.1:6800/jsonrpc", std::nullopt},  // we have no certificate to give it
        {u"http://192.168.1.5:6800/jsonrpc", std::nullopt},
        {u"http://nas.local:6800/jsonrpc", std::nullopt},
        {u"http://127.0.0.1:6800/rpc", std::nullopt},  // aria2 answers nowhere else
        {u"http://user@127.0.0.1:6800/jsonrpc", std::nullopt},
        {u"ws://127.0.0.1:6800/jsonrpc", std::nullopt},
        {u"::::", std::nullopt},
    };
    ExpectRows(OwnEnginePort, rows);
    EXPECT_EQ(RpcWithPort(u"http://127.0.0.1:6800/jsonrpc", 41234), u"http://127.0.0.1:41234/jsonrpc");
    EXPECT_EQ(RpcWithPort(u"", 41234), u"http://127.0.0.1:41234/jsonrpc");
    EXPECT_EQ(RpcWithPort(u"http://localhost/jsonrpc", 7), u"http://localhost:7/jsonrpc");
}

TEST(Aria2EngineTest, StartModeIsAutoUnlessNever) {
    EXPECT_EQ(ParseAria2Start(u""), Aria2StartMode::Auto);
    EXPECT_EQ(ParseAria2Start(u"auto"), Aria2StartMode::Auto);
    EXPECT_EQ(ParseAria2Start(u"nonsense"), Aria2StartMode::Auto);
    EXPECT_EQ(ParseAria2Start(u" Never "), Aria2StartMode::Never);
}

TEST(Aria2EngineTest, DownloadFolderIsTheSettingThenXdgThenDownloads) {
    const std::string home = "/home/u";
    const struct {
        const char* name;
        std::string_view userDirs;
        std::u16string_view setting;
        std::string path;
        DownloadFolder::Source source;
    } rows[] = {
        {"chinese desktop", "# comment\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOWNLOAD_DIR=\"$HOME/下载\"\n",
         u"", "/home/u/下载", DownloadFolder::Source::Xdg},
        {"absolute, escaped quote", "XDG_DOWNLOAD_DIR=\"/data/my \\\"dl\\\"/\"", u"", "/data/my \"dl\"",
         DownloadFolder::Source::Xdg},
        {"last line wins", "XDG_DOWNLOAD_DIR=\"$HOME/a\"\nXDG_DOWNLOAD_DIR=\"$HOME/b\"", u"", "/home/u/b",
         DownloadFolder::Source::Xdg},
        {"home means switched off", "XDG_DOWNLOAD_DIR=\"$HOME/\"", u"", "/home/u/Downloads",
         DownloadFolder::Source::Fallback},
        {"relative is ignored", "XDG_DOWNLOAD_DIR=\"dl\"", u"", "/home/u/Downloads",
         DownloadFolder::Source::Fallback},
        {"unquoted is ignored", "XDG_DOWNLOAD_DIR=$HOME/dl", u"", "/home/u/Downloads",
         DownloadFolder::Source::Fallback},
        {"no file", "", u"", "/home/u/Downloads", DownloadFolder::Source::Fallback},
        {"setting first", "XDG_DOWNLOAD_DIR=\"$HOME/下载\"", u" ~/视频/ ", "/home/u/视频",
         DownloadFolder::Source::Setting},
        {"absolute setting", "", u"/mnt/d", "/mnt/d", DownloadFolder::Source::Setting},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const DownloadFolder f = ChooseDownloadFolder(r.setting, XdgDownloadDir(r.userDirs, home), home);
        EXPECT_EQ(f.path, r.path);
        EXPECT_EQ(f.source, r.source);
    }
    EXPECT_EQ(EngineStateFolder("", home), "/home/u/.local/state/tessel");
    EXPECT_EQ(EngineStateFolder("relative", home), "/home/u/.local/state/tessel");
    EXPECT_EQ(EngineStateFolder("/s/", home), "/s/tessel");
}

TEST(Aria2EngineTest, SessionFileIsEmptyUnfinishedOrDamaged) {
    const struct {
        const char* name;
        std::string text;
        SessionState state;
    } rows[] = {
        {"nothing", "", SessionState::Empty},
        {"blank lines", "\n\n", SessionState::Empty},
        {"one task", "http://h/a.bin\n gid=2089b05ecca3d829\n dir=/home/u/下载\n out=你好.bin\n",
         SessionState::Unfinished},
        {"mirrors and crlf", "http://a/x\thttp://b/x\r\n gid=1\r\n", SessionState::Unfinished},
        {"option before any task", " gid=1\nhttp://h/a\n", SessionState::Damaged},
        {"option without a name", "http://h/a\n =x\n", SessionState::Damaged},
        {"option without =", "http://h/a\n gid\n", SessionState::Damaged},
        {"binary", std::string("http://h/a\n\0\x01\x02", 14), SessionState::Damaged},
        {"not utf-8", "http://h/\xff\xfe\n", SessionState::Damaged},
        {"control character", "http://h/a\x1b[2J\n", SessionState::Damaged},
        {"too large", std::string(kMaxSessionBytes + 1, 'a'), SessionState::Damaged},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(CheckSession(r.text), r.state);
    }
}

TEST(Aria2EngineTest, PlanKeepsTheSecretOffTheCommandLine) {
    const unsigned char random[kSecretBytes] = {0x00, 0x01, 0xab, 0xff, 1, 2,  3,  4,
                                                5,    6,    7,    8,    9, 10, 11, 12};
    const std::string secret = SecretFromRandom(random);
    EXPECT_EQ(secret, "0001abff0102030405060708090a0b0c");
    EXPECT_EQ(SecretFromRandom(std::span(random, kSecretBytes - 1)), "");

    EngineInput in;
    in.port = 6800;
    in.secret = secret;
    in.downloadFolder = "/home/u/下载";
    in.sessionFile = "/home/u/.local/state/tessel/aria2.session";
    in.confFile = "/run/user/1000/tessel/aria2.conf";
    in.ownerPid = 4242;
    for (const bool resume : {false, true}) {
        SCOPED_TRACE(resume);
        in.resume = resume;
        const EnginePlan plan = PlanEngine(in);
        const auto& a = plan.arguments;
        const auto has = [&a](const std::string& arg) {
            return std::find(a.begin(), a.end(), arg) != a.end();
        };
        for (const char* arg :
             {"--conf-path=/run/user/1000/tessel/aria2.conf", "--enable-rpc=true", "--rpc-listen-all=false",
              "--rpc-listen-port=6800", "--dir=/home/u/下载", "--continue=true",
              "--save-session=/home/u/.local/state/tessel/aria2.session", "--stop-with-process=4242"}) {
            EXPECT_TRUE(has(arg)) << arg;
        }
        EXPECT_EQ(has("--input-file=/home/u/.local/state/tessel/aria2.session"), resume);
        for (const std::string& arg : a) EXPECT_EQ(arg.find(secret), std::string::npos) << arg;
        EXPECT_NE(plan.confText.find("\nrpc-secret=" + secret + "\n"), std::string::npos);
    }
    EXPECT_TRUE(IsUsableOwnSecret(u"s3cret"));
    for (std::u16string_view bad : {u"", u"a\nrpc-listen-all=true", u" padded", u"tab\there"})
        EXPECT_FALSE(IsUsableOwnSecret(bad));
}

TEST(Aria2MulticallTest, EachCallCarriesTheTokenAndEachAnswerComesBackInOrder) {
    const Aria2MethodCall calls[] = {{"aria2.addUri", json::array({json::array({"http://h/a"})})},
                                     {"aria2.addUri", json::array({json::array({"bad"})})}};
    EXPECT_EQ(Aria2MulticallParams(u"s", calls),
              json::parse(R"([[{"methodName":"aria2.addUri","params":["token:s",["http://h/a"]]},
                               {"methodName":"aria2.addUri","params":["token:s",["bad"]]}]])"));
    EXPECT_EQ(Aria2MulticallParams(u"", calls)[0][0]["params"], json::parse(R"([["http://h/a"]])"));

    Aria2Reply whole;
    whole.status = Aria2Status::Ok;
    whole.result = json::parse(R"([["2089b05e"], {"code":1,"message":"No URI to download."}])");
    std::vector<Aria2Reply> each = ReadMulticallReply(whole, 2);
    ASSERT_EQ(each.size(), 2u);
    EXPECT_EQ(each[0].status, Aria2Status::Ok);
    EXPECT_EQ(each[0].result, "2089b05e");
    EXPECT_EQ(each[1].status, Aria2Status::Error);
    EXPECT_EQ(each[1].error, "No URI to download.");

    whole.result = json::parse(R"([{"code":1,"message":"Unauthorized"}, 7])");
    each = ReadMulticallReply(whole, 2);
    EXPECT_EQ(each[0].status, Aria2Status::SecretRefused);
    EXPECT_EQ(each[1].status, Aria2Status::NotAria2);

    EXPECT_EQ(ReadMulticallReply(whole, 3)[2].status, Aria2Status::NotAria2);  // count differs
    whole.status = Aria2Status::NoAnswer;
    EXPECT_EQ(ReadMulticallReply(whole, 2)[1].status, Aria2Status::NoAnswer);
}

}  // namespace
}  // namespace tessel::handoff
