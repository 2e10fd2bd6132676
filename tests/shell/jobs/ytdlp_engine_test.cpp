// SPDX-License-Identifier: GPL-3.0-or-later
// yt-dlp run beside the window: stand-in programs that misbehave the ways a
// real one can (too slow, garbage, too much, an error), the real yt-dlp
// against a page on loopback, and where the executable is looked for.
#include "shell/jobs/ytdlp_engine.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <optional>

#include "support/loopback_http.h"
#include "text/codepage.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tessel::shell {
namespace {

using namespace std::chrono_literals;

std::string U8(const std::u16string& s) { return text::ToUtf8(s); }

class YtDlpEngineTest : public ::testing::Test {
 protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // An executable script named `name` in the test's folder.
    QString Script(const QString& name, const QByteArray& body) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(body);
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }

    // One run to its end; nothing when it never ends within `wait`.
    std::optional<web::YtDlpReply> Run(const QString& program, std::u16string_view address,
                                       std::chrono::milliseconds limit,
                                       std::chrono::milliseconds wait = 60s) {
        std::optional<web::YtDlpReply> got;
        int finished = 0;
        QEventLoop loop;
        const auto c =
            QObject::connect(&engine, &YtDlpEngine::Finished, &loop, [&](const web::YtDlpReply& r) {
                got = r;
                ++finished;
                loop.quit();
            });
        QTimer::singleShot(wait, &loop, &QEventLoop::quit);
        EXPECT_TRUE(engine.Start(program, address, limit));
        if (!got) loop.exec();
        QObject::disconnect(c);
        EXPECT_FALSE(engine.Running());
        EXPECT_LE(finished, 1);
        return got;
    }

    // True once the process `pid` is gone (or a zombie nobody reaps).
    static bool Gone(qint64 pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return true;
        const QByteArray s = stat.readAll();
        const qsizetype close = s.lastIndexOf(')');
        return close >= 0 && s.mid(close + 2, 1) == "Z";
    }

    static qint64 PidIn(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return 0;
        return f.readAll().trimmed().toLongLong();
    }

    QTemporaryDir dir;
    YtDlpEngine engine;
};

// Whatever the address looks like, it reaches yt-dlp as one argument after
// "--", and no shell ever sees it.
TEST_F(YtDlpEngineTest, TheAddressIsOneArgumentThatNoShellSees) {
    const QString echo = Script("echo-args", R"(#!/usr/bin/python3
import json, sys
print(json.dumps({"title": "\x1f".join(sys.argv[1:]), "url": "http://a.test/v"}))
)");
    const std::u16string address = u"-o x --exec 'touch pwned' $(touch pwned2); 视频 \"q\"";
    const auto r = Run(echo, address, 10s);
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->ok) << U8(r->error);
    EXPECT_EQ(r->title, u"-J\x1f--ignore-config\x1f--no-cache-dir\x1f--\x1f" + address);
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("pwned2")));
}

struct StandIn {
    const char* name;
    QByteArray script;
    std::chrono::milliseconds limit;
    std::u16string error;
};

TEST_F(YtDlpEngineTest, EveryWayOfFailingEndsInOneFailureWithItsReason) {
    const std::vector<StandIn> rows = {
        {"sleeps past the limit", "#!/bin/sh\nexec sleep 30\n", 1s, u"yt-dlp 在 1 秒内没有结束"},
        {"garbage", "#!/bin/sh\nprintf '<html>\\x89 not json at all'\n", 10s, u"yt-dlp 的输出不是 JSON 对象"},
        {"20 MiB", "#!/bin/sh\nexec head -c 20971520 /dev/zero\n", 20s, u"yt-dlp 的输出超过 16 MiB"},
        // Endless output must be stopped by its size, long before the time limit.
        {"endless", "#!/bin/sh\nexec yes '{\"url\": \"http://a.test/v\"}'\n", 60s,
         u"yt-dlp 的输出超过 16 MiB"},
        {"unsupported",
         "#!/bin/sh\necho '{}'\necho 'WARNING: [generic] Falling back' >&2\n"
         "echo 'ERROR: [generic] first' >&2\necho 'ERROR: Unsupported URL: http://p.test/' >&2\n"
         "exit 1\n",
         10s, u"Unsupported URL: http://p.test/"},
        {"silent failure", "#!/bin/sh\necho '{\"url\": \"http://a.test/v\"}'\nexit 2\n", 10s,
         u"yt-dlp 以退出码 2 结束"},
        {"killed by a signal", "#!/bin/sh\nkill -9 $$\n", 10s, u"yt-dlp 意外退出"},
        {"not a program", "just text, no interpreter line\n", 10s, u""},
    };
    for (const StandIn& row : rows) {
        SCOPED_TRACE(row.name);
        const QString program = Script(QString::fromUtf8(row.name).replace(' ', '-'), row.script);
        QElapsedTimer clock;
        clock.start();
        const auto r = Run(program, u"http://p.test/", row.limit);
        ASSERT_TRUE(r);
        EXPECT_FALSE(r->ok);
        EXPECT_TRUE(r->media.empty());
        if (row.error.empty())
            EXPECT_EQ(r->error, u"无法启动 yt-dlp：" + program.toStdU16String());
        else
            EXPECT_EQ(r->error, row.error);
        EXPECT_LT(clock.elapsed(), std::chrono::milliseconds(row.limit).count() + 5000);
    }
}

TEST_F(YtDlpEngineTest, AMissingProgramIsAFailureNotAHang) {
    const auto r = Run(dir.filePath("nowhere/yt-dlp"), u"http://p.test/", 5s, 10s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->error, u"无法启动 yt-dlp：" + dir.filePath("nowhere/yt-dlp").toStdU16String());
}

// The time limit ends what yt-dlp started too, and a second start while one
// runs is refused without disturbing it.
TEST_F(YtDlpEngineTest, TheLimitEndsTheWholeRunAndASecondStartIsRefused) {
    const QString pidFile = dir.filePath("child.pid");
    const QString program =
        Script("spawns", ("#!/bin/sh\nsleep 30 &\necho $! > '" + pidFile + "'\nwait\n").toUtf8());
    int finished = 0;
    std::u16string error;
    QObject::connect(&engine, &YtDlpEngine::Finished, [&](const web::YtDlpReply& r) {
        ++finished;
        error = r.error;
    });
    ASSERT_TRUE(engine.Start(program, u"http://p.test/1", 2s));
    EXPECT_TRUE(engine.Running());
    EXPECT_FALSE(engine.Start(program, u"http://p.test/2", 2s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return PidIn(pidFile) != 0; }, 5000));
    const qint64 child = PidIn(pidFile);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 10000));
    EXPECT_EQ(error, u"yt-dlp 在 2 秒内没有结束");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Gone(child); }, 5000));
    // The engine takes the next run.
    EXPECT_TRUE(engine.Start(program, u"http://p.test/3", 1s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 10000));
}

TEST_F(YtDlpEngineTest, ClosingTheWindowMidRunEndsTheRun) {
    const QString pidFile = dir.filePath("child.pid");
    const QString program =
        Script("spawns", ("#!/bin/sh\nsleep 30 &\necho $! > '" + pidFile + "'\nwait\n").toUtf8());
    qint64 child = 0;
    {
        YtDlpEngine running;
        ASSERT_TRUE(running.Start(program, u"http://p.test/", 60s));
        // No events are handled meanwhile, as when the window closes before
        // the start was reported: the run must still be found and ended.
        for (int i = 0; i < 500 && PidIn(pidFile) == 0; ++i) QThread::msleep(10);
        child = PidIn(pidFile);
        ASSERT_NE(child, 0);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return Gone(child); }, 5000));
}

// A playlist's report of megabytes is read beside the window thread: the
// reply is the reader's own, the engine counts as running until it arrives,
// and an engine destroyed while the report is read drops it safely.
TEST_F(YtDlpEngineTest, ALargeReportIsReadBesideTheWindowAndDroppedWithTheEngine) {
    std::string report = R"({"_type": "playlist", "title": "很长的列表", "entries": [)";
    const std::string sig(200, 's'), headers = R"("http_headers": {"Referer": "http://p.test/", "X-E": "1"})";
    for (int e = 0; e < 3000; ++e) {
        const std::string at = "http://a.test/" + std::to_string(e);
        report +=
            (e ? ", {" : "{") + std::string(R"("title": "第)") + std::to_string(e) + R"(集", "formats": [)";
        for (int f = 0; f < 10; ++f)
            report += std::string(f ? ", " : "") + R"({"url": ")" + at + "/" + std::to_string(f) + "?" + sig +
                      R"(", )" + headers + "}";
        report += R"(], "requested_formats": [{"url": ")" + at + R"(/v", "ext": "mp4", )" + headers +
                  R"(}, {"url": ")" + at + R"(/a", "ext": "m4a"}]})";
    }
    report += "]}";
    const QString file = dir.filePath("report.json");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(report.data(), static_cast<qint64>(report.size()));
    out.close();
    const QString program = Script("prints", ("#!/bin/sh\nexec cat '" + file + "'\n").toUtf8());

    const web::YtDlpReply expected = web::ReadYtDlpReply(report);
    ASSERT_EQ(expected.media.size(), 6000u);
    const auto r = Run(program, u"http://p.test/list", 60s);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->title, u"很长的列表");
    EXPECT_EQ(r->media, expected.media);

    int finished = 0;
    {
        YtDlpEngine closing;
        QObject::connect(&closing, &YtDlpEngine::Finished, [&] { ++finished; });
        ASSERT_TRUE(closing.Start(program, u"http://p.test/list", 60s));
        ASSERT_TRUE(QTest::qWaitFor([&] { return closing.findChild<QFutureWatcherBase*>(); }, 30000));
        EXPECT_TRUE(closing.Running());
        EXPECT_FALSE(closing.Start(program, u"http://p.test/again", 60s));
    }
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(50);
    EXPECT_EQ(finished, 0);
}

// What yt-dlp starts ends with the run: at a normal end as at the time
// limit, a process that left its group for a session of its own included.
TEST_F(YtDlpEngineTest, NothingYtDlpStartedOutlivesTheRun) {
    const struct {
        const char* name;
        const char* ending;  // after the children are started
        std::chrono::milliseconds limit;
    } rows[] = {
        {"a normal end", "sleep 1.5\necho '{\"url\": \"http://a.test/v\"}'\n", 20s},
        {"the time limit", "exec sleep 30\n", 2s},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString inGroup = dir.filePath("group.pid"), escaped = dir.filePath("session.pid");
        QFile::remove(inGroup);
        QFile::remove(escaped);
        const QString program = Script(
            "spawns",
            ("#!/bin/sh\nsleep 30 &\necho $! > '" + inGroup + "'\nsetsid sh -c 'echo $$ > \"" + escaped +
             "\"; exec sleep 30' &\nwhile [ ! -s '" + escaped + "' ]; do sleep 0.05; done\n" + row.ending)
                .toUtf8());
        const auto reply = Run(program, u"http://p.test/", row.limit);
        ASSERT_TRUE(reply);
        const qint64 group = PidIn(inGroup), session = PidIn(escaped);
        ASSERT_GT(group, 0);
        ASSERT_GT(session, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Gone(group) && Gone(session); }, 5000));
        ::kill(static_cast<pid_t>(session), SIGKILL);
    }
}

// The real yt-dlp, offline: a page on loopback with a <video> element.
TEST_F(YtDlpEngineTest, RealYtDlpResolvesAVideoElementOnALoopbackPage) {
    const QString ytDlp = FindYtDlp(QString());
    ASSERT_FALSE(ytDlp.isEmpty()) << "yt-dlp is not installed (scripts/install-deps.sh installs it)";
    testsupport::LoopbackHttp http;
    http.server().Get("/watch/1.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>回环测试</title></head>"
            "<body><video src=\"/media/clip.mp4\" controls></video></body></html>",
            "text/html; charset=utf-8");
    });
    http.server().Get("/nothing.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><head><title>t</title></head><body>no media here</body></html>", "text/html");
    });
    http.Start();

    const auto r = Run(ytDlp, http.Url("/watch/1.html"), 60s, 90s);
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->ok) << U8(r->error);
    ASSERT_EQ(r->media.size(), 1u);
    EXPECT_EQ(r->media[0].address, http.Url("/media/clip.mp4"));
    EXPECT_TRUE(r->title.starts_with(u"回环测试")) << U8(r->title);
    EXPECT_EQ(r->media[0].headers.referer, http.BaseText() + "/watch/1.html");
    EXPECT_FALSE(r->media[0].headers.userAgent.empty());

    const auto none = Run(ytDlp, http.Url("/nothing.html"), 60s, 90s);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->ok);
    EXPECT_EQ(none->error, u"Unsupported URL: " + http.Url("/nothing.html"));

    // An address that looks like an option is an address yt-dlp rejects.
    const auto dash = Run(ytDlp, u"--version", 60s, 90s);
    ASSERT_TRUE(dash);
    EXPECT_FALSE(dash->ok);
    EXPECT_NE(dash->error.find(u"'--version' is not a valid URL"), std::u16string::npos) << U8(dash->error);
}

class FindYtDlpTest : public YtDlpEngineTest {
 protected:
    void SetUp() override {
        YtDlpEngineTest::SetUp();
        oldPath = qgetenv("PATH");
        oldHome = qgetenv("HOME");
        QDir(dir.path()).mkpath("bin");
        QDir(dir.path()).mkpath("home/.local/bin");
        qputenv("PATH", QFile::encodeName(dir.filePath("bin")));
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
    }
    void TearDown() override {
        qputenv("PATH", oldPath);
        qputenv("HOME", oldHome);
    }
    QByteArray oldPath, oldHome;
};

TEST_F(FindYtDlpTest, PathFirstThenPipsFolderThenNothing) {
    EXPECT_EQ(FindYtDlp(QString()), QString());
    const QString pip = Script("home/.local/bin/yt-dlp", "#!/bin/sh\n");
    EXPECT_EQ(FindYtDlp(QString()), pip);
    const QString onPath = Script("bin/yt-dlp", "#!/bin/sh\n");
    EXPECT_EQ(FindYtDlp(QStringLiteral("  ")), onPath);
}

TEST_F(FindYtDlpTest, TheSettingNamesAPathAHomePathOrAProgramOnPath) {
    const QString mine = Script("home/tools/my-yt-dlp", "#!/bin/sh\n");
    EXPECT_EQ(FindYtDlp(mine), mine);
    EXPECT_EQ(FindYtDlp(QStringLiteral("~/tools/my-yt-dlp")), mine);
    const QString named = Script("bin/yt-dlp-nightly", "#!/bin/sh\n");
    EXPECT_EQ(FindYtDlp(QStringLiteral("yt-dlp-nightly")), named);
    // A setting that points nowhere usable finds nothing, rather than some
    // other yt-dlp the user did not ask for.
    Script("bin/yt-dlp", "#!/bin/sh\n");
    EXPECT_EQ(FindYtDlp(dir.filePath("home/tools")), QString());
    EXPECT_EQ(FindYtDlp(QStringLiteral("~/tools/missing")), QString());
    QFile::setPermissions(mine, QFileDevice::ReadOwner);
    EXPECT_EQ(FindYtDlp(mine), QString());
}

}  // namespace
}  // namespace tessel::shell
