// SPDX-License-Identifier: GPL-3.0-or-later
// The window's video page with yt-dlp as its engine (a stand-in named by the
// settings): "解析地址" fills the boxes through the page's own filter, and
// "迅雷下载" hands the address to aria2 with the headers yt-dlp reported.
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "controls/sk_button.h"
#include "shell/jobs/ytdlp_video_parse.h"
#include "shell/pages/video_page.h"
#include "support/fake_aria2.h"
#include "support/frm_main_fixture.h"
#include "web/video_parse.h"

namespace tessel::shell::testing {
namespace {

using nlohmann::json;

class YtDlpWindowTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        // Restored when the fixture goes, after the window.
        winePrefix.emplace("WINEPREFIX", QFile::encodeName(dir.filePath("no-wine")));
        Put(keys::kAria2Rpc, aria2.Rpc());
        Put(keys::kAria2Start, "never");
        Put(keys::kParseHome, "http://parse.test");
        Put(keys::kYtDlpPath, dir.filePath("yt-dlp"));
    }
    // The stand-in prints `report` and ends well.
    void Reports(const QByteArray& report) {
        QFile f(dir.filePath("yt-dlp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\ncat <<'EOF'\n" + report + "\nEOF\n");
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void ParseFor(const QString& page) {
        SetBoxText(Child<QPlainTextEdit>(*w, "txtOnlineflv"), page.toStdU16String());
        emit Child<controls::SkButton>(*w, "skbParse")->Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->Video().Busy(); }, 20000));
    }
    QString Output() const { return Child<QPlainTextEdit>(*w, "txtFlvlink")->toPlainText(); }
    QString Title() const { return Child<QLabel>(*w, "imgTip")->toolTip(); }

    std::vector<json> Calls() {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return BackgroundRequest::RunningCount() == 0 && !aria2.Calls().empty(); }, 5000));
        return aria2.Calls();
    }

    std::optional<ScopedEnv> winePrefix;
    testsupport::FakeAria2 aria2{""};
};

TEST_F(YtDlpWindowTest, ResultGoesThroughTheFilterAndTheHeadersToAria2) {
    Start();
    Reports(R"j({"title": "片名", "url": "https://cdn.test/v.mp4?sig=1",
        "http_headers": {"Referer": "https://www.site.test/", "User-Agent": "UA/2", "Cookie": "sid=7"}})j");
    ParseFor("https://www.site.test/watch/1");
    EXPECT_EQ(Output(), "https://cdn.test/v.mp4?sig=1");  // https survives the filter
    EXPECT_EQ(Title(), "片名");

    prompts.answers = {Prompts::Answer::Yes};  // no manager installed: the button asks first
    emit Child<controls::SkButton>(*w, "skbFlvthunder")->Click();
    const auto sent = Calls();
    ASSERT_EQ(sent.size(), 1u);  // no secret set: the task comes first
    EXPECT_EQ(sent[0]["params"][0], json::array({"https://cdn.test/v.mp4?sig=1"}));
    EXPECT_EQ(sent[0]["params"][1], json({{"out", "片名.mp4"},
                                          {"referer", "https://www.site.test/"},
                                          {"user-agent", "UA/2"},
                                          {"header", {"Cookie: sid=7"}}}));
}

TEST_F(YtDlpWindowTest, AddressesTheFilterRefusesLeaveNoTitle) {
    Start();
    Reports(R"j({"title": "流", "url": "rtmp://live.test/stream"})j");
    ParseFor("https://www.site.test/live");
    EXPECT_EQ(Output(), QString::fromStdU16String(std::u16string(web::kFlvRtmp)));
    EXPECT_EQ(Title(), "");

    Reports(R"j({"title": "主页", "url": "http://parse.test"})j");
    ParseFor("https://www.site.test/home");
    EXPECT_EQ(Output(), QString::fromStdU16String(std::u16string(web::kFlvParseFailed)));
    EXPECT_EQ(Title(), "");
}

// The parse service stays what it was for whoever chooses it.
TEST_F(YtDlpWindowTest, ServiceChosenNeverRunsYtDlp) {
    Put(keys::kVideoEngine, "service");
    Put(keys::kParseHome, testsupport::ClosedPortBase());
    Start();
    Reports(R"j({"title": "t", "url": "https://cdn.test/v.mp4"})j");
    ParseFor("https://www.site.test/watch/1");
    // The service's request runs beside the window; its failure arrives later.
    const QString failed = QString::fromStdU16String(std::u16string(web::kFlvNetFailed));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Output() == failed; }, 20000)) << Output().toStdString();
    EXPECT_EQ(Child<YtDlpVideoParse>(*w, "ytDlpParse")->Status(), "");
}

}  // namespace
}  // namespace tessel::shell::testing
