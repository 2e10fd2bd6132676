// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "http_server.h"

namespace tessel::web {
namespace {

using testing::ClosedPort;
using testing::LocalServer;
using testing::Pattern;
using testing::ReadAll;
using testing::ScratchDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr Long kShortTimeOut = 300;  // ms of silence; the real callers pass 5000

struct Progress {
    Long total;
    Long size;
};

// Everything a fetch reports, in order.
struct Recorder {
    std::vector<Long> states;
    std::vector<Progress> progress;
    int pumps = 0;
    int pumpsBeforeAnswer = 0;

    explicit Recorder(Cls_DownLoad& d) {
        d.entDLFileStatus = [this](Long s) { states.push_back(s); };
        d.entDLFileDowning = [this](const std::u16string&, Long total, Long size, Long) {
            progress.push_back({total, size});
        };
        d.pump = [this] {
            ++pumps;
            if (states.size() == 2) ++pumpsBeforeAnswer;
        };
    }

    // Blocks of 1..512 bytes that add up to what the totals say.
    void ExpectBlocksUpTo(Long total) const {
        Long previous = 0;
        for (const Progress& p : progress) {
            EXPECT_GT(p.total - previous, 0);
            EXPECT_LE(p.total - previous, 512);
            previous = p.total;
        }
        EXPECT_EQ(previous, total);
    }
};

const std::vector<Long> kSuccess = {1, 2, 3, 4, 9, 6};
const std::vector<Long> kStopped = {1, 2, 3, 4, 5, 6};
const std::vector<Long> kUrlFailed = {1, 2, 8, 6};

class DownloadTest : public ::testing::Test {
protected:
    LocalServer server;
    ScratchDir dir;
    std::string file = dir / "reply.ini";
    Cls_DownLoad cdf;
    Recorder rec{cdf};
};

TEST_F(DownloadTest, LengthAndChunkedRepliesArriveWholeInSmallBlocks) {
    const std::string body = Pattern(5 * 512 + 77);
    server.routes().Get("/length", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "application/octet-stream");
    });
    server.routes().Get("/chunked", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [&](size_t offset, httplib::DataSink& sink) {
            // Pieces bigger and smaller than a block, so cutting and joining both show.
            if (offset < body.size()) sink.write(body.data() + offset, std::min<size_t>(700, body.size() - offset));
            else sink.done();
            return true;
        });
    });
    server.Start();

    for (const std::string path : {"/length", "/chunked"}) {
        SCOPED_TRACE(path);
        Cls_DownLoad d;
        Recorder r(d);
        EXPECT_EQ(d.DLFile(server.Url(path), file, kShortTimeOut), static_cast<Long>(body.size()));
        EXPECT_EQ(r.states, kSuccess);
        EXPECT_EQ(ReadAll(file), body);
        r.ExpectBlocksUpTo(static_cast<Long>(body.size()));
        const Long announced = path == "/length" ? static_cast<Long>(body.size()) : 0;
        for (const Progress& p : r.progress) EXPECT_EQ(p.size, announced);
        EXPECT_GT(r.pumps, 0);
    }
}

TEST_F(DownloadTest, EmptyReplyLeavesAnEmptyFileAndReturnsZero) {
    server.routes().Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.set_content("", "text/plain"); });
    server.Start();
    EXPECT_EQ(cdf.DLFile(server.Url("/empty"), file, kShortTimeOut), 0);
    EXPECT_EQ(rec.states, kSuccess);
    EXPECT_TRUE(rec.progress.empty());
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(DownloadTest, HttpErrorPageIsSavedLikeAnyReply) {
    server.routes().Get("/gone", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("not here", "text/plain");
    });
    server.Start();
    EXPECT_EQ(cdf.DLFile(server.Url("/gone"), file, kShortTimeOut), 8);
    EXPECT_EQ(rec.states, kSuccess);
    EXPECT_EQ(ReadAll(file), "not here");
}

TEST_F(DownloadTest, RedirectIsFollowedAndTheFinalLengthReported) {
    server.routes().Get("/old", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/new"); });
    server.routes().Get("/new", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Pattern(600), "text/plain");
    });
    server.Start();
    EXPECT_EQ(cdf.DLFile(server.Url("/old"), file, kShortTimeOut), 600);
    EXPECT_EQ(rec.states, kSuccess);
    ASSERT_FALSE(rec.progress.empty());
    EXPECT_EQ(rec.progress.front().size, 600);
    EXPECT_EQ(ReadAll(file), Pattern(600));
}

TEST_F(DownloadTest, RequestCarriesAgentNoCacheAndEscapedText) {
    httplib::Headers seen;
    std::string target;
    server.routes().Get(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        seen = req.headers;
        target = req.target;
        res.set_content("ok", "text/plain");
    });
    server.Start();
    EXPECT_EQ(cdf.DLFile(server.Url("/a b/") + u"中?k=1", file, kShortTimeOut), 2);
    EXPECT_EQ(target, "/a%20b/%D6%D0?k=1");  // GBK bytes of the character
    auto header = [&](const char* name) {
        auto it = seen.find(name);
        return it == seen.end() ? std::string("<none>") : it->second;
    };
    EXPECT_EQ(header("User-Agent"), "VB Http");
    EXPECT_EQ(header("Cache-Control"), "no-cache");
    EXPECT_EQ(header("Pragma"), "no-cache");
}

// Every way an address can fail to open ends the same way, and leaves no file.
class UnopenableUrlTest : public ::testing::TestWithParam<std::pair<const char*, std::u16string>> {};

TEST_P(UnopenableUrlTest, ReportsUrlFailureAndCreatesNoFile) {
    ScratchDir dir;
    const std::string file = dir / "reply.ini";
    Cls_DownLoad cdf;
    Recorder rec(cdf);
    EXPECT_EQ(cdf.DLFile(GetParam().second, file, kShortTimeOut), 0);
    EXPECT_EQ(rec.states, kUrlFailed);
    EXPECT_FALSE(std::filesystem::exists(file));
}

std::u16string ClosedPortUrl() {
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x";
    return std::u16string(url.begin(), url.end());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UnopenableUrlTest,
    ::testing::Values(std::pair{"refused", ClosedPortUrl()}, std::pair{"unknown_host", u"http://no-such-host.invalid/"},
                      std::pair{"bad_port", u"http://127.0.0.1:99999/"}, std::pair{"no_scheme", u"just words"},
                      std::pair{"empty", u""}, std::pair{"local_file", u"file:///etc/hostname"}),
    [](const auto& info) { return std::string(info.param.first); });

TEST_F(DownloadTest, SilentServerBeforeTheReplyIsAUrlFailure) {
    server.routes().Get("/mute", [&](const httplib::Request&, httplib::Response& res) {
        server.StallUntilReleased();
        res.set_content("late", "text/plain");
    });
    server.Start();
    EXPECT_EQ(cdf.DLFile(server.Url("/mute"), file, kShortTimeOut), 0);
    EXPECT_EQ(rec.states, kUrlFailed);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_GT(rec.pumpsBeforeAnswer, 0);  // the window kept running while we waited
}

TEST_F(DownloadTest, BodyThatStallsOrBreaksOffKeepsWhatArrived) {
    const std::string head = Pattern(1000);
    server.routes().Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(5000, "text/plain", [&](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset == 0) sink.write(head.data(), head.size());
            else server.StallUntilReleased();
            return offset == 0;
        });
    });
    server.routes().Get("/drop", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(5000, "text/plain", [&](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset == 0) sink.write(head.data(), head.size());
            return offset == 0;  // false closes the connection mid-body
        });
    });
    server.Start();
    for (const std::string path : {"/stall", "/drop"}) {
        SCOPED_TRACE(path);
        Cls_DownLoad d;
        Recorder r(d);
        EXPECT_EQ(d.DLFile(server.Url(path), file, kShortTimeOut), 1000);
        EXPECT_EQ(r.states, kSuccess);
        EXPECT_EQ(ReadAll(file), head);
    }
}

TEST_F(DownloadTest, StopFromTheProgressHandlerEndsAfterThatBlock) {
    server.routes().Get("/big", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Pattern(20000), "text/plain");
    });
    server.Start();
    Long announced = 0;
    cdf.entDLFileDowning = [&](const std::u16string& url, Long total, Long size, Long) {
        EXPECT_EQ(url, server.Url("/big"));
        rec.progress.push_back({total, size});
        announced = size;
        cdf.DLFileStop();
    };
    EXPECT_EQ(cdf.DLFile(server.Url("/big"), file, kShortTimeOut), 512);
    EXPECT_EQ(rec.states, kStopped);
    EXPECT_EQ(rec.progress.size(), 1u);
    EXPECT_EQ(announced, 20000);
    EXPECT_EQ(ReadAll(file), Pattern(512));
}

TEST_F(DownloadTest, StopRequestWaitsForTheNextFetchThatReadsABlock) {
    server.routes().Get("/data", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Pattern(2000), "text/plain");
    });
    server.Start();
    cdf.DLFileStop();
    // A fetch that never reads a block does not use the request up.
    EXPECT_EQ(cdf.DLFile(ClosedPortUrl(), file, kShortTimeOut), 0);
    EXPECT_EQ(cdf.DLFile(server.Url("/data"), file, kShortTimeOut), 512);
    EXPECT_EQ(cdf.DLFile(server.Url("/data"), file, kShortTimeOut), 2000);
    EXPECT_THAT(rec.states, ElementsAreArray({1, 2, 8, 6, 1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 9, 6}));
}

TEST_F(DownloadTest, StopFromThePumpReachesTheFetch) {
    server.routes().Get("/data", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Pattern(20000), "text/plain");
    });
    server.Start();
    // As a button pressed while the fetch runs would.
    cdf.pump = [&] {
        if (rec.progress.size() == 3) cdf.DLFileStop();
    };
    EXPECT_EQ(cdf.DLFile(server.Url("/data"), file, kShortTimeOut), 4 * 512);
    EXPECT_EQ(rec.states, kStopped);
}

TEST_F(DownloadTest, LongerOldFileIsReplacedNotAppendedTo) {
    server.routes().Get("/short", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("new reply", "text/plain");
    });
    server.Start();
    testing::WriteAll(file, std::string(10000, 'x'));
    EXPECT_EQ(cdf.DLFile(server.Url("/short"), file, kShortTimeOut), 9);
    EXPECT_EQ(ReadAll(file), "new reply");
}

TEST_F(DownloadTest, SecondFetchWhileOneRunsIsRefusedWithoutEvents) {
    server.routes().Get("/data", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Pattern(1500), "text/plain");
    });
    server.Start();
    std::vector<Long> nested;
    cdf.entDLFileDowning = [&](const std::u16string&, Long total, Long size, Long) {
        rec.progress.push_back({total, size});
        if (rec.progress.size() == 1) {
            const size_t before = rec.states.size();
            nested.push_back(cdf.DLFile(server.Url("/data"), dir / "other.ini", kShortTimeOut));
            EXPECT_EQ(rec.states.size(), before);
            EXPECT_TRUE(cdf.IsRunning());
        }
    };
    EXPECT_EQ(cdf.DLFile(server.Url("/data"), file, kShortTimeOut), 1500);
    EXPECT_THAT(nested, ElementsAre(0));
    EXPECT_EQ(rec.states, kSuccess);
    EXPECT_FALSE(std::filesystem::exists(dir / "other.ini"));
    EXPECT_FALSE(cdf.IsRunning());
}

TEST_F(DownloadTest, SizesBeyondALongAreClamped) {
    constexpr size_t kThreeGiB = size_t{3} << 30;
    server.routes().Get("/huge", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(kThreeGiB, "application/octet-stream",
                                 [](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) sink.write("0123456789", 10);
                                     return offset == 0;
                                 });
    });
    server.Start();
    EXPECT_EQ(cdf.DLFile(server.Url("/huge"), file, kShortTimeOut), 10);
    ASSERT_EQ(rec.progress.size(), 1u);
    EXPECT_EQ(rec.progress[0].size, INT32_MAX);
}

TEST_F(DownloadTest, ReplyPastTheLimitIsCutOffAndDropped) {
    server.routes().Get("/data", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Pattern(3000), "text/plain");
    });
    server.Start();
    cdf.SetReplyLimit(1000);
    EXPECT_EQ(cdf.DLFile(server.Url("/data"), file, kShortTimeOut), 0);
    EXPECT_EQ(rec.states, kSuccess);
    EXPECT_FALSE(std::filesystem::exists(file));
    rec.ExpectBlocksUpTo(512);  // the block that would cross the limit is never written
}

TEST_F(DownloadTest, PlantedLinkAtTheLocalPathIsNotFollowed) {
    server.routes().Get("/data", [](const httplib::Request&, httplib::Response& res) { res.set_content("evil", "text/plain"); });
    server.Start();
    const std::string victim = dir / "victim";
    testing::WriteAll(victim, "precious");
    std::filesystem::create_symlink(victim, file);
    EXPECT_EQ(cdf.DLFile(server.Url("/data"), file, kShortTimeOut), 0);
    EXPECT_EQ(rec.states, kSuccess);
    EXPECT_EQ(ReadAll(victim), "precious");
}

TEST(SpeedOf, ReportsTheFixedFigureUntilASecondHasPassed) {
    using std::chrono::milliseconds;
    struct Row {
        std::int64_t total;
        milliseconds elapsed;
        Long speed;
    };
    const Row rows[] = {
        {4096, milliseconds(0), 1025},      {4096, milliseconds(499), 1025},
        {4096, milliseconds(500), 1025},    // half a second rounds to the even 0
        {4096, milliseconds(-3000), 1025},  {3000, milliseconds(1500), 1500},  // rounds to 2 s
        {3000, milliseconds(2500), 1500},   {5, milliseconds(2000), 2},        // 2.5 rounds to 2
        {7, milliseconds(2000), 4},         {std::int64_t{5} << 32, milliseconds(1000), INT32_MAX},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(SpeedOf(r.total, r.elapsed), r.speed) << r.total << " bytes in " << r.elapsed.count() << " ms";
    }
}

}  // namespace
}  // namespace tessel::web
