// SPDX-License-Identifier: GPL-3.0-or-later
// The 115 page on its own against an upload interface on loopback: the request, the
// three address boxes, the refusals, the reply file, the window staying
// responsive during the fetch, paste and the copy commands.
#include "shell/pages/disk_page.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

#include "controls/sk_button.h"
#include "support/loopback_http.h"
#include "support/page_fixture.h"
#include "text/codepage.h"
#include "web/reply_file.h"

namespace tessel::shell::testing {
namespace {

const QString kNoAddress = QStringLiteral("没有解析出此下载地址");

class DiskPageTest : public PageTest {
 protected:
    DiskPageTest() { Put(keys::kPickCodeApi, http.Base()); }

    void Serve(std::u16string_view text) { http.Serve(text::ToAnsi(text)); }

    void Extract(const QString& input) {
        Child<QLineEdit>(page, "txtPickcode")->setText(input);
        emit Child<controls::SkButton>(page, "skbPickcode")->Click();
    }

    static bool ReplyFileExists() {
        return QFileInfo::exists(QString::fromStdString(web::ReplyPath(web::kPickCodeReply)));
    }

    testsupport::CannedReplyHttp http{"/", "application/json"};
    DiskPage page{Context(), nullptr};  // last: it ends its request before the server goes
};

struct ReplyRow {
    const char* name;
    std::u16string reply;
    QString tel, cnc, bak;
    bool fileKept;
    const char* errorcode;  // stored "errorcode", or null when none
};

TEST_F(DiskPageTest, RepliesFillTheBoxesOrShowTheRefusal) {
    const QString old = QStringLiteral("earlier");
    const ReplyRow rows[] = {
        {"one address", u"{\"state\":true,\"data\":{\"url\":\"http:\\/\\/tel.test\\/a?k=1\"}}",
         "http://tel.test/a?k=1", kNoAddress, kNoAddress, false, nullptr},
        {"refused 104", u"{\"state\":false,\"errCode\":104,\"msg\":\"x\"}", "对不起，提取码已过期", old, old,
         true, nullptr},
        {"refused, unknown number", u"{\"state\":false,\"errCode\":999}", "对不起，发生未知错误", old, old,
         true, "1"},
    };
    for (const ReplyRow& r : rows) {
        SCOPED_TRACE(r.name);
        for (QLineEdit* box : {Child<QLineEdit>(page, "txtTel"), Child<QLineEdit>(page, "txtCnc"),
                               Child<QLineEdit>(page, "txtBak")})
            box->setText(old);
        Serve(r.reply);
        Extract("  http://115.com/FILE/abc123#top ");
        WaitForRequests();
        EXPECT_EQ(Child<QLineEdit>(page, "txtPickcode")->text(), "http://115.com/FILE/abc123#top");
        EXPECT_EQ(Child<QLineEdit>(page, "txtTel")->text(), r.tel);
        EXPECT_EQ(Child<QLineEdit>(page, "txtCnc")->text(), r.cnc);
        EXPECT_EQ(Child<QLineEdit>(page, "txtBak")->text(), r.bak);
        EXPECT_EQ(ReplyFileExists(), r.fileKept);
        EXPECT_EQ(Stored(keys::kErrorCode), r.errorcode ? std::optional<QString>(r.errorcode) : std::nullopt);
    }
    const auto targets = http.Targets();
    ASSERT_EQ(targets.size(), std::size(rows));
    EXPECT_EQ(targets[0], "/?ct=upload_api&ac=get_pick_code_info&pickcode=abc123&version=1170");
}

// The fetch runs beside the window; its button is disabled meanwhile, and a
// second click that still comes is refused and leaves the running one alone.
TEST_F(DiskPageTest, WindowStaysResponsiveDuringTheFetch) {
    Serve(u"{\"state\":true,\"data\":{\"url\":\"http://t.test/1\"}}");
    http.delayMs = 300;
    bool ranMeanwhile = false;
    QTimer::singleShot(50, &page, [&] {
        ranMeanwhile = true;
        EXPECT_FALSE(Child<controls::SkButton>(page, "skbPickcode")->isEnabled());
        Extract("second");
        EXPECT_EQ(status.Text(), "115链接提取仍在进行，请等它结束后再试");
    });
    Extract("first");
    EXPECT_EQ(status.Text(), "正在提取115下载地址…");
    WaitForRequests();
    EXPECT_TRUE(ranMeanwhile);
    EXPECT_TRUE(Child<controls::SkButton>(page, "skbPickcode")->isEnabled());
    EXPECT_EQ(status.Text(), "");
    EXPECT_EQ(Child<QLineEdit>(page, "txtTel")->text(), "http://t.test/1");
    ASSERT_EQ(http.Targets().size(), 1u);
    EXPECT_NE(http.Targets()[0].find("pickcode=first&"), std::string::npos);
}

TEST_F(DiskPageTest, PasteAndCopyCommands) {
    QGuiApplication::clipboard()->setText("  abc123  ");
    QTest::mouseDClick(Child<QLineEdit>(page, "txtPickcode"), Qt::LeftButton);
    EXPECT_EQ(Child<QLineEdit>(page, "txtPickcode")->text(), "abc123");

    struct Copy {
        QLineEdit* box;
        controls::SkButton* button;
    };
    for (const Copy& c :
         {Copy{Child<QLineEdit>(page, "txtTel"), Child<controls::SkButton>(page, "skbTelcopy")},
          Copy{Child<QLineEdit>(page, "txtCnc"), Child<controls::SkButton>(page, "skbCnccopy")},
          Copy{Child<QLineEdit>(page, "txtBak"), Child<controls::SkButton>(page, "skbBakcopy")}}) {
        const QString name = c.box->objectName();
        Put(keys::kLinkActiveTab, "0");
        c.box->setText("http://" + name + ".test/a");
        QTest::mouseDClick(c.box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCoreApplication::processEvents();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://" + name + ".test/a");
        EXPECT_EQ(c.box->selectedText(), c.box->text()) << name.toStdString();
        EXPECT_EQ(Stored(keys::kLinkActiveTab), "1") << name.toStdString();

        Put(keys::kLinkActiveTab, "0");
        c.box->setText("http://" + name + ".test/b");
        emit c.button->Click();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://" + name + ".test/b");
        EXPECT_EQ(Stored(keys::kLinkActiveTab), "1") << name.toStdString();
    }
}

}  // namespace
}  // namespace tessel::shell::testing
