// SPDX-License-Identifier: GPL-3.0-or-later
// Servers that drip, lie about their length, reset or never finish: every
// request ends by its time limit, a cut-short reply is no reply, and a
// request can be ended from another thread.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "http_server.h"
#include "web/download.h"
#include "web/download_to_file.h"
#include "web/pick_code.h"

namespace tessel::web {
namespace {

using namespace std::chrono_literals;
using testsupport::LoopbackRaw;
namespace fs = std::filesystem;

constexpr Long kTimeOut = 5000;  // the silence the window's callers allow

// Headers one line every 3 s, without end (a minute at most).
void DripHeaders(int fd, const std::atomic<bool>& stopping) {
    LoopbackRaw::ReadRequestHead(fd);
    if (!LoopbackRaw::Send(fd, "HTTP/1.1 200 OK\r\n")) return;
    for (int i = 0; i < 20 && testsupport::PauseUnless(stopping, 3s); ++i) {
        if (!LoopbackRaw::Send(fd, "X-Drip: " + std::to_string(i) + "\r\n")) return;
    }
}

// A pick-code reply that promises 500 bytes and sends `sent`, then closes
// (orderly, or with a reset).
LoopbackRaw::Handler ShortReply(std::size_t sent, bool reset) {
    return [sent, reset](int fd, const std::atomic<bool>&) {
        LoopbackRaw::ReadRequestHead(fd);
        std::string body = R"({"state":true,"data":{"Url":"http:\/\/tel.test\/f"}})";
        body.resize(500, ' ');
        LoopbackRaw::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n" + body.substr(0, sent));
        if (reset) LoopbackRaw::Reset(fd);
    };
}

class RequestLimitsTest : public ::testing::Test {
 protected:
    testing::LocalServer server;
    testing::ScratchDir dir;
    std::string file = dir / "reply.ini";
    Cls_DownLoad cdf;
};

// Before the overall limit, a header line every 3 s kept the page fetcher
// waiting for a minute and then took the reply for a whole one.
TEST_F(RequestLimitsTest, HeadersDrippedEveryThreeSecondsEndAtTheDefaultLimit) {
    LoopbackRaw drip(DripHeaders);
    std::vector<Long> states;
    cdf.entDLFileStatus = [&](Long s) { states.push_back(s); };
    EXPECT_EQ(FetchReplyTextVia(cdf, drip.Url("/"), file, kTimeOut), std::nullopt);
    EXPECT_EQ(cdf.LastEnd(), FetchEnd::TimedOut);
    EXPECT_THAT(states, ::testing::ElementsAre(1, 2, 8, 6));
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(RequestLimitsTest, BodyDrippedByteBySecondEndsAtTheTimeLimit) {
    cdf.SetTimeLimit(1500ms);
    // 60 bytes at one a second: complete only after a minute.
    const Long got = cdf.DLFile(server.Url("/drip/60"), file, kTimeOut);
    EXPECT_GT(got, 0);
    EXPECT_LT(got, 60);
    EXPECT_EQ(cdf.LastEnd(), FetchEnd::TimedOut);
    EXPECT_EQ(DownloadToFile(server.Url("/drip/60"), file, {.timeout = 1500ms}), FetchEnd::TimedOut);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(RequestLimitsTest, TheTimeLimitCountsTheSameForEveryCall) {
    // A limit left at zero or below is the default, never "no limit".
    cdf.SetTimeLimit(0ms);
    EXPECT_EQ(cdf.DLFile(server.Url("/data/700"), file, kTimeOut), 700);
    EXPECT_EQ(cdf.LastEnd(), FetchEnd::Complete);
    EXPECT_EQ(DownloadToFile(server.Url("/data/700"), file, {.timeout = 0ms}), FetchEnd::Complete);
}

struct ShortCase {
    const char* name;
    std::size_t sent;
    bool reset;
};

class CutShortReplyTest : public RequestLimitsTest, public ::testing::WithParamInterface<ShortCase> {};

// Part of a pick-code reply read like a whole one: the boxes showed the
// addresses that happened to arrive and "no address" for the rest.
TEST_P(CutShortReplyTest, IsAFailedFetchThatChangesNoBox) {
    LoopbackRaw api(ShortReply(GetParam().sent, GetParam().reset));
    const ReplyFetch fetch = [&](const std::u16string& url) {
        return FetchReplyTextVia(cdf, url, file, kTimeOut);
    };
    const PickCodeResult r =
        ExtractPickCode(u"abc123", testsupport::LoopbackHttp::Widen(api.BaseText()), fetch);
    EXPECT_EQ(r.txtPickcode, u"abc123");
    EXPECT_EQ(r.txtTel, std::nullopt);
    EXPECT_EQ(r.txtCnc, std::nullopt);
    EXPECT_EQ(r.txtBak, std::nullopt);
    EXPECT_EQ(cdf.LastEnd(), FetchEnd::Broken);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_NE(DownloadToFile(api.Url("/"), file), FetchEnd::Complete);
    EXPECT_FALSE(fs::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Replies, CutShortReplyTest,
                         ::testing::Values(ShortCase{"LongerLengthThanBody", 120, false},
                                           ShortCase{"ResetMidBody", 120, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RequestLimitsTest, AWholeReplyStillReadsAfterTheChecks) {
    LoopbackRaw api(ShortReply(500, false));
    const std::optional<std::u16string> text = FetchReplyTextVia(cdf, api.Url("/"), file, kTimeOut);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(ReadPickCodeReply(*text).txtTel, u"http://tel.test/f");
    EXPECT_EQ(cdf.LastEnd(), FetchEnd::Complete);
}

// The window closing while a request runs raises the abort from its own
// thread; the request must give way promptly, wherever it is.
TEST_F(RequestLimitsTest, AbortFromAnotherThreadEndsEveryKindOfRequest) {
    for (const char* path : {"/mute", "/drip/60"}) {
        SCOPED_TRACE(path);
        RequestAbort abort;
        auto raiser = std::async(std::launch::async, [&] {
            std::this_thread::sleep_for(300ms);
            abort.Raise();
        });
        EXPECT_EQ(DownloadToFile(server.Url(path), file, {.abort = &abort}), FetchEnd::Aborted);
        raiser.wait();
        EXPECT_FALSE(fs::exists(file));
    }

    const struct {
        const char* path;
        std::vector<Long> states;
    } fetches[] = {{"/mute", {1, 2, 8, 6}}, {"/drip/60", {1, 2, 3, 4, 5, 6}}};
    for (const auto& f : fetches) {
        SCOPED_TRACE(f.path);
        RequestAbort abort;
        std::vector<Long> states;
        cdf.abortSignal = &abort;
        cdf.entDLFileStatus = [&](Long s) { states.push_back(s); };
        auto raiser = std::async(std::launch::async, [&] {
            std::this_thread::sleep_for(1300ms);
            abort.Raise();
        });
        cdf.DLFile(server.Url(f.path), file, kTimeOut);
        raiser.wait();
        EXPECT_EQ(cdf.LastEnd(), FetchEnd::Aborted);
        EXPECT_EQ(states, f.states);
    }
}

TEST_F(RequestLimitsTest, ARaisedAbortStartsNothing) {
    RequestAbort abort;
    abort.Raise();
    EXPECT_EQ(DownloadToFile(server.Url("/data/10"), file, {.abort = &abort}), FetchEnd::Aborted);
    cdf.abortSignal = &abort;
    EXPECT_EQ(cdf.DLFile(server.Url("/data/10"), file, kTimeOut), 0);
    EXPECT_EQ(cdf.LastEnd(), FetchEnd::Aborted);
    EXPECT_FALSE(fs::exists(file));

    abort.Clear();
    EXPECT_EQ(cdf.DLFile(server.Url("/data/10"), file, kTimeOut), 10);
}

}  // namespace
}  // namespace tessel::web
