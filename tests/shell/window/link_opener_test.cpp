// SPDX-License-Identifier: GPL-3.0-or-later
// Opened links on the real window with scripted answers, against a JSON-RPC
// endpoint on loopback that records what would reach aria2: the boxes, the
// page, the question and its default, and that only a Yes hands anything
// over.
#include "shell/window/link_opener.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <mutex>
#include <nlohmann/json.hpp>

#include "controls/safe_tabs.h"
#include "handoff/ed2k_program.h"
#include "links/special_link.h"
#include "support/frm_main_fixture.h"
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
            json result = "0123456789abcdef";
            if (call.value("method", "") == "aria2.getVersion") {
                // The look before every hand-off: answered, not counted.
                res.set_content(
                    json{{"jsonrpc", "2.0"}, {"id", call["id"]}, {"result", {{"version", "1.36.0"}}}}.dump(),
                    "application/json");
                return;
            }
            {
                std::lock_guard lock(mutex);
                calls.push_back(call);
            }
            if (call.value("method", "") == "system.multicall") {
                // Each task its own id, or aria2's refusal for an address it cannot use.
                result = json::array();
                int n = 0;
                for (const json& one : call["params"][0]) {
                    if (one["params"][1][0].get<std::string>().find("refuse") != std::string::npos)
                        result.push_back({{"code", 1}, {"message", "No URI to download."}});
                    else
                        result.push_back(json::array({"000000000000000" + std::to_string(++n)}));
                }
            }
            res.set_content(
                json{{"jsonrpc", "2.0"}, {"id", call.value("id", json("tessel"))}, {"result", result}}.dump(),
                "application/json");
        });
        http.Start();
        Put(keys::kAria2Rpc, http.Base() + "/jsonrpc");
        Put(keys::kAria2Secret, "s3cret");
        Put(keys::kAria2Start, "never");
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
        // The hand-off runs beside the window, with the busy pointer.
        ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::overrideCursor() == nullptr; }, 10000));
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

    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(),
              "thunder://QUFodHRwOi8vaC50ZXN0L2QvJUM0JUUzJUJBJUMzLmlzb1pa/");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), "http://h.test/d/%C4%E3%BA%C3.iso");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);
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
    EXPECT_EQ(w->Status().Text(), "已交给 aria2：你好.iso");
}

TEST_F(LinkOpenerTest, NoOrClosingTheQuestionHandsNothingOverAndKeepsTheBoxes) {
    prompts.answers = {Prompts::Answer::No};
    Open({QStringLiteral("https://h.test/file.bin")});
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "https://h.test/file.bin");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), "https://h.test/file.bin");
    ASSERT_EQ(prompts.asked.size(), 1u);
    // No scripted answer left: the box is dismissed without a choice.
    Open({QStringLiteral("http://h.test/other.bin")});
    EXPECT_EQ(prompts.asked.size(), 2u);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, OpenedLinksAreRoutedEvenWithTheWatcherOffAndShowTheirPageEveryTime) {
    ASSERT_FALSE(Child<QCheckBox>(*w, "chkClipboard")->isChecked());
    Open({QStringLiteral("http://115.com/s/abc")});
    EXPECT_EQ(Child<QLineEdit>(*w, "txtPickcode")->text(), "http://115.com/s/abc");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 0);
    Open({QStringLiteral("qqdl://aHR0cDovL2EvYg==/")});
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);
    Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(2);
    // The tab flag is set by now; an opened link still shows its page.
    Open({QStringLiteral("qqdl://aHR0cDovL2EvYg==/")});
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);
    EXPECT_EQ(Stored(keys::kLinkActiveTab), "1");
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, ABadLinkGetsTheComplaintAndNoQuestion) {
    Open({QStringLiteral("flashget://%%%")});
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), "对不起，链接不正确");
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LinkOpenerTest, AMinimizedWindowIsRestored) {
    w->showMinimized();
    Open({});
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(w->isVisible());
}

// Links that arrive together make one question listing them, default No;
// Yes hands them over in one system.multicall, and each one aria2 refuses is
// told by name.
TEST_F(LinkOpenerTest, LinksArrivingTogetherMakeOneQuestionAndOneHandOver) {
    prompts.answers = {Prompts::Answer::Yes};
    opener->Open({QStringLiteral("http://h.test/a.iso")});
    Open({QStringLiteral("qqdl://aHR0cDovL2gudGVzdC9iLmlzbw==/\r\nhttp://h.test/refuse.iso")});
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[0].text,
              "是否把这 3 个地址交给 aria2 "
              "下载？\n\nhttp://h.test/a.iso\nhttp://h.test/b.iso\nhttp://h.test/refuse.iso");
    EXPECT_EQ(prompts.asked[0].buttons, Prompts::Buttons::YesNoDefaultNo);
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(),
              "http://h.test/a.iso\nhttp://h.test/b.iso\nhttp://h.test/refuse.iso");
    const std::vector<json> sent = Calls();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["method"], "system.multicall");
    ASSERT_EQ(sent[0]["params"][0].size(), 3u);
    EXPECT_EQ(sent[0]["params"][0][1]["params"][0], "token:s3cret");
    EXPECT_EQ(sent[0]["params"][0][1]["params"][2]["out"], "b.iso");
    EXPECT_EQ(prompts.asked[1].text, "aria2 没有接受下面 1 个地址：\n\nrefuse.iso：No URI to download.");
    EXPECT_EQ(w->Status().Text(), "已交给 aria2：2 个地址");
}

TEST_F(LinkOpenerTest, ABurstBeyondTheCapIsToldAndAskedAboutOnce) {
    QStringList burst;
    for (int i = 0; i < 1000; ++i) burst << QStringLiteral("http://h.test/f%1").arg(i);
    Open(burst);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_TRUE(prompts.asked[0].text.startsWith(QStringLiteral("是否把这 32 个地址交给 aria2 下载？")));
    EXPECT_EQ(opener->Dropped(), 1000 - LinkOpener::kMaxPending);
    EXPECT_EQ(w->Status().Text(), "一次最多打开 32 个链接，另外 968 个没有打开");
    EXPECT_TRUE(Calls().empty());
}

// An ed2k link wrapped in a thunder link goes to the desktop's ed2k program,
// registered with xdg-mime in throwaway folders, and never to aria2; with
// none registered the status line says which package brings one.
TEST_F(LinkOpenerTest, AnEd2kLinkGoesToTheDesktopsEd2kProgramNeverToAria2) {
    QTemporaryDir xdg;
    ASSERT_TRUE(xdg.isValid());
    const QByteArray root = xdg.path().toUtf8();
    ScopedEnv dataHome("XDG_DATA_HOME", root + "/data"), configHome("XDG_CONFIG_HOME", root + "/config"),
        dataDirs("XDG_DATA_DIRS", root + "/none"), configDirs("XDG_CONFIG_DIRS", root + "/none"),
        desktop("XDG_CURRENT_DESKTOP", "X-Test");
    const QString ed2k = QStringLiteral("ed2k://|file|a b.avi|1|0123456789ABCDEF0123456789ABCDEF|/");
    const QString link = Q(links::EncodeThunderLink(ed2k.toStdU16String()));

    Open({link});
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), ed2k);
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(w->Status().Text(), Q(handoff::kNoEd2kProgramText));

    // A stand-in program that notes its arguments, one a line.
    const QString received = xdg.filePath(QStringLiteral("received"));
    const QString program = xdg.filePath(QStringLiteral("ed2k-standin"));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + received + ".part' && mv '" + received +
                  ".part' '" + received + "'\n")
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(xdg.filePath(QStringLiteral("data/applications")));
    QFile entry(xdg.filePath(QStringLiteral("data/applications/standin-ed2k.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(("[Desktop Entry]\nType=Application\nName=StandIn ed2k\nExec=" + program +
                 " --add %u\nMimeType=x-scheme-handler/ed2k;\n")
                    .toUtf8());
    entry.close();
    QProcess mime;
    mime.start(QStringLiteral("xdg-mime"), {QStringLiteral("default"), QStringLiteral("standin-ed2k.desktop"),
                                            QStringLiteral("x-scheme-handler/ed2k")});
    ASSERT_TRUE(mime.waitForFinished(10000));
    ASSERT_EQ(mime.exitCode(), 0) << mime.readAllStandardError().toStdString();

    prompts.answers = {Prompts::Answer::Yes};
    Open({link});
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, QStringLiteral("是否交给 StandIn ed2k 下载？\n\n") + ed2k);
    EXPECT_EQ(prompts.asked[0].buttons, Prompts::Buttons::YesNoDefaultNo);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(received), 5000);
    QFile got(received);
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(got.readAll()), QStringLiteral("--add\n") + ed2k + QStringLiteral("\n"));
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
