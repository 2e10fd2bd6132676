// SPDX-License-Identifier: GPL-3.0-or-later
// The download-manager buttons of the video page against a JSON-RPC endpoint
// on loopback that answers as aria2 does: what reaches it from each button,
// the questions when a manager looks absent, and the message when nothing
// takes the task.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <fstream>
#include <nlohmann/json.hpp>

#include "controls/sk_button.h"
#include "support/fake_aria2.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

using nlohmann::json;

class HandoffTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        ASSERT_TRUE(wine.isValid());
        // Restored when the fixture goes, after the window.
        winePrefix.emplace("WINEPREFIX", QFile::encodeName(wine.path()));
        Put(keys::kAria2Rpc, aria2.Rpc());
        Put(keys::kAria2Secret, "s3cret");
        // These tests reach the endpoint above, or nothing: the program's
        // own aria2 has tests of its own.
        Put(keys::kAria2Start, "never");
        Put(keys::kParseHome, "http://parse.test");
    }
    // Registers the managers in the prefix's registry, as Wine stores it.
    void Install(const std::string& keys) {
        std::ofstream(QString(wine.filePath("system.reg")).toStdString())
            << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
            << keys;
    }

    void Fill(const QString& link, const QString& title) {
        SetBoxText(Child<QPlainTextEdit>(*w, "txtFlvlink"), link.toStdU16String());
        SetBoxText(Child<QPlainTextEdit>(*w, "txtOnlineflv"), u"http://v.test/page");
        w->Video().ShowTitle(title);
    }

    // What reached aria2 once the hand-off, which runs beside the window, ended.
    std::vector<json> Calls() {
        EXPECT_TRUE(QTest::qWaitFor(
            [] { return BackgroundRequest::RunningCount() == 0 && !HandOffRunning(); }, 10000));
        return aria2.Calls();
    }
    static bool HandOffRunning() { return QGuiApplication::overrideCursor() != nullptr; }

    QTemporaryDir wine;
    std::optional<ScopedEnv> winePrefix;
    testsupport::FakeAria2 aria2{"s3cret"};
};

struct ButtonRow {
    const char* name;
    const char* button;
    const char* question;
    bool takesTitle;  // FlashGet's calls carry no title
};

const ButtonRow kButtons[] = {
    {"thunder", "skbFlvthunder", "您好像没有安装迅雷，还要继续吗？", true},
    {"flashget", "skbFlvflashget", "您好像没有安装快车，还要继续吗？", false},
    {"qqdl", "skbQqdl", "您好像没有安装QQ旋风，还要继续吗？", true},
};

// Nothing installed: each button asks; Yes hands the task over, No ends it.
TEST_F(HandoffTest, AbsentManagerAsksAndYesSendsTheTask) {
    Start();
    for (const ButtonRow& b : kButtons) {
        SCOPED_TRACE(b.name);
        for (const Prompts::Answer answer : {Prompts::Answer::No, Prompts::Answer::Yes}) {
            prompts.asked.clear();
            prompts.answers = {answer};
            const size_t before = Calls().size();
            Fill("http://media.test/v.flv", "片名");
            emit Child<controls::SkButton>(*w, b.button)->Click();
            ASSERT_EQ(prompts.asked.size(), 1u);
            EXPECT_EQ(prompts.asked[0].text, b.question);
            EXPECT_EQ(prompts.asked[0].title, "提示");
            EXPECT_EQ(prompts.asked[0].buttons, Prompts::Buttons::YesNo);
            EXPECT_EQ(prompts.asked[0].icon, Prompts::Icon::Information);
            const auto calls = Calls();
            ASSERT_EQ(calls.size(), before + (answer == Prompts::Answer::Yes ? 1 : 0));
            if (answer == Prompts::Answer::No) continue;
            const json& call = calls.back();
            EXPECT_EQ(call["method"], "aria2.addUri");
            EXPECT_EQ(call["params"][0], "token:s3cret");
            EXPECT_EQ(call["params"][1], json::array({"http://media.test/v.flv"}));
            if (b.takesTitle)
                EXPECT_EQ(call["params"][2]["out"], "片名.flv");  // the media's extension kept
            else
                EXPECT_FALSE(call["params"][2].contains("out"));
            EXPECT_EQ(call["params"][2]["referer"], "http://v.test/page");
        }
    }
}

TEST_F(HandoffTest, InstalledManagerIsNotAskedAbout) {
    Install(
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\thunder_is1] 1700000000\n"
        "\"DisplayName\"=\"Thunder 7\"\n\n"
        "[Software\\\\Tencent\\\\QQDownload] 1700000000\n\"Exe\"=\"C:\\\\QQDownload\\\\QQDownload.exe\"\n\n"
        "[Software\\\\FlashGet Network\\\\FlashGet 3] 1700000000\n\"Version1\"=\"3.7.0.1220\"\n\n");
    Start();
    for (const ButtonRow& b : kButtons) {
        SCOPED_TRACE(b.name);
        prompts.asked.clear();
        const size_t before = Calls().size();
        Fill("HTTP://media.test/v.flv", "");
        emit Child<controls::SkButton>(*w, b.button)->Click();
        EXPECT_TRUE(prompts.asked.empty());
        const auto calls = Calls();
        ASSERT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back()["params"][1], json::array({"HTTP://media.test/v.flv"}));
        EXPECT_FALSE(calls.back()["params"][2].contains("out"));  // no title: aria2 names the file
    }
}

// Nothing answering, or the secret refused: the user is told what happened
// and how to start aria2, and the window goes on.
TEST_F(HandoffTest, FailureIsToldInAMessageBox) {
    const struct {
        const char* name;
        QString rpc, secret;
        const char* says;
    } rows[] = {
        {"nothing listens", testsupport::ClosedPortBase() + "/jsonrpc", "s3cret", "没有回答"},
        {"secret refused", aria2.Rpc(), "wrong", "拒绝"},
    };
    Start();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Put(keys::kAria2Rpc, r.rpc);
        Put(keys::kAria2Secret, r.secret);
        prompts.asked.clear();
        prompts.answers = {Prompts::Answer::Yes};
        Fill("http://media.test/v.flv", "t");
        emit Child<controls::SkButton>(*w, "skbFlvthunder")->Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.asked.size() == 2; }, 10000));
        const auto& notice = prompts.asked[1];
        EXPECT_EQ(notice.title, "提示");
        EXPECT_EQ(notice.buttons, Prompts::Buttons::Ok);
        EXPECT_TRUE(notice.text.contains(r.says)) << notice.text.toStdString();
        EXPECT_TRUE(notice.text.contains("aria2c --enable-rpc")) << notice.text.toStdString();
    }
    EXPECT_TRUE(w->isVisible());
}

TEST_F(HandoffTest, TheStatusLineSaysWhatWasHandedOver) {
    Start();
    prompts.answers = {Prompts::Answer::Yes};
    Fill("http://media.test/v.flv", "片名");
    emit Child<controls::SkButton>(*w, "skbFlvthunder")->Click();
    EXPECT_EQ(w->Status().Text(), "正在交给 aria2…");
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(w->Status().Text(), "已交给 aria2：片名.flv");
}

// aria2's port takes the connection and never answers (a wedged engine, a
// sleeping NAS): the click returns at once, the window goes on handling
// events with the busy pointer, and the answer comes as it always did.
TEST_F(HandoffTest, AWedgedAria2NeverHoldsTheWindow) {
    testsupport::LoopbackRaw wedged([](int, const std::atomic<bool>& stopping) {
        testsupport::PauseUnless(stopping, std::chrono::seconds(30));
    });
    Put(keys::kAria2Rpc, wedged.Base() + "/jsonrpc");
    Start();
    prompts.answers = {Prompts::Answer::Yes};
    Fill("http://media.test/v.flv", "t");
    QElapsedTimer clock;
    clock.start();
    emit Child<controls::SkButton>(*w, "skbFlvthunder")->Click();
    EXPECT_LT(clock.elapsed(), 1000);
    bool ticked = false;
    QTimer::singleShot(100, [&] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 1000));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    EXPECT_EQ(w->Status().Text(), "正在交给 aria2…");
    EXPECT_EQ(prompts.asked.size(), 1u);  // only the question so far
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.asked.size() == 2; }, 10000));
    EXPECT_TRUE(prompts.asked[1].text.contains("没有回答")) << prompts.asked[1].text.toStdString();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace tessel::shell::testing
