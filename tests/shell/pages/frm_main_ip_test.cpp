// SPDX-License-Identifier: GPL-3.0-or-later
// The public IP in the options strip against an address echo on loopback:
// the check box and its setting, the queries at start, the copy and its
// re-query.
#include <QFileInfo>

#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"
#include "web/reply_file.h"

namespace tessel::shell::testing {
namespace {

const QString kPrefix = QStringLiteral("您的IP地址为：");
const QString kCopied = QStringLiteral("IP地址已复制到剪贴板");

class IpTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        http.server().Get("/ip/", [this](const httplib::Request& req, httplib::Response& res) {
            http.Record(req);
            std::lock_guard lock(replyMutex);
            res.set_content(reply, "text/html");
        });
        http.Start();
        Put(keys::kIpEcho, http.Base());
    }

    void Serve(const std::string& text) {
        std::lock_guard lock(replyMutex);
        reply = text;
    }

    testsupport::LoopbackHttp http;
    std::mutex replyMutex;
    std::string reply = "window.ip = \"(203.0.113.7)\";";
};

TEST_F(IpTest, CheckBoxShowsAndHidesTheAddress) {
    Start();
    EXPECT_TRUE(http.Targets().empty());  // the option is off
    Child<QCheckBox>(*w, "chkShowIP")->click();
    WaitForRequests();
    EXPECT_EQ(Stored(keys::kShowIP), "1");
    EXPECT_TRUE(Child<QLabel>(*w, "lblIP")->isVisibleTo(w.get()));
    EXPECT_EQ(Child<QLabel>(*w, "lblIP")->text(), kPrefix + "203.0.113.7");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(web::ReplyPath(web::kIpReply))));
    ASSERT_EQ(http.Targets().size(), 1u);
    EXPECT_EQ(http.Targets()[0], "/ip/");

    Child<QCheckBox>(*w, "chkShowIP")->click();
    WaitForRequests();
    EXPECT_EQ(Stored(keys::kShowIP), "0");
    EXPECT_FALSE(Child<QLabel>(*w, "lblIP")->isVisibleTo(w.get()));
    EXPECT_EQ(Child<QLabel>(*w, "lblIP")->text(), kPrefix + "203.0.113.7");  // hidden, not cleared
}

// No answer changes nothing; checking the box again retries.
TEST_F(IpTest, FailedQueryShowsNothingAndALaterOneRetries) {
    const QString echo = http.Base();
    Put(keys::kIpEcho, testsupport::ClosedPortBase());
    Start();
    Child<QCheckBox>(*w, "chkShowIP")->click();
    WaitForRequests();
    EXPECT_FALSE(Child<QLabel>(*w, "lblIP")->isVisibleTo(w.get()));
    EXPECT_EQ(Child<QLabel>(*w, "lblIP")->text(), "");
    Child<QCheckBox>(*w, "chkShowIP")->click();
    WaitForRequests();
    Put(keys::kIpEcho, echo);
    Child<QCheckBox>(*w, "chkShowIP")->click();
    WaitForRequests();
    EXPECT_TRUE(Child<QLabel>(*w, "lblIP")->isVisibleTo(w.get()));
    EXPECT_EQ(Child<QLabel>(*w, "lblIP")->text(), kPrefix + "203.0.113.7");
}

TEST_F(IpTest, StoredOptionQueriesTwiceAtStart) {
    Put(keys::kShowIP, "1");
    Start();
    WaitForRequests();
    EXPECT_EQ(http.Targets().size(), 2u);
    EXPECT_TRUE(Child<QLabel>(*w, "lblIP")->isVisibleTo(w.get()));
    EXPECT_EQ(Child<QLabel>(*w, "lblIP")->text(), kPrefix + "203.0.113.7");
}

TEST_F(IpTest, DoubleClickCopiesAndQueriesAgainLater) {
    Put(keys::kShowIP, "1");
    Start();
    WaitForRequests();
    const size_t queries = http.Targets().size();
    QTest::mouseDClick(Child<QLabel>(*w, "lblIP"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kPrefix + "203.0.113.7");
    EXPECT_EQ(Child<QLabel>(*w, "lblIP")->text(), kCopied);
    EXPECT_TRUE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    EXPECT_EQ(Child<QTimer>(*w, "tmrClipboard")->interval(), 2000);

    // While it says "copied", a double-click does nothing.
    QGuiApplication::clipboard()->setText("other");
    QTest::mouseDClick(Child<QLabel>(*w, "lblIP"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "other");

    Serve("(198.51.100.2)");
    Child<QTimer>(*w, "tmrClipboard")->setInterval(10);  // the tick itself, without the wait
    QTRY_COMPARE(Child<QLabel>(*w, "lblIP")->text(), kPrefix + "198.51.100.2");
    EXPECT_FALSE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    EXPECT_EQ(http.Targets().size(), queries + 1);
}

// Unchecking the box right after a copy must not bring the label back.
TEST_F(IpTest, UncheckingCancelsThePendingRequery) {
    Put(keys::kShowIP, "1");
    Start();
    WaitForRequests();
    QTest::mouseDClick(Child<QLabel>(*w, "lblIP"), Qt::LeftButton);
    ASSERT_TRUE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    Child<QCheckBox>(*w, "chkShowIP")->click();
    WaitForRequests();
    EXPECT_FALSE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    QTest::qWait(50);
    EXPECT_FALSE(Child<QLabel>(*w, "lblIP")->isVisibleTo(w.get()));
}

}  // namespace
}  // namespace tessel::shell::testing
