// SPDX-License-Identifier: GPL-3.0-or-later
// Opened links on the real window with scripted answers, against a JSON-RPC
// endpoint on loopback that records what would reach aria2: the boxes, the
// page, the question and its default, and that only a Yes hands anything
// over.
#include "shell/link_opener.h"

#include <QSignalSpy>
#include <mutex>
#include <nlohmann/json.hpp>

#include "controls/safe_tabs.h"
#include "frm_main_fixture.h"
#include "support/loopback_http.h"

namespace tessel::shell::testing {
namespace {

using nlohmann::json;

class LinkOpenerTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        http.server().Post("/jsonrpc", [this](const httplib::Request& req, httplib::Response& res) {
            const json call = json::parse(req.body, nullptr, false);
            {
                std::lock_guard lock(mutex);
                calls.push_back(call);
            }
            res.set_content(json{{"jsonrpc", "2.0"}, {"id", "tessel"}, {"result", "0123456789abcdef"}}.dump(),
                            "application/json");
        });
        http.Start();
        Put(keys::kAria2Rpc, http.Base() + "/jsonrpc");
        Put(keys::kAria2Secret, "s3cret");
        Start();
        opener = std::make_unique<LinkOpener>(*w);
    }
    void TearDown() override {
        opener.reset();
        FrmMainTest::TearDown();
    }

    // Opens the texts and waits until the opener has handled all of them.
    void Open(const QStringList& texts) {
        QSignalSpy idle(opener.get(), &LinkOpener::Idle);
        opener->Open(texts);
        ASSERT_TRUE(idle.wait(5000));
    }

    std::vector<json> Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }

    testsupport::LoopbackHttp http;
    std::mutex mutex;
    std::vector<json> calls;
    std::unique_ptr<LinkOpener> opener;
};

TEST_F(LinkOpenerTest, YesHandsTheDecodedAddressToAria2WithTheSecretAndFileName) {
    prompts.answers = {Prompts::Answer::Yes};
    Open({QStringLiteral(" thunder://QUFodHRwOi8vaC50ZXN0L2QvJUM0JUUzJUJBJUMzLmlzb1pa/ ")});

    EXPECT_EQ(w->Link().txtInput->toPlainText(),
              "thunder://QUFodHRwOi8vaC50ZXN0L2QvJUM0JUUzJUJBJUMzLmlzb1pa/");
    EXPECT_EQ(w->Link().txtOutput->toPlainText(), "http://h.test/d/%C4%E3%BA%C3.iso");
    EXPECT_EQ(w->safeTabs->ActiveTab(), 1);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, "提示");
    EXPECT_EQ(prompts.asked[0].text, "是否交给 aria2 下载？\n\nhttp://h.test/d/%C4%E3%BA%C3.iso");
    EXPECT_EQ(prompts.asked[0].buttons, Prompts::Buttons::YesNoDefaultNo);

    const std::vector<json> sent = Calls();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["method"], "aria2.addUri");
    EXPECT_EQ(sent[0]["params"][0], "token:s3cret");
    EXPECT_EQ(sent[0]["params"][1], json::array({"http://h.test/d/%C4%E3%BA%C3.iso"}));
    EXPECT_EQ(sent[0]["params"][2]["out"], "你好.iso");
}

TEST_F(LinkOpenerTest, NoOrClosingTheQuestionHandsNothingOverAndKeepsTheBoxes) {
    prompts.answers = {Prompts::Answer::No};
    Open({QStringLiteral("https://h.test/file.bin")});
    EXPECT_EQ(w->Link().txtInput->toPlainText(), "https://h.test/file.bin");
    EXPECT_EQ(w->Link().txtOutput->toPlainText(), "https://h.test/file.bin");
    ASSERT_EQ(prompts.asked.size(), 1u);
    // No scripted answer left: the box is dismissed without a choice.
    Open({QStringLiteral("http://h.test/other.bin")});
    EXPECT_EQ(prompts.asked.size(), 2u);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, OpenedLinksAreRoutedEvenWithTheWatcherOffAndShowTheirPageEveryTime) {
    ASSERT_FALSE(w->Options().chkClipboard->isChecked());
    Open({QStringLiteral("http://115.com/s/abc")});
    EXPECT_EQ(w->Disk().txtPickcode->text(), "http://115.com/s/abc");
    EXPECT_EQ(w->safeTabs->ActiveTab(), 0);
    Open({QStringLiteral("qqdl://aHR0cDovL2EvYg==/")});
    EXPECT_EQ(w->safeTabs->ActiveTab(), 1);
    w->safeTabs->setActiveTab(2);
    // The tab flag is set by now; an opened link still shows its page.
    Open({QStringLiteral("qqdl://aHR0cDovL2EvYg==/")});
    EXPECT_EQ(w->safeTabs->ActiveTab(), 1);
    EXPECT_EQ(Stored(keys::kLinkActiveTab), "1");
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, ABadLinkGetsTheComplaintAndNoQuestion) {
    Open({QStringLiteral("flashget://%%%")});
    EXPECT_EQ(w->Link().txtOutput->toPlainText(), "对不起，链接不正确");
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, AMinimizedWindowIsRestored) {
    w->showMinimized();
    Open({});
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(LinkOpenerTest, ABurstWaitsForEachQuestionAndIsBounded) {
    QStringList burst;
    for (int i = 0; i < 1000; ++i) burst << QStringLiteral("http://h.test/f%1").arg(i);
    Open(burst);
    EXPECT_EQ(prompts.asked.size(), LinkOpener::kMaxPending);
    EXPECT_EQ(opener->dropped(), 1000 - LinkOpener::kMaxPending);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, AnAria2ThatDoesNotAnswerGetsTheMessageWithTheStartCommand) {
    Put(keys::kAria2Rpc, testsupport::ClosedPortBase() + "/jsonrpc");
    prompts.answers = {Prompts::Answer::Yes};
    Open({QStringLiteral("http://h.test/f")});
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_TRUE(prompts.asked[1].text.contains("aria2c --enable-rpc")) << prompts.asked[1].text.toStdString();
    EXPECT_EQ(prompts.asked[1].buttons, Prompts::Buttons::Ok);
}

}  // namespace
}  // namespace tessel::shell::testing
