// SPDX-License-Identifier: GPL-3.0-or-later
// The follower against a real aria2c on loopback, fetching from a server of
// the test's own that sends its file slowly.
#include "shell/jobs/download_follower.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "handoff/aria2_rpc.h"
#include "support/free_port.h"
#include "support/loopback_http.h"

namespace tessel::shell {
namespace {

using namespace std::chrono_literals;

class Aria2c {
 public:
    explicit Aria2c(int port = testsupport::FreeLoopbackPort()) : port_(port) {
        settings_ = {u"http://127.0.0.1:" + QString::number(port_).toStdU16String() + u"/jsonrpc", u"s3cret"};
        proc_.start(
            QStringLiteral("aria2c"),
            {"--no-conf=true", "--enable-rpc", "--rpc-listen-all=false",
             QStringLiteral("--rpc-listen-port=%1").arg(port_), "--rpc-secret=s3cret", "--dir=" + dir_.path(),
             QStringLiteral("--stop-with-process=%1").arg(::getpid()), "--max-tries=1", "--quiet=true"});
        for (int i = 0; i < 200 && Call("aria2.getVersion").status != handoff::Aria2Status::Ok; ++i)
            QTest::qWait(50);
    }
    ~Aria2c() {
        proc_.terminate();
        if (!proc_.waitForFinished(5000)) proc_.kill();
    }
    handoff::Aria2Reply Call(std::string_view method,
                             const nlohmann::json& params = nlohmann::json::array()) {
        return handoff::Aria2Call(settings_, method, params, 1000ms);
    }
    std::string Add(const std::u16string& url) {
        std::string u(url.begin(), url.end());
        return Call("aria2.addUri", nlohmann::json::array({nlohmann::json::array({u})}))
            .result.get<std::string>();
    }
    const handoff::Aria2Settings& Settings() const { return settings_; }
    QString Dir() const { return dir_.path(); }

 private:
    int port_;
    QTemporaryDir dir_;
    QProcess proc_;
    handoff::Aria2Settings settings_;
};

// A file of 400 kB sent in ten pieces, a quarter of a second apart.
class SlowFiles {
 public:
    SlowFiles() {
        http_.server().set_keep_alive_max_count(1);
        http_.server().Get("/slow.bin", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(kSize, "application/octet-stream",
                                     [this](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0 && !http_.Pause(250ms)) return false;
                                         const std::string piece(kSize / 10, 'x');
                                         sink.write(piece.data(), piece.size());
                                         return true;
                                     });
        });
        http_.Start();
    }
    std::u16string Url(std::string_view path) const { return http_.Url(path); }

 private:
    static constexpr size_t kSize = 400000;
    testsupport::LoopbackHttp http_;
};

TEST(DownloadFollowerTest, ShowsProgressWhileItRunsThenTellsTheEndAndGoesQuiet) {
    SlowFiles files;
    Aria2c engine;
    DownloadFollower follower;
    QSignalSpy progress(&follower, &DownloadFollower::ProgressChanged);
    QSignalSpy ended(&follower, &DownloadFollower::Ended);

    follower.Follow({engine.Add(files.Url("/slow.bin")), u"slow.bin", engine.Settings()});
    const QRegularExpression running(QStringLiteral("^Tessel V2 \u2014 1 个下载 ([0-9]|[1-9][0-9])%$"));
    const auto sawRunning = [&] {
        for (const auto& p : progress)
            if (running.match(p[0].toString()).hasMatch()) return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(sawRunning(), 10000);
    EXPECT_TRUE(follower.Polling());

    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 15000);
    EXPECT_EQ(ended[0][0].toString(), "下载完成");
    EXPECT_EQ(ended[0][1].toString(), "slow.bin");
    EXPECT_EQ(ended[0][2].toString(), engine.Dir() + "/slow.bin");
    EXPECT_EQ(progress.last()[0].toString(), "") << "the usual tip is back";
    EXPECT_FALSE(follower.Polling()) << "at rest nothing is asked";
    EXPECT_EQ(follower.OpenChannels(), 1) << "aria2's notifications still come";

    // A task aria2 does not know (purged, or an engine restarted without its
    // session) is let go without a word.
    follower.Follow({"0123456789abcdef", u"gone.bin", engine.Settings()});
    QTRY_COMPARE_WITH_TIMEOUT(follower.Count(), 0u, 5000);
    EXPECT_EQ(ended.count(), 1);
}

TEST(DownloadFollowerTest, AnEngineOutOfReachShowsNothingAndIsNotPolledUntilItAnswers) {
    const int port = testsupport::ClosedLoopbackPort();
    const handoff::Aria2Settings nowhere{
        u"http://127.0.0.1:" + QString::number(port).toStdU16String() + u"/jsonrpc", u"s3cret"};
    DownloadFollower follower;
    QSignalSpy progress(&follower, &DownloadFollower::ProgressChanged);
    follower.Follow({"0123456789abcdef", u"a.bin", nowhere});
    QTest::qWait(1500);
    EXPECT_EQ(follower.Count(), 1u) << "kept for when it answers again";
    EXPECT_FALSE(follower.Polling());
    EXPECT_EQ(follower.OpenChannels(), 0);
    EXPECT_EQ(progress.count(), 0) << "nothing shown";

    // The engine comes (back): the next try, a few seconds on, reaches it,
    // and a task it does not know is let go.
    Aria2c engine(port);
    QTRY_COMPARE_WITH_TIMEOUT(follower.Count(), 0u, 8000);
}

}  // namespace
}  // namespace tessel::shell
