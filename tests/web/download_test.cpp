// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "http_server.h"

namespace tessel::web {
namespace {

using testing::Pattern;
using testing::ReadAll;
namespace fs = std::filesystem;

constexpr Long kTimeOut = 5000;  // what the callers pass; only silent servers wait for it
constexpr Long kSilence = 250;   // for the tests that wait on a silent server

const std::vector<Long> kSuccess = {1, 2, 3, 4, 9, 6};
const std::vector<Long> kStopped = {1, 2, 3, 4, 5, 6};
const std::vector<Long> kUrlFailed = {1, 2, 8, 6};

class DownloadTest : public ::testing::Test {
 protected:
    void SetUp() override {
        cdf.entDLFileStatus = [this](Long s) { states.push_back(s); };
        cdf.entDLFileDowning = [this](const std::u16string& url, Long total, Long size, Long) {
            EXPECT_EQ(url, lastUrl);
            totals.push_back(total);
            sizes.push_back(size);
            if (onBlock) onBlock();
        };
        cdf.pump = [this] { ++(states.size() == 2 ? pumpsWaitingForReply : pumps); };
    }

    Long Fetch(const std::u16string& url, Long timeOut = kTimeOut) {
        lastUrl = url;
        return cdf.DLFile(url, file, timeOut);
    }

    // Blocks of 1..512 bytes adding up to `total`.
    void ExpectBlocksUpTo(Long total) const {
        Long previous = 0;
        for (Long t : totals) {
            EXPECT_THAT(t - previous, ::testing::AllOf(::testing::Gt(0), ::testing::Le(512)));
            previous = t;
        }
        EXPECT_EQ(previous, total);
    }

    testing::LocalServer server;
    testing::ScratchDir dir;
    std::string file = dir / "reply.ini";
    Cls_DownLoad cdf;
    std::u16string lastUrl;
    std::vector<Long> states, totals, sizes;
    std::function<void()> onBlock;
    int pumps = 0, pumpsWaitingForReply = 0;
};

TEST_F(DownloadTest, WholeReplyArrivesInSmallBlocksWithTheAnnouncedSize) {
    const Long n = 5 * 512 + 77;
    for (const char* kind : {"/data/", "/chunked/"}) {
        SCOPED_TRACE(kind);
        states.clear(), totals.clear(), sizes.clear();
        EXPECT_EQ(Fetch(server.Url(kind + std::to_string(n))), n);
        EXPECT_EQ(states, kSuccess);
        EXPECT_EQ(ReadAll(file), Pattern(n));
        ExpectBlocksUpTo(n);
        EXPECT_THAT(sizes, ::testing::Each(kind[1] == 'd' ? n : 0));  // chunked replies announce nothing
        EXPECT_GT(pumps, 0);
    }
}

TEST_F(DownloadTest, RepliesSavedAsTheyCome) {
    // Empty reply: a file with nothing in it, and 0 like a failure.
    EXPECT_EQ(Fetch(server.Url("/data/0")), 0);
    EXPECT_EQ(states, kSuccess);
    EXPECT_TRUE(totals.empty());
    EXPECT_TRUE(fs::exists(file) && fs::file_size(file) == 0);
    // An error page is a reply like any other, and replaces a longer old file.
    testing::WriteAll(file, std::string(10000, 'x'));
    EXPECT_EQ(Fetch(server.Url("/gone")), 8);
    EXPECT_EQ(ReadAll(file), "not here");
    // A redirect is followed; the size is the final reply's.
    sizes.clear();
    EXPECT_EQ(Fetch(server.Url("/old")), 600);
    EXPECT_EQ(sizes.front(), 600);
    // Agent, no cache on the way, and the text escaped as GBK where it must be.
    const std::string echoed = "VB Http|no-cache|no-cache|/echo/a%20b/%D6%D0?k=1";
    EXPECT_EQ(Fetch(server.Url("/echo/a b/") + u"中?k=1"), static_cast<Long>(echoed.size()));
    EXPECT_EQ(ReadAll(file), echoed);
}

// Every way an address can fail to open ends the same way and leaves no file.
class UnopenableUrlTest : public DownloadTest, public ::testing::WithParamInterface<std::u16string> {};

TEST_P(UnopenableUrlTest, ReportsUrlFailureAndCreatesNoFile) {
    const std::u16string url = GetParam() == u"<silent>" ? server.Url("/mute") : GetParam();
    EXPECT_EQ(Fetch(url, kSilence), 0);
    EXPECT_EQ(states, kUrlFailed);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(totals.empty());
    if (GetParam() == u"<silent>") {
        EXPECT_GT(pumpsWaitingForReply, 0);  // the window ran while we waited
    }
}

INSTANTIATE_TEST_SUITE_P(Addresses, UnopenableUrlTest,
                         ::testing::Values(testing::ClosedPortUrl(), u"http://no-such-host.invalid/",
                                           u"http://127.0.0.1:99999/", u"just words", u"",
                                           u"file:///etc/hostname", u"<silent>"));

TEST_F(DownloadTest, BodyThatFallsSilentOrBreaksOffKeepsWhatArrived) {
    for (const char* path : {"/stall", "/drop"}) {
        SCOPED_TRACE(path);
        states.clear();
        EXPECT_EQ(Fetch(server.Url(path), kSilence), 1000);
        EXPECT_EQ(states, kSuccess);
        EXPECT_EQ(ReadAll(file), Pattern(1000));
    }
}

TEST_F(DownloadTest, StopFromTheProgressHandlerEndsAfterThatBlock) {
    onBlock = [this] { cdf.DLFileStop(); };
    EXPECT_EQ(Fetch(server.Url("/data/20000")), 512);
    EXPECT_EQ(states, kStopped);
    EXPECT_THAT(sizes, ::testing::ElementsAre(20000));
    EXPECT_EQ(ReadAll(file), Pattern(512));
}

TEST_F(DownloadTest, StopFromAButtonReachesTheFetchThroughThePump) {
    cdf.pump = [this] {
        if (totals.size() == 3) cdf.DLFileStop();
    };
    EXPECT_EQ(Fetch(server.Url("/data/20000")), 4 * 512);
    EXPECT_EQ(states, kStopped);
}

TEST_F(DownloadTest, StopRequestWaitsForAFetchThatReadsABlock) {
    cdf.DLFileStop();
    EXPECT_EQ(Fetch(testing::ClosedPortUrl()), 0);  // reads nothing, so the request stays
    EXPECT_EQ(Fetch(server.Url("/data/2000")), 512);
    EXPECT_EQ(Fetch(server.Url("/data/2000")), 2000);
    EXPECT_THAT(states, ::testing::ElementsAreArray({1, 2, 8, 6, 1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 9, 6}));
}

TEST_F(DownloadTest, SecondFetchWhileOneRunsIsRefusedWithoutEvents) {
    std::vector<Long> nested;
    onBlock = [&] {
        const size_t before = states.size();
        if (totals.size() == 1)
            nested.push_back(cdf.DLFile(server.Url("/data/10"), dir / "other.ini", kTimeOut));
        EXPECT_EQ(states.size(), before);
    };
    EXPECT_EQ(Fetch(server.Url("/data/1500")), 1500);
    EXPECT_THAT(nested, ::testing::ElementsAre(0));
    EXPECT_EQ(states, kSuccess);
    EXPECT_FALSE(fs::exists(dir / "other.ini"));
    EXPECT_FALSE(cdf.IsRunning());
}

TEST_F(DownloadTest, AnnouncedSizeBeyondALongIsClamped) {
    EXPECT_EQ(Fetch(server.Url("/huge")), 10);
    EXPECT_THAT(sizes, ::testing::ElementsAre(INT32_MAX));
}

TEST_F(DownloadTest, ReplyPastTheLimitIsCutOffAndDropped) {
    cdf.SetReplyLimit(1000);
    EXPECT_EQ(Fetch(server.Url("/data/3000")), 0);
    EXPECT_EQ(states, kSuccess);
    EXPECT_FALSE(fs::exists(file));
    ExpectBlocksUpTo(512);  // the block that would cross the limit is never written
}

TEST_F(DownloadTest, ServiceReplyThroughTheFetcherIsBoundedAndReadAsText) {
    lastUrl = server.Url("/echo");
    EXPECT_EQ(FetchReplyTextVia(cdf, lastUrl, file, kTimeOut), u"VB Http|no-cache|no-cache|/echo");
    lastUrl = server.Url("/endless");
    EXPECT_EQ(FetchReplyTextVia(cdf, lastUrl, file, kTimeOut), std::nullopt);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(cdf.ReplyLimit(), 0);  // only that fetch was bounded
}

TEST_F(DownloadTest, PlantedLinkAtTheLocalPathIsNotFollowed) {
    testing::WriteAll(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", file);
    EXPECT_EQ(Fetch(server.Url("/data/100")), 0);
    EXPECT_EQ(states, kSuccess);
    EXPECT_EQ(ReadAll(dir / "victim"), "precious");
}

TEST(SpeedOf, ReportsTheFixedFigureUntilASecondHasPassed) {
    using ms = std::chrono::milliseconds;
    const struct {
        std::int64_t total;
        ms elapsed;
        Long speed;
    } rows[] = {
        {4096, ms(0), 1025},     {4096, ms(500), 1025},  // half a second rounds to the even 0
        {4096, ms(-3000), 1025}, {3000, ms(1500), 1500}, {3000, ms(2500), 1500},  // both round to 2 s
        {5, ms(2000), 2},        {7, ms(2000), 4},       {std::int64_t{5} << 32, ms(1000), INT32_MAX},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SpeedOf(r.total, r.elapsed), r.speed) << r.total << " in " << r.elapsed.count();
}

}  // namespace
}  // namespace tessel::web
