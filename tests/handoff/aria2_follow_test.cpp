// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_follow.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace tessel::handoff {
namespace {

using nlohmann::json;
using State = Aria2TaskStatus::State;

TEST(Aria2Follow, WebSocketAddressKeepsHostPortAndPath) {
    EXPECT_EQ(Aria2WsAddress(u"http://127.0.0.1:6800/jsonrpc"), "ws://127.0.0.1:6800/jsonrpc");
    EXPECT_EQ(Aria2WsAddress(u"HTTPS://nas.local:6801/jsonrpc"), "wss://nas.local:6801/jsonrpc");
    EXPECT_EQ(Aria2WsAddress(u"ftp://x/jsonrpc"), "");
    EXPECT_EQ(Aria2WsAddress(u"127.0.0.1:6800"), "");
}

TEST(Aria2Follow, MessagesAreNotificationsAnswersOrIgnored) {
    const Aria2Message done = ParseAria2Message(
        R"({"jsonrpc":"2.0","method":"aria2.onDownloadComplete","params":[{"gid":"2089b05e"}]})");
    EXPECT_EQ(done.kind, Aria2Message::Kind::Notification);
    EXPECT_EQ(done.event, Aria2Event::Complete);
    EXPECT_EQ(done.gid, "2089b05e");
    EXPECT_EQ(ParseAria2Message(R"({"method":"aria2.onDownloadError","params":[{"gid":"a"}]})").event,
              Aria2Event::Error);

    const Aria2Message answer = ParseAria2Message(R"({"id":7,"jsonrpc":"2.0","result":[1,2]})");
    EXPECT_EQ(answer.kind, Aria2Message::Kind::Answer);
    EXPECT_EQ(answer.id, 7u);
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.result, "[1,2]");
    const Aria2Message refused = ParseAria2Message(R"({"id":8,"error":{"code":1,"message":"Unauthorized"}})");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "Unauthorized");

    // Whatever else a peer sends is dropped, never raised.
    for (const char* junk : {"", "not json", "[]", R"({"method":"aria2.onDownloadComplete","params":[]})",
                             R"({"method":"aria2.onDownloadComplete","params":[{"gid":5}]})",
                             R"({"method":"other","params":[{"gid":"a"}]})", R"({"id":"tessel","result":1})",
                             R"({"id":-1,"result":1})"})
        EXPECT_EQ(ParseAria2Message(junk).kind, Aria2Message::Kind::Unknown) << junk;
    const std::string deep =
        R"({"id":1,"result":)" + std::string(200000, '[') + std::string(200000, ']') + "}";
    EXPECT_EQ(ParseAria2Message(deep).kind, Aria2Message::Kind::Unknown) << "nested too deep for aria2";
}

TEST(Aria2Follow, RequestsCarryTheTokenInEveryCall) {
    const json one = json::parse(Aria2Request(3, "aria2.getVersion", u"s3cret", "[]"));
    EXPECT_EQ(one["id"], 3);
    EXPECT_EQ(one["params"], json::array({"token:s3cret"}));
    EXPECT_EQ(json::parse(Aria2Request(4, "aria2.tellActive", u"", "[]"))["params"], json::array());

    const json multi = json::parse(Aria2StatusRequest(5, u"s", {"a", "b"}));
    EXPECT_EQ(multi["method"], "system.multicall");
    ASSERT_EQ(multi["params"][0].size(), 2u);
    EXPECT_EQ(multi["params"][0][1]["methodName"], "aria2.tellStatus");
    EXPECT_EQ(multi["params"][0][1]["params"][0], "token:s");
    EXPECT_EQ(multi["params"][0][1]["params"][1], "b");
}

TEST(Aria2Follow, StatusAnswersKeepTheirOrderAndMarkUnknownTasks) {
    const auto answers = ParseStatusAnswers(
        R"([[{"gid":"a","status":"active","totalLength":"200","completedLength":"50",
              "files":[{"path":"/home/u/下载/a.iso"}]}],
            {"code":1,"message":"GID b is not found"},
            [{"gid":"c","status":"error","errorCode":"3","errorMessage":"Resource not found","files":[]}]])",
        3);
    ASSERT_EQ(answers.size(), 3u);
    ASSERT_TRUE(answers[0]);
    EXPECT_EQ(answers[0]->state, State::Active);
    EXPECT_EQ(answers[0]->total, 200u);
    EXPECT_EQ(answers[0]->completed, 50u);
    EXPECT_EQ(answers[0]->path, "/home/u/下载/a.iso");
    EXPECT_FALSE(answers[1]);
    ASSERT_TRUE(answers[2]);
    EXPECT_EQ(answers[2]->errorMessage, "Resource not found");
    EXPECT_TRUE(ParseStatusAnswers("[[{}]]", 2).empty()) << "a count that does not match is no answer";
    EXPECT_EQ(ParseTaskStatus(R"({"status":"paused","totalLength":"-5"})")->total, 0u);
}

TEST(Aria2Follow, OnlyEndedTasksAreToldAndWithTheNameAria2Used) {
    Aria2TaskStatus s;
    s.state = State::Active;
    EXPECT_FALSE(EndOfTask(s, u"a.iso"));
    s.state = State::Removed;  // the user removed it, in another program
    EXPECT_FALSE(EndOfTask(s, u"a.iso"));

    s.state = State::Complete;
    s.path = "/home/u/下载/a.1.iso";  // renamed: a.iso was there already
    const auto done = EndOfTask(s, u"a.iso");
    ASSERT_TRUE(done);
    EXPECT_EQ(done->summary, u"下载完成");
    EXPECT_EQ(done->body, u"a.1.iso");
    EXPECT_EQ(done->file, s.path);
    s.followedBy = {"d"};
    EXPECT_FALSE(EndOfTask(s, u"x.torrent")) << "metadata that started the real download";

    Aria2TaskStatus failed;
    failed.state = State::Error;
    failed.errorMessage = "The response status is not successful. status=404";
    const auto told = EndOfTask(failed, u"missing.bin");
    ASSERT_TRUE(told);
    EXPECT_EQ(told->summary, u"下载失败");
    EXPECT_EQ(told->body, u"missing.bin\nThe response status is not successful. status=404");
    EXPECT_EQ(told->file, "");
}

TEST(Aria2Follow, FileNames) {
    EXPECT_EQ(FileNameOf(u"/home/u/下载/电影.mp4"), u"电影.mp4");
    EXPECT_EQ(FileNameOf(u"http://h/a/%E5%BD%B1.mp4?x=1#y"), u"%E5%BD%B1.mp4");
    EXPECT_EQ(FileNameOf(u"http://h/dir/"), u"dir");
    EXPECT_EQ(FileNameOf(u""), u"");
}

TEST(Aria2Follow, ProgressCountsTasksAndKnownBytes) {
    EXPECT_EQ(ProgressText(u"Tessel V2", {{200, 50}, {200, 130}}), u"Tessel V2 \u2014 2 个下载 45%");
    EXPECT_EQ(ProgressText(u"Tessel V2", {{0, 10}}), u"Tessel V2 \u2014 1 个下载") << "no size known yet";
    EXPECT_EQ(ProgressText(u"Tessel V2", {{100, 0}, {0, 999}}), u"Tessel V2 \u2014 2 个下载 0%");
    EXPECT_EQ(ProgressText(u"T", {{3, 2}}), u"T \u2014 1 个下载 66%")
        << "rounded down, 100 % only at the end";
}

TEST(Aria2Follow, RetriesBackOffToFiveMinutes) {
    EXPECT_EQ(RetryDelay(1).count(), 2);
    EXPECT_EQ(RetryDelay(2).count(), 4);
    EXPECT_EQ(RetryDelay(8).count(), 256);
    EXPECT_EQ(RetryDelay(9).count(), 300);
    EXPECT_EQ(RetryDelay(1000).count(), 300);
}

}  // namespace
}  // namespace tessel::handoff
