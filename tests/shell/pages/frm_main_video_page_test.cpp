// SPDX-License-Identifier: GPL-3.0-or-later
// The online-video page against a parse service on loopback: what the boxes,
// the title tooltip and the message boxes show for each kind of reply, the
// filter on every change of the output box, paste and copy, and the browser
// download.
#include <QDesktopServices>
#include <QUrl>

#include "controls/sk_button.h"
#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"
#include "text/codepage.h"

namespace tessel::shell::testing {
namespace {

// Records what the desktop would have opened.
class UrlRecorder : public QObject {
    Q_OBJECT
 public:
    std::vector<QUrl> opened;
 public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

class VideoPageTest : public FrmMainTest {
 protected:
    VideoPageTest() {
        Put(keys::kParseHome, http.Base());
        Put(keys::kVideoEngine, "service");
    }

    // The service answers with `text` in GBK, as the real one does.
    void Serve(std::u16string_view text, int status = 200) { http.Serve(text::ToAnsi(text), status); }

    void ParseFor(const QString& input) {
        SetBoxText(Child<QPlainTextEdit>(*w, "txtOnlineflv"), input.toStdU16String());
        emit Child<controls::SkButton>(*w, "skbParse")->Click();
        WaitForRequests();
    }

    testsupport::CannedReplyHttp http{"/parse.php", "text/html; charset=gb2312"};
};

const std::u16string kSingle = u"<html><br>下载地址：<a href=\"";

struct ParseRow {
    const char* name;
    std::u16string reply;
    int status;
    QString flvlink;  // what the box shows afterwards
    QString tip;
    QString message;  // the message box, if one is shown
};

TEST_F(VideoPageTest, ParseShowsAddressTitleOrVerdict) {
    const QString before = QStringLiteral("http://old.test/kept.flv");
    const ParseRow rows[] = {
        {"single address with title", kSingle + u"http://media.test/v.flv\">var cliptitle = \"片名 1\";", 200,
         "http://media.test/v.flv", "片名 1", ""},
        {"service failed", u"<p>解析失败，请确认视频是否被删除、地址是否正确，或稍后重试</p>", 200, before,
         "", "解析失败，请确认视频是否被删除、地址是否正确，或稍后重试"},
        {"error status", u"<h1>Not Found</h1>", 404, "连接网络失败", "", ""},
    };
    Start();
    for (const ParseRow& r : rows) {
        SCOPED_TRACE(r.name);
        prompts.asked.clear();
        SetBoxText(Child<QPlainTextEdit>(*w, "txtFlvlink"), before.toStdU16String());
        w->Video().ShowTitle("previous title");
        Serve(r.reply, r.status);
        ParseFor(" http://v.test/v/12345.html \r\n");
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOnlineflv")->toPlainText(), "http://v.test/v/12345.html");
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtFlvlink")->toPlainText(), r.flvlink);
        EXPECT_EQ(Child<QLabel>(*w, "imgTip")->toolTip(), r.tip);
        if (r.message.isEmpty()) {
            EXPECT_TRUE(prompts.asked.empty());
            continue;
        }
        ASSERT_EQ(prompts.asked.size(), 1u);
        EXPECT_EQ(prompts.asked[0].text, r.message);
        EXPECT_EQ(prompts.asked[0].title, "提示");
        EXPECT_EQ(prompts.asked[0].buttons, Prompts::Buttons::Ok);
    }
    const auto targets = http.Targets();
    ASSERT_EQ(targets.size(), std::size(rows));
    EXPECT_EQ(targets.back(), "/parse.php?kw=http://v.test/v/12345.html&flag=&format=high");
}

// The filter belongs to the box, not to the parse: the notice of the load
// passes it, and any later assignment is filtered as well.
TEST_F(VideoPageTest, EveryChangeOfTheOutputBoxIsFiltered) {
    Start();
    EXPECT_EQ(
        Child<QPlainTextEdit>(*w, "txtFlvlink")->toPlainText(),
        "在线视频地址解析速度取决于硕鼠官网的访问速度，此工具解析失败可到硕鼠官网重试，了解支持网站请访问：" +
            http.Base() + "/url.php");
    const struct {
        QString assigned, shown;
        bool tipCleared;
    } rows[] = {
        {http.Base(), "对不起，解析失败，您可以到硕鼠网站试试", true},
        {"ftp://media.test/v", "对不起，解析失败，您可以到硕鼠网站试试", false},
        {"MMS://media.test/v", "MMS://media.test/v", false},
    };
    for (const auto& r : rows) {
        w->Video().ShowTitle("title");
        SetBoxText(Child<QPlainTextEdit>(*w, "txtFlvlink"), r.assigned.toStdU16String());
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtFlvlink")->toPlainText(), r.shown)
            << r.assigned.toStdString();
        EXPECT_EQ(Child<QLabel>(*w, "imgTip")->toolTip().isEmpty(), r.tipCleared) << r.assigned.toStdString();
    }
}

TEST_F(VideoPageTest, PasteAndCopyThroughTheClipboard) {
    Start();
    QGuiApplication::clipboard()->setText("  http://v.test/a  ");
    QTest::mouseDClick(Child<QPlainTextEdit>(*w, "txtOnlineflv")->viewport(), Qt::LeftButton);
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOnlineflv")->toPlainText(), "http://v.test/a");
    QGuiApplication::clipboard()->setText("http://v.test/b");
    emit Child<controls::SkButton>(*w, "skbOnlineflv")->Click();
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOnlineflv")->toPlainText(), "http://v.test/b");

    SetBoxText(Child<QPlainTextEdit>(*w, "txtFlvlink"), u"http://media.test/1.flv");
    QTest::mouseDClick(Child<QPlainTextEdit>(*w, "txtFlvlink")->viewport(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://media.test/1.flv");
    SetBoxText(Child<QPlainTextEdit>(*w, "txtFlvlink"), u"http://media.test/2.flv");
    emit Child<controls::SkButton>(*w, "skbFlvlink")->Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://media.test/2.flv");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtFlvlink")->textCursor().selectedText(),
              "http://media.test/2.flv");
}

TEST_F(VideoPageTest, BrowserDownloadOpensOneHttpAddressOnly) {
    UrlRecorder desktop;
    QDesktopServices::setUrlHandler("http", &desktop, "Open");
    Start();
    for (const char16_t* text : {u"mms://media.test/v", u"http://a.test/1\r\nhttp://a.test/2",
                                 u"HTTP://media.test/v.mp4", u"http://media.test/v.flv"}) {
        SetBoxText(Child<QPlainTextEdit>(*w, "txtFlvlink"), text);
        emit Child<controls::SkButton>(*w, "skbFlvIE")->Click();
    }
    QDesktopServices::unsetUrlHandler("http");
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[0], QUrl("HTTP://media.test/v.mp4"));
    EXPECT_EQ(desktop.opened[1], QUrl("http://media.test/v.flv"));
}

}  // namespace
}  // namespace tessel::shell::testing

#include "frm_main_video_page_test.moc"
