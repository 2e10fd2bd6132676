// SPDX-License-Identifier: GPL-3.0-or-later
// The yt-dlp road of the video page's parse on the page's own kinds of
// boxes, with stand-in yt-dlp programs: which engine the settings choose,
// what lands in the boxes, a second click while it runs, and the headers
// kept for the hand-off.
#include "shell/jobs/ytdlp_video_parse.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "shell/settings/settings_store.h"
#include "text/codepage.h"
#include "web/video_parse.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tessel::shell {
namespace {

const QString kFailed = QString::fromStdU16String(std::u16string(web::kFlvParseFailed));

// Two addresses, separate video and audio, with the headers the site wants.
constexpr char kTwoStreams[] = R"j(#!/bin/sh
cat <<'EOF'
{"title": "双流 视频", "requested_formats": [
  {"url": "https://v.test/video.mp4", "http_headers": {"Referer": "https://www.v.test/", "User-Agent": "UA/1",
   "Cookie": "sid=42", "Origin": "https://www.v.test", "Accept": "*/*"}},
  {"url": "https://v.test/audio.m4a", "http_headers": {"User-Agent": "UA/1"}}]}
EOF
)j";

class YtDlpVideoParseTest : public ::testing::Test {
 protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        oldPath = qgetenv("PATH");
        oldHome = qgetenv("HOME");
        // Only the stand-ins of this test can be found.
        qputenv("PATH", QFile::encodeName(dir.filePath("bin")));
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
        QDir(dir.path()).mkpath("bin");
        store = std::make_unique<IniSettingsStore>(dir.filePath("TESSEL.ini"));
        parse = std::make_unique<YtDlpVideoParse>(*store, &in, &out);
        QObject::connect(parse.get(), &YtDlpVideoParse::TitleFound,
                         [this](const QString& t) { found.title = t; });
        QObject::connect(parse.get(), &YtDlpVideoParse::MediaFound,
                         [this](const std::vector<web::YtDlpMedia>& m) { found.media = m; });
    }
    void TearDown() override {
        parse.reset();
        qputenv("PATH", oldPath);
        qputenv("HOME", oldHome);
    }

    // A shell script; the system's tools are found by the script itself,
    // since PATH holds only this test's folder.
    QString StandIn(const QString& name, QByteArray body) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        body.replace("#!/bin/sh\n", "#!/bin/sh\nPATH=/usr/bin:/bin\n");
        f.write(body);
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }
    void Put(const SettingKey& k, const QString& v) { store->Write(k.group, k.name, v); }

    bool ParseFor(const QString& address) {
        in.setPlainText(address);
        return parse->Parse();
    }
    bool WaitDone() {
        return QTest::qWaitFor([&] { return !parse->Running(); }, 20000);
    }

    QTemporaryDir dir;
    QByteArray oldPath, oldHome;
    std::unique_ptr<IniSettingsStore> store;
    QPlainTextEdit in, out;
    VideoFound found;  // what the page keeps
    std::unique_ptr<YtDlpVideoParse> parse;
};

TEST_F(YtDlpVideoParseTest, AddressesLineByLineTitleOnThePictureHeadersKeptForTheHandoff) {
    StandIn("bin/yt-dlp", kTwoStreams);
    found.title = "old title";
    ASSERT_TRUE(ParseFor("  https://www.v.test/watch?v=1 \r\n"));
    EXPECT_EQ(in.toPlainText(), "https://www.v.test/watch?v=1");
    EXPECT_EQ(found.title, "");  // the old title goes at once
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(out.toPlainText(), "https://v.test/video.mp4\nhttps://v.test/audio.m4a");
    EXPECT_EQ(found.title, "双流 视频");
    EXPECT_EQ(parse->Status(), "由 yt-dlp 解析：2 个地址");

    const handoff::MediaHeaders video = found.HeadersFor(u"https://v.test/video.mp4");
    EXPECT_EQ(video.referer, "https://www.v.test/");
    EXPECT_EQ(video.userAgent, "UA/1");
    EXPECT_EQ(video.header, (std::vector<std::string>{"Cookie: sid=42", "Origin: https://www.v.test"}));
    EXPECT_EQ(found.HeadersFor(u"https://v.test/audio.m4a").referer, "");
    EXPECT_EQ(found.HeadersFor(u"https://v.test/audio.m4a").userAgent, "UA/1");
    // Anything else in the box is not yt-dlp's and gets nothing.
    EXPECT_EQ(found.HeadersFor(u"https://v.test/video.mp4\r\nhttps://v.test/audio.m4a").userAgent, "");
}

TEST_F(YtDlpVideoParseTest, FailureShowsTheServiceTextAndTellsYtDlpsWords) {
    StandIn("bin/yt-dlp", "#!/bin/sh\necho 'ERROR: Unsupported URL: http://p.test/' >&2\nexit 1\n");
    out.setPlainText("http://old.test/kept-until-now.flv");
    found.title = "old title";
    ASSERT_TRUE(ParseFor("http://p.test/"));
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(out.toPlainText(), kFailed);
    EXPECT_EQ(found.title, "");
    EXPECT_EQ(parse->Status(), "yt-dlp 解析失败：Unsupported URL: http://p.test/");
    EXPECT_EQ(found.HeadersFor(u"http://old.test/kept-until-now.flv").referer, "");
}

// While yt-dlp runs, clicks are taken and change nothing; the run's answer
// is for the address it was started with.
TEST_F(YtDlpVideoParseTest, ASecondClickWhileRunningDoesNothing) {
    const QString log = dir.filePath("runs.log");
    StandIn("bin/yt-dlp", ("#!/bin/sh\necho \"$5\" >> '" + log +
                           "'\nsleep 1\necho '{\"title\": \"t\", \"url\": \"http://m.test/1.mp4\"}'\n")
                              .toUtf8());
    ASSERT_TRUE(ParseFor("http://p.test/1"));
    EXPECT_TRUE(parse->Running());
    EXPECT_EQ(parse->Status(), "yt-dlp 正在解析……");
    ASSERT_TRUE(ParseFor("http://p.test/2"));
    EXPECT_EQ(in.toPlainText(), "http://p.test/2");  // not even cleaned: the click was ignored
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(out.toPlainText(), "http://m.test/1.mp4");
    QFile runs(log);
    ASSERT_TRUE(runs.open(QIODevice::ReadOnly));
    EXPECT_EQ(runs.readAll(), "http://p.test/1\n");
}

TEST_F(YtDlpVideoParseTest, EmptyInputAsksForAnAddressWithoutRunning) {
    const QString log = dir.filePath("ran");
    StandIn("bin/yt-dlp", ("#!/bin/sh\ntouch '" + log + "'\n").toUtf8());
    ASSERT_TRUE(ParseFor(" \r\n "));
    EXPECT_FALSE(parse->Running());
    EXPECT_EQ(out.toPlainText(), QString::fromStdU16String(std::u16string(web::kFlvAskInput)));
    EXPECT_FALSE(QFile::exists(log));
}

TEST_F(YtDlpVideoParseTest, TheSettingsChooseTheEngine) {
    // auto without any yt-dlp: the parse service's turn.
    EXPECT_FALSE(ParseFor("http://p.test/"));
    Put(keys::kVideoEngine, "service");
    EXPECT_FALSE(ParseFor("http://p.test/"));

    // yt-dlp asked for but not there: a failure that says so.
    Put(keys::kVideoEngine, "yt-dlp");
    ASSERT_TRUE(ParseFor("http://p.test/"));
    EXPECT_FALSE(parse->Running());
    EXPECT_EQ(out.toPlainText(), kFailed);
    EXPECT_TRUE(parse->Status().contains("没有找到 yt-dlp")) << parse->Status().toStdString();

    // A yt-dlp of the user's own, named by YtDlpPath, with a short limit.
    const QString mine = StandIn("my-yt-dlp", "#!/bin/sh\nexec sleep 30\n");
    Put(keys::kVideoEngine, "auto");
    Put(keys::kYtDlpPath, mine);
    Put(keys::kYtDlpTimeout, "1");
    ASSERT_TRUE(ParseFor("http://p.test/"));
    EXPECT_TRUE(parse->Running());
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(parse->Status(), "yt-dlp 解析失败：yt-dlp 在 1 秒内没有结束");

    Put(keys::kVideoEngine, "service");
    EXPECT_FALSE(ParseFor("http://p.test/"));
}

}  // namespace
}  // namespace tessel::shell
