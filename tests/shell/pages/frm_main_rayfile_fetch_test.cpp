// SPDX-License-Identifier: GPL-3.0-or-later
// The Rayfile command's automatic size fetch against files served on
// loopback: the announced size goes into the link after one block, a missing
// size asks the user, an address that cannot be opened ends the command
// silently, and other fetches through the page fetcher are left alone.
#include <QFileInfo>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "links/special_link.h"
#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"
#include "web/reply_file.h"

namespace tessel::shell::testing {
namespace {

class RayfileFetchTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        // /sized/N announces N bytes and sends at most the first 64 KiB of them
        // (a client that stops early never sees the rest missing); /unsized sends
        // 4 KiB in chunks without announcing a size.
        http.server().Get(R"(/sized/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const size_t announced = std::stoull(req.matches[1]);
            res.set_content_provider(announced, "application/octet-stream",
                                     [announced](size_t at, size_t, httplib::DataSink& sink) {
                                         static const std::string block(64 * 1024, 'r');
                                         if (at >= block.size()) return false;
                                         return sink.write(block.data(),
                                                           std::min(block.size(), announced - at));
                                     });
        });
        http.server().Get("/unsized", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream",
                                             [](size_t at, httplib::DataSink& sink) {
                                                 if (at >= 4096) {
                                                     sink.done();
                                                     return true;
                                                 }
                                                 return sink.write(std::string(1024, 'u').data(), 1024);
                                             });
        });
        // A pick-code reply well past one block.
        http.server().Get("/", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                "{\"state\":true,\"data\":{\"url\":\"http://t.test/" + std::string(3000, 'p') + "\"}}",
                "application/json");
        });
        http.Start();
    }

    // Runs the command for `address` with Yes to the question and `typed` for
    // a size box, if one comes.
    void Convert(const QString& address, const QString& typed = QString()) {
        prompts.asked.clear();
        prompts.answers = {Prompts::Answer::Yes};
        prompts.inputs = {typed};
        SetBoxText(Child<QPlainTextEdit>(*w, "txtInput"), address.toStdU16String());
        SetBoxText(Child<QPlainTextEdit>(*w, "txtOutput"), u"before");
        emit Child<controls::SkButton>(*w, "skbToRayfile")->Click();
        WaitForRequests();
    }

    static QString Link(const QString& address, const char* size) {
        return QString::fromStdU16String(
            links::EncodeRayfileLink(address.toStdU16String(), QString(size).toStdU16String()));
    }

    static qint64 ReplySize() {
        const QFileInfo f(QString::fromStdString(web::ReplyPath(web::kRayfileReply)));
        return f.exists() ? f.size() : -1;
    }

    testsupport::LoopbackHttp http;
};

struct FetchRow {
    const char* name;
    QString path;
    QString typed;
    const char* output;  // null: the link with `size`
    const char* size;
    size_t boxes;
};

TEST_F(RayfileFetchTest, AnnouncedSizeOrTheSizeBox) {
    const FetchRow rows[] = {
        {"announced", "/sized/2048", {}, nullptr, "2048", 1},
        {"no size announced", "/unsized", "777", nullptr, "777", 2},
        // Past what the progress event carries: the number would be wrong.
        {"beyond 2 GiB", "/sized/3221225472", "3221225472", nullptr, "3221225472", 2},
    };
    Start();
    for (const FetchRow& r : rows) {
        SCOPED_TRACE(r.name);
        const QString address = http.Base() + r.path;
        Convert(address, r.typed);
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), Link(address, r.size));
        EXPECT_EQ(prompts.asked.size(), r.boxes);
        EXPECT_GT(ReplySize(), 0);
        EXPECT_LE(ReplySize(), 512);
    }
    w->close();
    EXPECT_EQ(ReplySize(), -1);  // the unload removes the reply file
}

TEST_F(RayfileFetchTest, AddressThatCannotBeOpenedEndsSilently) {
    Start();
    Convert(testsupport::ClosedPortBase() + "/f");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), "before");
    EXPECT_EQ(prompts.asked.size(), 1u);  // the question, no size box
}

// The size comes from the fetch this command started, whichever page is in
// front, and no other fetch is stopped or read for a size.
TEST_F(RayfileFetchTest, OnlyItsOwnFetchIsCutShort) {
    Start();
    Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(0);
    const QString address = http.Base() + "/sized/104857600";
    Convert(address);
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), Link(address, "104857600"));
    EXPECT_LE(ReplySize(), 512);

    Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(1);
    Put(keys::kPickCodeApi, http.Base());
    Child<QLineEdit>(*w, "txtPickcode")->setText("abc");
    emit Child<controls::SkButton>(*w, "skbPickcode")->Click();
    WaitForRequests();
    EXPECT_EQ(Child<QLineEdit>(*w, "txtTel")->text(), "http://t.test/" + QString(3000, 'p'));
    EXPECT_EQ(Child<QLineEdit>(*w, "txtFilesize")->text(), "104857600");
}

}  // namespace
}  // namespace tessel::shell::testing
