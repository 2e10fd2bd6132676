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
    IpTest() { Put(keys::kIpEcho, http.Base()); }

    QLabel* Ip() const { return Child<QLabel>(*w, "lblIP"); }
    bool IpShown() const { return Ip()->isVisibleTo(w.get()); }
    // A click on chkShowIP and the query it starts, to its end.
    void ClickShowIp() {
        Child<QCheckBox>(*w, "chkShowIP")->click();
        WaitForRequests();
    }
    // A start with the option stored as on, to the end of its queries.
    void StartShowingIp() {
        Put(keys::kShowIP, "1");
        Start();
        WaitForRequests();
    }

    testsupport::CannedReplyHttp http{"/ip/", "text/html", "window.ip = \"(203.0.113.7)\";"};
};

TEST_F(IpTest, CheckBoxShowsAndHidesTheAddress) {
    Start();
    EXPECT_TRUE(http.Targets().empty());  // the option is off
    ClickShowIp();
    EXPECT_EQ(Stored(keys::kShowIP), "1");
    EXPECT_TRUE(IpShown());
    EXPECT_EQ(Ip()->text(), kPrefix + "203.0.113.7");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(web::ReplyPath(web::kIpReply))));
    ASSERT_EQ(http.Targets().size(), 1u);
    EXPECT_EQ(http.Targets()[0], "/ip/");

    ClickShowIp();
    EXPECT_EQ(Stored(keys::kShowIP), "0");
    EXPECT_FALSE(IpShown());
    EXPECT_EQ(Ip()->text(), kPrefix + "203.0.113.7");  // hidden, not cleared
}

// No answer changes nothing; checking the box again retries.
TEST_F(IpTest, FailedQueryShowsNothingAndALaterOneRetries) {
    const QString echo = http.Base();
    Put(keys::kIpEcho, testsupport::ClosedPortBase());
    Start();
    ClickShowIp();
    EXPECT_FALSE(IpShown());
    EXPECT_EQ(Ip()->text(), "");
    ClickShowIp();
    Put(keys::kIpEcho, echo);
    ClickShowIp();
    EXPECT_TRUE(IpShown());
    EXPECT_EQ(Ip()->text(), kPrefix + "203.0.113.7");
}

TEST_F(IpTest, StoredOptionQueriesTwiceAtStart) {
    StartShowingIp();
    EXPECT_EQ(http.Targets().size(), 2u);
    EXPECT_TRUE(IpShown());
    EXPECT_EQ(Ip()->text(), kPrefix + "203.0.113.7");
}

TEST_F(IpTest, DoubleClickCopiesAndQueriesAgainLater) {
    StartShowingIp();
    const size_t queries = http.Targets().size();
    QTest::mouseDClick(Ip(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kPrefix + "203.0.113.7");
    EXPECT_EQ(Ip()->text(), kCopied);
    EXPECT_TRUE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    EXPECT_EQ(Child<QTimer>(*w, "tmrClipboard")->interval(), 2000);

    // While it says "copied", a double-click does nothing.
    QGuiApplication::clipboard()->setText("other");
    QTest::mouseDClick(Ip(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "other");

    http.Serve("(198.51.100.2)");
    Child<QTimer>(*w, "tmrClipboard")->setInterval(10);  // the tick itself, without the wait
    QTRY_COMPARE(Ip()->text(), kPrefix + "198.51.100.2");
    EXPECT_FALSE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    EXPECT_EQ(http.Targets().size(), queries + 1);
}

// Unchecking the box right after a copy must not bring the label back.
TEST_F(IpTest, UncheckingCancelsThePendingRequery) {
    StartShowingIp();
    QTest::mouseDClick(Ip(), Qt::LeftButton);
    ASSERT_TRUE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    ClickShowIp();
    EXPECT_FALSE(Child<QTimer>(*w, "tmrClipboard")->isActive());
    QTest::qWait(50);
    EXPECT_FALSE(IpShown());
}

}  // namespace
}  // namespace tessel::shell::testing
