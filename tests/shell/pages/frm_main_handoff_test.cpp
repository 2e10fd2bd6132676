// SPDX-License-Identifier: GPL-3.0-or-later
// The download-manager buttons of the video page against a JSON-RPC endpoint
// on loopback that answers as aria2 does: what reaches it from each button,
// the questions when a manager looks absent, and the message when nothing
// takes the task.
#include <QTemporaryDir>
#include <fstream>
#include <nlohmann/json.hpp>

#include "controls/sk_button.h"
#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"

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
        http.server().Post("/jsonrpc", [this](const httplib::Request& req, httplib::Response& res) {
            const json call = json::parse(req.body, nullptr, false);
            {
                std::lock_guard lock(callsMutex);
                calls.push_back(call);
            }
            json answer = {{"jsonrpc", "2.0"}, {"id", call.is_object() ? call.value("id", json()) : json()}};
            const json params = call.is_object() ? call.value("params", json::array()) : json::array();
            if (params.empty() || params[0] != "token:s3cret")
                answer["error"] = {{"code", 1}, {"message", "Unauthorized"}};
            else
                answer["result"] = "2089b05ecca3d829";
            res.set_content(answer.dump(), "application/json");
        });
        http.Start();
        Put(keys::kAria2Rpc, http.Base() + "/jsonrpc");
        Put(keys::kAria2Secret, "s3cret");
        Put(keys::kParseHome, "http://parse.test");
    }
    // Registers the managers in the prefix's registry, as Wine stores it.
    void Install(const std::string& keys) {
        std::ofstream(QString(wine.filePath("system.reg")).toStdString())
            << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
            << keys;
    }

    void Fill(const QString& link, const QString& title) {
        SetBoxText(w->Video().txtFlvlink, link.toStdU16String());
        SetBoxText(w->Video().txtOnlineflv, u"http://v.test/page");
        w->Video().imgTip->setToolTip(title);
    }

    std::vector<json> Calls() {
        std::lock_guard lock(callsMutex);
        return calls;
    }

    QTemporaryDir wine;
    std::optional<ScopedEnv> winePrefix;
    testsupport::LoopbackHttp http;
    std::mutex callsMutex;
    std::vector<json> calls;
};

struct ButtonRow {
    const char* name;
    controls::SkButton* VideoPage::*button;
    const char* question;
    bool takesTitle;  // FlashGet's calls carry no title
};

const ButtonRow kButtons[] = {
    {"thunder", &VideoPage::skbFlvthunder, "您好像没有安装迅雷，还要继续吗？", true},
    {"flashget", &VideoPage::skbFlvflashget, "您好像没有安装快车，还要继续吗？", false},
    {"qqdl", &VideoPage::skbQqdl, "您好像没有安装QQ旋风，还要继续吗？", true},
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
            emit(w->Video().*b.button)->Click();
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
        emit(w->Video().*b.button)->Click();
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
        {"secret refused", http.Base() + "/jsonrpc", "wrong", "拒绝"},
    };
    Start();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Put(keys::kAria2Rpc, r.rpc);
        Put(keys::kAria2Secret, r.secret);
        prompts.asked.clear();
        prompts.answers = {Prompts::Answer::Yes};
        Fill("http://media.test/v.flv", "t");
        emit w->Video().skbFlvthunder->Click();
        ASSERT_EQ(prompts.asked.size(), 2u);
        const auto& notice = prompts.asked[1];
        EXPECT_EQ(notice.title, "提示");
        EXPECT_EQ(notice.buttons, Prompts::Buttons::Ok);
        EXPECT_TRUE(notice.text.contains(r.says)) << notice.text.toStdString();
        EXPECT_TRUE(notice.text.contains("aria2c --enable-rpc")) << notice.text.toStdString();
    }
    EXPECT_TRUE(w->isVisible());
}

}  // namespace
}  // namespace tessel::shell::testing
