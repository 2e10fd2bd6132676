// SPDX-License-Identifier: GPL-3.0-or-later
// The window's four network requests against services on loopback that do
// not answer: the window keeps running its timers and switching pages while
// a request waits, the button that started it is off and the pointer busy,
// closing the window ends the request at once, and the status line names
// what went wrong.
#include <QCursor>
#include <QFileInfo>
#include <chrono>
#include <thread>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "shell/jobs/service_status.h"
#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"
#include "web/download_to_file.h"
#include "web/reply_file.h"

namespace tessel::shell::testing {
namespace {

using namespace std::chrono_literals;

// Accepts, reads the request and never says a word.
class SilentService {
 public:
    SilentService()
        : raw_([this](int fd, const std::atomic<bool>& stopping) {
              testsupport::LoopbackRaw::ReadRequestHead(fd);
              ++asked_;
              while (!stopping) std::this_thread::sleep_for(10ms);
          }) {}
    QString Base() const { return QString::fromStdString(raw_.BaseText()); }
    int Asked() const { return asked_; }

 private:
    std::atomic<int> asked_{0};
    testsupport::LoopbackRaw raw_;
};

struct Request {
    const char* name;
    const SettingKey* key;  // the service's setting, or null for the Rayfile address
    QWidget* (*button)(FrmMain&);
    const char* busy;  // the status line while it runs
};

const Request kRequests[] = {
    {"video parse", &keys::kParseHome,
     [](FrmMain& w) -> QWidget* { return Child<controls::SkButton>(w, "skbParse"); }, "正在解析…"},
    {"115 fetch", &keys::kPickCodeApi,
     [](FrmMain& w) -> QWidget* { return Child<controls::SkButton>(w, "skbPickcode"); },
     "正在提取115下载地址…"},
    {"public IP", &keys::kIpEcho, [](FrmMain& w) -> QWidget* { return Child<QCheckBox>(w, "chkShowIP"); },
     "正在查询公网IP地址…"},
    {"Rayfile size", nullptr,
     [](FrmMain& w) -> QWidget* { return Child<controls::SkButton>(w, "skbToRayfile"); },
     "正在获取文件大小…"},
};

class RequestTest : public FrmMainTest {
 protected:
    // Starts `r` against `base` the way a user would.
    void Begin(const Request& r, const QString& base) {
        Put(keys::kShowIP, "0");             // left on by the public IP's turn
        Put(keys::kVideoEngine, "service");  // the parse service, not yt-dlp
        if (r.key) Put(*r.key, base);
        Start();
        if (r.key == &keys::kParseHome) {
            Child<QPlainTextEdit>(*w, "txtOnlineflv")->setPlainText("http://v.test/1.html");
            emit Child<controls::SkButton>(*w, "skbParse")->Click();
        } else if (r.key == &keys::kPickCodeApi) {
            Child<QLineEdit>(*w, "txtPickcode")->setText("abc123");
            emit Child<controls::SkButton>(*w, "skbPickcode")->Click();
        } else if (r.key == &keys::kIpEcho) {
            Child<QCheckBox>(*w, "chkShowIP")->click();
        } else {
            prompts.answers = {Prompts::Answer::Yes};
            prompts.inputs = {QString()};
            Child<QPlainTextEdit>(*w, "txtInput")->setPlainText(base + "/file.bin");
            emit Child<controls::SkButton>(*w, "skbToRayfile")->Click();
        }
    }
};

TEST_F(RequestTest, SilentServiceLeavesTheWindowAnswering) {
    for (const Request& r : kRequests) {
        SCOPED_TRACE(r.name);
        SilentService silent;
        Begin(r, silent.Base());
        ASSERT_TRUE(QTest::qWaitFor([&] { return silent.Asked() == 1; }, 5000));

        QWidget* button = r.button(*w);
        EXPECT_FALSE(button->isEnabled());
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
        EXPECT_EQ(w->Status().Text(), QString::fromUtf8(r.busy));

        // A timer fires and a click on a tab switches pages meanwhile.
        bool fired = false;
        QTimer::singleShot(20, w.get(), [&] { fired = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 1000));
        const int other = Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab() == 3 ? 0 : 3;
        QTest::mouseClick(Child<controls::SafeTabs>(*w, "SafeTabs"), Qt::LeftButton, {},
                          Child<controls::SafeTabs>(*w, "SafeTabs")->TabRect(other).center());
        EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), other);
        EXPECT_EQ(BackgroundRequest::RunningCount(), 1);

        // Closing the window ends the request before the close returns.
        w->close();
        EXPECT_EQ(BackgroundRequest::RunningCount(), 0);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(web::ReplyPath(web::kRayfileReply))));
        w.reset();
    }
}

TEST_F(RequestTest, RefusedConnectionIsToldWithHostAndSetting) {
    const QString closed = testsupport::ClosedPortBase();
    const QString host = closed.mid(QStringLiteral("http://").size());
    const QString expected[] = {
        "无法连接 解析服务 " + host + "，可改设置 [services] ParseHome",
        "无法连接 115网盘接口 " + host + "，或它在 5 秒内没有应答，可改设置 [services] PickCodeApi",
        "无法连接 IP查询服务 " + host + "，可改设置 [services] IpEcho",
        "无法打开 " + host + "（连接失败或 5 秒内没有应答），未能取得文件大小",
    };
    for (size_t i = 0; i < std::size(kRequests); ++i) {
        SCOPED_TRACE(kRequests[i].name);
        Begin(kRequests[i], closed);
        WaitForRequests();
        EXPECT_EQ(w->Status().Text(), expected[i]);
        EXPECT_TRUE(kRequests[i].button(*w)->isEnabled());
        w->close();
        w.reset();
    }
}

TEST(ServiceStatus, FailuresNameTheLimitAndSucceededOnesSayNothing) {
    const ServiceRef parse{QStringLiteral("解析服务"), u"http://parse.test:8080/x", &keys::kParseHome};
    EXPECT_EQ(FailureText(parse, web::FetchEnd::TimedOut, 10s),
              "解析服务 parse.test:8080 在 10 秒内没有答完，可改设置 [services] ParseHome");
    EXPECT_EQ(FailureText(parse, web::FetchEnd::TimedOut, 10s, 5s),
              FailureText(parse, web::FetchEnd::TimedOut, 10s));
    EXPECT_TRUE(FailureText(parse, web::FetchEnd::CutOff, 10s).contains("16 MiB"));
    // Only a fetch bounded by the server's silence names that silence.
    EXPECT_EQ(FailureText(parse, web::FetchEnd::NoReply, 10s),
              "无法连接 解析服务 parse.test:8080，可改设置 [services] ParseHome");
    EXPECT_TRUE(FailureText(parse, web::FetchEnd::NoReply, 10s, 5s).contains("5 秒内没有应答"));
    for (const web::FetchEnd quiet :
         {web::FetchEnd::Complete, web::FetchEnd::Stopped, web::FetchEnd::Aborted})
        EXPECT_EQ(FailureText(parse, quiet, 10s, 5s), "");
    // An address that is no URL is named as it is.
    EXPECT_EQ(HostOf(u"not an address"), "not an address");
}

// The advice in the 电信地址 box is a grey placeholder: copying the empty box
// puts nothing on the clipboard and says so.
TEST_F(FrmMainTest, TelecomAdviceIsAPlaceholderThatIsNeverCopied) {
    Start();
    QLineEdit* tel = Child<QLineEdit>(*w, "txtTel");
    EXPECT_EQ(tel->text(), "");
    EXPECT_EQ(tel->placeholderText(), "建议登录115网盘并记住登录状态，有时会有意想不到的效果");
    QGuiApplication::clipboard()->setText("untouched");
    emit Child<controls::SkButton>(*w, "skbTelcopy")->Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched");
    EXPECT_EQ(w->Status().Text(), "电信地址为空，未复制任何内容");
    QTest::mouseDClick(Child<QLineEdit>(*w, "txtCnc"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched");
    EXPECT_EQ(w->Status().Text(), "网通地址为空，未复制任何内容");
}

// The status line is one line in the band left of the fold-out button,
// seen with the options in and out; a text too long for it is cut with "…"
// and shown whole in its tooltip.
TEST_F(FrmMainTest, StatusLineStaysInItsBand) {
    Start();
    StatusLine& line = w->Status();
    for (int fold = 0; fold < 2; ++fold) {
        EXPECT_TRUE(line.isVisible());
        EXPECT_TRUE(w->rect().contains(line.geometry()));
        EXPECT_LT(line.geometry().right(), Child<controls::SkButton>(*w, "skbOption")->geometry().left());
        EXPECT_GT(line.geometry().top(), Child<controls::SafeTabs>(*w, "SafeTabs")->geometry().bottom());
        EXPECT_LT(line.geometry().bottom(), Child<QLabel>(*w, "lblIP")->mapTo(w.get(), QPoint(0, 0)).y());
        emit Child<controls::SkButton>(*w, "skbOption")->Click();
    }
    w->ShowStatus(QStringLiteral("短\r\n句"));
    EXPECT_EQ(line.text(), "短  句");
    EXPECT_EQ(line.toolTip(), "");
    const QString longText = QString(200, QChar(u'长'));
    w->ShowStatus(longText);
    EXPECT_EQ(line.Text(), longText);
    EXPECT_TRUE(line.text().endsWith(QChar(u'…')));
    EXPECT_EQ(line.toolTip(), longText);
    w->ShowStatus(QString());
    EXPECT_EQ(line.text(), "");
}

}  // namespace
}  // namespace tessel::shell::testing
